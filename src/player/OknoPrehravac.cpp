// Before dshow.h, which hides the shell string functions.
#include <windows.h>
#include <shlwapi.h>

#include "player/OknoPrehravac.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Handles.h"
#include "app/IMirvakModul.h"
#include "app/Konfigurace.h"
#include "mainwindow/OknoHlavni.h"
#include "mainwindow/UmisteniOkna.h"
#include "player/PrehravacZdroje.h"

#include <process.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kTrida[] = L"prehravac_zvuku";
constexpr UINT kIdCasovace = 1;
constexpr UINT kNapoveda = 20002;        // "Ná&pověda"
constexpr UINT kPripraven = 20001;       // "%s - Připraven"
constexpr UINT kNazevPrehravace = 20091; // "Přehrávač zvukových souborů"
constexpr UINT kChybaOtevreni = 20090;
constexpr DWORD kStylPosuvniku = 0x50000135;

// ---- the player thread and what both threads share ------------------------

// Only the main thread touches the thread handle.
mirvak::winapi::Handle g_vlakno;
// Written by the player thread, read by the main thread.
std::atomic<HWND> g_okno{nullptr};
// Set by ClosePlayer before it looks for the window, so a close asked for
// while the window is still being created is not lost.
std::atomic<bool> g_zavrit{false};
std::atomic<bool> g_objektExistuje{false};
// Set by the player thread when all that is left is to return.
std::atomic<bool> g_konci{false};

struct Start {
    std::wstring soubor;
    HWND vlastnik;
};

unsigned __stdcall VlaknoPrehravace(void* parametr)
{
    std::unique_ptr<Start> start(static_cast<Start*>(parametr));
    bool zadny = false;
    if (!g_objektExistuje.compare_exchange_strong(zadny, true))
        return static_cast<unsigned>(-1);

    HRESULT com = CoInitialize(nullptr);
    unsigned vysledek = 0;
    {
        OknoPrehravac okno(start->vlastnik);
        HRESULT hr = okno.Vytvorit();
        if (SUCCEEDED(hr)) {
            g_okno.store(okno.Hwnd());
            if (g_zavrit.load())
                PostMessageW(okno.Hwnd(), WM_CLOSE, 0, 0);
            if (!start->soubor.empty())
                okno.OtevritSoubor(start->soubor);
            if (start->vlastnik)
                PostMessageW(start->vlastnik, WM_PREHRAVAC_ZMENA, 1, 0);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        } else {
            ZobrazitChybu(TextKodu(hr).c_str());
            vysledek = static_cast<unsigned>(hr);
        }
        g_okno.store(nullptr);
    }
    g_objektExistuje.store(false);
    if (SUCCEEDED(com))
        CoUninitialize();
    // After this the owner may see the thread as ending and wait for it.
    g_konci.store(true);
    if (start->vlastnik)
        PostMessageW(start->vlastnik, WM_PREHRAVAC_ZMENA, 0, 0);
    return vysledek;
}

