// The update check: download, the worker thread and the dialog it shows.
#include "update/Aktualizace.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "app/Konfigurace.h"
#include "app/Pracovnici.h"
#include "controls/StaticText.h"
#include "mainwindow/IkonaOznameni.h"
#include "resources/resource.h"
#include "settings/DlgNastaveni.h"

#include <shellapi.h>
#include <wininet.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

using namespace mirvak::winapi;

namespace {

// Closing a WinINet handle must not fail.
struct InternetTraits {
    static HINTERNET Empty() { return nullptr; }
    static void Close(HINTERNET h)
    {
        if (!InternetCloseHandle(h))
            FatalniChybaPosledni();
    }
};
using InternetHandle = UniqueHandle<HINTERNET, InternetTraits>;

std::atomic<HWND> g_dialog{nullptr};
std::mutex g_bublinaMutex;
std::wstring g_bublina;

constexpr UINT kIdDocasneIkony = 2;
constexpr DWORD kLimitStazeniMs = 60000;
constexpr size_t kDelkaPredpony = 14;  // "posledni_verze"

// What the check needs, copied on the thread that starts it.
struct Uloha {
    bool tichy = false;
    bool zvuk = false;
    std::wstring adresa;
    std::wstring stranka;
};

// DlgAktualizace: both versions and the link to the product page.
class DlgAktualizace : public DialogImpl<DlgAktualizace> {
public:
    DlgAktualizace(std::wstring vlastni, std::wstring webova, std::wstring stranka, const pracovnici::Zruseni& zruseni)
        : vlastni_(std::move(vlastni)), webova_(std::move(webova)), stranka_(std::move(stranka)), zruseni_(zruseni)
    {
    }

    MV_BEGIN_MSG_MAP(DlgAktualizace)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MV_COMMAND_ID_HANDLER(IDOK, OnZavrit)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnZavrit)
    MV_NOTIFY_HANDLER(IDC_AKT_ODKAZ, NM_CLICK, OnOdkaz)
    MV_NOTIFY_HANDLER(IDC_AKT_ODKAZ, NM_RETURN, OnOdkaz)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        g_dialog = m_hWnd;
        // The program began to close before this window existed.
        if (zruseni_.Zruseno()) {
            EndDialog(IDCANCEL);
            return TRUE;
        }
        NastavitIkonyAplikace(m_hWnd);
        std::wstring produkt = NazevProduktuAplikace();
        SetWindowTextW(m_hWnd, NacistText(IDS_AKTUALIZACE_TITULEK, produkt.c_str()).c_str());
        SetDlgItemTextW(m_hWnd, IDC_AKT_NADPIS, produkt.c_str());
        nadpis_.Attach(Item(IDC_AKT_NADPIS));
        SetDlgItemTextW(m_hWnd, IDC_AKT_VASE_VERZE, NacistText(IDS_VASE_VERZE, vlastni_.c_str()).c_str());
        SetDlgItemTextW(m_hWnd, IDC_AKT_WEB_VERZE, NacistText(IDS_WEB_VERZE, webova_.c_str()).c_str());
        tooltip_ = VytvoritTooltip(m_hWnd);
        if (tooltip_)
            PridatTooltip(tooltip_, m_hWnd, IDC_AKT_ODKAZ, MAKEINTRESOURCEW(20052));
        CentrovatDialog(m_hWnd);
        SetForegroundWindow(m_hWnd);
        return TRUE;
    }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano)
    {
        g_dialog = nullptr;
        zpracovano = FALSE;
        return 0;
    }
    LRESULT OnZavrit(WORD, WORD id, HWND, BOOL&)
    {
        EndDialog(id);
        return 0;
    }
    LRESULT OnOdkaz(int, NMHDR*, BOOL&)
    {
        ShellExecuteW(m_hWnd, L"open", stranka_.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
        return 0;
    }

    std::wstring vlastni_, webova_, stranka_;
    const pracovnici::Zruseni& zruseni_;
    StaticNadpis nadpis_;
    HWND tooltip_ = nullptr;
};

