// The ASF writer judged by ffprobe/ffmpeg and by our own reading of its
// output. Encoded blocks come from ffmpeg's wmav2 encoder, so these tests do
// not depend on our encoder.
#include "media/asf/AsfRepair.h"
#include "media/asf/AsfWriter.h"

#include "media/asf/asf_test_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

using namespace mirvak::media;
using namespace asftest;

namespace {

constexpr uint32_t kFramesPerWmaBlock = 2048; // wmav2 at 44.1 kHz

struct Reference {
    std::unique_ptr<TempDir> dir;
    AudioStreamFormat format;
    std::vector<uint8_t> blocks;     // concatenated, format.blockAlign each
    std::vector<uint8_t> pcm;        // ffmpeg's decode of its own file
    size_t BlockCount() const { return blocks.size() / format.blockAlign; }
    const uint8_t* Block(size_t i) const { return blocks.data() + i * format.blockAlign; }
};

Reference* g_ref = nullptr;

std::vector<uint8_t> Decode(const TempDir& dir, const std::string& file, std::string* errors) {
    std::string raw = dir / "decoded.raw";
    CommandResult r = Shell(dir, "ffmpeg -nostdin -v error -y -i " + Quote(file) + " -f s16le " + Quote(raw));
    *errors = r.err;
    if (r.exitCode != 0 && errors->empty()) *errors = "ffmpeg exit " + std::to_string(r.exitCode);
    auto pcm = ReadBytes(raw);
    std::remove(raw.c_str());
    return pcm;
}

HResult WriteFile(const std::string& path, const AudioStreamFormat& fmt, uint32_t fpb, uint32_t bitRate,
                  const uint8_t* blocks, size_t count, const AsfContentDescription* content = nullptr,
                  uint64_t* packets = nullptr) {
    FileByteSink sink;
    HResult hr = sink.Create(path);
    if (Failed(hr)) return hr;
    AsfWriter w;
    hr = w.Open(&sink, fmt, fpb, bitRate, content);
    for (size_t i = 0; i < count && !Failed(hr); ++i) hr = w.WriteBlock(blocks + i * fmt.blockAlign, fmt.blockAlign);
    if (!Failed(hr)) hr = w.Close();
    if (packets) *packets = w.PacketCount();
    HResult closed = sink.CloseFile();
    return Failed(hr) ? hr : closed;
}

class AsfWriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_ref = new Reference;
        g_ref->dir = std::make_unique<TempDir>();
        const TempDir& d = *g_ref->dir;
        // Ten seconds of a sweep against a steady tone: enough to fill many
        // packets and index entries.
        ASSERT_EQ(Shell(d, "sox -n -r 44100 -c 2 -b 16 " + Quote(d / "in.wav") +
                             " synth 10 sine 200-4000 sine 440 gain -8").exitCode, 0);
        ASSERT_EQ(Shell(d, "ffmpeg -nostdin -v error -y -i " + Quote(d / "in.wav") + " -c:a wmav2 -b:a 128k " +
                             Quote(d / "ref.wma")).exitCode, 0);
        ASSERT_EQ(Shell(d, "ffmpeg -nostdin -v error -y -i " + Quote(d / "ref.wma") + " -map 0:a -c copy -f data " +
                             Quote(d / "blocks.bin")).exitCode, 0);
        CommandResult probe = Shell(d, "ffprobe -v error -show_streams -show_data " + Quote(d / "ref.wma"));
        ASSERT_EQ(probe.exitCode, 0);
        CommandResult packets = Shell(d, "ffprobe -v error -select_streams a -show_entries packet=size -of csv=p=0 " +
                                       Quote(d / "ref.wma"));
        ASSERT_EQ(packets.exitCode, 0);
        AudioStreamFormat& f = g_ref->format;
        f.formatTag = 0x0161;
        f.sampleRate = static_cast<uint32_t>(std::stoul(ProbeValue(probe.out, "sample_rate").value_or("0")));
        f.channels = static_cast<uint16_t>(std::stoul(ProbeValue(probe.out, "channels").value_or("0")));
        f.avgBytesPerSec = static_cast<uint32_t>(std::stoul(ProbeValue(probe.out, "bit_rate").value_or("0")) / 8);
        f.blockAlign = static_cast<uint16_t>(std::stoul(packets.out));
        f.bitsPerSample = 16;
        f.extra = ProbeExtradata(probe.out);
        g_ref->blocks = ReadBytes(d / "blocks.bin");
        std::string errors;
        g_ref->pcm = Decode(d, d / "ref.wma", &errors);
        ASSERT_EQ(errors, "");
    }
    static void TearDownTestSuite() {
        delete g_ref;
        g_ref = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(g_ref, nullptr);
        ASSERT_EQ(g_ref->format.sampleRate, 44100u);
        ASSERT_EQ(g_ref->format.extra.size(), 10u);
        ASSERT_GT(g_ref->format.blockAlign, 0);
        ASSERT_EQ(g_ref->blocks.size() % g_ref->format.blockAlign, 0u);
        ASSERT_GT(g_ref->BlockCount(), 200u);
    }
    const Reference& ref() const { return *g_ref; }
    TempDir dir_;
};

