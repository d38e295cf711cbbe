// The encoder's transform, fixed tables, bit writer bounds and independence of chunking; the encoded
// sound itself is judged by ffmpeg (media/asf/asf_test).
#include "media/wma/BitWriter.h"
#include "media/wma/Mdct.h"
#include "media/wma/WmaEncoder.h"
#include "media/wma/WmaTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace mirvak::media;
using namespace mirvak::media::wma;

namespace {

// A code book is usable for decoding when it is complete and prefix-free:
// every symbol counts, also those the test signals never reach.
void ExpectCompletePrefixCode(const uint32_t* codes, const uint8_t* lens, size_t n) {
    double kraft = 0;
    for (size_t i = 0; i < n; ++i) {
        ASSERT_GT(lens[i], 0);
        ASSERT_LT(codes[i], 1ull << lens[i]) << "symbol " << i;
        kraft += std::ldexp(1.0, -lens[i]);
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            if (i != j && lens[i] <= lens[j]) {
                EXPECT_NE(codes[j] >> (lens[j] - lens[i]), codes[i]) << i << " prefixes " << j;
            }
}

} // namespace

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

// Against the textbook sum: a small phase or scale error in the fast
// transform costs a few dB, which the SNR floors of the tool test let pass.
TEST(WmaMdct, MatchesDirectSum) {
    for (size_t m : {16u, 128u, 2048u}) {
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
            for (size_t n = 0; n < 2 * m; ++n) s += in[n] * std::cos(std::numbers::pi / m * (n + 0.5 + m / 2.0) * (k + 0.5));
            worst = std::max(worst, std::fabs(s - out[k]));
            peak = std::max(peak, std::fabs(s));
        }
        EXPECT_LT(worst, peak * 1e-5) << "M=" << m;
    }
}

// Writing past the end is counted and reported, never stored.
TEST(WmaBitWriter, OverflowIsReportedNotWritten) {
    uint8_t c[2] = {0, 0x5A};
    BitWriter x(c, 1);
    x.Put(0xFFF, 12);
    EXPECT_TRUE(x.Overflowed());
    EXPECT_EQ(c[0], 0xFF);
    EXPECT_EQ(c[1], 0x5A);
}

// The capture filter delivers uneven chunks: they give the same stream, and
// Flush leaves the encoder ready for an identical new one.
TEST(WmaEncoder, ChunkingDoesNotChangeTheStream) {
    const uint32_t rate = 22050;
    std::vector<int16_t> pcm((rate * 2 + 777) * 2);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 600.0);
    for (size_t i = 0; i < pcm.size(); ++i) {
        double t = double(i / 2) / rate;
        pcm[i] = static_cast<int16_t>(std::lround(8000 * std::sin(2 * std::numbers::pi * (200 + 2000 * t) * t) *
                                                      (i % 2 ? 0.7 : 1.0) + noise(rng)));
    }
    WmaEncoder e;
    ASSERT_EQ(e.Init(rate, 2, 20000), kOk);
    auto encode = [&](const std::vector<size_t>& chunks) {
        std::vector<std::vector<uint8_t>> blocks;
        auto sink = [&](const uint8_t* d, size_t n) { blocks.emplace_back(d, d + n); };
        for (size_t at = 0, k = 0, frames = pcm.size() / 2; at < frames;) {
            size_t n = std::min(chunks[k++ % chunks.size()], frames - at);
            EXPECT_EQ(e.Encode(pcm.data() + at * 2, n, sink), kOk);
            at += n;
        }
        EXPECT_EQ(e.Flush(sink), kOk);
        return blocks;
    };
    auto whole = encode({pcm.size()});
    auto pieces = encode({1, 0, 2205, 1, 1, 4410, 0, 999});
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(whole, pieces);
    for (const auto& b : whole) EXPECT_EQ(b.size(), e.Format().blockAlign);
}
