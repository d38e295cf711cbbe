#include "media/dshow/AsfWriterFilter.h"

#include "media/asf/AsfWriter.h"
#include "media/dshow/Win32File.h"
#include "media/profiles/ProfileCatalogue.h"
#include "media/wma/WmaEncoder.h"

#include <mmreg.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace mirvak::direct_show {

// {261AC5E3-3F3E-49B8-BFA6-9981BE6B04FD}
const CLSID CLSID_TonbarAsfWriter = {
    0x261ac5e3, 0x3f3e, 0x49b8, {0xbf, 0xa6, 0x99, 0x81, 0xbe, 0x6b, 0x04, 0xfd}};

namespace {

using media::HResult;

// The writer's bytes go to a file opened for sharing with readers, so the
// list of recordings and the player can read it while it grows. It is
// opened for reading too: a recording whose writing failed is finished
// from what reached the file.
class Win32FileSink : public media::IByteSink {
public:
    HRESULT Create(const std::wstring& path) {
        file_.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file_.get() == INVALID_HANDLE_VALUE) {
            file_.release();
            return HRESULT_FROM_WIN32(GetLastError());
        }
        return S_OK;
    }
    HResult Write(const void* data, size_t size) override {
        const BYTE* p = static_cast<const BYTE*>(data);
        while (size > 0) {
            DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(file_.get(), p, chunk, &written, nullptr)) return LastError();
            if (written == 0) return media::kEWriteFault;
            p += written;
            size -= written;
        }
        return S_OK;
    }
    HResult WriteAt(uint64_t offset, const void* data, size_t size) override {
        LARGE_INTEGER here{}, zero{}, at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(file_.get(), zero, &here, FILE_CURRENT)) return LastError();
        if (!SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN)) return LastError();
        HResult hr = Write(data, size);
        if (!SetFilePointerEx(file_.get(), here, nullptr, FILE_BEGIN) && SUCCEEDED(hr)) hr = LastError();
        return hr;
    }
    HResult Flush() override { return S_OK; }   // written bytes are visible to readers already
    // After a failed write: the whole packets become a finished file.
    HRESULT Salvage() {
        if (!file_) return E_UNEXPECTED;
        Win32RandomAccessFile io(file_.get());
        return media::CompleteUnfinishedAsf(io);
    }
    HRESULT Close() {
        HRESULT hr = S_OK;
        if (file_ && !FlushFileBuffers(file_.get())) hr = LastError();
        file_.reset();
        return hr;
    }

private:
    static HRESULT LastError() {
        DWORD e = GetLastError();
        return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
    }
    UniqueHandle file_;
};

// 16-bit PCM from the connected format to the encoder's: channels mixed or
// duplicated, rate changed by linear interpolation (kept across samples).
class PcmConverter {
public:
    void Reset(DWORD inRate, WORD inChannels, DWORD outRate, WORD outChannels) {
        inRate_ = inRate;
        inCh_ = inChannels;
        outRate_ = outRate;
        outCh_ = outChannels;
        pending_.clear();
        pos_ = 0.0;
    }
    bool Passthrough() const { return inRate_ == outRate_ && inCh_ == outCh_; }

    // Appends the converted frames of `frames` input frames to `out`.
    void Convert(const int16_t* in, size_t frames, std::vector<int16_t>* out) {
        out->clear();
        if (inRate_ == outRate_) {
            out->reserve(frames * outCh_);
            for (size_t i = 0; i < frames; ++i) PushFrame(in + i * inCh_, out);
            return;
        }
        // Channel-map into the pending buffer, then interpolate.
        for (size_t i = 0; i < frames; ++i) PushFrame(in + i * inCh_, &pending_);
        const size_t have = pending_.size() / outCh_;
        const double step = static_cast<double>(inRate_) / outRate_;
        while (pos_ + 1.0 < static_cast<double>(have)) {
            size_t i = static_cast<size_t>(pos_);
            double frac = pos_ - static_cast<double>(i);
            for (WORD c = 0; c < outCh_; ++c) {
                double a = pending_[i * outCh_ + c], b = pending_[(i + 1) * outCh_ + c];
                out->push_back(static_cast<int16_t>(std::lround(a + (b - a) * frac)));
            }
            pos_ += step;
        }
        size_t drop = std::min(static_cast<size_t>(pos_), have);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(drop * outCh_));
        pos_ -= static_cast<double>(drop);
    }

private:
    void PushFrame(const int16_t* f, std::vector<int16_t>* out) const {
        if (inCh_ == outCh_) {
            out->insert(out->end(), f, f + inCh_);
        } else if (inCh_ == 2) {
            out->push_back(static_cast<int16_t>((static_cast<int>(f[0]) + f[1]) / 2));
        } else {
            out->push_back(f[0]);
            out->push_back(f[0]);
        }
    }

    DWORD inRate_ = 0, outRate_ = 0;
    WORD inCh_ = 0, outCh_ = 0;
    std::vector<int16_t> pending_;
    double pos_ = 0.0;
};

