// The built-in Windows Media profile objects, through the interfaces their
// users call, under Wine (whose own profile manager cannot load profiles).
#include "media/dshow/WmProfiles.h"

#include <gtest/gtest.h>

#include <mmreg.h>
#include <wrl/client.h>

#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;
using namespace mirvak::media;

namespace {

constexpr GUID kAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kWaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// GetName/GetDescription the way the recorder reads them.
std::wstring ReadName(IWMProfile* p, bool description = false) {
    DWORD n = 0;
    EXPECT_EQ(description ? p->GetDescription(nullptr, &n) : p->GetName(nullptr, &n), S_OK);
    std::vector<WCHAR> buf(n + 1);
    EXPECT_EQ(description ? p->GetDescription(buf.data(), &n) : p->GetName(buf.data(), &n), S_OK);
    return buf.data();
}

// The stream's media type; its WAVEFORMATEX must follow it inside the buffer.
const WAVEFORMATEX* ReadWave(IWMProfile* profile, std::vector<BYTE>& buf) {
    ComPtr<IWMStreamConfig> config;
    ComPtr<IWMMediaProps> props;
    DWORD size = 0;
    if (profile->GetStream(0, &config) != S_OK || config.As(&props) != S_OK || props->GetMediaType(nullptr, &size) != S_OK)
        return nullptr;
    buf.assign(size, 0);
    auto* mt = reinterpret_cast<WM_MEDIA_TYPE*>(buf.data());
    EXPECT_EQ(props->GetMediaType(mt, &size), S_OK);
    EXPECT_EQ(mt->majortype, kAudio);
    EXPECT_EQ(mt->subtype, kWmaV2Subtype);
    EXPECT_EQ(mt->formattype, kWaveFormatEx);
    if (size < sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX) || mt->pbFormat != buf.data() + sizeof(WM_MEDIA_TYPE) ||
        mt->cbFormat != size - sizeof(WM_MEDIA_TYPE))
        return nullptr;
    auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    EXPECT_EQ(wfx->wFormatTag, 0x0161);
    EXPECT_EQ(wfx->cbSize, mt->cbFormat - sizeof(WAVEFORMATEX));
    EXPECT_EQ(mt->lSampleSize, wfx->nBlockAlign);
    return wfx;
}

// Every test checks that no built-in object outlives it.
class WmProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        alive_ = BuiltInProfileObjectsAlive();
        ASSERT_EQ(CreateBuiltInProfileManager(&manager_), S_OK);
    }
    void TearDown() override {
        manager_.Reset();
        EXPECT_EQ(BuiltInProfileObjectsAlive(), alive_) << "a built-in object leaked";
    }
    long alive_ = 0;
    ComPtr<IWMProfileManager> manager_;
};

} // namespace

// Each system profile by its ID: the catalogue's name, description and
// stream, one stream only, found by index and by number.
TEST_F(WmProfiles, EverySystemProfileReadsLikeTheCatalogue) {
    const GUID ids[7] = {WMProfile_V80_288MonoAudio,  WMProfile_V80_288StereoAudio, WMProfile_V80_32StereoAudio,
                         WMProfile_V80_48StereoAudio, WMProfile_V80_64StereoAudio,  WMProfile_V80_96StereoAudio,
                         WMProfile_V80_128StereoAudio};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const AudioProfile& expected = SystemAudioProfiles()[i];
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(manager_->LoadProfileByID(ids[i], &profile), S_OK);
        EXPECT_EQ(ReadName(profile.Get()), std::wstring(expected.name.begin(), expected.name.end()));
        EXPECT_EQ(ReadName(profile.Get(), true), std::wstring(expected.description.begin(), expected.description.end()));
        ComPtr<IWMProfile2> profile2;
        GUID id{};
        ASSERT_EQ(profile.As(&profile2), S_OK);
        EXPECT_EQ(profile2->GetProfileID(&id), S_OK);
        EXPECT_EQ(id, ids[i]);
        DWORD streams = 0, bitRate = 0;
        ASSERT_EQ(profile->GetStreamCount(&streams), S_OK);
        EXPECT_EQ(streams, 1u);
        ComPtr<IWMStreamConfig> config;
        ASSERT_EQ(profile->GetStreamByNumber(1, &config), S_OK);
        GUID type{};
        EXPECT_EQ(config->GetStreamType(&type), S_OK);
        EXPECT_EQ(type, kAudio);
        EXPECT_EQ(config->GetBitrate(&bitRate), S_OK);
        EXPECT_EQ(bitRate, expected.bitRate);
        std::vector<BYTE> buf;
        const WAVEFORMATEX* wfx = ReadWave(profile.Get(), buf);
        ASSERT_NE(wfx, nullptr);
        EXPECT_EQ(wfx->nChannels, expected.channels);
        EXPECT_EQ(wfx->nSamplesPerSec, expected.sampleRate);
        EXPECT_NEAR(double(wfx->nAvgBytesPerSec) * 8, double(expected.bitRate), expected.bitRate * 0.05);
        ComPtr<IWMStreamConfig> none;
        EXPECT_TRUE(FAILED(profile->GetStream(1, &none)));
        EXPECT_TRUE(FAILED(profile->GetStreamByNumber(2, &none)));
        EXPECT_EQ(none, nullptr);
    }
    ComPtr<IWMProfile> profile;
    GUID unknown = WMProfile_V80_128StereoAudio;
    unknown.Data4[7] ^= 0xFF;
    EXPECT_TRUE(FAILED(manager_->LoadProfileByID(unknown, &profile)));
    EXPECT_TRUE(FAILED(manager_->LoadProfileByID(GUID_NULL, &profile)));
    EXPECT_EQ(profile, nullptr);
}

