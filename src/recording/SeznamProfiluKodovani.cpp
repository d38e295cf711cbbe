#include "recording/SeznamProfiluKodovani.h"

#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "media/dshow/WmProfiles.h"
#include "resources/resource.h"

#include <objbase.h>

#include <vector>

using Microsoft::WRL::ComPtr;

const GUID kProfilyKodovani[kPocetProfiluKodovani] = {
    mirvak::media::WMProfile_V80_288MonoAudio,  mirvak::media::WMProfile_V80_288StereoAudio,
    mirvak::media::WMProfile_V80_32StereoAudio, mirvak::media::WMProfile_V80_48StereoAudio,
    mirvak::media::WMProfile_V80_64StereoAudio, mirvak::media::WMProfile_V80_96StereoAudio,
    mirvak::media::WMProfile_V80_128StereoAudio,
};

namespace {

// Only pointers into the table count as our item data: anything else (an
// item another caller added) maps to no GUID.
const GUID* RadekTabulky(LRESULT data)
{
    for (const GUID& g : kProfilyKodovani)
        if (data == reinterpret_cast<LRESULT>(&g))
            return &g;
    return nullptr;
}

} // namespace

std::wstring NahradniNazevProfilu(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return NacistText(IDS_PROFIL_KODOVANI_BEZ_NAZVU, text);
}

HRESULT EncodingProfileName(IWMProfileManager* profileManager, const GUID& guid, std::wstring& name)
{
    name.clear();
    if (!profileManager)
        return E_POINTER;
    ComPtr<IWMProfile> profil;
    HRESULT hr = profileManager->LoadProfileByID(guid, &profil);
    if (FAILED(hr))
        return hr;
    if (!profil)
        return E_POINTER;
    DWORD delka = 0;
    hr = profil->GetName(nullptr, &delka);
    if (FAILED(hr))
        return hr;
    // A length that cannot be a profile name is a broken answer, not a buffer to allocate.
    if (delka == 0 || delka > 4096)
        return E_UNEXPECTED;
    std::vector<WCHAR> buffer(delka + 1, L'\0');
    DWORD kapacita = delka;
    hr = profil->GetName(buffer.data(), &kapacita);
    if (FAILED(hr))
        return hr;
    name.assign(buffer.data());
    return S_OK;
}

HRESULT FillEncodingProfiles(HWND combo, IWMProfileManager* profileManager, const GUID& currentGuid)
{
    if (!IsWindow(combo))
        return E_INVALIDARG;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    if (!profileManager)
        return E_POINTER;
    int vybrany = -1;
    for (const GUID& g : kProfilyKodovani) {
        std::wstring nazev;
        if (FAILED(EncodingProfileName(profileManager, g, nazev)) || nazev.empty())
            nazev = NahradniNazevProfilu(g);
        LRESULT i = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nazev.c_str()));
        if (i == CB_ERR || i == CB_ERRSPACE)
            return E_OUTOFMEMORY;
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&g));
        if (IsEqualGUID(g, currentGuid))
            vybrany = static_cast<int>(i);
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(vybrany), 0);
    return S_OK;
}

HRESULT SelectedEncodingProfile(HWND combo, GUID& guid)
{
    LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR)
        return S_FALSE;
    const GUID* radek = RadekTabulky(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    if (!radek)
        return S_FALSE;
    guid = *radek;
    return S_OK;
}

namespace mirvak::winapi {

ComboBoxProfilKodovani::ComboBoxProfilKodovani(Konfigurace* konfigurace)
    : konfigurace_(konfigurace ? konfigurace : &g_konfigurace)
{
    HRESULT hr = mirvak::media::CreateProfileManager(&manager_);
    if (FAILED(hr))
        VyhoditKod(hr);
}

ComboBoxProfilKodovani::~ComboBoxProfilKodovani() = default;

HRESULT ComboBoxProfilKodovani::Create(HWND parent, int x, int y, int id)
{
    HWND combo = CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, x, y, kSirka,
                                 kVyskaSeznamu, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (!combo)
        return KodPosledniChyby();
    SendMessageW(combo, CB_SETDROPPEDWIDTH, kSirkaSeznamu, 0);
    SendMessageW(combo, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    HRESULT hr = Attach(combo);
    if (FAILED(hr))
        DestroyWindow(combo);
    return hr;
}

HRESULT ComboBoxProfilKodovani::Attach(HWND combo)
{
    return SubclassWindow(combo);
}

HRESULT ComboBoxProfilKodovani::Fill(const GUID& current)
{
    return FillEncodingProfiles(m_hWnd, manager_.Get(), current);
}

HRESULT ComboBoxProfilKodovani::FillFromConfiguration()
{
    return Fill(konfigurace_->profil);
}

HRESULT ComboBoxProfilKodovani::OnSelChange()
{
    GUID guid{};
    if (SelectedEncodingProfile(m_hWnd, guid) != S_OK)
        return S_FALSE;
    konfigurace_->profil = guid;
    return Ulozit(*konfigurace_);
}

HRESULT ComboBoxProfilKodovani::AddTooltip(HWND tooltip, HWND owner) const
{
    if (!tooltip || !m_hWnd)
        return E_INVALIDARG;
    std::wstring text = NacistRetezec(IDS_POZADOVANY_PROFIL_KODOVANI);
    TTTOOLINFOW nastroj{};
    nastroj.cbSize = TTTOOLINFOW_V2_SIZE;
    nastroj.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    nastroj.hwnd = owner;
    nastroj.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    nastroj.lpszText = text.data();
    return SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&nastroj)) ? S_OK : E_FAIL;
}

} // namespace mirvak::winapi
