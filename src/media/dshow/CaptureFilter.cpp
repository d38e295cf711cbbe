#include "media/dshow/CaptureFilter.h"

#include <mmsystem.h>
#include <mmreg.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <thread>

namespace mirvak::direct_show {

// {72B32EB4-D263-422B-B259-D9C5D2BB9C81}
const CLSID CLSID_TonbarAudioCapture = {
    0x72b32eb4, 0xd263, 0x422b, {0xb2, 0x59, 0xd9, 0xc5, 0xd2, 0xbb, 0x9c, 0x81}};

namespace {

// Short buffers: Run returns with the first one, and the sound it holds
// predates Run's return, so its length is what a file runs over the
// recording's wall-clock time.
constexpr DWORD kBufferMs = 20;
constexpr int kWaveBuffers = 40;         // 800 ms of slack for a busy writer
constexpr int kAllocatorBuffers = 8;
constexpr DWORD kStartTimeoutMs = 3000;

struct OfferedFormat {
    DWORD rate;
    WORD channels;
};
// What the encoding profiles need, the preferred one first.
constexpr OfferedFormat kOffered[] = {
    {44100, 2}, {44100, 1}, {32000, 2}, {32000, 1}, {22050, 2}, {22050, 1},
};

HRESULT HResultFromMm(MMRESULT r) {
    switch (r) {
    case MMSYSERR_NOERROR: return S_OK;
    case MMSYSERR_NOMEM: return E_OUTOFMEMORY;
    case WAVERR_BADFORMAT: return VFW_E_TYPE_NOT_ACCEPTED;
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_NODRIVER: return VFW_E_NO_CAPTURE_HARDWARE;
    case MMSYSERR_ALLOCATED: return HRESULT_FROM_WIN32(ERROR_BUSY);
    default: return E_FAIL;
    }
}

// Bytes of about kBufferMs, whole frames.
DWORD BufferBytes(const WAVEFORMATEX& wf) {
    DWORD bytes = wf.nAvgBytesPerSec / (1000 / kBufferMs);
    return std::max<DWORD>(wf.nBlockAlign, bytes - bytes % wf.nBlockAlign);
}

WAVEFORMATEX WaveFormatOf(const AM_MEDIA_TYPE& mt) {
    WAVEFORMATEX wf{};
    DWORD rate = 0;
    WORD channels = 0;
    GetPcm16Format(mt, &rate, &channels);
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = channels;
    wf.nSamplesPerSec = rate;
    wf.wBitsPerSample = 16;
    wf.nBlockAlign = static_cast<WORD>(channels * 2);
    wf.nAvgBytesPerSec = rate * wf.nBlockAlign;
    return wf;
}

class CaptureFilter;

// The capture pin and the preview pin share one waveIn device, so both carry
// the same format: a pin whose sibling is connected offers and accepts only
// the sibling's type.
class CaptureOutputPin : public BaseOutputPin, public IKsPropertySet {
public:
    CaptureOutputPin(BaseFilter* filter, UINT deviceId, const wchar_t* name, const GUID& category)
        : BaseOutputPin(filter, name), deviceId_(deviceId), category_(category) {}

    void SetSibling(CaptureOutputPin* sibling) { sibling_ = sibling; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return BasePin::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

    // IKsPropertySet: only the pin category, read-only.
    STDMETHODIMP Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_PROP_ID_UNSUPPORTED; }
    STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD size, DWORD* returned) override {
        if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
        if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
        if (!data && !returned) return E_POINTER;
        if (returned) *returned = sizeof(GUID);
        if (!data) return S_OK;
        if (size < sizeof(GUID)) return E_UNEXPECTED;
        *static_cast<GUID*>(data) = category_;
        return S_OK;
    }
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override {
        if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
        if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
        if (support) *support = KSPROPERTY_SUPPORT_GET;
        return S_OK;
    }

protected:
    HRESULT QueryPinInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IKsPropertySet) {
            *ppv = static_cast<IKsPropertySet*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        DWORD rate = 0;
        WORD channels = 0;
        if (!GetPcm16Format(mt, &rate, &channels)) return VFW_E_TYPE_NOT_ACCEPTED;
        DWORD siblingRate = 0;
        WORD siblingChannels = 0;
        if (SiblingFormat(&siblingRate, &siblingChannels))
            return rate == siblingRate && channels == siblingChannels ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
        WAVEFORMATEX wf = WaveFormatOf(mt);
        // Ask the device whether it can deliver this format at all.
        MMRESULT r = waveInOpen(nullptr, deviceId_, &wf, 0, 0, WAVE_FORMAT_QUERY);
        return r == MMSYSERR_NOERROR ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }

    bool GetMediaType(int index, MediaType* out) override {
        DWORD rate = 0;
        WORD channels = 0;
        if (SiblingFormat(&rate, &channels)) {
            if (index != 0) return false;
            *out = MakePcmType(rate, channels);
            return true;
        }
        if (index < 0 || index >= static_cast<int>(std::size(kOffered))) return false;
        *out = MakePcmType(kOffered[index].rate, kOffered[index].channels);
        return true;
    }

    HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* props) override {
        WAVEFORMATEX wf = WaveFormatOf(mt_.Get());
        DWORD bytes = BufferBytes(wf);
        props->cBuffers = std::max<long>(props->cBuffers, kAllocatorBuffers);
        props->cbBuffer = std::max<long>(props->cbBuffer, static_cast<long>(bytes));
        props->cbAlign = std::max<long>(props->cbAlign, 1);
        ALLOCATOR_PROPERTIES actual{};
        HRESULT hr = alloc->SetProperties(props, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer >= static_cast<long>(bytes) ? S_OK : E_FAIL;
    }

private:
    bool SiblingFormat(DWORD* rate, WORD* channels) const {
        return sibling_ && sibling_->IsConnected() && GetPcm16Format(sibling_->ConnectedType().Get(), rate, channels);
    }

    const UINT deviceId_;
    const GUID category_;
    CaptureOutputPin* sibling_ = nullptr;
};

class CaptureFilter : public BaseFilter {
public:
    CaptureFilter(UINT deviceId, const wchar_t* name)
        : BaseFilter(CLSID_TonbarAudioCapture, name),
          pins_{{this, deviceId, L"Capture", PIN_CATEGORY_CAPTURE}, {this, deviceId, L"Preview", PIN_CATEGORY_PREVIEW}},
          deviceId_(deviceId), stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        pins_[0].SetSibling(&pins_[1]);
        pins_[1].SetSibling(&pins_[0]);
    }

    ~CaptureFilter() override { StopCapture(); }

    // A preview pin of its own keeps a capture graph builder from putting a
    // Smart Tee after the capture pin: Wine's tee connects its outputs with
    // whatever type the renderer proposes and passes our samples through
    // unconverted, so a writer preferring 22050 Hz mono was fed 44100 Hz
    // stereo labelled as its own format.
    int PinCount() override { return kPins; }
    BasePin* PinAt(int index) override { return index >= 0 && index < kPins ? &pins_[index] : nullptr; }

