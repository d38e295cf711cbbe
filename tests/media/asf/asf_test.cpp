// The ASF writer alone on ffmpeg's wmav2 blocks (independent of our encoder), and tonbar-wmaenc end to
// end (encoder, writer, catalogue, repair), judged by ffprobe/ffmpeg and our own reading.
#include "media/asf/AsfWriter.h"

#include "media/asf/asf_test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <tuple>

using namespace mirvak::media;
using namespace asftest;

namespace {

// A folder of the test's own, removed with everything in it.
struct TempDir {
    fs::path path = mkdtemp((fs::temp_directory_path() / "tonbar-asf-XXXXXX").string().data());
    ~TempDir() { fs::remove_all(path, ec); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::error_code ec;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct CommandResult {
    int exitCode = -1;
    std::string out, err;
};

// Runs a shell command with stdout and stderr captured in files of `dir`.
CommandResult Shell(const TempDir& dir, const std::string& command) {
    std::string o = dir / ".cmd.out", e = dir / ".cmd.err";
    int rc = std::system(("(" + command + ") >" + Quote(o) + " 2>" + Quote(e) + " </dev/null").c_str());
    auto text = [](const std::string& p) { auto b = ReadBytes(p); return std::string(b.begin(), b.end()); };
    return {rc != -1 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, text(o), text(e)};
}

// key=value lines of ffprobe's default writer.
std::optional<std::string> ProbeValue(const std::string& probeOut, const std::string& key) {
    std::istringstream in(probeOut);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return std::nullopt;
}

double ProbeNumber(const std::string& probeOut, const std::string& key) {
    return std::stod(ProbeValue(probeOut, key).value_or("0"));
}

void ExpectProbed(const std::string& probeOut, std::initializer_list<std::pair<std::string, std::string>> want) {
    for (const auto& [key, value] : want) EXPECT_EQ(ProbeValue(probeOut, key), value) << key;
}

// ffmpeg's decode to 16-bit PCM at the file's own rate and channels; what it
// complained about (or its exit code) in `errors`.
std::vector<int16_t> Decode(const TempDir& dir, const std::string& file, std::string* errors) {
    std::string raw = dir / "decoded.raw";
    CommandResult r = Shell(dir, "ffmpeg -nostdin -v error -y -i " + Quote(file) + " -f s16le " + Quote(raw));
    *errors = r.exitCode != 0 && r.err.empty() ? "ffmpeg exit " + std::to_string(r.exitCode) : r.err;
    auto bytes = ReadBytes(raw);
    fs::remove(raw);
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

constexpr uint32_t kFpb = 2048;  // frames a wmav2 block covers at 44.1 kHz

struct Reference {
    AudioStreamFormat format;
    std::vector<uint8_t> blocks;  // concatenated, format.blockAlign each
    std::vector<int16_t> pcm;     // ffmpeg's decode of its own file
    size_t BlockCount() const { return blocks.size() / format.blockAlign; }
    const uint8_t* Block(size_t i) const { return blocks.data() + i * format.blockAlign; }
};

HResult WriteFile(const std::string& path, const AudioStreamFormat& fmt, uint32_t fpb, const uint8_t* blocks,
                  size_t count) {
    FileByteSink sink;
    HResult hr = sink.Create(path);
    if (Failed(hr)) return hr;
    AsfWriter w;
    hr = w.Open(&sink, fmt, fpb, fmt.avgBytesPerSec * 8);
    for (size_t i = 0; i < count && !Failed(hr); ++i) hr = w.WriteBlock(blocks + i * fmt.blockAlign, fmt.blockAlign);
    if (!Failed(hr)) hr = w.Close();
    HResult closed = sink.CloseFile();
    return Failed(hr) ? hr : closed;
}

// Ten seconds of a sweep against a steady tone, encoded by ffmpeg: enough to fill many packets and
// index entries.
class AsfWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string in = dir_ / "in.wav", wma = dir_ / "ref.wma", blocks = dir_ / "blocks.bin";
        const std::string ffmpeg = " && ffmpeg -nostdin -v error -y -i ";
        ASSERT_EQ(Shell(dir_, "sox -n -r 44100 -c 2 -b 16 " + Quote(in) +
                                  " synth 10 sine 200-4000 sine 440 gain -8" + ffmpeg + Quote(in) +
                                  " -c:a wmav2 -b:a 128k " + Quote(wma) + ffmpeg + Quote(wma) +
                                  " -map 0:a -c copy -f data " + Quote(blocks)).exitCode, 0);
        const AsfFile r = ParseAsf(ReadBytes(wma));
        ref_.format = {0x0161, r.channels, r.sampleRate, r.byteRate, r.blockAlign, 16, r.extra};
        ref_.blocks = ReadBytes(blocks);
        std::string errors;
        ref_.pcm = Decode(dir_, wma, &errors);
        ASSERT_EQ(errors, "");
        ASSERT_GT(ref_.format.blockAlign, 0);
        ASSERT_GT(ref_.BlockCount(), 200u);
    }
    const Reference& ref() const { return ref_; }
    TempDir dir_;
    Reference ref_;
};

// While written, the file on disk is a live ASF file holding every completed packet (a crash loses
// little); finished, it decodes to exactly the samples of ffmpeg's own file.
TEST_F(AsfWriterTest, LiveThenFinishedFileReadsLikeFfmpegsOwn) {
    const std::string out = dir_ / "ours.wma";
    const size_t count = ref().BlockCount(), live = 95;  // live: not a whole number of packets
    AsfContentDescription cd{u"Záznam č. 7 – ředitelna", u"Tonbar", u"© 2026", u"Zkouška"};
    FileByteSink sink;
    ASSERT_EQ(sink.Create(out), kOk);
    AsfWriter w;
    ASSERT_EQ(w.Open(&sink, ref().format, kFpb, 128000, &cd), kOk);
    AsfFile empty = ParseAsf(ReadBytes(out));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(empty.flags & 1u, 1u) << "broadcast while written";
    EXPECT_EQ(empty.fileSize + empty.packetCount + empty.playDuration + empty.dataObjectSize, 0u);
    for (size_t i = 0; i < live; ++i) ASSERT_EQ(w.WriteBlock(ref().Block(i), ref().format.blockAlign), kOk);
    ASSERT_GT(w.PacketCount(), 2u);
    AsfFile f = ParseAsf(ReadBytes(out));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(f.packets.size(), w.PacketCount());
    EXPECT_EQ(f.trailingPartialBytes, 0u) << "only whole packets reach the file";
    const size_t inPackets = f.PayloadCount();
    EXPECT_LT(inPackets, live);
    // The same as a finished file of just those blocks (the decoder holds
    // back one block of overlap in both).
    std::string errors, part = dir_ / "part.wma";
    std::vector<int16_t> pcm = Decode(dir_, out, &errors);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(WriteFile(part, ref().format, kFpb, ref().blocks.data(), inPackets), kOk);
    std::vector<int16_t> partPcm = Decode(dir_, part, &errors);
    EXPECT_GE(partPcm.size(), (inPackets - 1) * kFpb * 2);
    EXPECT_TRUE(pcm == partPcm) << pcm.size() << " vs " << partPcm.size();

    for (size_t i = live; i < count; ++i) ASSERT_EQ(w.WriteBlock(ref().Block(i), ref().format.blockAlign), kOk);
    ASSERT_EQ(w.Close(), kOk);
    ASSERT_EQ(sink.CloseFile(), kOk);
    const uint64_t packets = w.PacketCount();
    CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(out));
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(probe.err, "");
    ExpectProbed(probe.out, {{"codec_name", "wmav2"}, {"sample_rate", "44100"}, {"channels", "2"},
                             {"bit_rate", "128000"}, {"TAG:title", "Záznam č. 7 – ředitelna"}, {"TAG:artist", "Tonbar"},
                             {"TAG:copyright", "© 2026"}, {"TAG:comment", "Zkouška"}});
    EXPECT_NEAR(ProbeNumber(probe.out, "duration"), count * kFpb / 44100.0, 0.002);
    pcm = Decode(dir_, out, &errors);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(pcm == ref().pcm) << "decoded samples differ from ffmpeg's own file";