// The re-muxed blocks are a file ffprobe describes like ffmpeg's own and that
// decodes, without complaint, to exactly the same samples.
TEST_F(AsfWriterTest, RemuxedFfmpegBlocksProbeAndDecodeLikeTheOriginal) {
    std::string out = dir_ / "ours.wma";
    ASSERT_EQ(WriteFile(out, ref().format, kFramesPerWmaBlock, 128000, ref().blocks.data(), ref().BlockCount()), kOk);

    CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(out));
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(probe.err, "");
    EXPECT_EQ(ProbeValue(probe.out, "codec_name"), "wmav2");
    EXPECT_EQ(ProbeValue(probe.out, "sample_rate"), "44100");
    EXPECT_EQ(ProbeValue(probe.out, "channels"), "2");
    EXPECT_EQ(ProbeValue(probe.out, "bit_rate"), "128000");
    EXPECT_EQ(ProbeValue(probe.out, "format_name"), "asf");
    double expected = double(ref().BlockCount()) * kFramesPerWmaBlock / 44100.0;
    EXPECT_NEAR(std::stod(ProbeValue(probe.out, "duration").value_or("0")), expected, 0.002);

    std::string errors;
    std::vector<uint8_t> pcm = Decode(dir_, out, &errors);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(pcm.size(), ref().pcm.size());
    EXPECT_TRUE(pcm == ref().pcm) << "decoded samples differ from ffmpeg's own file";
}

