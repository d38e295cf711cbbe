// The built-in profile objects (Wine's own manager cannot load profiles) and ASF writer filter in real
// Wine filter graphs, fed by a tone source on the same base classes; files read back with the ASF reader.
#include "media/asf/asf_test_support.h"
#include "media/dshow/AsfWriterFilter.h"
#include "media/dshow/MediaLayer.h"
#include "media/dshow/WmProfiles.h"
#include "harness/TestFolder.h"

#include <mmreg.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace mirvak::direct_show;
using namespace mirvak::media;
using asftest::AsfFile;
using tonbar::test::ComScope;
using TempDir = tonbar::test::TestFolder;

namespace {

// GetName/GetDescription the way the recorder reads them.
std::wstring ReadName(IWMProfile* p, bool description = false) {
    DWORD n = 0;
    EXPECT_EQ(description ? p->GetDescription(nullptr, &n) : p->GetName(nullptr, &n), S_OK);
    std::vector<WCHAR> buf(n + 1);
    EXPECT_EQ(description ? p->GetDescription(buf.data(), &n) : p->GetName(buf.data(), &n), S_OK);
    EXPECT_EQ(std::wstring(buf.data()).size() + 1, n) << "the length counts the terminator";
    return buf.data();
}

// A built-in profile of the given stream.
ComPtr<IWMProfile> Profile(uint32_t bitRate, uint32_t rate, uint16_t channels) {
    ComPtr<IWMProfile> out;
    EXPECT_EQ(S_OK, CreateBuiltInProfile({.bitRate = bitRate, .sampleRate = rate, .channels = channels}, &out));
    return out;
}

// The rate and channels of a 16-bit PCM type, {0, 0} for any other.
std::pair<DWORD, WORD> Pcm16(const AM_MEDIA_TYPE& mt) {
    DWORD rate = 0;
    WORD channels = 0;
    return GetPcm16Format(mt, &rate, &channels) ? std::pair{rate, channels} : std::pair<DWORD, WORD>{};
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

AsfFile Read(const std::wstring& path) { return asftest::ParseAsf(asftest::ReadBytes(path)); }

// Every test checks that no built-in profile object outlives it.
class WmProfiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateBuiltInProfileManager(&manager_), S_OK); }
    void TearDown() override {
        manager_.Reset();
        EXPECT_EQ(BuiltInProfileObjectsAlive(), alive_) << "a built-in object leaked";
    }
    ComScope com_;
    const long alive_ = BuiltInProfileObjectsAlive();
    ComPtr<IWMProfileManager> manager_;
};

} // namespace

// Each system profile by its ID, and a .prx text: the catalogue's name and description (stream count
// and bit rate: the recorder's profile tests); configured into a writer filter, its pin prefers exactly
// the profile's PCM format (read through the stream's media type) and takes 16-bit PCM only, at any rate.
TEST_F(WmProfiles, EveryProfileReadsLikeTheCatalogueSetsTheWritersFormatAndIsFreedOnce) {
    const std::wstring prx =
        L"\xFEFF<profile version=\"589824\" name=\"Hlas &amp; hudba\" description=\"Vlastní\">"
        L"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" bitrate=\"32024\">"
        L"<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" lsamplesize=\"1487\">"
        L"<waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"22050\" nAvgBytesPerSec=\"4003\" "
        L"nBlockAlign=\"1487\" wBitsPerSample=\"16\" codecdata=\"0044000017003D170000\"/>"
        L"</wmmediatype></streamconfig></profile>\r\n";
    const GUID ids[8] = {WMProfile_V80_288MonoAudio,  WMProfile_V80_288StereoAudio, WMProfile_V80_32StereoAudio,
                         WMProfile_V80_48StereoAudio, WMProfile_V80_64StereoAudio,  WMProfile_V80_96StereoAudio,
                         WMProfile_V80_128StereoAudio, GUID_NULL};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const AudioProfile expected =
            i < 7 ? SystemAudioProfiles()[i]
                  : AudioProfile{.name = u"Hlas & hudba", .description = u"Vlastní", .bitRate = 32024,
                                 .sampleRate = 22050, .channels = 2};
        ComPtr<IWMProfile> profile;
        const HRESULT loaded = i < 7 ? manager_->LoadProfileByID(ids[i], &profile)
                                     : manager_->LoadProfileByData(prx.c_str(), &profile);
        ASSERT_EQ(loaded, S_OK);
        EXPECT_EQ(ReadName(profile.Get()), std::wstring(expected.name.begin(), expected.name.end()));
        EXPECT_EQ(ReadName(profile.Get(), true),
                  std::wstring(expected.description.begin(), expected.description.end()));

        ComPtr<IBaseFilter> writer;
        ComPtr<IConfigAsfWriter> cfg;
        ComPtr<IPin> in;
        ComPtr<IEnumMediaTypes> types;
        AM_MEDIA_TYPE* mt = nullptr;
        ASSERT_EQ(S_OK, CreateAsfWriterFilter(&writer));
        ASSERT_EQ(S_OK, writer.As(&cfg));
        EXPECT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(profile.Get()));
        ASSERT_EQ(S_OK, writer->FindPin(L"Audio Input 01", &in));
        ASSERT_EQ(S_OK, in->EnumMediaTypes(&types));
        ASSERT_EQ(S_OK, types->Next(1, &mt, nullptr));
        EXPECT_EQ(Pcm16(*mt), std::pair(DWORD(expected.sampleRate), WORD(expected.channels)));
        DeleteMediaType(mt);
        MediaType pcm8 = MakePcmType(44100, 2);
        reinterpret_cast<WAVEFORMATEX*>(pcm8.Get().pbFormat)->wBitsPerSample = 8;
        EXPECT_EQ(S_FALSE, in->QueryAccept(&pcm8.Get()));
        EXPECT_EQ(S_OK, in->QueryAccept(&MakePcmType(22050, 1).Get()));
    }
    // (An unknown ID is refused through the recorder's profile tests.)
    ComPtr<IWMProfile> profile;
    std::wstring pcm = prx;
    pcm.replace(pcm.find(L"\"353\""), 5, L"\"1\"");
    EXPECT_EQ(manager_->LoadProfileByData(prx.substr(0, 200).c_str(), &profile), HRESULT(kEInvalidData));
    EXPECT_EQ(manager_->LoadProfileByData(pcm.c_str(), &profile), E_INVALIDARG);
    EXPECT_EQ(profile, nullptr);

    // The stream outlives its profile; its two interfaces share one count.
    ComPtr<IWMStreamConfig> config;
    ComPtr<IWMMediaProps> props;
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(manager_->LoadProfileByID(WMProfile_V80_96StereoAudio, &profile), S_OK);
    ASSERT_EQ(profile->GetStream(0, &config), S_OK);
    ASSERT_EQ(config.As(&props), S_OK);
    ASSERT_EQ(profile.As(&unknown), S_OK);
    EXPECT_EQ(BuiltInProfileObjectsAlive(), alive_ + 3);
    unknown.Reset();
    EXPECT_EQ(profile.Reset(), 0u);
    EXPECT_EQ(BuiltInProfileObjectsAlive(), alive_ + 2);
    DWORD bitRate = 0;
    EXPECT_EQ(config->GetBitrate(&bitRate), S_OK);
    EXPECT_EQ(bitRate, 96000u);
    EXPECT_EQ(config.Reset(), 1u);
    EXPECT_EQ(props.Reset(), 0u);
    EXPECT_EQ(manager_.Reset(), 0u);
    EXPECT_EQ(BuiltInProfileObjectsAlive(), alive_);
}

