// Recordings through AudioRecorder from a real device: run by
// record_test.sh, which starts a PulseAudio virtual microphone, plays sound
// into it and judges the files with ffprobe/ffmpeg. Disabled in the plain
// run, which may have no sound server.
#include "recording/AudioCaptureDeviceList.h"
#include "recording/AudioRecorder.h"

#include "media/dshow/MediaLayer.h"
#include "media/dshow/WmProfiles.h"
#include "RecordingTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace recording_test;
using Microsoft::WRL::ComPtr;

namespace {

std::wstring Vystup()
{
    const wchar_t* dir = _wgetenv(L"TONBAR_RECORD_DIR");
    return dir ? dir : L"";
}

// One line "file rate channels bitrate seconds" per recording, for the script.
void Zapsat(const std::wstring& soubor, const std::string& radek)
{
    FILE* f = _wfopen((Vystup() + L"\\" + soubor).c_str(), L"ab");
    ASSERT_NE(f, nullptr);
    fputs(radek.c_str(), f);
    fputc('\n', f);
    fclose(f);
}

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
    return s;
}

int Najit(const AudioCaptureDeviceList& seznam, const wchar_t* jmeno)
{
    for (int i = 0; i < seznam.Count(); ++i)
        if (seznam.At(i).friendlyName == jmeno)
            return i;
    return -1;
}

double Sekundy(const LARGE_INTEGER& a, const LARGE_INTEGER& b)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

// Records `ms` milliseconds into `jmeno` and notes the facts for the script.
void Nahrat(AudioRecorder& r, const std::wstring& jmeno, DWORD ms, const char* seznamFakt)
{
    const std::wstring soubor = Vystup() + L"\\" + jmeno;
    const EncodingProfile& p = r.Profile();
    LARGE_INTEGER t0, t1, t2, ts;
    QueryPerformanceCounter(&ts);
    ASSERT_EQ(r.Start(soubor), S_OK) << Utf8(jmeno);
    ASSERT_TRUE(r.IsRecording());
    // Start does not wait for the device's first sound (seconds under Wine):
    // the file's time begins with it, and so does the wall clock here.
    for (int i = 0; i < 500 && !r.SoundArrived(); ++i) {
        ASSERT_EQ(r.TakeFailure(), S_OK) << Utf8(jmeno);
        Sleep(10);
    }
    ASSERT_TRUE(r.SoundArrived()) << "no sound within 5 s: " << Utf8(jmeno);
    QueryPerformanceCounter(&t0);
    Sleep(ms);
    QueryPerformanceCounter(&t1);
    ASSERT_EQ(r.Stop(), S_OK);
    QueryPerformanceCounter(&t2);
    printf("%s: Start to the first sound %.3f s, Stop %.3f s\n", Utf8(jmeno).c_str(), Sekundy(ts, t0), Sekundy(t1, t2));
    EXPECT_FALSE(r.IsRecording());
    EXPECT_TRUE(NotHeldOpen(soubor)) << "the writer still holds " << Utf8(jmeno);
    ComPtr<IWMStreamConfig> proud;
    ComPtr<IWMMediaProps> vlastnosti;
    DWORD rate = 0, kanaly = 0;
    if (SUCCEEDED(p.Profile()->GetStreamByNumber(1, &proud)) && SUCCEEDED(proud.As(&vlastnosti))) {
        DWORD velikost = 0;
        vlastnosti->GetMediaType(nullptr, &velikost);
        std::vector<BYTE> b(velikost);
        auto* typ = reinterpret_cast<WM_MEDIA_TYPE*>(b.data());
        if (velikost && SUCCEEDED(vlastnosti->GetMediaType(typ, &velikost)) && typ->pbFormat &&
            typ->cbFormat >= sizeof(WAVEFORMATEX)) {
            auto* wf = reinterpret_cast<const WAVEFORMATEX*>(typ->pbFormat);
            rate = wf->nSamplesPerSec;
            kanaly = wf->nChannels;
        }
    }
    char radek[512];
    snprintf(radek, sizeof radek, "%s %lu %lu %lu %.3f", Utf8(jmeno).c_str(), rate, kanaly,
             static_cast<unsigned long>(p.audioBitrate), Sekundy(t0, t1));
    Zapsat(std::wstring(seznamFakt, seznamFakt + strlen(seznamFakt)), radek);
}

