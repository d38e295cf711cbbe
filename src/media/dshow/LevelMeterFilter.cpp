#include "media/dshow/LevelMeterFilter.h"

#include <mmreg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mirvak::direct_show {

// {5D1E6C0B-7A2F-4E61-9C3B-2B8F0A6D41E7}
const CLSID CLSID_TonbarLevelMeter = {
    0x5d1e6c0b, 0x7a2f, 0x4e61, {0x9c, 0x3b, 0x2b, 0x8f, 0x0a, 0x6d, 0x41, 0xe7}};

namespace {

constexpr int kOutputBuffers = 8;

enum class SampleKind { kNone, kInt8, kInt16, kInt24, kInt32, kFloat32 };

// What the meter can measure: interleaved PCM, integer or float.
struct AudioFormat {
    SampleKind kind = SampleKind::kNone;
    WORD blockAlign = 0;
    WORD channels = 0;
    DWORD rate = 0;
};

AudioFormat FormatOf(const AM_MEDIA_TYPE& mt) {
    AudioFormat f;
    if (mt.majortype != MEDIATYPE_Audio || mt.formattype != FORMAT_WaveFormatEx) return f;
    if (!mt.pbFormat || mt.cbFormat < sizeof(PCMWAVEFORMAT)) return f;
    const auto* wf = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    bool isFloat = wf->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    bool isPcm = wf->wFormatTag == WAVE_FORMAT_PCM;
    if (wf->wFormatTag == WAVE_FORMAT_EXTENSIBLE && mt.cbFormat >= sizeof(WAVEFORMATEXTENSIBLE)) {
        const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mt.pbFormat);
        // The media subtypes are the same GUIDs as the KSDATAFORMAT ones.
        isPcm = ext->SubFormat == MEDIASUBTYPE_PCM;
        isFloat = ext->SubFormat == MEDIASUBTYPE_IEEE_FLOAT;
    }
    if (wf->nChannels == 0 || wf->nSamplesPerSec == 0) return f;
    if (wf->nBlockAlign != wf->nChannels * (wf->wBitsPerSample / 8)) return f;
    if (isFloat && wf->wBitsPerSample == 32) f.kind = SampleKind::kFloat32;
    else if (isPcm && wf->wBitsPerSample == 8) f.kind = SampleKind::kInt8;
    else if (isPcm && wf->wBitsPerSample == 16) f.kind = SampleKind::kInt16;
    else if (isPcm && wf->wBitsPerSample == 24) f.kind = SampleKind::kInt24;
    else if (isPcm && wf->wBitsPerSample == 32) f.kind = SampleKind::kInt32;
    else return f;
    f.blockAlign = wf->nBlockAlign;
    f.channels = wf->nChannels;
    f.rate = wf->nSamplesPerSec;
    return f;
}

