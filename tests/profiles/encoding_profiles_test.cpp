// The list of encoding profiles in a combo box, and the tool-bar combo box
// that writes the configuration's "profil", on a real window under Wine.
#include "controls/TestOkna.h"
#include "harness/Dialogy.h"
#include "settings/NastaveniTest.h"

#include "app/TestModul.h"
#include "media/dshow/WmProfiles.h"
#include "media/profiles/ProfileCatalogue.h"
#include "recording/SeznamProfiluKodovani.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <set>

using Microsoft::WRL::ComPtr;
using namespace tonbar::test;

namespace {

// A profile manager that answers like broken or incomplete systems do:
// row 1 cannot be loaded, row 2 loads without a name, row 3 "succeeds"
// without giving a profile; the rest come from the built-in manager.
class VadnySpravce : public IWMProfileManager {
public:
    VadnySpravce() { mirvak::media::CreateBuiltInProfileManager(&zaklad_); }

    // Lives on the test's stack and is only called through.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION, IWMProfile**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID guid, IWMProfile** out) override
    {
        *out = nullptr;
        if (guid == kProfilyKodovani[0])
            return E_NOTIMPL;
        if (guid == kProfilyKodovani[1]) {
            mirvak::media::AudioProfile bezNazvu = mirvak::media::SystemAudioProfiles()[1];
            bezNazvu.name.clear();
            return mirvak::media::CreateBuiltInProfile(bezNazvu, out);
        }
        if (guid == kProfilyKodovani[2])
            return S_OK;
        return zaklad_->LoadProfileByID(guid, out);
    }
    HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR*, IWMProfile**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile*, WCHAR*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD, IWMProfile**) override { return E_NOTIMPL; }

private:
    ComPtr<IWMProfileManager> zaklad_;
};

// The row count and the selected row of a combo box.
using Radky = std::pair<LRESULT, LRESULT>;
Radky Stav(HWND h)
{
    return {SendMessageW(h, CB_GETCOUNT, 0, 0), SendMessageW(h, CB_GETCURSEL, 0, 0)};
}

TEST(EncodingCombo, ListsTheSevenProfilesWhateverTheManagerAndTheToolBarComboWritesTheChoice)
{
    ComScope com;
    TestModul modul;
    TestKonfigurace konf;
    Hostitel host;
    ASSERT_EQ(host.Vytvorit(600, 200), S_OK);
    HWND seznam = host.Prvek(L"ComboBox", 1027, CBS_DROPDOWNLIST | WS_VSCROLL, {10, 10, 400, 200});
    ASSERT_NE(seznam, nullptr);
    ComPtr<IWMProfileManager> spravce;
    ASSERT_EQ(mirvak::media::CreateProfileManager(&spravce), S_OK);
    ASSERT_EQ(FillEncodingProfiles(seznam, spravce.Get(), kVychoziProfil), S_OK);
    ASSERT_EQ(Stav(seznam), Radky(7, 6));
    // Wine has no system profiles: the names are the built-in catalogue's.
    const auto& katalog = mirvak::media::SystemAudioProfiles();
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(TextPolozky(seznam, i, true), std::wstring(katalog[i].name.begin(), katalog[i].name.end()))
            << i;
        // The item data is the table row itself.
        EXPECT_EQ(SendMessageW(seznam, CB_GETITEMDATA, i, 0), reinterpret_cast<LRESULT>(&kProfilyKodovani[i]));
    }
    GUID vybrany{};
    ASSERT_EQ(SelectedEncodingProfile(seznam, vybrany), S_OK);
    EXPECT_TRUE(IsEqualGUID(vybrany, mirvak::media::WMProfile_V80_128StereoAudio));

    // A refill with another GUID moves the selection and adds nothing.
    ASSERT_EQ(FillEncodingProfiles(seznam, spravce.Get(), kProfilyKodovani[2]), S_OK);
    EXPECT_EQ(Stav(seznam), Radky(7, 2));

    // A GUID of no row (another version's profile): no selection, the GUID kept.
    const GUID rucne = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(FillEncodingProfiles(seznam, spravce.Get(), rucne), S_OK);
    EXPECT_EQ(Stav(seznam), Radky(7, CB_ERR));
    GUID g = rucne;
    EXPECT_EQ(SelectedEncodingProfile(seznam, g), S_FALSE);
    EXPECT_TRUE(IsEqualGUID(g, rucne));
    // No manager: the old rows go, nothing is selected.
    EXPECT_EQ(FillEncodingProfiles(seznam, nullptr, kVychoziProfil), E_POINTER);
    EXPECT_EQ(SendMessageW(seznam, CB_GETCOUNT, 0, 0), 0);

    // Profiles the manager cannot load or name still get a row.
    VadnySpravce vadny;
    ASSERT_EQ(FillEncodingProfiles(seznam, &vadny, kProfilyKodovani[2]), S_OK);
    ASSERT_EQ(Stav(seznam), Radky(7, 2));
    const std::vector<std::wstring> radky = Polozky(host, 1027, true);
    EXPECT_EQ(std::count(radky.begin(), radky.end(), L""), 0);
    EXPECT_EQ(std::set<std::wstring>(radky.begin(), radky.end()).size(), 7u);  // fallbacks differ by their GUIDs
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(TextPolozky(seznam, i, true), NahradniNazevProfilu(kProfilyKodovani[i])) << i;
    EXPECT_NE(TextPolozky(seznam, 0, true).find(L"{7EA3126D-E1BA-4716-89AF-F65CEE0C0C67}"), std::wstring::npos);
    EXPECT_EQ(TextPolozky(seznam, 3, true), std::wstring(katalog[3].name.begin(), katalog[3].name.end()));

    std::wstring nazev = L"x";
    EXPECT_EQ(EncodingProfileName(&vadny, kProfilyKodovani[0], nazev), E_NOTIMPL);
    EXPECT_TRUE(nazev.empty());
    EXPECT_EQ(EncodingProfileName(&vadny, kProfilyKodovani[2], nazev), E_POINTER);

    // Selecting an item of the tool-bar combo box writes "profil" at once.
    konf.k.profil = kVychoziProfil;
    mirvak::winapi::ComboBoxProfilKodovani combo(&konf.k);
    ASSERT_EQ(combo.Create(host, 5, 3), S_OK);
    ASSERT_EQ(combo.FillFromConfiguration(), S_OK);
    HWND h = combo.Handle();
    ASSERT_EQ(Stav(h), Radky(7, 6));
    EXPECT_TRUE(konf.Binarni(L"wma", L"profil").empty());  // filling writes nothing

    // The user picks row 3: the notification reaches the combo box through
    // the parent's reflection, as on the tool bar.
    SendMessageW(h, CB_SETCURSEL, 3, 0);
    SendMessageW(host, WM_COMMAND, MAKEWPARAM(1017, CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
    EXPECT_TRUE(IsEqualGUID(konf.k.profil, kProfilyKodovani[3]));
    EXPECT_TRUE(konf.Drzi(L"wma", L"profil", kProfilyKodovani[3]));

    // The parent may call the handler itself instead.
    SendMessageW(h, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(combo.OnSelChange(), S_OK);
    EXPECT_TRUE(konf.Drzi(L"wma", L"profil", kProfilyKodovani[0]));

    // Nothing selected: nothing changes.
    SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(combo.OnSelChange(), S_FALSE);
    EXPECT_TRUE(IsEqualGUID(konf.k.profil, kProfilyKodovani[0]));
    EXPECT_TRUE(modul.zpravy.empty());
}

} // namespace