class Mikrofon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Vystup().empty()) << "TONBAR_RECORD_DIR is not set";
        ASSERT_EQ(seznam_.Enumerate(), S_OK);
        mic_ = Najit(seznam_, L"Monitor of Mikrofon");
        ASSERT_GE(mic_, 0) << "no \"Monitor of Mikrofon\": is the PulseAudio server running?";
    }
    ComScope com_;
    AudioCaptureDeviceList seznam_;
    int mic_ = -1;
};

} // namespace

// Speech played into the microphone, recorded for 5 s through Start/Stop.
TEST_F(Mikrofon, DISABLED_SpeechThroughTheRecorder)
{
    AudioRecorder r;
    r.SetDevice(seznam_.At(mic_));
    ASSERT_EQ(r.Profile().LoadById(mirvak::media::WMProfile_V80_64StereoAudio), S_OK);
    Nahrat(r, L"speech.wma", 5000, "speech.txt");
}

// Every offered system profile records with its own parameters.
TEST_F(Mikrofon, DISABLED_EveryProfileRecords)
{
    AudioRecorder r;
    r.SetDevice(seznam_.At(mic_));
    int i = 0;
    for (const auto& zaznam : mirvak::media::SystemAudioProfiles()) {
        ASSERT_EQ(r.Profile().LoadById(mirvak::media::ToGuid(zaznam.id)), S_OK);
        Nahrat(r, L"profil" + std::to_wstring(++i) + L".wma", 1200, "profiles.txt");
    }
}

// A failing step leaves the recorder idle, holding no file; the next Start works.
TEST_F(Mikrofon, DISABLED_FailingStepsLeaveTheRecorderIdle)
{
    AudioRecorder r;
    r.SetDevice(seznam_.At(mic_));

    // No profile loaded: refused before the writer is configured with none.
    r.Profile().Clear();
    const std::wstring bezProfilu = Vystup() + L"\\bez_profilu.wma";
    EXPECT_EQ(r.Start(bezProfilu), E_NOINTERFACE);
    EXPECT_FALSE(r.IsRecording());
    EXPECT_TRUE(!Exists(bezProfilu) || NotHeldOpen(bezProfilu));

    // A folder that does not exist: the graph cannot run.
    ASSERT_EQ(r.Profile().LoadById(mirvak::media::WMProfile_V80_32StereoAudio), S_OK);
    const std::wstring nikam = Vystup() + L"\\neexistuje\\x.wma";
    HRESULT hr = r.Start(nikam);
    EXPECT_NE(hr, S_OK);
    EXPECT_FALSE(r.IsRecording());
    EXPECT_FALSE(Exists(nikam));

    // The device stays usable: the next starts record, and a start while
    // recording first completes the running file.
    const std::wstring prvni = Vystup() + L"\\po_chybe1.wma";
    ASSERT_EQ(r.Start(prvni), S_OK);
    Sleep(800);
    ASSERT_EQ(r.Start(Vystup() + L"\\po_chybe2.wma"), S_OK);
    EXPECT_TRUE(r.IsRecording());
    EXPECT_TRUE(NotHeldOpen(prvni));
    Sleep(800);
    EXPECT_EQ(r.Stop(), S_OK);
    EXPECT_EQ(r.Stop(), S_OK);  // a second stop has nothing to do

    // A .prx profile records with its own parameters.
    const std::wstring prxSoubor = Vystup() + L"\\vlastni.prx";
    WriteText(prxSoubor, Bajty(kPrx, true));
    ASSERT_EQ(r.LoadCustomProfile(prxSoubor), S_OK);
    Nahrat(r, L"vlastni.wma", 1200, "profiles.txt");
}

// Two devices: each name binds its own device, not merely the first one.
// (Wine lists devices by name, so it cannot show two of one name; the
// numbering and the choice by suffix are tested on lists of the test's own.)
TEST_F(Mikrofon, DISABLED_EachDeviceIsBoundByItsName)
{
    const int druhy = Najit(seznam_, L"Monitor of Mikrofon2");
    std::string jmena;
    for (int i = 0; i < seznam_.Count(); ++i)
        jmena += " \"" + Utf8(seznam_.At(i).friendlyName) + "\"";
    ASSERT_GE(druhy, 0) << "no second device; listed:" << jmena;
    AudioRecorder r;
    ASSERT_EQ(r.Profile().LoadById(mirvak::media::WMProfile_V80_64StereoAudio), S_OK);
    // Only the name, as after a restart without a stored device path.
    r.SetDevice({seznam_.At(mic_).friendlyName, L"", L""});
    Nahrat(r, L"dvojice1.wma", 2000, "pair.txt");
    r.SetDevice({L"MONITOR OF MIKROFON2", L"", L""});
    Nahrat(r, L"dvojice2.wma", 2000, "pair.txt");
}