    std::vector<uint8_t> bytes = ReadBytes(out);
    f = ParseAsf(bytes);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(f.topLevel.size(), 3u);
    EXPECT_EQ(f.topLevel[0].guid, kGuidHeader);
    EXPECT_EQ(f.topLevel[1].guid, kGuidData);
    EXPECT_EQ(f.topLevel[2].guid, kGuidSimpleIndex);
    EXPECT_TRUE(std::any_of(f.headerObjects.begin(), f.headerObjects.end(),
                            [](const AsfFile::Object& o) { return o.guid == kGuidHeaderExt; }));
    EXPECT_EQ(std::tie(f.fileId, f.streamType, f.errorCorrection, f.extra),
              std::tie(f.dataFileId, kGuidAudioMedia, kGuidAudioSpread, ref().format.extra));
    const struct { const char* name; uint64_t got, want; } fields[] = {
        {"header objects", f.headerObjectCount, f.headerObjects.size()}, {"size", f.fileSize, bytes.size()},
        {"flags: seekable, not broadcast", f.flags, 2}, {"min packet", f.minPacket, f.maxPacket},
        {"packets", f.packetCount, packets}, {"data packets", f.dataPacketCount, packets},
        {"packets read", f.packets.size(), packets}, {"data", f.dataObjectSize, 50 + packets * f.maxPacket},
        {"partial bytes", f.trailingPartialBytes, 0}, {"send duration", f.sendDuration, f.playDuration},
        {"play duration", f.playDuration, count * kFpb * 10000000ull / 44100 + f.prerollMs * 10000},
        {"stream", f.streamNumber, 1}, {"format", f.formatTag, 0x0161},
        {"block align", f.blockAlign, ref().format.blockAlign},
    };
    for (const auto& c : fields) EXPECT_EQ(c.got, c.want) << c.name;
    EXPECT_GE(f.prerollMs, 1000u);
    ASSERT_EQ(f.errorCorrectionData.size(), 8u);
    EXPECT_EQ(f.errorCorrectionData[0], 1) << "span";

