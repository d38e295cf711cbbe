#include "mainwindow/OknoHlavni.h"

// Before anything that brings in the DirectShow headers, which hide these.
#include <shlwapi.h>
#include <shellapi.h>
#include <uxtheme.h>
#include <vssym32.h>

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "app/Verze.h"
#include "controls/StaticText.h"
#include "email/OdeslaniEmailem.h"
#include "email/SmtpUcty.h"
#include "ftp/OdeslaniNaFtp.h"
#include "mainwindow/OknoUrovne.h"
#include "mainwindow/Prikazy.h"
#include "player/OknoPrehravac.h"
#include "recording/DlgProfilyZaznamu.h"
#include "recording/OpravaZaznamu.h"
#include "resources/resource.h"
#include "settings/Nastaveni.h"
#include "update/Aktualizace.h"
#include "update/DlgProgramInfo.h"

#include <array>

using namespace prikaz;
using mirvak::winapi::ListViewObsahSlozky;

namespace {

std::unique_ptr<OknoHlavni> g_hlavni;

constexpr int kSirkaIkonyStavu = 22;
constexpr int kSirkaUrovne = 140;
constexpr int kSirkaZarizeni = 260;

// Tool-bar buttons in order; the image index is the position among the
// buttons (separators have none).
struct Tlacitko {
    UINT id;
    BYTE styl;
};
constexpr Tlacitko kTlacitka[] = {
    {kSpustit, BTNS_DROPDOWN}, {kUkoncit, 0}, {0, BTNS_SEP}, {kPrepnoutProfil, BTNS_WHOLEDROPDOWN},
    {kPrehrat, 0}, {kEmail, 0}, {kFtp, 0}, {kUlozitJako, 0}, {kOdstranit, 0}, {0, BTNS_SEP},
    {kPredvolby, BTNS_DROPDOWN}, {kOAplikaci, BTNS_DROPDOWN}, {0, BTNS_SEP}, {kKonec, 0}};

void Fatalni(bool ok)
{
    if (!ok)
        FatalniChybaPosledni();
}

bool KlavesaDrzena(int vk)
{
    return (GetKeyState(vk) & 0x8000) != 0;
}

void OtevritAdresu(const std::wstring& adresa)
{
    ShellExecuteW(nullptr, L"open", adresa.c_str(), nullptr, nullptr, SW_SHOWNORMAL);  // failure ignored
}

void OtevritAdresu(UINT idAdresy) { OtevritAdresu(NacistRetezec(idAdresy)); }

} // namespace

// The information panel of the plain client area (dialog 110).
class DlgKlientskaOblast : public mirvak::winapi::DialogImpl<DlgKlientskaOblast> {
public:
    MV_BEGIN_MSG_MAP(DlgKlientskaOblast)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        nazev_.Attach(Item(IDC_NAZEV_PRODUKTU), RGB(0x80, 0, 0), -26);
        nazev_.SetFaceName(L"Verdana");
        nazev_.SetAlignment(mirvak::winapi::StaticText::kNaStred);
        if (g_aplikace)
            SetDlgItemTextW(m_hWnd, IDC_NAZEV_PRODUKTU, g_aplikace->nazevProduktu.c_str());
        std::wstring copyright;
        NacistHodnotuVerze(L"LegalCopyright", copyright);
        SetDlgItemTextW(m_hWnd, IDC_COPYRIGHT, copyright.c_str());
        tooltip_ = mirvak::winapi::VytvoritTooltip(m_hWnd);
        const std::array<std::pair<int, UINT>, 5> odkazy = {{{IDC_ODKAZ_FIRMA, 20017},
                                                             {IDC_ODKAZ_EMAIL, 20027},
                                                             {IDC_ODKAZ_PRODUKT, 40003},
                                                             {IDC_ODKAZ_PROGRAM1, IDS_ODKAZ_PROGRAM1},
                                                             {IDC_ODKAZ_PROGRAM2, IDS_ODKAZ_PROGRAM2}}};
        for (size_t i = 0; i < odkazy.size(); ++i) {
            odkazy_[i].Attach(Item(odkazy[i].first), RGB(0, 0, 0xCC));
            odkazy_[i].SetAlignment(mirvak::winapi::StaticText::kNaStred);
            if (tooltip_)
                mirvak::winapi::PridatTooltip(tooltip_, m_hWnd, odkazy[i].first, MAKEINTRESOURCEW(odkazy[i].second));
        }
        return TRUE;
    }

    LRESULT OnCommand(UINT, WPARAM w, LPARAM, BOOL& zpracovano)
    {
        if (HIWORD(w) != STN_CLICKED) {
            zpracovano = FALSE;
            return 0;
        }
        switch (LOWORD(w)) {
        case IDC_ODKAZ_FIRMA: OtevritAdresu(IDS_HL_ADRESA_FIRMY); break;
        case IDC_ODKAZ_EMAIL: OtevritAdresu(IDS_HL_ADRESA_EMAILU_FIRMY); break;
        case IDC_ODKAZ_PRODUKT: OtevritAdresu(AdresaStrankyProduktu()); break;
        case IDC_ODKAZ_PROGRAM1: OtevritAdresu(IDS_HL_ADRESA_PROGRAMU1); break;
        case IDC_ODKAZ_PROGRAM2: OtevritAdresu(IDS_HL_ADRESA_PROGRAMU2); break;
        default: zpracovano = FALSE; break;
        }
        return 0;
    }

    mirvak::winapi::StaticText nazev_;
    std::array<mirvak::winapi::StaticText, 5> odkazy_;
    HWND tooltip_ = nullptr;
};

OknoKlientskaOblast::OknoKlientskaOblast() = default;
OknoKlientskaOblast::~OknoKlientskaOblast() = default;

HRESULT OknoKlientskaOblast::Vytvorit(HWND rodic, const RECT& r)
{
    HRESULT hr = Create(rodic, r, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, IDC_KLIENTSKA_OBLAST);
    if (FAILED(hr))
        return hr;
    panel_ = std::make_unique<DlgKlientskaOblast>();
    hr = panel_->CreateModeless(m_hWnd, IDD_KLIENTSKA_OBLAST);
    if (FAILED(hr))
        return hr;
    ShowWindow(panel_->Handle(), SW_SHOW);
    return S_OK;
}

HWND OknoKlientskaOblast::Panel() const
{
    return panel_ ? panel_->Handle() : nullptr;
}

