// The built-in ASF writer filter in real Wine filter graphs, fed by a tone
// source built on the same base classes, its files read back with the
// media tests' ASF reader.
#include "media/asf/asf_test_support.h"
#include "media/dshow/AsfWriterFilter.h"
#include "media/dshow/MediaLayer.h"
#include "media/dshow/WmProfiles.h"
#include "harness/TestFolder.h"

#include <atomic>
#include <cmath>
#include <thread>

using namespace mirvak::direct_show;
using asftest::AsfFile;
using tonbar::test::ComScope;
using TempDir = tonbar::test::TestFolder;

namespace {

// A built-in profile of the given stream.
ComPtr<IWMProfile> Profile(uint32_t bitRate, uint32_t rate, uint16_t channels) {
    mirvak::media::AudioProfile p;
    p.bitRate = bitRate;
    p.sampleRate = rate;
    p.channels = channels;
    ComPtr<IWMProfile> out;
    EXPECT_EQ(S_OK, mirvak::media::CreateBuiltInProfile(p, &out));
    return out;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

AsfFile Read(const std::wstring& path) { return asftest::ParseAsf(asftest::ReadBytes(path)); }

// Source filter delivering a 440 Hz sine as 16-bit PCM, 100 ms a sample, five
// times faster than real time, from Run until Pause/Stop.
class ToneSource : public BaseFilter {
public:
    ToneSource(DWORD rate, WORD channels) : BaseFilter(GUID_NULL, L"Tone"), pin_(this, rate, channels) {}
    ~ToneSource() override { Halt(); }
    int PinCount() override { return 1; }
    BasePin* PinAt(int i) override { return i == 0 ? &pin_ : nullptr; }
    // Seconds of sound delivered.
    double Delivered() const { return double(frames_) / pin_.rate; }

protected:
    HRESULT OnActivate() override { return pin_.Active(); }
    HRESULT OnRun(REFERENCE_TIME) override {
        stop_ = false;
        thread_ = std::thread([this] { Loop(); });
        return S_OK;
    }
    HRESULT OnPauseFromRun() override { return Halt(), S_OK; }
    HRESULT OnStop() override { return Halt(), pin_.Inactive(); }

private:
    struct Pin : BaseOutputPin {
        Pin(BaseFilter* f, DWORD r, WORD ch) : BaseOutputPin(f, L"Out"), rate(r), channels(ch), type(MakePcmType(r, ch)) {}
        HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
            DWORD r = 0;
            WORD ch = 0;
            return GetPcm16Format(mt, &r, &ch) && r == rate && ch == channels ? S_OK : S_FALSE;
        }
        bool GetMediaType(int i, MediaType* out) override { return i == 0 && (*out = type, true); }
        HRESULT DecideBufferSize(IMemAllocator* a, ALLOCATOR_PROPERTIES* p) override {
            p->cBuffers = 4;
            p->cbBuffer = static_cast<long>(rate / 10 * channels * 2);
            p->cbAlign = 1;
            ALLOCATOR_PROPERTIES actual;
            return a->SetProperties(p, &actual);
        }
        DWORD rate;
        WORD channels;
        MediaType type;
    };

    void Halt() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    void Loop() {
        const DWORD frames = pin_.rate / 10;
        while (!stop_) {
            ComPtr<IMediaSample> s;
            if (FAILED(pin_.GetDeliveryBuffer(&s))) return;
            BYTE* p;
            s->GetPointer(&p);
            auto* pcm = reinterpret_cast<int16_t*>(p);
            for (DWORD i = 0; i < frames; ++i)
                for (WORD c = 0; c < pin_.channels; ++c)
                    pcm[i * pin_.channels + c] =
                        static_cast<int16_t>(12000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * double(frames_ + i) / pin_.rate));
            s->SetActualDataLength(static_cast<long>(frames * pin_.channels * 2));
            if (pin_.Deliver(s.Get()) != S_OK) return;
            frames_ += frames;
            Sleep(20);
        }
    }

    Pin pin_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> frames_{0};
    std::thread thread_;
};