// Our own reading of a finished file: objects add up, counts and durations
// are those of the blocks written, the index points at the right packets,
// and every block comes back byte for byte in order.
TEST_F(AsfWriterTest, FinishedFileHeaderPacketsAndIndexAreConsistent) {
    std::string out = dir_ / "ours.wma";
    const size_t count = ref().BlockCount() - 3; // leave the last packet partly filled
    uint64_t packets = 0;
    ASSERT_EQ(WriteFile(out, ref().format, kFramesPerWmaBlock, 128000, ref().blocks.data(), count, nullptr, &packets),
              kOk);
    std::vector<uint8_t> bytes = ReadBytes(out);
    AsfFile f;
    ParseAsf(bytes, &f);
    ASSERT_FALSE(HasFatalFailure());

    ASSERT_EQ(f.topLevel.size(), 3u);
    EXPECT_EQ(f.topLevel[0].guid, kGuidHeader);
    EXPECT_EQ(f.topLevel[1].guid, kGuidData);
    EXPECT_EQ(f.topLevel[2].guid, kGuidSimpleIndex);
    EXPECT_EQ(f.headerObjectCount, f.headerObjects.size());
    bool hasExtension = false;
    for (const auto& o : f.headerObjects) hasExtension |= o.guid == kGuidHeaderExt;
    EXPECT_TRUE(hasExtension);

    EXPECT_EQ(f.fileSize, bytes.size());
    EXPECT_EQ(f.flags, 0x02u) << "finished: seekable, not broadcast";
    EXPECT_EQ(f.minPacket, f.maxPacket);
    EXPECT_EQ(f.fileId, f.dataFileId);
    EXPECT_EQ(f.packetCount, packets);
    EXPECT_EQ(f.dataPacketCount, packets);
    EXPECT_EQ(f.packets.size(), packets);
    EXPECT_EQ(f.dataObjectSize, 50 + packets * f.maxPacket);
    EXPECT_EQ(f.trailingPartialBytes, 0u);
    EXPECT_GE(f.prerollMs, 1000u);
    const uint64_t media100ns = count * kFramesPerWmaBlock * 10000000ull / 44100;
    EXPECT_EQ(f.playDuration, media100ns + f.prerollMs * 10000);
    EXPECT_EQ(f.sendDuration, f.playDuration);

    EXPECT_EQ(f.streamType, kGuidAudioMedia);
    EXPECT_EQ(f.errorCorrection, kGuidAudioSpread);
    EXPECT_EQ(f.streamNumber, 1);
    EXPECT_EQ(f.formatTag, 0x0161);
    EXPECT_EQ(f.blockAlign, ref().format.blockAlign);
    EXPECT_EQ(f.extra, ref().format.extra);
    ASSERT_EQ(f.errorCorrectionData.size(), 8u);
    EXPECT_EQ(f.errorCorrectionData[0], 1) << "span";

    // Every payload is one whole block with its presentation time.
    size_t block = 0;
    uint32_t lastSend = 0;
    for (size_t p = 0; p < f.packets.size(); ++p) {
        const Packet& pk = f.packets[p];
        ASSERT_FALSE(pk.payloads.empty());
        EXPECT_GE(pk.sendTimeMs, lastSend);
        lastSend = pk.sendTimeMs;
        if (p + 1 < f.packets.size()) {
            EXPECT_EQ(pk.padding, 0u) << "packet " << p;
        }
        for (const Payload& pl : pk.payloads) {
            ASSERT_LT(block, count);
            EXPECT_EQ(pl.stream, 1);
            EXPECT_TRUE(pl.keyFrame);
            EXPECT_EQ(pl.objectOffset, 0u);
            EXPECT_EQ(pl.objectSize, ref().format.blockAlign);
            EXPECT_EQ(pl.presentationMs, f.prerollMs + block * kFramesPerWmaBlock * 1000ull / 44100);
            ASSERT_EQ(pl.data.size(), ref().format.blockAlign);
            EXPECT_TRUE(std::equal(pl.data.begin(), pl.data.end(), ref().Block(block))) << "block " << block;
            ++block;
        }
    }
    EXPECT_EQ(block, count);
    EXPECT_GT(f.packets.back().padding, 0u);
    // A packet holds at most about half a second, so a crash loses little.
    double packetSeconds = double(f.packets[0].payloads.size()) * kFramesPerWmaBlock / 44100.0;
    EXPECT_LE(packetSeconds, 0.55);

    // Index: one entry a second over the whole play time; entry i names the
    // packet holding the block that plays at i seconds.
    ASSERT_TRUE(f.hasIndex);
    EXPECT_EQ(f.indexInterval, 10000000u);
    EXPECT_EQ(f.indexEntries.size(), f.playDuration / 10000000 + 1);
    std::vector<uint64_t> firstBlockOfPacket;
    size_t b = 0;
    for (const Packet& pk : f.packets) {
        firstBlockOfPacket.push_back(b);
        b += pk.payloads.size();
    }
    for (size_t i = 0; i < f.indexEntries.size(); ++i) {
        double t = double(i) - f.prerollMs / 1000.0; // media time of the entry
        uint64_t wantBlock = t <= 0 ? 0 : std::min<uint64_t>(uint64_t(t * 44100 / kFramesPerWmaBlock), count - 1);
        uint32_t pn = f.indexEntries[i].first;
        ASSERT_LT(pn, f.packets.size()) << "entry " << i;
        EXPECT_LE(firstBlockOfPacket[pn], wantBlock) << "entry " << i;
        EXPECT_GT(firstBlockOfPacket[pn] + f.packets[pn].payloads.size(), wantBlock) << "entry " << i;
        EXPECT_EQ(f.indexEntries[i].second, 1);
    }
}

