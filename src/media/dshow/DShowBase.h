// A small DirectShow filter/pin skeleton for the built-in filters: reference
// counting, state changes, pin and media type enumeration, connection and
// allocator negotiation. Pins share their filter's reference count, as
// DirectShow expects, so a pin pointer keeps its filter alive.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mirvak::direct_show {

using Microsoft::WRL::ComPtr;

// Owns a kernel handle (null and INVALID_HANDLE_VALUE own nothing).
struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// An AM_MEDIA_TYPE that owns its format block (CoTaskMemAlloc, like every
// media type DirectShow hands around).
class MediaType {
public:
    MediaType();
    MediaType(const AM_MEDIA_TYPE& other);
    MediaType(const MediaType& other);
    MediaType& operator=(const MediaType& other);
    ~MediaType();

    const AM_MEDIA_TYPE& Get() const { return mt_; }
    AM_MEDIA_TYPE* Ptr() { return &mt_; }
    HRESULT Assign(const AM_MEDIA_TYPE& other);
    void Clear();
    // A copy of the type for a caller that frees it with DeleteMediaType
    // semantics (CoTaskMemFree of the format block and of the struct).
    AM_MEDIA_TYPE* NewCopy() const;

private:
    AM_MEDIA_TYPE mt_;
};

// Frees the format block and interface of a media type filled by someone else.
void FreeMediaTypeContents(AM_MEDIA_TYPE& mt);
// Frees a media type from IEnumMediaTypes::Next.
void DeleteMediaType(AM_MEDIA_TYPE* mt);
// Copies src into dst (dst's old contents are not freed).
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE& src);

// MEDIATYPE_Audio / MEDIASUBTYPE_PCM / FORMAT_WaveFormatEx, 16 bits.
MediaType MakePcmType(DWORD sampleRate, WORD channels);
// The wave format of a 16-bit PCM audio type (WAVE_FORMAT_PCM or its
// extensible form), or false for anything else.
bool GetPcm16Format(const AM_MEDIA_TYPE& mt, DWORD* sampleRate, WORD* channels);

// True when `partial` (GUID_NULL fields match anything) admits `full`.
bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE* partial);

// Copies a string into CoTaskMem for an out parameter.
HRESULT CoTaskStrDup(const std::wstring& s, LPWSTR* out);

class BaseFilter;

// One pin; IUnknown goes to the owning filter.
class BasePin : public IPin {
public:
    BasePin(BaseFilter* filter, PIN_DIRECTION dir, const wchar_t* name);
    virtual ~BasePin();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin (Connect and ReceiveConnection are direction specific)
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    bool IsConnected() const;
    MediaType ConnectedType() const;
    const std::wstring& Name() const { return name_; }

protected:
    // Hooks for the concrete pins.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) = 0;
    // The i-th preferred type; false past the end.
    virtual bool GetMediaType(int index, MediaType* out) = 0;
    virtual HRESULT CompleteConnect(IPin* peer) { return S_OK; }
    virtual void BreakConnect() {}
    // Extra interfaces of the pin (IMemInputPin, IKsPropertySet, ...).
    virtual HRESULT QueryPinInterface(REFIID riid, void** ppv) { return E_NOINTERFACE; }
    void StopFilterForDisconnect();

    BaseFilter* filter_;
    const PIN_DIRECTION dir_;
    const std::wstring name_;
    mutable std::recursive_mutex lock_;   // connection state
    ComPtr<IPin> peer_;
    MediaType mt_;
};

// Output pin that delivers IMediaSamples through the peer's IMemInputPin.
class BaseOutputPin : public BasePin {
public:
    BaseOutputPin(BaseFilter* filter, const wchar_t* name);

    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP Disconnect() override;

    // Commit/decommit the negotiated allocator (Stopped <-> Paused); one
    // shared with the upstream filter is left to that filter.
    HRESULT Active();
    HRESULT Inactive();
    // Streaming: a sample from the allocator (blocks until one is free),
    // and its delivery to the peer.
    HRESULT GetDeliveryBuffer(IMediaSample** sample);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();

protected:
    // Sets the buffer count and size the pin wants (`props` holds the
    // peer's requirements, or zeros).
    virtual HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* props) = 0;
    // A pass-through filter offers its input's allocator here, so that it can
    // deliver the samples it receives as they are; the peer may refuse it.
    // Asked when streaming starts.
    virtual ComPtr<IMemAllocator> UpstreamAllocator() const { return nullptr; }

public:
    // The peer took UpstreamAllocator(): received samples go on unchanged.
    bool SharesUpstreamAllocator() const;

private:
    HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& mt);
    HRESULT DecideAllocator(IMemInputPin* input);

    ComPtr<IMemInputPin> input_;
    ComPtr<IMemAllocator> allocator_;
    bool shared_ = false;
};

// Input pin receiving samples through IMemInputPin.
class BaseInputPin : public BasePin, public IMemInputPin {
public:
    BaseInputPin(BaseFilter* filter, const wchar_t* name);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return BasePin::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP Disconnect() override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** alloc) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* alloc, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override { return E_NOTIMPL; }
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_OK; }

    ComPtr<IMemAllocator> Allocator() const {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        return allocator_;
    }

protected:
    HRESULT QueryPinInterface(REFIID riid, void** ppv) override;

private:
    ComPtr<IMemAllocator> allocator_;
};

// IBaseFilter with the state machine; the concrete filter supplies pins and
// reacts to the transitions. The graph pointer is not reference counted
// (the graph holds the filter, never the other way round).
class BaseFilter : public IBaseFilter {
public:
    BaseFilter(const CLSID& clsid, const wchar_t* defaultName);
    virtual ~BaseFilter();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** out) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override { return E_NOTIMPL; }

    virtual int PinCount() = 0;
    virtual BasePin* PinAt(int index) = 0;

    FILTER_STATE State() const;
    // Stream time now (clock time minus the Run start), 0 without a clock.
    REFERENCE_TIME StreamTime() const;
    // Sends an event to the graph's IMediaEventSink when in a graph.
    void NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

protected:
    // Transition hooks, called with the state lock held.
    virtual HRESULT OnActivate() { return S_OK; }          // Stopped -> Paused
    virtual HRESULT OnRun(REFERENCE_TIME start) { return S_OK; }
    virtual HRESULT OnPauseFromRun() { return S_OK; }      // Running -> Paused
    virtual HRESULT OnStop() { return S_OK; }              // Paused -> Stopped
    // GetState's result in the paused state (live sources: VFW_S_CANT_CUE).
    virtual HRESULT PausedStateResult() { return S_OK; }
    virtual HRESULT QueryFilterInterface(REFIID riid, void** ppv) { return E_NOINTERFACE; }

    // The state lock is never taken on a streaming thread (Stop joins it);
    // the clock and graph have their own small lock for that reason.
    mutable std::recursive_mutex stateLock_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    mutable std::mutex clockLock_;
    REFERENCE_TIME start_ = 0;
    ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr;
    std::wstring name_;

private:
    std::atomic<ULONG> ref_{1};
    const CLSID clsid_;
};

} // namespace mirvak::direct_show
