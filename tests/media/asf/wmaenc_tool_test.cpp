// tonbar-wmaenc end to end: the built-in encoder, the ASF writer and the
// profile catalogue together, judged by ffprobe and ffmpeg.
#include "media/asf/asf_test_support.h"

#include <cmath>

using namespace asftest;

namespace {

const std::string kTool = std::string(TONBAR_BINARY_DIR) + "/src/media/tonbar-wmaenc";

struct ProfileCase {
    const char* guid;
    uint32_t rate;
    int channels;
    uint32_t bitRate;
};

// The seven system profiles with what each must produce.
const ProfileCase kProfiles[] = {
    {"{7EA3126D-E1BA-4716-89AF-F65CEE0C0C67}", 22050, 1, 20000},
    {"{7E4CAB5C-35DC-45BB-A7C0-19B28070D0CC}", 22050, 2, 20000},
    {"{60907F9F-B352-47E5-B210-0EF1F47E9F9D}", 32000, 2, 32000},
    {"{5EE06BE5-492B-480A-8A8F-12F373ECF9D4}", 44100, 2, 48000},
    {"{09BB5BC4-3176-457F-8DD6-3CD919123E2D}", 44100, 2, 64000},
    {"{1FC81930-61F2-436F-9D33-349F2A1C0F10}", 44100, 2, 96000},
    {"{407B9450-8BDC-4EE5-88B8-6F527BD941F2}", 44100, 2, 128000},
};

std::vector<int16_t> Samples(const std::vector<uint8_t>& raw) {
    std::vector<int16_t> s(raw.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return s;
}

double Rms(const std::vector<int16_t>& s) {
    double sum = 0;
    for (int16_t v : s) sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / s.size());
}

class WmaencToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kTool)) << kTool << " is not built";
    }
    CommandResult Tool(const std::string& args) { return Shell(dir_, Quote(kTool) + " " + args); }
    std::string MakeWav(const std::string& name, const std::string& soxArgs) {
        std::string path = dir_ / name;
        CommandResult r = Shell(dir_, "sox -n -b 16 " + soxArgs.substr(0, soxArgs.find('|')) + " " + Quote(path) +
                                          " " + soxArgs.substr(soxArgs.find('|') + 1));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return path;
    }
    // Decodes to 16-bit PCM at the file's own rate and channels.
    std::vector<int16_t> Decode(const std::string& file, std::string* errors) {
        std::string raw = dir_ / "decoded.raw";
        CommandResult r = Shell(dir_, "ffmpeg -nostdin -v error -y -i " + Quote(file) + " -f s16le " + Quote(raw));
        *errors = r.err;
        if (r.exitCode != 0 && errors->empty()) *errors = "ffmpeg exit " + std::to_string(r.exitCode);
        return Samples(ReadBytes(raw));
    }
    TempDir dir_;
};

// Every system profile: the right stream, clean decoding, the input's length
// and level.
TEST_F(WmaencToolTest, EverySystemProfileGivesTheProfilesStream) {
    std::string in = MakeWav("in.wav", "-r 44100 -c 2|synth 10 sine 300-3000 sine 440 tremolo 3 60 gain -6");
    const double inRms = Rms(Samples(ReadBytes(in)));
    for (const ProfileCase& p : kProfiles) {
        SCOPED_TRACE(p.guid);
        std::string out = dir_ / "out.wma";
        CommandResult r = Tool("--profile " + Quote(p.guid) + " " + Quote(in) + " " + Quote(out));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(out));
        ASSERT_EQ(probe.exitCode, 0) << probe.err;
        EXPECT_EQ(probe.err, "");
        EXPECT_EQ(ProbeValue(probe.out, "codec_name"), "wmav2");
        EXPECT_EQ(ProbeValue(probe.out, "sample_rate"), std::to_string(p.rate));
        EXPECT_EQ(ProbeValue(probe.out, "channels"), std::to_string(p.channels));
        EXPECT_EQ(ProbeValue(probe.out, "bit_rate"), std::to_string(p.bitRate));
        EXPECT_NEAR(std::stod(ProbeValue(probe.out, "duration").value_or("0")), 10.0, 0.05);
        std::string errors;
        std::vector<int16_t> pcm = Decode(out, &errors);
        EXPECT_EQ(errors, "");
        EXPECT_GE(pcm.size(), size_t(9.9 * p.rate) * p.channels);
        double ratio = Rms(pcm) / inRms;
        EXPECT_GT(ratio, 0.5) << "decoded level far below the input's";
        EXPECT_LT(ratio, 2.0);
    }
}