// Czech text survives the UTF-16 round trip into ffprobe's tags.
TEST_F(AsfWriterTest, ContentDescriptionReachesTheTags) {
    std::string out = dir_ / "tags.wma";
    AsfContentDescription cd;
    cd.title = u"Záznam č. 7 – ředitelna";
    cd.author = u"Tonbar";
    cd.copyright = u"© 2026";
    cd.description = u"Zkouška";
    ASSERT_EQ(WriteFile(out, ref().format, kFramesPerWmaBlock, 128000, ref().blocks.data(), 30, &cd), kOk);
    CommandResult probe = Shell(dir_, "ffprobe -v error -show_format " + Quote(out));
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(ProbeValue(probe.out, "TAG:title"), "Záznam č. 7 – ředitelna");
    EXPECT_EQ(ProbeValue(probe.out, "TAG:artist"), "Tonbar") << probe.out;
    EXPECT_EQ(ProbeValue(probe.out, "TAG:copyright"), "© 2026");
    EXPECT_EQ(ProbeValue(probe.out, "TAG:comment"), "Zkouška");
    AsfFile f;
    ParseAsf(ReadBytes(out), &f);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(f.title, cd.title);
    EXPECT_EQ(f.copyright, cd.copyright);
}

// While the writer is still open, the file on disk is a live ASF file holding
// every completed packet: ffmpeg decodes exactly those.
TEST_F(AsfWriterTest, UnfinishedFileHoldsEveryCompletedPacket) {
    std::string out = dir_ / "live.wma";
    FileByteSink sink;
    ASSERT_EQ(sink.Create(out), kOk);
    AsfWriter w;
    ASSERT_EQ(w.Open(&sink, ref().format, kFramesPerWmaBlock, 128000), kOk);
    {
        AsfFile f;
        ParseAsf(ReadBytes(out), &f);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(f.flags & 1u, 1u) << "broadcast while written";
        EXPECT_EQ(f.fileSize, 0u);
        EXPECT_EQ(f.packetCount, 0u);
        EXPECT_EQ(f.playDuration, 0u);
        EXPECT_EQ(f.dataObjectSize, 0u);
        EXPECT_TRUE(f.packets.empty());
    }
    const size_t written = 95; // not a whole number of packets
    for (size_t i = 0; i < written; ++i) ASSERT_EQ(w.WriteBlock(ref().Block(i), ref().format.blockAlign), kOk);
    const uint64_t packets = w.PacketCount();
    ASSERT_GT(packets, 2u);

    std::vector<uint8_t> bytes = ReadBytes(out);
    AsfFile f;
    ParseAsf(bytes, &f);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(f.packets.size(), packets);
    EXPECT_EQ(f.trailingPartialBytes, 0u) << "only whole packets reach the file";
    size_t inPackets = 0;
    for (const auto& p : f.packets) inPackets += p.payloads.size();
    EXPECT_LT(inPackets, written);

    std::string errors;
    std::vector<uint8_t> pcm = Decode(dir_, out, &errors);
    EXPECT_EQ(errors, "");
    // The same as a finished file of just those blocks (the decoder holds
    // back one block of overlap in both).
    std::string finished = dir_ / "finished.wma";
    ASSERT_EQ(WriteFile(finished, ref().format, kFramesPerWmaBlock, 128000, ref().blocks.data(), inPackets), kOk);
    std::vector<uint8_t> finishedPcm = Decode(dir_, finished, &errors);
    EXPECT_GE(finishedPcm.size(), (inPackets - 1) * kFramesPerWmaBlock * 4);
    EXPECT_TRUE(pcm == finishedPcm) << pcm.size() << " vs " << finishedPcm.size();

    ASSERT_EQ(w.Close(), kOk);
    ASSERT_EQ(sink.CloseFile(), kOk);
    AsfFile done;
    ParseAsf(ReadBytes(out), &done);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(done.flags, 2u);
    size_t total = 0;
    for (const auto& p : done.packets) total += p.payloads.size();
    EXPECT_EQ(total, written);
}

