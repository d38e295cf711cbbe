// .prx files are written to a temporary folder and read back the way the
// recorder reads them (whole file plus two zero bytes, as UTF-16).
#include "media/profiles/ProfileCatalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace mirvak::media;
namespace fs = std::filesystem;

namespace {

std::u16string U(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

struct WaveFields {
    std::string tag = "353", channels = "2", rate = "44100", avg = "8003", align = "2973",
                bits = "16", codec = "008800000F00C50B0000";
};

// Shaped like a profile the Windows Media SDK saves: one attribute a line.
std::u16string AudioStream(const WaveFields& w, const std::string& bitrate = "64016",
                           const std::string& number = "1") {
    return U("  <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\"\r\n"
             "      streamnumber=\"" + number + "\"\r\n"
             "      streamname=\"Audio Stream\"\r\n"
             "      inputname=\"Audio409\"\r\n"
             "      bitrate=\"" + bitrate + "\"\r\n"
             "      bufferwindow=\"-1\"\r\n"
             "      reliabletransport=\"0\"\r\n"
             "      decodercomplexity=\"\"\r\n"
             "      rfc1766langid=\"en-us\">\r\n"
             "    <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"\r\n"
             "        bfixedsizesamples=\"1\" btemporalcompression=\"0\" lsamplesize=\"" + w.align + "\">\r\n"
             "      <waveformatex wFormatTag=\"" + w.tag + "\" nChannels=\"" + w.channels +
             "\" nSamplesPerSec=\"" + w.rate + "\" nAvgBytesPerSec=\"" + w.avg +
             "\" nBlockAlign=\"" + w.align + "\" wBitsPerSample=\"" + w.bits +
             "\" codecdata=\"" + w.codec + "\"/>\r\n"
             "    </wmmediatype>\r\n"
             "  </streamconfig>\r\n");
}

std::u16string VideoStream(const std::string& number = "2") {
    return U("  <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"" +
             number + "\" streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"114000\" bufferwindow=\"-1\">\r\n"
             "    <videomediaprops maxkeyframespacing=\"30000000\" quality=\"40\"/>\r\n"
             "    <wmmediatype subtype=\"{33564D57-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"0\" "
             "btemporalcompression=\"1\" lsamplesize=\"0\">\r\n"
             "      <videoinfoheader dwbitrate=\"114000\" dwbiterrorrate=\"0\" avgtimeperframe=\"500000\">\r\n"
             "        <rcsource left=\"0\" top=\"0\" right=\"384\" bottom=\"216\"/>\r\n"
             "        <rctarget left=\"0\" top=\"0\" right=\"384\" bottom=\"216\"/>\r\n"
             "        <bitmapinfoheader biwidth=\"384\" biheight=\"216\" biplanes=\"1\" bibitcount=\"24\" "
             "bicompression=\"WMV3\" bisizeimage=\"0\"/>\r\n"
             "      </videoinfoheader>\r\n"
             "    </wmmediatype>\r\n"
             "  </streamconfig>\r\n");
}

std::u16string Profile(const std::u16string& streams, const std::u16string& name = u"Řeč 64",
                       const std::u16string& description = u"Mluvené slovo") {
    return u"<profile version=\"589824\"\r\n    storageformat=\"1\"\r\n    name=\"" + name +
           u"\"\r\n    description=\"" + description + u"\">\r\n" + streams + u"</profile>\r\n";
}

class PrxFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tonbar-prx-" + std::to_string(std::random_device{}()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        fs::path p = dir_ / name;
        std::ofstream f(p, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }

    // UTF-16 little-endian, optionally with a byte-order mark.
    fs::path Write(const std::string& name, const std::u16string& text, bool bom = true) {
        std::vector<uint8_t> bytes;
        if (bom) bytes = {0xFF, 0xFE};
        for (char16_t c : text) {
            bytes.push_back(uint8_t(c & 0xFF));
            bytes.push_back(uint8_t(c >> 8));
        }
        return WriteBytes(name, bytes);
    }

    // As the recorder loads a .prx: the file and two zero bytes.
    static HResult Load(const fs::path& p, AudioProfile* out) {
        std::ifstream f(p, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        std::vector<char16_t> text(bytes.size() / 2 + 2, 0);
        std::memcpy(text.data(), bytes.data(), bytes.size());
        return ParsePrxProfile(text.data(), text.size(), out);
    }

    HResult WriteAndLoad(const std::u16string& text, AudioProfile* out, bool bom = true) {
        return Load(Write("p.prx", text, bom), out);
    }

    fs::path dir_;
};

} // namespace

TEST_F(PrxFiles, ReadsAnSdkShapedProfileWithAndWithoutByteOrderMark) {
    for (bool bom : {true, false}) {
        SCOPED_TRACE(bom);
        AudioProfile p;
        ASSERT_EQ(WriteAndLoad(Profile(AudioStream({})), &p, bom), kOk);
        EXPECT_EQ(p.name, u"Řeč 64");
        EXPECT_EQ(p.description, u"Mluvené slovo");
        EXPECT_EQ(p.bitRate, 64016u);
        EXPECT_EQ(p.sampleRate, 44100u);
        EXPECT_EQ(p.channels, 2);
        EXPECT_EQ(p.id, Guid{});
    }
}

TEST_F(PrxFiles, ReadsBigEndianTextAndDeclarationsCommentsAndCdata) {
    std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<!-- saved by hand -->\r\n"
                          u"<!DOCTYPE profile>\r\n" +
                          Profile(u"<!-- <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\"/> -->"
                                  u"<![CDATA[ <profile> ]]>" + AudioStream({}));
    std::vector<uint8_t> bytes = {0xFE, 0xFF};
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c >> 8));
        bytes.push_back(uint8_t(c & 0xFF));
    }
    AudioProfile p;
    ASSERT_EQ(Load(WriteBytes("be.prx", bytes), &p), kOk);
    EXPECT_EQ(p.name, u"Řeč 64");
    EXPECT_EQ(p.bitRate, 64016u);
}