// Any common WAV goes in: 8 kHz mono becomes 44.1 kHz stereo at the same
// pitch, 48 kHz stereo becomes 22.05 kHz mono.
TEST_F(WmaencToolTest, OtherRatesAndChannelCountsAreConverted) {
    {
        std::string in = MakeWav("mono8k.wav", "-r 8000 -c 1|synth 4 sine 440 gain -6");
        std::string out = dir_ / "up.wma";
        CommandResult r = Tool("--profile {407B9450-8BDC-4EE5-88B8-6F527BD941F2} " + Quote(in) + " " + Quote(out));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(out));
        EXPECT_EQ(ProbeValue(probe.out, "sample_rate"), "44100");
        EXPECT_EQ(ProbeValue(probe.out, "channels"), "2");
        EXPECT_NEAR(std::stod(ProbeValue(probe.out, "duration").value_or("0")), 4.0, 0.05);
        std::string errors;
        std::vector<int16_t> pcm = Decode(out, &errors);
        EXPECT_EQ(errors, "");
        // Pitch: count rising zero crossings of the left channel over the
        // middle two seconds.
        size_t from = 44100, to = 3 * 44100, crossings = 0;
        ASSERT_GT(pcm.size(), to * 2);
        for (size_t i = from + 1; i < to; ++i)
            if (pcm[2 * (i - 1)] < 0 && pcm[2 * i] >= 0) ++crossings;
        EXPECT_NEAR(double(crossings) / 2.0, 440.0, 3.0);
        // Both channels carry the tone.
        double l = 0, rr = 0;
        for (size_t i = from; i < to; ++i) {
            l += double(pcm[2 * i]) * pcm[2 * i];
            rr += double(pcm[2 * i + 1]) * pcm[2 * i + 1];
        }
        EXPECT_NEAR(std::sqrt(l / rr), 1.0, 0.1);
        EXPECT_NEAR(std::sqrt(l / (to - from)), 16384 / std::sqrt(2.0), 16384 * 0.15) << "level kept";
    }
    {
        std::string in = MakeWav("st48k.wav", "-r 48000 -c 2|synth 3 sine 1000 sine 1000 gain -6");
        std::string out = dir_ / "down.wma";
        CommandResult r = Tool("--profile {7EA3126D-E1BA-4716-89AF-F65CEE0C0C67} " + Quote(in) + " " + Quote(out));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(out));
        EXPECT_EQ(ProbeValue(probe.out, "sample_rate"), "22050");
        EXPECT_EQ(ProbeValue(probe.out, "channels"), "1");
        EXPECT_NEAR(std::stod(ProbeValue(probe.out, "duration").value_or("0")), 3.0, 0.05);
        std::string errors;
        std::vector<int16_t> pcm = Decode(out, &errors);
        EXPECT_EQ(errors, "");
        size_t crossings = 0;
        for (size_t i = 22050 + 1; i < 2 * 22050; ++i)
            if (pcm[i - 1] < 0 && pcm[i] >= 0) ++crossings;
        EXPECT_NEAR(double(crossings), 1000.0, 5.0);
    }
}

