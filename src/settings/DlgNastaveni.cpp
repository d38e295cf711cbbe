// The settings dialog: the tree of pages, apply, OK and Storno.
#include "settings/DlgNastaveni.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/IMirvakModul.h"
#include "app/Verze.h"

#include <shellapi.h>
#include <uxtheme.h>

using namespace mirvak::winapi;

namespace {

DlgNastaveni* g_dlgNastaveni = nullptr;

// Applies `process_priority` the way the application does; without an
// application object (a host other than Tonbar.exe) the same call directly.
void NastavitPrioritu(const Konfigurace& k)
{
    if (g_aplikace && &k == &g_konfigurace) {
        g_aplikace->NastavitPrioritu();
        return;
    }
    if (!SetPriorityClass(GetCurrentProcess(), k.process_priority))
        ZobrazitChybuId(IDS_CHYBA_PRIORITA);
}

} // namespace

std::wstring NazevProduktuAplikace()
{
    if (mirvak::g_modul && mirvak::g_modul->NazevProduktu())
        return mirvak::g_modul->NazevProduktu();
    std::wstring nazev;
    NacistHodnotuVerze(L"ProductName", nazev);
    return nazev;
}

void NastavitIkonyAplikace(HWND dialog)
{
    HICON velka = g_aplikace ? g_aplikace->velkaIkona : nullptr;
    HICON mala = g_aplikace ? g_aplikace->malaIkona : nullptr;
    HINSTANCE modul = GetModuleHandleW(nullptr);
    // Shared icons are owned by the system; nothing to free.
    if (!velka)
        velka = static_cast<HICON>(LoadImageW(modul, MAKEINTRESOURCEW(IDI_TONBAR), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    if (!mala)
        mala = static_cast<HICON>(LoadImageW(modul, MAKEINTRESOURCEW(IDI_TONBAR), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(velka));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mala));
}

// Pages ----------------------------------------------------------------------

StrankaNastaveni::~StrankaNastaveni()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

void StrankaNastaveni::OznamitZmenu() const
{
    if (!plneni_)
        PostMessageW(GetParent(m_hWnd), WM_STRANKA_ZMENENA, 0, 0);
}

int StrankaNastaveni::PridatPolozku(int idPrvku, const std::wstring& text, LPARAM data) const
{
    HWND combo = GetDlgItem(m_hWnd, idPrvku);
    LRESULT i = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (i < 0)
        FatalniChybaKod(E_FAIL);
    SendMessageW(combo, CB_SETITEMDATA, i, data);
    return static_cast<int>(i);
}

bool StrankaNastaveni::VybratData(int idPrvku, LPARAM data) const
{
    HWND combo = GetDlgItem(m_hWnd, idPrvku);
    int pocet = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < pocet; ++i) {
        if (SendMessageW(combo, CB_GETITEMDATA, i, 0) == data) {
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            return true;
        }
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    return false;
}

LPARAM StrankaNastaveni::VybranaData(int idPrvku, LPARAM vychozi) const
{
    HWND combo = GetDlgItem(m_hWnd, idPrvku);
    LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR)
        return vychozi;
    return SendMessageW(combo, CB_GETITEMDATA, i, 0);
}

