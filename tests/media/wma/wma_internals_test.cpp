// Unit tests of the encoder's building blocks and of its API contract.
#include "media/wma/BitWriter.h"
#include "media/wma/Mdct.h"
#include "media/wma/WmaEncoder.h"
#include "media/wma/WmaTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <vector>

using namespace mirvak::media;
using namespace mirvak::media::wma;

namespace {

// MSB-first reader, the mirror of BitWriter.
struct BitReader {
    const uint8_t* p;
    size_t pos = 0;
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++pos) v = (v << 1) | ((p[pos >> 3] >> (7 - (pos & 7))) & 1u);
        return v;
    }
};

// Decodes one symbol of a code book by growing the prefix bit by bit.
int ReadSymbol(BitReader& r, const std::map<std::pair<int, uint32_t>, int>& book) {
    uint32_t code = 0;
    for (int len = 1; len <= 32; ++len) {
        code = (code << 1) | r.Get(1);
        auto it = book.find({len, code});
        if (it != book.end()) return it->second;
    }
    return -1;
}

std::map<std::pair<int, uint32_t>, int> Book(const uint32_t* codes, const uint8_t* lens, size_t n) {
    std::map<std::pair<int, uint32_t>, int> m;
    for (size_t i = 0; i < n; ++i) m[{lens[i], codes[i]}] = static_cast<int>(i);
    return m;
}

// A code book is usable for decoding when it is complete and prefix-free.
void ExpectCompletePrefixCode(const uint32_t* codes, const uint8_t* lens, size_t n) {
    double kraft = 0;
    for (size_t i = 0; i < n; ++i) {
        ASSERT_GT(lens[i], 0);
        ASSERT_LT(codes[i], 1ull << lens[i]) << "symbol " << i;
        kraft += std::ldexp(1.0, -lens[i]);
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
            if (i == j || lens[i] > lens[j]) continue;
            EXPECT_NE(codes[j] >> (lens[j] - lens[i]), codes[i]) << i << " prefixes " << j;
        }
}

} // namespace

TEST(WmaMdct, MatchesDirectSum) {
    for (size_t m : {16u, 128u, 512u, 2048u}) {
        Mdct mdct;
        ASSERT_TRUE(mdct.Init(m));
        std::mt19937 rng(static_cast<unsigned>(m));
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        std::vector<float> in(2 * m), out(m);
        for (float& x : in) x = dist(rng);
        mdct.Forward(in.data(), out.data());
        double worst = 0, peak = 0;
        for (size_t k = 0; k < m; ++k) {
            double s = 0;
            for (size_t n = 0; n < 2 * m; ++n)
                s += in[n] * std::cos(std::numbers::pi / m * (n + 0.5 + m / 2.0) * (k + 0.5));
            worst = std::max(worst, std::fabs(s - out[k]));
            peak = std::max(peak, std::fabs(s));
        }
        EXPECT_LT(worst, peak * 1e-5) << "M=" << m;
    }
    Mdct bad;
    EXPECT_FALSE(bad.Init(100));
    EXPECT_FALSE(bad.Init(8));
}

TEST(WmaBitWriter, PutAppendAndPatch) {
    uint8_t a[8], b[8];
    BitWriter w(a, sizeof a);
    w.Put(0x5, 3);       // 101
    w.Put(0x3FF, 10);    // 1111111111
    w.PutBit(0);
    w.Put(0x1, 2);       // 01
    EXPECT_EQ(w.BitPos(), 16u);
    EXPECT_EQ(a[0], 0xBF);
    EXPECT_EQ(a[1], 0xF9);
    w.PutAt(3, 0x0, 4);  // clear four bits in the middle
    EXPECT_EQ(a[0], 0xA1);
    // Appending from an unaligned source position keeps every bit.
    BitWriter v(b, sizeof b);
    v.Put(1, 1);
    v.Append(a, 3, 13);
    BitReader rd{b};
    EXPECT_EQ(rd.Get(1), 1u);
    BitReader ra{a};
    ra.Get(3);
    EXPECT_EQ(rd.Get(13), ra.Get(13));
    // Writing past the end is counted and reported, never stored.
    uint8_t c[1];
    BitWriter x(c, 1);
    x.Put(0xFFF, 12);
    EXPECT_TRUE(x.Overflowed());
    EXPECT_EQ(c[0], 0xFF);
}

