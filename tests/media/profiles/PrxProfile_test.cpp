// The .prx profile reader on the text the recorder hands it (a profile file
// read whole, as UTF-16).
#include "media/profiles/ProfileCatalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace mirvak::media;

namespace {

std::u16string U(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Shaped like a profile the Windows Media SDK saves: one attribute a line.
std::u16string AudioStream(const std::string& bitrate = "64016", const std::string& number = "1") {
    return U("  <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\"\r\n"
             "      streamnumber=\"" + number + "\"\r\n"
             "      streamname=\"Audio Stream\"\r\n"
             "      bitrate=\"" + bitrate + "\"\r\n"
             "      bufferwindow=\"-1\">\r\n"
             "    <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"\r\n"
             "        bfixedsizesamples=\"1\" btemporalcompression=\"0\" lsamplesize=\"2973\">\r\n"
             "      <waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\" "
             "nAvgBytesPerSec=\"8003\" nBlockAlign=\"2973\" wBitsPerSample=\"16\" "
             "codecdata=\"008800000F00C50B0000\"/>\r\n"
             "    </wmmediatype>\r\n"
             "  </streamconfig>\r\n");
}

std::u16string VideoStream(const std::string& number = "2") {
    return U("  <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"" + number +
             "\" bitrate=\"114000\">\r\n"
             "    <videomediaprops maxkeyframespacing=\"30000000\" quality=\"40\"/>\r\n"
             "    <wmmediatype subtype=\"{33564D57-0000-0010-8000-00AA00389B71}\" lsamplesize=\"0\">\r\n"
             "      <videoinfoheader dwbitrate=\"114000\"><rcsource left=\"0\" top=\"0\" right=\"384\" "
             "bottom=\"216\"/></videoinfoheader>\r\n"
             "    </wmmediatype>\r\n"
             "  </streamconfig>\r\n");
}

std::u16string Profile(const std::u16string& streams = AudioStream(), const std::u16string& name = u"Řeč 64") {
    return u"<profile version=\"589824\"\r\n    storageformat=\"1\"\r\n    name=\"" + name +
           u"\"\r\n    description=\"Mluvené slovo\">\r\n" + streams + u"</profile>\r\n";
}

// The SDK-shaped profile with attribute `attr` set to `value` ("" drops it).
std::u16string With(const std::string& attr, const std::string& value) {
    std::u16string text = Profile();
    const size_t at = text.find(U(" " + attr + "=\"")) + 1, end = text.find(u'"', at + attr.size() + 2) + 1;
    return text.replace(at, end - at, value.empty() ? u"" : U(attr + "=\"" + value + "\""));
}

HResult Parse(const std::u16string& text, AudioProfile* out) { return ParsePrxProfile(text.data(), text.size(), out); }

} // namespace

// SDK-shaped text with a byte-order mark either way, declarations, comments
// and CDATA; attributes in any order, case and quotes, with entities; the
// audio stream beside a video one; without a bitrate attribute the wave
// format's byte rate gives it; nothing after the root element is looked at.
TEST(PrxProfile, ReadsWhatXmlAllows) {
    std::u16string decorated = u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<!-- saved by hand -->\r\n"
                               u"<!DOCTYPE profile>\r\n" +
                               Profile(u"<!-- <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\"/>"
                                       u" --><![CDATA[ <profile> ]]>" + AudioStream());
    std::u16string swapped = decorated;
    for (char16_t& c : swapped) c = static_cast<char16_t>((c << 8) | (c >> 8));
    const std::u16string reordered =
        u"<profile description='' name='A &amp; B &lt;1&gt; &quot;&apos; &#233;&#x1F3B5;' version='589824'>"
        u"<streamconfig bitrate='20008' streamnumber='1' MajorType='{73647561-0000-0010-8000-00aa00389b71}'>"
        u"<WMMEDIATYPE lSampleSize='557' SubType='{00000161-0000-0010-8000-00aa00389b71}'>"
        u"<waveformatex codecdata='00 44 00 00 17 00 B5 0C 00 00' wBitsPerSample='16' nBlockAlign='557' "
        u"nAvgBytesPerSec='2501' nSamplesPerSec='22050' nChannels='1' wFormatTag='0x161'></waveformatex>"
        u"</WMMEDIATYPE></streamconfig></profile>";
    const struct {
        std::u16string text, name, description;
        uint32_t bitRate, rate;
        uint16_t channels;
    } cases[] = {
        {Profile(), u"Řeč 64", u"Mluvené slovo", 64016, 44100, 2},
        {decorated, u"Řeč 64", u"Mluvené slovo", 64016, 44100, 2},
        {swapped, u"Řeč 64", u"Mluvené slovo", 64016, 44100, 2},
        {Profile() + u"</profile><profile", u"Řeč 64", u"Mluvené slovo", 64016, 44100, 2},
        {reordered, u"A & B <1> \"' é\U0001F3B5", u"", 20008, 22050, 1},
        {Profile(VideoStream("1") + AudioStream("48024", "2")), u"Řeč 64", u"Mluvené slovo", 48024, 44100, 2},
        {With("bitrate", ""), u"Řeč 64", u"Mluvené slovo", 8003 * 8, 44100, 2},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        AudioProfile p;
        ASSERT_EQ(Parse(cases[i].text, &p), kOk);
        const auto& c = cases[i];
        EXPECT_EQ(std::tie(p.name, p.description, p.bitRate, p.sampleRate, p.channels),
                  std::tie(c.name, c.description, c.bitRate, c.rate, c.channels));
        EXPECT_EQ(p.id, Guid{});
    }
    // Every rate the encoder takes; the edges of the bit-rate range, overhead
    // bits included.
    AudioProfile p;
    for (const char* rate : {"8000", "11025", "16000", "22050", "32000", "44100", "48000"}) {
        ASSERT_EQ(Parse(With("nSamplesPerSec", rate), &p), kOk) << rate;
        EXPECT_EQ(p.sampleRate, std::stoul(rate));
    }
    EXPECT_EQ(Parse(With("bitrate", "16000"), &p), kOk);
    EXPECT_EQ(Parse(With("bitrate", "192016"), &p), kOk);
}

// What is not well-formed is kEInvalidData, what the built-in encoder cannot
// produce kEInvalidArg; either way the result is left alone, also for every
// truncation of a good profile.
TEST(PrxProfile, RefusesMalformedTextAndWhatTheEncoderCannotProduce) {
    const std::u16string good = AudioStream();
    std::u16string deep = u"<profile>";
    for (int i = 0; i < 5000; ++i) deep += u"<a>";
    const std::pair<std::u16string, HResult> cases[] = {
        {u"", kEInvalidData},
        {u"   \r\n", kEInvalidData},
        {u"hello", kEInvalidData},
        {u"<settings name=\"x\">" + good + u"</settings>", kEInvalidData},
        {u"<profile name=\"x\">" + good + u"</profil>", kEInvalidData},
        {u"<profile name=\"x\" name=\"y\">" + good + u"</profile>", kEInvalidData},
        {u"<profile name=x>" + good + u"</profile>", kEInvalidData},
        {u"<profile name=\"a<b\">" + good + u"</profile>", kEInvalidData},
        {u"<profile name=\"x\"description=\"y\">" + good + u"</profile>", kEInvalidData},
        {u"<!DOCTYPE profile [<!ENTITY e \"x\">]><profile>" + good + u"</profile>", kEInvalidData},
        {u"<profile><![CDATA[ never closed </profile>", kEInvalidData},
        {u"<profile><!-- never closed </profile>", kEInvalidData},
        {u"<profile><streamconfig bitrate=\"64000\"><wmmediatype/></streamconfig></profile>", kEInvalidData},
        {u"<profile><streamconfig majortype=\"{7364}\"/></profile>", kEInvalidData},
        {u"<profile><streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" bitrate=\"64000\"/></profile>",
         kEInvalidData},  // audio without a wave format
        {deep, kEInvalidData},
        {Profile(good, u"&nbsp;"), kEInvalidData},
        {Profile(good, u"&#0;"), kEInvalidData},
        {Profile(good, u"&#xD800;"), kEInvalidData},
        {Profile(good, u"&#x110000;"), kEInvalidData},
        {Profile(good, u"& amp;"), kEInvalidData},
        {Profile(good, u"&amp"), kEInvalidData},
        {Profile(good, u"&#x;"), kEInvalidData},
        {With("nSamplesPerSec", "44.1k"), kEInvalidData},
        {With("nSamplesPerSec", "-44100"), kEInvalidData},
        {With("nSamplesPerSec", "99999999999"), kEInvalidData},
        {With("nChannels", "70000"), kEInvalidData},
        {With("codecdata", "0088000"), kEInvalidData},
        {With("codecdata", "00GG"), kEInvalidData},
        {With("bitrate", "lots"), kEInvalidData},
        {Profile(VideoStream()), kEInvalidArg},
        {u"<profile name=\"empty\"/>", kEInvalidArg},
        {With("wFormatTag", "352"), kEInvalidArg},  // WMA version 1
        {With("wFormatTag", "354"), kEInvalidArg},  // WMA Pro
        {With("wFormatTag", "1"), kEInvalidArg},    // PCM
        {With("nSamplesPerSec", "96000"), kEInvalidArg},
        {With("nSamplesPerSec", "44101"), kEInvalidArg},
        {With("nChannels", "6"), kEInvalidArg},
        {With("nChannels", "0"), kEInvalidArg},
        {With("bitrate", "15999"), kEInvalidArg},
        {With("bitrate", "193000"), kEInvalidArg},
        {With("subtype", "{00000001-0000-0010-8000-00AA00389B71}"), kEInvalidArg},  // another codec than the tag
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        AudioProfile p;
        p.name = u"previous";
        EXPECT_EQ(Parse(cases[i].first, &p), cases[i].second);
        EXPECT_EQ(p.name, u"previous");
    }
    const std::u16string full = Profile();
    for (size_t cut = 0; cut <= full.rfind(u'>'); ++cut) {
        AudioProfile p;
        p.bitRate = 1;
        ASSERT_EQ(ParsePrxProfile(full.data(), cut, &p), kEInvalidData) << cut;
        ASSERT_EQ(p.bitRate, 1u);
    }
}