std::wstring StrankaNastaveni::TextPrvku(int idPrvku) const
{
    HWND prvek = GetDlgItem(m_hWnd, idPrvku);
    int delka = GetWindowTextLengthW(prvek);
    std::wstring text(static_cast<size_t>(delka) + 1, L'\0');
    int n = GetWindowTextW(prvek, text.data(), delka + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

// The dialog -------------------------------------------------------------------

const DlgNastaveni::PopisStranky DlgNastaveni::kStranky[8] = {
    {20018, IDD_NAST_APLIKACE, 20020},     {20019, IDD_NAST_HORKE_KLAVESY, 20021},
    {20098, IDD_NAST_PO_SPUSTENI, 20099},  {20035, IDD_NAST_ZAPIS_UDALOSTI, 20036},
    {20061, IDD_NAST_SOUBOR, 20062},       {20058, IDD_NAST_SEZNAM_SOUBORU, 20059},
    {20064, IDD_NAST_SMTP_UCET, 20065},    {20092, IDD_NAST_PREHRAVANI, 20093},
};

DlgNastaveni::DlgNastaveni(Konfigurace& k, HWND vlastnik, UINT prvniStranka)
    : k_(k), vlastnik_(vlastnik), prvniStranka_(prvniStranka)
{
}

DlgNastaveni::~DlgNastaveni()
{
    // The pages are children of the dialog; they go before it does.
    stranky_.clear();
}

StrankaNastaveni* DlgNastaveni::Stranka(UINT sablona) const
{
    for (const auto& s : stranky_)
        if (s->IdSablony() == sablona)
            return s.get();
    return nullptr;
}

std::unique_ptr<StrankaNastaveni> DlgNastaveni::VytvoritStranku(UINT sablona)
{
    switch (sablona) {
    case IDD_NAST_APLIKACE: return std::make_unique<DlgNastAplikace>(k_);
    case IDD_NAST_HORKE_KLAVESY: return std::make_unique<DlgNastHorkeKlavesy>(k_);
    case IDD_NAST_PO_SPUSTENI: return std::make_unique<DlgNastPoSpusteni>(k_);
    case IDD_NAST_ZAPIS_UDALOSTI: return std::make_unique<DlgNastZapisUdalosti>(k_);
    case IDD_NAST_SOUBOR: return std::make_unique<DlgNastSoubor>(k_);
    case IDD_NAST_SEZNAM_SOUBORU: return std::make_unique<DlgNastSeznamSouboru>(k_, priznakSeznamu_);
    case IDD_NAST_SMTP_UCET: return std::make_unique<DlgNastSmtpUcet>(k_);
    case IDD_NAST_PREHRAVANI: return std::make_unique<DlgNastPrehravani>(k_);
    default: return nullptr;
    }
}

LRESULT DlgNastaveni::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    NastavitIkonyAplikace(m_hWnd);
    std::wstring produkt = NazevProduktuAplikace();
    SetWindowTextW(m_hWnd, NacistText(20016, produkt.c_str()).c_str());

    tooltip_ = VytvoritTooltip(m_hWnd);
    if (tooltip_)
        PridatTooltip(tooltip_, m_hWnd, IDC_NAST_ODKAZ_FIRMA, MAKEINTRESOURCEW(20017));
    HWND strom = Item(IDC_NAST_STROM);
    SetWindowTheme(strom, L"Explorer", nullptr);

    bool znama = false;
    for (const PopisStranky& p : kStranky)
        znama = znama || p.sablona == prvniStranka_;
    UINT prvni = znama ? prvniStranka_ : static_cast<UINT>(IDD_NAST_APLIKACE);

    // The page area, in the dialog's client coordinates.
    RECT klient = ClientRect();
    RECT r{};
    GetWindowRect(strom, &r);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    oblast_ = RECT{r.right + 12, klient.top, klient.right - 12, klient.bottom - 50};

    HTREEITEM vybrat = nullptr;
    for (const PopisStranky& p : kStranky) {
        std::wstring nazev = NacistRetezec(p.nazev);
        TVINSERTSTRUCTW vlozit{};
        vlozit.hParent = TVI_ROOT;
        vlozit.hInsertAfter = TVI_LAST;
        vlozit.item.mask = TVIF_TEXT | TVIF_PARAM;
        vlozit.item.pszText = nazev.data();
        vlozit.item.lParam = static_cast<LPARAM>(p.sablona);
        auto polozka = reinterpret_cast<HTREEITEM>(
            SendMessageW(strom, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&vlozit)));
        if (!polozka)
            FatalniChybaKod(E_FAIL);
        if (p.sablona == prvni)
            vybrat = polozka;
    }
    // Selecting the item creates and shows its page (TVN_SELCHANGED).
    SendMessageW(strom, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(vybrat));
    SendMessageW(strom, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(vybrat));
    if (!Stranka(prvni))
        UkazatStranku(prvni);
    CentrovatDialog(m_hWnd);
    return TRUE;
}