// A writer killed in the middle leaves a file ffmpeg plays up to its last
// packet, and the repair finishes it. The child writes ten seconds of
// blocks at real-time pace and is killed after three.
TEST_F(AsfWriterTest, KilledWriterLeavesAPlayableFileThatTheRepairFinishes) {
    std::string out = dir_ / "killed.wma";
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileByteSink sink;
        AsfWriter w;
        if (Failed(sink.Create(out)) || Failed(w.Open(&sink, ref().format, kFramesPerWmaBlock, 128000))) _exit(3);
        auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < ref().BlockCount(); ++i) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(i * kFramesPerWmaBlock * 1000000ull / 44100));
            if (Failed(w.WriteBlock(ref().Block(i), ref().format.blockAlign))) _exit(4);
        }
        w.Close();
        sink.CloseFile();
        _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended on its own: status " << status;

    AsfFile f;
    ParseAsf(ReadBytes(out), &f);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(f.flags & 1u, 1u);
    EXPECT_FALSE(f.packets.empty());

    std::string errors;
    std::vector<uint8_t> pcm = Decode(dir_, out, &errors);
    EXPECT_EQ(errors, "");
    double seconds = double(pcm.size()) / (44100 * 4);
    EXPECT_GE(seconds, 2.0);
    EXPECT_LE(seconds, 3.5);

    // The repair finishes such a file from its whole packets, whatever the
    // crash left after them: nothing, a torn packet, or space that the file
    // system had given the file but that was never written.
    const std::vector<uint8_t> killed = ReadBytes(out);
    const size_t packetSize = f.maxPacket;
    struct Tail {
        const char* name;
        std::vector<uint8_t> bytes;
    } tails[] = {
        {"as killed", killed},
        {"torn packet", std::vector<uint8_t>(killed.begin(), killed.end() - packetSize / 2)},
        {"unwritten space", killed},
    };
    tails[2].bytes.resize(killed.size() + 3 * packetSize, 0);
    for (const Tail& t : tails) {
        SCOPED_TRACE(t.name);
        std::string file = dir_ / "repaired.wma";
        WriteBytes(file, t.bytes);
        PosixRandomAccessFile io;
        ASSERT_EQ(io.Open(file.c_str()), kOk);
        AsfRepairResult r;
        ASSERT_EQ(CompleteUnfinishedAsf(io, &r), kOk);
        EXPECT_TRUE(r.indexWritten);
        AsfFile done;
        ParseAsf(ReadBytes(file), &done);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(done.flags, 2u) << "seekable, no longer broadcast";
        EXPECT_TRUE(done.hasIndex);
        EXPECT_EQ(done.packetCount, done.packets.size());
        EXPECT_EQ(done.trailingPartialBytes, 0u);
        std::vector<uint8_t> full = Decode(dir_, file, &errors);
        EXPECT_EQ(errors, "");
        const double decoded = double(full.size()) / (44100 * 4);
        CommandResult probe = Shell(dir_, "ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(file));
        EXPECT_NEAR(std::stod(probe.out.empty() ? "0" : probe.out), decoded, 0.5);
        // Seeking to the middle decodes the second half only.
        CommandResult half = Shell(dir_, "ffmpeg -nostdin -v error -ss " + std::to_string(decoded / 2) + " -i " +
                                             Quote(file) + " -f s16le -");
        EXPECT_EQ(half.exitCode, 0) << half.err;
        EXPECT_NEAR(double(half.out.size()) / (44100 * 4), decoded / 2, 0.5);
    }

    // Finished files and files of no recording are not touched; an
    // unfinished file without a whole packet cannot be repaired.
    std::string finished = dir_ / "finished.wma";
    ASSERT_EQ(WriteFile(finished, ref().format, kFramesPerWmaBlock, 128000, ref().blocks.data(), 50), kOk);
    std::vector<uint8_t> headerOnly(killed.begin(), killed.begin() + (killed.size() - f.trailingPartialBytes - f.packets.size() * packetSize));
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        HResult expected;
    } untouched[] = {
        {"finished", ReadBytes(finished), kFalse},
        {"not a recording", std::vector<uint8_t>(4096, 0x82), kFalse},
        {"header only", headerOnly, kEInvalidData},
    };
    for (const auto& u : untouched) {
        SCOPED_TRACE(u.name);
        std::string file = dir_ / "other.wma";
        WriteBytes(file, u.bytes);
        PosixRandomAccessFile io;
        ASSERT_EQ(io.Open(file.c_str()), kOk);
        EXPECT_EQ(CompleteUnfinishedAsf(io), u.expected);
        EXPECT_TRUE(ReadBytes(file) == u.bytes);
    }
}

