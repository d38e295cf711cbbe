// tonbar-wmaenc end to end: the built-in encoder, the ASF writer, the profile
// catalogue and the repair together, judged by ffprobe and ffmpeg.
#include "media/asf/asf_test_support.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

using namespace asftest;

namespace {

const std::string kTool = std::string(TONBAR_BINARY_DIR) + "/src/media/tonbar-wmaenc";

std::vector<int16_t> Samples(const std::vector<uint8_t>& raw) {
    std::vector<int16_t> s(raw.size() / 2);
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    return s;
}

// SNR of `decoded` against `input` where decoded[t] holds input[t + lead].
double Snr(const std::vector<int16_t>& input, const std::vector<int16_t>& decoded, int channels, long lead) {
    double signal = 0, error = 0;
    const long frames = long(input.size()) / channels, decodedFrames = long(decoded.size()) / channels;
    for (long t = std::max(0L, lead); t < frames && t - lead < decodedFrames; ++t)
        for (int c = 0; c < channels; ++c) {
            double x = input[t * channels + c], y = decoded[(t - lead) * channels + c];
            signal += x * x;
            error += (x - y) * (x - y);
        }
    return 10 * std::log10(signal / std::max(error, 1e-9));
}

// The lead of `decoded` over `input` in [-limit, limit], by cross-correlation.
long FindLead(const std::vector<int16_t>& input, const std::vector<int16_t>& decoded, int channels, long limit) {
    long best = 0;
    double bestCorr = -1e300;
    for (long lead = -limit; lead <= limit; ++lead) {
        double s = 0;
        for (long t = 3 * limit; t < 3 * limit + 16384; ++t) {
            if ((t + 1) * channels > long(input.size()) || (t - lead + 1) * channels > long(decoded.size())) break;
            s += double(input[t * channels]) * decoded[(t - lead) * channels];
        }
        if (s > bestCorr) bestCorr = s, best = lead;
    }
    return best;
}

class WmaencToolTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(kTool)) << kTool << " is not built"; }
    CommandResult Tool(const std::string& args) { return Shell(dir_, Quote(kTool) + " " + args); }
    CommandResult Probe(const std::string& file) {
        return Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(file));
    }
    // A 16-bit WAV made by sox `effect` (synth ...) at the given rate.
    std::string Wav(const std::string& name, uint32_t rate, int channels, const std::string& effect) {
        std::string path = dir_ / name;
        CommandResult r = Shell(dir_, "sox -D -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                                          " -n -b 16 " + Quote(path) + " " + effect);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return path;
    }
    // A saved profile: UTF-16LE with a byte-order mark.
    std::string Prx(uint32_t rate, int channels, uint32_t bitRate) {
        std::string xml = "<profile version=\"589824\" storageformat=\"1\" name=\"Vlastni\" description=\"\">"
                          "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
                          "bitrate=\"" + std::to_string(bitRate) + "\"><wmmediatype "
                          "subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"><waveformatex wFormatTag=\"353\" "
                          "nChannels=\"" + std::to_string(channels) + "\" nSamplesPerSec=\"" + std::to_string(rate) +
                          "\" nAvgBytesPerSec=\"" + std::to_string(bitRate / 8) + "\" nBlockAlign=\"2973\" "
                          "wBitsPerSample=\"16\" codecdata=\"008800000F0036450000\"/></wmmediatype></streamconfig>"
                          "</profile>";
        std::vector<uint8_t> bytes = {0xFF, 0xFE};
        for (char c : xml) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
        std::string path = dir_ / "profil.prx";
        WriteBytes(path, bytes);
        return path;
    }
    TempDir dir_;
};

struct Profile {
    const char* guid;  // a system profile, else a .prx of the same values
    uint32_t rate;
    int channels;
    uint32_t bitRate;
    double minSnr;  // dB on the test signal, about 4 dB under what we measure
};

