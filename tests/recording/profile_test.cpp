// The encoding profile: the seven system profiles by GUID, .prx files from
// disk with their edge cases, and the video-header checks.
#include "recording/AudioRecorder.h"
#include "recording/EncodingProfile.h"

#include "media/dshow/WmProfiles.h"
#include "RecordingTest.h"

#include <dshow.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace recording_test;

namespace {

class ProfilTest : public ::testing::Test {
protected:
    ComScope com_;
    TempDir dir_;
};

} // namespace

TEST_F(ProfilTest, EverySystemProfileLoadsWithItsAudioStream)
{
    EncodingProfile p;
    ASSERT_TRUE(p.Manager());
    for (const auto& zaznam : mirvak::media::SystemAudioProfiles()) {
        GUID id = mirvak::media::ToGuid(zaznam.id);
        ASSERT_EQ(p.LoadById(id), S_OK);
        ASSERT_TRUE(p.Profile());
        EXPECT_EQ(p.name, std::wstring(zaznam.name.begin(), zaznam.name.end()));
        EXPECT_EQ(p.streamCount, 1u);
        EXPECT_TRUE(p.hasAudio);
        EXPECT_FALSE(p.hasVideo);
        EXPECT_EQ(p.audioBitrate, zaznam.bitRate);
    }
    // A GUID the system does not know: the load fails and nothing stays loaded.
    const GUID nezname = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_LT(p.LoadById(nezname), 0);
    EXPECT_FALSE(p.Profile());
    EXPECT_FALSE(p.hasAudio);
    EXPECT_EQ(p.audioBitrate, 0u);
}

TEST_F(ProfilTest, PrxFileLoadsWithOrWithoutByteOrderMarkAndAtOddSize)
{
    EncodingProfile p;
    const std::wstring soubor = dir_.File(L"hlas.prx");
    for (bool bom : {false, true}) {
        WriteText(soubor, Bajty(kPrx, bom));
        ASSERT_EQ(p.LoadFromFile(soubor.c_str()), S_OK) << bom;
        EXPECT_EQ(p.name, L"Hlas a hudba");
        EXPECT_EQ(p.description, L"Vlastní profil");
        EXPECT_TRUE(p.hasAudio);
        EXPECT_EQ(p.audioBitrate, 32024u);
    }
    // An odd number of bytes: the last, half character must still be terminated.
    WriteText(soubor, Bajty(kPrx, false) + "\n");
    ASSERT_EQ(FileSize(soubor) % 2, 1u);
    EXPECT_EQ(p.LoadFromFile(soubor.c_str()), S_OK);
    EXPECT_TRUE(p.hasAudio);
    // The file is not held open afterwards.
    EXPECT_TRUE(NotHeldOpen(soubor));
}