TEST(WmaTables, CodeBooksAreCompleteAndConsistent) {
    ExpectCompletePrefixCode(kScaleCodes, kScaleLens, kScaleSymbols);
    EXPECT_EQ(kScaleLens[60], 1);  // a zero delta is the cheapest
    for (const CoefTable& t : kCoefTables) {
        ExpectCompletePrefixCode(t.codes, t.lengths, t.count);
        size_t symbols = 2;
        for (size_t l = 0; l < t.levelCount; ++l) symbols += t.runsPerLevel[l];
        EXPECT_EQ(symbols, t.count);
    }
}

TEST(WmaTables, RunLevelSymbolsRoundTrip) {
    // Write (level, run) pairs with the table, read them back by prefix search.
    const CoefTable& t = kCoefTables[4];
    std::vector<uint16_t> start(t.levelCount);
    size_t s = 2;
    for (size_t l = 0; l < t.levelCount; ++l) { start[l] = static_cast<uint16_t>(s); s += t.runsPerLevel[l]; }
    std::vector<std::pair<unsigned, unsigned>> pairs;
    for (unsigned level = 1; level <= t.levelCount; ++level)
        for (unsigned run = 0; run < t.runsPerLevel[level - 1]; run += 3) pairs.push_back({level, run});
    std::vector<uint8_t> buf(8192);
    BitWriter w(buf.data(), buf.size());
    for (auto [level, run] : pairs) {
        int sym = start[level - 1] + static_cast<int>(run);
        w.Put(t.codes[sym], t.lengths[sym]);
    }
    w.Put(t.codes[1], t.lengths[1]);
    ASSERT_FALSE(w.Overflowed());
    auto book = Book(t.codes, t.lengths, t.count);
    BitReader r{buf.data()};
    for (auto [level, run] : pairs) {
        int sym = ReadSymbol(r, book);
        ASSERT_GE(sym, 2);
        unsigned gotLevel = 1;
        while (gotLevel < t.levelCount && sym >= start[gotLevel]) ++gotLevel;
        EXPECT_EQ(gotLevel, level);
        EXPECT_EQ(static_cast<unsigned>(sym - start[gotLevel - 1]), run);
    }
    EXPECT_EQ(ReadSymbol(r, book), 1);  // end of block
}

TEST(WmaEncoder, RejectsWhatItCannotEncode) {
    WmaEncoder e;
    const int16_t pcm[4] = {};
    auto sink = [](const uint8_t*, size_t) {};
    EXPECT_EQ(e.Encode(pcm, 1, sink), kEUnexpected);   // before Init
    EXPECT_EQ(e.Flush(sink), kEUnexpected);
    EXPECT_EQ(e.Init(44100, 0, 128000), kEInvalidArg);
    EXPECT_EQ(e.Init(44100, 3, 128000), kEInvalidArg);
    EXPECT_EQ(e.Init(96000, 2, 128000), kEInvalidArg);
    EXPECT_EQ(e.Init(12345, 1, 32000), kEInvalidArg);
    EXPECT_EQ(e.Init(44100, 2, 1000), kEInvalidArg);
    EXPECT_EQ(e.Init(8000, 2, 384000), kEInvalidArg);  // more bits than the format holds
    EXPECT_EQ(e.FramesPerBlock(), 0u);
    ASSERT_EQ(e.Init(44100, 2, 128000), kOk);
    EXPECT_EQ(e.Encode(nullptr, 10, sink), kEInvalidArg);
    EXPECT_EQ(e.Encode(pcm, 2, BlockSink{}), kEInvalidArg);
    EXPECT_EQ(e.Encode(nullptr, 0, sink), kOk);
}

TEST(WmaEncoder, FormatHoldsTheBitRate) {
    struct P { uint32_t rate; uint16_t ch; uint32_t bits; uint32_t frames; };
    const P profiles[] = {{22050, 1, 20000, 8192}, {22050, 2, 20000, 8192}, {32000, 2, 32000, 16384},
                          {44100, 2, 48000, 16384}, {44100, 2, 64000, 16384}, {44100, 2, 96000, 16384},
                          {44100, 2, 128000, 16384}, {8000, 1, 16000, 4096}, {48000, 2, 192000, 16384}};
    for (const P& p : profiles) {
        WmaEncoder e;
        ASSERT_EQ(e.Init(p.rate, p.ch, p.bits), kOk) << p.rate << "/" << p.bits;
        const AudioStreamFormat& f = e.Format();
        EXPECT_EQ(f.formatTag, 0x0161);
        EXPECT_EQ(f.channels, p.ch);
        EXPECT_EQ(f.sampleRate, p.rate);
        EXPECT_EQ(f.avgBytesPerSec, p.bits / 8);
        EXPECT_EQ(f.bitsPerSample, 16);
        ASSERT_EQ(f.extra.size(), 10u);
        EXPECT_EQ(f.extra[4], 0x03);  // exponent VLC and bit reservoir
        EXPECT_EQ(e.FramesPerBlock(), p.frames);
        // The blocks' own rate matches the nominal one within half a byte per block.
        double blockRate = f.blockAlign * static_cast<double>(p.rate) / e.FramesPerBlock();
        EXPECT_NEAR(blockRate, f.avgBytesPerSec, 0.5 * p.rate / e.FramesPerBlock() + 1e-9);
    }
}