void OknoKlientskaOblast::NastavitPismo(HFONT pismo)
{
    if (!Panel())
        return;
    SendMessageW(Panel(), WM_SETFONT, reinterpret_cast<WPARAM>(pismo), TRUE);
    // The product name keeps its own font.
    for (int id : {IDC_COPYRIGHT})
        SendDlgItemMessageW(Panel(), id, WM_SETFONT, reinterpret_cast<WPARAM>(pismo), TRUE);
}

LRESULT OknoKlientskaOblast::OnSize(UINT, WPARAM, LPARAM l, BOOL&)
{
    if (HWND panel = Panel()) {
        RECT r{};
        GetWindowRect(panel, &r);
        int w = r.right - r.left, h = r.bottom - r.top;
        int x = std::max(0, (static_cast<int>(LOWORD(l)) - w) / 2);
        int y = std::max(0, (static_cast<int>(HIWORD(l)) - h) / 2);
        SetWindowPos(panel, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 0;
}

void OknoHlavni::ModifyClass(WNDCLASSEXW& c)
{
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (g_aplikace) {
        c.hIcon = g_aplikace->velkaIkona;
        c.hIconSm = g_aplikace->malaIkona;
    }
}

OknoHlavni::OknoHlavni(Aplikace& a)
    : a_(a), rizeni_(a, g_konfigurace, *this)
{
}

OknoHlavni::~OknoHlavni()
{
    // While every member still lives, so that the last messages find them.
    if (IsWindow())
        DestroyWindow(m_hWnd);
    if (IkonaHlavnihoOkna() == ikona_.get())
        NastavitIkonuHlavnihoOkna(nullptr);
}

std::vector<ProfilZaznamuInfo> OknoHlavni::ProfilyZaznamu() const
{
    std::vector<ProfilZaznamuInfo> vysledek;
    for (int i = 0; i < a_.profilyZaznamu.Count(); ++i) {
        const RecordingProfile& p = a_.profilyZaznamu.At(i);
        vysledek.push_back({p.name, p.folder, p.device, p.profileId});
    }
    return vysledek;
}

HRESULT OknoHlavni::Vytvorit()
{
    Konfigurace& k = g_konfigurace;
    umisteni_.key = mirvak::winapi::KlicUmisteni(k.registrovaCesta);
    try {
        comboProfilu_ = std::make_unique<mirvak::winapi::ComboBoxProfilKodovani>(&k);
    } catch (long kod) {
        FatalniChybaKod(KodNeboFail(kod));
    }
    std::wstring titulek = NacistText(IDS_PRIPRAVEN, a_.nazevProduktu.c_str());
    HRESULT hr = Create(nullptr, RECT{0, 0, 800, 600}, titulek.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    if (FAILED(hr))
        return hr;
    umisteni_.window = m_hWnd;
    if (a_.zaznamnik) {
        a_.zaznamnik->SetNotifyWindow(m_hWnd, WM_UDALOST_ZAZNAMU);
        a_.zaznamnik->SetLevelWindow(m_hWnd, WM_UROVEN_ZAZNAMU);
    }
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(a_.velkaIkona));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(a_.malaIkona));
    textStavu_ = titulek;

    VytvoritMenu();
    VytvoritStatusBar();
    VytvoritRebar();
    VytvoritKlientskouOblast();

    mirvak::winapi::RestoreOrCenter(umisteni_);
    // Shown in the notification area by the start-up actions (WM_SPUSTENI).
    ikona_ = std::make_unique<IkonaOznameni>();
    NastavitIkonuHlavnihoOkna(ikona_.get());
    pracovnici::NastavitOkno(m_hWnd);
    UplatnitPisma();
    // Queued before the window shows: a command posted once it is visible
    // finds the capture devices taken.
    Post(WM_SPUSTENI);
    ShowWindow(m_hWnd, SW_SHOW);
    PostSize();
    AktualizovatStavy();
    return S_OK;
}

void OknoHlavni::VytvoritMenu()
{
    std::vector<ProfilZaznamuInfo> profily = ProfilyZaznamu();
    Nabidka nove = VytvoritHlavniMenu(a_.instance ? a_.instance : GetModuleHandleW(nullptr), profily);
    PripojitNabidkuZarizeni(nove.Get(), a_.zarizeni.get(), g_konfigurace.zarizeni.friendlyName);
    popupProfilu_ = nullptr;
    popupSlozekProfilu_ = nullptr;
    popupSeZarizenim_ = nullptr;
    // Find the two profile popups, so their items follow the command states,
    // and the popup that holds the devices, which follow the device list.
    std::vector<HMENU> fronta{nove.Get()};
    while (!fronta.empty()) {
        HMENU m = fronta.back();
        fronta.pop_back();
        for (int i = 0; i < GetMenuItemCount(m); ++i) {
            HMENU sub = GetSubMenu(m, i);
            bool zarizeni = GetMenuItemID(m, i) == kZarizeni || (sub && GetMenuItemID(sub, 0) == kZakladZarizeni);
            if (zarizeni && m != nove.Get())
                popupSeZarizenim_ = m;
            if (!sub)
                continue;
            UINT prvni = GetMenuItemID(sub, 0);
            if (prvni == kZakladZaznamProfilu)
                popupProfilu_ = sub;
            else if (prvni == kZakladSlozkaProfilu)
                popupSlozekProfilu_ = sub;
            else if (prvni != kZakladZarizeni)
                fronta.push_back(sub);
        }
    }
    Fatalni(SetMenu(m_hWnd, nove.Get()) != FALSE);
    menu_ = std::move(nove);  // the menu it replaced is destroyed here
    DrawMenuBar(m_hWnd);
}

void OknoHlavni::VytvoritStatusBar()
{
    // Clipping its children keeps the bar from painting over the level.
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, textStavu_.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | SBARS_SIZEGRIP, 0, 0, 0, 0, m_hWnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUSBAR)),
                              GetModuleHandleW(nullptr), nullptr);
    Fatalni(status_ != nullptr);
    RozdelitStatus();
    uroven_ = std::make_unique<OknoUrovne>();
    Fatalni(SUCCEEDED(uroven_->Vytvorit(status_, 2)));
    SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(textStavu_.c_str()));
    SendMessageW(status_, SB_SETICON, 0, reinterpret_cast<LPARAM>(a_.malaIkona));
}

