// The built-in ASF writer filter in real Wine filter graphs, fed by a tone
// source built on the same base classes.
#include "dshow_test_support.h"

#include "media/dshow/MediaLayer.h"
#include "media/dshow/WmProfiles.h"

using namespace dshow_test;

namespace {

ComPtr<IBaseFilter> NewWriter() {
    ComPtr<IBaseFilter> w;
    EXPECT_EQ(S_OK, CreateAsfWriterFilter(&w));
    return w;
}

uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return 0;
    return (uint64_t(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

} // namespace

TEST(AsfWriterFilter, ProfileMustHaveAnAudioStream) {
    ComScope com;
    ComPtr<IConfigAsfWriter> cfg;
    ASSERT_EQ(S_OK, NewWriter().As(&cfg));

    EXPECT_EQ(E_INVALIDARG, cfg->ConfigureFilterUsingProfile(nullptr));
    ComPtr<IWMProfile> none;
    EXPECT_EQ(E_FAIL, cfg->GetCurrentProfile(&none));
    EXPECT_EQ(nullptr, none.Get());

    auto good = AudioProfile(64000, 44100, 2);
    ASSERT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(good.Get()));

    // Refused profiles leave the accepted one in place.
    auto videoOnly = MakeProfile({{MEDIATYPE_Video, 300000, 0, 0}});
    EXPECT_LT(cfg->ConfigureFilterUsingProfile(videoOnly.Get()), 0);
    EXPECT_LT(cfg->ConfigureFilterUsingProfile(MakeProfile({}).Get()), 0);
    EXPECT_LT(cfg->ConfigureFilterUsingProfile(AudioProfile(64000, 0, 2).Get()), 0);
    ComPtr<IWMProfile> current;
    ASSERT_EQ(S_OK, cfg->GetCurrentProfile(&current));
    EXPECT_EQ(good.Get(), current.Get());

    // A video stream first does not hide the audio one.
    auto mixed = MakeProfile({{MEDIATYPE_Video, 300000, 0, 0}, {MEDIATYPE_Audio, 32000, 32000, 2}});
    EXPECT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(mixed.Get()));

    // The system profile GUIDs work too; unknown ones do not.
    const GUID cd64 = {0x09BB5BC4, 0x3176, 0x457F, {0x8D, 0xD6, 0x3C, 0xD9, 0x19, 0x12, 0x3E, 0x2D}};
    EXPECT_EQ(S_OK, cfg->ConfigureFilterUsingProfileGuid(cd64));
    GUID got{};
    EXPECT_EQ(S_OK, cfg->GetCurrentProfileGuid(&got));
    EXPECT_EQ(cd64, got);
    EXPECT_EQ(E_INVALIDARG, cfg->ConfigureFilterUsingProfileGuid(GUID_NULL));
}

TEST(AsfWriterFilter, TakesEverySystemProfileOfTheProfileManager) {
    ComScope com;
    ComPtr<IWMProfileManager> manager;
    ASSERT_EQ(S_OK, mirvak::media::CreateBuiltInProfileManager(&manager));
    for (const auto& p : mirvak::media::SystemAudioProfiles()) {
        SCOPED_TRACE(p.bitRate);
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(S_OK, manager->LoadProfileByID(mirvak::media::ToGuid(p.id), &profile));
        ComPtr<IConfigAsfWriter> cfg;
        ASSERT_EQ(S_OK, NewWriter().As(&cfg));
        EXPECT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(profile.Get()));
        // The pin then prefers exactly the profile's PCM format.
        ComPtr<IBaseFilter> f;
        cfg.As(&f);
        ComPtr<IPin> in;
        ASSERT_EQ(S_OK, f->FindPin(L"Audio Input 01", &in));
        ComPtr<IEnumMediaTypes> types;
        ASSERT_EQ(S_OK, in->EnumMediaTypes(&types));
        AM_MEDIA_TYPE* mt = nullptr;
        ASSERT_EQ(S_OK, types->Next(1, &mt, nullptr));
        DWORD rate = 0;
        WORD channels = 0;
        EXPECT_TRUE(GetPcm16Format(*mt, &rate, &channels));
        DeleteMediaType(mt);
        EXPECT_EQ(p.sampleRate, rate);
        EXPECT_EQ(p.channels, channels);
    }
}

