#include "media/profiles/ProfileCatalogue.h"

#include <gtest/gtest.h>

#include <set>

using namespace mirvak::media;

namespace {

// The offered profiles' GUIDs, in the order the program offers them.
const Guid kExpected[7] = {
    {0x7EA3126D, 0xE1BA, 0x4716, {0x89, 0xAF, 0xF6, 0x5C, 0xEE, 0x0C, 0x0C, 0x67}},
    {0x7E4CAB5C, 0x35DC, 0x45BB, {0xA7, 0xC0, 0x19, 0xB2, 0x80, 0x70, 0xD0, 0xCC}},
    {0x60907F9F, 0xB352, 0x47E5, {0xB2, 0x10, 0x0E, 0xF1, 0xF4, 0x7E, 0x9F, 0x9D}},
    {0x5EE06BE5, 0x492B, 0x480A, {0x8A, 0x8F, 0x12, 0xF3, 0x73, 0xEC, 0xF9, 0xD4}},
    {0x09BB5BC4, 0x3176, 0x457F, {0x8D, 0xD6, 0x3C, 0xD9, 0x19, 0x12, 0x3E, 0x2D}},
    {0x1FC81930, 0x61F2, 0x436F, {0x9D, 0x33, 0x34, 0x9F, 0x2A, 0x1C, 0x0F, 0x10}},
    {0x407B9450, 0x8BDC, 0x4EE5, {0x88, 0xB8, 0x6F, 0x52, 0x7B, 0xD9, 0x41, 0xF2}},
};

} // namespace

TEST(ProfileCatalogue, OffersTheSevenProfilesInOrder) {
    const auto& all = SystemAudioProfiles();
    std::set<std::u16string> names;
    uint32_t previousRate = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(all[i].id, kExpected[i]);
        EXPECT_EQ(all[i].name.rfind(u"Windows Media Audio 8 for ", 0), 0u);
        EXPECT_FALSE(all[i].description.empty());
        EXPECT_GE(all[i].bitRate, previousRate);
        previousRate = all[i].bitRate;
        names.insert(all[i].name);
    }
    EXPECT_EQ(names.size(), 7u);
    EXPECT_EQ(all[0].name, u"Windows Media Audio 8 for Dial-up Modem (Mono, 28.8 Kbps)");
    EXPECT_EQ(all[0].channels, 1);
    EXPECT_EQ(all[6].name, u"Windows Media Audio 8 for ISDN (Better than CD quality, 128 Kbps)");
    EXPECT_EQ(all[6].bitRate, 128000u);
    EXPECT_EQ(all[6].sampleRate, 44100u);
    EXPECT_EQ(all[6].channels, 2);
}

TEST(ProfileCatalogue, FindsByExactGuidOnly) {
    for (const Guid& g : kExpected) {
        const AudioProfile* p = FindSystemAudioProfile(g);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->id, g);
    }
    EXPECT_EQ(FindSystemAudioProfile(kExpected[3]), &SystemAudioProfiles()[3]);

    Guid nearMiss = kExpected[6];
    nearMiss.data4[7] ^= 1;
    EXPECT_EQ(FindSystemAudioProfile(nearMiss), nullptr);
    EXPECT_EQ(FindSystemAudioProfile(Guid{}), nullptr);
}