// Icon, text, and the level at the right end.
void OknoHlavni::RozdelitStatus()
{
    const int sirka = ClientRect().right;
    int casti[3] = {kSirkaIkonyStavu, std::max(kSirkaIkonyStavu, sirka - kSirkaUrovne), -1};
    SendMessageW(status_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(casti));
    RECT r{};
    if (uroven_ && SendMessageW(status_, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&r))) {
        r.right -= GetSystemMetrics(SM_CXVSCROLL);   // the size grip
        InflateRect(&r, -1, -1);
        uroven_->Umistit(r);
    }
}

void OknoHlavni::VytvoritRebar()
{
    rebar_ = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                 RBS_BANDBORDERS | CCS_NODIVIDER | CCS_NOPARENTALIGN,
                             0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_REBAR)),
                             GetModuleHandleW(nullptr), nullptr);
    Fatalni(rebar_ != nullptr);
    REBARINFO info{sizeof info};
    SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    VytvoritToolbar();

    Fatalni(SUCCEEDED(comboZarizeni_.Create(rebar_, RECT{0, 0, kSirkaZarizeni, 300}, IDC_ZARIZENI_ZVUK)));
    comboZarizeni_.SetList(a_.zarizeni.get());
    comboZarizeni_.Fill(g_konfigurace.zarizeni);
    Fatalni(SUCCEEDED(comboProfilu_->Create(rebar_, 0, 0, IDC_PROFIL_KODOVANI)));
    // The profiles' names and the tool tips come after the window shows
    // (WM_SPUSTENI), before its first paint.
    for (HWND combo : {comboZarizeni_.Handle(), comboProfilu_->Handle()}) {
        RECT r{};
        GetWindowRect(combo, &r);
        REBARBANDINFOW pas{};
        pas.cbSize = sizeof pas;
        pas.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_SIZE;
        pas.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS | (combo == comboZarizeni_.Handle() ? RBBS_BREAK : 0);
        pas.hwndChild = combo;
        pas.cxMinChild = 120;
        pas.cyMinChild = r.bottom - r.top;
        pas.cx = r.right - r.left + 20;
        Fatalni(SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&pas)) != 0);
    }
}

void OknoHlavni::VytvoritToolbar()
{
    if (toolbar_) {
        // The tool bar is band 0; a new one takes its place.
        SendMessageW(rebar_, RB_DELETEBAND, 0, 0);
        Fatalni(DestroyWindow(toolbar_) != FALSE);
        toolbar_ = nullptr;
    }
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                   CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                               0, 0, 0, 0, rebar_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOLBAR)),
                               GetModuleHandleW(nullptr), nullptr);
    Fatalni(toolbar_ != nullptr);
    // Its commands and notifications come to the main window directly.
    SendMessageW(toolbar_, TB_SETPARENT, reinterpret_cast<WPARAM>(m_hWnd), 0);
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    HIMAGELIST obrazky = g_konfigurace.toolbar == 2 ? a_.VelkeObrazky() : a_.maleObrazky;
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(obrazky));
    std::vector<TBBUTTON> tlacitka;
    int obrazek = 0;
    for (const Tlacitko& t : kTlacitka) {
        TBBUTTON b{};
        b.fsState = TBSTATE_ENABLED;
        if (t.styl == BTNS_SEP) {
            b.fsStyle = BTNS_SEP;
        } else {
            b.iBitmap = obrazek++;
            b.idCommand = static_cast<int>(t.id);
            b.fsStyle = static_cast<BYTE>(t.styl | BTNS_AUTOSIZE | BTNS_BUTTON);
        }
        tlacitka.push_back(b);
    }
    SendMessageW(toolbar_, TB_ADDBUTTONSW, tlacitka.size(), reinterpret_cast<LPARAM>(tlacitka.data()));
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    SIZE velikost{};
    SendMessageW(toolbar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&velikost));
    REBARBANDINFOW pas{};
    pas.cbSize = sizeof pas;
    pas.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_SIZE;
    pas.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    pas.hwndChild = toolbar_;
    pas.cxMinChild = velikost.cx;
    pas.cyMinChild = velikost.cy;
    pas.cx = velikost.cx + 20;
    Fatalni(SendMessageW(rebar_, RB_INSERTBANDW, 0, reinterpret_cast<LPARAM>(&pas)) != 0);
}

void OknoHlavni::VytvoritKlientskouOblast()
{
    ZrusitKlientskouOblast();
    RECT r = ClientRect();
    if (g_konfigurace.zobrazit_seznam_souboru != 0) {
        seznam_ = std::make_unique<ListViewObsahSlozky>();
        Fatalni(SUCCEEDED(seznam_->Create(m_hWnd, mirvak::winapi::kIdSeznamuSouboru)));
        seznam_->SetCallbacks(this);
        seznam_->SetFolder(g_konfigurace.seznam_souboru_slozka);
        if (!rizeni_.NahravaSe())
            NastavitStav(NacistText(20026, a_.nazevProduktu.c_str(), g_konfigurace.seznam_souboru_slozka.c_str()),
                         nullptr);
    } else {
        panel_ = std::make_unique<OknoKlientskaOblast>();
        Fatalni(SUCCEEDED(panel_->Vytvorit(m_hWnd, r)));
        SetWindowTextW(m_hWnd, NacistText(IDS_PRIPRAVEN, a_.nazevProduktu.c_str()).c_str());
        if (!rizeni_.NahravaSe())
            NastavitStav(NacistText(IDS_PRIPRAVEN, a_.nazevProduktu.c_str()), nullptr);
    }
}

void OknoHlavni::ZrusitKlientskouOblast()
{
    ZrusitSeznam();
    panel_.reset();
}

void OknoHlavni::ZrusitSeznam()
{
    if (seznam_ && VModalniSmycce()) {
        seznam_->StopWatch();
        ShowWindow(seznam_->Handle(), SW_HIDE);
        odlozeneSeznamy_.push_back(std::move(seznam_));
    }
    seznam_.reset();
}

void OknoHlavni::AfterOutermostMessage()
{
    odlozeneSeznamy_.clear();
    if (zavritPozdeji_) {
        zavritPozdeji_ = false;
        Post(WM_CLOSE);
    }
}

void OknoHlavni::PostSize()
{
    RECT r = ClientRect();
    Post(WM_SIZE, SIZE_RESTORED, MAKELPARAM(r.right - r.left, r.bottom - r.top));
}