bool JeSoubor(const std::wstring& path)
{
    if (path.empty())
        return false;
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

const wchar_t* NazevProduktu()
{
    if (g_aplikace)
        return g_aplikace->nazevProduktu.c_str();
    if (mirvak::g_modul)
        return mirvak::g_modul->NazevProduktu();
    return L"";
}

// ---- tool-bar images, drawn at run time -------------------------------------

constexpr int kStrana = 16;
enum Obrazek { ObrOtevrit, ObrZavrit, ObrZpet, ObrZastavit, ObrSpustit, ObrPozastavit, ObrVpred, ObrInformace, ObrKonec, PocetObrazku };

void KresliObrazek(HDC dc, int i)
{
    const int x0 = i * kStrana;
    auto bod = [&](int x, int y) { return POINT{x0 + x, y}; };
    auto mnohouhelnik = [&](std::initializer_list<POINT> body, COLORREF barva) {
        mirvak::winapi::GdiObject stetec(CreateSolidBrush(barva));
        HGDIOBJ puvodni = SelectObject(dc, stetec.Get());
        Polygon(dc, body.begin(), static_cast<int>(body.size()));
        SelectObject(dc, puvodni);
    };
    const COLORREF tmava = RGB(40, 60, 110);
    switch (i) {
    case ObrOtevrit:
        mnohouhelnik({bod(1, 4), bod(6, 4), bod(7, 5), bod(14, 5), bod(14, 13), bod(1, 13)}, RGB(230, 180, 40));
        break;
    case ObrZavrit:
        mnohouhelnik({bod(3, 2), bod(8, 7), bod(13, 2), bod(14, 3), bod(9, 8), bod(14, 13), bod(13, 14), bod(8, 9),
                      bod(3, 14), bod(2, 13), bod(7, 8), bod(2, 3)},
                     RGB(190, 40, 40));
        break;
    case ObrZpet:
        mnohouhelnik({bod(8, 3), bod(8, 13), bod(1, 8)}, tmava);
        mnohouhelnik({bod(15, 3), bod(15, 13), bod(8, 8)}, tmava);
        break;
    case ObrZastavit:
        mnohouhelnik({bod(3, 3), bod(13, 3), bod(13, 13), bod(3, 13)}, tmava);
        break;
    case ObrSpustit:
        mnohouhelnik({bod(4, 2), bod(13, 8), bod(4, 14)}, RGB(30, 140, 50));
        break;
    case ObrPozastavit:
        mnohouhelnik({bod(3, 3), bod(6, 3), bod(6, 13), bod(3, 13)}, tmava);
        mnohouhelnik({bod(10, 3), bod(13, 3), bod(13, 13), bod(10, 13)}, tmava);
        break;
    case ObrVpred:
        mnohouhelnik({bod(1, 3), bod(1, 13), bod(8, 8)}, tmava);
        mnohouhelnik({bod(8, 3), bod(8, 13), bod(15, 8)}, tmava);
        break;
    case ObrInformace:
        mnohouhelnik({bod(5, 1), bod(11, 1), bod(14, 5), bod(14, 11), bod(11, 14), bod(5, 14), bod(2, 11), bod(2, 5)},
                     RGB(40, 90, 200));
        mnohouhelnik({bod(7, 6), bod(9, 6), bod(9, 12), bod(7, 12)}, RGB(255, 255, 255));
        mnohouhelnik({bod(7, 3), bod(9, 3), bod(9, 5), bod(7, 5)}, RGB(255, 255, 255));
        break;
    case ObrKonec:
        mnohouhelnik({bod(2, 2), bod(9, 2), bod(9, 14), bod(2, 14)}, RGB(120, 90, 60));
        mnohouhelnik({bod(8, 6), bod(11, 6), bod(11, 3), bod(15, 8), bod(11, 13), bod(11, 10), bod(8, 10)},
                     RGB(190, 40, 40));
        break;
    }
}

HIMAGELIST VytvoritObrazky()
{
    HIMAGELIST seznam = ImageList_Create(kStrana, kStrana, ILC_COLOR24 | ILC_MASK, PocetObrazku, 0);
    if (!seznam)
        return nullptr;
    HDC obrazovka = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(obrazovka);
    mirvak::winapi::GdiObject bitmapa(CreateCompatibleBitmap(obrazovka, kStrana * PocetObrazku, kStrana));
    ReleaseDC(nullptr, obrazovka);
    if (dc && bitmapa) {
        const COLORREF maska = RGB(255, 0, 255);
        HGDIOBJ puvodni = SelectObject(dc, bitmapa.Get());
        RECT vse{0, 0, kStrana * PocetObrazku, kStrana};
        mirvak::winapi::GdiObject pozadi(CreateSolidBrush(maska));
        FillRect(dc, &vse, static_cast<HBRUSH>(pozadi.Get()));
        HGDIOBJ pero = SelectObject(dc, GetStockObject(NULL_PEN));
        for (int i = 0; i < PocetObrazku; ++i)
            KresliObrazek(dc, i);
        SelectObject(dc, pero);
        SelectObject(dc, puvodni);
        ImageList_AddMasked(seznam, static_cast<HBITMAP>(bitmapa.Get()), maska);
    }
    if (dc)
        DeleteDC(dc);
    return seznam;
}

// Commands whose state follows whether a file is open.
constexpr UINT kPrikazySouboru[] = {ID_PREHRAVAC_ZAVRIT, ID_PREHRAVAC_VPRED,   ID_PREHRAVAC_ZPET,
                                    ID_PREHRAVAC_POZASTAVIT, ID_PREHRAVAC_SPUSTIT, ID_PREHRAVAC_UKONCIT};

struct CoTaskText {
    void operator()(wchar_t* p) const { CoTaskMemFree(p); }
};

} // namespace