void DlgNastaveni::UkazatStranku(UINT sablona)
{
    const PopisStranky* popis = nullptr;
    for (const PopisStranky& p : kStranky)
        if (p.sablona == sablona)
            popis = &p;
    if (!popis)
        return;
    for (const auto& s : stranky_)
        ShowWindow(s->m_hWnd, SW_HIDE);
    StrankaNastaveni* stranka = Stranka(sablona);
    if (!stranka) {
        std::unique_ptr<StrankaNastaveni> nova = VytvoritStranku(sablona);
        HRESULT hr = nova->CreateModeless(m_hWnd, sablona);
        if (FAILED(hr))
            FatalniChybaKod(hr);
        stranka = nova.get();
        stranky_.push_back(std::move(nova));
    }
    SetWindowPos(stranka->m_hWnd, Item(IDC_NAST_STROM), oblast_.left, oblast_.top, oblast_.right - oblast_.left,
                 oblast_.bottom - oblast_.top, SWP_NOACTIVATE);
    ShowWindow(stranka->m_hWnd, SW_SHOW);
    std::wstring titulek = NacistText(20016, NazevProduktuAplikace().c_str()) + L" - " + NacistRetezec(popis->titulek);
    SetWindowTextW(m_hWnd, titulek.c_str());
}

LRESULT DlgNastaveni::OnVyberStromu(int, NMHDR* hlavicka, BOOL&)
{
    auto* zmena = reinterpret_cast<NMTREEVIEWW*>(hlavicka);
    if (zmena->itemNew.hItem)
        UkazatStranku(static_cast<UINT>(zmena->itemNew.lParam));
    return 0;
}

LRESULT DlgNastaveni::OnZmenaStranky(UINT, WPARAM, LPARAM, BOOL&)
{
    EnableWindow(Item(IDC_NAST_POUZIT), TRUE);
    return 0;
}

void DlgNastaveni::Pouzit()
{
    EnableWindow(Item(IDC_NAST_POUZIT), FALSE);
    for (const auto& s : stranky_)
        s->Pouzit();
    // A failed save has shown its message; the owner still hears of the apply.
    Ulozit(k_);
    NastavitPrioritu(k_);
    if (vlastnik_ && ::IsWindow(vlastnik_)) {
        PostMessageW(vlastnik_, WM_NASTAVENI_POUZITO, 0, 0);
        if (priznakSeznamu_)
            PostMessageW(vlastnik_, WM_SEZNAM_ZMENEN, 0, 0);
    }
    priznakSeznamu_ = false;
}

LRESULT DlgNastaveni::OnOk(WORD, WORD, HWND, BOOL&)
{
    Pouzit();
    EndDialog(IDOK);
    return 0;
}

LRESULT DlgNastaveni::OnStorno(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT DlgNastaveni::OnPouzit(WORD, WORD, HWND, BOOL&)
{
    Pouzit();
    return 0;
}

LRESULT DlgNastaveni::OnOdkaz(int, NMHDR*, BOOL&)
{
    ShellExecuteW(m_hWnd, L"open", NacistRetezec(IDS_ADRESA_FIRMY).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    return 0;
}

INT_PTR SpustitNastaveni(HWND vlastnik, UINT prvniStranka, Konfigurace& k)
{
    if (g_dlgNastaveni) {
        SetForegroundWindow(g_dlgNastaveni->m_hWnd);
        return 0;
    }
    // Links and the hot-key control need their classes registered.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS | ICC_HOTKEY_CLASS | ICC_TREEVIEW_CLASSES |
                                             ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    DlgNastaveni dialog(k, vlastnik, prvniStranka);
    g_dlgNastaveni = &dialog;
    INT_PTR vysledek = dialog.DoModal(vlastnik && IsWindow(vlastnik) ? vlastnik : nullptr, IDD_NASTAVENI);
    g_dlgNastaveni = nullptr;
    return vysledek;
}

HWND OknoNastaveni()
{
    return g_dlgNastaveni ? g_dlgNastaveni->m_hWnd : nullptr;
}
