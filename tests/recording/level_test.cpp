// The level the status bar shows while recording and the silence warning, fed with peaks every 100 ms as the
// level meter posts them.
#include "recording/HlidaniUrovne.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(UrovenZaznamu, WarnsOncePerSilentStretch)
{
    const struct {
        const char* nazev;
        uint32_t sekundyTicha;
        std::vector<std::pair<uint32_t, uint32_t>> useky;  // how many ms, the peak posted every 100 ms meanwhile
        std::vector<uint64_t> varovani;                     // ms after the start
    } prubehy[] = {
        {"digital silence", 5, {{20000, 0}}, {5000}},
        {"silence, speech, silence", 5, {{7000, 0}, {1000, 9000}, {8000, 0}}, {5000, 13000}},
        {"noise at -55 dB is silence", 5, {{6000, 58}}, {5000}},
        {"just above -50 dB is sound", 5, {{6000, 104}}, {}},
        {"a short sound restarts the count", 5, {{4000, 0}, {100, 20000}, {4900, 0}, {1000, 0}}, {9100}},
        {"0 turns the warning off", 0, {{20000, 0}}, {}},
        {"30 s by default", 30, {{40000, 0}}, {30000}},
    };
    for (const auto& p : prubehy) {
        HlidaniUrovne h;
        const uint64_t start = 1000000;
        h.Zacit(p.sekundyTicha, start);
        std::vector<uint64_t> varovani;
        uint64_t t = 0;
        for (const auto& [ms, spicka] : p.useky) {
            for (uint32_t i = 0; i < ms / 100; ++i) {
                t += 100;
                if (h.Pridat(spicka, start + t).varovat)
                    varovani.push_back(t);
            }
        }
        EXPECT_EQ(varovani, p.varovani) << p.nazev;
    }
}

TEST(UrovenZaznamu, TextInWholeDecibelsOrTicho)
{
    const struct {
        uint32_t spicka;
        const wchar_t* text;
    } pripady[] = {
        {32768, L"0 dB"},           {32767, L"0 dB"},          {16384, L"\x2212" L"6 dB"},
        {4125, L"\x2212" L"18 dB"}, {33, L"\x2212" L"60 dB"},  {32, L"ticho"},
        {1, L"ticho"},              {0, L"ticho"},
    };
    for (const auto& p : pripady) {
        HlidaniUrovne h;
        h.Zacit(30, 0);
        EXPECT_EQ(TextUrovne(h.Pridat(p.spicka, 100)), p.text) << p.spicka;
    }
    // Low noise reads as a level until its stretch was warned about.
    HlidaniUrovne h;
    h.Zacit(1, 0);
    EXPECT_EQ(TextUrovne(h.Pridat(58, 500)), L"\x2212" L"55 dB");
    EXPECT_TRUE(h.Pridat(58, 1000).varovat);
    EXPECT_EQ(TextUrovne(h.Pridat(58, 1100)), L"ticho");
    EXPECT_EQ(TextUrovne(h.Pridat(9000, 1200)), L"\x2212" L"11 dB");
}

} // namespace
