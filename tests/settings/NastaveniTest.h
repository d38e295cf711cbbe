// What the settings and update tests share: a configuration under a registry
// key of the test's own, and an owner window on a thread of its own.
#pragma once

#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "harness/Dialogy.h"
#include "harness/TestFolder.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tonbar::test {

using ZaznamZprav = TestModul;

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

    std::wstring Klic(const wchar_t* podklic) const
    {
        return podklic && *podklic ? k.registrovaCesta + L"\\" + podklic : k.registrovaCesta;
    }
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
        for (DWORD i = 0, delka = 256; RegEnumValueW(h, i, nazev, &delka, nullptr, nullptr, nullptr, nullptr) == 0;
             ++i, delka = 256)
            nazvy.insert(nazev);
        RegCloseKey(h);
        return nazvy;
    }
    bool Zapsat(const wchar_t* podklic, const wchar_t* nazev, DWORD typ, const void* data, DWORD velikost) const
    {
        return RegSetKeyValueW(HKEY_CURRENT_USER, Klic(podklic).c_str(), nazev, typ, data, velikost) ==
               ERROR_SUCCESS;
    }
    // The bytes of a value of the types `typy` (RRF_RT_*); none when it cannot be read.
    std::vector<BYTE> Binarni(const wchar_t* podklic, const wchar_t* hodnota, DWORD typy = RRF_RT_REG_BINARY) const
    {
        std::vector<BYTE> data(2048);
        DWORD velikost = static_cast<DWORD>(data.size());
        if (RegGetValueW(HKEY_CURRENT_USER, Klic(podklic).c_str(), hodnota, typy, nullptr, data.data(),
                         &velikost) != ERROR_SUCCESS)
            return {};
        data.resize(velikost);
        return data;
    }
    // Whether a binary value holds exactly the bytes of `data`.
    template <typename T>
    bool Drzi(const wchar_t* podklic, const wchar_t* hodnota, const T& data) const
    {
        const BYTE* b = reinterpret_cast<const BYTE*>(&data);
        return Binarni(podklic, hodnota) == std::vector<BYTE>(b, b + sizeof data);
    }
    // A DWORD value, or 0xDEADBEEF when it cannot be read.
    DWORD Dword(const wchar_t* podklic, const wchar_t* hodnota) const
    {
        DWORD d = 0, velikost = sizeof d;
        return RegGetValueW(HKEY_CURRENT_USER, Klic(podklic).c_str(), hodnota, RRF_RT_REG_DWORD, nullptr, &d,
                            &velikost) == ERROR_SUCCESS ? d : 0xDEADBEEF;
    }
    std::wstring Text(const wchar_t* podklic, const wchar_t* hodnota) const
    {
        std::vector<BYTE> data = Binarni(podklic, hodnota, RRF_RT_REG_SZ);
        return data.empty() ? L"<chybí>" : reinterpret_cast<const wchar_t*>(data.data());
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

// A hidden window on a thread of its own that runs a modal dialog as its
// owner and counts the messages WM_APP to WM_APP + 7 posted to it.
class VlastnikNaVlakne {
public:
    explicit VlastnikNaVlakne(std::function<INT_PTR(HWND)> dialog)
        : dialog_(std::move(dialog)), vlakno_([this] { Bezet(); })
    {
        Cekat([this] { return okno_.load() != nullptr; }, 5000);
    }
    // Waits for the dialog to end; its result, or -2 after the time-out.
    INT_PTR Vysledek(DWORD ms = 10000)
    {
        if (!Cekat([this] { return hotovo_.load(); }, ms))
            return -2;
        vlakno_.join();
        return vysledek_;
    }
    int Pocet(UINT zprava) const { return pocty_[zprava - WM_APP].load(); }

private:
    void Bezet()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            auto* ja = reinterpret_cast<VlastnikNaVlakne*>(GetWindowLongPtrW(h, GWLP_USERDATA));
            if (ja && m >= WM_APP && m < WM_APP + 8)
                ++ja->pocty_[m - WM_APP];
            return DefWindowProcW(h, m, w, l);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TonbarTestVlastnik";
        RegisterClassW(&wc);  // a second registration fails harmlessly
        HWND h = CreateWindowExW(0, wc.lpszClassName, L"vlastník", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        okno_ = h;
        vysledek_ = dialog_(h);
        Cekat([] { return true; }, 0);  // delivers what the dialog posted before it ended
        DestroyWindow(h);
        hotovo_ = true;
    }

    std::function<INT_PTR(HWND)> dialog_;
    std::atomic<HWND> okno_{nullptr};
    std::atomic<bool> hotovo_{false};
    std::atomic<int> pocty_[8] = {};
    INT_PTR vysledek_ = 0;
    std::jthread vlakno_;  // last: joined before the members it uses go
};

} // namespace tonbar::test
