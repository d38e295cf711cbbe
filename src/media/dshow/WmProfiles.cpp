#include "media/dshow/WmProfiles.h"

#include "media/wma/WmaEncoder.h"

#include <mmreg.h>
#include <wrl/client.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace mirvak::media {

using Microsoft::WRL::ComPtr;

namespace {

std::atomic<long> g_alive{0};

// WMMEDIATYPE_Audio (= MEDIATYPE_Audio) and WMFORMAT_WaveFormatEx
// (= FORMAT_WaveFormatEx), spelled out so no import library is needed.
constexpr GUID kAudioMajor = {
    0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kWaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// Reference counting shared by the built-in objects; counts them alive.
class RefCounted {
public:
    RefCounted() { ++g_alive; }
    virtual ~RefCounted() { --g_alive; }
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

protected:
    ULONG DoAddRef() { return ++refs_; }
    ULONG DoRelease() {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> refs_{1};
};

template <class T>
HRESULT Answer(T* self, void** out) {
    self->AddRef();
    *out = self;
    return S_OK;
}

// The two-call string convention of the profile getters: no buffer gives
// the length with the terminator; a short buffer gives that length and
// ASF_E_BUFFERTOOSMALL.
template <class Count>
HRESULT CopyName(const std::u16string& text, WCHAR* buffer, Count* count) {
    if (!count) return E_INVALIDARG;
    size_t needed = text.size() + 1;
    if (needed > static_cast<size_t>(static_cast<Count>(~Count{0}))) return E_UNEXPECTED;
    Count given = *count;
    *count = static_cast<Count>(needed);
    if (!buffer) return S_OK;
    if (given < needed) return kAsfBufferTooSmall;
    std::memcpy(buffer, text.data(), text.size() * sizeof(WCHAR));
    buffer[text.size()] = 0;
    return S_OK;
}

// The wave format the built-in encoder produces for this profile; should
// the encoder refuse it, a plain format with the profile's numbers.
AudioStreamFormat WaveFormatFor(const AudioProfile& p) {
    WmaEncoder encoder;
    if (encoder.Init(p.sampleRate, p.channels, p.bitRate) == kOk) return encoder.Format();
    AudioStreamFormat f;
    f.formatTag = 0x0161;
    f.channels = p.channels;
    f.sampleRate = p.sampleRate;
    f.avgBytesPerSec = p.bitRate / 8;
    uint64_t align = p.sampleRate ? uint64_t(f.avgBytesPerSec) * 2048 / p.sampleRate : 1;
    f.blockAlign = static_cast<uint16_t>(align == 0 ? 1 : (align > 0xFFFF ? 0xFFFF : align));
    f.bitsPerSample = 16;
    return f;
}

class BuiltInStream final : public RefCounted, public IWMStreamConfig, public IWMMediaProps {
public:
    BuiltInStream(uint32_t bitRate, std::vector<uint8_t> mediaType)
        : bitRate_(bitRate), mediaType_(std::move(mediaType)) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IWMStreamConfig))
            return Answer(static_cast<IWMStreamConfig*>(this), out);
        if (riid == __uuidof(IWMMediaProps)) return Answer(static_cast<IWMMediaProps*>(this), out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return DoAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return DoRelease(); }

    // IWMStreamConfig
    HRESULT STDMETHODCALLTYPE GetStreamType(GUID* type) override {
        if (!type) return E_POINTER;
        *type = kAudioMajor;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* number) override {
        if (!number) return E_POINTER;
        *number = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR*, WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR*, WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBitrate(DWORD* bitRate) override {
        if (!bitRate) return E_POINTER;
        *bitRate = bitRate_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBitrate(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD) override { return E_NOTIMPL; }

    // IWMMediaProps
    HRESULT STDMETHODCALLTYPE GetType(GUID* type) override { return GetStreamType(type); }
    HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
        if (!size) return E_INVALIDARG;
        DWORD given = *size;
        *size = static_cast<DWORD>(mediaType_.size());
        if (!type) return S_OK;
        if (given < mediaType_.size()) return kAsfBufferTooSmall;
        std::memcpy(type, mediaType_.data(), mediaType_.size());
        // The format block sits right behind the structure in the caller's buffer.
        type->pbFormat = reinterpret_cast<BYTE*>(type) + sizeof(WM_MEDIA_TYPE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE*) override { return E_NOTIMPL; }

private:
    uint32_t bitRate_;
    std::vector<uint8_t> mediaType_;  // WM_MEDIA_TYPE + WAVEFORMATEX + codec bytes; pbFormat unset
};

class BuiltInProfile final : public RefCounted, public IWMProfile2 {
public:
    BuiltInProfile(AudioProfile profile, std::vector<uint8_t> mediaType)
        : profile_(std::move(profile)), mediaType_(std::move(mediaType)) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IWMProfile) ||
            riid == __uuidof(IWMProfile2))
            return Answer(static_cast<IWMProfile2*>(this), out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return DoAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return DoRelease(); }

    // IWMProfile
    HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION* version) override {
        if (!version) return E_POINTER;
        *version = WMT_VER_8_0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetName(WCHAR* name, DWORD* count) override {
        return CopyName(profile_.name, name, count);
    }
    HRESULT STDMETHODCALLTYPE SetName(const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(WCHAR* text, DWORD* count) override {
        return CopyName(profile_.description, text, count);
    }
    HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStream(DWORD index, IWMStreamConfig** config) override {
        if (!config) return E_POINTER;
        *config = nullptr;
        return index == 0 ? NewStream(config) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD number, IWMStreamConfig** config) override {
        if (!config) return E_POINTER;
        *config = nullptr;
        return number == 1 ? NewStream(config) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID, IWMStreamConfig**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD* count) override {
        if (!count) return E_POINTER;
        *count = 0;  // one stream: nothing excludes anything
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD, IWMMutualExclusion**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion**) override { return E_NOTIMPL; }

    // IWMProfile2
    HRESULT STDMETHODCALLTYPE GetProfileID(GUID* id) override {
        if (!id) return E_POINTER;
        *id = ToGuid(profile_.id);  // GUID_NULL for a profile read from .prx text
        return S_OK;
    }

private:
    HRESULT NewStream(IWMStreamConfig** config) {
        try {
            *config = new BuiltInStream(profile_.bitRate, mediaType_);
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    AudioProfile profile_;
    std::vector<uint8_t> mediaType_;
};

class BuiltInManager final : public RefCounted, public IWMProfileManager {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IWMProfileManager))
            return Answer(static_cast<IWMProfileManager*>(this), out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return DoAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return DoRelease(); }

    HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION, IWMProfile**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID id, IWMProfile** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        const AudioProfile* p = FindSystemAudioProfile(FromGuid(id));
        if (!p) return E_INVALIDARG;
        return CreateBuiltInProfile(*p, out);
    }
    HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR* text, IWMProfile** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!text) return E_INVALIDARG;
        try {
            AudioProfile p;
            HResult hr = ParsePrxProfile(reinterpret_cast<const char16_t*>(text), wcslen(text), &p);
            if (Failed(hr)) return hr;
            return CreateBuiltInProfile(p, out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile*, WCHAR*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD, IWMProfile**) override { return E_NOTIMPL; }
};

std::vector<uint8_t> BuildMediaType(const AudioStreamFormat& f) {
    const size_t extra = f.extra.size() > 0xFFFF ? 0xFFFF : f.extra.size();
    std::vector<uint8_t> buffer(sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX) + extra);
    WM_MEDIA_TYPE mt{};
    mt.majortype = kAudioMajor;
    mt.subtype = kWmaV2Subtype;
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = f.blockAlign;
    mt.formattype = kWaveFormatEx;
    mt.pUnk = nullptr;
    mt.cbFormat = static_cast<ULONG>(sizeof(WAVEFORMATEX) + extra);
    mt.pbFormat = nullptr;
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = f.formatTag;
    wfx.nChannels = f.channels;
    wfx.nSamplesPerSec = f.sampleRate;
    wfx.nAvgBytesPerSec = f.avgBytesPerSec;
    wfx.nBlockAlign = f.blockAlign;
    wfx.wBitsPerSample = f.bitsPerSample;
    wfx.cbSize = static_cast<WORD>(extra);
    std::memcpy(buffer.data(), &mt, sizeof mt);
    std::memcpy(buffer.data() + sizeof mt, &wfx, sizeof wfx);
    if (extra) std::memcpy(buffer.data() + sizeof mt + sizeof wfx, f.extra.data(), extra);
    return buffer;
}

