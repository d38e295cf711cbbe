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

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

// GetName/GetDescription the way the recorder reads them.
std::wstring ReadName(IWMProfile* p, bool description = false) {
    DWORD n = 0;
    HRESULT hr = description ? p->GetDescription(nullptr, &n) : p->GetName(nullptr, &n);
    EXPECT_EQ(hr, S_OK);
    std::vector<WCHAR> buf(n);
    hr = description ? p->GetDescription(buf.data(), &n) : p->GetName(buf.data(), &n);
    EXPECT_EQ(hr, S_OK);
    return n ? std::wstring(buf.data()) : std::wstring();
}

std::vector<BYTE> ReadMediaType(IWMStreamConfig* config) {
    ComPtr<IWMMediaProps> props;
    EXPECT_EQ(config->QueryInterface(IID_PPV_ARGS(&props)), S_OK);
    if (!props) return {};
    DWORD size = 0;
    EXPECT_EQ(props->GetMediaType(nullptr, &size), S_OK);
    std::vector<BYTE> buf(size);
    EXPECT_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(buf.data()), &size), S_OK);
    return buf;
}

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

class WmProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        alive_ = BuiltInProfileObjectsAlive();
        ASSERT_EQ(CreateBuiltInProfileManager(&manager_), S_OK);
    }
    void TearDown() override {
        manager_.Reset();
        EXPECT_EQ(BuiltInProfileObjectsAlive(), alive_) << "a built-in object leaked";
        if (!dir_.empty()) {
            DeleteFileW((dir_ + L"\\p.prx").c_str());
            RemoveDirectoryW(dir_.c_str());
        }
    }

    // A .prx as a file, loaded as the recorder loads one: the whole file
    // plus two zero bytes handed over as UTF-16 text.
    HRESULT LoadPrxFile(const std::wstring& text, ComPtr<IWMProfile>* out) {
        if (dir_.empty()) {
            WCHAR tmp[MAX_PATH];
            GetTempPathW(MAX_PATH, tmp);
            dir_ = std::wstring(tmp) + L"tonbar-prof-" + std::to_wstring(GetCurrentProcessId()) +
                   L"-" + std::to_wstring(GetTickCount());
            EXPECT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
        }
        std::wstring path = dir_ + L"\\p.prx";
        std::wstring withBom = L"\xFEFF" + text;
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(f, withBom.data(), DWORD(withBom.size() * 2), &written, nullptr);
        CloseHandle(f);

        f = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(f, INVALID_HANDLE_VALUE);
        DWORD size = GetFileSize(f, nullptr), read = 0;
        std::vector<BYTE> bytes(size + 2, 0);
        ReadFile(f, bytes.data(), size, &read, nullptr);
        CloseHandle(f);
        EXPECT_EQ(read, size);
        return manager_->LoadProfileByData(reinterpret_cast<const WCHAR*>(bytes.data()), out->ReleaseAndGetAddressOf());
    }

    long alive_ = 0;
    ComPtr<IWMProfileManager> manager_;
    std::wstring dir_;
};

const wchar_t kPrx[] =
    L"<profile version=\"589824\" storageformat=\"1\" name=\"Hlas &amp; hudba\" description=\"Vlastní\">\r\n"
    L" <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\"\r\n"
    L"   streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"32024\" bufferwindow=\"-1\">\r\n"
    L"  <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\"\r\n"
    L"    btemporalcompression=\"0\" lsamplesize=\"1487\">\r\n"
    L"   <waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"22050\" nAvgBytesPerSec=\"4003\"\r\n"
    L"     nBlockAlign=\"1487\" wBitsPerSample=\"16\" codecdata=\"0044000017003D170000\"/>\r\n"
    L"  </wmmediatype>\r\n"
    L" </streamconfig>\r\n"
    L"</profile>\r\n";

} // namespace