bool SameType(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    return a.majortype == b.majortype && a.subtype == b.subtype && a.formattype == b.formattype &&
           a.cbFormat == b.cbFormat && (a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}

// The largest magnitude of `count` samples, scaled to 0..kLevelFullScale:
// one comparison per sample on the integer formats.
DWORD Peak(SampleKind kind, const BYTE* p, size_t count) {
    switch (kind) {
    case SampleKind::kInt16: {
        int peak = 0;
        for (size_t i = 0; i < count; ++i) {
            int16_t v;
            std::memcpy(&v, p + 2 * i, 2);
            peak = std::max(peak, v < 0 ? -int(v) : int(v));
        }
        return static_cast<DWORD>(peak);
    }
    case SampleKind::kInt8: {
        int peak = 0;
        for (size_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(int(p[i]) - 128));
        return static_cast<DWORD>(peak) << 8;
    }
    case SampleKind::kInt24: {
        int32_t peak = 0;
        for (size_t i = 0; i < count; ++i) {
            int32_t v = int32_t(uint32_t(p[3 * i]) << 8 | uint32_t(p[3 * i + 1]) << 16 | uint32_t(p[3 * i + 2]) << 24) >> 8;
            peak = std::max(peak, v < 0 ? -v : v);
        }
        return static_cast<DWORD>(peak >> 8);
    }
    case SampleKind::kInt32: {
        int64_t peak = 0;
        for (size_t i = 0; i < count; ++i) {
            int32_t v;
            std::memcpy(&v, p + 4 * i, 4);
            peak = std::max<int64_t>(peak, v < 0 ? -int64_t(v) : int64_t(v));
        }
        return static_cast<DWORD>(peak >> 16);
    }
    case SampleKind::kFloat32: {
        float peak = 0;
        for (size_t i = 0; i < count; ++i) {
            float v;
            std::memcpy(&v, p + 4 * i, 4);
            peak = std::max(peak, std::fabs(v));
        }
        return static_cast<DWORD>(std::lround(std::min(peak, 1.0f) * kLevelFullScale));
    }
    default:
        return 0;
    }
}

class LevelMeter;

class MeterInputPin : public BaseInputPin {
public:
    explicit MeterInputPin(LevelMeter* owner);
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
    bool GetMediaType(int index, MediaType* out) override;

private:
    LevelMeter* owner_;
};

class MeterOutputPin : public BaseOutputPin {
public:
    explicit MeterOutputPin(LevelMeter* owner);
    ComPtr<IPin> Peer() const {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        return peer_;
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
    bool GetMediaType(int index, MediaType* out) override;
    HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* props) override;
    ComPtr<IMemAllocator> UpstreamAllocator() const override;

private:
    LevelMeter* owner_;
};

class LevelMeter : public BaseFilter {
public:
    LevelMeter(HWND window, UINT message)
        : BaseFilter(CLSID_TonbarLevelMeter, L"Level Meter"), in_(this), out_(this), window_(window),
          message_(message) {}

    int PinCount() override { return 2; }
    BasePin* PinAt(int index) override {
        return index == 0 ? static_cast<BasePin*>(&in_) : index == 1 ? static_cast<BasePin*>(&out_) : nullptr;
    }

    MeterInputPin& In() { return in_; }
    MeterOutputPin& Out() { return out_; }

    // A pin accepts what can be measured; once its sibling is connected,
    // only the sibling's type.
    HRESULT CheckPinType(const BasePin& sibling, const AM_MEDIA_TYPE& mt) const {
        if (FormatOf(mt).kind == SampleKind::kNone) return VFW_E_TYPE_NOT_ACCEPTED;
        if (sibling.IsConnected() && !SameType(sibling.ConnectedType().Get(), mt)) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }

    HRESULT Process(IMediaSample* sample) {
        if (State() == State_Stopped) return VFW_E_WRONG_STATE;
        BYTE* src = nullptr;
        HRESULT hr = sample->GetPointer(&src);
        if (FAILED(hr)) return hr;
        const long length = sample->GetActualDataLength();
        if (length <= 0 || format_.blockAlign == 0) return S_OK;
        Measure(src, static_cast<size_t>(length) / format_.blockAlign);
        if (!soundSeen_) {
            soundSeen_ = true;
            NotifyEvent(EC_TONBAR_FIRST_SAMPLE, 0, 0);
        }
        if (out_.SharesUpstreamAllocator()) {
            hr = out_.Deliver(sample);
            return FAILED(hr) ? Stopping(hr) : hr;
        }

        // Copies in the output's buffers, cut to their size, times shared out.
        REFERENCE_TIME t0 = 0, t1 = 0;
        const HRESULT timeHr = sample->GetTime(&t0, &t1);
        long offset = 0;
        while (offset < length) {
            ComPtr<IMediaSample> copy;
            hr = out_.GetDeliveryBuffer(&copy);
            if (FAILED(hr)) return Stopping(hr);
            BYTE* dst = nullptr;
            copy->GetPointer(&dst);
            long room = copy->GetSize();
            room -= room % format_.blockAlign;
            if (room <= 0) return E_UNEXPECTED;
            const long n = std::min(room, length - offset);
            std::memcpy(dst, src + offset, static_cast<size_t>(n));
            copy->SetActualDataLength(n);
            if (timeHr == S_OK) {
                REFERENCE_TIME a = t0 + (t1 - t0) * offset / length, b = t0 + (t1 - t0) * (offset + n) / length;
                copy->SetTime(&a, &b);
            } else if (timeHr == VFW_S_NO_STOP_TIME && offset == 0) {
                copy->SetTime(&t0, nullptr);
            }
            copy->SetSyncPoint(sample->IsSyncPoint() == S_OK);
            copy->SetDiscontinuity(offset == 0 && sample->IsDiscontinuity() == S_OK);
            hr = out_.Deliver(copy.Get());
            if (hr != S_OK) return FAILED(hr) ? Stopping(hr) : hr;
            offset += n;
        }
        return S_OK;
    }

protected:
    HRESULT OnActivate() override {
        format_ = FormatOf(in_.ConnectedType().Get());
        windowFrames_ = std::max<DWORD>(1, format_.rate / (1000 / kLevelWindowMs));
        framesInWindow_ = 0;
        peak_ = 0;
        held_ = false;
        soundSeen_ = false;
        return out_.Active();
    }

    HRESULT OnStop() override { return out_.Inactive(); }

private:
    // A failure because this filter or the writer stopped under a sample
    // in flight is no fault of the stream.
    HRESULT Stopping(HRESULT hr) const {
        return State() == State_Stopped || hr == VFW_E_NOT_COMMITTED ? VFW_E_WRONG_STATE : hr;
    }

    void Measure(const BYTE* p, size_t frames) {
        while (frames > 0) {
            const size_t take = std::min<size_t>(frames, windowFrames_ - framesInWindow_);
            peak_ = std::max(peak_, Peak(format_.kind, p, take * format_.channels));
            p += take * format_.blockAlign;
            frames -= take;
            framesInWindow_ += static_cast<DWORD>(take);
            if (framesInWindow_ == windowFrames_) {
                // Two windows to a message: waking the window's thread costs
                // more under Wine than all the measuring.
                const DWORD peak = std::min(peak_, kLevelFullScale);
                if (!held_) {
                    heldPeak_ = peak;
                    held_ = true;
                } else {
                    if (window_) PostMessageW(window_, message_, MAKEWPARAM(heldPeak_, peak), kLevelWindowsPerMessage);
                    held_ = false;
                }
                framesInWindow_ = 0;
                peak_ = 0;
            }
        }
    }

    MeterInputPin in_;
    MeterOutputPin out_;
    const HWND window_;
    const UINT message_;
    // Set while stopped; used by the streaming thread.
    AudioFormat format_;
    DWORD windowFrames_ = 1;
    DWORD framesInWindow_ = 0;
    DWORD peak_ = 0;
    DWORD heldPeak_ = 0;   // the first window's, until the second is done
    bool held_ = false;
    bool soundSeen_ = false;
};

MeterInputPin::MeterInputPin(LevelMeter* owner) : BaseInputPin(owner, L"In"), owner_(owner) {}

STDMETHODIMP MeterInputPin::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    return owner_->Process(sample);
}