void OknoHlavni::Rozvrhnout()
{
    RECT r = ClientRect();
    int w = r.right - r.left, h = r.bottom - r.top;
    int vyskaStatusu = 0;
    if (status_) {
        SendMessageW(status_, WM_SIZE, 0, 0);
        RozdelitStatus();
        RECT s{};
        GetWindowRect(status_, &s);
        vyskaStatusu = s.bottom - s.top;
    }
    int vyskaRebaru = 0;
    if (rebar_) {
        vyskaRebaru = static_cast<int>(SendMessageW(rebar_, RB_GETBARHEIGHT, 0, 0));
        SetWindowPos(rebar_, nullptr, 0, 0, w, vyskaRebaru, SWP_NOZORDER | SWP_NOACTIVATE);
        vyskaRebaru = static_cast<int>(SendMessageW(rebar_, RB_GETBARHEIGHT, 0, 0));
    }
    HWND oblast = seznam_ ? seznam_->Handle() : panel_ ? panel_->Handle() : nullptr;
    if (oblast)
        SetWindowPos(oblast, nullptr, 0, vyskaRebaru, w, std::max(0, h - vyskaRebaru - vyskaStatusu),
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void OknoHlavni::UplatnitPisma()
{
    HFONT pismo = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (IsAppThemed()) {
        LOGFONTW lf{};
        if (SUCCEEDED(GetThemeSysFont(nullptr, TMT_MSGBOXFONT, &lf))) {
            HFONT nove = CreateFontIndirectW(&lf);
            if (nove) {
                mirvak::winapi::GdiObject stare(pismo_.Release());
                (void)stare;
                pismo_.Reset(nove);
                pismo = nove;
            }
        }
    }
    // Only the main window's own controls: the panel's texts keep their fonts.
    for (HWND dite : {status_, toolbar_, comboZarizeni_.Handle(), comboProfilu_ ? comboProfilu_->Handle() : nullptr,
                      seznam_ ? seznam_->Handle() : nullptr}) {
        if (dite)
            SendMessageW(dite, WM_SETFONT, reinterpret_cast<WPARAM>(pismo), IsWindowVisible(m_hWnd));
    }
    if (panel_)
        panel_->NastavitPismo(pismo);
}

IkonaOznameni* OknoHlavni::Ikona()
{
    return ikona_.get();
}

StavHlavnihoOkna OknoHlavni::Stav() const
{
    StavHlavnihoOkna s;
    s.nahravaSe = a_.zaznamnik && a_.zaznamnik->IsRecording();
    s.seznam = seznam_ != nullptr;
    if (seznam_)
        s.vybranySoubor = seznam_->GetCurrentFile(s.vybrany, true) == S_OK;
    s.nahravany = a_.souborZaznamu;
    s.pocetProfilu = a_.profilyZaznamu.Count();
    s.navrchu = (ExStyle() & WS_EX_TOPMOST) != 0;
    s.toolbar = g_konfigurace.toolbar;
    s.prehravac = IsPlayerOpen();
    s.prejmenovani = rizeni_.Prejmenovava();
    return s;
}

void OknoHlavni::AktualizovatStavy()
{
    if (!IsWindow())
        return;
    StavHlavnihoOkna s = Stav();
    if (menu_.Get()) {
        UplatnitStavyNaNabidku(menu_.Get(), s);
        if (popupProfilu_)
            PovolitPodnabidku(menu_.Get(), popupProfilu_, UrcitStavPrikazu(s, kSpustitProfil).povolen);
        if (popupSlozekProfilu_)
            PovolitPodnabidku(menu_.Get(), popupSlozekProfilu_, UrcitStavPrikazu(s, kSlozkaProfilu).povolen);
        DrawMenuBar(m_hWnd);
    }
    if (toolbar_) {
        for (const Tlacitko& t : kTlacitka) {
            if (!t.id)
                continue;
            StavPrikazu st = UrcitStavPrikazu(s, t.id);
            bool skryt = TlacitkoSkryto(s, t.id);
            SendMessageW(toolbar_, TB_ENABLEBUTTON, t.id, MAKELPARAM(st.povolen, 0));
            SendMessageW(toolbar_, TB_HIDEBUTTON, t.id, MAKELPARAM(skryt, 0));
        }
    }
}

void OknoHlavni::NastavitStav(const std::wstring& text, HICON ikona)
{
    textStavu_ = text;
    if (status_) {
        SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(textStavu_.c_str()));
        if (ikona)
            SendMessageW(status_, SB_SETICON, 0, reinterpret_cast<LPARAM>(ikona));
    }
}

void OknoHlavni::NastavitUroven(const std::wstring& text, double decibely)
{
    if (uroven_)
        uroven_->Nastavit(text, decibely);
}

void OknoHlavni::NastavitIkonuStavu(HICON ikona)
{
    if (status_)
        SendMessageW(status_, SB_SETICON, 0, reinterpret_cast<LPARAM>(ikona));
}

bool OknoHlavni::Viditelne()
{
    return IsWindowVisible(m_hWnd) != FALSE;
}

bool OknoHlavni::SlozkaSeznamu(std::wstring& slozka)
{
    return seznam_ && seznam_->GetFolder(slozka) == S_OK;
}

bool OknoHlavni::SpustitBlikani()
{
    return SetTimer(m_hWnd, kCasovacBlikani, 800, nullptr) != 0;
}

void OknoHlavni::ZastavitBlikani()
{
    KillTimer(m_hWnd, kCasovacBlikani);
}

void OknoHlavni::ZobrazitSlozku(const std::wstring& slozka)
{
    if (!seznam_)
        return;
    if (SUCCEEDED(seznam_->SetFolder(slozka))) {
        g_konfigurace.seznam_souboru_slozka = slozka;
        UlozitZobrazeni(g_konfigurace);
    }
}

void OknoHlavni::Chyba(const std::wstring& text, HRESULT hr)
{
    if (text.empty())
        ZobrazitChybu(TextKodu(hr).c_str());
    else
        ZobrazitChybuSystemuText(text.c_str(), hr);
}

bool OknoHlavni::FilterFile(const wchar_t* fileName)
{
    return mirvak::winapi::OdfiltrovatSoubor(g_konfigurace.seznam_souboru_parametry, fileName);
}

void OknoHlavni::FolderShown(const wchar_t* folder)
{
    SetWindowTextW(m_hWnd, FormatovatText(L"%s - %s", a_.nazevProduktu.c_str(), folder).c_str());
}

void OknoHlavni::ZobrazitOkno()
{
    ShowWindow(m_hWnd, SW_RESTORE);
    ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
    PostSize();
}

void OknoHlavni::SkrytOkno()
{
    if (Viditelne())
        Send(WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void OknoHlavni::ZaviraciSekvence()
{
    if (zavreno_)
        return;
    zavreno_ = true;
    // The workers end (or are given up on) before anything they reported to goes.
    pracovnici::Ukoncit(pracovnici::kCekaniNaKonec);
    Konfigurace& k = g_konfigurace;
    klavesy_.Odregistrovat(m_hWnd, k, ikona_.get());
    rizeni_.UkoncitZaznam();
    if (IsPlayerOpen())
        ClosePlayer();
    mirvak::winapi::SavePlacement(umisteni_);
    UlozitZobrazeni(k);
    UlozitCisloZaznamu(a_, k);
    seznam_.reset();
    NastavitIkonuHlavnihoOkna(nullptr);
    if (ikona_)
        ikona_->Odebrat();
    if (status_) {
        Fatalni(DestroyWindow(status_) != FALSE);
        status_ = nullptr;
    }
}

LRESULT OknoHlavni::OnClose(UINT, WPARAM, LPARAM, BOOL& zpracovano)
{
    if (VModalniSmycce()) {
        // A dialog or box of ours is open and its launcher waits for it:
        // the close runs when that launcher has returned.
        zavritPozdeji_ = true;
        return 0;
    }
    ZaviraciSekvence();
    zpracovano = FALSE;  // the default procedure destroys the window
    return 0;
}

LRESULT OknoHlavni::OnEndSession(UINT, WPARAM w, LPARAM, BOOL& zpracovano)
{
    // A cancelled shutdown (FALSE) leaves everything running as it was. The
    // session does not wait for a dialog to close; the list a waiting
    // launcher may still use is only put aside.
    if (w) {
        if (VModalniSmycce())
            ZrusitSeznam();
        ZaviraciSekvence();
    }
    zpracovano = FALSE;
    return 0;
}

LRESULT OknoHlavni::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    KillTimer(m_hWnd, kCasovacBlikani);
    if (a_.zaznamnik) {
        a_.zaznamnik->SetNotifyWindow(nullptr, 0);
        a_.zaznamnik->SetLevelWindow(nullptr, 0);
    }
    // The window destroys its menu bar itself.
    if (GetMenu(m_hWnd) == menu_.Get())
        menu_.Release();
    status_ = nullptr;
    rebar_ = nullptr;
    toolbar_ = nullptr;
    PostQuitMessage(0);
    return 0;
}

LRESULT OknoHlavni::OnHlaseniPracovniku(UINT, WPARAM, LPARAM, BOOL&)
{
    pracovnici::ZobrazitHlaseni();
    return 0;
}

LRESULT OknoHlavni::OnSize(UINT, WPARAM w, LPARAM, BOOL&)
{
    if (w != SIZE_MINIMIZED)
        Rozvrhnout();
    return 0;
}

LRESULT OknoHlavni::OnSysCommand(UINT, WPARAM w, LPARAM l, BOOL&)
{
    LRESULT r = DefaultProc(WM_SYSCOMMAND, w, l);
    if ((w & 0xFFF0) == SC_MINIMIZE)
        ShowWindow(m_hWnd, SW_HIDE);
    return r;
}

LRESULT OknoHlavni::OnThemeChanged(UINT, WPARAM, LPARAM, BOOL&)
{
    UplatnitPisma();
    DrawMenuBar(m_hWnd);
    return 0;
}

LRESULT OknoHlavni::OnTimer(UINT, WPARAM w, LPARAM, BOOL& zpracovano)
{
    if (w != kCasovacBlikani) {
        zpracovano = FALSE;
        return 0;
    }
    rizeni_.Bliknout();
    return 0;
}

LRESULT OknoHlavni::OnContextMenu(UINT, WPARAM w, LPARAM l, BOOL&)
{
    POINT bod{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    if (seznam_ && reinterpret_cast<HWND>(w) == seznam_->Handle()) {
        Nabidka koren(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_SEZNAM)));
        Fatalni(koren.Get() != nullptr);
        HMENU menu = GetSubMenu(koren.Get(), 0);
        UplatnitStavyNaNabidku(menu, Stav());
        if (bod.x == -1 && bod.y == -1) {
            RECT r = seznam_->WindowRect();
            bod = {r.left, r.top};
        }
        SetForegroundWindow(m_hWnd);
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, bod.x, bod.y, 0, m_hWnd, nullptr);
        return 0;
    }
    if (bod.x == -1 && bod.y == -1)
        bod = {0xFFFF, 0xFFFF};
    ZobrazitNabidkuIkony(bod);
    return 0;
}

