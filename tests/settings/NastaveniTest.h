// What the settings and update tests share: a host module that records
// message boxes from any thread, a configuration under a registry key of the
// test's own, an owner window on a thread of its own, and screenshots.
#pragma once
#include "harness/Snimek.h"

#include "app/IMirvakModul.h"
#include "app/Konfigurace.h"
#include "harness/TestFolder.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tonbar::test {

class ZaznamZprav : public mirvak::IMirvakModul {
public:
    ZaznamZprav() : predchozi_(mirvak::g_modul) { mirvak::g_modul = this; }
    ~ZaznamZprav() { mirvak::g_modul = predchozi_; }

    const wchar_t* NazevProduktu() override { return L"Tonbar"; }
    HRESULT ObsluhaFatalniChyby(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT ObsluhaZpravy(const wchar_t* text, UINT, int* vysledek) override
    {
        std::lock_guard<std::mutex> z(m_);
        zpravy_.push_back(text ? text : L"");
        *vysledek = IDOK;
        return S_OK;
    }
    std::vector<std::wstring> Zpravy() const
    {
        std::lock_guard<std::mutex> z(m_);
        return zpravy_;
    }
    void Vymazat()
    {
        std::lock_guard<std::mutex> z(m_);
        zpravy_.clear();
    }

private:
    mirvak::IMirvakModul* predchozi_;
    mutable std::mutex m_;
    std::vector<std::wstring> zpravy_;
};

// Polls `podminka` every 20 ms for at most `ms`.
inline bool Cekat(const std::function<bool()>& podminka, int ms = 10000)
{
    auto konec = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < konec) {
        if (podminka())
            return true;
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        Sleep(20);
    }
    return podminka();
}

// A configuration with its defaults, stored under a key of the test's own
// that is removed at the end.
class TestKonfigurace {
public:
    TestKonfigurace()
    {
        static int citac = 0;
        InicializovatKonfiguraci(k);
        NastavitVychozi(k, L"tester");
        k.registrovaCesta = L"Software\\Mirvak\\TonbarTest\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++citac);
        RegDeleteTreeW(HKEY_CURRENT_USER, k.registrovaCesta.c_str());
    }
    ~TestKonfigurace()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, k.registrovaCesta.c_str());
        UvolnitKonfiguraci(k);
    }
    TestKonfigurace(const TestKonfigurace&) = delete;
    TestKonfigurace& operator=(const TestKonfigurace&) = delete;

    bool KlicExistuje(const wchar_t* podklic = nullptr) const
    {
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, Klic(podklic).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return false;
        RegCloseKey(h);
        return true;
    }
    // The value names of a key (none when the key is missing).
    std::set<std::wstring> Hodnoty(const wchar_t* podklic) const
    {
        std::set<std::wstring> nazvy;
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, Klic(podklic).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return nazvy;
        wchar_t nazev[256];
        DWORD delka = 256;
        for (DWORD i = 0; RegEnumValueW(h, i, nazev, &delka, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
            nazvy.insert(nazev);
            delka = 256;
        }
        RegCloseKey(h);
        return nazvy;
    }
    bool Zapsat(const wchar_t* podklic, const wchar_t* nazev, DWORD typ, const void* data, DWORD velikost) const
    {
        return RegSetKeyValueW(HKEY_CURRENT_USER, Klic(podklic).c_str(), nazev, typ, data, velikost) ==
               ERROR_SUCCESS;
    }
    std::wstring Klic(const wchar_t* podklic) const
    {
        return podklic && *podklic ? k.registrovaCesta + L"\\" + podklic : k.registrovaCesta;
    }
    // A DWORD value, or `chybi` when it cannot be read.
    DWORD Dword(const wchar_t* podklic, const wchar_t* hodnota, DWORD chybi = 0xDEADBEEF) const
    {
        DWORD d = 0, velikost = sizeof d;
        if (RegGetValueW(HKEY_CURRENT_USER, Klic(podklic).c_str(), hodnota, RRF_RT_REG_DWORD, nullptr, &d,
                         &velikost) != ERROR_SUCCESS)
            return chybi;
        return d;
    }
    std::wstring Text(const wchar_t* podklic, const wchar_t* hodnota) const
    {
        wchar_t t[1024] = {};
        DWORD velikost = sizeof t - sizeof(wchar_t);
        if (RegGetValueW(HKEY_CURRENT_USER, Klic(podklic).c_str(), hodnota, RRF_RT_REG_SZ, nullptr, t,
                         &velikost) != ERROR_SUCCESS)
            return L"<chybí>";
        return t;
    }
    std::vector<BYTE> Binarni(const wchar_t* podklic, const wchar_t* hodnota) const
    {
        std::vector<BYTE> data(256);
        DWORD velikost = static_cast<DWORD>(data.size());
        if (RegGetValueW(HKEY_CURRENT_USER, Klic(podklic).c_str(), hodnota, RRF_RT_REG_BINARY, nullptr, data.data(),
                         &velikost) != ERROR_SUCCESS)
            return {};
        data.resize(velikost);
        return data;
    }

    Konfigurace k;
};

