// The seven Windows Media Audio 8 system audio profiles, as the built-in
// layer offers them when the system has none. Names and descriptions are the
// system's English ones; rate and channels are what each profile encodes.
#include "media/profiles/ProfileCatalogue.h"

namespace mirvak::media {

namespace {

std::array<AudioProfile, 7> MakeCatalogue() {
    const std::u16string radio = u"Use this profile for radio and music content (audio only).";
    const std::u16string fast =
        u"Use this profile for target audiences with high speed Internet or LAN connections.";
    return {{
        {{0x7EA3126D, 0xE1BA, 0x4716, {0x89, 0xAF, 0xF6, 0x5C, 0xEE, 0x0C, 0x0C, 0x67}},
         u"Windows Media Audio 8 for Dial-up Modem (Mono, 28.8 Kbps)", radio, 20000, 22050, 1},
        {{0x7E4CAB5C, 0x35DC, 0x45BB, {0xA7, 0xC0, 0x19, 0xB2, 0x80, 0x70, 0xD0, 0xCC}},
         u"Windows Media Audio 8 for Dial-up Modem (FM Radio Stereo, 28.8 Kbps)", radio, 20000,
         22050, 2},
        {{0x60907F9F, 0xB352, 0x47E5, {0xB2, 0x10, 0x0E, 0xF1, 0xF4, 0x7E, 0x9F, 0x9D}},
         u"Windows Media Audio 8 for Dial-up Modem (32 Kbps)", radio, 32000, 32000, 2},
        {{0x5EE06BE5, 0x492B, 0x480A, {0x8A, 0x8F, 0x12, 0xF3, 0x73, 0xEC, 0xF9, 0xD4}},
         u"Windows Media Audio 8 for Dial-up Modem (Near CD quality, 48 Kbps)",
         u"Use for radio, music, and general purpose audio content.", 48000, 44100, 2},
        {{0x09BB5BC4, 0x3176, 0x457F, {0x8D, 0xD6, 0x3C, 0xD9, 0x19, 0x12, 0x3E, 0x2D}},
         u"Windows Media Audio 8 for Dial-up Modem (CD quality, 64 Kbps)", fast, 64000, 44100, 2},
        {{0x1FC81930, 0x61F2, 0x436F, {0x9D, 0x33, 0x34, 0x9F, 0x2A, 0x1C, 0x0F, 0x10}},
         u"Windows Media Audio 8 for ISDN (Better than CD quality, 96 Kbps)", fast, 96000, 44100, 2},
        {{0x407B9450, 0x8BDC, 0x4EE5, {0x88, 0xB8, 0x6F, 0x52, 0x7B, 0xD9, 0x41, 0xF2}},
         u"Windows Media Audio 8 for ISDN (Better than CD quality, 128 Kbps)", fast, 128000, 44100,
         2},
    }};
}

} // namespace

const std::array<AudioProfile, 7>& SystemAudioProfiles() {
    static const std::array<AudioProfile, 7> catalogue = MakeCatalogue();
    return catalogue;
}

const AudioProfile* FindSystemAudioProfile(const Guid& id) {
    for (const AudioProfile& p : SystemAudioProfiles()) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

} // namespace mirvak::media