void OknoHlavni::ZobrazitNabidkuIkony(POINT bod)
{
    StavNabidkyIkony s;
    s.viditelne = Viditelne();
    s.nahravaSe = rizeni_.NahravaSe();
    s.zarizeni = a_.zarizeni.get();
    s.aktualniZarizeni = g_konfigurace.zarizeni.friendlyName;
    s.profily = ProfilyZaznamu();
    Nabidka koren = VytvoritNabidkuIkony(GetModuleHandleW(nullptr), s);
    if (bod.x == 0 && bod.y == 0) {
        GetCursorPos(&bod);
    } else if (bod.x == 0xFFFF || bod.y == 0xFFFF) {
        bod = {0, 0};
        ClientToScreen(m_hWnd, &bod);
    }
    SetForegroundWindow(m_hWnd);
    TrackPopupMenu(GetSubMenu(koren.Get(), 0), TPM_RIGHTBUTTON, bod.x, bod.y, 0, m_hWnd, nullptr);
}

void OknoHlavni::KontextoveMenu(UINT, WPARAM, UINT)
{
    ZobrazitNabidkuIkony(POINT{0, 0});
}

void OknoHlavni::LeveTlacitkoNahoru(UINT id, WPARAM, UINT)
{
    if (id != 1)
        return;
    bool ctrl = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    bool shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
    UINT prikaz = PrikazGesta(g_konfigurace.akce_ikona_hlavni, ctrl, shift);
    if (prikaz)
        Post(WM_COMMAND, MAKEWPARAM(prikaz, 0), 0);
}

