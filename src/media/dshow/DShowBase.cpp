#include "media/dshow/DShowBase.h"

#include <mmreg.h>

#include <cstring>

namespace mirvak::direct_show {

// ---- media types -----------------------------------------------------------

void FreeMediaTypeContents(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat != 0 && mt.pbFormat) CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
    if (mt.pUnk) {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    FreeMediaTypeContents(*mt);
    CoTaskMemFree(mt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE& src) {
    *dst = src;
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
    if (src.cbFormat != 0 && src.pbFormat) {
        dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src.cbFormat));
        if (!dst->pbFormat) {
            dst->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(dst->pbFormat, src.pbFormat, src.cbFormat);
        dst->cbFormat = src.cbFormat;
    }
    if (dst->pUnk) dst->pUnk->AddRef();
    return S_OK;
}

MediaType::MediaType() { std::memset(&mt_, 0, sizeof mt_); }
MediaType::MediaType(const AM_MEDIA_TYPE& other) : MediaType() { Assign(other); }
MediaType::MediaType(const MediaType& other) : MediaType() { Assign(other.mt_); }
MediaType& MediaType::operator=(const MediaType& other) {
    if (this != &other) Assign(other.mt_);
    return *this;
}
MediaType::~MediaType() { FreeMediaTypeContents(mt_); }

HRESULT MediaType::Assign(const AM_MEDIA_TYPE& other) {
    AM_MEDIA_TYPE copy;
    HRESULT hr = CopyMediaType(&copy, other);
    if (FAILED(hr)) return hr;
    FreeMediaTypeContents(mt_);
    mt_ = copy;
    return S_OK;
}

void MediaType::Clear() {
    FreeMediaTypeContents(mt_);
    std::memset(&mt_, 0, sizeof mt_);
}

AM_MEDIA_TYPE* MediaType::NewCopy() const {
    auto* out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!out) return nullptr;
    if (FAILED(CopyMediaType(out, mt_))) {
        CoTaskMemFree(out);
        return nullptr;
    }
    return out;
}

MediaType MakePcmType(DWORD sampleRate, WORD channels) {
    WAVEFORMATEX wf{};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = channels;
    wf.nSamplesPerSec = sampleRate;
    wf.wBitsPerSample = 16;
    wf.nBlockAlign = static_cast<WORD>(channels * 2);
    wf.nAvgBytesPerSec = sampleRate * wf.nBlockAlign;
    wf.cbSize = 0;

    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = wf.nBlockAlign;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.cbFormat = sizeof wf;
    mt.pbFormat = reinterpret_cast<BYTE*>(&wf);
    return MediaType(mt);   // copies the format block
}

bool GetPcm16Format(const AM_MEDIA_TYPE& mt, DWORD* sampleRate, WORD* channels) {
    if (mt.majortype != MEDIATYPE_Audio || mt.formattype != FORMAT_WaveFormatEx) return false;
    if (!mt.pbFormat || mt.cbFormat < sizeof(PCMWAVEFORMAT)) return false;
    const auto* wf = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    bool pcm = wf->wFormatTag == WAVE_FORMAT_PCM;
    if (wf->wFormatTag == WAVE_FORMAT_EXTENSIBLE && mt.cbFormat >= sizeof(WAVEFORMATEXTENSIBLE)) {
        const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mt.pbFormat);
        pcm = ext->SubFormat == MEDIASUBTYPE_PCM;   // the same GUID as KSDATAFORMAT_SUBTYPE_PCM
    }
    if (!pcm || (mt.subtype != MEDIASUBTYPE_PCM && mt.subtype != GUID_NULL)) return false;
    if (wf->wBitsPerSample != 16 || wf->nChannels < 1 || wf->nChannels > 2) return false;
    if (wf->nBlockAlign != wf->nChannels * 2 || wf->nSamplesPerSec == 0) return false;
    if (sampleRate) *sampleRate = wf->nSamplesPerSec;
    if (channels) *channels = wf->nChannels;
    return true;
}

bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE* partial) {
    if (!partial) return true;
    if (partial->majortype != GUID_NULL && partial->majortype != full.majortype) return false;
    if (partial->subtype != GUID_NULL && partial->subtype != full.subtype) return false;
    if (partial->formattype != GUID_NULL) {
        if (partial->formattype != full.formattype) return false;
        if (partial->cbFormat != full.cbFormat) return false;
        if (partial->cbFormat && std::memcmp(partial->pbFormat, full.pbFormat, partial->cbFormat) != 0)
            return false;
    }
    return true;
}

HRESULT CoTaskStrDup(const std::wstring& s, LPWSTR* out) {
    if (!out) return E_POINTER;
    size_t bytes = (s.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    std::memcpy(*out, s.c_str(), bytes);
    return S_OK;
}

namespace {

// IUnknown of a standalone COM object with one interface and its own count.
template <typename I, const IID& Iid>
class StandaloneObject : public I {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == Iid) {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++ref_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = --ref_;
        if (r == 0) delete this;
        return r;
    }

protected:
    virtual ~StandaloneObject() = default;

private:
    std::atomic<ULONG> ref_{1};
};

// Enumerators are standalone COM objects with their own count.
class EnumMediaTypesImpl final : public StandaloneObject<IEnumMediaTypes, IID_IEnumMediaTypes> {
public:
    explicit EnumMediaTypesImpl(std::vector<MediaType> types, size_t pos = 0)
        : types_(std::move(types)), pos_(pos) {}
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && pos_ < types_.size()) {
            AM_MEDIA_TYPE* mt = types_[pos_].NewCopy();
            if (!mt) break;
            out[n++] = mt;
            ++pos_;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        pos_ += count;
        if (pos_ > types_.size()) {
            pos_ = types_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) EnumMediaTypesImpl(types_, pos_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::vector<MediaType> types_;
    size_t pos_;
};

class EnumPinsImpl final : public StandaloneObject<IEnumPins, IID_IEnumPins> {
public:
    EnumPinsImpl(BaseFilter* filter, int pos) : filter_(filter), pos_(pos) {}
    STDMETHODIMP Next(ULONG count, IPin** out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && pos_ < filter_->PinCount()) {
            IPin* pin = filter_->PinAt(pos_++);
            pin->AddRef();
            out[n++] = pin;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        pos_ += static_cast<int>(count);
        if (pos_ > filter_->PinCount()) {
            pos_ = filter_->PinCount();
            return S_FALSE;
        }
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) EnumPinsImpl(filter_.Get(), pos_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ComPtr<BaseFilter> filter_;
    int pos_;
};

} // namespace

// ---- BasePin ---------------------------------------------------------------

BasePin::BasePin(BaseFilter* filter, PIN_DIRECTION dir, const wchar_t* name)
    : filter_(filter), dir_(dir), name_(name) {}

BasePin::~BasePin() = default;

STDMETHODIMP BasePin::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *ppv = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT hr = QueryPinInterface(riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

STDMETHODIMP_(ULONG) BasePin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) BasePin::Release() { return filter_->Release(); }

// Wine's graph leaves filters paused when another filter fails to pause,
// and then retries removing them forever while a pin refuses to disconnect:
// so a pin stops its filter rather than refusing. Called before the pin
// lock is taken, as stopping joins streaming threads that take it.
void BasePin::StopFilterForDisconnect() {
    if (filter_->State() != State_Stopped) filter_->Stop();
}

STDMETHODIMP BasePin::Disconnect() {
    StopFilterForDisconnect();
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!peer_) return S_FALSE;
    BreakConnect();
    peer_.Reset();
    mt_.Clear();
    return S_OK;
}

STDMETHODIMP BasePin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *pin = peer_.Get();
    if (!*pin) return VFW_E_NOT_CONNECTED;
    (*pin)->AddRef();
    return S_OK;
}

