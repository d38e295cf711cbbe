// The capture-device list, the device choice behind binding, the combo box
// and the device submenu, with lists filled by the test where the system
// can give only what its sound server offers.
#include "recording/AudioCaptureDeviceList.h"
#include "recording/ComboBoxZarizeniZvuk.h"

#include "RecordingTest.h"

#include <gtest/gtest.h>

#include <vector>

using mirvak::direct_show::ComboBoxZarizeniZvuk;
using Microsoft::WRL::ComPtr;
using recording_test::ComScope;

namespace {

AudioCaptureDeviceList Seznam(const std::vector<AudioCaptureDevice>& zarizeni)
{
    AudioCaptureDeviceList seznam;
    for (const auto& d : zarizeni)
        seznam.Add(d);
    seznam.SortAndNumber();
    return seznam;
}

std::vector<std::wstring> Jmena(const AudioCaptureDeviceList& seznam)
{
    std::vector<std::wstring> jmena;
    for (int i = 0; i < seznam.Count(); ++i)
        jmena.push_back(seznam.At(i).friendlyName);
    return jmena;
}

using Jmena_t = std::vector<std::wstring>;

} // namespace

TEST(SeznamZarizeni, RepeatedNamesGetNumberSuffixesInSortedOrder)
{
    auto seznam = Seznam({{L"Mikrofon", L"a", L"p1"}, {L"Linka", L"", L""}, {L"Mikrofon", L"b", L"p2"},
                          {L"Mikrofon", L"c", L"p3"}});
    EXPECT_EQ(Jmena(seznam), (Jmena_t{L"Linka", L"Mikrofon", L"Mikrofon #2", L"Mikrofon #3"}));
    // Identical names keep their enumeration order: binding "N #n" relies on it.
    EXPECT_EQ(seznam.At(1).description, L"a");
    EXPECT_EQ(seznam.At(2).devicePath, L"p2");
    EXPECT_EQ(seznam.At(3).description, L"c");
}

TEST(SeznamZarizeni, NamesDifferingInCaseSortTogetherWithoutSuffix)
{
    auto seznam = Seznam({{L"mikrofon"}, {L"Zvuk"}, {L"Mikrofon"}, {L"Alfa"}});
    EXPECT_EQ(Jmena(seznam), (Jmena_t{L"Alfa", L"Mikrofon", L"mikrofon", L"Zvuk"}));
    // Interleaved case variants: the identical ones still meet and are numbered.
    auto smisene = Seznam({{L"Mic"}, {L"mic"}, {L"Mic"}});
    EXPECT_EQ(Jmena(smisene), (Jmena_t{L"Mic", L"Mic #2", L"mic"}));
}

TEST(SeznamZarizeni, EmptyAndOutOfRange)
{
    AudioCaptureDeviceList seznam;
    seznam.SortAndNumber();
    EXPECT_EQ(seznam.Count(), 0);
    AudioCaptureDevice d;
    EXPECT_THROW(seznam.CopyAt(0, d), long);
    auto jeden = Seznam({{L"Mikrofon", L"", L""}});
    jeden.CopyAt(0, d);
    EXPECT_EQ(d.friendlyName, L"Mikrofon");
    EXPECT_TRUE(d.description.empty());
    EXPECT_TRUE(d.devicePath.empty());
    try {
        jeden.CopyAt(-1, d);
        ADD_FAILURE() << "index -1 accepted";
    } catch (long code) {
        EXPECT_EQ(code, static_cast<long>(E_INVALIDARG));
    }
    EXPECT_THROW(jeden.At(1), long);
}

TEST(VolbaZarizeni, SuffixedNameMeansTheNthDeviceOfThatName)
{
    // Enumeration order, as the system gives it.
    std::vector<AudioCaptureDevice> system{{L"Mikrofon", L"", L"usb1"}, {L"Linka", L"", L""},
                                           {L"Mikrofon", L"", L"usb2"}, {L"Mikrofon", L"", L"usb3"}};
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon"}), 0);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon #2"}), 2);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon #3"}), 3);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon #4"}), -1);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"MIKROFON #2"}), 2);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"linka"}), 1);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Linka #2"}), -1);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon #"}), -1);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon #02"}), -1);
    EXPECT_EQ(ChooseCaptureDevice(system, {L""}), -1);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Odpojené"}), -1);

    // The list numbers what the system enumerates, and binding finds it again.
    AudioCaptureDeviceList seznam;
    for (const auto& d : system)
        seznam.Add(d);
    seznam.SortAndNumber();
    for (int i = 0; i < seznam.Count(); ++i) {
        AudioCaptureDevice bezCesty{seznam.At(i).friendlyName, L"", L""};
        int j = ChooseCaptureDevice(system, bezCesty);
        ASSERT_GE(j, 0) << i;
        EXPECT_EQ(system[static_cast<size_t>(j)].devicePath, seznam.At(i).devicePath) << i;
    }
}