LRESULT OknoHlavni::OnMenuSelect(UINT, WPARAM w, LPARAM l, BOOL&)
{
    if (!status_ || !Viditelne())
        return 0;
    UINT id = LOWORD(w), flags = HIWORD(w);
    bool nalezen = false;
    std::wstring text;
    if (!(flags == 0xFFFF && l == 0) && !(flags & MF_POPUP) && !(flags & MF_SEPARATOR) && id != 0)
        text = NacistRetezec(id, &nalezen);
    if (nalezen && !text.empty())
        text = STeckou(text);
    else
        text = textStavu_;
    SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
    return 0;
}

LRESULT OknoHlavni::OnInitMenuPopup(UINT, WPARAM w, LPARAM, BOOL& zpracovano)
{
    // Devices are enumerated again and chosen elsewhere; the submenu is made
    // anew each time its popup opens.
    if (popupSeZarizenim_ && reinterpret_cast<HMENU>(w) == popupSeZarizenim_)
        PripojitNabidkuZarizeni(popupSeZarizenim_, a_.zarizeni.get(), g_konfigurace.zarizeni.friendlyName);
    zpracovano = FALSE;
    return 0;
}

LRESULT OknoHlavni::OnHotKey(UINT, WPARAM w, LPARAM, BOOL&)
{
    // Each key was registered with its command as the hot-key id.
    Post(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w), 0), 0);
    return 0;
}

LRESULT OknoHlavni::OnCommand(UINT, WPARAM w, LPARAM l, BOOL& zpracovano)
{
    WORD id = LOWORD(w), kod = HIWORD(w);
    HWND prvek = reinterpret_cast<HWND>(l);
    if (prvek && prvek == comboZarizeni_.Handle()) {
        if (kod == CBN_SELCHANGE)
            ZmenaZarizeni();
        return 0;
    }
    // A posted command may carry a plain value in lParam (0xFFFF: a silent
    // update check), not a control.
    if (prvek && ::IsWindow(prvek) && prvek != toolbar_) {
        zpracovano = FALSE;  // the control gets its notification back
        return 0;
    }
    tichyPrikaz_ = (l == 0xFFFF);
    Prikaz(id);
    tichyPrikaz_ = false;
    return 0;
}

void OknoHlavni::ZmenaZarizeni()
{
    AudioCaptureDevice vybrane;
    if (comboZarizeni_.GetSelected(vybrane) != S_OK)
        return;
    g_konfigurace.zarizeni = vybrane;
    Ulozit(g_konfigurace);
    Post(WM_ZARIZENI_ZMENA);
}

LRESULT OknoHlavni::OnNotify(UINT, WPARAM, LPARAM l, BOOL& zpracovano)
{
    auto* h = reinterpret_cast<NMHDR*>(l);
    switch (h->code) {
    case TTN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(l);
        if (h->idFrom > 40000 && h->idFrom < 50000 && !(info->uFlags & TTF_IDISHWND)) {
            std::wstring text = NacistRetezec(static_cast<UINT>(h->idFrom));
            lstrcpynW(info->szText, text.c_str(), static_cast<int>(std::size(info->szText)));
            return 0;
        }
        break;
    }
    case TBN_DROPDOWN:
        if (h->hwndFrom == toolbar_) {
            RozbalitTlacitko(*reinterpret_cast<NMTOOLBARW*>(l));
            return TBDDRET_DEFAULT;
        }
        break;
    case LVN_KEYDOWN:
        if (seznam_ && h->hwndFrom == seznam_->Handle()) {
            auto* klavesa = reinterpret_cast<NMLVKEYDOWN*>(l);
            UINT prikaz = PrikazKlavesySeznamu(klavesa->wVKey, KlavesaDrzena(VK_CONTROL), KlavesaDrzena(VK_SHIFT));
            if (prikaz)
                Prikaz(prikaz);
            return 0;
        }
        break;
    case NM_DBLCLK:
    case NM_RETURN:
        if (seznam_ && h->hwndFrom == seznam_->Handle()) {
            Prikaz(kPrehrat);
            return 0;
        }
        break;
    default:
        break;
    }
    zpracovano = FALSE;
    return 0;
}

