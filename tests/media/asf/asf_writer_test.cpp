// The ASF writer judged by ffprobe/ffmpeg and by our own reading of its
// output. Encoded blocks come from ffmpeg's wmav2 encoder, so these tests do
// not depend on our encoder.
#include "media/asf/AsfWriter.h"

#include "media/asf/asf_test_support.h"

using namespace mirvak::media;
using namespace asftest;

namespace {

constexpr uint32_t kFpb = 2048;  // frames a wmav2 block covers at 44.1 kHz

struct Reference {
    TempDir dir;
    AudioStreamFormat format;
    std::vector<uint8_t> blocks;  // concatenated, format.blockAlign each
    std::vector<uint8_t> pcm;     // ffmpeg's decode of its own file
    size_t BlockCount() const { return blocks.size() / format.blockAlign; }
    const uint8_t* Block(size_t i) const { return blocks.data() + i * format.blockAlign; }
};

Reference* g_ref = nullptr;

HResult WriteFile(const std::string& path, const AudioStreamFormat& fmt, uint32_t fpb, const uint8_t* blocks,
                  size_t count, const AsfContentDescription* content = nullptr, uint64_t* packets = nullptr) {
    FileByteSink sink;
    HResult hr = sink.Create(path);
    if (Failed(hr)) return hr;
    AsfWriter w;
    hr = w.Open(&sink, fmt, fpb, fmt.avgBytesPerSec * 8, content);
    for (size_t i = 0; i < count && !Failed(hr); ++i) hr = w.WriteBlock(blocks + i * fmt.blockAlign, fmt.blockAlign);
    if (!Failed(hr)) hr = w.Close();
    if (packets) *packets = w.PacketCount();
    HResult closed = sink.CloseFile();
    return Failed(hr) ? hr : closed;
}

class AsfWriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Ten seconds of a sweep against a steady tone: enough to fill many
        // packets and index entries.
        g_ref = new Reference;
        const TempDir& d = g_ref->dir;
        const std::string ref = d / "ref.wma";
        ASSERT_EQ(Shell(d, "sox -n -r 44100 -c 2 -b 16 " + Quote(d / "in.wav") +
                               " synth 10 sine 200-4000 sine 440 gain -8 && ffmpeg -nostdin -v error -y -i " +
                               Quote(d / "in.wav") + " -c:a wmav2 -b:a 128k " + Quote(ref) +
                               " && ffmpeg -nostdin -v error -y -i " + Quote(ref) + " -map 0:a -c copy -f data " +
                               Quote(d / "blocks.bin"))
                      .exitCode,
                  0);
        CommandResult probe = Shell(d, "ffprobe -v error -show_streams " + Quote(ref));
        CommandResult size = Shell(d, "ffprobe -v error -show_entries packet=size -of csv=p=0 " + Quote(ref));
        ASSERT_EQ(probe.exitCode, 0);
        AudioStreamFormat& f = g_ref->format;
        f.formatTag = 0x0161;
        f.sampleRate = static_cast<uint32_t>(ProbeNumber(probe.out, "sample_rate"));
        f.channels = static_cast<uint16_t>(ProbeNumber(probe.out, "channels"));
        f.avgBytesPerSec = static_cast<uint32_t>(ProbeNumber(probe.out, "bit_rate") / 8);
        f.blockAlign = static_cast<uint16_t>(std::stoul(size.out));
        f.bitsPerSample = 16;
        f.extra = ParseAsf(ReadBytes(ref)).extra;
        g_ref->blocks = ReadBytes(d / "blocks.bin");
        std::string errors;
        g_ref->pcm = Decode(d, ref, &errors);
        ASSERT_EQ(errors, "");
    }
    static void TearDownTestSuite() {
        delete g_ref;
        g_ref = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(ref().format.sampleRate, 44100u);
        ASSERT_EQ(ref().format.avgBytesPerSec, 16000u);
        ASSERT_EQ(ref().format.extra.size(), 10u);
        ASSERT_GT(ref().format.blockAlign, 0);
        ASSERT_GT(ref().BlockCount(), 200u);
    }
    const Reference& ref() const { return *g_ref; }
    TempDir dir_;
};

// The re-muxed blocks are a file ffprobe describes like ffmpeg's own, that
// decodes without complaint to exactly the same samples, and whose tags keep
// Czech text.
TEST_F(AsfWriterTest, RemuxedFfmpegBlocksProbeAndDecodeLikeTheOriginal) {
    std::string out = dir_ / "ours.wma";
    AsfContentDescription cd{u"Záznam č. 7 – ředitelna", u"Tonbar", u"© 2026", u"Zkouška"};
    ASSERT_EQ(WriteFile(out, ref().format, kFpb, ref().blocks.data(), ref().BlockCount(), &cd), kOk);
    CommandResult probe = Shell(dir_, "ffprobe -v error -show_streams -show_format " + Quote(out));
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(probe.err, "");
    EXPECT_EQ(ProbeValue(probe.out, "codec_name"), "wmav2");
    EXPECT_EQ(ProbeValue(probe.out, "sample_rate"), "44100");
    EXPECT_EQ(ProbeValue(probe.out, "channels"), "2");
    EXPECT_EQ(ProbeValue(probe.out, "bit_rate"), "128000");
    EXPECT_NEAR(ProbeNumber(probe.out, "duration"), ref().BlockCount() * kFpb / 44100.0, 0.002);
    EXPECT_EQ(ProbeValue(probe.out, "TAG:title"), "Záznam č. 7 – ředitelna");
    EXPECT_EQ(ProbeValue(probe.out, "TAG:artist"), "Tonbar");
    EXPECT_EQ(ProbeValue(probe.out, "TAG:copyright"), "© 2026");
    EXPECT_EQ(ProbeValue(probe.out, "TAG:comment"), "Zkouška");
    std::string errors;
    std::vector<uint8_t> pcm = Decode(dir_, out, &errors);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(pcm == ref().pcm) << "decoded samples differ from ffmpeg's own file";
}