// A filter graph holding a tone source connected to a built-in writer,
// through a Smart Tee's capture pin if `tee`.
struct ToneGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<ToneSource> source;
    ComPtr<IBaseFilter> writer, tee;

    HRESULT Build(DWORD rate, WORD channels, IWMProfile* profile, const std::wstring& file, bool withTee = false) {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
        if (FAILED(hr) || FAILED(hr = CreateAsfWriterFilter(&writer))) return hr;
        graph.As(&control);
        source.Attach(new ToneSource(rate, channels));
        ComPtr<IConfigAsfWriter> cfg;
        ComPtr<IFileSinkFilter> sink;
        writer.As(&cfg);
        writer.As(&sink);
        ComPtr<IPin> out, in, teeIn;
        if (FAILED(hr = cfg->ConfigureFilterUsingProfile(profile)) || FAILED(hr = sink->SetFileName(file.c_str(), nullptr)) ||
            FAILED(hr = graph->AddFilter(source.Get(), L"Tone")) || FAILED(hr = graph->AddFilter(writer.Get(), L"ASF Writer")) ||
            FAILED(hr = source->FindPin(L"Out", &out)) || FAILED(hr = writer->FindPin(L"Audio Input 01", &in)))
            return hr;
        if (withTee) {
            if (FAILED(hr = CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tee))) ||
                FAILED(hr = graph->AddFilter(tee.Get(), L"Tee")) || FAILED(hr = tee->FindPin(L"Input", &teeIn)) ||
                FAILED(hr = graph->ConnectDirect(out.Get(), teeIn.Get(), nullptr)))
                return hr;
            out.Reset();
            if (FAILED(hr = tee->FindPin(L"Capture", &out))) return hr;
        }
        return graph->ConnectDirect(out.Get(), in.Get(), nullptr);
    }
    // Runs for `ms` and stops; the file then holds what was delivered.
    void Record(DWORD ms) {
        ASSERT_EQ(S_OK, control->Run());
        Sleep(ms);
        ASSERT_EQ(S_OK, control->Stop());
    }
    ~ToneGraph() {
        for (IBaseFilter* f : {writer.Get(), tee.Get(), static_cast<IBaseFilter*>(source.Get())})
            if (graph && f) graph->RemoveFilter(f);
    }
};

} // namespace

// Each system profile makes the pin prefer exactly its PCM format; the pin
// takes 16-bit PCM only, at any rate (the writer converts).
TEST(AsfWriterFilter, ProfilesSetThePinsPreferredFormat) {
    ComScope com;
    ComPtr<IWMProfileManager> manager;
    ASSERT_EQ(S_OK, mirvak::media::CreateBuiltInProfileManager(&manager));
    for (const auto& p : mirvak::media::SystemAudioProfiles()) {
        SCOPED_TRACE(p.bitRate);
        ComPtr<IBaseFilter> f;
        ASSERT_EQ(S_OK, CreateAsfWriterFilter(&f));
        ComPtr<IConfigAsfWriter> cfg;
        ASSERT_EQ(S_OK, f.As(&cfg));
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(S_OK, manager->LoadProfileByID(mirvak::media::ToGuid(p.id), &profile));
        EXPECT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(profile.Get()));
        ComPtr<IPin> in;
        ComPtr<IEnumMediaTypes> types;
        AM_MEDIA_TYPE* mt = nullptr;
        ASSERT_EQ(S_OK, f->FindPin(L"Audio Input 01", &in));
        ASSERT_EQ(S_OK, in->EnumMediaTypes(&types));
        ASSERT_EQ(S_OK, types->Next(1, &mt, nullptr));
        DWORD rate = 0;
        WORD channels = 0;
        EXPECT_TRUE(GetPcm16Format(*mt, &rate, &channels));
        DeleteMediaType(mt);
        EXPECT_EQ(p.sampleRate, rate);
        EXPECT_EQ(p.channels, channels);
        // The input pin takes 16-bit PCM only.
        MediaType pcm8 = MakePcmType(44100, 2);
        reinterpret_cast<WAVEFORMATEX*>(pcm8.Get().pbFormat)->wBitsPerSample = 8;
        EXPECT_EQ(S_FALSE, in->QueryAccept(&pcm8.Get()));
        EXPECT_EQ(S_OK, in->QueryAccept(&MakePcmType(22050, 1).Get()));
    }
}

// An unwritable path (the recordings' folder is gone) fails the run and
// leaves no file.
TEST(AsfWriterFilter, UnwritablePathFailsTheRun) {
    ComScope com;
    TempDir dir;
    ToneGraph g;
    const std::wstring missing = dir.File(L"missing\\a.wma");
    ASSERT_EQ(S_OK, g.Build(44100, 2, Profile(64000, 44100, 2).Get(), missing));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), g.control->Run());
    g.control->Stop();
    EXPECT_FALSE(FileExists(missing));
}