STDMETHODIMP BasePin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!peer_) {
        std::memset(mt, 0, sizeof *mt);
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(mt, mt_.Get());
}

STDMETHODIMP BasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = dir_;
    lstrcpynW(info->achName, name_.c_str(), MAX_PIN_NAME);
    return S_OK;
}

STDMETHODIMP BasePin::QueryDirection(PIN_DIRECTION* dir) {
    if (!dir) return E_POINTER;
    *dir = dir_;
    return S_OK;
}

STDMETHODIMP BasePin::QueryId(LPWSTR* id) { return CoTaskStrDup(name_, id); }

STDMETHODIMP BasePin::QueryAccept(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    return CheckMediaType(*mt) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP BasePin::EnumMediaTypes(IEnumMediaTypes** out) {
    if (!out) return E_POINTER;
    std::vector<MediaType> types;
    MediaType mt;
    for (int i = 0; GetMediaType(i, &mt); ++i) types.push_back(mt);
    *out = new (std::nothrow) EnumMediaTypesImpl(std::move(types));
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP BasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP BasePin::EndOfStream() { return S_OK; }
STDMETHODIMP BasePin::BeginFlush() { return S_OK; }
STDMETHODIMP BasePin::EndFlush() { return S_OK; }
STDMETHODIMP BasePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

bool BasePin::IsConnected() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return peer_ != nullptr;
}

MediaType BasePin::ConnectedType() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return mt_;
}

// ---- BaseOutputPin -----------------------------------------------------------

BaseOutputPin::BaseOutputPin(BaseFilter* filter, const wchar_t* name)
    : BasePin(filter, PINDIR_OUTPUT, name) {}

STDMETHODIMP BaseOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
    if (!receivePin) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;

    // A fully specified type is tried alone.
    if (mt && mt->majortype != GUID_NULL && mt->subtype != GUID_NULL && mt->formattype != GUID_NULL)
        return TryConnection(receivePin, *mt);

    // Otherwise the receiver's preferences first, then ours.
    ComPtr<IEnumMediaTypes> en;
    if (SUCCEEDED(receivePin->EnumMediaTypes(&en)) && en) {
        AM_MEDIA_TYPE* candidate = nullptr;
        while (en->Next(1, &candidate, nullptr) == S_OK) {
            MediaType owned(*candidate);
            DeleteMediaType(candidate);
            if (MediaTypeMatchesPartial(owned.Get(), mt) && SUCCEEDED(TryConnection(receivePin, owned.Get())))
                return S_OK;
        }
    }
    MediaType own;
    for (int i = 0; GetMediaType(i, &own); ++i) {
        if (MediaTypeMatchesPartial(own.Get(), mt) && SUCCEEDED(TryConnection(receivePin, own.Get())))
            return S_OK;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT BaseOutputPin::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& mt) {
    if (CheckMediaType(mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    peer_ = receivePin;
    HRESULT hr = mt_.Assign(mt);
    if (SUCCEEDED(hr)) hr = receivePin->ReceiveConnection(this, &mt);
    if (SUCCEEDED(hr)) {
        ComPtr<IMemInputPin> input;
        hr = receivePin->QueryInterface(IID_PPV_ARGS(&input));
        if (SUCCEEDED(hr)) hr = DecideAllocator(input.Get());
        if (SUCCEEDED(hr)) hr = CompleteConnect(receivePin);
        if (SUCCEEDED(hr)) {
            input_ = input;
            return S_OK;
        }
        receivePin->Disconnect();
    }
    allocator_.Reset();
    shared_ = false;
    peer_.Reset();
    mt_.Clear();
    return hr;
}

HRESULT BaseOutputPin::DecideAllocator(IMemInputPin* input) {
    ALLOCATOR_PROPERTIES req{};
    input->GetAllocatorRequirements(&req);   // E_NOTIMPL leaves zeros
    ComPtr<IMemAllocator> alloc;
    HRESULT hr = input->GetAllocator(&alloc);
    if (SUCCEEDED(hr) && alloc) {
        ALLOCATOR_PROPERTIES props = req;
        hr = DecideBufferSize(alloc.Get(), &props);
        if (SUCCEEDED(hr)) hr = input->NotifyAllocator(alloc.Get(), FALSE);
        if (SUCCEEDED(hr)) {
            allocator_ = alloc;
            return S_OK;
        }
    }
    alloc.Reset();
    hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&alloc));
    if (FAILED(hr)) return hr;
    ALLOCATOR_PROPERTIES props = req;
    hr = DecideBufferSize(alloc.Get(), &props);
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(alloc.Get(), FALSE);
    if (FAILED(hr)) return hr;
    allocator_ = alloc;
    return S_OK;
}