protected:
    HRESULT OnActivate() override {
        for (int i = 0; i < kPins; ++i) {
            HRESULT hr = pins_[i].Active();
            if (FAILED(hr)) {
                while (i-- > 0) pins_[i].Inactive();
                return hr;
            }
        }
        return S_OK;
    }

    HRESULT OnRun(REFERENCE_TIME) override {
        MediaType type;
        for (auto& pin : pins_) {
            if (pin.IsConnected()) {
                type = pin.ConnectedType();
                break;
            }
        }
        if (!GetPcm16Format(type.Get(), nullptr, nullptr)) return S_OK;   // nothing connected
        if (!stopEvent_) return E_OUTOFMEMORY;
        ResetEvent(stopEvent_.get());
        std::promise<HRESULT> started;
        std::future<HRESULT> result = started.get_future();
        WAVEFORMATEX wf = WaveFormatOf(type.Get());
        thread_ = std::thread([this, wf, p = std::move(started)]() mutable { CaptureLoop(wf, p); });
        HRESULT hr = result.get();
        if (FAILED(hr)) thread_.join();
        return hr;
    }

    HRESULT OnPauseFromRun() override {
        StopCapture();
        return S_OK;
    }

    HRESULT OnStop() override {
        StopCapture();
        HRESULT hr = S_OK;
        for (auto& pin : pins_) {
            HRESULT pinHr = pin.Inactive();
            if (SUCCEEDED(hr)) hr = pinHr;
        }
        return hr;
    }

    // A live source has nothing to show while paused.
    HRESULT PausedStateResult() override { return VFW_S_CANT_CUE; }