    // Every payload is the next reference block, whole, with its presentation time.
    size_t block = 0;
    uint32_t lastSend = 0;
    std::vector<uint64_t> firstBlockOfPacket;
    for (size_t p = 0; p < f.packets.size(); ++p) {
        const Packet& pk = f.packets[p];
        firstBlockOfPacket.push_back(block);
        EXPECT_GE(pk.sendTimeMs, lastSend);
        lastSend = pk.sendTimeMs;
        EXPECT_EQ(pk.padding == 0, p + 1 < f.packets.size()) << "only the last packet is padded: " << p;
        for (const Payload& pl : pk.payloads) {
            ASSERT_LT(block, count);
            ASSERT_EQ(pl.data.size(), ref().format.blockAlign);
            EXPECT_TRUE(std::equal(pl.data.begin(), pl.data.end(), ref().Block(block))) << "block " << block;
            EXPECT_EQ(pl.stream, 1);
            EXPECT_TRUE(pl.keyFrame);
            EXPECT_EQ(pl.objectOffset, 0u);
            EXPECT_EQ(pl.objectSize, ref().format.blockAlign);
            EXPECT_EQ(pl.presentationMs, f.prerollMs + block++ * kFpb * 1000ull / 44100);
        }
    }
    EXPECT_EQ(block, count);
    // A packet holds at most about half a second, so a crash loses little.
    EXPECT_LE(f.packets[0].payloads.size() * kFpb / 44100.0, 0.55);

    // Index: one entry a second over the whole play time; entry i names the
    // packet holding the block that plays at i seconds.
    ASSERT_TRUE(f.hasIndex);
    EXPECT_EQ(f.indexInterval, 10000000u);
    EXPECT_EQ(f.indexEntries.size(), f.playDuration / 10000000 + 1);
    for (size_t i = 0; i < f.indexEntries.size(); ++i) {
        double t = double(i) - f.prerollMs / 1000.0;  // media time of the entry
        uint64_t want = t <= 0 ? 0 : std::min<uint64_t>(uint64_t(t * 44100 / kFpb), count - 1);
        uint32_t pn = f.indexEntries[i].first;
        ASSERT_LT(pn, f.packets.size()) << "entry " << i;
        EXPECT_LE(firstBlockOfPacket[pn], want) << "entry " << i;
        EXPECT_GT(firstBlockOfPacket[pn] + f.packets[pn].payloads.size(), want) << "entry " << i;
        EXPECT_EQ(f.indexEntries[i].second, 1);
    }

    // A recording stopped before its first block is a valid empty file.
    ASSERT_EQ(WriteFile(out, ref().format, kFpb, nullptr, 0), kOk);
    EXPECT_EQ(Shell(dir_, "ffprobe -v error " + Quote(out)).exitCode, 0);
    EXPECT_EQ(ParseAsf(ReadBytes(out)).dataObjectSize, 50u);