TEST(AsfWriterFilter, FileNameThroughFileSink) {
    ComScope com;
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(S_OK, NewWriter().As(&sink));
    LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(E_FAIL, sink->GetCurFile(&name, nullptr));
    EXPECT_EQ(nullptr, name);
    EXPECT_EQ(E_POINTER, sink->SetFileName(nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, sink->SetFileName(L"", nullptr));

    const wchar_t* path = L"C:\\nahrávky\\záznam 1.wma";
    ASSERT_EQ(S_OK, sink->SetFileName(path, nullptr));
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(S_OK, sink->GetCurFile(&name, &mt));
    EXPECT_STREQ(path, name);
    EXPECT_EQ(MEDIATYPE_Stream, mt.majortype);
    EXPECT_EQ(MEDIASUBTYPE_Asf, mt.subtype);
    CoTaskMemFree(name);
}

TEST(AsfWriterFilter, StopWithoutRunAndBadStartsLeaveNoFile) {
    ComScope com;
    TempDir dir;
    ComPtr<IBaseFilter> w = NewWriter();
    ComPtr<IFileSinkFilter> sink;
    w.As(&sink);
    const std::wstring file = dir.File(L"a.wma");
    sink->SetFileName(file.c_str(), nullptr);
    EXPECT_EQ(S_OK, w->Stop());
    EXPECT_EQ(S_OK, w->Stop());
    FILTER_STATE st;
    EXPECT_EQ(S_OK, w->GetState(0, &st));
    EXPECT_EQ(State_Stopped, st);

    // No profile, then no connection: the start is refused, nothing written.
    EXPECT_LT(w->Pause(), 0);
    ComPtr<IConfigAsfWriter> cfg;
    w.As(&cfg);
    ASSERT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(AudioProfile(64000, 44100, 2).Get()));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, w->Run(0));
    EXPECT_EQ(S_OK, w->GetState(0, &st));
    EXPECT_EQ(State_Stopped, st);
    EXPECT_FALSE(FileExists(file));

    // The input pin takes 16-bit PCM only.
    ComPtr<IPin> in;
    ASSERT_EQ(S_OK, w->FindPin(L"Audio Input 01", &in));
    MediaType pcm8 = MakePcmType(44100, 2);
    reinterpret_cast<WAVEFORMATEX*>(pcm8.Get().pbFormat)->wBitsPerSample = 8;
    EXPECT_EQ(S_FALSE, in->QueryAccept(&pcm8.Get()));
    EXPECT_EQ(S_OK, in->QueryAccept(&MakePcmType(22050, 1).Get()));
}

TEST(AsfWriterFilter, UnwritablePathFailsTheRun) {
    ComScope com;
    TempDir dir;
    ToneGraph g;
    const std::wstring file = dir.File(L"missing\\a.wma");
    ASSERT_EQ(S_OK, g.Build(44100, 2, AudioProfile(64000, 44100, 2).Get(), file));
    HRESULT hr = g.control->Run();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), hr);
    g.control->Stop();
    EXPECT_FALSE(FileExists(file));
}

