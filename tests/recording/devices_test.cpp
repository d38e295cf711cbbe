// The capture-device list, the device choice behind binding and the combo box, on lists of the test's own
// where the system gives only what its sound server offers (the device submenu: the main window's test).
#include "recording/AudioCaptureDeviceList.h"
#include "recording/ComboBoxZarizeniZvuk.h"

#include "harness/Dialogy.h"
#include "harness/TestFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

using mirvak::direct_show::ComboBoxZarizeniZvuk;
using Microsoft::WRL::ComPtr;
using tonbar::test::ComScope;

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

// Sorted ignoring case; identical names keep their enumeration order (binding "N #n" relies on it) and are
// numbered, case variants are not.
TEST(SeznamZarizeni, RepeatedNamesGetNumberSuffixesInSortedOrder)
{
    const struct {
        std::vector<AudioCaptureDevice> system;
        Jmena_t jmena;
    } pripady[] = {
        {{{L"Mikrofon", L"a", L"p1"}, {L"Linka"}, {L"Mikrofon", L"b", L"p2"}, {L"Mikrofon", L"c", L"p3"}},
         {L"Linka", L"Mikrofon", L"Mikrofon #2", L"Mikrofon #3"}},
        {{{L"mikrofon"}, {L"Zvuk"}, {L"Mikrofon"}, {L"Alfa"}}, {L"Alfa", L"Mikrofon", L"mikrofon", L"Zvuk"}},
        {{{L"Mic"}, {L"mic"}, {L"Mic"}}, {L"Mic", L"Mic #2", L"mic"}},
        {{}, {}},
    };
    for (const auto& p : pripady)
        EXPECT_EQ(Jmena(Seznam(p.system)), p.jmena);
    auto seznam = Seznam(pripady[0].system);
    EXPECT_EQ(std::tie(seznam.At(1).description, seznam.At(2).devicePath, seznam.At(3).description),
              std::make_tuple(L"a", L"p2", L"c"));
    EXPECT_EQ(BuildDeviceMenu(AudioCaptureDeviceList(), 52000, L"Mikrofon"), nullptr);
    AudioCaptureDevice d;
    EXPECT_THROW(seznam.CopyAt(4, d), long);
    EXPECT_THROW(seznam.CopyAt(-1, d), long);
    EXPECT_THROW(seznam.At(4), long);
}

// A suffixed name means the n-th device of that name in enumeration order; a stored path decides first, and a
// real name with a suffix wins.
TEST(VolbaZarizeni, SuffixedNameMeansTheNthDeviceOfThatName)
{
    std::vector<AudioCaptureDevice> system{{L"Mikrofon", L"", L"usb1"}, {L"Linka", L"", L""},
                                           {L"Mikrofon", L"", L"usb2"}, {L"Mikrofon", L"", L"usb3"},
                                           {L"Zvuk #2", L"", L""},      {L"mic", L"", L""},
                                           {L"Mic", L"", L""}};
    const std::pair<AudioCaptureDevice, int> pripady[] = {
        {{L"Mikrofon"}, 0},     {{L"Mikrofon #2"}, 2},  {{L"Mikrofon #3"}, 3},   {{L"Mikrofon #4"}, -1},
        {{L"MIKROFON #2"}, 2},  {{L"linka"}, 1},        {{L"Linka #2"}, -1},     {{L"Mikrofon #"}, -1},
        {{L"Mikrofon #02"}, -1}, {{L""}, -1},           {{L"Odpojené"}, -1},     {{L"Zvuk #2"}, 4},
        {{L"Mic"}, 6},          {{L"MIC"}, 5},          {{L"Mikrofon", L"", L"USB2"}, 2},
        {{L"Mikrofon #2", L"", L"usb9"}, 2},
    };
    for (const auto& [hledane, index] : pripady)
        EXPECT_EQ(ChooseCaptureDevice(system, hledane), index) << std::string(hledane.friendlyName.begin(),
                                                                               hledane.friendlyName.end());
    // The list numbers what the system enumerates, and binding finds it again.
    auto seznam = Seznam(system);
    for (int i = 0; i < seznam.Count(); ++i) {
        int j = ChooseCaptureDevice(system, {seznam.At(i).friendlyName, L"", L""});
        ASSERT_GE(j, 0) << i;
        EXPECT_EQ(system[static_cast<size_t>(j)].devicePath, seznam.At(i).devicePath) << i;
    }
}

// The run's sound server offers at least its virtual microphone. (The recorder's tests bind no name and an
// unknown one.)
TEST(VazbaZarizeni, EnumeratesAfreshAndKeepsAFilterHeld)
{
    ComScope com;
    ComPtr<IBaseFilter> filtr;
    AudioCaptureDeviceList seznam;
    seznam.Add({L"zbytek"});
    ASSERT_EQ(seznam.Enumerate(), S_OK);
    ASSERT_GT(seznam.Count(), 0) << "no audio input device: did the run's PulseAudio server start?";
    for (int i = 0; i < seznam.Count(); ++i)
        EXPECT_NE(seznam.At(i).friendlyName, L"zbytek") << "Enumerate kept what the list held";
    ASSERT_EQ(BindCaptureDevice(seznam.At(0), filtr), S_OK);
    ASSERT_TRUE(filtr);
    IBaseFilter* drive = filtr.Get();
    EXPECT_EQ(BindCaptureDevice(seznam.At(0), filtr), S_FALSE);
    EXPECT_EQ(filtr.Get(), drive);
}

TEST(ComboZarizeni, ShowsTheListAndSelectsTheCurrentDevice)
{
    std::unique_ptr<HWND__, decltype(&DestroyWindow)> okno(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr),
        &DestroyWindow);
    HWND rodic = okno.get();
    ASSERT_TRUE(rodic) << "no window: Wine needs an X display (scripts/test gives one)";
    auto seznam = Seznam({{L"Mikrofon", L"d1", L"p1"}, {L"Linka"}, {L"Mikrofon", L"d2", L"p2"}, {L"Zvuk"}});
    HWND combo = nullptr;
    {
        ComboBoxZarizeniZvuk cb;
        ASSERT_EQ(cb.Create(rodic, RECT{0, 0, 220, 600}, 1037), S_OK);
        combo = cb.Handle();
        EXPECT_EQ(tonbar::test::TridaOkna(combo), L"RComboBoxAudio");
        EXPECT_EQ(GetDlgCtrlID(combo), 1037);
        EXPECT_EQ(GetWindowLongW(combo, GWL_STYLE) & 0x50000003, 0x50000003);
        AudioCaptureDevice vybrane;
        EXPECT_EQ(cb.GetSelected(vybrane), S_FALSE);  // no list yet
        cb.SetList(&seznam);
        cb.Fill({L"mikrofon #2"});
        EXPECT_EQ(tonbar::test::Polozky(rodic, 1037, true),
                  (Jmena_t{L"Linka", L"Mikrofon", L"Mikrofon #2", L"Zvuk"}));
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
        ASSERT_EQ(cb.GetSelected(vybrane), S_OK);
        EXPECT_EQ(std::tie(vybrane.friendlyName, vybrane.description, vybrane.devicePath),
                  std::make_tuple(L"Mikrofon #2", L"d2", L"p2"));
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