inline const HorkaKlavesa* Klavesa(const Konfigurace& k, uint32_t prikaz)
{
    for (uint32_t i = 0; i < k.pocetHorkychKlaves; ++i)
        if (k.horke_klavesy[i].prikaz == prikaz)
            return &k.horke_klavesy[i];
    return nullptr;
}

// A hidden window on its own thread that runs a modal dialog as its owner
// and counts the messages posted to it.
class VlastnikNaVlakne {
public:
    explicit VlastnikNaVlakne(std::function<INT_PTR(HWND)> dialog) : dialog_(std::move(dialog))
    {
        vlakno_ = std::thread([this] { Bezet(); });
        Cekat([this] { return okno_.load() != nullptr; }, 5000);
    }
    ~VlastnikNaVlakne()
    {
        if (vlakno_.joinable())
            vlakno_.join();
    }
    // Waits for the dialog to end; its result, or -2 after the time-out.
    INT_PTR Vysledek(int ms = 10000)
    {
        if (!Cekat([this] { return hotovo_.load(); }, ms))
            return -2;
        vlakno_.join();
        return vysledek_;
    }
    HWND Okno() const { return okno_; }
    int Pocet(UINT zprava) const
    {
        return zprava == WM_APP + 2 ? pouzito_.load() : zprava == WM_APP + 5 ? seznam_.load() : -1;
    }

private:
    static LRESULT CALLBACK Procedura(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        auto* ja = reinterpret_cast<VlastnikNaVlakne*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (ja && m == WM_APP + 2)
            ++ja->pouzito_;
        if (ja && m == WM_APP + 5)
            ++ja->seznam_;
        return DefWindowProcW(h, m, w, l);
    }
    void Bezet()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Procedura;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TonbarTestVlastnik";
        RegisterClassW(&wc);  // a second registration fails harmlessly
        HWND h = CreateWindowExW(0, wc.lpszClassName, L"vlastník", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        okno_ = h;
        vysledek_ = dialog_(h);
        // Deliver what the dialog posted before it ended.
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        DestroyWindow(h);
        hotovo_ = true;
    }

    std::function<INT_PTR(HWND)> dialog_;
    std::thread vlakno_;
    std::atomic<HWND> okno_{nullptr};
    std::atomic<bool> hotovo_{false};
    std::atomic<int> pouzito_{0}, seznam_{0};
    INT_PTR vysledek_ = 0;
};

inline std::wstring TextOkna(HWND okno)
{
    wchar_t t[1024] = {};
    GetWindowTextW(okno, t, 1024);
    return t;
}

// Where screenshots go: TONBAR_SCREENSHOT_DIR, else build/screenshots of the
// source tree when that folder exists; empty when neither.
inline std::wstring SlozkaSnimku()
{
    wchar_t env[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TONBAR_SCREENSHOT_DIR", env, MAX_PATH))
        return env;
    std::string zdroj = TONBAR_SOURCE_DIR;
    std::wstring cesta = L"Z:";
    for (char c : zdroj)
        cesta += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    cesta += L"\\build\\screenshots";
    DWORD a = GetFileAttributesW(cesta.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return cesta;
}

// Copies the screen under `okno` into a PNG file. True when written.
inline bool UlozitSnimek(HWND okno, const std::wstring& soubor) { return UlozitSnimekOkna(okno, soubor); }

} // namespace tonbar::test
