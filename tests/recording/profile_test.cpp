// The encoding profile (the seven system profiles, .prx files with their edge cases, the video header), and
// recordings through AudioRecorder from the microphone of record_test.sh, which plays sound into it and
// judges the files with ffprobe/ffmpeg (disabled in the plain run).
#include "harness/Servery.h"
#include "harness/TestFolder.h"
#include "recording/AudioCaptureDeviceList.h"
#include "recording/AudioRecorder.h"
#include "recording/EncodingProfile.h"

#include "media/dshow/MediaLayer.h"
#include "media/dshow/WmProfiles.h"
#include "media/profiles/ProfileCatalogue.h"

#include <dshow.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <tuple>

using namespace tonbar::test;
namespace media = mirvak::media;

namespace {

// A custom profile: one WMA stream, 22050 Hz stereo at 32 kbit/s.
const wchar_t kPrx[] =
    L"<profile version=\"589824\" storageformat=\"1\" name=\"Hlas a hudba\" description=\"Vlastní profil\">\r\n"
    L" <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\"\r\n"
    L"   streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"32024\" bufferwindow=\"-1\">\r\n"
    L"  <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\"\r\n"
    L"    btemporalcompression=\"0\" lsamplesize=\"1487\">\r\n"
    L"   <waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"22050\" nAvgBytesPerSec=\"4003\"\r\n"
    L"     nBlockAlign=\"1487\" wBitsPerSample=\"16\" codecdata=\"0044000017003D170000\"/>\r\n"
    L"  </wmmediatype>\r\n"
    L" </streamconfig>\r\n"
    L"</profile>";

std::string Bajty(const std::wstring& text, bool bom)
{
    return (bom ? "\xFF\xFE" : "") + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

class ProfilTest : public ::testing::Test {
protected:
    ComScope com_;
    TestFolder dir_;
};

// A WM_MEDIA_TYPE buffer as GetMediaType fills it: the structure, then the format block it points to.
std::vector<BYTE> VideoTyp(LONG w, LONG h, DWORD bitrate, LONGLONG avg)
{
    std::vector<BYTE> b(sizeof(WM_MEDIA_TYPE) + sizeof(VIDEOINFOHEADER), 0);
    BYTE* format = b.data() + sizeof(WM_MEDIA_TYPE);
    *reinterpret_cast<WM_MEDIA_TYPE*>(b.data()) = {MEDIATYPE_Video, {}, FALSE, FALSE, 0, FORMAT_VideoInfo, nullptr,
                                                   sizeof(VIDEOINFOHEADER), format};
    *reinterpret_cast<VIDEOINFOHEADER*>(format) = {{}, {}, bitrate, 0, avg, {0, w, h}};
    return b;
}

std::wstring Vystup() { return Prostredi(L"TONBAR_RECORD_DIR"); }

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

// Records `ms` milliseconds into `jmeno` and appends "file rate channels bitrate seconds" (the profile's
// parameters, the wall clock) to `seznamFakt`, for the script to judge the file by.
void Nahrat(AudioRecorder& r, const std::wstring& jmeno, DWORD ms, const char* seznamFakt,
            const media::AudioProfile& ocekavany = *media::FindSystemAudioProfile(
                media::FromGuid(media::WMProfile_V80_64StereoAudio)))
{
    const std::wstring soubor = Vystup() + L"\\" + jmeno;
    LARGE_INTEGER t0, t1, t2, ts;
    QueryPerformanceCounter(&ts);
    ASSERT_EQ(r.Start(soubor), S_OK) << Narrow(jmeno);
    ASSERT_TRUE(r.IsRecording());
    // The file's time begins with the first sound (seconds after Start under Wine); so does the clock.
    for (int i = 0; i < 500 && !r.SoundArrived(); ++i) {
        ASSERT_EQ(r.TakeFailure(), S_OK) << Narrow(jmeno);
        Sleep(10);
    }
    ASSERT_TRUE(r.SoundArrived()) << "no sound within 5 s: " << Narrow(jmeno);
    QueryPerformanceCounter(&t0);
    Sleep(ms);
    QueryPerformanceCounter(&t1);
    ASSERT_EQ(r.Stop(), S_OK);
    QueryPerformanceCounter(&t2);
    printf("%s: Start to the first sound %.3f s, Stop %.3f s\n", Narrow(jmeno).c_str(), Sekundy(ts, t0),
           Sekundy(t1, t2));
    EXPECT_FALSE(r.IsRecording());
    EXPECT_TRUE(NotHeldOpen(soubor)) << "the writer still holds " << Narrow(jmeno);
    std::ofstream((Vystup() + L"\\" + Widen(seznamFakt)).c_str(), std::ios::app)
        << Narrow(jmeno) << ' ' << ocekavany.sampleRate << ' ' << ocekavany.channels << ' ' << ocekavany.bitRate
        << ' ' << Sekundy(t0, t1) << '\n';
}

class Mikrofon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Vystup().empty()) << "TONBAR_RECORD_DIR is not set";
        ASSERT_EQ(seznam_.Enumerate(), S_OK);
        mic_ = Najit(seznam_, L"Monitor of Mikrofon");
        ASSERT_GE(mic_, 0) << "no \"Monitor of Mikrofon\": is the PulseAudio server running?";
        r_.SetDevice(seznam_.At(mic_));
    }
    ComScope com_;
    AudioCaptureDeviceList seznam_;
    int mic_ = -1;
    AudioRecorder r_;
};

} // namespace

