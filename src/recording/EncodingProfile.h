// The Windows Media profile a recording is encoded with: a system profile
// loaded by its GUID, or a profile file (.prx) loaded whole.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

// The facts of a video stream read from its WM_MEDIA_TYPE buffer.
struct VideoStreamFacts {
    int32_t width = -1, height = -1;
    uint32_t bitrate = 0;
    uint32_t frameRate = 0;  // 0 when the time per frame is 0
};

// Reads a video stream's header from the buffer IWMMediaProps::GetMediaType
// filled. False, with nothing read, unless the major type is video, the
// format type is FORMAT_VideoInfo and the format block (pointer and size)
// lies inside the buffer and holds a whole VIDEOINFOHEADER.
bool ReadVideoStreamFacts(const std::vector<BYTE>& mediaType, VideoStreamFacts& facts);

class EncodingProfile {
public:
    // Creates the profile manager (the system's, else the built-in one);
    // a failure is thrown as a long.
    EncodingProfile();

    HRESULT LoadById(const GUID& profileGuid);
    // The whole file as UTF-16 text. E_INVALIDARG for a path that is missing,
    // a folder, an empty file or a file above kMaxPrxBytes.
    HRESULT LoadFromFile(const wchar_t* prxPath);
    void Clear();
    HRESULT Describe();

    IWMProfile* Profile() const { return profile_.Get(); }
    IWMProfile2* Profile2() const { return profile2_.Get(); }
    IWMProfileManager* Manager() const { return manager_.Get(); }

    static constexpr uint64_t kMaxPrxBytes = 1 << 20;

    std::wstring name;
    std::wstring description;
    uint32_t videoBitrate = 0;
    uint32_t audioBitrate = 0;
    uint32_t frameRate = 0;
    int32_t width = -1;
    int32_t height = -1;
    bool hasVideo = false;
    bool hasAudio = false;
    uint32_t streamCount = 0;
    std::vector<BYTE> videoMediaType;

private:
    Microsoft::WRL::ComPtr<IWMProfile> profile_;
    Microsoft::WRL::ComPtr<IWMProfile2> profile2_;
    Microsoft::WRL::ComPtr<IWMProfileManager> manager_;
};