// ---- main-thread side --------------------------------------------------------

HRESULT OpenPlayer(const std::wstring& path, HWND owner)
{
    if (IsPlayerOpen())
        return S_FALSE;
    auto start = std::make_unique<Start>();
    if (JeSoubor(path))
        start->soubor = path;
    start->vlastnik = owner ? owner : HlavniOkno();
    g_zavrit.store(false);
    g_konci.store(false);
    uintptr_t h = _beginthreadex(nullptr, 0, VlaknoPrehravace, start.get(), 0, nullptr);
    if (!h)
        return KodPosledniChyby();
    start.release();
    g_vlakno.Reset(reinterpret_cast<HANDLE>(h));
    return S_OK;
}

HRESULT ClosePlayer()
{
    if (!g_vlakno)
        return S_FALSE;
    g_zavrit.store(true);
    if (HWND okno = g_okno.load())
        PostMessageW(okno, WM_CLOSE, 0, 0);
    DWORD r = WaitForSingleObject(g_vlakno.Get(), g_konfigurace.cekani_na_prehravac);
    if (r == WAIT_OBJECT_0) {
        g_vlakno.Reset();
        return S_OK;
    }
    if (r == WAIT_TIMEOUT)
        return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    return KodPosledniChyby();
}

bool IsPlayerOpen()
{
    if (!g_vlakno)
        return false;
    // A thread that announced its end has only its return left: wait for it,
    // so the closing notice never finds the player still counted as open.
    DWORD cekani = g_konci.load() ? g_konfigurace.cekani_na_prehravac : 0;
    if (WaitForSingleObject(g_vlakno.Get(), cekani) == WAIT_TIMEOUT)
        return true;
    g_vlakno.Reset();
    return false;
}

HWND PlayerWindow()
{
    return g_okno.load();
}

namespace {

HRESULT Zavrit()
{
    HRESULT hr = ClosePlayer();
    if (FAILED(hr))
        ZobrazitChybuSystemu(IDS_PREHRAVAC_NEZAVREN, hr);
    return hr;
}

HRESULT Otevrit(const std::wstring& path, HWND owner)
{
    HRESULT hr = OpenPlayer(path, owner);
    if (FAILED(hr))
        ZobrazitChybuSystemu(IDS_PREHRAVAC_NESPUSTEN, hr);
    return hr;
}

} // namespace

HRESULT PrehratVPrehravaci(const std::wstring& path, HWND owner)
{
    if (IsPlayerOpen()) {
        HRESULT hr = Zavrit();
        if (FAILED(hr))
            return hr;
    }
    return Otevrit(path, owner);
}

HRESULT PrepnoutPrehravac(HWND owner)
{
    return IsPlayerOpen() ? Zavrit() : Otevrit(std::wstring(), owner);
}

// ---- the window ------------------------------------------------------------

OknoPrehravac::~OknoPrehravac()
{
    if (okno_ && IsWindow(okno_))
        DestroyWindow(okno_);
    if (obrazky_)
        ImageList_Destroy(obrazky_);
}

