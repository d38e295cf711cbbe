// Shared pieces of the DirectShow tests: COM per test, a temporary folder,
// an IWMProfile built from stream descriptions, a tone source filter on the
// same base classes as the built-in filters, and readers for ASF headers.
#pragma once

#include "media/dshow/AsfWriterFilter.h"
#include "media/dshow/DShowBase.h"
#include "harness/TestFolder.h"

#include <gtest/gtest.h>
#include <mmreg.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace dshow_test {

using namespace mirvak::direct_show;

using ComScope = tonbar::test::ComScope;
using TempDir = tonbar::test::TestFolder;

inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::vector<uint8_t> ReadShared(const std::wstring& path) {
    std::vector<uint8_t> out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    uint8_t buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.insert(out.end(), buf, buf + got);
    CloseHandle(h);
    return out;
}

// ASF header facts read straight from the bytes.
struct AsfFacts {
    bool header = false;          // starts with the Header Object
    uint64_t fileSizeField = 0;   // File Properties: file size
    uint64_t packets = 0;
    double durationSec = 0;       // play duration minus preroll
};

inline AsfFacts ReadAsfFacts(const std::vector<uint8_t>& f) {
    static const uint8_t kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    static const uint8_t kFileProps[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                           0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    AsfFacts out;
    if (f.size() < 30 || std::memcmp(f.data(), kHeader, 16) != 0) return out;
    out.header = true;
    auto u64 = [&](size_t at) {
        uint64_t v = 0;
        if (at + 8 <= f.size()) std::memcpy(&v, &f[at], 8);
        return v;
    };
    for (size_t at = 30; at + 88 <= f.size(); ++at) {
        if (std::memcmp(&f[at], kFileProps, 16) != 0) continue;
        out.fileSizeField = u64(at + 40);
        out.packets = u64(at + 56);
        uint64_t play = u64(at + 64), preroll = u64(at + 80);
        out.durationSec = play / 1e7 - preroll / 1000.0;
        break;
    }
    return out;
}

// One stream of a TestProfile.
struct StreamSpec {
    GUID type;
    DWORD bitRate;
    DWORD sampleRate;
    WORD channels;
};

// An IWMProfile made of stream descriptions: what the writer reads of a
// profile, answered through the standard interfaces.
class TestStream final : public IWMStreamConfig, public IWMMediaProps {
public:
    explicit TestStream(StreamSpec s, WORD number) : spec_(s), number_(number) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == __uuidof(IWMStreamConfig)) *ppv = static_cast<IWMStreamConfig*>(this);
        else if (riid == __uuidof(IWMMediaProps)) *ppv = static_cast<IWMMediaProps*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++ref_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = --ref_;
        if (!r) delete this;
        return r;
    }
    // IWMStreamConfig
    STDMETHODIMP GetStreamType(GUID* t) override { *t = spec_.type; return S_OK; }
    STDMETHODIMP GetStreamNumber(WORD* n) override { *n = number_; return S_OK; }
    STDMETHODIMP SetStreamNumber(WORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetStreamName(WCHAR*, WORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE) override { return E_NOTIMPL; }
    STDMETHODIMP GetConnectionName(WCHAR*, WORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE) override { return E_NOTIMPL; }
    STDMETHODIMP GetBitrate(DWORD* b) override { *b = spec_.bitRate; return S_OK; }
    STDMETHODIMP SetBitrate(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetBufferWindow(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetBufferWindow(DWORD) override { return E_NOTIMPL; }
    // IWMMediaProps
    STDMETHODIMP GetType(GUID* t) override { *t = spec_.type; return S_OK; }
    STDMETHODIMP GetMediaType(WM_MEDIA_TYPE* mt, DWORD* size) override {
        const DWORD need = sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX);
        if (!mt) {
            *size = need;
            return S_OK;
        }
        if (*size < need) return E_INVALIDARG;
        std::memset(mt, 0, need);
        mt->majortype = spec_.type;
        if (spec_.type == MEDIATYPE_Audio) {
            auto* wf = reinterpret_cast<WAVEFORMATEX*>(mt + 1);
            wf->wFormatTag = 0x0161;
            wf->nChannels = spec_.channels;
            wf->nSamplesPerSec = spec_.sampleRate;
            wf->nAvgBytesPerSec = spec_.bitRate / 8;
            mt->formattype = FORMAT_WaveFormatEx;
            mt->cbFormat = sizeof(WAVEFORMATEX);
            mt->pbFormat = reinterpret_cast<BYTE*>(wf);
        }
        *size = need;
        return S_OK;
    }
    STDMETHODIMP SetMediaType(WM_MEDIA_TYPE*) override { return E_NOTIMPL; }

private:
    std::atomic<ULONG> ref_{1};
    StreamSpec spec_;
    WORD number_;
};

class TestProfile final : public IWMProfile {
public:
    explicit TestProfile(std::vector<StreamSpec> streams) : streams_(std::move(streams)) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == __uuidof(IWMProfile)) {
            *ppv = static_cast<IWMProfile*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++ref_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = --ref_;
        if (!r) delete this;
        return r;
    }
    STDMETHODIMP GetVersion(WMT_VERSION* v) override { *v = WMT_VER_8_0; return S_OK; }
    STDMETHODIMP GetName(WCHAR*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetName(const WCHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDescription(WCHAR*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDescription(const WCHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStreamCount(DWORD* n) override { *n = static_cast<DWORD>(streams_.size()); return S_OK; }
    STDMETHODIMP GetStream(DWORD i, IWMStreamConfig** out) override {
        if (i >= streams_.size()) return E_INVALIDARG;
        *out = new TestStream(streams_[i], static_cast<WORD>(i + 1));
        return S_OK;
    }
    STDMETHODIMP GetStreamByNumber(WORD n, IWMStreamConfig** out) override { return n ? GetStream(n - 1u, out) : E_INVALIDARG; }
    STDMETHODIMP RemoveStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveStreamByNumber(WORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    STDMETHODIMP ReconfigStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    STDMETHODIMP CreateNewStream(REFGUID, IWMStreamConfig**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMutualExclusionCount(DWORD* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetMutualExclusion(DWORD, IWMMutualExclusion**) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
    STDMETHODIMP AddMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
    STDMETHODIMP CreateNewMutualExclusion(IWMMutualExclusion**) override { return E_NOTIMPL; }

private:
    std::atomic<ULONG> ref_{1};
    std::vector<StreamSpec> streams_;
};

inline ComPtr<IWMProfile> MakeProfile(std::vector<StreamSpec> streams) {
    ComPtr<IWMProfile> p;
    p.Attach(new TestProfile(std::move(streams)));
    return p;
}
inline ComPtr<IWMProfile> AudioProfile(DWORD bitRate, DWORD rate, WORD channels) {
    return MakeProfile({{MEDIATYPE_Audio, bitRate, rate, channels}});
}

// Source filter delivering a 440 Hz sine as 16-bit PCM, 100 ms a sample,
// `speed` times faster than real time, from Run until Pause/Stop.
class ToneSource : public BaseFilter {
public:
    ToneSource(DWORD rate, WORD channels, int speed = 5)
        : BaseFilter(GUID_NULL, L"Tone"), pin_(this, rate, channels), rate_(rate), channels_(channels), speed_(speed) {}
    ~ToneSource() override { Halt(); }
    int PinCount() override { return 1; }
    BasePin* PinAt(int i) override { return i == 0 ? &pin_ : nullptr; }
    uint64_t FramesDelivered() const { return frames_; }

protected:
    HRESULT OnActivate() override { return pin_.Active(); }
    HRESULT OnRun(REFERENCE_TIME) override {
        stop_ = false;
        thread_ = std::thread([this] { Loop(); });
        return S_OK;
    }
    HRESULT OnPauseFromRun() override {
        Halt();
        return S_OK;
    }
    HRESULT OnStop() override {
        Halt();
        return pin_.Inactive();
    }

private:
    class Pin : public BaseOutputPin {
    public:
        Pin(BaseFilter* f, DWORD rate, WORD ch) : BaseOutputPin(f, L"Out"), type_(MakePcmType(rate, ch)) {}
    protected:
        HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
            return mt.formattype == type_.Get().formattype && mt.cbFormat == type_.Get().cbFormat &&
                           std::memcmp(mt.pbFormat, type_.Get().pbFormat, mt.cbFormat) == 0
                       ? S_OK
                       : S_FALSE;
        }
        bool GetMediaType(int i, MediaType* out) override {
            if (i != 0) return false;
            *out = type_;
            return true;
        }
        HRESULT DecideBufferSize(IMemAllocator* a, ALLOCATOR_PROPERTIES* p) override {
            const auto* wf = reinterpret_cast<const WAVEFORMATEX*>(type_.Get().pbFormat);
            p->cBuffers = 4;
            p->cbBuffer = static_cast<long>(wf->nAvgBytesPerSec / 10);
            p->cbAlign = 1;
            ALLOCATOR_PROPERTIES actual;
            return a->SetProperties(p, &actual);
        }
        MediaType type_;
    };

    void Halt() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    void Loop() {
        const DWORD frames = rate_ / 10;
        while (!stop_) {
            ComPtr<IMediaSample> s;
            if (FAILED(pin_.GetDeliveryBuffer(&s))) return;
            BYTE* p;
            s->GetPointer(&p);
            auto* pcm = reinterpret_cast<int16_t*>(p);
            for (DWORD i = 0; i < frames; ++i) {
                double v = 12000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * double(frames_ + i) / rate_);
                for (WORD c = 0; c < channels_; ++c) pcm[i * channels_ + c] = static_cast<int16_t>(v);
            }
            s->SetActualDataLength(static_cast<long>(frames * channels_ * 2));
            if (pin_.Deliver(s.Get()) != S_OK) return;
            frames_ += frames;
            Sleep(100 / speed_);
        }
    }

    Pin pin_;
    DWORD rate_;
    WORD channels_;
    int speed_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> frames_{0};
    std::thread thread_;
};

// A filter graph holding a tone source connected to a built-in writer.
struct ToneGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<ToneSource> source;
    ComPtr<IBaseFilter> writer;

    HRESULT Build(DWORD rate, WORD channels, IWMProfile* profile, const std::wstring& file) {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
        if (FAILED(hr)) return hr;
        graph.As(&control);
        source.Attach(new ToneSource(rate, channels));
        hr = CreateAsfWriterFilter(&writer);
        if (FAILED(hr)) return hr;
        ComPtr<IConfigAsfWriter> cfg;
        writer.As(&cfg);
        if (FAILED(hr = cfg->ConfigureFilterUsingProfile(profile))) return hr;
        ComPtr<IFileSinkFilter> sink;
        writer.As(&sink);
        if (FAILED(hr = sink->SetFileName(file.c_str(), nullptr))) return hr;
        if (FAILED(hr = graph->AddFilter(source.Get(), L"Tone"))) return hr;
        if (FAILED(hr = graph->AddFilter(writer.Get(), L"ASF Writer"))) return hr;
        ComPtr<IPin> out, in;
        source->FindPin(L"Out", &out);
        writer->FindPin(L"Audio Input 01", &in);
        if (!out || !in) return E_FAIL;
        return graph->ConnectDirect(out.Get(), in.Get(), nullptr);
    }
};

} // namespace dshow_test