namespace {

std::vector<int16_t> TestSignal(size_t frames, int channels, uint32_t rate) {
    std::vector<int16_t> pcm(frames * channels);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 600.0);
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        double tone = 8000 * std::sin(2 * std::numbers::pi * (200 + 2000 * t) * t);
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] = static_cast<int16_t>(std::lround(tone * (c ? 0.7 : 1.0) + noise(rng)));
    }
    return pcm;
}

std::vector<std::vector<uint8_t>> EncodeInChunks(WmaEncoder& e, const std::vector<int16_t>& pcm, int channels,
                                                 const std::vector<size_t>& chunks) {
    std::vector<std::vector<uint8_t>> blocks;
    auto sink = [&](const uint8_t* d, size_t n) { blocks.emplace_back(d, d + n); };
    size_t frames = pcm.size() / channels, at = 0, k = 0;
    while (at < frames) {
        size_t n = std::min(chunks[k++ % chunks.size()], frames - at);
        EXPECT_EQ(e.Encode(pcm.data() + at * channels, n, sink), kOk);
        at += n;
    }
    EXPECT_EQ(e.Flush(sink), kOk);
    return blocks;
}

} // namespace

TEST(WmaEncoder, ChunkingDoesNotChangeTheStream) {
    const uint32_t rate = 22050;
    auto pcm = TestSignal(rate * 2 + 777, 2, rate);
    WmaEncoder e;
    ASSERT_EQ(e.Init(rate, 2, 20000), kOk);
    auto whole = EncodeInChunks(e, pcm, 2, {pcm.size()});
    auto pieces = EncodeInChunks(e, pcm, 2, {1, 0, 2205, 1, 1, 4410, 0, 999});
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(whole, pieces);  // Flush leaves the encoder ready for an identical new stream
    for (const auto& b : whole) EXPECT_EQ(b.size(), e.Format().blockAlign);
    // The blocks cover every input frame: N samples per frame after the decoder's start-up.
    size_t covered = whole.size() * e.FramesPerBlock();
    EXPECT_GE(covered, pcm.size() / 2);
    EXPECT_LT(covered, pcm.size() / 2 + e.FramesPerBlock() + 2048);
}

TEST(WmaEncoder, FlushWithoutInputWritesNothing) {
    WmaEncoder e;
    ASSERT_EQ(e.Init(44100, 2, 64000), kOk);
    int blocks = 0;
    auto sink = [&](const uint8_t*, size_t) { ++blocks; };
    EXPECT_EQ(e.Flush(sink), kOk);
    EXPECT_EQ(blocks, 0);
    EXPECT_EQ(e.DelayFrames(), 0u);
}

TEST(WmaEncoder, BlockHeadersCountFramesAndOffsets) {
    // Every block after the first completes exactly FramesPerBlock / N frames
    // and its bit offset stays inside the block.
    const uint32_t rate = 44100;
    auto pcm = TestSignal(rate * 3, 2, rate);
    WmaEncoder e;
    ASSERT_EQ(e.Init(rate, 2, 128000), kOk);
    auto blocks = EncodeInChunks(e, pcm, 2, {4410});
    ASSERT_GE(blocks.size(), 3u);
    const int perBlock = static_cast<int>(e.FramesPerBlock() / 2048);
    // 128000 / (2 * 44100) bits per sample * 2048 / 8 = 371.5 bytes per frame:
    // floor(log2(372)) + 2 = 10 bits of byte offset, 13 bits of bit offset.
    const int offsetBits = 10 + 3;
    for (size_t i = 0; i < blocks.size(); ++i) {
        BitReader r{blocks[i].data()};
        EXPECT_EQ(r.Get(4), i & 15);
        unsigned count = r.Get(4);
        unsigned offset = r.Get(offsetBits);
        if (i == 0) EXPECT_EQ(count, static_cast<unsigned>(perBlock + 1));
        else if (i + 1 < blocks.size()) EXPECT_EQ(count, static_cast<unsigned>(perBlock));
        else EXPECT_LE(count, static_cast<unsigned>(perBlock));
        EXPECT_LT(offset, blocks[i].size() * 8 - 8 - offsetBits);
        if (i == 0) EXPECT_EQ(offset, 0u);
    }
}