// What the writer encodes with.
struct EncodeConfig {
    uint32_t bitRate = 0;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
};

bool EncoderAccepts(const EncodeConfig& c) {
    media::WmaEncoder probe;
    return probe.Init(c.sampleRate, c.channels, c.bitRate) == media::kOk;
}

// Reads the first audio stream of a profile through the standard
// interfaces only, so any IWMProfile implementation will do.
HRESULT ReadAudioStream(IWMProfile* profile, EncodeConfig* out) {
    DWORD count = 0;
    HRESULT hr = profile->GetStreamCount(&count);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMStreamConfig> stream;
        if (FAILED(profile->GetStream(i, &stream)) || !stream) continue;
        GUID type{};
        if (FAILED(stream->GetStreamType(&type)) || type != MEDIATYPE_Audio) continue;
        DWORD bitRate = 0;
        if (FAILED(stream->GetBitrate(&bitRate))) continue;
        ComPtr<IWMMediaProps> props;
        if (FAILED(stream.As(&props))) continue;
        DWORD size = 0;
        if (FAILED(props->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE)) continue;
        std::vector<BYTE> buffer(size);
        auto* mt = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
        if (FAILED(props->GetMediaType(mt, &size))) continue;
        if (mt->formattype != FORMAT_WaveFormatEx || !mt->pbFormat || mt->cbFormat < sizeof(PCMWAVEFORMAT))
            continue;
        const auto* wf = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
        out->bitRate = bitRate;
        out->sampleRate = wf->nSamplesPerSec;
        out->channels = wf->nChannels;
        return S_OK;
    }
    return E_INVALIDARG;   // no audio stream
}

class AsfWriterFilter;

class WriterInputPin : public BaseInputPin {
public:
    WriterInputPin(AsfWriterFilter* owner);
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
    bool GetMediaType(int index, MediaType* out) override;

private:
    AsfWriterFilter* owner_;
};