// Each Stop completes the file (size and duration in the header, the index
// after the data); while running the file grows readable, and settings are
// refused without harm to the recording.
TEST(AsfWriterFilter, RunStopTwiceWritesCompleteFilesReadableWhileRecording) {
    ComScope com;
    TempDir dir;
    ToneGraph g;
    const std::wstring file = dir.File(L"tone.wma");
    ASSERT_EQ(S_OK, g.Build(44100, 2, Profile(128000, 44100, 2).Get(), file));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const double before = g.source->Delivered();
        ASSERT_EQ(S_OK, g.control->Run());
        Sleep(500);
        const size_t early = asftest::ReadBytes(file).size();
        EXPECT_EQ(Read(file).topLevel.at(0).guid, asftest::kGuidHeader) << "readable while recording";
        ComPtr<IConfigAsfWriter> cfg;
        g.writer.As(&cfg);
        EXPECT_EQ(VFW_E_WRONG_STATE, cfg->ConfigureFilterUsingProfile(Profile(32000, 32000, 2).Get()));
        ComPtr<IFileSinkFilter> sink;
        g.writer.As(&sink);
        EXPECT_EQ(VFW_E_WRONG_STATE, sink->SetFileName(dir.File(L"other.wma").c_str(), nullptr));
        Sleep(700);
        const size_t later = asftest::ReadBytes(file).size();
        EXPECT_EQ(S_OK, g.control->Stop());
        EXPECT_GT(later, early);
        const std::vector<uint8_t> bytes = asftest::ReadBytes(file);
        EXPECT_GT(bytes.size(), later) << "the index follows at Stop";
        AsfFile f = asftest::ParseAsf(bytes);
        EXPECT_EQ(bytes.size(), f.fileSize);
        EXPECT_TRUE(f.hasIndex);
        EXPECT_GT(f.packetCount, 0u);
        EXPECT_GT(g.source->Delivered() - before, 0.5);
        EXPECT_NEAR(g.source->Delivered() - before, f.Seconds(), 0.15);  // up to a block of padding
    }
    EXPECT_FALSE(FileExists(dir.File(L"other.wma")));
}

// Other PCM is converted to the profile's format: the file lasts as long as
// what was delivered. Behind a Smart Tee the writer takes the tee's input
// type (Wine's tee lets its output connect with the writer's preferred type
// all the same, which made 44100 Hz stereo run four times too long as
// 22050 Hz mono). With TONBAR_TONE_WMA set (tone_test.sh), only 22050 Hz mono
// into a 32000 Hz stereo profile runs, into that file for ffmpeg to judge.
TEST(AsfWriterFilter, ConvertsOtherPcmToTheProfileFormat) {
    ComScope com;
    TempDir dir;
    wchar_t toneFile[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TONBAR_TONE_WMA", toneFile, MAX_PATH);
    struct Case { DWORD rate; WORD channels; uint32_t bitRate, profileRate; WORD profileChannels; bool tee; } cases[] = {
        {22050, 1, 64000, 44100, 2, false}, {48000, 2, 64000, 44100, 2, false}, {44100, 1, 64000, 44100, 2, false},
        {22050, 1, 32000, 32000, 2, false}, {44100, 2, 20000, 22050, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + (c.tee ? " behind a tee" : ""));
        ToneGraph g;
        const bool tone = toneFile[0] && c.profileRate == 32000;
        if (toneFile[0] && !tone) continue;  // tone_test.sh wants only its file
        const std::wstring file = tone ? toneFile : dir.File(L"conv.wma");
        ASSERT_EQ(S_OK, g.Build(c.rate, c.channels, Profile(c.bitRate, c.profileRate, c.profileChannels).Get(), file,
                                c.tee));
        ComPtr<IPin> in;
        AM_MEDIA_TYPE mt{};
        ASSERT_EQ(S_OK, g.writer->FindPin(L"Audio Input 01", &in));
        ASSERT_EQ(S_OK, in->ConnectionMediaType(&mt));
        DWORD rate = 0;
        WORD channels = 0;
        EXPECT_TRUE(GetPcm16Format(mt, &rate, &channels));
        FreeMediaTypeContents(mt);
        EXPECT_EQ(c.rate, rate);
        EXPECT_EQ(c.channels, channels);
        g.Record(tone ? 600 : 500);
        EXPECT_GT(g.source->Delivered(), 0.3);
        EXPECT_NEAR(g.source->Delivered(), Read(file).Seconds(), 0.15);
    }
}