TEST(AsfWriterFilter, RunStopTwiceWritesCompleteFiles) {
    ComScope com;
    TempDir dir;
    ToneGraph g;
    const std::wstring file = dir.File(L"tone.wma");
    ASSERT_EQ(S_OK, g.Build(44100, 2, AudioProfile(64000, 44100, 2).Get(), file));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        uint64_t before = g.source->FramesDelivered();
        ASSERT_EQ(S_OK, g.control->Run());
        Sleep(round == 0 ? 400 : 800);
        EXPECT_EQ(S_OK, g.control->Stop());
        double delivered = double(g.source->FramesDelivered() - before) / 44100.0;
        std::vector<uint8_t> bytes = ReadShared(file);
        AsfFacts facts = ReadAsfFacts(bytes);
        ASSERT_TRUE(facts.header);
        // Stop completed the header: size and duration are filled in.
        EXPECT_EQ(bytes.size(), facts.fileSizeField);
        EXPECT_GT(facts.packets, 0u);
        EXPECT_GT(delivered, 0.5);
        EXPECT_NEAR(delivered, facts.durationSec, 0.15);   // up to a block of padding
    }
    // Settings are refused while running and the recording survives that.
    ASSERT_EQ(S_OK, g.control->Run());
    ComPtr<IConfigAsfWriter> cfg;
    g.writer.As(&cfg);
    EXPECT_EQ(VFW_E_WRONG_STATE, cfg->ConfigureFilterUsingProfile(AudioProfile(32000, 32000, 2).Get()));
    ComPtr<IFileSinkFilter> sink;
    g.writer.As(&sink);
    EXPECT_EQ(VFW_E_WRONG_STATE, sink->SetFileName(dir.File(L"other.wma").c_str(), nullptr));
    Sleep(300);
    EXPECT_EQ(S_OK, g.control->Stop());
    std::vector<uint8_t> bytes = ReadShared(file);
    EXPECT_EQ(bytes.size(), ReadAsfFacts(bytes).fileSizeField);
    EXPECT_FALSE(FileExists(dir.File(L"other.wma")));
}

TEST(AsfWriterFilter, FileIsReadableAndGrowsWhileRecording) {
    ComScope com;
    TempDir dir;
    ToneGraph g;
    const std::wstring file = dir.File(L"growing.wma");
    ASSERT_EQ(S_OK, g.Build(44100, 2, AudioProfile(128000, 44100, 2).Get(), file));
    ASSERT_EQ(S_OK, g.control->Run());
    Sleep(500);
    std::vector<uint8_t> early = ReadShared(file);   // share-read open succeeds while writing
    Sleep(700);
    std::vector<uint8_t> later = ReadShared(file);
    uint64_t size = SizeOf(file);
    EXPECT_EQ(S_OK, g.control->Stop());
    ASSERT_TRUE(ReadAsfFacts(early).header);
    EXPECT_GT(later.size(), early.size());
    EXPECT_GE(size, later.size());
    EXPECT_GT(SizeOf(file), size);   // the index follows at Stop
}

TEST(AsfWriterFilter, ConvertsOtherPcmToTheProfileFormat) {
    ComScope com;
    TempDir dir;
    struct Case {
        DWORD rate;
        WORD channels;
    } cases[] = {{22050, 1}, {48000, 2}, {44100, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        ToneGraph g;
        const std::wstring file = dir.File((L"conv" + std::to_wstring(c.rate) + L".wma").c_str());
        ASSERT_EQ(S_OK, g.Build(c.rate, c.channels, AudioProfile(64000, 44100, 2).Get(), file));
        ASSERT_EQ(S_OK, g.control->Run());
        Sleep(500);
        ASSERT_EQ(S_OK, g.control->Stop());
        double delivered = double(g.source->FramesDelivered()) / c.rate;
        AsfFacts facts = ReadAsfFacts(ReadShared(file));
        ASSERT_TRUE(facts.header);
        EXPECT_NEAR(delivered, facts.durationSec, 0.15);
    }
}

TEST(MediaLayer, OutputFileNameGivesAWriterInTheGraph) {
    ComScope com;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder)));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
    ComPtr<IBaseFilter> writer;
    // Without a graph there is nowhere to put the writer.
    EXPECT_LT(SetOutputFileNameAsf(builder.Get(), L"C:\\x.wma", &writer), 0);
    EXPECT_EQ(nullptr, writer.Get());
    ASSERT_EQ(S_OK, builder->SetFiltergraph(graph.Get()));
    EXPECT_EQ(E_POINTER, SetOutputFileNameAsf(builder.Get(), nullptr, &writer));

    ASSERT_EQ(S_OK, SetOutputFileNameAsf(builder.Get(), L"C:\\x.wma", &writer));
    ComPtr<IBaseFilter> found;
    ASSERT_EQ(S_OK, graph->FindFilterByName(L"ASF Writer", &found));
    EXPECT_EQ(writer.Get(), found.Get());
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(S_OK, writer.As(&sink));
    LPOLESTR name = nullptr;
    ASSERT_EQ(S_OK, sink->GetCurFile(&name, nullptr));
    EXPECT_STREQ(L"C:\\x.wma", name);
    CoTaskMemFree(name);
    ComPtr<IConfigAsfWriter> cfg;
    EXPECT_EQ(S_OK, writer.As(&cfg));
    EXPECT_EQ(S_OK, graph->RemoveFilter(writer.Get()));
}