TEST_F(WmProfiles, UnderWineTheBuiltInManagerIsChosen) {
    // The premise, measured on the system itself: wmvcore's manager exists
    // but cannot load the default profile.
    HMODULE wmvcore = LoadLibraryW(L"wmvcore.dll");
    bool systemCanLoad = false, systemCreated = false;
    if (wmvcore) {
        using CreateFn = HRESULT(WINAPI*)(IWMProfileManager**);
        auto create = reinterpret_cast<CreateFn>(
            reinterpret_cast<void*>(GetProcAddress(wmvcore, "WMCreateProfileManager")));
        ComPtr<IWMProfileManager> system;
        if (create && SUCCEEDED(create(&system))) {
            systemCreated = true;
            ComPtr<IWMProfile> p;
            HRESULT hr = system->LoadProfileByID(WMProfile_V80_128StereoAudio, &p);
            systemCanLoad = SUCCEEDED(hr);
            if (UnderWine()) {
                EXPECT_EQ(hr, E_NOTIMPL);
            }
        }
    }

    if (UnderWine()) {
        EXPECT_TRUE(systemCreated) << "Wine 8 has a profile manager that cannot load profiles";
    }

    ComPtr<IWMProfileManager> chosen;
    ASSERT_EQ(CreateProfileManager(&chosen), S_OK);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(IsBuiltInProfileObject(chosen.Get()), !systemCanLoad);
    if (UnderWine()) {
        EXPECT_TRUE(IsBuiltInProfileObject(chosen.Get()));
    }

    // Whichever it is, it loads the default profile.
    ComPtr<IWMProfile> profile;
    EXPECT_EQ(chosen->LoadProfileByID(WMProfile_V80_128StereoAudio, &profile), S_OK);
    chosen.Reset();
    profile.Reset();
    if (wmvcore) FreeLibrary(wmvcore);
    EXPECT_EQ(CreateProfileManager(nullptr), E_POINTER);
}

TEST_F(WmProfiles, EverySystemProfileReadsLikeTheCatalogue) {
    const GUID ids[7] = {WMProfile_V80_288MonoAudio,  WMProfile_V80_288StereoAudio, WMProfile_V80_32StereoAudio,
                         WMProfile_V80_48StereoAudio, WMProfile_V80_64StereoAudio,  WMProfile_V80_96StereoAudio,
                         WMProfile_V80_128StereoAudio};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const AudioProfile& expected = SystemAudioProfiles()[i];
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(manager_->LoadProfileByID(ids[i], &profile), S_OK);
        EXPECT_EQ(ReadName(profile.Get()), W(expected.name));
        EXPECT_EQ(ReadName(profile.Get(), true), W(expected.description));

        ComPtr<IWMProfile2> profile2;
        ASSERT_EQ(profile.As(&profile2), S_OK);
        GUID id{};
        EXPECT_EQ(profile2->GetProfileID(&id), S_OK);
        EXPECT_EQ(id, ids[i]);

        DWORD streams = 0;
        ASSERT_EQ(profile->GetStreamCount(&streams), S_OK);
        ASSERT_EQ(streams, 1u);
        ComPtr<IWMStreamConfig> byIndex, byNumber;
        ASSERT_EQ(profile->GetStream(0, &byIndex), S_OK);
        ASSERT_EQ(profile->GetStreamByNumber(1, &byNumber), S_OK);
        for (IWMStreamConfig* config : {byIndex.Get(), byNumber.Get()}) {
            GUID type{};
            DWORD bitRate = 0;
            WORD number = 0;
            EXPECT_EQ(config->GetStreamType(&type), S_OK);
            EXPECT_EQ(type, kAudio);
            EXPECT_EQ(config->GetBitrate(&bitRate), S_OK);
            EXPECT_EQ(bitRate, expected.bitRate);
            EXPECT_EQ(config->GetStreamNumber(&number), S_OK);
            EXPECT_EQ(number, 1);

            std::vector<BYTE> buf = ReadMediaType(config);
            ASSERT_GE(buf.size(), sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX));
            auto* mt = reinterpret_cast<WM_MEDIA_TYPE*>(buf.data());
            EXPECT_EQ(mt->majortype, kAudio);
            EXPECT_EQ(mt->subtype, kWmaV2Subtype);
            EXPECT_EQ(mt->formattype, kWaveFormatEx);
            EXPECT_EQ(mt->pUnk, nullptr);
            ASSERT_EQ(mt->pbFormat, buf.data() + sizeof(WM_MEDIA_TYPE));
            ASSERT_EQ(mt->cbFormat, buf.size() - sizeof(WM_MEDIA_TYPE));
            auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt->pbFormat);
            EXPECT_EQ(wfx->wFormatTag, 0x0161);
            EXPECT_EQ(wfx->nChannels, expected.channels);
            EXPECT_EQ(wfx->nSamplesPerSec, expected.sampleRate);
            EXPECT_EQ(wfx->cbSize, mt->cbFormat - sizeof(WAVEFORMATEX));
            EXPECT_GT(wfx->nBlockAlign, 0);
            EXPECT_EQ(mt->lSampleSize, wfx->nBlockAlign);
            // The byte rate matches the profile's bit rate within a few percent.
            EXPECT_NEAR(double(wfx->nAvgBytesPerSec) * 8, double(expected.bitRate), expected.bitRate * 0.05);
        }
        ComPtr<IWMStreamConfig> none;
        EXPECT_TRUE(FAILED(profile->GetStream(1, &none)));
        EXPECT_EQ(none, nullptr);
        EXPECT_TRUE(FAILED(profile->GetStreamByNumber(2, &none)));
        EXPECT_EQ(none, nullptr);
    }
}

