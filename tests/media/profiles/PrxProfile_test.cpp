// The .prx profile reader on the text the recorder hands it (a profile file
// read whole, as UTF-16).
#include "media/profiles/ProfileCatalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mirvak::media;

namespace {

std::u16string U(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

struct WaveFields {
    std::string tag = "353", channels = "2", rate = "44100", avg = "8003", align = "2973", bits = "16",
                codec = "008800000F00C50B0000";
};

WaveFields With(void (*change)(WaveFields&)) {
    WaveFields w;
    change(w);
    return w;
}

// Shaped like a profile the Windows Media SDK saves: one attribute a line.
std::u16string AudioStream(const WaveFields& w = {}, const std::string& bitrate = "64016",
                           const std::string& number = "1") {
    return U("  <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\"\r\n"
             "      streamnumber=\"" + number + "\"\r\n"
             "      streamname=\"Audio Stream\"\r\n"
             "      bitrate=\"" + bitrate + "\"\r\n"
             "      bufferwindow=\"-1\">\r\n"
             "    <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"\r\n"
             "        bfixedsizesamples=\"1\" btemporalcompression=\"0\" lsamplesize=\"" + w.align + "\">\r\n"
             "      <waveformatex wFormatTag=\"" + w.tag + "\" nChannels=\"" + w.channels +
             "\" nSamplesPerSec=\"" + w.rate + "\" nAvgBytesPerSec=\"" + w.avg + "\" nBlockAlign=\"" + w.align +
             "\" wBitsPerSample=\"" + w.bits + "\" codecdata=\"" + w.codec + "\"/>\r\n"
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

std::u16string Profile(const std::u16string& streams, const std::u16string& name = u"Řeč 64") {
    return u"<profile version=\"589824\"\r\n    storageformat=\"1\"\r\n    name=\"" + name +
           u"\"\r\n    description=\"Mluvené slovo\">\r\n" + streams + u"</profile>\r\n";
}

HResult Parse(const std::u16string& text, AudioProfile* out) { return ParsePrxProfile(text.data(), text.size(), out); }

} // namespace

TEST(PrxProfile, ReadsSdkShapedTextWithByteOrderMarkEitherWayDeclarationsCommentsAndCdata) {
    AudioProfile p;
    ASSERT_EQ(Parse(Profile(AudioStream()), &p), kOk);
    EXPECT_EQ(p.name, u"Řeč 64");
    EXPECT_EQ(p.description, u"Mluvené slovo");
    EXPECT_EQ(p.bitRate, 64016u);
    EXPECT_EQ(p.sampleRate, 44100u);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.id, Guid{});

    std::u16string text = u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<!-- saved by hand -->\r\n"
                          u"<!DOCTYPE profile>\r\n" +
                          Profile(u"<!-- <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\"/> -->"
                                  u"<![CDATA[ <profile> ]]>" + AudioStream());
    ASSERT_EQ(Parse(text, &p), kOk);
    EXPECT_EQ(p.name, u"Řeč 64");
    // The same file saved big-endian: every character byte-swapped.
    for (char16_t& c : text) c = static_cast<char16_t>((c << 8) | (c >> 8));
    p = {};
    ASSERT_EQ(Parse(text, &p), kOk);
    EXPECT_EQ(p.name, u"Řeč 64");
    EXPECT_EQ(p.bitRate, 64016u);
    // Nothing after the root element is looked at.
    ASSERT_EQ(Parse(Profile(AudioStream()) + u"</profile><profile", &p), kOk);
}

TEST(PrxProfile, AttributeOrderCaseQuotesAndEntitiesAreXmls) {
    std::u16string text =
        u"<profile description='' name='A &amp; B &lt;1&gt; &quot;&apos; &#233;&#x1F3B5;' version='589824'>"
        u"<streamconfig bitrate='20008' streamnumber='1' MajorType='{73647561-0000-0010-8000-00aa00389b71}'>"
        u"<WMMEDIATYPE lSampleSize='557' SubType='{00000161-0000-0010-8000-00aa00389b71}'>"
        u"<waveformatex codecdata='00 44 00 00 17 00 B5 0C 00 00' wBitsPerSample='16' nBlockAlign='557' "
        u"nAvgBytesPerSec='2501' nSamplesPerSec='22050' nChannels='1' wFormatTag='0x161'></waveformatex>"
        u"</WMMEDIATYPE></streamconfig></profile>";
    AudioProfile p;
    ASSERT_EQ(Parse(text, &p), kOk);
    EXPECT_EQ(p.name, u"A & B <1> \"' é\U0001F3B5");
    EXPECT_EQ(p.description, u"");
    EXPECT_EQ(p.bitRate, 20008u);
    EXPECT_EQ(p.sampleRate, 22050u);
    EXPECT_EQ(p.channels, 1);

    // The audio stream beside a video one; without a bitrate attribute the
    // wave format's byte rate gives it.
    ASSERT_EQ(Parse(Profile(VideoStream("1") + AudioStream({}, "48024", "2")), &p), kOk);
    EXPECT_EQ(p.bitRate, 48024u);
    std::u16string noBitrate = Profile(AudioStream());
    noBitrate.erase(noBitrate.find(u"bitrate=\"64016\""), 15);
    ASSERT_EQ(Parse(noBitrate, &p), kOk);
    EXPECT_EQ(p.bitRate, 8003u * 8);
}

// What is not well-formed is kEInvalidData, what the built-in encoder cannot
// produce kEInvalidArg; either way the result is left alone.
TEST(PrxProfile, RefusesMalformedTextAndWhatTheEncoderCannotProduce) {
    const std::u16string good = AudioStream();
    std::u16string deep = u"<profile>";
    for (int i = 0; i < 5000; ++i) deep += u"<a>";
    std::u16string pcmSubtype = Profile(good);
    pcmSubtype.replace(pcmSubtype.find(u"{00000161"), 9, u"{00000001");
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
        {Profile(AudioStream(With([](WaveFields& w) { w.rate = "44.1k"; }))), kEInvalidData},
        {Profile(AudioStream(With([](WaveFields& w) { w.rate = "-44100"; }))), kEInvalidData},
        {Profile(AudioStream(With([](WaveFields& w) { w.rate = "99999999999"; }))), kEInvalidData},
        {Profile(AudioStream(With([](WaveFields& w) { w.channels = "70000"; }))), kEInvalidData},
        {Profile(AudioStream(With([](WaveFields& w) { w.codec = "0088000"; }))), kEInvalidData},
        {Profile(AudioStream(With([](WaveFields& w) { w.codec = "00GG"; }))), kEInvalidData},
        {Profile(AudioStream({}, "lots")), kEInvalidData},
        {Profile(VideoStream()), kEInvalidArg},
        {u"<profile name=\"empty\"/>", kEInvalidArg},
        {Profile(AudioStream(With([](WaveFields& w) { w.tag = "352"; }))), kEInvalidArg},  // WMA version 1
        {Profile(AudioStream(With([](WaveFields& w) { w.tag = "354"; }))), kEInvalidArg},  // WMA Pro
        {Profile(AudioStream(With([](WaveFields& w) { w.tag = "1"; }))), kEInvalidArg},    // PCM
        {Profile(AudioStream(With([](WaveFields& w) { w.rate = "96000"; }))), kEInvalidArg},
        {Profile(AudioStream(With([](WaveFields& w) { w.rate = "44101"; }))), kEInvalidArg},
        {Profile(AudioStream(With([](WaveFields& w) { w.channels = "6"; }))), kEInvalidArg},
        {Profile(AudioStream(With([](WaveFields& w) { w.channels = "0"; }))), kEInvalidArg},
        {Profile(AudioStream({}, "15999")), kEInvalidArg},
        {Profile(AudioStream({}, "193000")), kEInvalidArg},
        {pcmSubtype, kEInvalidArg},  // a subtype naming another codec than the tag
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        AudioProfile p;
        p.name = u"previous";
        EXPECT_EQ(Parse(cases[i].first, &p), cases[i].second);
        EXPECT_EQ(p.name, u"previous");
    }
    // Every rate the encoder takes; the edges of the bit-rate range, overhead
    // bits included.
    AudioProfile p;
    for (const char* rate : {"8000", "11025", "16000", "22050", "32000", "44100", "48000"}) {
        WaveFields w;
        w.rate = rate;
        ASSERT_EQ(Parse(Profile(AudioStream(w)), &p), kOk) << rate;
        EXPECT_EQ(p.sampleRate, std::stoul(rate));
    }
    EXPECT_EQ(Parse(Profile(AudioStream({}, "16000")), &p), kOk);
    EXPECT_EQ(Parse(Profile(AudioStream({}, "192016")), &p), kOk);
}

TEST(PrxProfile, EveryTruncationIsRefusedAndLeavesTheResultAlone) {
    const std::u16string full = Profile(AudioStream());
    for (size_t cut = 0; cut <= full.rfind(u'>'); ++cut) {
        AudioProfile p;
        p.bitRate = 1;
        ASSERT_EQ(ParsePrxProfile(full.data(), cut, &p), kEInvalidData) << cut;
        ASSERT_EQ(p.bitRate, 1u);
    }
}