// The seven system profiles with what each must produce, and two rates only a
// .prx reaches.
const Profile kProfiles[] = {
    {"{7EA3126D-E1BA-4716-89AF-F65CEE0C0C67}", 22050, 1, 20000, 15.0},
    {"{7E4CAB5C-35DC-45BB-A7C0-19B28070D0CC}", 22050, 2, 20000, 14.0},
    {"{60907F9F-B352-47E5-B210-0EF1F47E9F9D}", 32000, 2, 32000, 17.0},
    {"{5EE06BE5-492B-480A-8A8F-12F373ECF9D4}", 44100, 2, 48000, 19.0},
    {"{09BB5BC4-3176-457F-8DD6-3CD919123E2D}", 44100, 2, 64000, 21.0},
    {"{1FC81930-61F2-436F-9D33-349F2A1C0F10}", 44100, 2, 96000, 24.0},
    {"{407B9450-8BDC-4EE5-88B8-6F527BD941F2}", 44100, 2, 128000, 27.0},
    {nullptr, 8000, 1, 16000, 16.0},
    {nullptr, 48000, 2, 192000, 29.0},
};

// Speech then a tone sweep over noise at each profile's own rate: the file
// carries the profile's stream, decodes cleanly to the input's length, lines
// up with the input and keeps its quality.
TEST_F(WmaencToolTest, EveryProfileGivesItsStreamCleanlyAndInTime) {
    ASSERT_EQ(Shell(dir_, "espeak-ng -w " + Quote(dir_ / "speech.wav") +
                              " 'Recording number seven starts now. The quick brown fox jumps over the lazy dog.'")
                  .exitCode,
              0);
    for (const Profile& p : kProfiles) {
        SCOPED_TRACE(std::to_string(p.rate) + " Hz " + std::to_string(p.bitRate) + " bit/s");
        const std::string format = " -r " + std::to_string(p.rate) + " -c " + std::to_string(p.channels) + " -b 16 -D ";
        const std::string sweep = Wav("sweep.wav", p.rate, p.channels,
                                      "synth 2.5 sine 150-7000 pinknoise synth 2.5 sine amod 0.3 gain -12");
        const std::string in = dir_ / "in.wav", out = dir_ / "out.wma";
        CommandResult r = Shell(dir_, "sox " + Quote(dir_ / "speech.wav") + format + "-t wav - | sox -t wav - " +
                                          Quote(sweep) + " " + Quote(in));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        r = Tool((p.guid ? "--profile " + Quote(p.guid) : "--prx " + Prx(p.rate, p.channels, p.bitRate)) +
                               " --title 'Porada č. 3' " + Quote(in) + " " + Quote(out));
        ASSERT_EQ(r.exitCode, 0) << r.err;

        CommandResult probe = Probe(out);
        EXPECT_EQ(probe.err, "");
        EXPECT_EQ(ProbeValue(probe.out, "codec_name"), "wmav2");
        EXPECT_EQ(ProbeValue(probe.out, "sample_rate"), std::to_string(p.rate));
        EXPECT_EQ(ProbeValue(probe.out, "channels"), std::to_string(p.channels));
        EXPECT_EQ(ProbeValue(probe.out, "bit_rate"), std::to_string(p.bitRate));
        EXPECT_EQ(ProbeValue(probe.out, "TAG:title"), "Porada č. 3");
        std::string errors;
        const std::vector<int16_t> input = Samples(Decode(dir_, in, &errors));
        const std::vector<int16_t> decoded = Samples(Decode(dir_, out, &errors));
        EXPECT_EQ(errors, "");
        // Output comes in whole frames; only 8 kHz has frames longer than 50 ms.
        const double inSec = double(input.size()) / p.channels / p.rate;
        EXPECT_NEAR(ProbeNumber(probe.out, "duration"), inSec, 0.005);
        const double outSec = double(decoded.size()) / p.channels / p.rate;
        EXPECT_GE(outSec, inSec);
        EXPECT_NEAR(outSec, inSec, std::max(0.050, (p.rate <= 16000 ? 512.0 : 2048.0) / p.rate));
        EXPECT_EQ(FindLead(input, decoded, p.channels, 3000), 0) << "the decoder's output lines up with the input";
        const double snr = Snr(input, decoded, p.channels, 0);
        std::printf("[ SNR ] %u Hz %d ch %u bit/s: %.2f dB\n", p.rate, p.channels, p.bitRate, snr);
        EXPECT_GT(snr, p.minSnr);
    }
}