std::wstring OknoPrehravac::TextPripraven() const
{
    return NacistText(kPripraven, NacistRetezec(kNazevPrehravace).c_str());
}

bool OknoPrehravac::MaSoubor() const
{
    return JeSoubor(soubor_);
}

HRESULT OknoPrehravac::Vytvorit()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE instance = GetModuleHandleW(nullptr);

    WNDCLASSEXW trida{sizeof trida};
    trida.lpfnWndProc = ProceduraOkna;
    trida.hInstance = instance;
    trida.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    trida.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    trida.lpszClassName = kTrida;
    if (!RegisterClassExW(&trida) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return KodPosledniChyby();

    std::wstring titulek = NacistText(IDS_PREHRAVAC_TITULEK, NazevProduktu());
    // WM_NCCREATE binds the handle to this object (okno_).
    if (!CreateWindowExW(0, kTrida, titulek.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr, instance,
                         this))
        return KodPosledniChyby();
    if (g_aplikace) {
        SendMessageW(okno_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_aplikace->velkaIkona));
        SendMessageW(okno_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_aplikace->malaIkona));
    }

    if (HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDM_PREHRAVAC))) {
        if (HMENU napoveda = LoadMenuW(instance, MAKEINTRESOURCEW(IDM_NAPOVEDA))) {
            HMENU popup = GetSubMenu(napoveda, 0);
            // Detached from its template so it lives with the menu bar.
            RemoveMenu(napoveda, 0, MF_BYPOSITION);
            DestroyMenu(napoveda);
            if (popup)
                AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                            NacistRetezec(kNapoveda).c_str());
        }
        SetMenu(okno_, menu);
    }

    HRESULT hr = VytvoritOvladaciPrvky();
    if (FAILED(hr))
        return hr;
    textSouboru_ = TextPripraven();
    TextStavu(1, textSouboru_);

    umisteni_.window = okno_;
    umisteni_.key = mirvak::winapi::KlicUmisteni(g_konfigurace.registrovaCesta);
    mirvak::winapi::RestoreOrCenter(umisteni_);

    AktualizovatPrikazy();
    ShowWindow(okno_, SW_SHOW);
    UpdateWindow(okno_);
    if (!SetTimer(okno_, kIdCasovace, periodaCasovace_, nullptr))
        return KodPosledniChyby();
    return S_OK;
}

