// Windows Media profiles for systems whose Windows Media runtime cannot give
// them (no wmvcore.dll, or a profile manager that answers E_NOTIMPL, as
// Wine's does). The built-in objects implement the part of the profile
// interfaces the recorder and the ASF writer filter use, over the portable
// profile catalogue and .prx reader:
//   IWMProfileManager: LoadProfileByID (the seven system audio profiles),
//                      LoadProfileByData (.prx text);
//   IWMProfile/IWMProfile2: GetVersion, GetName, GetDescription (two-call
//                      convention, lengths count the terminator),
//                      GetStreamCount (1), GetStream(0), GetStreamByNumber(1),
//                      GetMutualExclusionCount (0), GetProfileID;
//   IWMStreamConfig:   GetStreamType (audio), GetStreamNumber (1), GetBitrate;
//   IWMMediaProps:     GetType, GetMediaType (two-call, the WAVEFORMATEX
//                      follows the WM_MEDIA_TYPE in the caller's buffer).
// Everything else answers E_NOTIMPL.
#pragma once

#include "media/profiles/ProfileCatalogue.h"

#include <windows.h>
#include <wmsdkidl.h>

namespace mirvak::media {

// The Windows Media Audio 8 system profile IDs (wmsysprf.h, which MinGW lacks).
inline constexpr GUID WMProfile_V80_288MonoAudio = {
    0x7EA3126D, 0xE1BA, 0x4716, {0x89, 0xAF, 0xF6, 0x5C, 0xEE, 0x0C, 0x0C, 0x67}};
inline constexpr GUID WMProfile_V80_288StereoAudio = {
    0x7E4CAB5C, 0x35DC, 0x45BB, {0xA7, 0xC0, 0x19, 0xB2, 0x80, 0x70, 0xD0, 0xCC}};
inline constexpr GUID WMProfile_V80_32StereoAudio = {
    0x60907F9F, 0xB352, 0x47E5, {0xB2, 0x10, 0x0E, 0xF1, 0xF4, 0x7E, 0x9F, 0x9D}};
inline constexpr GUID WMProfile_V80_48StereoAudio = {
    0x5EE06BE5, 0x492B, 0x480A, {0x8A, 0x8F, 0x12, 0xF3, 0x73, 0xEC, 0xF9, 0xD4}};
inline constexpr GUID WMProfile_V80_64StereoAudio = {
    0x09BB5BC4, 0x3176, 0x457F, {0x8D, 0xD6, 0x3C, 0xD9, 0x19, 0x12, 0x3E, 0x2D}};
inline constexpr GUID WMProfile_V80_96StereoAudio = {
    0x1FC81930, 0x61F2, 0x436F, {0x9D, 0x33, 0x34, 0x9F, 0x2A, 0x1C, 0x0F, 0x10}};
inline constexpr GUID WMProfile_V80_128StereoAudio = {
    0x407B9450, 0x8BDC, 0x4EE5, {0x88, 0xB8, 0x6F, 0x52, 0x7B, 0xD9, 0x41, 0xF2}};

// WMMEDIASUBTYPE_WMAudioV8: Windows Media Audio version 2 (format tag 0x0161).
inline constexpr GUID kWmaV2Subtype = {
    0x00000161, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// The Windows Media "buffer too small" result of the two-call getters.
inline constexpr HRESULT kAsfBufferTooSmall = static_cast<HRESULT>(0xC00D07D1u);

inline GUID ToGuid(const Guid& g) {
    GUID r{g.data1, g.data2, g.data3, {}};
    for (int i = 0; i < 8; ++i) r.Data4[i] = g.data4[i];
    return r;
}

inline Guid FromGuid(const GUID& g) {
    Guid r{static_cast<uint32_t>(g.Data1), g.Data2, g.Data3, {}};
    for (int i = 0; i < 8; ++i) r.data4[i] = g.Data4[i];
    return r;
}

// The profile manager the program uses: the system's when its
// WMCreateProfileManager exists and can load the default profile
// (WMProfile_V80_128StereoAudio), otherwise the built-in one.
HRESULT CreateProfileManager(IWMProfileManager** out);

// The built-in manager, regardless of what the system offers.
HRESULT CreateBuiltInProfileManager(IWMProfileManager** out);

// A built-in profile (IWMProfile2) for one audio profile.
HRESULT CreateBuiltInProfile(const AudioProfile& profile, IWMProfile** out);

// Built-in profile objects alive in this process (reference-counting checks).
long BuiltInProfileObjectsAlive();

} // namespace mirvak::media