    // A sink that cannot take the bytes (a full disk) makes Open fail and
    // every later call report the same failure, without crashing.
    FileByteSink full;
    ASSERT_EQ(full.Create("/dev/full"), kOk);
    AsfWriter failing;
    HResult hr = failing.Open(&full, ref().format, kFpb, 128000);
    EXPECT_TRUE(Failed(hr));
    EXPECT_EQ(failing.WriteBlock(ref().Block(0), ref().format.blockAlign), hr);
    EXPECT_EQ(failing.Close(), hr);
    full.CloseFile();
}

const std::string kTool = std::string(TONBAR_BINARY_DIR) + "/src/media/tonbar-wmaenc";

// SNR of `decoded` against `input`, sample by sample.
double Snr(const std::vector<int16_t>& input, const std::vector<int16_t>& decoded) {
    double signal = 0, error = 0;
    for (size_t i = 0; i < std::min(input.size(), decoded.size()); ++i) {
        double x = input[i], y = decoded[i];
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
        ExpectProbed(probe.out, {{"codec_name", "wmav2"}, {"sample_rate", std::to_string(p.rate)},
                                 {"channels", std::to_string(p.channels)}, {"bit_rate", std::to_string(p.bitRate)},
                                 {"TAG:title", "Porada č. 3"}});
        std::string errors;
        const std::vector<int16_t> input = Decode(dir_, in, &errors);
        const std::vector<int16_t> decoded = Decode(dir_, out, &errors);
        EXPECT_EQ(errors, "");
        // Output comes in whole frames; only 8 kHz has frames longer than 50 ms.
        const double inSec = double(input.size()) / p.channels / p.rate;
        EXPECT_NEAR(ProbeNumber(probe.out, "duration"), inSec, 0.005);
        const double outSec = double(decoded.size()) / p.channels / p.rate;
        EXPECT_GE(outSec, inSec);
        EXPECT_NEAR(outSec, inSec, std::max(0.050, (p.rate <= 16000 ? 512.0 : 2048.0) / p.rate));
        EXPECT_EQ(FindLead(input, decoded, p.channels, 3000), 0) << "the decoder's output lines up with the input";
        const double snr = Snr(input, decoded);
        std::printf("[ SNR ] %u Hz %d ch %u bit/s: %.2f dB\n", p.rate, p.channels, p.bitRate, snr);
        EXPECT_GT(snr, p.minSnr);
    }
}

// All-zero input and a stream of a single frame both decode without
// complaint to silence of their length; any common WAV goes in: 8 kHz mono
// becomes 44.1 kHz stereo at the same pitch and level in both channels.
TEST_F(WmaencToolTest, SilenceTinyAndOtherRatesGiveValidFiles) {
    for (const char* length : {"1s", "22050s"}) {
        SCOPED_TRACE(length);
        std::string in = Wav("ticho.wav", 22050, 2, std::string("synth ") + length + " sine 440 vol 0"), out = dir_ / "ticho.wma";
        ASSERT_EQ(Tool("--profile {7E4CAB5C-35DC-45BB-A7C0-19B28070D0CC} " + Quote(in) + " " + Quote(out)).exitCode, 0);
        std::string errors;
        std::vector<int16_t> decoded = Decode(dir_, out, &errors);
        EXPECT_EQ(errors, "");
        EXPECT_NEAR(decoded.size() / 2 / 22050.0, std::atoi(length) / 22050.0, 0.050);
        for (int16_t v : decoded) ASSERT_EQ(v, 0);
    }
    std::string in = Wav("mono8k.wav", 8000, 1, "synth 4 sine 440 gain -6"), out = dir_ / "up.wma", errors;
    ASSERT_EQ(Tool("--profile {407B9450-8BDC-4EE5-88B8-6F527BD941F2} " + Quote(in) + " " + Quote(out)).exitCode, 0);
    EXPECT_NEAR(ProbeNumber(Probe(out).out, "duration"), 4.0, 0.05);
    std::vector<int16_t> pcm = Decode(dir_, out, &errors);
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

// Killed mid-encoding at real-time pace: what it wrote plays, and the repair finishes it whatever the
// crash left after the whole packets.
TEST_F(WmaencToolTest, KilledWhileEncodingLeavesAPlayableFileThatTheRepairFinishes) {
    std::string in = Wav("in.wav", 44100, 2, "synth 10 sine 300-3000 sine 440 gain -6"), out = dir_ / "killed.wma";
    CommandResult r = Shell(dir_, "timeout -s KILL 3 " + Quote(kTool) + " --pace " + Quote(in) + " " + Quote(out));
    ASSERT_EQ(r.exitCode, 137) << "not killed: " << r.err;
    std::string errors;
    const double seconds = Decode(dir_, out, &errors).size() / (44100.0 * 2);
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
        const double decoded = Decode(dir_, file, &errors).size() / (44100.0 * 2);
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