HRESULT OknoPrehravac::VytvoritOvladaciPrvky()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, okno_,
                              reinterpret_cast<HMENU>(IDC_PREHRAVAC_STATUS), instance, nullptr);
    if (!status_)
        return KodPosledniChyby();
    int casti[2] = {75, -1};
    SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(casti));
    textCasu_ = NacistRetezec(IDS_PREHRAVAC_ZASTAVENO);
    TextStavu(0, textCasu_);

    rebar_ = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                 RBS_BANDBORDERS | CCS_NODIVIDER,
                             0, 0, 0, 0, okno_, reinterpret_cast<HMENU>(IDC_PREHRAVAC_REBAR), instance, nullptr);
    if (!rebar_)
        return KodPosledniChyby();
    REBARINFO ri{sizeof ri};
    SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&ri));
    SetWindowSubclass(rebar_, ProceduraRebaru, 1, reinterpret_cast<DWORD_PTR>(this));

    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                                   CCS_NODIVIDER | CCS_NOPARENTALIGN,
                               0, 0, 0, 0, rebar_, reinterpret_cast<HMENU>(IDC_PREHRAVAC_TOOLBAR), instance, nullptr);
    if (!toolbar_)
        return KodPosledniChyby();
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    obrazky_ = VytvoritObrazky();
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(obrazky_));
    auto tlacitko = [](int obrazek, int prikaz) {
        TBBUTTON b{};
        b.iBitmap = obrazek;
        b.idCommand = prikaz;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = static_cast<BYTE>(prikaz ? BTNS_BUTTON : BTNS_SEP);
        return b;
    };
    TBBUTTON tlacitka[] = {tlacitko(ObrOtevrit, ID_PREHRAVAC_OTEVRIT),  tlacitko(ObrZavrit, ID_PREHRAVAC_ZAVRIT),
                           tlacitko(0, 0),                           tlacitko(ObrZpet, ID_PREHRAVAC_ZPET),
                           tlacitko(ObrZastavit, ID_PREHRAVAC_UKONCIT), tlacitko(ObrSpustit, ID_PREHRAVAC_SPUSTIT),
                           tlacitko(ObrPozastavit, ID_PREHRAVAC_POZASTAVIT), tlacitko(ObrVpred, ID_PREHRAVAC_VPRED),
                           tlacitko(0, 0),                           tlacitko(ObrInformace, 40006),
                           tlacitko(0, 0),                           tlacitko(ObrKonec, ID_PREHRAVAC_KONEC)};
    SendMessageW(toolbar_, TB_ADDBUTTONS, ARRAYSIZE(tlacitka), reinterpret_cast<LPARAM>(tlacitka));
    SIZE velikost{};
    SendMessageW(toolbar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&velikost));

    trackbar_ = CreateWindowExW(0, TRACKBAR_CLASSW, nullptr, kStylPosuvniku, 0, 0, 200, 24, rebar_,
                                reinterpret_cast<HMENU>(IDC_PREHRAVAC_TRACKBAR), instance, nullptr);
    if (!trackbar_)
        return KodPosledniChyby();
    SendMessageW(trackbar_, TBM_SETRANGE, TRUE, MAKELPARAM(0, rozsahPosuvniku_));
    EnableWindow(trackbar_, FALSE);

    REBARBANDINFOW pas{sizeof pas};
    pas.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_SIZE | RBBIM_ID;
    pas.fStyle = RBBS_CHILDEDGE | RBBS_NOGRIPPER;
    pas.hwndChild = toolbar_;
    pas.cxMinChild = velikost.cx;
    pas.cyMinChild = velikost.cy;
    pas.cx = velikost.cx;
    pas.wID = IDC_PREHRAVAC_TOOLBAR;
    SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&pas));
    pas.fStyle = RBBS_CHILDEDGE | RBBS_NOGRIPPER | RBBS_BREAK;
    pas.hwndChild = trackbar_;
    pas.cxMinChild = 100;
    pas.cyMinChild = 26;
    pas.cx = 800;
    pas.wID = IDC_PREHRAVAC_TRACKBAR;
    SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&pas));
    return S_OK;
}

LRESULT CALLBACK OknoPrehravac::ProceduraOkna(HWND okno, UINT zprava, WPARAM w, LPARAM l)
{
    auto* ja = reinterpret_cast<OknoPrehravac*>(GetWindowLongPtrW(okno, GWLP_USERDATA));
    if (zprava == WM_NCCREATE) {
        ja = static_cast<OknoPrehravac*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        ja->okno_ = okno;
        SetWindowLongPtrW(okno, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ja));
    }
    if (!ja)
        return DefWindowProcW(okno, zprava, w, l);
    if (zprava == WM_NCDESTROY) {
        SetWindowLongPtrW(okno, GWLP_USERDATA, 0);
        ja->okno_ = nullptr;
        return DefWindowProcW(okno, zprava, w, l);
    }
    return ja->Zprava(zprava, w, l);
}

LRESULT CALLBACK OknoPrehravac::ProceduraRebaru(HWND okno, UINT zprava, WPARAM w, LPARAM l, UINT_PTR id,
                                                DWORD_PTR data)
{
    // The rebar is the parent of the toolbar and the trackbar; what they
    // tell their parent is meant for the player.
    if (zprava == WM_HSCROLL || zprava == WM_COMMAND || zprava == WM_NOTIFY) {
        auto* ja = reinterpret_cast<OknoPrehravac*>(data);
        if (ja->okno_)
            return SendMessageW(ja->okno_, zprava, w, l);
    }
    if (zprava == WM_NCDESTROY)
        RemoveWindowSubclass(okno, ProceduraRebaru, id);
    return DefSubclassProc(okno, zprava, w, l);
}