// The icon of the check while it runs, on a hidden window of the worker's
// own: it never depends on the main window, which may close meanwhile.
class DocasnaIkona {
public:
    explicit DocasnaIkona(bool zvuk)
    {
        std::wstring text = NacistRetezec(20053);
        {
            // What the user is told, also when no notification area shows it.
            std::lock_guard<std::mutex> zamek(g_bublinaMutex);
            g_bublina = text;
        }
        HINSTANCE modul = GetModuleHandleW(nullptr);
        WNDCLASSW trida{};
        trida.lpfnWndProc = DefWindowProcW;
        trida.hInstance = modul;
        trida.lpszClassName = L"tonbar_aktualizace";
        RegisterClassW(&trida);  // a second registration fails harmlessly
        std::wstring produkt = NazevProduktuAplikace();
        okno_ = CreateWindowExW(0, trida.lpszClassName, produkt.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                modul, nullptr);
        if (!okno_)
            return;
        HICON vlastni = static_cast<HICON>(LoadImageW(modul, MAKEINTRESOURCEW(IDI_TONBAR), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                      LR_SHARED));
        if (!vlastni)
            return;
        SendMessageW(okno_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(vlastni));
        if (FAILED(ikona_.Pridat(okno_, kIdDocasneIkony, false, zvuk)))
            return;
        ikona_.NastavitTitulek(produkt.c_str());
        ikona_.ZobrazitBublinu(text.c_str(), kBublinaInformace, vlastni);
    }
    ~DocasnaIkona()
    {
        ikona_.Odebrat();
        if (okno_)
            DestroyWindow(okno_);
    }
    DocasnaIkona(const DocasnaIkona&) = delete;
    DocasnaIkona& operator=(const DocasnaIkona&) = delete;

private:
    HWND okno_ = nullptr;
    IkonaOznameni ikona_;
};

void Kontrola(const Uloha& uloha, const pracovnici::Zruseni& zruseni)
{
    HRESULT hr = S_OK;
    std::wstring vlastni, webova;
    {
        DocasnaIkona ikona(uloha.zvuk);
        std::wstring text;
        hr = DownloadTextFile(text, uloha.adresa.c_str());
        if (hr == S_OK)
            hr = VerzeZTextu(text, webova);
        if (hr == S_OK)
            hr = GetOwnVersion(vlastni);
    }
    if (zruseni.Zruseno())
        return;
    if (hr == S_OK) {
        DlgAktualizace dialog(vlastni, webova, uloha.stranka, zruseni);
        dialog.DoModal(nullptr, IDD_AKTUALIZACE);
    } else if (!uloha.tichy) {
        // The error box is the main window's to show.
        pracovnici::Hlaseni h;
        h.text = NacistText(IDS_SYSTEMOVY_POPIS, STeckou(NacistRetezec(20055)).c_str(), TextKodu(hr).c_str());
        h.druh = kBublinaChyba;
        h.okno = true;
        pracovnici::Ohlasit(std::move(h));
    }
}

HRESULT KodNeboFailPosledni()
{
    DWORD chyba = GetLastError();
    return chyba ? KodChyby(chyba) : E_FAIL;
}

} // namespace