STDMETHODIMP BaseOutputPin::Disconnect() {
    StopFilterForDisconnect();
    std::lock_guard<std::recursive_mutex> lock(lock_);
    HRESULT hr = BasePin::Disconnect();
    if (hr == S_OK) {
        if (allocator_ && !shared_) allocator_->Decommit();
        allocator_.Reset();
        shared_ = false;
        input_.Reset();
    }
    return hr;
}

HRESULT BaseOutputPin::Active() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    // The input of a pass-through filter may be connected after its output:
    // the upstream allocator is offered when streaming starts.
    ComPtr<IMemAllocator> upstream = UpstreamAllocator();
    if (input_ && upstream && upstream.Get() != allocator_.Get() &&
        input_->NotifyAllocator(upstream.Get(), TRUE) == S_OK) {
        allocator_ = upstream;
        shared_ = true;
    }
    return allocator_ && !shared_ ? allocator_->Commit() : S_OK;
}

bool BaseOutputPin::SharesUpstreamAllocator() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return shared_;
}

HRESULT BaseOutputPin::Inactive() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return allocator_ && !shared_ ? allocator_->Decommit() : S_OK;
}

HRESULT BaseOutputPin::GetDeliveryBuffer(IMediaSample** sample) {
    ComPtr<IMemAllocator> alloc;
    {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        alloc = allocator_;
    }
    if (!alloc) return VFW_E_NO_ALLOCATOR;
    return alloc->GetBuffer(sample, nullptr, nullptr, 0);
}

HRESULT BaseOutputPin::Deliver(IMediaSample* sample) {
    ComPtr<IMemInputPin> input;
    {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        input = input_;
    }
    if (!input) return VFW_E_NOT_CONNECTED;
    return input->Receive(sample);
}