TEST(VolbaZarizeni, StoredPathDecidesAndRealSuffixedNamesWin)
{
    std::vector<AudioCaptureDevice> system{{L"Mikrofon", L"", L"usb1"}, {L"Mikrofon", L"", L"usb2"},
                                           {L"Zvuk #2", L"", L""}, {L"mic", L"", L""}, {L"Mic", L"", L""}};
    // The path names the second device even under the first one's name.
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon", L"", L"USB2"}), 1);
    // A path no device has any more: the name decides.
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mikrofon #2", L"", L"usb9"}), 1);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Zvuk #2"}), 2);
    // The exact name before a case variant.
    EXPECT_EQ(ChooseCaptureDevice(system, {L"Mic"}), 4);
    EXPECT_EQ(ChooseCaptureDevice(system, {L"MIC"}), 3);
}

TEST(VazbaZarizeni, RefusesWhatCannotBeBound)
{
    ComScope com;
    ComPtr<IBaseFilter> filtr;
    EXPECT_EQ(BindCaptureDevice(L"", filtr), E_INVALIDARG);
    EXPECT_EQ(BindCaptureDevice(L"Zařízení, které neexistuje", filtr), E_FAIL);
    EXPECT_FALSE(filtr);
    // A filter already held stays.
    AudioCaptureDeviceList seznam;
    ASSERT_EQ(seznam.Enumerate(), S_OK);
    if (seznam.Count() == 0)
        GTEST_SKIP() << "no audio input device (no sound server)";
    ASSERT_EQ(BindCaptureDevice(seznam.At(0), filtr), S_OK);
    ASSERT_TRUE(filtr);
    IBaseFilter* drive = filtr.Get();
    EXPECT_EQ(BindCaptureDevice(seznam.At(0), filtr), S_FALSE);
    EXPECT_EQ(filtr.Get(), drive);
}

TEST(VyctovaniZarizeni, SystemListIsSortedAndUnique)
{
    ComScope com;
    AudioCaptureDeviceList seznam;
    seznam.Add({L"zbytek"});
    ASSERT_EQ(seznam.Enumerate(), S_OK);
    for (int i = 0; i < seznam.Count(); ++i) {
        EXPECT_FALSE(seznam.At(i).friendlyName.empty());
        EXPECT_NE(seznam.At(i).friendlyName, L"zbytek");
        if (i > 0) {
            EXPECT_LE(lstrcmpiW(seznam.At(i - 1).friendlyName.c_str(), seznam.At(i).friendlyName.c_str()), 0);
            EXPECT_NE(seznam.At(i - 1).friendlyName, seznam.At(i).friendlyName);
        }
    }
}

namespace {

class OknoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rodic_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        // Wine creates no combo box without an X display (scripts/test gives one).
        if (!rodic_ && !_wgetenv(L"DISPLAY"))
            GTEST_SKIP() << "no X display for windows";
        ASSERT_TRUE(rodic_);
    }
    void TearDown() override { DestroyWindow(rodic_); }

    std::wstring Text(HWND combo, int i)
    {
        wchar_t b[256] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(b));
        return b;
    }
    HWND rodic_ = nullptr;
};

} // namespace