private:
    void StopCapture() {
        if (!thread_.joinable()) return;
        SetEvent(stopEvent_.get());
        thread_.join();
    }

    // Owns the waveIn device for the thread's lifetime.
    struct WaveIn {
        HWAVEIN h = nullptr;
        ~WaveIn() {
            if (h) waveInClose(h);
        }
    };

    void CaptureLoop(WAVEFORMATEX wf, std::promise<HRESULT>& started) {
        UniqueHandle ready(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!ready) {
            started.set_value(HRESULT_FROM_WIN32(GetLastError()));
            return;
        }
        WaveIn dev;
        MMRESULT r = waveInOpen(&dev.h, deviceId_, &wf, reinterpret_cast<DWORD_PTR>(ready.get()), 0,
                                CALLBACK_EVENT);
        if (r != MMSYSERR_NOERROR) {
            dev.h = nullptr;
            started.set_value(HResultFromMm(r));
            return;
        }
        const DWORD bytes = BufferBytes(wf);
        std::vector<std::vector<BYTE>> data(kWaveBuffers, std::vector<BYTE>(bytes));
        WAVEHDR hdr[kWaveBuffers] = {};
        int prepared = 0;
        for (; prepared < kWaveBuffers && r == MMSYSERR_NOERROR; ++prepared) {
            hdr[prepared].lpData = reinterpret_cast<LPSTR>(data[prepared].data());
            hdr[prepared].dwBufferLength = bytes;
            r = waveInPrepareHeader(dev.h, &hdr[prepared], sizeof(WAVEHDR));
            if (r == MMSYSERR_NOERROR) r = waveInAddBuffer(dev.h, &hdr[prepared], sizeof(WAVEHDR));
            else break;
        }
        if (r == MMSYSERR_NOERROR) r = waveInStart(dev.h);
        if (r != MMSYSERR_NOERROR) {
            waveInReset(dev.h);
            for (int i = 0; i < prepared; ++i) waveInUnprepareHeader(dev.h, &hdr[i], sizeof(WAVEHDR));
            started.set_value(HResultFromMm(r));
            return;
        }

        framesDelivered_ = 0;
        base_ = -1;
        discontinuity_ = true;
        std::fill(std::begin(deliveryFailed_), std::end(deliveryFailed_), false);

        // Run returns once sound flows: some systems take over a second to
        // deliver the first buffer, and what was before it is not captured.
        bool reported = false;
        const DWORD startTick = GetTickCount();
        int next = 0;
        HANDLE waits[2] = {ready.get(), stopEvent_.get()};
        for (;;) {
            DWORD w = WaitForMultipleObjects(2, waits, FALSE, reported ? 500 : 50);
            if (w == WAIT_OBJECT_0 + 1 || w == WAIT_FAILED) break;
            if (!reported && GetTickCount() - startTick > kStartTimeoutMs) {
                reported = true;
                started.set_value(S_OK);
            }
            while (hdr[next].dwFlags & WHDR_DONE) {
                DeliverBuffer(hdr[next], wf);
                if (!reported) {
                    reported = true;
                    started.set_value(S_OK);
                }
                hdr[next].dwFlags &= ~WHDR_DONE;
                hdr[next].dwBytesRecorded = 0;
                waveInAddBuffer(dev.h, &hdr[next], sizeof(WAVEHDR));
                next = (next + 1) % kWaveBuffers;
            }
        }

        if (!reported) started.set_value(S_OK);

        // Reset hands back every queued buffer, the partly filled one with
        // what it holds: deliver those in order so the tail is kept.
        waveInReset(dev.h);
        for (int i = 0; i < kWaveBuffers; ++i) {
            WAVEHDR& h = hdr[(next + i) % kWaveBuffers];
            for (int spin = 0; spin < 100 && !(h.dwFlags & WHDR_DONE); ++spin) Sleep(10);
            if ((h.dwFlags & WHDR_DONE) && h.dwBytesRecorded > 0) DeliverBuffer(h, wf);
        }
        for (int i = 0; i < kWaveBuffers; ++i) waveInUnprepareHeader(dev.h, &hdr[i], sizeof(WAVEHDR));
    }

    void DeliverBuffer(const WAVEHDR& h, const WAVEFORMATEX& wf) {
        DWORD size = h.dwBytesRecorded - h.dwBytesRecorded % wf.nBlockAlign;
        if (size == 0) return;
        if (base_ < 0) {
            // The first buffer ends now on the graph's clock.
            REFERENCE_TIME length = static_cast<REFERENCE_TIME>(size / wf.nBlockAlign * 10000000ULL / wf.nSamplesPerSec);
            base_ = std::max<REFERENCE_TIME>(0, StreamTime() - length);
        }
        REFERENCE_TIME t0 = base_ + static_cast<REFERENCE_TIME>(framesDelivered_ * 10000000ULL / wf.nSamplesPerSec);
        framesDelivered_ += size / wf.nBlockAlign;
        REFERENCE_TIME t1 = base_ + static_cast<REFERENCE_TIME>(framesDelivered_ * 10000000ULL / wf.nSamplesPerSec);
        for (int i = 0; i < kPins; ++i) {
            if (!deliveryFailed_[i] && pins_[i].IsConnected()) DeliverTo(i, h, size, t0, t1);
        }
        discontinuity_ = false;
    }

    void DeliverTo(int index, const WAVEHDR& h, DWORD size, REFERENCE_TIME t0, REFERENCE_TIME t1) {
        CaptureOutputPin& pin = pins_[index];
        ComPtr<IMediaSample> sample;
        HRESULT hr = pin.GetDeliveryBuffer(&sample);
        if (FAILED(hr)) {
            deliveryFailed_[index] = true;
            return;
        }
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        size = std::min<DWORD>(size, static_cast<DWORD>(sample->GetSize()));
        std::memcpy(p, h.lpData, size);
        sample->SetActualDataLength(static_cast<long>(size));
        sample->SetTime(&t0, &t1);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(discontinuity_ ? TRUE : FALSE);
        hr = pin.Deliver(sample.Get());
        if (hr != S_OK) {
            // The downstream filter wants no more (S_FALSE) or failed.
            deliveryFailed_[index] = true;
            if (FAILED(hr) && hr != VFW_E_WRONG_STATE) NotifyEvent(EC_ERRORABORT, hr, 0);
        }
    }

    static constexpr int kPins = 2;
    CaptureOutputPin pins_[kPins];
    const UINT deviceId_;
    UniqueHandle stopEvent_;
    std::thread thread_;
    // Capture thread only.
    uint64_t framesDelivered_ = 0;
    REFERENCE_TIME base_ = 0;
    bool discontinuity_ = true;
    bool deliveryFailed_[kPins] = {};
};

} // namespace

HRESULT CreateCaptureFilter(UINT waveInId, const wchar_t* name, IBaseFilter** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) CaptureFilter(waveInId, name ? name : L"Audio Capture");
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace mirvak::direct_show