LRESULT OknoPrehravac::Zprava(UINT zprava, WPARAM w, LPARAM l)
{
    switch (zprava) {
    case WM_COMMAND:
        Prikaz(LOWORD(w));
        return 0;
    case WM_TIMER:
        if (w == kIdCasovace)
            Casovac();
        return 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(l) == trackbar_)
            Posuvnik();
        return 0;
    case WM_UDALOST_GRAFU:
        // Nothing reacts to the events, but they must still be taken.
        prehravani_.DrainEvents();
        return 0;
    case WM_SIZE:
        Velikost(LOWORD(l));
        return 0;
    case WM_MENUSELECT:
        VybranaNabidka(LOWORD(w), HIWORD(w), reinterpret_cast<HMENU>(l));
        return 0;
    case WM_NOTIFY: {
        auto* n = reinterpret_cast<NMHDR*>(l);
        if (n->code == TTN_GETDISPINFOW && n->idFrom > 40000 && n->idFrom < 50000) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(l);
            info->hinst = GetModuleHandleW(nullptr);
            info->lpszText = MAKEINTRESOURCEW(n->idFrom);
            return 0;
        }
        break;
    }
    case WM_CLOSE:
        Zavrit();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(okno_, zprava, w, l);
}

void OknoPrehravac::Prikaz(UINT id)
{
    switch (id) {
    case ID_PREHRAVAC_OTEVRIT:
        DialogOtevrit();
        break;
    case ID_PREHRAVAC_ZAVRIT:
        ZavritSoubor();
        break;
    case ID_PREHRAVAC_KONEC:
        PostMessageW(okno_, WM_CLOSE, 0, 0);
        break;
    case ID_PREHRAVAC_SPUSTIT:
        prehravani_.Play();
        break;
    case ID_PREHRAVAC_UKONCIT:
        prehravani_.Stop();
        break;
    case ID_PREHRAVAC_POZASTAVIT:
        prehravani_.Pause();
        break;
    case ID_PREHRAVAC_VPRED:
        prehravani_.StepForward();
        break;
    case ID_PREHRAVAC_ZPET:
        prehravani_.StepBack();
        break;
    case 40003:
    case 40004:
    case 40005:
    case 40006:
        PostMessageW(vlastnik_, WM_COMMAND, id, 0);
        break;
    }
}

void OknoPrehravac::DialogOtevrit()
{
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return;
    std::wstring wma = NacistRetezec(IDS_PREHRAVAC_FILTR_WMA), vse = NacistRetezec(IDS_PREHRAVAC_FILTR_VSE);
    COMDLG_FILTERSPEC filtry[] = {{wma.c_str(), L"*.wma"}, {vse.c_str(), L"*.*"}};
    dialog->SetFileTypes(ARRAYSIZE(filtry), filtry);
    if (FAILED(dialog->Show(nullptr)))
        return;  // cancelled
    ComPtr<IShellItem> polozka;
    wchar_t* cesta = nullptr;
    if (FAILED(dialog->GetResult(&polozka)) || FAILED(polozka->GetDisplayName(SIGDN_FILESYSPATH, &cesta)))
        return;
    std::unique_ptr<wchar_t, CoTaskText> drzena(cesta);
    if (JeSoubor(cesta))
        OtevritSoubor(cesta);
}

HRESULT OknoPrehravac::OtevritSoubor(const std::wstring& path)
{
    prehravani_.Release();
    soubor_.clear();
    prehravani_.SetNotifyWindow(okno_);
    HRESULT hr = prehravani_.Open(path);
    if (FAILED(hr)) {
        ZobrazitChybuSystemu(kChybaOtevreni, hr);
        ZavritSoubor();
        return hr;
    }
    soubor_ = path;
    if (okno_) {
        EnableWindow(trackbar_, TRUE);
        textSouboru_ = PathFindFileNameW(path.c_str());
        TextStavu(1, textSouboru_);
        AktualizovatPrikazy();
    }
    return S_OK;
}