TEST_F(OknoTest, ComboShowsTheListAndSelectsTheCurrentDevice)
{
    auto seznam = Seznam({{L"Mikrofon", L"d1", L"p1"}, {L"Linka"}, {L"Mikrofon", L"d2", L"p2"}, {L"Zvuk"}});
    HWND combo = nullptr;
    {
        ComboBoxZarizeniZvuk cb;
        ASSERT_EQ(cb.Create(rodic_, RECT{0, 0, 220, 600}, 1037), S_OK);
        combo = cb.Handle();
        wchar_t trida[64] = {};
        GetClassNameW(combo, trida, 64);
        EXPECT_STREQ(trida, L"RComboBoxAudio");
        EXPECT_EQ(GetDlgCtrlID(combo), 1037);
        EXPECT_EQ(GetWindowLongW(combo, GWL_STYLE) & 0x50000003, 0x50000003);

        AudioCaptureDevice vybrane;
        EXPECT_EQ(cb.GetSelected(vybrane), S_FALSE);  // no list yet
        cb.SetList(&seznam);
        cb.Fill({L"mikrofon #2"});
        ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(Text(combo, 0), L"Linka");
        EXPECT_EQ(Text(combo, 3), L"Zvuk");
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
        ASSERT_EQ(cb.GetSelected(vybrane), S_OK);
        EXPECT_EQ(vybrane.friendlyName, L"Mikrofon #2");
        EXPECT_EQ(vybrane.description, L"d2");
        EXPECT_EQ(vybrane.devicePath, L"p2");

        // A name no device has: the first item.
        cb.Fill({L"Odpojené"});
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);

        // An item whose data points past the list (the list shrank) is not usable.
        SendMessageW(combo, CB_SETITEMDATA, 0, 99);
        EXPECT_EQ(cb.GetSelected(vybrane), S_FALSE);

        AudioCaptureDeviceList prazdny;
        cb.SetList(&prazdny);
        cb.Fill({L"Mikrofon"});
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(cb.GetSelected(vybrane), S_FALSE);
    }
    EXPECT_FALSE(IsWindow(combo)) << "the control's window outlived it";
}

TEST_F(OknoTest, ComboAttachesToAnExistingControl)
{
    HWND existujici = CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, rodic_,
                                      reinterpret_cast<HMENU>(1028), nullptr, nullptr);
    ASSERT_TRUE(existujici);
    ComboBoxZarizeniZvuk cb;
    EXPECT_EQ(cb.Attach(nullptr), E_HANDLE);
    ASSERT_EQ(cb.Attach(existujici), S_OK);
    auto seznam = Seznam({{L"B"}, {L"A"}});
    cb.SetList(&seznam);
    cb.Fill({L"b"});
    AudioCaptureDevice vybrane;
    ASSERT_EQ(cb.GetSelected(vybrane), S_OK);
    EXPECT_EQ(vybrane.friendlyName, L"B");
}

TEST(NabidkaZarizeni, ItemsInListOrderWithTheCurrentOneChecked)
{
    AudioCaptureDeviceList prazdny;
    EXPECT_EQ(BuildDeviceMenu(prazdny, 52000, L"Mikrofon"), nullptr);

    auto seznam = Seznam({{L"Mikrofon"}, {L"Linka"}, {L"Mikrofon"}});
    HMENU menu = BuildDeviceMenu(seznam, 52000, L"MIKROFON #2");
    ASSERT_TRUE(menu);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    const wchar_t* ocekavane[] = {L"Linka", L"Mikrofon", L"Mikrofon #2"};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[64] = {};
        MENUITEMINFOW mii{sizeof mii};
        mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        mii.dwTypeData = text;
        mii.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &mii));
        EXPECT_EQ(mii.wID, 52000u + i);
        EXPECT_STREQ(text, ocekavane[i]);
        EXPECT_TRUE(mii.fType & MFT_RADIOCHECK);
        EXPECT_EQ((mii.fState & MFS_CHECKED) != 0, i == 2) << i;
    }

    // The tray menu's item 40049 gets the submenu and its name.
    HMENU hlavni = CreatePopupMenu();
    AppendMenuW(hlavni, MF_STRING, 40011, L"&Spustit záznam");
    AppendMenuW(hlavni, MF_STRING, 40049, L"x");
    EXPECT_EQ(AttachDeviceMenu(hlavni, reinterpret_cast<HMENU>(static_cast<INT_PTR>(0x1234))), E_HANDLE);
    EXPECT_EQ(AttachDeviceMenu(hlavni, menu), S_OK);
    EXPECT_EQ(GetSubMenu(hlavni, 1), menu);
    wchar_t text[64] = {};
    GetMenuStringW(hlavni, 40049, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Zvukové zařízení");

    // A menu without the item: the system's failure as an HRESULT.
    HMENU bez = CreatePopupMenu();
    HMENU dalsi = BuildDeviceMenu(seznam, 52000, L"");
    HRESULT hr = AttachDeviceMenu(bez, dalsi);
    EXPECT_LT(hr, 0);
    DestroyMenu(dalsi);
    DestroyMenu(bez);
    DestroyMenu(hlavni);  // destroys the attached submenu too
}