// Raw PCM blocks through the same path: the decode must give back the input
// exactly, at other rates, channel counts and block sizes (large blocks make
// packets of few payloads).
TEST_F(AsfWriterTest, PcmBlocksRoundTripExactly) {
    struct Case { uint32_t rate; uint16_t channels; uint32_t frames; };
    for (Case c : {Case{8000, 1, 160}, Case{48000, 2, 4096}, Case{22050, 2, 16383}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " ch, " +
                     std::to_string(c.frames) + " frames a block");
        std::string raw = dir_ / "in.raw";
        ASSERT_EQ(Shell(dir_, "sox -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
                                " -b 16 -e signed -t raw " + Quote(raw) + " synth 3 sine 300 sine 500 gain -3").exitCode,
                  0);
        std::vector<uint8_t> in = ReadBytes(raw);
        AudioStreamFormat fmt;
        fmt.formatTag = 1;
        fmt.channels = c.channels;
        fmt.sampleRate = c.rate;
        fmt.bitsPerSample = 16;
        fmt.avgBytesPerSec = c.rate * c.channels * 2;
        fmt.blockAlign = static_cast<uint16_t>(c.frames * c.channels * 2);
        size_t count = in.size() / fmt.blockAlign;
        in.resize(count * fmt.blockAlign);
        std::string out = dir_ / "pcm.wma";
        ASSERT_EQ(WriteFile(out, fmt, c.frames, fmt.avgBytesPerSec * 8, in.data(), count), kOk);
        std::string errors;
        std::vector<uint8_t> pcm = Decode(dir_, out, &errors);
        EXPECT_EQ(errors, "");
        EXPECT_TRUE(pcm == in) << "decoded " << pcm.size() << " bytes of " << in.size();
        AsfFile f;
        ParseAsf(ReadBytes(out), &f);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(f.fileSize, f.topLevel.back().offset + f.topLevel.back().size);
        ASSERT_FALSE(f.packets.empty());
        if (fmt.blockAlign + 31u <= 0xFFFFu) {
            EXPECT_LE(f.maxPacket, 0xFFFFu);
        } else {
            EXPECT_EQ(f.packets[0].payloads.size(), 1u) << "a block too big for 64 KiB goes alone";
        }
    }
}

// The header's durations can end inside the last block, at the input's end.
TEST_F(AsfWriterTest, InputFramesSetThePlayDuration) {
    const uint16_t ba = ref().format.blockAlign;
    struct Case { uint64_t frames; double seconds; };
    // 50 blocks cover 102400 frames: shorter counts are taken, longer ones cut.
    for (Case c : {Case{100000, 100000 / 44100.0}, Case{500000, 102400 / 44100.0}}) {
        std::string out = dir_ / "trimmed.wma";
        FileByteSink sink;
        ASSERT_EQ(sink.Create(out), kOk);
        AsfWriter w;
        EXPECT_EQ(w.SetInputFrames(c.frames), kEUnexpected) << "before Open";
        ASSERT_EQ(w.Open(&sink, ref().format, kFramesPerWmaBlock, 128000), kOk);
        ASSERT_EQ(w.SetInputFrames(c.frames), kOk);
        for (size_t i = 0; i < 50; ++i) ASSERT_EQ(w.WriteBlock(ref().Block(i), ba), kOk);
        ASSERT_EQ(w.Close(), kOk);
        EXPECT_EQ(w.SetInputFrames(1), kEUnexpected) << "after Close";
        ASSERT_EQ(sink.CloseFile(), kOk);
        CommandResult probe = Shell(dir_, "ffprobe -v error -show_format " + Quote(out));
        ASSERT_EQ(probe.exitCode, 0) << probe.err;
        EXPECT_NEAR(std::stod(ProbeValue(probe.out, "duration").value_or("0")), c.seconds, 0.0015);
        AsfFile f;
        ParseAsf(ReadBytes(out), &f);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(f.playDuration, f.prerollMs * 10000 + uint64_t(c.seconds * 1e7));
        size_t blocks = 0;
        for (const auto& p : f.packets) blocks += p.payloads.size();
        EXPECT_EQ(blocks, 50u) << "every block is still there";
    }
}

