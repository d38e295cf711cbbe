// The update check: download, the worker thread and the dialog it shows.
#include "update/Aktualizace.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "app/Konfigurace.h"
#include "controls/StaticText.h"
#include "mainwindow/IkonaOznameni.h"
#include "resources/resource.h"
#include "settings/DlgNastaveni.h"

#include <process.h>
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

// The running check's thread: the busy marker. Set before the thread runs.
std::atomic<HANDLE> g_vlakno{nullptr};
std::atomic<HWND> g_dialog{nullptr};
std::mutex g_bublinaMutex;
std::wstring g_bublina;

constexpr UINT kIdDocasneIkony = 2;
constexpr size_t kDelkaPredpony = 14;  // "posledni_verze"

// DlgAktualizace: both versions and the link to the product page.
class DlgAktualizace : public DialogImpl<DlgAktualizace> {
public:
    DlgAktualizace(std::wstring vlastni, std::wstring webova)
        : vlastni_(std::move(vlastni)), webova_(std::move(webova))
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
        ShellExecuteW(m_hWnd, L"open", AdresaStrankyProduktu().c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
        return 0;
    }

    std::wstring vlastni_, webova_;
    StaticNadpis nadpis_;
    HWND tooltip_ = nullptr;
};

// The icon of the check while it runs, on the main window.
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
        IkonaOznameni* hlavni = IkonaHlavnihoOkna();
        HWND okno = hlavni ? hlavni->Okno() : nullptr;
        if (!okno || !IsWindow(okno))
            return;
        if (FAILED(ikona_.Pridat(okno, kIdDocasneIkony, false, zvuk)))
            return;
        ikona_.NastavitTitulek(NazevProduktuAplikace().c_str());
        HICON vlastni = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TONBAR),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        ikona_.ZobrazitBublinu(text.c_str(), kBublinaInformace, vlastni);
    }
    void Odebrat() { ikona_.Odebrat(); }

private:
    IkonaOznameni ikona_;
};

// Ends the check: the thread's own handle is closed and the marker cleared.
void UvolnitVlakno()
{
    HANDLE h = g_vlakno.exchange(nullptr);
    if (h && !CloseHandle(h))
        FatalniChybaPosledni();
}

unsigned __stdcall Kontrola(void* parametr)
{
    const bool tichy = parametr != nullptr;
    HRESULT hr = S_OK;
    std::wstring vlastni, webova;
    {
        DocasnaIkona ikona((g_konfigurace.parametry & 1) != 0);
        std::wstring text;
        hr = DownloadTextFile(text, AdresaSouboruVerze().c_str());
        if (hr == S_OK)
            hr = VerzeZTextu(text, webova);
        if (hr == S_OK)
            hr = GetOwnVersion(vlastni);
        ikona.Odebrat();
    }
    if (hr == S_OK) {
        DlgAktualizace dialog(vlastni, webova);
        dialog.DoModal(nullptr, IDD_AKTUALIZACE);
    } else if (!tichy) {
        ZobrazitChybuSystemu(20055, hr);
    }
    UvolnitVlakno();
    return 0;
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
    if (g_vlakno.load()) {
        MessageBeep(MB_ICONWARNING);
        return S_FALSE;
    }
    // Started suspended, so the marker is set before the thread can clear it.
    uintptr_t h = _beginthreadex(nullptr, 0, Kontrola, tichy ? reinterpret_cast<void*>(1) : nullptr,
                                 CREATE_SUSPENDED, nullptr);
    if (!h) {
        HRESULT hr = KodNeboFailPosledni();
        ZobrazitChybuSystemu(20055, hr);
        return hr;
    }
    g_vlakno = reinterpret_cast<HANDLE>(h);
    ResumeThread(reinterpret_cast<HANDLE>(h));
    return S_OK;
}

bool KontrolaAktualizaciBezi()
{
    return g_vlakno.load() != nullptr;
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