struct LibraryFree {
    void operator()(HMODULE m) const {
        if (m) FreeLibrary(m);
    }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree>;

} // namespace

HRESULT CreateBuiltInProfile(const AudioProfile& profile, IWMProfile** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        *out = new BuiltInProfile(profile, BuildMediaType(WaveFormatFor(profile)));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CreateBuiltInProfileManager(IWMProfileManager** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        *out = new BuiltInManager();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CreateProfileManager(IWMProfileManager** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    // Whether the system has the profiles does not change while we run: once
    // it has been found without them, the library is not loaded again.
    static std::atomic<bool> systemLacksProfiles{false};
    UniqueLibrary library(systemLacksProfiles ? nullptr : LoadLibraryW(L"wmvcore.dll"));
    if (library) {
        using CreateFn = HRESULT(WINAPI*)(IWMProfileManager**);
        auto create = reinterpret_cast<CreateFn>(
            reinterpret_cast<void*>(GetProcAddress(library.get(), "WMCreateProfileManager")));
        ComPtr<IWMProfileManager> system;
        if (create && SUCCEEDED(create(&system)) && system) {
            ComPtr<IWMProfile> probe;
            if (SUCCEEDED(system->LoadProfileByID(WMProfile_V80_128StereoAudio, &probe)) && probe) {
                // The system's objects live in the library: it stays loaded
                // for the life of the process.
                library.release();
                *out = system.Detach();
                return S_OK;
            }
        }
        // `system` and `probe` are released here, before the library is freed.
        systemLacksProfiles = true;
    }
    return CreateBuiltInProfileManager(out);
}

long BuiltInProfileObjectsAlive() { return g_alive.load(); }

} // namespace mirvak::media
