#include "app/Aplikace.h"

#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "app/Pracovnici.h"
#include "app/Verze.h"
#include "mainwindow/OknoHlavni.h"
// After the window base: it pulls in windowsx.h.
#include "email/OdeslaniEmailem.h"
#include "resources/resource.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

Aplikace* g_aplikace = nullptr;

namespace {

void Over(bool ok)
{
    if (!ok)
        VyhoditPosledni();
}

// An image strip of square images whose side is the bitmap's height; black is transparent.
HIMAGELIST NacistObrazky(HINSTANCE instance, int id)
{
    HBITMAP bitmapa = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                                                      LR_CREATEDIBSECTION));
    if (!bitmapa)
        FatalniChybaPosledni();
    mirvak::winapi::GdiObject vlastnik(bitmapa);
    BITMAP info{};
    if (!GetObjectW(bitmapa, sizeof info, &info) || info.bmHeight <= 0)
        FatalniChybaKod(E_FAIL);
    int strana = info.bmHeight;
    HIMAGELIST seznam = ImageList_Create(strana, strana, ILC_COLOR32 | ILC_MASK, info.bmWidth / strana, 0);
    if (!seznam)
        FatalniChybaPosledni();
    if (ImageList_AddMasked(seznam, bitmapa, RGB(0, 0, 0)) < 0)
        FatalniChybaPosledni();
    return seznam;
}

HICON NacistIkonu(HINSTANCE instance, int id, int metrikaX, int metrikaY)
{
    HICON ikona = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                GetSystemMetrics(metrikaX), GetSystemMetrics(metrikaY), 0));
    Over(ikona != nullptr);
    return ikona;
}

std::wstring SlozkaProgramu()
{
    wchar_t cesta[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, cesta, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    PathRemoveFileSpecW(cesta);
    return cesta;
}

// Creates one level of the per-user folder; a failure ends the program.
void VytvoritUroven(std::wstring& cesta, const wchar_t* uroven)
{
    cesta += uroven;
    if (!CreateDirectoryW(cesta.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        FatalniChybaPosledni();
}

} // namespace

Aplikace::Aplikace() = default;

Aplikace::~Aplikace()
{
    if (g_aplikace == this)
        g_aplikace = nullptr;
    if (mirvak::g_modul == this)
        mirvak::g_modul = nullptr;
}

void Aplikace::ZrusitKritickouSekci()
{
    if (csInicializovana_) {
        DeleteCriticalSection(&cs);
        csInicializovana_ = false;
    }
}

HRESULT Aplikace::Inicializovat(HINSTANCE inst)
{
    instance = inst;
    g_aplikace = this;
    mirvak::g_modul = this;
    ZeroMemory(&wsaData, sizeof wsaData);
    InitializeCriticalSection(&cs);
    csInicializovana_ = true;
    try {
        // The capture devices (step 12) are enumerated on a thread meanwhile:
        // the window does not wait for them (PrevzitZarizeni).
        zarizeni = std::make_unique<AudioCaptureDeviceList>();
        vyctovaniZarizeni_.Start();
        INITCOMMONCONTROLSEX icc{sizeof icc, 0x2FFF};
        Over(InitCommonControlsEx(&icc));

        Gdiplus::GdiplusStartupInput vstup;
        if (Gdiplus::GdiplusStartup(&gdiplusToken, &vstup, nullptr) != Gdiplus::Ok) {
            gdiplusToken = 0;
            VyhoditKod(E_FAIL);
        }
        int wsa = WSAStartup(MAKEWORD(2, 0), &wsaData);
        if (wsa != 0) {
            ZeroMemory(&wsaData, sizeof wsaData);
            VyhoditKod(KodChyby(static_cast<DWORD>(wsa)));
        }

        NacistHodnotuVerze(L"ProductName", nazevProduktu);
        maleObrazky = NacistObrazky(instance, IDB_TOOLBAR_SMALL);
        velkaIkona = NacistIkonu(instance, IDI_TONBAR, SM_CXICON, SM_CYICON);
        malaIkona = NacistIkonu(instance, IDI_TONBAR, SM_CXSMICON, SM_CYSMICON);

        wchar_t jmeno[257];
        DWORD delka = 257;
        if (GetUserNameW(jmeno, &delka))
            jmenoUzivatele = jmeno;
        else
            jmenoUzivatele = NacistRetezec(IDS_NEZJISTENY_UZIVATEL);

        slozkaDat = SlozkaProgramu();
        PWSTR lokalni = nullptr;
        if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &lokalni))) {
            CoTaskMemFree(lokalni);
            FatalniChybaPosledni();
        }
        slozkaDat = lokalni;
        CoTaskMemFree(lokalni);
        VytvoritUroven(slozkaDat, L"\\Mirvak");
        VytvoritUroven(slozkaDat, L"\\Ostrel");
        VytvoritUroven(slozkaDat, L"\\5");
        // Step 11: a missing or unreadable store leaves the list empty, silently.
        kontakty.Load();
        // The e-mail dialog offers these contacts and opens their manager.
        NastavitKontaktyEmailu(&kontakty, [](HWND vlastnik) { g_aplikace->SpravovatKontakty(vlastnik); });

        zaznamnik = std::make_unique<AudioRecorder>();
        // A missing "profily_zaznamu" key gives an empty store.
        profilyZaznamu.SetApplicationKey(g_konfigurace.registrovaCesta);
        profilyZaznamu.Load();
        // A missing or unreadable store leaves the list empty, silently.
        ftpMista.Load();

        InicializovatKonfiguraci(g_konfigurace);
        konfiguraceInicializovana_ = true;
        // The default device comes with the device list (PrevzitZarizeni).
        NastavitVychozi(g_konfigurace, jmenoUzivatele, nullptr);
        Nacist(g_konfigurace);
        cisloZaznamu = g_konfigurace.posledni_cislo;

        mutex = CreateMutexW(nullptr, TRUE, L"tonbar_apl");
        DWORD chyba = GetLastError();
        if (!mutex)
            VyhoditKod(KodChyby(chyba));
        if (chyba == ERROR_ALREADY_EXISTS) {
            CloseHandle(mutex);
            mutex = nullptr;
            ZobrazitZpravu(NacistRetezec(IDS_JIZ_SPUSTENA).c_str(), MB_ICONINFORMATION);
            Ukoncit();
            return S_FALSE;
        }

        HRESULT hr = VytvoritHlavniOkno(*this);
        if (FAILED(hr))
            VyhoditKod(hr);
        return S_OK;
    } catch (long code) {
        vyctovaniZarizeni_.Take();
        ZrusitKritickouSekci();
        return KodNeboFail(code);
    }
}