// All-zero input and a stream of a single frame both decode without
// complaint to silence of their length.
TEST_F(WmaencToolTest, SilenceAndTinyInputsStayValid) {
    for (const char* length : {"1s", "22050s"}) {
        SCOPED_TRACE(length);
        std::string in = Wav("ticho.wav", 22050, 2, std::string("synth ") + length + " sine 440 vol 0"), out = dir_ / "ticho.wma";
        ASSERT_EQ(Tool("--profile {7E4CAB5C-35DC-45BB-A7C0-19B28070D0CC} " + Quote(in) + " " + Quote(out)).exitCode, 0);
        std::string errors;
        std::vector<int16_t> decoded = Samples(Decode(dir_, out, &errors));
        EXPECT_EQ(errors, "");
        EXPECT_NEAR(decoded.size() / 2 / 22050.0, std::atoi(length) / 22050.0, 0.050);
        for (int16_t v : decoded) ASSERT_EQ(v, 0);
    }
}

// Any common WAV goes in: 8 kHz mono becomes 44.1 kHz stereo at the same
// pitch and level in both channels.
TEST_F(WmaencToolTest, OtherRatesAndChannelCountsAreConverted) {
    std::string in = Wav("mono8k.wav", 8000, 1, "synth 4 sine 440 gain -6"), out = dir_ / "up.wma";
    ASSERT_EQ(Tool("--profile {407B9450-8BDC-4EE5-88B8-6F527BD941F2} " + Quote(in) + " " + Quote(out)).exitCode, 0);
    EXPECT_NEAR(ProbeNumber(Probe(out).out, "duration"), 4.0, 0.05);
    std::string errors;
    std::vector<int16_t> pcm = Samples(Decode(dir_, out, &errors));
    EXPECT_EQ(errors, "");
    // Rising zero crossings and energy over the middle two seconds.
    const size_t from = 44100, to = 3 * 44100;
    ASSERT_GT(pcm.size(), to * 2);
    size_t crossings = 0;
    double l = 0, r = 0;
    for (size_t i = from; i < to; ++i) {
        crossings += pcm[2 * (i - 1)] < 0 && pcm[2 * i] >= 0;
        l += double(pcm[2 * i]) * pcm[2 * i];
        r += double(pcm[2 * i + 1]) * pcm[2 * i + 1];
    }
    EXPECT_NEAR(crossings / 2.0, 440.0, 3.0);
    EXPECT_NEAR(std::sqrt(l / r), 1.0, 0.1);
    EXPECT_NEAR(std::sqrt(l / (to - from)), 16384 / std::sqrt(2.0), 16384 * 0.15) << "level kept";
}