TEST_F(AsfWriterTest, EmptyRecordingIsAValidFile) {
    std::string out = dir_ / "empty.wma";
    ASSERT_EQ(WriteFile(out, ref().format, kFramesPerWmaBlock, 128000, nullptr, 0), kOk);
    AsfFile f;
    ParseAsf(ReadBytes(out), &f);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(f.packetCount, 0u);
    EXPECT_EQ(f.dataObjectSize, 50u);
    EXPECT_EQ(f.fileSize, ReadBytes(out).size());
    CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams " + Quote(out));
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(ProbeValue(probe.out, "codec_name"), "wmav2");
}

// Misuse is refused with a code and does not damage what was written.
TEST_F(AsfWriterTest, MisuseIsRefusedAndLosesNothing) {
    std::string out = dir_ / "misuse.wma";
    const uint16_t ba = ref().format.blockAlign;
    FileByteSink sink;
    ASSERT_EQ(sink.Create(out), kOk);
    AsfWriter w;
    EXPECT_EQ(w.WriteBlock(ref().Block(0), ba), kEUnexpected) << "before Open";
    EXPECT_EQ(w.Close(), kFalse) << "nothing to close";
    ASSERT_EQ(w.Open(&sink, ref().format, kFramesPerWmaBlock, 128000), kOk);
    EXPECT_EQ(w.Open(&sink, ref().format, kFramesPerWmaBlock, 128000), kEUnexpected) << "second Open";
    for (size_t i = 0; i < 40; ++i) {
        ASSERT_EQ(w.WriteBlock(ref().Block(i), ba), kOk);
        if (i == 10) {
            EXPECT_EQ(w.WriteBlock(ref().Block(i), ba - 1), kEInvalidArg);
            EXPECT_EQ(w.WriteBlock(ref().Block(i), ba + 1u), kEInvalidArg);
            EXPECT_EQ(w.WriteBlock(nullptr, ba), kEInvalidArg);
        }
    }
    EXPECT_EQ(w.DurationMs(), 40u * kFramesPerWmaBlock * 1000 / 44100);
    ASSERT_EQ(w.Close(), kOk);
    std::vector<uint8_t> closed = ReadBytes(out);
    EXPECT_EQ(w.Close(), kOk) << "Close is idempotent";
    EXPECT_EQ(w.WriteBlock(ref().Block(0), ba), kEUnexpected) << "after Close";
    ASSERT_EQ(sink.CloseFile(), kOk);
    EXPECT_EQ(ReadBytes(out), closed) << "nothing changed after the first Close";

    AsfFile f;
    ParseAsf(closed, &f);
    ASSERT_FALSE(HasFatalFailure());
    size_t blocks = 0;
    for (const auto& p : f.packets) {
        for (const auto& pl : p.payloads) {
            ASSERT_LT(blocks, 40u);
            EXPECT_TRUE(std::equal(pl.data.begin(), pl.data.end(), ref().Block(blocks)));
            ++blocks;
        }
    }
    EXPECT_EQ(blocks, 40u) << "the refused blocks are not in the file, the accepted ones all are";
}