void OknoHlavni::RozbalitTlacitko(const NMTOOLBARW& nm)
{
    HMENU popup = nullptr;
    Nabidka vlastnik;
    switch (nm.iItem) {
    case kSpustit:
        if (!rizeni_.NahravaSe())
            popup = VytvoritNabidkuProfilu(ProfilyZaznamu(), kZakladZaznamProfilu);
        vlastnik.Reset(popup);
        break;
    case kPrepnoutProfil:
        popup = VytvoritNabidkuProfilu(ProfilyZaznamu(), kZakladPrepnoutProfil);
        vlastnik.Reset(popup);
        break;
    case kPredvolby:
        popup = NacistPopup(GetModuleHandleW(nullptr), IDR_MENU_NASTAVENI);
        vlastnik.Reset(popup);
        break;
    case kOAplikaci:
        popup = NacistPopup(GetModuleHandleW(nullptr), IDR_MENU_NAPOVEDA);
        vlastnik.Reset(popup);
        break;
    default:
        return;
    }
    if (!popup)
        return;
    UplatnitStavyNaNabidku(popup, Stav());
    RECT r{};
    SendMessageW(toolbar_, TB_GETRECT, nm.iItem, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(toolbar_, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, r.left, r.bottom, 0, m_hWnd, nullptr);
}

LRESULT OknoHlavni::OnNastaveniZmena(UINT, WPARAM, LPARAM, BOOL&)
{
    // The settings dialog applied the priority with the settings, once.
    if (ikona_)
        ikona_->NastavitZvuk((g_konfigurace.parametry & 1) != 0);
    return 0;
}

LRESULT OknoHlavni::OnSpusteni(UINT, WPARAM, LPARAM, BOOL&)
{
    Konfigurace& k = g_konfigurace;
    // What the first paint did not need waited until the window showed.
    if (a_.PrevzitZarizeni())
        comboZarizeni_.Fill(k.zarizeni);
    comboProfilu_->FillFromConfiguration();
    if (!tooltip_ && (tooltip_ = mirvak::winapi::VytvoritTooltip(m_hWnd)) != nullptr) {
        mirvak::winapi::PridatTooltip(tooltip_, rebar_, IDC_ZARIZENI_ZVUK, MAKEINTRESOURCEW(20029));
        mirvak::winapi::PridatTooltip(tooltip_, rebar_, IDC_PROFIL_KODOVANI, MAKEINTRESOURCEW(20028));
    }
    if (ikona_ && !ikona_->Zobrazena()) {
        ikona_->Pridat(m_hWnd, 1, (k.parametry & 2) != 0, (k.parametry & 1) != 0);
        ikona_->NastavitTitulek(a_.nazevProduktu.c_str());
        ikona_->NastavitTip(a_.nazevProduktu.c_str());
    }
    a_.NastavitPrioritu();
    klavesy_.Registrovat(m_hWnd, k, ikona_.get());
    AktualizovatStavy();
    if (k.zapis_udalosti & 2)
        ZapsatInformaci(NacistText(IDS_UDALOST_SPUSTENI, a_.nazevProduktu.c_str()).c_str());
    if (k.po_spusteni & 1)
        SkrytOkno();
    if (k.po_spusteni & 2)
        Post(WM_COMMAND, MAKEWPARAM(kSpustit, 0), 0);
    // Recordings a crash left unfinished are finished in the background.
    std::vector<std::wstring> slozky = {k.slozka_data, k.seznam_souboru_slozka};
    pracovnici::Spustit(pracovnici::Druh::OpravaZaznamu, [slozky](const pracovnici::Zruseni& zruseni) {
        std::wstring jmena;
        for (const std::wstring& cesta : OpravitNedokonceneZaznamy(slozky, *zruseni.Priznak()))
            jmena += (jmena.empty() ? L"" : L", ") + JmenoBezSlozky(cesta);
        if (jmena.empty())
            return;
        pracovnici::Hlaseni hlaseni;
        hlaseni.text = NacistText(IDS_ZAZNAMY_OPRAVENY, jmena.c_str());
        hlaseni.druh = kBublinaInformace;
        hlaseni.doUdalosti = true;
        pracovnici::Ohlasit(std::move(hlaseni));
    });
    PostSize();
    return 0;
}

LRESULT OknoHlavni::OnUdalostZaznamu(UINT, WPARAM, LPARAM, BOOL&)
{
    rizeni_.UdalostGrafu();
    return 0;
}

LRESULT OknoHlavni::OnUrovenZaznamu(UINT, WPARAM w, LPARAM l, BOOL&)
{
    rizeni_.Urovne(LOWORD(w), HIWORD(w), static_cast<unsigned>(l));
    return 0;
}

LRESULT OknoHlavni::OnSeznamVolby(UINT, WPARAM, LPARAM, BOOL&)
{
    if (seznam_)
        seznam_->Restart();
    return 0;
}

LRESULT OknoHlavni::OnZmenaStavu(UINT zprava, WPARAM w, LPARAM, BOOL&)
{
    if (zprava == mirvak::winapi::WM_SEZNAM_ZMENA && w == mirvak::winapi::kSlozkaZmizela && seznam_ &&
        !rizeni_.NahravaSe()) {
        std::wstring slozka;
        seznam_->GetFolder(slozka);
        NastavitStav(NacistText(IDS_SLOZKA_ZMIZELA, a_.nazevProduktu.c_str(), slozka.c_str()), nullptr);
    }
    AktualizovatStavy();
    return 0;
}

void OknoHlavni::ProvestRozsah(UINT id)
{
    int index = -1;
    RozsahPrikazu druh = RozlozitPrikaz(id, index);
    if (druh == RozsahPrikazu::kZarizeni) {
        if (a_.zarizeni && index < a_.zarizeni->Count()) {
            // In memory only: the next full save stores it.
            g_konfigurace.zarizeni = a_.zarizeni->At(index);
            comboZarizeni_.Fill(g_konfigurace.zarizeni);
        }
        return;
    }
    if (index >= a_.profilyZaznamu.Count())
        return;
    switch (druh) {
    case RozsahPrikazu::kZaznamPodleProfilu:
        if (!UrcitStavPrikazu(Stav(), kSpustitProfil).povolen) {
            MessageBeep(MB_ICONEXCLAMATION);
            break;
        }
        rizeni_.SpustitPodleProfilu(ProfilyZaznamu()[static_cast<size_t>(index)]);
        break;
    case RozsahPrikazu::kSlozkaProfilu:
        PrepnoutNaProfil(index, false);
        break;
    case RozsahPrikazu::kPrepnoutProfil:
        PrepnoutNaProfil(index, true);
        break;
    default:
        break;
    }
}

void OknoHlavni::PrepnoutNaProfil(int index, bool aVybrat)
{
    if (!seznam_)
        return;
    const RecordingProfile& p = a_.profilyZaznamu.At(index);
    // Only a folder the list took is stored and shown.
    if (seznam_->ZobrazitSlozku(g_konfigurace, p.folder) != S_OK)
        return;
    if (!rizeni_.NahravaSe())
        NastavitStav(NacistText(20026, a_.nazevProduktu.c_str(), p.folder.c_str()), nullptr);
    if (aVybrat) {
        HWND combo = comboZarizeni_.Handle();
        LRESULT i = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(p.device.friendlyName.c_str()));
        SendMessageW(combo, CB_SETCURSEL, i == CB_ERR ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(i), 0);
        comboProfilu_->Fill(p.profileId);
    }
    AktualizovatStavy();
}