TEST_F(PrxFiles, AttributeOrderCaseAndQuotesDoNotMatter) {
    std::u16string text =
        u"<profile description='' name='Mono 22' version='589824'>"
        u"<streamconfig bitrate='20008' streamnumber='1' MajorType='{73647561-0000-0010-8000-00aa00389b71}'>"
        u"<WMMEDIATYPE lSampleSize='557' SubType='{00000161-0000-0010-8000-00aa00389b71}'>"
        u"<waveformatex codecdata='00 44 00 00 17 00 B5 0C 00 00' wBitsPerSample='16' nBlockAlign='557' "
        u"nAvgBytesPerSec='2501' nSamplesPerSec='22050' nChannels='1' wFormatTag='0x161'></waveformatex>"
        u"</WMMEDIATYPE></streamconfig></profile>";
    AudioProfile p;
    ASSERT_EQ(WriteAndLoad(text, &p, false), kOk);
    EXPECT_EQ(p.name, u"Mono 22");
    EXPECT_EQ(p.description, u"");
    EXPECT_EQ(p.bitRate, 20008u);
    EXPECT_EQ(p.sampleRate, 22050u);
    EXPECT_EQ(p.channels, 1);
}

TEST_F(PrxFiles, DecodesEntitiesAndRefusesUnknownOnes) {
    AudioProfile p;
    ASSERT_EQ(WriteAndLoad(Profile(AudioStream({}), u"A &amp; B &lt;1&gt; &quot;&apos; &#233;&#x1F3B5;"), &p),
              kOk);
    EXPECT_EQ(p.name, u"A & B <1> \"' é\U0001F3B5");

    for (const char16_t* bad : {u"&nbsp;", u"&#0;", u"&#xD800;", u"&#x110000;", u"& amp;", u"&amp", u"&#x;"}) {
        SCOPED_TRACE(std::string(bad, bad + std::char_traits<char16_t>::length(bad)));
        EXPECT_EQ(WriteAndLoad(Profile(AudioStream({}), bad), &p), kEInvalidData);
    }
}

TEST_F(PrxFiles, TakesTheAudioStreamBesideVideoAndRefusesVideoOnly) {
    AudioProfile p;
    ASSERT_EQ(WriteAndLoad(Profile(VideoStream("1") + AudioStream({}, "48024", "2")), &p), kOk);
    EXPECT_EQ(p.bitRate, 48024u);

    EXPECT_EQ(WriteAndLoad(Profile(VideoStream()), &p), kEInvalidArg);
    EXPECT_EQ(WriteAndLoad(u"<profile name=\"empty\"/>", &p), kEInvalidArg);
}