class AsfWriterFilter : public BaseFilter, public IFileSinkFilter, public IConfigAsfWriter {
public:
    AsfWriterFilter() : BaseFilter(CLSID_TonbarAsfWriter, L"ASF Writer"), pin_(this) {}
    ~AsfWriterFilter() override { CloseOutput(); }   // a graph released without Stop

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return BaseFilter::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return BaseFilter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BaseFilter::Release(); }

    int PinCount() override { return 1; }
    BasePin* PinAt(int index) override { return index == 0 ? &pin_ : nullptr; }

    // IFileSinkFilter
    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) override {
        if (!name) return E_POINTER;
        if (!*name) return E_INVALIDARG;
        std::lock_guard<std::recursive_mutex> lock(stateLock_);
        if (state_ != State_Stopped) return VFW_E_WRONG_STATE;
        file_ = name;
        return S_OK;
    }
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override {
        if (!name) return E_POINTER;
        std::lock_guard<std::recursive_mutex> lock(stateLock_);
        *name = nullptr;
        if (mt) {
            std::memset(mt, 0, sizeof *mt);
            mt->majortype = MEDIATYPE_Stream;
            mt->subtype = MEDIASUBTYPE_Asf;
        }
        if (file_.empty()) return E_FAIL;
        return CoTaskStrDup(file_, name);
    }

    // IConfigAsfWriter
    STDMETHODIMP ConfigureFilterUsingProfileId(DWORD) override { return E_NOTIMPL; }  // legacy ids
    STDMETHODIMP GetCurrentProfileId(DWORD* id) override {
        if (id) *id = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP ConfigureFilterUsingProfileGuid(REFGUID guid) override {
        media::Guid key{};
        static_assert(sizeof key == sizeof(GUID));
        std::memcpy(&key, &guid, sizeof key);
        const media::AudioProfile* p = media::FindSystemAudioProfile(key);
        if (!p) return E_INVALIDARG;
        EncodeConfig c{p->bitRate, p->sampleRate, p->channels};
        std::lock_guard<std::recursive_mutex> lock(stateLock_);
        if (state_ != State_Stopped) return VFW_E_WRONG_STATE;
        if (!EncoderAccepts(c)) return E_INVALIDARG;
        config_ = c;
        configured_ = true;
        profile_.Reset();
        profileGuid_ = guid;
        return S_OK;
    }
    STDMETHODIMP GetCurrentProfileGuid(GUID* guid) override {
        if (!guid) return E_POINTER;
        std::lock_guard<std::recursive_mutex> lock(stateLock_);
        *guid = profileGuid_;   // GUID_NULL for a profile given as an object
        return configured_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP ConfigureFilterUsingProfile(IWMProfile* profile) override {
        if (!profile) return E_INVALIDARG;
        EncodeConfig c;
        HRESULT hr = ReadAudioStream(profile, &c);
        if (FAILED(hr)) return hr;
        if (!EncoderAccepts(c)) return E_INVALIDARG;
        std::lock_guard<std::recursive_mutex> lock(stateLock_);
        if (state_ != State_Stopped) return VFW_E_WRONG_STATE;
        config_ = c;
        configured_ = true;
        profile_ = profile;
        profileGuid_ = GUID_NULL;
        return S_OK;
    }
    STDMETHODIMP GetCurrentProfile(IWMProfile** profile) override {
        if (!profile) return E_POINTER;
        std::lock_guard<std::recursive_mutex> lock(stateLock_);
        *profile = profile_.Get();
        if (!*profile) return E_FAIL;
        (*profile)->AddRef();
        return S_OK;
    }
    // The index is always written; the mode is kept for the caller.
    STDMETHODIMP SetIndexMode(BOOL index) override {
        indexMode_ = index;
        return S_OK;
    }
    STDMETHODIMP GetIndexMode(BOOL* index) override {
        if (!index) return E_POINTER;
        *index = indexMode_;
        return S_OK;
    }

    bool Configured(EncodeConfig* c) {
        std::lock_guard<std::recursive_mutex> lock(stateLock_);
        if (c) *c = config_;
        return configured_;
    }

    HRESULT Write(IMediaSample* sample) {
        std::lock_guard<std::mutex> lock(streamLock_);
        if (!open_ || State() == State_Stopped) return VFW_E_WRONG_STATE;
        if (FAILED(streamError_)) return streamError_;
        BYTE* data = nullptr;
        HRESULT hr = sample->GetPointer(&data);
        if (FAILED(hr)) return hr;
        long bytes = sample->GetActualDataLength();
        size_t frames = bytes > 0 ? static_cast<size_t>(bytes) / inBlockAlign_ : 0;
        if (frames == 0) return S_OK;
        const int16_t* pcm = reinterpret_cast<const int16_t*>(data);
        if (!converter_.Passthrough()) {
            converter_.Convert(pcm, frames, &converted_);
            pcm = converted_.data();
            frames = converted_.size() / config_.channels;
        }
        hr = Encode(pcm, frames);
        framesIn_ += frames;
        if (FAILED(hr)) {
            streamError_ = hr;
            NotifyEvent(EC_ERRORABORT, hr, 0);
        }
        return hr;
    }

    HRESULT EndOfInput() {
        {
            std::lock_guard<std::mutex> lock(streamLock_);
            if (open_ && SUCCEEDED(streamError_)) {
                HRESULT hr = FlushEncoder();
                if (FAILED(hr)) streamError_ = hr;
            }
        }
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
        return S_OK;
    }

protected:
    HRESULT QueryFilterInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IFileSinkFilter) {
            *ppv = static_cast<IFileSinkFilter*>(this);
        } else if (riid == __uuidof(IConfigAsfWriter)) {
            *ppv = static_cast<IConfigAsfWriter*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    // Leaving the stopped state opens the file, so a failure shows in Run.
    HRESULT OnActivate() override {
        if (!configured_) return E_UNEXPECTED;
        if (file_.empty()) return E_UNEXPECTED;
        if (!pin_.IsConnected()) return VFW_E_NOT_CONNECTED;
        DWORD inRate = 0;
        WORD inChannels = 0;
        if (!GetPcm16Format(pin_.ConnectedType().Get(), &inRate, &inChannels)) return VFW_E_TYPE_NOT_ACCEPTED;

        std::lock_guard<std::mutex> lock(streamLock_);
        encoder_ = std::make_unique<media::WmaEncoder>();
        asf_ = std::make_unique<media::AsfWriter>();
        HRESULT hr = encoder_->Init(config_.sampleRate, config_.channels, config_.bitRate);
        if (SUCCEEDED(hr)) hr = sink_.Create(file_);
        if (SUCCEEDED(hr)) {
            hr = asf_->Open(&sink_, encoder_->Format(), encoder_->FramesPerBlock(), config_.bitRate);
            if (FAILED(hr)) {
                sink_.Close();
                DeleteFileW(file_.c_str());   // a header-less file is of no use
            }
        }
        if (FAILED(hr)) {
            encoder_.reset();
            asf_.reset();
            return hr;
        }
        converter_.Reset(inRate, inChannels, config_.sampleRate, config_.channels);
        inBlockAlign_ = inChannels * 2u;
        streamError_ = S_OK;
        framesIn_ = 0;
        open_ = true;
        return S_OK;
    }

    HRESULT OnStop() override { return CloseOutput(); }

private:
    HRESULT Encode(const int16_t* pcm, size_t frames) {
        HRESULT writeHr = S_OK;
        HRESULT hr = encoder_->Encode(pcm, frames, [&](const uint8_t* block, size_t size) {
            if (SUCCEEDED(writeHr)) writeHr = asf_->WriteBlock(block, size);
        });
        return FAILED(hr) ? hr : writeHr;
    }

    HRESULT FlushEncoder() {
        HRESULT writeHr = S_OK;
        HRESULT hr = encoder_->Flush([&](const uint8_t* block, size_t size) {
            if (SUCCEEDED(writeHr)) writeHr = asf_->WriteBlock(block, size);
        });
        return FAILED(hr) ? hr : writeHr;
    }

    // Flushes the encoder, completes the header and index, closes the file.
    HRESULT CloseOutput() {
        std::lock_guard<std::mutex> lock(streamLock_);
        if (!open_) return S_OK;
        open_ = false;
        HRESULT hr = SUCCEEDED(streamError_) ? FlushEncoder() : S_OK;
        // The durations end with the sound, not with the last block's padding.
        asf_->SetInputFrames(framesIn_);
        HRESULT closeHr = asf_->Close();
        // Writing failed on the way (a full disk, a lost drive): keep what
        // was written, finished so that it plays and seeks. The recording
        // still counts as failed.
        if (FAILED(closeHr)) sink_.Salvage();
        HRESULT fileHr = sink_.Close();
        encoder_.reset();
        asf_.reset();
        if (SUCCEEDED(hr)) hr = closeHr;
        if (SUCCEEDED(hr)) hr = fileHr;
        // A failure while streaming was reported when it happened.
        if (FAILED(hr) && SUCCEEDED(streamError_)) NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }

    WriterInputPin pin_;
    // Configuration, under the state lock.
    std::wstring file_;
    ComPtr<IWMProfile> profile_;
    GUID profileGuid_ = GUID_NULL;
    EncodeConfig config_;
    bool configured_ = false;
    std::atomic<BOOL> indexMode_{TRUE};
    // Output, under the stream lock.
    std::mutex streamLock_;
    bool open_ = false;
    Win32FileSink sink_;
    std::unique_ptr<media::WmaEncoder> encoder_;
    std::unique_ptr<media::AsfWriter> asf_;
    PcmConverter converter_;
    std::vector<int16_t> converted_;
    unsigned inBlockAlign_ = 4;
    uint64_t framesIn_ = 0;       // PCM frames given to the encoder
    HRESULT streamError_ = S_OK;
};

WriterInputPin::WriterInputPin(AsfWriterFilter* owner) : BaseInputPin(owner, L"Audio Input 01"), owner_(owner) {}

// A Smart Tee copies its input to its outputs unchanged, but Wine's lets an
// output connect with any type: from a tee, only the type of its input is
// what the samples really are.
STDMETHODIMP WriterInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
    if (!connector || !mt) return E_POINTER;
    PIN_INFO info{};
    if (SUCCEEDED(connector->QueryPinInfo(&info)) && info.pFilter) {
        ComPtr<IBaseFilter> filter;
        filter.Attach(info.pFilter);
        CLSID clsid{};
        if (SUCCEEDED(filter->GetClassID(&clsid)) && clsid == CLSID_SmartTee) {
            ComPtr<IPin> input;
            AM_MEDIA_TYPE in{};
            if (FAILED(filter->FindPin(L"Input", &input)) || !input || FAILED(input->ConnectionMediaType(&in)))
                return VFW_E_TYPE_NOT_ACCEPTED;
            DWORD inRate = 0, rate = 0;
            WORD inChannels = 0, channels = 0;
            bool same = GetPcm16Format(in, &inRate, &inChannels) && GetPcm16Format(*mt, &rate, &channels) &&
                        inRate == rate && inChannels == channels;
            FreeMediaTypeContents(in);
            if (!same) return VFW_E_TYPE_NOT_ACCEPTED;
        }
    }
    return BaseInputPin::ReceiveConnection(connector, mt);
}

STDMETHODIMP WriterInputPin::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    return owner_->Write(sample);
}

STDMETHODIMP WriterInputPin::EndOfStream() { return owner_->EndOfInput(); }

HRESULT WriterInputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
    if (!owner_->Configured(nullptr)) return VFW_E_TYPE_NOT_ACCEPTED;
    DWORD rate = 0;
    WORD channels = 0;
    if (!GetPcm16Format(mt, &rate, &channels)) return VFW_E_TYPE_NOT_ACCEPTED;
    return rate >= 8000 && rate <= 96000 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

bool WriterInputPin::GetMediaType(int index, MediaType* out) {
    EncodeConfig c;
    if (index != 0 || !owner_->Configured(&c)) return false;
    *out = MakePcmType(c.sampleRate, c.channels);
    return true;
}

} // namespace

HRESULT CreateAsfWriterFilter(IBaseFilter** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) AsfWriterFilter();
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace mirvak::direct_show
