// Shared pieces of the profile tests: a registry key of the test's own, a
// configuration record that writes there, and message boxes taken over.
#pragma once

#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "harness/TestFolder.h"
#include "recording/RecordingProfile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace profiles_test {

// The application key of one test, removed before and after.
class KlicTestu {
public:
    KlicTestu()
    {
        static int citac = 0;
        cesta_ = L"Software\\Mirvak\\TonbarProfilyTest\\" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++citac);
        RegDeleteTreeW(HKEY_CURRENT_USER, cesta_.c_str());
    }
    ~KlicTestu() { RegDeleteTreeW(HKEY_CURRENT_USER, cesta_.c_str()); }
    KlicTestu(const KlicTestu&) = delete;
    KlicTestu& operator=(const KlicTestu&) = delete;

    const std::wstring& Cesta() const { return cesta_; }
    std::wstring Profil(const std::wstring& nazev) const { return cesta_ + L"\\profily_zaznamu\\" + nazev; }

    bool Existuje(const std::wstring& podklic) const
    {
        HKEY k = nullptr;
        return RegOpenKeyExW(HKEY_CURRENT_USER, podklic.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS && !RegCloseKey(k);
    }
    // The raw value: type and bytes; false when missing.
    bool Hodnota(const std::wstring& podklic, const wchar_t* nazev, DWORD& typ, std::vector<BYTE>& data) const
    {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, podklic.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
            return false;
        DWORD velikost = 0;
        LSTATUS s = RegQueryValueExW(k, nazev, nullptr, &typ, nullptr, &velikost);
        data.assign(velikost, 0);
        if (s == ERROR_SUCCESS && velikost)
            s = RegQueryValueExW(k, nazev, nullptr, &typ, data.data(), &velikost);
        RegCloseKey(k);
        return s == ERROR_SUCCESS;
    }
    void Zapsat(const std::wstring& podklic, const wchar_t* nazev, DWORD typ, const void* data, DWORD velikost) const
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, podklic.c_str(), nazev, typ, data, velikost), ERROR_SUCCESS);
    }

private:
    std::wstring cesta_;
};

// A configuration record of the test's own, writing below its key.
class TestKonfigurace {
public:
    explicit TestKonfigurace(const std::wstring& klic)
    {
        InicializovatKonfiguraci(k);
        NastavitVychozi(k, L"tester");
        k.registrovaCesta = klic;
    }
    ~TestKonfigurace() { UvolnitKonfiguraci(k); }
    TestKonfigurace(const TestKonfigurace&) = delete;
    TestKonfigurace& operator=(const TestKonfigurace&) = delete;
    Konfigurace k;
};

inline RecordingProfile Profil(const std::wstring& nazev, const GUID& guid, const std::wstring& slozka,
                               const std::wstring& zarizeni = L"", const std::wstring& cesta = L"")
{
    RecordingProfile p;
    p.name = nazev, p.profileId = guid, p.folder = slozka;
    p.device.friendlyName = zarizeni, p.device.devicePath = cesta;
    return p;
}

inline bool StejneGuid(const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != FALSE; }

} // namespace profiles_test