TEST_F(ProfilTest, BadPrxFilesAreRefusedAndLoadNothing)
{
    EncodingProfile p;
    ASSERT_EQ(p.LoadById(mirvak::media::WMProfile_V80_64StereoAudio), S_OK);
    // A missing path or a folder is refused before anything is dropped.
    EXPECT_EQ(p.LoadFromFile(dir_.File(L"chybi.prx").c_str()), E_INVALIDARG);
    EXPECT_EQ(p.LoadFromFile(dir_.Path().c_str()), E_INVALIDARG);
    EXPECT_EQ(p.LoadFromFile(L""), E_INVALIDARG);
    EXPECT_TRUE(p.Profile());

    const std::wstring prazdny = dir_.File(L"prazdny.prx");
    WriteText(prazdny, "");
    EXPECT_EQ(p.LoadFromFile(prazdny.c_str()), E_INVALIDARG);
    EXPECT_FALSE(p.Profile());

    // Above 1 MiB: refused without being read as a profile.
    const std::wstring velky = dir_.File(L"velky.prx");
    std::string obsah = Bajty(kPrx, true);
    obsah.resize((1u << 20) + 2, ' ');
    WriteText(velky, obsah);
    EXPECT_EQ(p.LoadFromFile(velky.c_str()), E_INVALIDARG);
    obsah.resize(1u << 20);  // exactly the cap is still read
    WriteText(velky, obsah);
    EXPECT_EQ(p.LoadFromFile(velky.c_str()), S_OK);

    const std::wstring nesmysl = dir_.File(L"nesmysl.prx");
    WriteText(nesmysl, Bajty(L"this is not a profile", false));
    EXPECT_LT(p.LoadFromFile(nesmysl.c_str()), 0);
    EXPECT_FALSE(p.Profile());
    EXPECT_FALSE(p.hasAudio);
    EXPECT_TRUE(NotHeldOpen(nesmysl));

    // Opened by someone else without sharing: the system's error.
    WriteText(nesmysl, Bajty(kPrx, false));
    HANDLE drzi = CreateFileW(nesmysl.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(drzi, INVALID_HANDLE_VALUE);
    EXPECT_EQ(p.LoadFromFile(nesmysl.c_str()), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    CloseHandle(drzi);
    EXPECT_EQ(p.LoadFromFile(nesmysl.c_str()), S_OK);
}

TEST_F(ProfilTest, RecorderCustomProfileEdgeCases)
{
    AudioRecorder r;
    ASSERT_EQ(r.Profile().LoadById(mirvak::media::WMProfile_V80_32StereoAudio), S_OK);
    EXPECT_EQ(r.LoadCustomProfile(dir_.Path()), E_INVALIDARG);
    EXPECT_EQ(r.LoadCustomProfile(dir_.File(L"chybi.prx")), E_INVALIDARG);
    EXPECT_EQ(r.LoadCustomProfile(L""), E_INVALIDARG);
    // Refused paths keep the profile loaded before, and are not remembered.
    EXPECT_TRUE(r.Profile().Profile());
    EXPECT_EQ(r.Profile().audioBitrate, 32000u);
    EXPECT_TRUE(r.CustomProfileFile().empty());

    const std::wstring dobry = dir_.File(L"dobry.prx");
    WriteText(dobry, Bajty(kPrx, true));
    EXPECT_EQ(r.LoadCustomProfile(dobry), S_OK);
    EXPECT_EQ(r.CustomProfileFile(), dobry);
    EXPECT_EQ(r.Profile().audioBitrate, 32024u);
}

TEST_F(ProfilTest, StartWithAnUnknownDeviceFailsAndStaysIdle)
{
    AudioRecorder r;
    ASSERT_EQ(r.Profile().LoadById(mirvak::media::WMProfile_V80_64StereoAudio), S_OK);
    const std::wstring soubor = dir_.File(L"nic.wma");
    r.SetDevice({L"Zařízení, které neexistuje", L"popis", L""});
    EXPECT_EQ(r.Device().description, L"popis");
    EXPECT_EQ(r.Start(soubor), E_FAIL);
    EXPECT_FALSE(r.IsRecording());
    EXPECT_FALSE(Exists(soubor));
    r.SetDevice({});
    EXPECT_EQ(r.Start(soubor), E_INVALIDARG);
    EXPECT_FALSE(r.IsRecording());
    EXPECT_EQ(r.Stop(), S_OK);
}

namespace {

// A WM_MEDIA_TYPE buffer as GetMediaType fills it: the structure, then the
// format block it points to.
std::vector<BYTE> VideoTyp(LONG w, LONG h, DWORD bitrate, LONGLONG avg)
{
    std::vector<BYTE> b(sizeof(WM_MEDIA_TYPE) + sizeof(VIDEOINFOHEADER), 0);
    auto* t = reinterpret_cast<WM_MEDIA_TYPE*>(b.data());
    t->majortype = MEDIATYPE_Video;
    t->formattype = FORMAT_VideoInfo;
    t->cbFormat = sizeof(VIDEOINFOHEADER);
    t->pbFormat = b.data() + sizeof(WM_MEDIA_TYPE);
    auto* v = reinterpret_cast<VIDEOINFOHEADER*>(t->pbFormat);
    v->bmiHeader.biWidth = w;
    v->bmiHeader.biHeight = h;
    v->dwBitRate = bitrate;
    v->AvgTimePerFrame = avg;
    return b;
}

WM_MEDIA_TYPE* Typ(std::vector<BYTE>& b) { return reinterpret_cast<WM_MEDIA_TYPE*>(b.data()); }

} // namespace

TEST(VideoHlavicka, ReadOnlyWhenTypeSizeAndPointerFit)
{
    VideoStreamFacts f;
    auto b = VideoTyp(384, 216, 114000, 500000);
    ASSERT_TRUE(ReadVideoStreamFacts(b, f));
    EXPECT_EQ(f.width, 384);
    EXPECT_EQ(f.height, 216);
    EXPECT_EQ(f.bitrate, 114000u);
    EXPECT_EQ(f.frameRate, 20u);
    auto nula = VideoTyp(320, 240, 1, 0);
    ASSERT_TRUE(ReadVideoStreamFacts(nula, f));
    EXPECT_EQ(f.frameRate, 0u);

    // Another type, a format block too short, missing, claimed larger than
    // the buffer or outside it, and a buffer too short for the structure.
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
        vada(Typ(spatny));
        EXPECT_FALSE(ReadVideoStreamFacts(spatny, nic)) << i++;
    }
    std::vector<BYTE> kratky(sizeof(WM_MEDIA_TYPE) - 1, 0);
    EXPECT_FALSE(ReadVideoStreamFacts(kratky, nic));
    EXPECT_EQ(nic.width, -1);
    EXPECT_EQ(nic.frameRate, 0u);
}
