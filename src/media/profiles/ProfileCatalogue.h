// The encoding profiles the built-in media layer can record with: the seven
// Windows Media Audio 8 system audio profiles, and profiles read from .prx
// files (the profile's XML text in UTF-16).
#pragma once

#include "media/MediaTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace mirvak::media {

// Binary layout of a Windows GUID, comparable without <windows.h>.
struct Guid {
    uint32_t data1;
    uint16_t data2, data3;
    uint8_t data4[8];
    bool operator==(const Guid&) const = default;
};

// An audio encoding the built-in encoder can produce.
struct AudioProfile {
    Guid id{};                 // system profile GUID; zero for a .prx profile
    std::u16string name;       // as the system names it
    std::u16string description;
    uint32_t bitRate = 0;      // bits per second
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
};

// The seven system profiles, in the order the program offers them.
const std::array<AudioProfile, 7>& SystemAudioProfiles();

// The system profile with this GUID, or nullptr.
const AudioProfile* FindSystemAudioProfile(const Guid& id);

// Reads a .prx profile: `text` is the profile's XML (UTF-16, with or without
// a byte-order mark, terminator optional). Takes the audio stream's bit rate
// and wave format. Returns kOk and fills `out`, or a failure: kEInvalidData
// for text that is not a profile, kEInvalidArg for a profile the built-in
// encoder cannot produce (video only, another codec, unsupported rate).
HResult ParsePrxProfile(const char16_t* text, size_t length, AudioProfile* out);

} // namespace mirvak::media
