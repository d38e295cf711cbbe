// Recording through a real device: run by record_test.sh, which starts a
// PulseAudio virtual microphone, plays speech into it and judges the files
// with ffprobe/ffmpeg. Disabled in the plain test run, which has no server.
#include "dshow_test_support.h"

#include "media/dshow/CaptureFilter.h"
#include "media/dshow/MediaLayer.h"
#include "media/dshow/WmProfiles.h"

#include <cstdio>
#include <cstdlib>

using namespace dshow_test;

namespace {

std::wstring OutputDir() {
    const wchar_t* dir = _wgetenv(L"TONBAR_RECORD_DIR");
    return dir ? dir : L"";
}

void WriteText(const std::wstring& path, const std::string& text) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    fputs(text.c_str(), f);
    fclose(f);
}

// The moniker of the device whose friendly name contains `part` (the
// first device when none does).
ComPtr<IMoniker> FindDevice(const wchar_t* part, std::wstring* name) {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devices))))
        return nullptr;
    if (devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, &monikers, 0) != S_OK) return nullptr;
    ComPtr<IMoniker> m, first;
    while (monikers->Next(1, &m, nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        if (SUCCEEDED(m->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) &&
            SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr))) {
            std::wstring n = v.bstrVal;
            VariantClear(&v);
            if (!first) {
                first = m;
                *name = n;
            }
            if (n.find(part) != std::wstring::npos) {
                *name = n;
                return m;
            }
        }
        m.Reset();
    }
    return first;
}

GUID PinCategory(IPin* pin) {
    GUID cat = GUID_NULL;
    ComPtr<IKsPropertySet> ks;
    DWORD got = 0;
    if (SUCCEEDED(pin->QueryInterface(IID_PPV_ARGS(&ks))))
        ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &cat, sizeof cat, &got);
    return cat;
}

// The recorder's road: bind the device, capture graph builder from the
// capture filter to the writer, run for `ms`, stop as the recorder does.
// Writes <name>.wall (ms of wall clock from Run to the stop) and
// <name>.type (rate and channels of the connection, capture side and
// writer side) for the script.
void RecordThroughTheRecordersRoad(IMoniker* device, const GUID& profileId, const std::wstring& dir,
                                   const std::wstring& name, DWORD ms) {
    ComPtr<IBaseFilter> capture;
    ASSERT_EQ(S_OK, BindCaptureFilter(device, &capture));
    ASSERT_TRUE(HasOutputPin(capture.Get()));
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> out;
    capture->EnumPins(&pins);
    ASSERT_EQ(S_OK, pins->Next(1, &out, nullptr));
    EXPECT_EQ(PIN_CATEGORY_CAPTURE, PinCategory(out.Get()));

    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder)));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)));
    ASSERT_EQ(S_OK, builder->SetFiltergraph(graph.Get()));
    ASSERT_EQ(S_OK, graph->AddFilter(capture.Get(), L"Capture"));
    ComPtr<IMediaControl> control;
    ASSERT_EQ(S_OK, graph.As(&control));
    const std::wstring file = dir + L"\\" + name + L".wma";
    ComPtr<IBaseFilter> writer;
    ASSERT_EQ(S_OK, SetOutputFileNameAsf(builder.Get(), file.c_str(), &writer));
    {
        ComPtr<IConfigAsfWriter> cfg;
        ASSERT_EQ(S_OK, writer.As(&cfg));
        // The profile as the recorder loads it: by ID from the profile manager.
        ComPtr<IWMProfileManager> manager;
        ASSERT_EQ(S_OK, mirvak::media::CreateProfileManager(&manager));
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(S_OK, manager->LoadProfileByID(profileId, &profile));
        ASSERT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(profile.Get()));
    }
    ASSERT_EQ(S_OK, builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, capture.Get(), nullptr, writer.Get()));

    // Nothing between the capture pin and the writer: a filter there that
    // relabels the samples (Wine's Smart Tee) made low-rate files too long.
    {
        ComPtr<IPin> peer;
        ASSERT_EQ(S_OK, out->ConnectedTo(&peer));
        PIN_INFO info{};
        ASSERT_EQ(S_OK, peer->QueryPinInfo(&info));
        ComPtr<IBaseFilter> peerFilter;
        peerFilter.Attach(info.pFilter);
        EXPECT_EQ(writer.Get(), peerFilter.Get());
    }
    // Both ends of the connection must agree on the format.
    std::string types;
    {
        ComPtr<IPin> peer;
        ASSERT_EQ(S_OK, out->ConnectedTo(&peer));
        for (IPin* pin : {out.Get(), peer.Get()}) {
            AM_MEDIA_TYPE mt{};
            ASSERT_EQ(S_OK, pin->ConnectionMediaType(&mt));
            DWORD rate = 0;
            WORD channels = 0;
            EXPECT_TRUE(GetPcm16Format(mt, &rate, &channels));
            FreeMediaTypeContents(mt);
            types += std::to_string(rate) + " " + std::to_string(channels) + "\n";
        }
    }

    LARGE_INTEGER freq, before, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&before);
    HRESULT run = control->Run();
    QueryPerformanceCounter(&t0);
    printf("%ls: Run took %lld ms\n", name.c_str(), (t0.QuadPart - before.QuadPart) * 1000 / freq.QuadPart);
    OAFilterState state = -1;
    HRESULT stateHr = control->GetState(0, &state);
    printf("%ls: IMediaControl::Run = 0x%08lx, GetState(0) = 0x%08lx, state %ld\n", name.c_str(), run, stateHr,
           state);
    ASSERT_EQ(S_OK, run);   // the recorder counts only S_OK as started
    EXPECT_EQ(State_Running, state);

    Sleep(ms);
    QueryPerformanceCounter(&t1);
    control->StopWhenReady();
    EXPECT_EQ(S_OK, graph->RemoveFilter(writer.Get()));
    writer.Reset();
    EXPECT_EQ(S_OK, graph->RemoveFilter(capture.Get()));
    capture.Reset();

    const long long wallMs = (t1.QuadPart - t0.QuadPart) * 1000 / freq.QuadPart;
    WriteText(dir + L"\\" + name + L".wall", std::to_string(wallMs) + "\n");
    WriteText(dir + L"\\" + name + L".type", types);
    AsfFacts facts = ReadAsfFacts(ReadShared(file));
    ASSERT_TRUE(facts.header);
    EXPECT_GT(facts.durationSec, ms / 1000.0 * 0.75);
}

} // namespace