HIMAGELIST Aplikace::VelkeObrazky()
{
    if (!velkeObrazky)
        velkeObrazky = NacistObrazky(instance, IDB_TOOLBAR_LARGE);
    return velkeObrazky;
}

HICON Aplikace::IkonaZaznamu()
{
    // Asked for by the blink timer: no exception out of here.
    if (!ikonaZaznamu)
        ikonaZaznamu = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_RECORDING), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    return ikonaZaznamu ? ikonaZaznamu : malaIkona;
}

bool Aplikace::PrevzitZarizeni()
{
    std::unique_ptr<AudioCaptureDeviceList> seznam = vyctovaniZarizeni_.Take();
    if (!seznam)
        return false;
    // In place: the windows hold the list by its address.
    if (zarizeni)
        *zarizeni = std::move(*seznam);
    else
        zarizeni = std::move(seznam);
    if (g_konfigurace.zarizeni.friendlyName.empty() && zarizeni->Count() > 0)
        g_konfigurace.zarizeni = zarizeni->At(0);
    return true;
}

HRESULT Aplikace::Ukoncit()
{
    try {
        // A worker that could not be waited for may still use the icons,
        // GDI+, Windows Sockets and the configuration: those then stay to
        // the process's end.
        const bool uvolnit = pracovnici::Ukoncit(pracovnici::kCekaniNaKonec);
        ZnicitHlavniOkno();

        vyctovaniZarizeni_.Take();
        zarizeni.reset();
        zaznamnik.reset();

        for (HICON* ikona : {&velkaIkona, &malaIkona, &ikonaZaznamu}) {
            if (*ikona && uvolnit) {
                HICON h = *ikona;
                *ikona = nullptr;
                Over(DestroyIcon(h) != FALSE);
            }
        }
        if (maleObrazky && uvolnit) {
            ImageList_Destroy(maleObrazky);
            maleObrazky = nullptr;
        }
        if (velkeObrazky && uvolnit) {
            ImageList_Destroy(velkeObrazky);
            velkeObrazky = nullptr;
        }
        if (gdiplusToken && uvolnit) {
            Gdiplus::GdiplusShutdown(gdiplusToken);
            gdiplusToken = 0;
        }
        if (wsaData.wVersion != 0 && uvolnit) {
            WSACleanup();
            ZeroMemory(&wsaData, sizeof wsaData);
        }
        if (konfiguraceInicializovana_) {
            if (g_konfigurace.zapis_udalosti & 4)
                ZapsatInformaci(NacistText(IDS_UDALOST_UKONCENI, nazevProduktu.c_str()).c_str());
            if (uvolnit)
                UvolnitKonfiguraci(g_konfigurace);
            konfiguraceInicializovana_ = false;
        }
        ftpMista.Clear();
        kontakty.Clear();
        if (mutex) {
            ReleaseMutex(mutex);
            CloseHandle(mutex);
            mutex = nullptr;
        }
        ZrusitKritickouSekci();
        return S_OK;
    } catch (long code) {
        ZrusitKritickouSekci();
        return KodNeboFail(code);
    }
}

void Aplikace::NastavitPrioritu()
{
    mirvak::winapi::CriticalSectionLock lock(cs);
    if (!SetPriorityClass(GetCurrentProcess(), g_konfigurace.process_priority))
        ZobrazitChybuId(IDS_CHYBA_PRIORITA);
}

HRESULT Aplikace::SpustitDizivuz()
{
    std::wstring cesta = SlozkaProgramu() + L"\\Dizivuz.exe";
    if (!PathFileExistsW(cesta.c_str()) || PathIsDirectoryW(cesta.c_str()))
        return E_INVALIDARG;
    // A result of 32 or less is a failure: the built-in dialog opens instead.
    HINSTANCE r = ShellExecuteW(nullptr, L"open", cesta.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(r) <= 32)
        return E_FAIL;
    return S_OK;
}

HRESULT Aplikace::SpravovatKontakty(HWND owner)
{
    if (SpustitDizivuz() == S_OK)
        return S_OK;
    mirvak::winapi::CriticalSectionLock lock(cs);
    HWND vlastnik = IsWindow(owner) ? owner : GetActiveWindow();
    INT_PTR r = SpustitDlgKontakty(vlastnik, kontakty);
    return r == -1 ? KodPosledniChyby() : S_OK;
}
