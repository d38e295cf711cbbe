#include "media/dshow/CaptureFilter.h"

#include <mmsystem.h>
#include <mmreg.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace mirvak::direct_show {

// {72B32EB4-D263-422B-B259-D9C5D2BB9C81}
const CLSID CLSID_TonbarAudioCapture = {
    0x72b32eb4, 0xd263, 0x422b, {0xb2, 0x59, 0xd9, 0xc5, 0xd2, 0xbb, 0x9c, 0x81}};

namespace {

// Short buffers: the level and the file follow the sound closely.
constexpr DWORD kBufferMs = 20;
constexpr int kWaveBuffers = 40;         // 800 ms of slack for a busy writer
constexpr int kAllocatorBuffers = 8;
// A device that has delivered no sound this long after it started cannot
// record (some systems take up to 3 s for the first buffer).
constexpr DWORD kStartTimeoutMs = 5000;
// How long Run waits for the device to open and start: a refusal within
// this time fails Run itself.
constexpr DWORD kOpenWaitMs = 50;
// A device that delivers no sound for this long is lost (unplugged, its
// driver or sound server gone).
constexpr DWORD kSilentDeviceMs = 3000;
// How long a stop waits for the driver to hand back its buffers, in all,
// and for the capture thread to end: a driver that hangs in waveInReset
// keeps the thread, not the stop.
constexpr DWORD kResetTimeoutMs = 2000;
constexpr DWORD kStopTimeoutMs = kResetTimeoutMs + 500;

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
          deviceId_(deviceId), stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          threadDone_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {
        pins_[0].SetSibling(&pins_[1]);
        pins_[1].SetSibling(&pins_[0]);
    }