void OknoHlavni::Prikaz(UINT id)
{
    int index = -1;
    if (RozlozitPrikaz(id, index) != RozsahPrikazu::kZadny) {
        ProvestRozsah(id);
        return;
    }
    // Keys and posted commands obey the states the menus show.
    const std::vector<UINT>& spravovane = SpravovanePrikazy();
    if (std::find(spravovane.begin(), spravovane.end(), id) != spravovane.end() &&
        !UrcitStavPrikazu(Stav(), id).povolen) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    Konfigurace& k = g_konfigurace;
    switch (id) {
    case kKonec:
        Post(WM_CLOSE);
        break;
    case kPredvolby:
        PrikazPredvolby();
        break;
    case kWeb:
        OtevritAdresu(AdresaStrankyProduktu());
        break;
    case kPodpora:
        OtevritAdresu(IDS_HL_ADRESA_PODPORY);
        break;
    case kAktualizace:
        PrikazAktualizace();
        break;
    case kOAplikaci:
        PrikazOAplikaci();
        break;
    case kPlovouciNabidka:
        ZobrazitNabidkuIkony(POINT{0, 0});
        break;
    case kZobrazitSkryt:
        if (Viditelne())
            SkrytOkno();
        else
            ZobrazitOkno();
        break;
    case kPrepnoutZaznam:
        rizeni_.Prepnout();
        break;
    case kSpustit:
        rizeni_.SpustitZaznam();
        break;
    case kUkoncit:
        rizeni_.PrikazUkoncit();
        break;
    case kZobrazitOkno:
        if (!Viditelne())
            ZobrazitOkno();
        break;
    case kSkrytOkno:
        SkrytOkno();
        break;
    case kNavrchu: {
        bool navrchu = (ExStyle() & WS_EX_TOPMOST) == 0;
        SetWindowPos(m_hWnd, navrchu ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        k.okno_navrchu = navrchu;
        UlozitZobrazeni(k);
        break;
    }
    case kSeznamSouboru:
        k.zobrazit_seznam_souboru = seznam_ ? 0 : 1;
        VytvoritKlientskouOblast();
        UplatnitPisma();
        UlozitZobrazeni(k);
        PostSize();
        break;
    case kVybratSlozku:
    case kVychoziSlozka:
        if (seznam_) {
            HRESULT hr = id == kVybratSlozku ? seznam_->PrikazVybratSlozku(k) : seznam_->PrikazVychoziSlozka(k);
            if (hr == S_OK && !rizeni_.NahravaSe())
                NastavitStav(NacistText(20026, a_.nazevProduktu.c_str(), k.seznam_souboru_slozka.c_str()), nullptr);
            PostSize();
        }
        break;
    case kMaleIkony:
    case kVelkeIkony:
        k.toolbar = id == kMaleIkony ? 1 : 2;
        VytvoritToolbar();
        UplatnitPisma();
        UlozitZobrazeni(k);
        PostSize();
        break;
    case kProfilyZaznamu:
        PrikazProfilyZaznamu();
        break;
    case kFtpMista:
        PrikazFtpMista();
        break;
    case kKontakty:
        PrikazKontakty();
        break;
    case kSmtpUcty:
        PrikazSmtpUcty();
        break;
    case kPrejmenovat:
        if (seznam_)
            seznam_->PrikazPrejmenovat(k.seznam_souboru_parametry);
        break;
    case kUlozitJako:
        if (seznam_)
            seznam_->PrikazUlozitJako();
        break;
    case kPrehrat:
        if (seznam_)
            seznam_->PrikazPrehrat();
        break;
    case kEmail:
        PrikazEmail();
        break;
    case kFtp:
        PrikazFtp();
        break;
    case kVlastnosti:
        if (seznam_)
            seznam_->PrikazVlastnosti();
        break;
    case kOtevritSlozku:
        mirvak::winapi::OtevritSlozkuZaznamu(k.slozka_data, KlavesaDrzena(VK_CONTROL));
        break;
    case kResetCislovani:
        ResetovatCislovani(k, a_.cisloZaznamu);
        break;
    case kOdstranit:
        if (seznam_)
            seznam_->PrikazSmazat(k.seznam_souboru_parametry);
        break;
    case kPrejmenovatNahravany:
        rizeni_.PrejmenovatNahravany();
        break;
    case kPrehravac:
        PrepnoutPrehravac(m_hWnd);
        break;
    default:
        break;
    }
    AktualizovatStavy();
}

// Later subsystems: each of these is where its dialog or worker is started.

void OknoHlavni::PrikazPredvolby()
{
    // The hot keys are released while the settings dialog may change them.
    bool registrovany = klavesy_.Registrovany();
    if (registrovany)
        klavesy_.Odregistrovat(m_hWnd, g_konfigurace, ikona_.get());
    SpustitNastaveni(m_hWnd, IDD_NAST_APLIKACE);
    if (registrovany) {
        NacistHorkeKlavesy(g_konfigurace);
        klavesy_.Registrovat(m_hWnd, g_konfigurace, ikona_.get());
    }
    if (ikona_)
        ikona_->NastavitZvuk((g_konfigurace.parametry & 1) != 0);
}

void OknoHlavni::PrikazAktualizace()
{
    StartUpdateCheck(tichyPrikaz_);
}

void OknoHlavni::PrikazOAplikaci()
{
    ZobrazitOAplikaci(m_hWnd);
}

void OknoHlavni::PrikazEmail()
{
    std::wstring soubor;
    if (!seznam_ || seznam_->GetCurrentFile(soubor, true) != S_OK) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    StartEmailSend(m_hWnd, soubor);
}

void OknoHlavni::PrikazFtp()
{
    std::wstring soubor;
    if (!seznam_ || seznam_->GetCurrentFile(soubor, true) != S_OK) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    mirvak::ftp::OdeslatSouborNaFtp(soubor);
}

void OknoHlavni::PrikazFtpMista()
{
    a_.SpravovatFtpMista(m_hWnd);
}

void OknoHlavni::PrikazKontakty()
{
    a_.SpravovatKontakty(m_hWnd);
}

void OknoHlavni::PrikazSmtpUcty()
{
    SpravovatSmtpUcty(m_hWnd);
}

void OknoHlavni::PrikazProfilyZaznamu()
{
    if (!a_.zarizeni)
        return;
    mirvak::winapi::VysledekProfiluZaznamu vysledek;
    if (mirvak::winapi::SpravovatProfilyZaznamu(m_hWnd, a_.profilyZaznamu, *a_.zarizeni, vysledek,
                                                &g_konfigurace) != S_OK)
        return;  // one is open already, or it could not open
    if (vysledek.zarizeniObnovena)
        comboZarizeni_.Fill(g_konfigurace.zarizeni);
    VytvoritMenu();
    AktualizovatStavy();
}

OknoHlavni* HlavniOknoObjekt()
{
    return g_hlavni.get();
}

HWND HlavniOkno()
{
    return g_hlavni && g_hlavni->IsWindow() ? g_hlavni->Handle() : nullptr;
}

HRESULT VytvoritHlavniOkno(Aplikace& a)
{
    g_hlavni = std::make_unique<OknoHlavni>(a);
    HRESULT hr = g_hlavni->Vytvorit();
    if (FAILED(hr))
        g_hlavni.reset();
    return hr;
}

void ZnicitHlavniOkno()
{
    if (!g_hlavni)
        return;
    if (g_hlavni->IsWindow()) {
        HWND okno = g_hlavni->Handle();
        if (!DestroyWindow(okno))
            FatalniChybaPosledni();
    }
    g_hlavni.reset();
}
