#include "recording/EncodingProfile.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "media/dshow/WmProfiles.h"

#include <dshow.h>

#include <algorithm>
#include <cstring>

using Microsoft::WRL::ComPtr;

namespace {

// The two-call string getters of IWMProfile: length (terminator included), then text.
template <typename Getter>
HRESULT CistRetezec(Getter getter, std::wstring& out)
{
    DWORD delka = 0;
    HRESULT hr = getter(nullptr, &delka);
    if (FAILED(hr))
        return hr;
    std::vector<WCHAR> buffer(delka + 1, L'\0');
    hr = getter(buffer.data(), &delka);
    if (FAILED(hr))
        return hr;
    out.assign(buffer.data());
    return S_OK;
}

} // namespace

bool ReadVideoStreamFacts(const std::vector<BYTE>& mediaType, VideoStreamFacts& facts)
{
    if (mediaType.size() < sizeof(WM_MEDIA_TYPE))
        return false;
    WM_MEDIA_TYPE typ;
    memcpy(&typ, mediaType.data(), sizeof typ);
    if (typ.majortype != MEDIATYPE_Video || typ.formattype != FORMAT_VideoInfo || !typ.pbFormat ||
        typ.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    // The format block follows the structure inside the same buffer.
    const BYTE* zacatek = mediaType.data() + sizeof(WM_MEDIA_TYPE);
    const BYTE* konec = mediaType.data() + mediaType.size();
    const BYTE* format = typ.pbFormat;
    if (format < zacatek || format > konec || static_cast<size_t>(konec - format) < typ.cbFormat)
        return false;
    VIDEOINFOHEADER hlavicka;
    memcpy(&hlavicka, format, sizeof hlavicka);
    facts.width = hlavicka.bmiHeader.biWidth;
    facts.height = hlavicka.bmiHeader.biHeight;
    facts.bitrate = hlavicka.dwBitRate;
    facts.frameRate = hlavicka.AvgTimePerFrame > 0 ? static_cast<uint32_t>(10000000LL / hlavicka.AvgTimePerFrame) : 0;
    return true;
}

EncodingProfile::EncodingProfile()
{
    HRESULT hr = mirvak::media::CreateProfileManager(&manager_);
    if (FAILED(hr))
        VyhoditKod(hr);
}

void EncodingProfile::Clear()
{
    profile2_.Reset();
    profile_.Reset();
    videoBitrate = audioBitrate = frameRate = 0;
    width = height = -1;
    hasVideo = hasAudio = false;
    streamCount = 0;
    description.clear();
    videoMediaType.clear();
    videoMediaType.shrink_to_fit();
}

HRESULT EncodingProfile::LoadById(const GUID& profileGuid)
{
    Clear();
    if (!manager_)
        return E_NOINTERFACE;
    HRESULT hr = manager_->LoadProfileByID(profileGuid, &profile_);
    if (FAILED(hr)) {
        Clear();
        return hr;
    }
    hr = profile_.As(&profile2_);
    if (FAILED(hr)) {
        Clear();
        return hr;
    }
    Describe();
    return S_OK;
}

HRESULT EncodingProfile::LoadFromFile(const wchar_t* prxPath)
{
    if (!prxPath || !*prxPath)
        return E_INVALIDARG;
    DWORD atributy = GetFileAttributesW(prxPath);
    if (atributy == INVALID_FILE_ATTRIBUTES || (atributy & FILE_ATTRIBUTE_DIRECTORY))
        return E_INVALIDARG;
    Clear();
    if (!manager_)
        return E_NOINTERFACE;

    std::vector<WCHAR> text;
    {
        mirvak::winapi::FileHandle soubor(
            CreateFileW(prxPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!soubor)
            return KodPosledniChyby();
        LARGE_INTEGER velikost{};
        if (!GetFileSizeEx(soubor.Get(), &velikost))
            return KodPosledniChyby();
        if (velikost.QuadPart <= 0 || static_cast<uint64_t>(velikost.QuadPart) > kMaxPrxBytes)
            return E_INVALIDARG;
        const DWORD bajtu = static_cast<DWORD>(velikost.QuadPart);
        // Whole characters for an odd size too, and at least one zero after the text.
        text.assign(bajtu / sizeof(WCHAR) + 2, L'\0');
        DWORD precteno = 0;
        if (!ReadFile(soubor.Get(), text.data(), bajtu, &precteno, nullptr))
            return KodPosledniChyby();
        if (precteno == 0)
            return E_INVALIDARG;
    }

    HRESULT hr = manager_->LoadProfileByData(text.data(), &profile_);
    if (SUCCEEDED(hr))
        hr = profile_.As(&profile2_);
    if (SUCCEEDED(hr))
        hr = Describe();
    if (FAILED(hr)) {
        Clear();
        return hr;
    }
    return S_OK;
}

HRESULT EncodingProfile::Describe()
{
    if (!profile_)
        return E_NOINTERFACE;
    IWMProfile* p = profile_.Get();
    HRESULT hr = CistRetezec([p](WCHAR* b, DWORD* n) { return p->GetName(b, n); }, name);
    if (FAILED(hr))
        return hr;
    hr = CistRetezec([p](WCHAR* b, DWORD* n) { return p->GetDescription(b, n); }, description);
    if (FAILED(hr))
        return hr;
    DWORD pocet = 0;
    hr = p->GetStreamCount(&pocet);
    if (FAILED(hr))
        return hr;
    streamCount = pocet;

    for (DWORD n = 1; n <= pocet; ++n) {
        ComPtr<IWMStreamConfig> proud;
        if (FAILED(p->GetStreamByNumber(static_cast<WORD>(n), &proud)) || !proud)
            continue;
        GUID typ = GUID_NULL;
        if (FAILED(proud->GetStreamType(&typ)))
            continue;
        if (typ == MEDIATYPE_Audio) {
            hasAudio = true;
            DWORD bitrate = 0;
            if (SUCCEEDED(proud->GetBitrate(&bitrate)))
                audioBitrate = bitrate;
        } else if (typ == MEDIATYPE_Video) {
            hasVideo = true;
            ComPtr<IWMMediaProps> vlastnosti;
            if (FAILED(proud.As(&vlastnosti)))
                continue;
            DWORD velikost = 0;
            if (FAILED(vlastnosti->GetMediaType(nullptr, &velikost)) || velikost < sizeof(WM_MEDIA_TYPE))
                continue;
            std::vector<BYTE> buffer(velikost, 0);
            if (FAILED(vlastnosti->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data()), &velikost)))
                continue;
            buffer.resize(std::min<size_t>(buffer.size(), velikost));
            videoMediaType = std::move(buffer);
            VideoStreamFacts video;
            if (ReadVideoStreamFacts(videoMediaType, video)) {
                width = video.width;
                height = video.height;
                videoBitrate = video.bitrate;
                frameRate = video.frameRate;
            }
        }
    }
    return S_OK;
}