    ~CaptureFilter() override {
        // The capture thread may hold the last reference itself.
        if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) thread_.detach();
        StopCapture();
    }

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
        if (!stopEvent_ || !threadDone_) return E_OUTOFMEMORY;
        // A thread left behind by an earlier stop still owns the device.
        if (WaitForSingleObject(threadDone_.get(), 0) != WAIT_OBJECT_0) return HRESULT_FROM_WIN32(ERROR_BUSY);
        ResetEvent(stopEvent_.get());
        ResetEvent(threadDone_.get());
        soundSeen_ = false;
        gaveUp_ = false;
        std::promise<HRESULT> opened;
        std::future<HRESULT> result = opened.get_future();
        WAVEFORMATEX wf = WaveFormatOf(type.Get());
        // The thread keeps the filter alive: a stop may leave it behind.
        ComPtr<CaptureFilter> self(this);
        thread_ = std::thread([self, wf, p = std::move(opened)]() mutable {
            self->CaptureLoop(wf, p);
            SetEvent(self->threadDone_.get());
        });
        // Run does not wait for the first sound, which some systems deliver
        // seconds later: a device that refuses at once fails Run; one that
        // is slower to open, or opens and never delivers sound, is reported
        // by the deadline (EC_ERRORABORT before any sample was delivered).
        HRESULT hr = result.wait_for(std::chrono::milliseconds(kOpenWaitMs)) == std::future_status::ready
                         ? result.get()
                         : S_OK;
        if (SUCCEEDED(hr) && !CreateTimerQueueTimer(&deadline_, nullptr, &CaptureFilter::Deadline, this,
                                                    kStartTimeoutMs, 0, WT_EXECUTEONLYONCE))
            hr = HRESULT_FROM_WIN32(GetLastError());
        if (FAILED(hr)) StopCapture();
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
    // The first sound did not come in time: the graph learns it from the
    // event, and the capture thread stops (when the driver lets it).
    static void CALLBACK Deadline(void* context, BOOLEAN) {
        auto* self = static_cast<CaptureFilter*>(context);
        if (self->soundSeen_) return;
        self->gaveUp_ = true;
        self->NotifyEvent(EC_ERRORABORT, HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), 0);
        SetEvent(self->stopEvent_.get());
    }

    void StopCapture() {
        // Waits for a deadline callback that is running.
        if (deadline_) {
            DeleteTimerQueueTimer(nullptr, deadline_, INVALID_HANDLE_VALUE);
            deadline_ = nullptr;
        }
        if (!thread_.joinable()) return;
        SetEvent(stopEvent_.get());
        if (WaitForSingleObject(threadDone_.get(), kStopTimeoutMs) == WAIT_OBJECT_0) thread_.join();
        else thread_.detach();   // a hung driver: the thread ends when it returns
    }

    // Owns the waveIn device for the thread's lifetime.
    struct WaveIn {
        HWAVEIN h = nullptr;
        ~WaveIn() {
            if (h) waveInClose(h);
        }
    };

    // The driver's buffers. They live on the heap: when a driver never
    // hands some back, they are left to it rather than freed under it.
    struct WaveBuffers {
        std::vector<BYTE> data;
        WAVEHDR hdr[kWaveBuffers] = {};
        bool queued[kWaveBuffers] = {};   // given to the driver and not yet back
    };

    // `opened` learns whether the device opened and started. A failure
    // after that is told to the graph, and ends the recording.
    void CaptureLoop(WAVEFORMATEX wf, std::promise<HRESULT>& opened) {
        // A failure the caller of Run may no longer wait for goes to the graph too.
        auto failed = [&](HRESULT hr) {
            opened.set_value(hr);
            NotifyEvent(EC_ERRORABORT, hr, 0);
        };
        UniqueHandle ready(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!ready) {
            failed(HRESULT_FROM_WIN32(GetLastError()));
            return;
        }
        WaveIn dev;
        MMRESULT r = waveInOpen(&dev.h, deviceId_, &wf, reinterpret_cast<DWORD_PTR>(ready.get()), 0,
                                CALLBACK_EVENT);
        if (r != MMSYSERR_NOERROR) {
            dev.h = nullptr;
            failed(HResultFromMm(r));
            return;
        }
        const DWORD bytes = BufferBytes(wf);
        auto buffers = std::make_unique<WaveBuffers>();
        buffers->data.resize(size_t(bytes) * kWaveBuffers);
        WAVEHDR* hdr = buffers->hdr;
        int prepared = 0;
        for (; prepared < kWaveBuffers && r == MMSYSERR_NOERROR; ++prepared) {
            hdr[prepared].lpData = reinterpret_cast<LPSTR>(buffers->data.data() + size_t(bytes) * prepared);
            hdr[prepared].dwBufferLength = bytes;
            r = waveInPrepareHeader(dev.h, &hdr[prepared], sizeof(WAVEHDR));
            if (r == MMSYSERR_NOERROR) r = waveInAddBuffer(dev.h, &hdr[prepared], sizeof(WAVEHDR));
            else break;
            buffers->queued[prepared] = r == MMSYSERR_NOERROR;
        }
        if (r == MMSYSERR_NOERROR) r = waveInStart(dev.h);
        if (r != MMSYSERR_NOERROR) {
            waveInReset(dev.h);
            for (int i = 0; i < prepared; ++i) waveInUnprepareHeader(dev.h, &hdr[i], sizeof(WAVEHDR));
            failed(HResultFromMm(r));
            return;
        }
        opened.set_value(S_OK);

        framesDelivered_ = 0;
        discontinuity_ = true;
        std::fill(std::begin(deliveryFailed_), std::end(deliveryFailed_), false);

        // No sound for kSilentDeviceMs after the first means the device is
        // lost; before the first, the start's deadline decides.
        DWORD lastSound = GetTickCount();
        HRESULT failure = S_OK;
        int next = 0;
        HANDLE waits[2] = {ready.get(), stopEvent_.get()};
        while (SUCCEEDED(failure)) {
            DWORD w = WaitForMultipleObjects(2, waits, FALSE, 200);
            if (w == WAIT_OBJECT_0 + 1 || w == WAIT_FAILED) break;
            while (hdr[next].dwFlags & WHDR_DONE) {
                // Buffers may come back empty (a stalled sound server):
                // only sound counts as the device working.
                if (hdr[next].dwBytesRecorded > 0) {
                    lastSound = GetTickCount();
                    soundSeen_ = true;
                }
                DeliverBuffer(hdr[next], wf);
                hdr[next].dwFlags &= ~WHDR_DONE;
                hdr[next].dwBytesRecorded = 0;
                r = waveInAddBuffer(dev.h, &hdr[next], sizeof(WAVEHDR));
                buffers->queued[next] = r == MMSYSERR_NOERROR;
                next = (next + 1) % kWaveBuffers;
                if (r != MMSYSERR_NOERROR) {
                    failure = HResultFromMm(r);
                    break;
                }
            }
            if (SUCCEEDED(failure) && soundSeen_ && GetTickCount() - lastSound > kSilentDeviceMs)
                failure = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
        }

        // The graph ends the recording; this thread stops capturing.
        if (FAILED(failure)) NotifyEvent(EC_ERRORABORT, failure, 0);

        // Reset hands back every queued buffer, the partly filled one with
        // what it holds: deliver those in order so the tail is kept. A
        // driver that keeps some gets them for good after kResetTimeoutMs.
        waveInReset(dev.h);
        // A lost device hands nothing back: waiting would only delay the end.
        const DWORD resetTimeout = FAILED(failure) || gaveUp_ ? 0 : kResetTimeoutMs;
        const DWORD resetTick = GetTickCount();
        bool allBack = true;
        for (int i = 0; i < kWaveBuffers; ++i) {
            const int b = (next + i) % kWaveBuffers;
            WAVEHDR& h = hdr[b];
            if (!buffers->queued[b]) continue;
            while (!(h.dwFlags & WHDR_DONE) && GetTickCount() - resetTick < resetTimeout) Sleep(10);
            if (!(h.dwFlags & WHDR_DONE)) {
                allBack = false;
                continue;
            }
            if (SUCCEEDED(failure) && h.dwBytesRecorded > 0) DeliverBuffer(h, wf);
        }
        if (!allBack) {
            buffers.release();
            return;
        }
        for (int i = 0; i < kWaveBuffers; ++i) waveInUnprepareHeader(dev.h, &hdr[i], sizeof(WAVEHDR));
    }

    void DeliverBuffer(const WAVEHDR& h, const WAVEFORMATEX& wf) {
        DWORD size = h.dwBytesRecorded - h.dwBytesRecorded % wf.nBlockAlign;
        if (size == 0) return;
        // The file's time starts with its first sample.
        REFERENCE_TIME t0 = static_cast<REFERENCE_TIME>(framesDelivered_ * 10000000ULL / wf.nSamplesPerSec);
        framesDelivered_ += size / wf.nBlockAlign;
        REFERENCE_TIME t1 = static_cast<REFERENCE_TIME>(framesDelivered_ * 10000000ULL / wf.nSamplesPerSec);
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
    UniqueHandle threadDone_;   // set while no capture thread runs
    std::thread thread_;
    HANDLE deadline_ = nullptr;          // the start's timer while it may fire
    std::atomic<bool> soundSeen_{false};
    std::atomic<bool> gaveUp_{false};    // the deadline passed without sound
    // Capture thread only.
    uint64_t framesDelivered_ = 0;
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