TEST_F(PrxFiles, RefusesWhatTheBuiltInEncoderCannotProduce) {
    struct Case {
        const char* what;
        WaveFields wave;
        std::string bitrate;
    };
    auto with = [](auto change) {
        WaveFields w;
        change(w);
        return w;
    };
    const Case cases[] = {
        {"WMA version 1", with([](WaveFields& w) { w.tag = "352"; }), "64016"},
        {"WMA Pro", with([](WaveFields& w) { w.tag = "354"; }), "64016"},
        {"PCM", with([](WaveFields& w) { w.tag = "1"; }), "64016"},
        {"96 kHz", with([](WaveFields& w) { w.rate = "96000"; }), "64016"},
        {"44 kHz off by one", with([](WaveFields& w) { w.rate = "44101"; }), "64016"},
        {"six channels", with([](WaveFields& w) { w.channels = "6"; }), "64016"},
        {"no channels", with([](WaveFields& w) { w.channels = "0"; }), "64016"},
        {"too low", WaveFields{}, "15999"},
        {"too high", WaveFields{}, "193000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AudioProfile p;
        EXPECT_EQ(WriteAndLoad(Profile(AudioStream(c.wave, c.bitrate)), &p), kEInvalidArg);
    }

    // The edges of the bit-rate range, overhead bits included.
    AudioProfile p;
    EXPECT_EQ(WriteAndLoad(Profile(AudioStream({}, "16000")), &p), kOk);
    EXPECT_EQ(WriteAndLoad(Profile(AudioStream({}, "192016")), &p), kOk);
    EXPECT_EQ(p.bitRate, 192016u);

    // A subtype that names another codec than the wave format's tag.
    std::u16string pcmSubtype = Profile(AudioStream({}));
    size_t at = pcmSubtype.find(u"{00000161");
    pcmSubtype.replace(at, 9, u"{00000001");
    EXPECT_EQ(WriteAndLoad(pcmSubtype, &p), kEInvalidArg);
}

TEST_F(PrxFiles, EveryTruncationIsRefusedAndLeavesTheResultAlone) {
    std::u16string full = Profile(AudioStream({}));
    size_t end = full.rfind(u'>') + 1;
    AudioProfile keep;
    keep.name = u"previous";
    keep.bitRate = 1;
    for (size_t cut = 0; cut < end; ++cut) {
        AudioProfile p = keep;
        std::u16string part = full.substr(0, cut);
        ASSERT_EQ(ParsePrxProfile(part.data(), part.size(), &p), kEInvalidData) << cut;
        ASSERT_EQ(p.name, u"previous");
        ASSERT_EQ(p.bitRate, 1u);
    }
    // The same through a file cut mid-character (odd byte length).
    fs::path path = Write("cut.prx", full.substr(0, full.size() / 2));
    std::vector<uint8_t> bytes;
    {
        std::ifstream f(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    bytes.pop_back();
    AudioProfile p;
    EXPECT_EQ(Load(WriteBytes("odd.prx", bytes), &p), kEInvalidData);
}

TEST_F(PrxFiles, AStrayByteAfterTheProfileIsHarmless) {
    fs::path path = Write("full.prx", Profile(AudioStream({})));
    std::vector<uint8_t> bytes;
    {
        std::ifstream f(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    bytes.push_back('x');
    ASSERT_EQ(bytes.size() % 2, 1u);
    AudioProfile p;
    EXPECT_EQ(Load(WriteBytes("odd.prx", bytes), &p), kOk);
    EXPECT_EQ(p.bitRate, 64016u);

    // Nothing after the root element is looked at.
    std::u16string trailing = Profile(AudioStream({})) + u"</profile><profile";
    EXPECT_EQ(ParsePrxProfile(trailing.data(), trailing.size(), &p), kOk);
}

TEST_F(PrxFiles, MalformedTextIsInvalidData) {
    const std::u16string good = AudioStream({});
    const std::u16string cases[] = {
        u"",
        u"   \r\n",
        u"hello",
        u"<settings name=\"x\">" + good + u"</settings>",            // not a profile
        u"<profile name=\"x\">" + good + u"</profil>",               // mismatched end tag
        u"<profile name=\"x\" name=\"y\">" + good + u"</profile>",   // duplicate attribute
        u"<profile name=x>" + good + u"</profile>",                  // unquoted value
        u"<profile name=\"a<b\">" + good + u"</profile>",            // '<' in a value
        u"<profile name=\"x\"description=\"y\">" + good + u"</profile>",  // no blank between attributes
        u"<!DOCTYPE profile [<!ENTITY e \"x\">]><profile>" + good + u"</profile>",
        u"<profile><![CDATA[ never closed </profile>",
        u"<profile><!-- never closed </profile>",
        u"<profile><streamconfig bitrate=\"64000\"><wmmediatype/></streamconfig></profile>",  // no majortype
        u"<profile><streamconfig majortype=\"{7364}\"/></profile>",                       // bad GUID
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        AudioProfile p;
        EXPECT_EQ(WriteAndLoad(cases[i], &p), kEInvalidData);
    }
}

TEST_F(PrxFiles, AudioStreamFieldsMustBeNumbersAndHex) {
    auto with = [](auto change) {
        WaveFields w;
        change(w);
        return w;
    };
    const WaveFields bad[] = {
        with([](WaveFields& w) { w.rate = "44.1k"; }),
        with([](WaveFields& w) { w.rate = "-44100"; }),
        with([](WaveFields& w) { w.rate = "99999999999"; }),
        with([](WaveFields& w) { w.channels = "70000"; }),
        with([](WaveFields& w) { w.codec = "0088000"; }),   // odd digits
        with([](WaveFields& w) { w.codec = "00GG"; }),
    };
    for (size_t i = 0; i < std::size(bad); ++i) {
        SCOPED_TRACE(i);
        AudioProfile p;
        EXPECT_EQ(WriteAndLoad(Profile(AudioStream(bad[i])), &p), kEInvalidData);
    }
    AudioProfile p;
    EXPECT_EQ(WriteAndLoad(Profile(AudioStream({}, "lots")), &p), kEInvalidData);

    // Without a bitrate attribute the wave format's byte rate gives it.
    std::u16string noBitrate = Profile(AudioStream({}));
    size_t at = noBitrate.find(u"bitrate=\"64016\"");
    noBitrate.erase(at, 15);
    ASSERT_EQ(WriteAndLoad(noBitrate, &p), kOk);
    EXPECT_EQ(p.bitRate, 8003u * 8);

    // An audio stream with no wave format is not a usable profile.
    EXPECT_EQ(WriteAndLoad(u"<profile><streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" "
                           u"bitrate=\"64000\"/></profile>",
                           &p),
              kEInvalidData);
}

TEST_F(PrxFiles, RefusesDeepNestingAndMissingArguments) {
    std::u16string deep = u"<profile>";
    for (int i = 0; i < 5000; ++i) deep += u"<a>";
    AudioProfile p;
    EXPECT_EQ(ParsePrxProfile(deep.data(), deep.size(), &p), kEInvalidData);

    EXPECT_EQ(ParsePrxProfile(nullptr, 10, &p), kEInvalidData);
    EXPECT_EQ(ParsePrxProfile(u"<profile/>", 10, nullptr), kEInvalidArg);
}

TEST_F(PrxFiles, EveryCatalogueProfileSurvivesAFileRoundTrip) {
    for (const AudioProfile& sys : SystemAudioProfiles()) {
        SCOPED_TRACE(std::string(sys.name.begin(), sys.name.end()));
        WaveFields w;
        w.channels = std::to_string(sys.channels);
        w.rate = std::to_string(sys.sampleRate);
        w.avg = std::to_string(sys.bitRate / 8);
        std::u16string name;
        for (char16_t c : sys.name) name += c == u'&' ? u"&amp;" : std::u16string(1, c);
        AudioProfile p;
        ASSERT_EQ(WriteAndLoad(Profile(AudioStream(w, std::to_string(sys.bitRate)), name, sys.description), &p),
                  kOk);
        EXPECT_EQ(p.name, sys.name);
        EXPECT_EQ(p.bitRate, sys.bitRate);
        EXPECT_EQ(p.sampleRate, sys.sampleRate);
        EXPECT_EQ(p.channels, sys.channels);
    }
}