TEST_F(WmProfiles, UnknownProfileIdIsRefused) {
    GUID unknown = WMProfile_V80_128StereoAudio;
    unknown.Data4[7] ^= 0xFF;
    ComPtr<IWMProfile> profile;
    EXPECT_TRUE(FAILED(manager_->LoadProfileByID(unknown, &profile)));
    EXPECT_EQ(profile, nullptr);
    EXPECT_TRUE(FAILED(manager_->LoadProfileByID(GUID_NULL, &profile)));
    EXPECT_EQ(manager_->LoadProfileByID(WMProfile_V80_64StereoAudio, nullptr), E_POINTER);
}

TEST_F(WmProfiles, LoadsPrxTextAndRefusesGarbage) {
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(LoadPrxFile(kPrx, &profile), S_OK);
    EXPECT_EQ(ReadName(profile.Get()), L"Hlas & hudba");
    EXPECT_EQ(ReadName(profile.Get(), true), L"Vlastní");
    ComPtr<IWMProfile2> profile2;
    ASSERT_EQ(profile.As(&profile2), S_OK);
    GUID id = WMProfile_V80_32StereoAudio;
    EXPECT_EQ(profile2->GetProfileID(&id), S_OK);
    EXPECT_EQ(id, GUID_NULL);
    ComPtr<IWMStreamConfig> config;
    ASSERT_EQ(profile->GetStream(0, &config), S_OK);
    DWORD bitRate = 0;
    EXPECT_EQ(config->GetBitrate(&bitRate), S_OK);
    EXPECT_EQ(bitRate, 32024u);
    std::vector<BYTE> buf = ReadMediaType(config.Get());
    ASSERT_GE(buf.size(), sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX));
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(buf.data() + sizeof(WM_MEDIA_TYPE));
    EXPECT_EQ(wfx->nSamplesPerSec, 22050u);
    EXPECT_EQ(wfx->nChannels, 2);

    EXPECT_EQ(LoadPrxFile(L"this is not a profile", &profile), HRESULT(kEInvalidData));
    EXPECT_EQ(profile, nullptr);
    std::wstring cut(kPrx, 200);
    EXPECT_EQ(LoadPrxFile(cut, &profile), HRESULT(kEInvalidData));
    std::wstring pcm = kPrx;
    pcm.replace(pcm.find(L"\"353\""), 5, L"\"1\"");
    EXPECT_EQ(LoadPrxFile(pcm, &profile), E_INVALIDARG);
    EXPECT_EQ(profile, nullptr);
    EXPECT_TRUE(FAILED(manager_->LoadProfileByData(nullptr, &profile)));
    EXPECT_EQ(manager_->LoadProfileByData(kPrx, nullptr), E_POINTER);
}

TEST_F(WmProfiles, TwoCallGettersFollowTheSdkConvention) {
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(manager_->LoadProfileByID(WMProfile_V80_288MonoAudio, &profile), S_OK);
    const std::wstring name = W(SystemAudioProfiles()[0].name);

    EXPECT_EQ(profile->GetName(nullptr, nullptr), E_INVALIDARG);
    DWORD n = 0;
    ASSERT_EQ(profile->GetName(nullptr, &n), S_OK);
    EXPECT_EQ(n, name.size() + 1) << "the length counts the terminator";

    std::vector<WCHAR> buf(n + 4, L'#');
    DWORD small = n - 1;
    EXPECT_EQ(profile->GetName(buf.data(), &small), kAsfBufferTooSmall);
    EXPECT_EQ(small, n);
    EXPECT_EQ(buf[0], L'#') << "a short buffer is left alone";

    DWORD roomy = DWORD(buf.size());
    ASSERT_EQ(profile->GetName(buf.data(), &roomy), S_OK);
    EXPECT_EQ(roomy, n);
    EXPECT_EQ(std::wstring(buf.data()), name);
    EXPECT_EQ(buf[n], L'#') << "nothing written past the terminator";

    ComPtr<IWMStreamConfig> config;
    ASSERT_EQ(profile->GetStream(0, &config), S_OK);
    ComPtr<IWMMediaProps> props;
    ASSERT_EQ(config.As(&props), S_OK);
    DWORD size = 0;
    EXPECT_EQ(props->GetMediaType(nullptr, nullptr), E_INVALIDARG);
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
    ASSERT_EQ(profile->GetStream(0, &config), S_OK);
    ComPtr<IWMMediaProps> props;
    ASSERT_EQ(config.As(&props), S_OK);
    ComPtr<IUnknown> unknown;
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