void OknoPrehravac::ZavritSoubor()
{
    prehravani_.Release();
    soubor_.clear();
    if (!okno_)
        return;
    AktualizovatPrikazy();
    SendMessageW(trackbar_, TBM_SETPOS, TRUE, 0);
    EnableWindow(trackbar_, FALSE);
    textSouboru_ = TextPripraven();
    TextStavu(1, textSouboru_);
    textCasu_ = NacistRetezec(IDS_PREHRAVAC_ZASTAVENO);
    TextStavu(0, textCasu_);
}

void OknoPrehravac::AktualizovatPrikazy()
{
    const bool zapnout = MaSoubor();
    HMENU menu = GetMenu(okno_);
    for (UINT id : kPrikazySouboru) {
        if (menu)
            EnableMenuItem(menu, id, MF_BYCOMMAND | (zapnout ? MF_ENABLED : MF_GRAYED));
        SendMessageW(toolbar_, TB_ENABLEBUTTON, id, MAKELPARAM(zapnout ? TRUE : FALSE, 0));
    }
}

void OknoPrehravac::Casovac()
{
    LONGLONG pozice = 0;
    if (SUCCEEDED(prehravani_.Position(&pozice))) {
        const LONGLONG delka = prehravani_.Duration();
        if (delka > 0)
            SendMessageW(trackbar_, TBM_SETPOS, TRUE, static_cast<LPARAM>(rozsahPosuvniku_ * pozice / delka));
        wchar_t text[100] = {};
        StrFromTimeIntervalW(text, ARRAYSIZE(text), static_cast<DWORD>(pozice / 10000), 5);
        textCasu_ = text;
    }
    TextStavu(0, textCasu_);
}

void OknoPrehravac::Posuvnik()
{
    if (!IsWindowEnabled(trackbar_))
        return;
    LONGLONG poloha = SendMessageW(trackbar_, TBM_GETPOS, 0, 0);
    prehravani_.Seek(prehravani_.Duration() * poloha / rozsahPosuvniku_);
}

void OknoPrehravac::VybranaNabidka(UINT id, UINT priznaky, HMENU nabidka)
{
    const bool zavrena = priznaky == 0xFFFF && !nabidka;
    if (!zavrena && !(priznaky & MF_POPUP) && !(priznaky & MF_SEPARATOR)) {
        bool nalezen = false;
        std::wstring text = NacistRetezec(id, &nalezen);
        if (nalezen && !text.empty()) {
            TextStavu(1, STeckou(text));
            return;
        }
    }
    TextStavu(1, textSouboru_);
}

void OknoPrehravac::Velikost(int sirka)
{
    SendMessageW(status_, WM_SIZE, 0, 0);
    SendMessageW(rebar_, WM_SIZE, 0, 0);
    REBARBANDINFOW pas{sizeof pas};
    pas.fMask = RBBIM_SIZE;
    pas.cx = sirka;
    LRESULT index = SendMessageW(rebar_, RB_IDTOINDEX, IDC_PREHRAVAC_TRACKBAR, 0);
    if (index >= 0)
        SendMessageW(rebar_, RB_SETBANDINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&pas));
}

void OknoPrehravac::Zavrit()
{
    KillTimer(okno_, kIdCasovace);
    mirvak::winapi::SavePlacement(umisteni_);
    for (HWND* prvek : {&status_, &toolbar_, &trackbar_, &rebar_}) {
        if (*prvek && IsWindow(*prvek))
            DestroyWindow(*prvek);
        *prvek = nullptr;
    }
    prehravani_.Release();
    DestroyWindow(okno_);
}

void OknoPrehravac::TextStavu(int cast, const std::wstring& text)
{
    if (status_)
        SendMessageW(status_, SB_SETTEXTW, static_cast<WPARAM>(cast), reinterpret_cast<LPARAM>(text.c_str()));
}