namespace {

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
            return Pcm16(mt) == std::pair(rate, channels) ? S_OK : S_FALSE;
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
    ComPtr<IConfigAsfWriter> cfg;
    ComPtr<IFileSinkFilter> sink;

    HRESULT Build(DWORD rate, WORD channels, IWMProfile* profile, const std::wstring& file, bool withTee = false) {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
        if (FAILED(hr) || FAILED(hr = CreateAsfWriterFilter(&writer))) return hr;
        graph.As(&control);
        source.Attach(new ToneSource(rate, channels));
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

// An unwritable path (the recordings' folder is gone) fails the run and leaves no file; each Stop
// completes the file, which is readable while it grows.
TEST(AsfWriterFilter, RunStopTwiceWritesCompleteFilesReadableWhileRecording) {
    ComScope com;
    TempDir dir;
    ToneGraph g;
    const std::wstring missing = dir.File(L"missing\\a.wma"), file = dir.File(L"tone.wma");
    ASSERT_EQ(S_OK, g.Build(44100, 2, Profile(128000, 44100, 2).Get(), missing));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), g.control->Run());
    g.control->Stop();
    EXPECT_FALSE(FileExists(missing));
    ASSERT_EQ(S_OK, g.sink->SetFileName(file.c_str(), nullptr));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const double before = g.source->Delivered();
        ASSERT_EQ(S_OK, g.control->Run());
        Sleep(500);
        const size_t early = asftest::ReadBytes(file).size();
        EXPECT_EQ(Read(file).topLevel.at(0).guid, asftest::kGuidHeader) << "readable while recording";
        EXPECT_EQ(VFW_E_WRONG_STATE, g.cfg->ConfigureFilterUsingProfile(Profile(32000, 32000, 2).Get()));
        EXPECT_EQ(VFW_E_WRONG_STATE, g.sink->SetFileName(dir.File(L"other.wma").c_str(), nullptr));
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

// Behind a Smart Tee the writer takes the tee's input type: Wine's tee lets its output connect with the
// writer's preferred type all the same, which made 44100 Hz stereo run four times too long as 22050 Hz
// mono. With TONBAR_TONE_WMA set, only the 32000 Hz row runs, into that file for tone_test.sh.
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
        EXPECT_EQ(Pcm16(mt), std::pair(c.rate, c.channels));
        FreeMediaTypeContents(mt);
        g.Record(tone ? 600 : 500);
        EXPECT_GT(g.source->Delivered(), 0.3);
        EXPECT_NEAR(g.source->Delivered(), Read(file).Seconds(), 0.15);
    }
}