TEST_F(ProfilTest, EverySystemProfileLoadsWithItsAudioStream)
{
    EncodingProfile p;
    ASSERT_TRUE(p.Manager());
    for (const auto& zaznam : media::SystemAudioProfiles()) {
        ASSERT_EQ(p.LoadById(media::ToGuid(zaznam.id)), S_OK);
        ASSERT_TRUE(p.Profile());
        EXPECT_EQ(p.name, std::wstring(zaznam.name.begin(), zaznam.name.end()));
        EXPECT_EQ(std::make_tuple(p.streamCount, p.hasAudio, p.hasVideo, p.audioBitrate),
                  std::make_tuple(1u, true, false, zaznam.bitRate));
    }
    // A GUID the system does not know: the load fails and nothing stays loaded.
    EXPECT_LT(p.LoadById({0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}}), 0);
    EXPECT_FALSE(p.Profile());
    EXPECT_FALSE(p.hasAudio);
    EXPECT_EQ(p.audioBitrate, 0u);
}

// A .prx file loads with or without a byte-order mark, at an odd size (the half character is terminated) and
// up to 1 MiB; a refused file leaves nothing loaded, a path that is no file is refused before the loaded
// profile is dropped. The file is never held open afterwards.
TEST_F(ProfilTest, PrxFilesLoadOrAreRefused)
{
    constexpr HRESULT kChyba = E_UNEXPECTED;  // any failure
    std::string mib = Bajty(kPrx, true);
    mib.resize(EncodingProfile::kMaxPrxBytes, ' ');
    const struct {
        const char* nazev;
        const wchar_t* soubor;  // nullptr: written with `obsah`
        std::string obsah;
        HRESULT hr;
    } pripady[] = {
        {"no mark", nullptr, Bajty(kPrx, false), S_OK},
        {"byte-order mark", nullptr, Bajty(kPrx, true), S_OK},
        {"odd size", nullptr, Bajty(kPrx, false) + "\n", S_OK},
        {"exactly the cap", nullptr, mib, S_OK},
        {"above the cap", nullptr, mib + "  ", E_INVALIDARG},
        {"empty", nullptr, "", E_INVALIDARG},
        {"not a profile", nullptr, Bajty(L"this is not a profile", false), kChyba},
        {"missing", L"chybi.prx", "", E_INVALIDARG},
        {"a folder", L"", "", E_INVALIDARG},
    };
    EncodingProfile p;
    for (const auto& c : pripady) {
        SCOPED_TRACE(c.nazev);
        ASSERT_EQ(p.LoadById(media::WMProfile_V80_64StereoAudio), S_OK);
        const std::wstring soubor = dir_.File(c.soubor ? c.soubor : L"profil.prx");  // L"": the folder
        if (!c.soubor)
            WriteBytes(soubor, c.obsah);
        const HRESULT hr = p.LoadFromFile(soubor.c_str());
        EXPECT_TRUE(c.hr == kChyba ? FAILED(hr) : hr == c.hr) << std::hex << hr;
        const bool nacteny = c.hr == S_OK || c.soubor;
        EXPECT_EQ(std::make_pair(p.Profile() != nullptr, p.hasAudio), std::make_pair(nacteny, nacteny));
        EXPECT_EQ(p.audioBitrate, c.hr == S_OK ? 32024u : c.soubor ? 64000u : 0u);
        if (c.hr == S_OK) {
            EXPECT_EQ(p.name, L"Hlas a hudba");
            EXPECT_EQ(p.description, L"Vlastní profil");
        }
        EXPECT_TRUE(c.soubor || NotHeldOpen(soubor));
    }
    EXPECT_EQ(p.LoadFromFile(L""), E_INVALIDARG);
    EXPECT_TRUE(p.Profile());
    // Opened by someone else without sharing: the system's error.
    const std::wstring soubor = dir_.File(L"profil.prx");
    WriteBytes(soubor, Bajty(kPrx, false));
    HANDLE drzi = CreateFileW(soubor.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(drzi, INVALID_HANDLE_VALUE);
    EXPECT_EQ(p.LoadFromFile(soubor.c_str()), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    CloseHandle(drzi);
    EXPECT_EQ(p.LoadFromFile(soubor.c_str()), S_OK);
}

// The recorder: a refused custom profile keeps the loaded one; an unknown or no device fails the start.
TEST_F(ProfilTest, RecorderRefusesBadProfilesAndDevices)
{
    AudioRecorder r;
    ASSERT_EQ(r.Profile().LoadById(media::WMProfile_V80_32StereoAudio), S_OK);
    // Refused paths keep the profile loaded before, and are not remembered.
    for (const std::wstring& spatna : {dir_.Path(), dir_.File(L"chybi.prx"), std::wstring()}) {
        EXPECT_EQ(r.LoadCustomProfile(spatna), E_INVALIDARG) << Narrow(spatna);
        EXPECT_EQ(r.Profile().audioBitrate, 32000u);
        EXPECT_TRUE(r.CustomProfileFile().empty());
    }
    const std::wstring dobry = dir_.File(L"dobry.prx");
    WriteBytes(dobry, Bajty(kPrx, true));
    EXPECT_EQ(r.LoadCustomProfile(dobry), S_OK);
    EXPECT_EQ(r.CustomProfileFile(), dobry);
    EXPECT_EQ(r.Profile().audioBitrate, 32024u);
    const std::wstring soubor = dir_.File(L"nic.wma");
    const std::pair<AudioCaptureDevice, HRESULT> zarizeni[] = {
        {{L"Zařízení, které neexistuje", L"popis", L""}, E_FAIL}, {{}, E_INVALIDARG}};
    for (const auto& [d, hr] : zarizeni) {
        r.SetDevice(d);
        EXPECT_EQ(r.Start(soubor), hr);
        EXPECT_FALSE(r.IsRecording());
        EXPECT_FALSE(Existuje(soubor));
    }
    EXPECT_EQ(r.Stop(), S_OK);
}

TEST(VideoHlavicka, ReadOnlyWhenTypeSizeAndPointerFit)
{
    VideoStreamFacts f;
    ASSERT_TRUE(ReadVideoStreamFacts(VideoTyp(384, 216, 114000, 500000), f));
    EXPECT_EQ(std::make_tuple(f.width, f.height, f.bitrate, f.frameRate), std::make_tuple(384, 216, 114000u, 20u));
    ASSERT_TRUE(ReadVideoStreamFacts(VideoTyp(320, 240, 1, 0), f));
    EXPECT_EQ(f.frameRate, 0u);
    // Another type, a format block too short, missing, larger than the buffer or outside it; a short buffer.
    static VIDEOINFOHEADER jinde{};
    const std::function<void(WM_MEDIA_TYPE*)> vady[] = {
        [](WM_MEDIA_TYPE* t) { t->formattype = FORMAT_WaveFormatEx; },
        [](WM_MEDIA_TYPE* t) { t->majortype = MEDIATYPE_Audio; },
        [](WM_MEDIA_TYPE* t) { t->cbFormat = sizeof(VIDEOINFOHEADER) - 1; },
        [](WM_MEDIA_TYPE* t) { t->pbFormat = nullptr; },
        [](WM_MEDIA_TYPE* t) { t->cbFormat = sizeof(VIDEOINFOHEADER) + 64; },
        [](WM_MEDIA_TYPE* t) { t->pbFormat = reinterpret_cast<BYTE*>(&jinde); },
    };
    VideoStreamFacts nic;
    int i = 0;
    for (const auto& vada : vady) {
        auto spatny = VideoTyp(1, 1, 1, 1);
        vada(reinterpret_cast<WM_MEDIA_TYPE*>(spatny.data()));
        EXPECT_FALSE(ReadVideoStreamFacts(spatny, nic)) << i++;
    }
    EXPECT_FALSE(ReadVideoStreamFacts(std::vector<BYTE>(sizeof(WM_MEDIA_TYPE) - 1, 0), nic));
    EXPECT_EQ(std::make_pair(nic.width, nic.frameRate), std::make_pair(-1, 0u));
}

// 5 s of speech through Start/Stop; then every offered system profile and a .prx one record with their own
// parameters; a failing step leaves the recorder idle, holding no file, and the next Start works.
TEST_F(Mikrofon, DISABLED_SpeechEveryProfileAndStartsAfterFailures)
{
    ASSERT_EQ(r_.Profile().LoadById(media::WMProfile_V80_64StereoAudio), S_OK);
    Nahrat(r_, L"speech.wma", 5000, "speech.txt");
    int i = 0;
    for (const auto& zaznam : media::SystemAudioProfiles()) {
        ASSERT_EQ(r_.Profile().LoadById(media::ToGuid(zaznam.id)), S_OK);
        Nahrat(r_, L"profil" + std::to_wstring(++i) + L".wma", 1200, "profiles.txt", zaznam);
    }
    // No profile loaded: refused before the writer is configured with none.
    r_.Profile().Clear();
    const std::wstring bezProfilu = Vystup() + L"\\bez_profilu.wma";
    EXPECT_EQ(r_.Start(bezProfilu), E_NOINTERFACE);
    EXPECT_FALSE(r_.IsRecording());
    EXPECT_TRUE(!Existuje(bezProfilu) || NotHeldOpen(bezProfilu));
    // A folder that does not exist: the graph cannot run.
    ASSERT_EQ(r_.Profile().LoadById(media::WMProfile_V80_32StereoAudio), S_OK);
    const std::wstring nikam = Vystup() + L"\\neexistuje\\x.wma";
    EXPECT_NE(r_.Start(nikam), S_OK);
    EXPECT_FALSE(r_.IsRecording());
    EXPECT_FALSE(Existuje(nikam));
    // The device stays usable; a start while recording first completes the running file.
    const std::wstring prvni = Vystup() + L"\\po_chybe1.wma";
    ASSERT_EQ(r_.Start(prvni), S_OK);
    Sleep(800);
    ASSERT_EQ(r_.Start(Vystup() + L"\\po_chybe2.wma"), S_OK);
    EXPECT_TRUE(r_.IsRecording());
    EXPECT_TRUE(NotHeldOpen(prvni));
    Sleep(800);
    EXPECT_EQ(r_.Stop(), S_OK);
    EXPECT_EQ(r_.Stop(), S_OK);  // a second stop has nothing to do
    const std::wstring prxSoubor = Vystup() + L"\\vlastni.prx";
    WriteBytes(prxSoubor, Bajty(kPrx, true));
    ASSERT_EQ(r_.LoadCustomProfile(prxSoubor), S_OK);
    Nahrat(r_, L"vlastni.wma", 1200, "profiles.txt", {{}, u"", u"", 32024, 22050, 2});
}

// Two devices: each name binds its own device, not merely the first one. (Wine lists devices by name, so it
// cannot show two of one name; the numbering and the choice by suffix are tested on lists of the test's own.)
TEST_F(Mikrofon, DISABLED_EachDeviceIsBoundByItsName)
{
    std::string jmena;
    for (int i = 0; i < seznam_.Count(); ++i)
        jmena += " \"" + Narrow(seznam_.At(i).friendlyName) + "\"";
    ASSERT_GE(Najit(seznam_, L"Monitor of Mikrofon2"), 0) << "no second device; listed:" << jmena;
    ASSERT_EQ(r_.Profile().LoadById(media::WMProfile_V80_64StereoAudio), S_OK);
    // Only the name, as after a restart without a stored device path.
    r_.SetDevice({seznam_.At(mic_).friendlyName, L"", L""});
    Nahrat(r_, L"dvojice1.wma", 2000, "pair.txt");
    r_.SetDevice({L"MONITOR OF MIKROFON2", L"", L""});
    Nahrat(r_, L"dvojice2.wma", 2000, "pair.txt");
}