// Bad input: a clear message on stderr, a non-zero exit, and no output file.
TEST_F(WmaencToolTest, BadInputIsRefusedClearly) {
    std::string wav = Wav("ok.wav", 44100, 2, "synth 1 sine 500"), out = dir_ / "never.wma";
    std::string sixCh = Wav("6ch.wav", 8000, 6, "synth 1 sine 500"), eightBit = dir_ / "8bit.wav";
    ASSERT_EQ(Shell(dir_, "sox -n -b 8 -r 8000 -c 1 " + Quote(eightBit) + " synth 1 sine 500").exitCode, 0);
    std::string text = dir_ / "text.wav", badPrx = dir_ / "bad.prx";
    WriteBytes(text, {'h', 'e', 'l', 'l', 'o', '\n'});
    WriteBytes(badPrx, {'<', 0, 'x', 0, '>', 0});
    const std::pair<std::string, std::string> cases[] = {
        {Quote(dir_ / "missing.wav") + " " + Quote(out), "cannot read"},
        {Quote(text) + " " + Quote(out), "not a WAV file"},
        {Quote(eightBit) + " " + Quote(out), "16-bit"},
        {Quote(sixCh) + " " + Quote(out), "channels"},
        {"--profile {407B9450-8BDC-4EE5-88B8} " + Quote(wav) + " " + Quote(out), "not a GUID"},
        {"--profile {00000000-0000-0000-0000-000000000001} " + Quote(wav) + " " + Quote(out), "no system audio profile"},
        {"--prx " + Quote(badPrx) + " " + Quote(wav) + " " + Quote(out), "bad.prx"},
        {"--prx " + Quote(dir_ / "none.prx") + " " + Quote(wav) + " " + Quote(out), "cannot read"},
        {Quote(wav), "usage"},
        {"--bogus " + Quote(wav) + " " + Quote(out), "unknown option"},
        {Quote(wav) + " " + Quote(dir_ / "no/such/dir/x.wma"), "cannot create"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args);
        CommandResult r = Tool(args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

// The real thing: the tool encoding ten seconds at real-time pace is killed
// with SIGKILL after three. What it wrote plays up to its last packet; the
// repair finishes it whatever the crash left after the whole packets
// (nothing, a torn packet, space the file system gave but nobody wrote), and
// leaves alone what it cannot or need not finish.
TEST_F(WmaencToolTest, KilledWhileEncodingLeavesAPlayableFileThatTheRepairFinishes) {
    std::string in = Wav("in.wav", 44100, 2, "synth 10 sine 300-3000 sine 440 gain -6"), out = dir_ / "killed.wma";
    CommandResult r = Shell(dir_, "timeout -s KILL 3 " + Quote(kTool) + " --pace " + Quote(in) + " " + Quote(out));
    ASSERT_EQ(r.exitCode, 137) << "not killed: " << r.err;
    std::string errors;
    const double seconds = Decode(dir_, out, &errors).size() / (44100.0 * 4);
    EXPECT_EQ(errors, "");
    EXPECT_GE(seconds, 2.0);
    EXPECT_LE(seconds, 3.5);
    const std::vector<uint8_t> killed = ReadBytes(out);
    AsfFile f = ParseAsf(killed);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(f.flags & 1u, 1u) << "still marked as being written";
    ASSERT_FALSE(f.packets.empty());

    const size_t packet = f.maxPacket;
    std::vector<uint8_t> unwritten = killed;
    unwritten.resize(killed.size() + 3 * packet, 0);
    const std::pair<const char*, std::vector<uint8_t>> tails[] = {
        {"as killed", killed},
        {"torn packet", std::vector<uint8_t>(killed.begin(), killed.end() - packet / 2)},
        {"unwritten space", unwritten},
    };
    const std::string file = dir_ / "repaired.wma";
    for (const auto& [name, bytes] : tails) {
        SCOPED_TRACE(name);
        WriteBytes(file, bytes);
        r = Tool("--repair " + Quote(file));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.find("no index"), std::string::npos) << r.out;
        AsfFile done = ParseAsf(ReadBytes(file));
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(done.flags, 2u) << "seekable, no longer broadcast";
        EXPECT_TRUE(done.hasIndex);
        EXPECT_EQ(done.packetCount, done.packets.size());
        EXPECT_EQ(done.trailingPartialBytes, 0u);
        const double decoded = Decode(dir_, file, &errors).size() / (44100.0 * 4);
        EXPECT_EQ(errors, "");
        EXPECT_NEAR(ProbeNumber(Probe(file).out, "duration"), decoded, 0.5);
        // Seeking to the middle decodes the second half only.
        CommandResult half = Shell(dir_, "ffmpeg -nostdin -v error -ss " + std::to_string(decoded / 2) + " -i " +
                                             Quote(file) + " -f s16le -");
        EXPECT_EQ(half.exitCode, 0) << half.err;
        EXPECT_NEAR(half.out.size() / (44100.0 * 4), decoded / 2, 0.5);
        EXPECT_EQ(Tool("--repair " + Quote(file)).exitCode, 3) << "a finished file is left alone";
    }
    // Files of no recording, and an unfinished one without a whole packet.
    const std::pair<std::vector<uint8_t>, int> untouched[] = {
        {std::vector<uint8_t>(4096, 0x82), 3},
        {std::vector<uint8_t>(killed.begin(), killed.end() - f.trailingPartialBytes - f.packets.size() * packet), 1},
    };
    for (const auto& [bytes, exitCode] : untouched) {
        WriteBytes(file, bytes);
        EXPECT_EQ(Tool("--repair " + Quote(file)).exitCode, exitCode);
        EXPECT_TRUE(ReadBytes(file) == bytes);
    }
}

} // namespace