TEST(Recording, DISABLED_SpeechFromTheVirtualMicrophone) {
    ComScope com;
    const std::wstring dir = OutputDir();
    ASSERT_FALSE(dir.empty()) << "TONBAR_RECORD_DIR is not set";
    std::wstring deviceName;
    ComPtr<IMoniker> device = FindDevice(L"Monitor of Mikrofon", &deviceName);
    ASSERT_TRUE(device) << "no audio input device: is the PulseAudio server running?";
    RecordThroughTheRecordersRoad(device.Get(), mirvak::media::WMProfile_V80_64StereoAudio, dir, L"speech", 4000);
}

// Profiles below the capture's preferred 44100 Hz stereo: the device must
// deliver what the connection says, or the file runs longer than the wall
// clock by the ratio of the formats.
TEST(Recording, DISABLED_LowRateProfiles) {
    ComScope com;
    const std::wstring dir = OutputDir();
    ASSERT_FALSE(dir.empty()) << "TONBAR_RECORD_DIR is not set";
    std::wstring deviceName;
    ComPtr<IMoniker> device = FindDevice(L"Monitor of Mikrofon", &deviceName);
    ASSERT_TRUE(device) << "no audio input device: is the PulseAudio server running?";
    RecordThroughTheRecordersRoad(device.Get(), mirvak::media::WMProfile_V80_288MonoAudio, dir, L"low22m", 2000);
    RecordThroughTheRecordersRoad(device.Get(), mirvak::media::WMProfile_V80_32StereoAudio, dir, L"low32s", 2000);
}

// A tone converted from 22050 Hz mono into a 32000 Hz stereo profile, for
// the script to decode.
TEST(Recording, DISABLED_ConvertedToneFile) {
    ComScope com;
    const std::wstring dir = OutputDir();
    ASSERT_FALSE(dir.empty());
    ToneGraph g;
    ASSERT_EQ(S_OK, g.Build(22050, 1, AudioProfile(32000, 32000, 2).Get(), dir + L"\\tone.wma"));
    ASSERT_EQ(S_OK, g.control->Run());
    Sleep(600);
    ASSERT_EQ(S_OK, g.control->Stop());
    WriteText(dir + L"\\tone.frames", std::to_string(g.source->FramesDelivered()) + "\n");
}