TEST_F(AsfWriterTest, FormatsItCannotDescribeAreRefusedBeforeWriting) {
    std::string out = dir_ / "bad.wma";
    const AudioStreamFormat good = ref().format;
    auto check = [&](const char* what, AudioStreamFormat fmt, uint32_t fpb, uint32_t rate,
                     const AsfContentDescription* cd = nullptr) {
        FileByteSink sink;
        ASSERT_EQ(sink.Create(out), kOk);
        AsfWriter w;
        EXPECT_EQ(w.Open(&sink, fmt, fpb, rate, cd), kEInvalidArg) << what;
        EXPECT_EQ(w.WriteBlock(ref().Block(0), good.blockAlign), kEUnexpected) << what;
        ASSERT_EQ(sink.CloseFile(), kOk);
        EXPECT_EQ(ReadBytes(out).size(), 0u) << what << ": nothing written";
    };
    AudioStreamFormat f = good;
    f.blockAlign = 0;
    check("block size 0", f, kFramesPerWmaBlock, 128000);
    f = good;
    f.channels = 0;
    check("no channels", f, kFramesPerWmaBlock, 128000);
    f.channels = 9;
    check("nine channels", f, kFramesPerWmaBlock, 128000);
    f = good;
    f.sampleRate = 0;
    check("rate 0", f, kFramesPerWmaBlock, 128000);
    f = good;
    f.formatTag = 0;
    check("no format tag", f, kFramesPerWmaBlock, 128000);
    f = good;
    f.extra.assign(4096, 0xAB);
    check("oversized codec data", f, kFramesPerWmaBlock, 128000);
    check("zero frames a block", good, 0, 128000);
    check("eleven-second blocks", good, 44100 * 11, 128000);
    check("bit rate 0", good, kFramesPerWmaBlock, 0);
    AsfContentDescription cd;
    cd.title.assign(40000, u'a');
    check("title too long", good, kFramesPerWmaBlock, 128000, &cd);

    AsfWriter w;
    EXPECT_EQ(w.Open(nullptr, good, kFramesPerWmaBlock, 128000), kEInvalidArg);
}

// A sink that cannot take the bytes (a full disk) makes Open fail and every
// later call report the same failure, without crashing.
TEST_F(AsfWriterTest, FullDiskIsReportedNotCrashed) {
    FileByteSink sink;
    ASSERT_EQ(sink.Create("/dev/full"), kOk);
    AsfWriter w;
    HResult hr = w.Open(&sink, ref().format, kFramesPerWmaBlock, 128000);
    EXPECT_TRUE(Failed(hr));
    EXPECT_EQ(w.WriteBlock(ref().Block(0), ref().format.blockAlign), hr);
    EXPECT_EQ(w.Close(), hr);
    sink.CloseFile();
}

TEST(FileByteSinkTest, AppendsAfterPatchesAndReportsMisuse) {
    TempDir dir;
    std::string path = dir / "sink.bin";
    FileByteSink sink;
    EXPECT_EQ(sink.Write("x", 1), kEUnexpected) << "before Create";
    EXPECT_EQ(sink.WriteAt(0, "x", 1), kEUnexpected);
    EXPECT_EQ(sink.Flush(), kEUnexpected);
    ASSERT_EQ(sink.Create(path), kOk);
    EXPECT_EQ(sink.Create(path), kEUnexpected) << "already open";
    ASSERT_EQ(sink.Write("abcdef", 6), kOk);
    ASSERT_EQ(sink.WriteAt(2, "XY", 2), kOk);
    ASSERT_EQ(sink.Write("gh", 2), kOk) << "appends at the end, not after the patch";
    ASSERT_EQ(sink.Flush(), kOk);
    EXPECT_EQ(ReadText(path), "abXYefgh") << "flushed bytes are in the file before CloseFile";
    ASSERT_EQ(sink.CloseFile(), kOk);
    EXPECT_EQ(sink.Write("z", 1), kEUnexpected) << "after CloseFile";
    EXPECT_EQ(ReadText(path), "abXYefgh");

    // Create truncates.
    FileByteSink again;
    ASSERT_EQ(again.Create(path), kOk);
    ASSERT_EQ(again.CloseFile(), kOk);
    EXPECT_EQ(ReadBytes(path).size(), 0u);

    FileByteSink missing;
    HResult hr = missing.Create((dir / "no/such/folder/x.wma"));
    EXPECT_TRUE(Failed(hr));
    EXPECT_EQ(missing.Write("z", 1), kEUnexpected);

    FileByteSink full;
    ASSERT_EQ(full.Create("/dev/full"), kOk);
    EXPECT_EQ(full.Write("abc", 3), kOk) << "buffered";
    EXPECT_TRUE(Failed(full.Flush()));
}

} // namespace