HRESULT BaseOutputPin::DeliverEndOfStream() {
    ComPtr<IPin> peer;
    {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        peer = peer_;
    }
    return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

// ---- BaseInputPin --------------------------------------------------------------

BaseInputPin::BaseInputPin(BaseFilter* filter, const wchar_t* name)
    : BasePin(filter, PINDIR_INPUT, name) {}

HRESULT BaseInputPin::QueryPinInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMemInputPin) {
        *ppv = static_cast<IMemInputPin*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP BaseInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
    if (!connector || !mt) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (CheckMediaType(*mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = mt_.Assign(*mt);
    if (FAILED(hr)) return hr;
    peer_ = connector;
    hr = CompleteConnect(connector);
    if (FAILED(hr)) {
        peer_.Reset();
        mt_.Clear();
    }
    return hr;
}

STDMETHODIMP BaseInputPin::Disconnect() {
    StopFilterForDisconnect();
    std::lock_guard<std::recursive_mutex> lock(lock_);
    HRESULT hr = BasePin::Disconnect();
    if (hr == S_OK) allocator_.Reset();
    return hr;
}

STDMETHODIMP BaseInputPin::GetAllocator(IMemAllocator** alloc) {
    if (!alloc) return E_POINTER;
    *alloc = nullptr;
    return VFW_E_NO_ALLOCATOR;   // the upstream pin brings its own
}

STDMETHODIMP BaseInputPin::NotifyAllocator(IMemAllocator* alloc, BOOL) {
    if (!alloc) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    allocator_ = alloc;
    return S_OK;
}

STDMETHODIMP BaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (!samples || !processed) return E_POINTER;
    HRESULT hr = S_OK;
    *processed = 0;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

// ---- BaseFilter --------------------------------------------------------------

BaseFilter::BaseFilter(const CLSID& clsid, const wchar_t* defaultName)
    : name_(defaultName), clsid_(clsid) {}

BaseFilter::~BaseFilter() = default;

STDMETHODIMP BaseFilter::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
        *ppv = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT hr = QueryFilterInterface(riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

STDMETHODIMP_(ULONG) BaseFilter::AddRef() { return ++ref_; }

STDMETHODIMP_(ULONG) BaseFilter::Release() {
    ULONG r = --ref_;
    if (r == 0) delete this;
    return r;
}

STDMETHODIMP BaseFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP BaseFilter::Stop() {
    std::lock_guard<std::recursive_mutex> lock(stateLock_);
    HRESULT hr = S_OK;
    if (state_ == State_Running) hr = OnPauseFromRun();
    if (state_ != State_Stopped) {
        HRESULT stopHr = OnStop();
        if (SUCCEEDED(hr)) hr = stopHr;
    }
    state_ = State_Stopped;
    return hr;
}

// A failed transition is also sent to the graph as EC_ERRORABORT: some
// graphs (Wine's) do not pass a filter's failure on from Run or Pause, and
// the application learns why from the event.
STDMETHODIMP BaseFilter::Pause() {
    std::lock_guard<std::recursive_mutex> lock(stateLock_);
    if (state_ == State_Stopped) {
        HRESULT hr = OnActivate();
        if (FAILED(hr)) {
            NotifyEvent(EC_ERRORABORT, hr, 0);
            return hr;
        }
    } else if (state_ == State_Running) {
        HRESULT hr = OnPauseFromRun();
        if (FAILED(hr)) return hr;
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP BaseFilter::Run(REFERENCE_TIME start) {
    std::lock_guard<std::recursive_mutex> lock(stateLock_);
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    {
        std::lock_guard<std::mutex> clk(clockLock_);
        start_ = start;
    }
    HRESULT hr = OnRun(start);
    if (FAILED(hr)) {
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP BaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(stateLock_);
    *state = state_;
    return state_ == State_Paused ? PausedStateResult() : S_OK;
}

STDMETHODIMP BaseFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard<std::mutex> lock(clockLock_);
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP BaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard<std::mutex> lock(clockLock_);
    *clock = clock_.Get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
}

STDMETHODIMP BaseFilter::EnumPins(IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) EnumPinsImpl(this, 0);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP BaseFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    for (int i = 0; i < PinCount(); ++i) {
        if (PinAt(i)->Name() == id) {
            *pin = PinAt(i);
            (*pin)->AddRef();
            return S_OK;
        }
    }
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP BaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    std::lock_guard<std::mutex> lock(clockLock_);
    lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP BaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    std::lock_guard<std::mutex> lock(clockLock_);
    graph_ = graph;
    if (name) name_ = name;
    return S_OK;
}

FILTER_STATE BaseFilter::State() const {
    return state_;
}

REFERENCE_TIME BaseFilter::StreamTime() const {
    std::lock_guard<std::mutex> lock(clockLock_);
    REFERENCE_TIME now = 0;
    if (!clock_ || FAILED(clock_->GetTime(&now))) return 0;
    return now > start_ ? now - start_ : 0;
}

void BaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
    ComPtr<IMediaEventSink> sink;
    {
        std::lock_guard<std::mutex> lock(clockLock_);
        if (graph_) graph_->QueryInterface(IID_PPV_ARGS(&sink));
    }
    if (sink) sink->Notify(code, param1, param2);
}

} // namespace mirvak::direct_show