STDMETHODIMP MeterInputPin::EndOfStream() {
    HRESULT hr = owner_->Out().DeliverEndOfStream();
    return hr == VFW_E_NOT_CONNECTED ? S_OK : hr;
}

STDMETHODIMP MeterInputPin::BeginFlush() {
    ComPtr<IPin> peer = owner_->Out().Peer();
    return peer ? peer->BeginFlush() : S_OK;
}

STDMETHODIMP MeterInputPin::EndFlush() {
    ComPtr<IPin> peer = owner_->Out().Peer();
    return peer ? peer->EndFlush() : S_OK;
}

STDMETHODIMP MeterInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    ComPtr<IPin> peer = owner_->Out().Peer();
    return peer ? peer->NewSegment(start, stop, rate) : S_OK;
}

HRESULT MeterInputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) { return owner_->CheckPinType(owner_->Out(), mt); }

bool MeterInputPin::GetMediaType(int index, MediaType* out) {
    if (index != 0 || !owner_->Out().IsConnected()) return false;
    *out = owner_->Out().ConnectedType();
    return true;
}

MeterOutputPin::MeterOutputPin(LevelMeter* owner) : BaseOutputPin(owner, L"Out"), owner_(owner) {}

HRESULT MeterOutputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) { return owner_->CheckPinType(owner_->In(), mt); }

bool MeterOutputPin::GetMediaType(int index, MediaType* out) {
    if (index != 0 || !owner_->In().IsConnected()) return false;
    *out = owner_->In().ConnectedType();
    return true;
}

// The samples received go on as they are when the writer takes the
// capture filter's allocator; otherwise they are copied.
ComPtr<IMemAllocator> MeterOutputPin::UpstreamAllocator() const { return owner_->In().Allocator(); }

// Samples of 100 ms; a longer input sample is delivered in several.
HRESULT MeterOutputPin::DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* props) {
    const AudioFormat f = FormatOf(mt_.Get());
    const long bytes = std::max<long>(f.blockAlign, static_cast<long>(f.rate / 10 * f.blockAlign));
    props->cBuffers = std::max<long>(props->cBuffers, kOutputBuffers);
    props->cbBuffer = std::max<long>(props->cbBuffer, bytes);
    props->cbAlign = std::max<long>(props->cbAlign, 1);
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = alloc->SetProperties(props, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= f.blockAlign ? S_OK : E_FAIL;
}

} // namespace

HRESULT CreateLevelMeter(HWND window, UINT message, IBaseFilter** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) LevelMeter(window, message);
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace mirvak::direct_show