HRESULT DownloadTextFile(std::wstring& text, const wchar_t* adresa)
{
    text.clear();
    if (!adresa || !*adresa)
        return E_INVALIDARG;
    InternetHandle sezeni(InternetOpenW(L"RHttpTextSoubor", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!sezeni)
        return KodNeboFailPosledni();
    // A server that accepts and never answers must not hold the check (and
    // its busy marker) for ever; some systems wait without limit by default.
    DWORD limit = kLimitStazeniMs;
    InternetSetOptionW(sezeni.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit);
    InternetHandle soubor(InternetOpenUrlW(sezeni.Get(), adresa, nullptr, 0,
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!soubor)
        return KodNeboFailPosledni();
    wchar_t stav[50] = {};
    DWORD delkaStavu = sizeof stav;
    if (!HttpQueryInfoW(soubor.Get(), HTTP_QUERY_STATUS_CODE, stav, &delkaStavu, nullptr))
        return KodNeboFailPosledni();

    std::vector<char> data;
    for (;;) {
        char kus[250];
        DWORD precteno = 0;
        if (!InternetReadFile(soubor.Get(), kus, sizeof kus, &precteno))
            return KodNeboFailPosledni();
        if (precteno == 0)
            break;
        if (data.size() + precteno > kMaxDelkaStazeni)
            return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
        data.insert(data.end(), kus, kus + precteno);
    }
    if (!data.empty()) {
        int n = MultiByteToWideChar(CP_ACP, 0, data.data(), static_cast<int>(data.size()), nullptr, 0);
        if (n <= 0)
            return KodNeboFailPosledni();
        text.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_ACP, 0, data.data(), static_cast<int>(data.size()), text.data(), n);
    }
    return S_OK;
}

HRESULT GetOwnVersion(std::wstring& verze)
{
    verze.clear();
    wchar_t cesta[MAX_PATH];
    DWORD delka = GetModuleFileNameW(nullptr, cesta, MAX_PATH);
    if (delka == 0 || delka >= MAX_PATH)
        return KodNeboFailPosledni();
    DWORD handle = 0;
    DWORD velikost = GetFileVersionInfoSizeW(cesta, &handle);
    if (velikost == 0)
        return KodNeboFailPosledni();
    std::vector<BYTE> data(velikost);
    if (!GetFileVersionInfoW(cesta, 0, velikost, data.data()))
        return KodNeboFailPosledni();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT delkaInfo = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &delkaInfo) || !info ||
        delkaInfo < sizeof(VS_FIXEDFILEINFO))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
    wchar_t text[64];
    swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    verze = text;
    return S_OK;
}

HRESULT VerzeZTextu(const std::wstring& text, std::wstring& verze)
{
    verze.clear();
    if (text.size() < 21 || text.size() > 50)
        return E_FAIL;
    if (_wcsnicmp(text.c_str(), L"posledni_verze", kDelkaPredpony) != 0)
        return E_FAIL;
    verze = text.substr(kDelkaPredpony);
    return S_OK;
}

std::wstring AdresaSouboruVerze()
{
    // The override lives beside the configuration values.
    wchar_t adresa[2048] = {};
    DWORD velikost = sizeof adresa - sizeof(wchar_t);
    LSTATUS s = RegGetValueW(HKEY_CURRENT_USER, g_konfigurace.registrovaCesta.c_str(), kHodnotaAdresyAktualizace,
                             RRF_RT_REG_SZ, nullptr, adresa, &velikost);
    if (s == ERROR_SUCCESS && adresa[0])
        return adresa;
    return NacistRetezec(20054);
}

std::wstring AdresaStrankyProduktu()
{
    std::wstring adresa = AdresaSouboruVerze();
    size_t lomitko = adresa.rfind(L'/');
    if (lomitko != std::wstring::npos)
        adresa.resize(lomitko + 1);
    return adresa;
}

HRESULT StartUpdateCheck(bool tichy)
{
    if (KontrolaAktualizaciBezi()) {
        MessageBeep(MB_ICONWARNING);
        return S_FALSE;
    }
    Uloha uloha;
    uloha.tichy = tichy;
    uloha.zvuk = (g_konfigurace.parametry & 1) != 0;
    uloha.adresa = AdresaSouboruVerze();
    uloha.stranka = AdresaStrankyProduktu();
    HRESULT hr = pracovnici::Spustit(pracovnici::Druh::Aktualizace,
                                     [uloha](const pracovnici::Zruseni& zruseni) { Kontrola(uloha, zruseni); });
    if (hr == S_FALSE) {
        MessageBeep(MB_ICONWARNING);
    } else if (FAILED(hr)) {
        // Nothing runs and no marker stays set: the next check may start.
        ZobrazitChybuSystemu(20055, hr);
    }
    return hr;
}

bool KontrolaAktualizaciBezi()
{
    return pracovnici::Bezi(pracovnici::Druh::Aktualizace);
}

HWND OknoAktualizace()
{
    return g_dialog.load();
}

std::wstring PosledniBublinaAktualizace()
{
    std::lock_guard<std::mutex> zamek(g_bublinaMutex);
    return g_bublina;
}