TEST_F(WmProfiles, LoadsPrxTextAndRefusesGarbage) {
    const std::wstring prx =
        L"\xFEFF<profile version=\"589824\" name=\"Hlas &amp; hudba\" description=\"Vlastní\">"
        L"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" bitrate=\"32024\">"
        L"<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" lsamplesize=\"1487\">"
        L"<waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"22050\" nAvgBytesPerSec=\"4003\" "
        L"nBlockAlign=\"1487\" wBitsPerSample=\"16\" codecdata=\"0044000017003D170000\"/>"
        L"</wmmediatype></streamconfig></profile>\r\n";
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(manager_->LoadProfileByData(prx.c_str(), &profile), S_OK);
    EXPECT_EQ(ReadName(profile.Get()), L"Hlas & hudba");
    ComPtr<IWMProfile2> profile2;
    GUID id = WMProfile_V80_32StereoAudio;
    ASSERT_EQ(profile.As(&profile2), S_OK);
    EXPECT_EQ(profile2->GetProfileID(&id), S_OK);
    EXPECT_EQ(id, GUID_NULL);
    std::vector<BYTE> buf;
    const WAVEFORMATEX* wfx = ReadWave(profile.Get(), buf);
    ASSERT_NE(wfx, nullptr);
    EXPECT_EQ(wfx->nSamplesPerSec, 22050u);

    std::wstring pcm = prx;
    pcm.replace(pcm.find(L"\"353\""), 5, L"\"1\"");
    EXPECT_EQ(manager_->LoadProfileByData(L"this is not a profile", &profile), HRESULT(kEInvalidData));
    EXPECT_EQ(profile, nullptr);
    EXPECT_EQ(manager_->LoadProfileByData(prx.substr(0, 200).c_str(), &profile), HRESULT(kEInvalidData));
    EXPECT_EQ(manager_->LoadProfileByData(pcm.c_str(), &profile), E_INVALIDARG);
}

// A short buffer is refused with the needed size and left alone; nothing is
// written past the terminator.
TEST_F(WmProfiles, TwoCallGettersFollowTheSdkConvention) {
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(manager_->LoadProfileByID(WMProfile_V80_288MonoAudio, &profile), S_OK);
    const std::u16string& name = SystemAudioProfiles()[0].name;
    DWORD n = 0;
    ASSERT_EQ(profile->GetName(nullptr, &n), S_OK);
    EXPECT_EQ(n, name.size() + 1) << "the length counts the terminator";
    std::vector<WCHAR> buf(n + 4, L'#');
    DWORD small = n - 1;
    EXPECT_EQ(profile->GetName(buf.data(), &small), kAsfBufferTooSmall);
    EXPECT_EQ(small, n);
    EXPECT_EQ(buf[0], L'#');
    DWORD roomy = DWORD(buf.size());
    ASSERT_EQ(profile->GetName(buf.data(), &roomy), S_OK);
    EXPECT_EQ(roomy, n);
    EXPECT_EQ(buf[n], L'#');

    ComPtr<IWMStreamConfig> config;
    ComPtr<IWMMediaProps> props;
    ASSERT_EQ(profile->GetStream(0, &config), S_OK);
    ASSERT_EQ(config.As(&props), S_OK);
    DWORD size = 0;
    ASSERT_EQ(props->GetMediaType(nullptr, &size), S_OK);
    std::vector<BYTE> mt(size, 0xCD);
    DWORD shortSize = size - 1;
    EXPECT_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(mt.data()), &shortSize), kAsfBufferTooSmall);
    EXPECT_EQ(shortSize, size);
    EXPECT_EQ(mt[0], 0xCD);
}

TEST_F(WmProfiles, ReleasingTheLastReferenceFreesEachObject) {
    const long before = BuiltInProfileObjectsAlive();
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(manager_->LoadProfileByID(WMProfile_V80_96StereoAudio, &profile), S_OK);
    ComPtr<IWMStreamConfig> config;
    ComPtr<IWMMediaProps> props;
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(profile->GetStream(0, &config), S_OK);
    ASSERT_EQ(config.As(&props), S_OK);
    ASSERT_EQ(profile.As(&unknown), S_OK);
    EXPECT_EQ(BuiltInProfileObjectsAlive(), before + 2);
    // The stream outlives its profile.
    unknown.Reset();
    EXPECT_EQ(profile.Reset(), 0u);
    EXPECT_EQ(BuiltInProfileObjectsAlive(), before + 1);
    DWORD bitRate = 0;
    EXPECT_EQ(config->GetBitrate(&bitRate), S_OK);
    EXPECT_EQ(bitRate, 96000u);
    // IWMStreamConfig and IWMMediaProps are one object with one count.
    EXPECT_EQ(config.Reset(), 1u);
    EXPECT_EQ(props.Reset(), 0u);
    EXPECT_EQ(BuiltInProfileObjectsAlive(), before);
    ComPtr<IWMProfile> unrelated;
    EXPECT_EQ(manager_.As(&unrelated), E_NOINTERFACE);
    EXPECT_EQ(manager_.Reset(), 0u);
    EXPECT_EQ(BuiltInProfileObjectsAlive(), before - 1);
}
