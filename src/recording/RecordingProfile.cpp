#include "recording/RecordingProfile.h"

#include "recording/NazevZaznamu.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "app/Konfigurace.h"
#include "resources/resource.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <utility>

using mirvak::winapi::RegKey;

namespace {

void Over(LSTATUS s)
{
    if (s != ERROR_SUCCESS)
        VyhoditKod(KodChyby(static_cast<DWORD>(s)));
}

// A REG_SZ value, or empty when it is missing, of another type or unreadable.
// The stored text need not end with a zero.
std::wstring CistText(HKEY key, const wchar_t* nazev)
{
    DWORD typ = 0, velikost = 0;
    if (RegQueryValueExW(key, nazev, nullptr, &typ, nullptr, &velikost) != ERROR_SUCCESS || typ != REG_SZ ||
        velikost < sizeof(wchar_t))
        return {};
    std::wstring text(velikost / sizeof(wchar_t) + 1, L'\0');
    DWORD precteno = velikost;
    if (RegQueryValueExW(key, nazev, nullptr, &typ, reinterpret_cast<BYTE*>(text.data()), &precteno) !=
        ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), precteno / sizeof(wchar_t)));
    return text;
}

void ZapsatText(HKEY key, const wchar_t* nazev, const std::wstring& text)
{
    Over(RegSetValueExW(key, nazev, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
}

bool JenMezery(const std::wstring& text)
{
    for (wchar_t c : text)
        if (!iswspace(c))
            return false;
    return true;
}

} // namespace

HRESULT CheckProfileName(const std::wstring& name)
{
    if (name.empty() || JenMezery(name) || name.size() > kMaxDelkaNazvuProfilu ||
        name.find(L'\\') != std::wstring::npos)
        return E_INVALIDARG;
    return S_OK;
}

RecordingProfileStore::RecordingProfileStore(std::wstring applicationKey) : klicAplikace_(std::move(applicationKey)) {}

HRESULT RecordingProfileStore::Load()
{
    profily_.clear();
    const std::wstring cesta = klicAplikace_ + L"\\" + kPodklic;
    RegKey seznam;
    LSTATUS s = RegOpenKeyExW(HKEY_CURRENT_USER, cesta.c_str(), 0, KEY_READ, seznam.Put());
    if (s == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (s != ERROR_SUCCESS)
        return KodChyby(static_cast<DWORD>(s));
    DWORD pocet = 0, nejdelsi = 0;
    s = RegQueryInfoKeyW(seznam.Get(), nullptr, nullptr, nullptr, &pocet, &nejdelsi, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
    if (s != ERROR_SUCCESS)
        return KodChyby(static_cast<DWORD>(s));
    for (DWORD i = 0; i < pocet; ++i) {
        wchar_t jmeno[kMaxDelkaNazvuProfilu + 2] = {};
        DWORD delka = static_cast<DWORD>(std::size(jmeno));
        if (RegEnumKeyExW(seznam.Get(), i, jmeno, &delka, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        RegKey klic;
        const std::wstring plna = cesta + L"\\" + jmeno;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, plna.c_str(), 0, KEY_READ, klic.Put()) != ERROR_SUCCESS)
            continue;
        RecordingProfile p;
        p.name = jmeno;
        p.profileId = kVychoziProfil;
        GUID guid{};
        DWORD typ = 0, velikost = sizeof guid;
        if (RegQueryValueExW(klic.Get(), L"profil", nullptr, &typ, reinterpret_cast<BYTE*>(&guid), &velikost) ==
                ERROR_SUCCESS &&
            typ == REG_BINARY && velikost == sizeof guid)
            p.profileId = guid;
        p.folder = CistText(klic.Get(), L"slozka");
        p.device.devicePath = CistText(klic.Get(), L"device_path");
        p.device.friendlyName = CistText(klic.Get(), L"friendly_name");
        profily_.push_back(std::move(p));
    }
    return S_OK;
}

HRESULT RecordingProfileStore::SaveQuiet()
{
    // Every name is checked before anything is removed, so that a bad name
    // cannot cost the profiles stored after it.
    for (size_t i = 0; i < profily_.size(); ++i) {
        if (FAILED(CheckProfileName(profily_[i].name)))
            return E_INVALIDARG;
        for (size_t j = 0; j < i; ++j)
            if (StrCmpIW(profily_[i].name.c_str(), profily_[j].name.c_str()) == 0)
                return E_INVALIDARG;
    }
    try {
        RegKey aplikace;
        Over(RegCreateKeyExW(HKEY_CURRENT_USER, klicAplikace_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                             aplikace.Put(), nullptr));
        LSTATUS s = RegDeleteTreeW(aplikace.Get(), kPodklic);
        if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND)
            Over(s);
        RegKey seznam;
        Over(RegCreateKeyExW(aplikace.Get(), kPodklic, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, seznam.Put(),
                             nullptr));
        for (const RecordingProfile& p : profily_) {
            RegKey klic;
            const std::wstring cesta = std::wstring(kPodklic) + L"\\" + p.name;
            Over(RegCreateKeyExW(aplikace.Get(), cesta.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, klic.Put(),
                                 nullptr));
            ZapsatText(klic.Get(), L"nazev", p.name);
            Over(RegSetValueExW(klic.Get(), L"profil", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&p.profileId),
                                sizeof p.profileId));
            ZapsatText(klic.Get(), L"slozka", p.folder);
            ZapsatText(klic.Get(), L"device_path", p.device.devicePath);
            ZapsatText(klic.Get(), L"friendly_name", p.device.friendlyName);
        }
        return S_OK;
    } catch (long code) {
        return KodNeboFail(code);
    }
}

HRESULT RecordingProfileStore::Save()
{
    HRESULT hr = SaveQuiet();
    if (FAILED(hr))
        ZobrazitChybuSystemu(IDS_CHYBA_ZAPIS_PROFILU, hr);
    return hr;
}

HRESULT RecordingProfileStore::DeleteKey(const std::wstring& name)
{
    if (FAILED(CheckProfileName(name)))
        return E_INVALIDARG;
    const std::wstring cesta = klicAplikace_ + L"\\" + kPodklic;
    RegKey seznam;
    LSTATUS s = RegOpenKeyExW(HKEY_CURRENT_USER, cesta.c_str(), 0, KEY_READ | KEY_WRITE, seznam.Put());
    if (s != ERROR_SUCCESS)
        return KodChyby(static_cast<DWORD>(s));
    s = static_cast<LSTATUS>(SHDeleteKeyW(seznam.Get(), name.c_str()));
    if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND)
        return KodChyby(static_cast<DWORD>(s));
    return S_OK;
}