// Our own reading of a finished file: objects add up, counts and durations
// are those of the blocks written, the index points at the right packets,
// and every block comes back byte for byte in order.
TEST_F(AsfWriterTest, FinishedFileHeaderPacketsAndIndexAreConsistent) {
    std::string out = dir_ / "ours.wma";
    const size_t count = ref().BlockCount() - 3;  // leave the last packet partly filled
    uint64_t packets = 0;
    ASSERT_EQ(WriteFile(out, ref().format, kFpb, ref().blocks.data(), count, nullptr, &packets), kOk);
    std::vector<uint8_t> bytes = ReadBytes(out);
    AsfFile f = ParseAsf(bytes);
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
    EXPECT_EQ(f.playDuration, count * kFpb * 10000000ull / 44100 + f.prerollMs * 10000);
    EXPECT_EQ(f.sendDuration, f.playDuration);
    EXPECT_EQ(f.streamType, kGuidAudioMedia);
    EXPECT_EQ(f.errorCorrection, kGuidAudioSpread);
    EXPECT_EQ(f.streamNumber, 1);
    EXPECT_EQ(f.formatTag, 0x0161);
    EXPECT_EQ(f.blockAlign, ref().format.blockAlign);
    EXPECT_EQ(f.extra, ref().format.extra);
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
}

// While the writer is still open, the file on disk is a live ASF file holding
// every completed packet: ffmpeg decodes exactly those.
TEST_F(AsfWriterTest, UnfinishedFileHoldsEveryCompletedPacket) {
    std::string out = dir_ / "live.wma";
    FileByteSink sink;
    ASSERT_EQ(sink.Create(out), kOk);
    AsfWriter w;
    ASSERT_EQ(w.Open(&sink, ref().format, kFpb, 128000), kOk);
    AsfFile empty = ParseAsf(ReadBytes(out));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(empty.flags & 1u, 1u) << "broadcast while written";
    EXPECT_EQ(empty.fileSize + empty.packetCount + empty.playDuration + empty.dataObjectSize, 0u);
    const size_t written = 95;  // not a whole number of packets
    for (size_t i = 0; i < written; ++i) ASSERT_EQ(w.WriteBlock(ref().Block(i), ref().format.blockAlign), kOk);
    ASSERT_GT(w.PacketCount(), 2u);

    AsfFile f = ParseAsf(ReadBytes(out));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(f.packets.size(), w.PacketCount());
    EXPECT_EQ(f.trailingPartialBytes, 0u) << "only whole packets reach the file";
    const size_t inPackets = f.PayloadCount();
    EXPECT_LT(inPackets, written);
    // The same as a finished file of just those blocks (the decoder holds
    // back one block of overlap in both).
    std::string errors, finished = dir_ / "finished.wma";
    std::vector<uint8_t> pcm = Decode(dir_, out, &errors);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(WriteFile(finished, ref().format, kFpb, ref().blocks.data(), inPackets), kOk);
    std::vector<uint8_t> finishedPcm = Decode(dir_, finished, &errors);
    EXPECT_GE(finishedPcm.size(), (inPackets - 1) * kFpb * 4);
    EXPECT_TRUE(pcm == finishedPcm) << pcm.size() << " vs " << finishedPcm.size();

    ASSERT_EQ(w.Close(), kOk);
    ASSERT_EQ(sink.CloseFile(), kOk);
    AsfFile done = ParseAsf(ReadBytes(out));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(done.flags, 2u);
    EXPECT_EQ(done.PayloadCount(), written);
}

// A sink that cannot take the bytes (a full disk) makes Open fail and every
// later call report the same failure, without crashing.
TEST_F(AsfWriterTest, FullDiskIsReportedNotCrashed) {
    FileByteSink sink;
    ASSERT_EQ(sink.Create("/dev/full"), kOk);
    AsfWriter w;
    HResult hr = w.Open(&sink, ref().format, kFpb, 128000);
    EXPECT_TRUE(Failed(hr));
    EXPECT_EQ(w.WriteBlock(ref().Block(0), ref().format.blockAlign), hr);
    EXPECT_EQ(w.Close(), hr);
    sink.CloseFile();
}

} // namespace