// A Smart Tee passes its input's samples through unchanged; Wine's lets its
// output connect with the writer's preferred type all the same, which made
// 44100 Hz stereo run four times too long as 22050 Hz mono. The writer takes
// only the tee's input type and converts.
TEST(AsfWriterFilter, BehindASmartTeeTakesTheTeesInputType) {
    ComScope com;
    TempDir dir;
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
    ComPtr<IBaseFilter> tee;
    if (FAILED(CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tee))))
        GTEST_SKIP() << "no Smart Tee on this system";
    ComPtr<ToneSource> source;
    source.Attach(new ToneSource(44100, 2));
    ComPtr<IBaseFilter> writer;
    ASSERT_EQ(S_OK, CreateAsfWriterFilter(&writer));
    ComPtr<IConfigAsfWriter> cfg;
    ASSERT_EQ(S_OK, writer.As(&cfg));
    ASSERT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(AudioProfile(20000, 22050, 1).Get()));
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(S_OK, writer.As(&sink));
    const std::wstring file = dir.File(L"tee.wma");
    ASSERT_EQ(S_OK, sink->SetFileName(file.c_str(), nullptr));
    ASSERT_EQ(S_OK, graph->AddFilter(source.Get(), L"Tone"));
    ASSERT_EQ(S_OK, graph->AddFilter(tee.Get(), L"Tee"));
    ASSERT_EQ(S_OK, graph->AddFilter(writer.Get(), L"ASF Writer"));

    ComPtr<IPin> out, teeIn, teeOut, in;
    ASSERT_EQ(S_OK, source->FindPin(L"Out", &out));
    ASSERT_EQ(S_OK, tee->FindPin(L"Input", &teeIn));
    ASSERT_EQ(S_OK, tee->FindPin(L"Capture", &teeOut));
    ASSERT_EQ(S_OK, writer->FindPin(L"Audio Input 01", &in));
    ASSERT_EQ(S_OK, graph->ConnectDirect(out.Get(), teeIn.Get(), nullptr));
    ASSERT_EQ(S_OK, graph->ConnectDirect(teeOut.Get(), in.Get(), nullptr));

    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, in->ConnectionMediaType(&mt));
    DWORD rate = 0;
    WORD channels = 0;
    EXPECT_TRUE(GetPcm16Format(mt, &rate, &channels));
    FreeMediaTypeContents(mt);
    EXPECT_EQ(44100u, rate);
    EXPECT_EQ(2, channels);

    ComPtr<IMediaControl> control;
    ASSERT_EQ(S_OK, graph.As(&control));
    ASSERT_EQ(S_OK, control->Run());
    Sleep(600);
    EXPECT_EQ(S_OK, control->Stop());
    const double delivered = double(source->FramesDelivered()) / 44100.0;
    AsfFacts facts = ReadAsfFacts(ReadShared(file));
    ASSERT_TRUE(facts.header);
    EXPECT_GT(delivered, 0.5);
    EXPECT_NEAR(delivered, facts.durationSec, 0.15);
    graph->RemoveFilter(writer.Get());
    graph->RemoveFilter(tee.Get());
    graph->RemoveFilter(source.Get());
}