int RecordingProfileStore::Find(const std::wstring& name) const
{
    for (size_t i = 0; i < profily_.size(); ++i)
        if (StrCmpIW(profily_[i].name.c_str(), name.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

const RecordingProfile& RecordingProfileStore::At(int index) const
{
    if (index < 0 || index >= Count())
        VyhoditKod(E_INVALIDARG);
    return profily_[static_cast<size_t>(index)];
}

RecordingProfile& RecordingProfileStore::At(int index)
{
    if (index < 0 || index >= Count())
        VyhoditKod(E_INVALIDARG);
    return profily_[static_cast<size_t>(index)];
}

HRESULT RecordingProfileStore::Erase(int index)
{
    if (index < 0 || index >= Count())
        return E_INVALIDARG;
    profily_.erase(profily_.begin() + index);
    return S_OK;
}

int ProfileIndexFromCommand(const RecordingProfileStore& store, UINT command, UINT firstCommandId)
{
    if (command < firstCommandId || command >= firstCommandId + kPocetPrikazuProfilu)
        return -1;
    int i = static_cast<int>(command - firstCommandId);
    return i < store.Count() ? i : -1;
}

HRESULT ProfileRecordingFile(const RecordingProfile& profile, const SYSTEMTIME& cas, std::wstring& path)
{
    return SestavitJmenoPodleCasu(profile.folder, cas, true, path);
}