TEST_F(WmaencToolTest, TitleAndPrxProfile) {
    std::string in = MakeWav("in.wav", "-r 44100 -c 2|synth 2 sine 500 gain -6");
    // A saved profile: UTF-16LE with a byte-order mark, 64 kbit/s stereo at 44.1 kHz.
    std::u16string xml =
        u"\xFEFF<profile version=\"589824\" storageformat=\"1\" name=\"Vlastní profil\" description=\"\">\r\n"
        u" <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
        u"streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"64016\" bufferwindow=\"-1\">\r\n"
        u"  <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\" "
        u"btemporalcompression=\"0\" lsamplesize=\"2973\">\r\n"
        u"   <waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\" nAvgBytesPerSec=\"8000\" "
        u"nBlockAlign=\"2973\" wBitsPerSample=\"16\" codecdata=\"008800000F0036450000\"/>\r\n"
        u"  </wmmediatype>\r\n </streamconfig>\r\n</profile>\r\n";
    std::vector<uint8_t> bytes;
    for (char16_t c : xml) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    std::string prx = dir_ / "vlastni.prx";
    WriteBytes(prx, bytes);
    std::string out = dir_ / "prx.wma";
    CommandResult r = Tool("--prx " + Quote(prx) + " --title 'Porada č. 3' " + Quote(in) + " " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(out));
    EXPECT_EQ(ProbeValue(probe.out, "codec_name"), "wmav2");
    EXPECT_EQ(ProbeValue(probe.out, "sample_rate"), "44100");
    EXPECT_EQ(ProbeValue(probe.out, "channels"), "2");
    EXPECT_NEAR(std::stod(ProbeValue(probe.out, "bit_rate").value_or("0")), 64000, 640);
    EXPECT_EQ(ProbeValue(probe.out, "TAG:title"), "Porada č. 3");
}

// Bad input: a clear message on stderr, a non-zero exit, and no output file.
TEST_F(WmaencToolTest, BadInputIsRefusedClearly) {
    std::string wav = MakeWav("ok.wav", "-r 44100 -c 2|synth 1 sine 500");
    std::string eightBit = dir_ / "8bit.wav";
    ASSERT_EQ(Shell(dir_, "sox -n -b 8 -r 8000 -c 1 " + Quote(eightBit) + " synth 1 sine 500").exitCode, 0);
    std::string sixCh = dir_ / "6ch.wav";
    ASSERT_EQ(Shell(dir_, "sox -n -b 16 -r 8000 -c 6 " + Quote(sixCh) + " synth 1 sine 500").exitCode, 0);
    std::string text = dir_ / "text.wav";
    WriteBytes(text, {'h', 'e', 'l', 'l', 'o', '\n'});
    std::string badPrx = dir_ / "bad.prx";
    WriteBytes(badPrx, {'<', 0, 'x', 0, '>', 0});
    std::string out = dir_ / "never.wma";

    struct Case { std::string args, message; };
    const Case cases[] = {
        {Quote(dir_ / "missing.wav") + " " + Quote(out), "cannot read"},
        {Quote(text) + " " + Quote(out), "not a WAV file"},
        {Quote(eightBit) + " " + Quote(out), "16-bit"},
        {Quote(sixCh) + " " + Quote(out), "channels"},
        {"--profile {407B9450-8BDC-4EE5-88B8} " + Quote(wav) + " " + Quote(out), "not a GUID"},
        {"--profile {00000000-0000-0000-0000-000000000001} " + Quote(wav) + " " + Quote(out),
         "no system audio profile"},
        {"--prx " + Quote(badPrx) + " " + Quote(wav) + " " + Quote(out), "bad.prx"},
        {"--prx " + Quote(dir_ / "none.prx") + " " + Quote(wav) + " " + Quote(out), "cannot read"},
        {Quote(wav), "usage"},
        {"--bogus " + Quote(wav) + " " + Quote(out), "unknown option"},
        {Quote(wav) + " " + Quote(dir_ / "no/such/dir/x.wma"), "cannot create"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        CommandResult r = Tool(c.args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

// The real thing: the tool encoding ten seconds at real-time pace is killed
// with SIGKILL after three; what it wrote plays for at least two.
TEST_F(WmaencToolTest, KilledWhileEncodingLeavesAPlayableFile) {
    std::string in = MakeWav("in.wav", "-r 44100 -c 2|synth 10 sine 300-3000 sine 440 gain -6");
    std::string out = dir_ / "killed.wma";
    CommandResult r = Shell(dir_, "timeout -s KILL 3 " + Quote(kTool) + " --pace " + Quote(in) + " " + Quote(out));
    ASSERT_EQ(r.exitCode, 137) << "not killed: " << r.err;
    std::string errors;
    std::vector<int16_t> pcm = Decode(out, &errors);
    EXPECT_EQ(errors, "");
    double seconds = double(pcm.size()) / (2 * 44100);
    EXPECT_GE(seconds, 2.0);
    EXPECT_LE(seconds, 3.5);
    AsfFile f;
    ParseAsf(ReadBytes(out), &f);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(f.flags & 1u, 1u) << "still marked as being written";
}

} // namespace
