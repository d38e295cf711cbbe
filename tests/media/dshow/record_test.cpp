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

} // namespace

// The recorder's road: bind the device, capture graph builder from the
// capture filter to the writer, run, stop as the recorder does.
TEST(Recording, DISABLED_SpeechFromTheVirtualMicrophone) {
    ComScope com;
    const std::wstring dir = OutputDir();
    ASSERT_FALSE(dir.empty()) << "TONBAR_RECORD_DIR is not set";
    std::wstring deviceName;
    ComPtr<IMoniker> device = FindDevice(L"Monitor of Mikrofon", &deviceName);
    ASSERT_TRUE(device) << "no audio input device: is the PulseAudio server running?";

    ComPtr<IBaseFilter> capture;
    ASSERT_EQ(S_OK, BindCaptureFilter(device.Get(), &capture));
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
    const std::wstring file = dir + L"\\speech.wma";
    ComPtr<IBaseFilter> writer;
    ASSERT_EQ(S_OK, SetOutputFileNameAsf(builder.Get(), file.c_str(), &writer));
    {
        ComPtr<IConfigAsfWriter> cfg;
        ASSERT_EQ(S_OK, writer.As(&cfg));
        // The profile as the recorder loads it: by ID from the profile manager.
        ComPtr<IWMProfileManager> manager;
        ASSERT_EQ(S_OK, mirvak::media::CreateProfileManager(&manager));
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(S_OK, manager->LoadProfileByID(mirvak::media::WMProfile_V80_64StereoAudio, &profile));
        ASSERT_EQ(S_OK, cfg->ConfigureFilterUsingProfile(profile.Get()));
    }
    ASSERT_EQ(S_OK, builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, capture.Get(), nullptr, writer.Get()));

    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    HRESULT run = control->Run();
    QueryPerformanceCounter(&t0);
    OAFilterState state = -1;
    HRESULT stateHr = control->GetState(0, &state);
    printf("IMediaControl::Run = 0x%08lx, GetState(0) = 0x%08lx, state %ld\n", run, stateHr, state);
    ASSERT_EQ(S_OK, run);   // the recorder counts only S_OK as started
    EXPECT_EQ(State_Running, state);

    Sleep(4000);
    QueryPerformanceCounter(&t1);
    control->StopWhenReady();
    EXPECT_EQ(S_OK, graph->RemoveFilter(writer.Get()));
    writer.Reset();
    EXPECT_EQ(S_OK, graph->RemoveFilter(capture.Get()));
    capture.Reset();

    const long long wallMs = (t1.QuadPart - t0.QuadPart) * 1000 / freq.QuadPart;
    WriteText(dir + L"\\speech.wall", std::to_string(wallMs) + "\n");
    AsfFacts facts = ReadAsfFacts(ReadShared(file));
    ASSERT_TRUE(facts.header);
    EXPECT_GT(facts.durationSec, 3.0);
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
