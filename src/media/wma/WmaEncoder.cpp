// WMA version 2 encoder: fixed full-length blocks (one MDCT block per frame),
// exponents coded with the VLC, bit reservoir across blocks ("superframes" of
// kFramesPerBlock frames), mid/side stereo chosen per frame.
//
// Decoder model it writes for: a frame is
//   [ms bit (stereo)] [coded bit per channel]
//   [total gain in 7-bit pieces] [per coded channel: one "noise band" bit per
//   high band when the rate implies noise coding] [exponent deltas per band]
//   [run/level coded coefficients per channel]
// and a block of blockAlign bytes is
//   [index:4] [frames:4] [bitOffset:byteOffsetBits+3] [rest of the frame begun
//   in the previous block] [whole frames] [start of the next frame].
#include "media/wma/WmaEncoder.h"

#include "media/wma/BitWriter.h"
#include "media/wma/Mdct.h"
#include "media/wma/WmaTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace mirvak::media {

using wma::BitWriter;

namespace {

constexpr int kFramesPerBlock = 8;     // frames completed by every block
constexpr int kMaxGain = 255;          // search range of the total gain
constexpr int kMaxBands = 32;
constexpr float kRoundBias = 0.5f - 0.1f;  // dead-zone rounding: fewer bits, little extra error

// floor(log2(v)) for v > 0, 0 for v == 0, as the reference decoder computes it.
int Log2Floor(unsigned v) {
    int n = 0;
    while (v > 1) { v >>= 1; ++n; }
    return n;
}

int CoefEscapeBits(int totalGain) {
    if (totalGain < 15) return 13;
    if (totalGain < 32) return 12;
    if (totalGain < 40) return 11;
    if (totalGain < 45) return 10;
    return 9;
}

// Code lookup for one run/level table.
struct RunLevelCoder {
    const wma::CoefTable* table = nullptr;
    std::vector<uint16_t> levelStart;  // first symbol of each level

    void Init(const wma::CoefTable* t) {
        table = t;
        levelStart.resize(t->levelCount);
        size_t sym = 2;
        for (size_t l = 0; l < t->levelCount; ++l) {
            levelStart[l] = static_cast<uint16_t>(sym);
            sym += t->runsPerLevel[l];
        }
    }
    // Symbol for (level >= 1, run), or 0 when the pair needs an escape.
    int Symbol(unsigned level, unsigned run) const {
        if (level > table->levelCount) return 0;
        if (run >= table->runsPerLevel[level - 1]) return 0;
        return levelStart[level - 1] + static_cast<int>(run);
    }
};

} // namespace

struct WmaEncoder::Impl {
    // Parameters fixed by Init, mirroring what the decoder derives.
    AudioStreamFormat format;
    bool ready = false;
    uint32_t sampleRate = 0;
    int channels = 0;
    int frameLenBits = 0;
    int frameLen = 0;        // N: samples per frame and coefficients per block
    int coefsEnd = 0;        // coefficients sent per block
    int byteOffsetBits = 0;
    bool noiseCoding = false;
    int highBandCount = 0;   // bands with a noise flag (when noiseCoding)
    int bandCount = 0;
    std::array<int, kMaxBands> bandStart{}, bandEnd{};
    RunLevelCoder coder[2];
    int headerBits = 0;      // block header
    int payloadBits = 0;     // block bits after the header
    int maxBitOffset = 0;

    wma::Mdct mdct;
    std::vector<float> window;             // 2N sine window
    std::vector<float> input[2];           // 2N per channel: previous and current frame
    std::vector<float> windowed;           // 2N scratch
    std::vector<float> coef[2];            // N per channel (after mid/side)
    std::vector<float> scaled[2];          // |coef| divided by the band's relative step
    std::vector<uint8_t> negative[2];
    std::array<float, kMaxGain + 1> gainInv{};  // 10^(-g/20)
    float coefScale = 1.0f;                // MDCT output to decoder coefficient units

    // Per-frame decisions.
    bool ms = false;
    bool coded[2] = {false, false};
    int exps[2][kMaxBands] = {};

    // Stream state.
    size_t filled = 0;               // samples of the current frame in input[ch][N..]
    uint64_t framesIn = 0;           // PCM frames given to Encode
    uint64_t framesCoded = 0;        // codec frames produced
    bool primed = false;             // the leading silent frame is out
    std::vector<uint8_t> frameBuf;   // one coded frame
    BitWriter frameBits;
    std::vector<uint8_t> block;      // block being filled
    BitWriter blockBits;
    std::vector<uint8_t> carry;      // rest of the frame that straddles two blocks
    size_t carryBits = 0;
    uint64_t blockIndex = 0;
    int framesInBlock = 0;           // frames this block completes so far
    size_t bitOffsetField = 0;       // carry written at the start of this block
    double consumedBits = 0;         // payload bits used by the stream so far
    bool blockOpen = false;

    HResult Init(uint32_t rate, uint16_t ch, uint32_t bitRate);
    void OpenBlock();
    void CloseBlock(const BlockSink& sink, bool last);
    void ProcessFrame(const BlockSink& sink);
    void Analyse();
    // Bits of the frame at `gain`; stops early (returning more than `limit`)
    // once the count passes `limit`. SIZE_MAX when a level does not fit.
    size_t CountBits(int gain, size_t limit = SIZE_MAX) const;
    int lastGain = 40;
    // CountBits results of the current frame's gain search.
    std::array<size_t, kMaxGain + 1> countMemo{};
    std::array<uint32_t, kMaxGain + 1> countSeen{};
    uint32_t countStamp = 0;
    size_t frameDirtyBytes = SIZE_MAX;  // frameBuf bytes that may be non-zero
    void WriteFrame(BitWriter& w, int gain) const;
    void WriteSilentFrame(BitWriter& w) const;
    int Quantize(int ch, int i, int gain) const {
        float v = scaled[ch][i] * gainInv[gain] + kRoundBias;
        return v < 1.0f ? 0 : static_cast<int>(v);
    }
    void ResetStream();
    // Decoders drop the first two frames they decode (the transform's
    // start-up): one silent frame ahead of the input, together with the
    // first frame's silent half, makes the decoded output start with the
    // first input sample.
    void Prime(const BlockSink& sink) {
        if (primed) return;
        primed = true;
        ProcessFrame(sink);
    }
};

HResult WmaEncoder::Impl::Init(uint32_t rate, uint16_t ch, uint32_t bitRate) {
    static constexpr uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
    if (std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates)) return kEInvalidArg;
    if (ch < 1 || ch > 2) return kEInvalidArg;
    if (bitRate < 8000 || bitRate > 384000) return kEInvalidArg;

    sampleRate = rate;
    channels = ch;
    frameLenBits = rate <= 16000 ? 9 : rate <= 22050 ? 10 : 11;
    frameLen = 1 << frameLenBits;
    const int n = frameLen;

    // The decoder takes its parameters from avgBytesPerSec * 8.
    const uint32_t avgBytes = (bitRate + 4) / 8;
    const uint32_t streamRate = avgBytes * 8;
    const uint64_t blockAlign =
        (static_cast<uint64_t>(avgBytes) * kFramesPerBlock * n + rate / 2) / rate;
    if (blockAlign < 64 || blockAlign > 32000) return kEInvalidArg;

    // Same single-precision arithmetic as the reference decoder.
    const float bps = static_cast<float>(streamRate) / static_cast<float>(channels * rate);
    if (bps > 4.0f) return kEInvalidArg;
    byteOffsetBits = Log2Floor(static_cast<unsigned>(static_cast<double>(bps) * n / 8.0 + 0.5)) + 2;
    if (byteOffsetBits + 3 > 25) return kEInvalidArg;
    float bps1 = bps;
    if (channels == 2) bps1 = static_cast<float>(bps * 1.6);

    int rate1 = rate >= 44100 ? 44100 : rate >= 22050 ? 22050 : rate >= 16000 ? 16000
              : rate >= 11025 ? 11025 : 8000;
    noiseCoding = true;
    float highFreq = static_cast<float>(rate * 0.5);
    if (rate1 == 44100) {
        if (bps1 >= 0.61) noiseCoding = false; else highFreq = static_cast<float>(highFreq * 0.4);
    } else if (rate1 == 22050) {
        if (bps1 >= 1.16) noiseCoding = false;
        else if (bps1 >= 0.72) highFreq = static_cast<float>(highFreq * 0.7);
        else highFreq = static_cast<float>(highFreq * 0.6);
    } else if (rate1 == 16000) {
        highFreq = static_cast<float>(highFreq * (bps > 0.5 ? 0.5 : 0.3));
    } else if (rate1 == 11025) {
        highFreq = static_cast<float>(highFreq * 0.7);
    } else {
        if (bps <= 0.625) highFreq = static_cast<float>(highFreq * 0.5);
        else if (bps > 0.75) noiseCoding = false;
        else highFreq = static_cast<float>(highFreq * 0.65);
    }

    // Exponent bands of a full-length block, from the critical frequencies.
    bandCount = 0;
    int lpos = 0;
    for (int i = 0; i < 25; ++i) {
        const int a = wma::kCriticalFreqs[i];
        const int b = static_cast<int>(rate);
        int pos = ((n * 2 * a) + (b << 1)) / (4 * b);
        pos <<= 2;
        if (pos > n) pos = n;
        if (pos > lpos) {
            bandStart[bandCount] = lpos;
            bandEnd[bandCount] = pos;
            ++bandCount;
        }
        if (pos >= n) break;
        lpos = pos;
    }
    coefsEnd = n - (n * 9) / 100;
    const int highBandStart = static_cast<int>(
        static_cast<float>(static_cast<float>(n * 2) * highFreq) / static_cast<float>(rate) + 0.5);
    highBandCount = 0;
    for (int b = 0; b < bandCount; ++b) {
        int s = std::max(bandStart[b], highBandStart), e = std::min(bandEnd[b], coefsEnd);
        if (e > s) ++highBandCount;
    }

    int table = 2;
    if (rate >= 32000) {
        if (bps1 < 0.72) table = 0;
        else if (bps1 < 1.16) table = 1;
    }
    coder[0].Init(&wma::kCoefTables[table * 2]);
    coder[1].Init(&wma::kCoefTables[table * 2 + 1]);

    headerBits = 8 + byteOffsetBits + 3;
    payloadBits = static_cast<int>(blockAlign * 8) - headerBits;
    maxBitOffset = (1 << (byteOffsetBits + 3)) - 1;

    if (!mdct.Init(static_cast<size_t>(n))) return kEInvalidArg;
    window.resize(2 * n);
    for (int i = 0; i < 2 * n; ++i)
        window[i] = static_cast<float>(std::sin((i + 0.5) * std::numbers::pi / (2.0 * n)));
    windowed.assign(2 * n, 0.0f);
    for (int c = 0; c < 2; ++c) {
        input[c].assign(2 * n, 0.0f);
        coef[c].assign(n, 0.0f);
        scaled[c].assign(n, 0.0f);
        negative[c].assign(n, 0);
    }
    for (int g = 0; g <= kMaxGain; ++g) gainInv[g] = static_cast<float>(std::pow(10.0, -g / 20.0));
    // The decoder scales by 2/N before an inverse transform of the opposite
    // sign convention: this maps our MDCT output to its coefficients.
    coefScale = -2.0f / static_cast<float>(n);

    frameBuf.assign(static_cast<size_t>(blockAlign) * 3 + 64, 0);
    block.assign(static_cast<size_t>(blockAlign), 0);
    carry.assign(static_cast<size_t>(blockAlign) * 2 + 64, 0);

    format = {};
    format.formatTag = 0x0161;
    format.channels = ch;
    format.sampleRate = rate;
    format.avgBytesPerSec = avgBytes;
    format.blockAlign = static_cast<uint16_t>(blockAlign);
    format.bitsPerSample = 16;
    // flags1 (4 bytes), flags2 (2 bytes: exponent VLC | bit reservoir), 4 reserved.
    format.extra = {0, 0, 0, 0, 0x03, 0x00, 0, 0, 0, 0};
    ResetStream();
    ready = true;
    return kOk;
}

void WmaEncoder::Impl::ResetStream() {
    for (int c = 0; c < 2; ++c) std::fill(input[c].begin(), input[c].end(), 0.0f);
    filled = 0;
    framesIn = 0;
    framesCoded = 0;
    primed = false;
    carryBits = 0;
    blockIndex = 0;
    framesInBlock = 0;
    bitOffsetField = 0;
    consumedBits = 0;
    blockOpen = false;
}

void WmaEncoder::Impl::OpenBlock() {
    blockBits.Reset(block.data(), block.size());
    blockBits.Put(static_cast<uint32_t>(blockIndex & 15), 4);
    blockBits.Put(0, 4);                       // frame count, patched on close
    blockBits.Put(0, byteOffsetBits + 3);      // bit offset, patched on close
    bitOffsetField = carryBits;
    blockBits.Append(carry.data(), 0, carryBits);
    // A block after the first completes the frame its predecessor began.
    framesInBlock = blockIndex > 0 ? 1 : 0;
    carryBits = 0;
    blockOpen = true;
}

void WmaEncoder::Impl::CloseBlock(const BlockSink& sink, bool last) {
    (void)last;
    // Without a pending tail from the previous block the decoder counts one less.
    const int field = framesInBlock + (blockIndex == 0 ? 1 : 0);
    blockBits.PutAt(4, static_cast<uint32_t>(field), 4);
    blockBits.PutAt(8, static_cast<uint32_t>(bitOffsetField), byteOffsetBits + 3);
    sink(block.data(), block.size());
    ++blockIndex;
    blockOpen = false;
}

void WmaEncoder::Impl::Analyse() {
    const int n = frameLen;
    // Transform each channel.
    for (int c = 0; c < channels; ++c) {
        const float* x = input[c].data();
        for (int i = 0; i < 2 * n; ++i) windowed[i] = x[i] * window[i];
        mdct.Forward(windowed.data(), coef[c].data());
        for (int i = 0; i < n; ++i) coef[c][i] *= coefScale;
    }

    // Band energies (per coefficient) of the coded range.
    double energy[2][kMaxBands] = {};
    auto bandEnergies = [&](const float* a, double* out) {
        for (int b = 0; b < bandCount; ++b) {
            int s = bandStart[b], e = std::min(bandEnd[b], coefsEnd);
            double sum = 0;
            for (int i = s; i < e; ++i) sum += static_cast<double>(a[i]) * a[i];
            out[b] = e > s ? sum / (e - s) : 0.0;
        }
    };

    ms = false;
    double el[kMaxBands], er[kMaxBands];
    if (channels == 2) {
        double em[kMaxBands], es[kMaxBands];
        bandEnergies(coef[0].data(), el);
        bandEnergies(coef[1].data(), er);
        // Mid/side energies follow from the left/right ones and the cross term.
        double peak = 0;
        for (int b = 0; b < bandCount; ++b) {
            int s = bandStart[b], e = std::min(bandEnd[b], coefsEnd);
            double cross = 0;
            for (int i = s; i < e; ++i) cross += static_cast<double>(coef[0][i]) * coef[1][i];
            cross = e > s ? cross / (e - s) : 0.0;
            em[b] = 0.25 * (el[b] + er[b] + 2 * cross);
            es[b] = 0.25 * (el[b] + er[b] - 2 * cross);
            peak = std::max({peak, el[b], er[b]});
        }
        // Rough rate estimate: log of the band energies above a floor.
        const double floorE = peak * 1e-7 + 1e-3;
        double costLr = 0, costMs = 0;
        for (int b = 0; b < bandCount; ++b) {
            int w = std::min(bandEnd[b], coefsEnd) - bandStart[b];
            if (w <= 0) continue;
            costLr += w * (std::log(el[b] + floorE) + std::log(er[b] + floorE));
            costMs += w * (std::log(em[b] * 4 + floorE) + std::log(es[b] * 4 + floorE));
        }
        ms = costMs < costLr;
        if (ms) {
            float* l = coef[0].data();
            float* r = coef[1].data();
            for (int i = 0; i < n; ++i) {
                float m = 0.5f * (l[i] + r[i]), s = 0.5f * (l[i] - r[i]);
                l[i] = m;
                r[i] = s;
            }
        }
    }

    // Steps follow each band's level raised to a small power: close to equal
    // error everywhere (best SNR), bent just enough that loud bands stay
    // within the levels the code tables hold cheaply. Tuned on SNR.
    constexpr float kShape = 0.15f;
    int target[2][kMaxBands];
    int top = -100000;
    for (int c = 0; c < channels; ++c) {
        if (channels == 2 && !ms) std::copy(c == 0 ? el : er, (c == 0 ? el : er) + bandCount, energy[c]);
        else bandEnergies(coef[c].data(), energy[c]);
        // Coded when any coefficient exceeds the threshold (a count vectorises,
        // a maximum does not).
        const float* a = coef[c].data();
        int loud = 0;
        for (int i = 0; i < coefsEnd; ++i) loud += static_cast<double>(std::fabs(a[i])) > 1e-3 ? 1 : 0;
        coded[c] = loud > 0;
        for (int b = 0; b < bandCount; ++b) {
            double e = std::max(energy[c][b], 1e-6);
            // 16 units per decade of amplitude, as the exponents count.
            target[c][b] = static_cast<int>(std::lround(kShape * 8.0 * std::log10(e)));
        }
        if (coded[c])
            for (int b = 0; b < bandCount; ++b) top = std::max(top, target[c][b]);
    }
    for (int c = 0; c < channels; ++c) {
        if (!coded[c]) continue;
        int chTop = -100000;
        for (int b = 0; b < bandCount; ++b) {
            target[c][b] = std::max(target[c][b], top - 90);
            chTop = std::max(chTop, target[c][b]);
        }
        // The decoder normalises by the channel's largest exponent: give a
        // quieter channel that reference in its last band so that steps stay
        // comparable across channels.
        if (chTop < top) target[c][bandCount - 1] = top;
        // Place the first exponent at the decoder's start value when possible.
        int offset = 36 - target[c][0];
        int hi = top + offset, lo = top - 90 + offset;
        if (hi > 95) offset -= hi - 95;
        else if (lo < -60) offset += -60 - lo;
        int prev = 36;
        for (int b = 0; b < bandCount; ++b) {
            int e = std::clamp(target[c][b] + offset, -60, 95);
            e = std::clamp(e, prev - 60, prev + 60);
            exps[c][b] = e;
            prev = e;
        }
    }

    // Scaled magnitudes: coefficient over the band's step at gain 0.
    const float norm = static_cast<float>(n / 2);
    for (int c = 0; c < channels; ++c) {
        if (!coded[c]) continue;
        int emax = -1000;
        for (int b = 0; b < bandCount; ++b) emax = std::max(emax, exps[c][b]);
        float bandMul[kMaxBands];
        for (int b = 0; b < bandCount; ++b)
            bandMul[b] = norm * static_cast<float>(std::pow(10.0, (emax - exps[c][b]) / 16.0));
        const float* a = coef[c].data();
        float* y = scaled[c].data();
        uint8_t* neg = negative[c].data();
        for (int b = 0; b < bandCount; ++b) {
            const float mul = bandMul[b];
            const int e = std::min(bandEnd[b], coefsEnd);
            for (int i = bandStart[b]; i < e; ++i) {
                y[i] = std::fabs(a[i]) * mul;
                neg[i] = a[i] < 0;
            }
        }
    }
}

size_t WmaEncoder::Impl::CountBits(int gain, size_t limit) const {
    const int escBits = CoefEscapeBits(gain);
    const unsigned maxLevel = (1u << escBits) - 1;
    size_t bits = (channels == 2 ? 1 : 0) + channels;
    bits += 7 * (1 + (gain - 1) / 127);
    for (int c = 0; c < channels; ++c) {
        if (!coded[c]) continue;
        if (noiseCoding) bits += highBandCount;
        int prev = 36;
        for (int b = 0; b < bandCount; ++b) {
            bits += wma::kScaleLens[exps[c][b] - prev + 60];
            prev = exps[c][b];
        }
        const RunLevelCoder& rc = coder[(c == 1 && ms) ? 1 : 0];
        const uint8_t* lens = rc.table->lengths;
        const size_t escapeCost = lens[0] + escBits + frameLenBits + 1;
        unsigned run = 0;
        int last = -1;
        const float* y = scaled[c].data();
        const float inv = gainInv[gain];
        // Below this magnitude a coefficient quantizes to zero.
        const float zeroBelow = (1.0f - kRoundBias) / inv;
        for (int i = 0; i < coefsEnd; ++i) {
            if (y[i] < zeroBelow) { ++run; continue; }
            int q = static_cast<int>(y[i] * inv + kRoundBias);
            if (static_cast<unsigned>(q) > maxLevel) return SIZE_MAX;
            int sym = rc.Symbol(static_cast<unsigned>(q), run);
            bits += sym ? lens[sym] + 1u : escapeCost;
            run = 0;
            last = i;
            if (bits > limit) return bits;
        }
        if (last != coefsEnd - 1) bits += lens[1];
    }
    return bits;
}

void WmaEncoder::Impl::WriteFrame(BitWriter& w, int gain) const {
    const int escBits = CoefEscapeBits(gain);
    if (channels == 2) w.PutBit(ms ? 1 : 0);
    for (int c = 0; c < channels; ++c) w.PutBit(coded[c] ? 1 : 0);
    if (!coded[0] && (channels < 2 || !coded[1])) return;
    int v = gain - 1;
    while (v >= 127) { w.Put(127, 7); v -= 127; }
    w.Put(static_cast<uint32_t>(v), 7);
    if (noiseCoding)
        for (int c = 0; c < channels; ++c)
            if (coded[c]) w.Put(0, highBandCount);   // every band carries coefficients
    for (int c = 0; c < channels; ++c) {
        if (!coded[c]) continue;
        int prev = 36;
        for (int b = 0; b < bandCount; ++b) {
            int sym = exps[c][b] - prev + 60;
            w.Put(wma::kScaleCodes[sym], wma::kScaleLens[sym]);
            prev = exps[c][b];
        }
    }
    for (int c = 0; c < channels; ++c) {
        if (!coded[c]) continue;
        const RunLevelCoder& rc = coder[(c == 1 && ms) ? 1 : 0];
        const wma::CoefTable& t = *rc.table;
        unsigned run = 0;
        int last = -1;
        for (int i = 0; i < coefsEnd; ++i) {
            int q = Quantize(c, i, gain);
            if (!q) { ++run; continue; }
            int sym = rc.Symbol(static_cast<unsigned>(q), run);
            if (sym) {
                w.Put(t.codes[sym], t.lengths[sym]);
            } else {
                w.Put(t.codes[0], t.lengths[0]);
                w.Put(static_cast<uint32_t>(q), escBits);
                w.Put(run, frameLenBits);
            }
            w.PutBit(negative[c][i] ? 0 : 1);
            run = 0;
            last = i;
        }
        if (last != coefsEnd - 1) w.Put(t.codes[1], t.lengths[1]);
    }
}

void WmaEncoder::Impl::WriteSilentFrame(BitWriter& w) const {
    if (channels == 2) w.PutBit(0);
    for (int c = 0; c < channels; ++c) w.PutBit(0);
}

void WmaEncoder::Impl::ProcessFrame(const BlockSink& sink) {
    const int n = frameLen;
    Analyse();
    for (int c = 0; c < channels; ++c)
        std::memcpy(input[c].data(), input[c].data() + n, sizeof(float) * n);

    if (!blockOpen) OpenBlock();

    // Budget: the average share of a block, plus half of what earlier frames
    // saved, within what the block layout can hold.
    const double avg = static_cast<double>(payloadBits) / kFramesPerBlock;
    const double bank = avg * static_cast<double>(framesCoded) - consumedBits;
    const size_t pos = blockBits.BitPos();
    const size_t blockEnd = block.size() * 8;
    const bool straddle = framesInBlock == kFramesPerBlock;
    const double reserve = avg / 4;
    double hardMax;
    if (!straddle) {
        int innerLeft = kFramesPerBlock - framesInBlock - 1;   // after this one
        hardMax = static_cast<double>(blockEnd - pos) - 1 - innerLeft * reserve;
    } else {
        double nextRoom = std::min<double>(maxBitOffset, payloadBits - 1 - (kFramesPerBlock - 1) * reserve);
        hardMax = static_cast<double>(blockEnd - pos) + nextRoom;
    }
    double target = std::min(avg + 0.5 * bank, hardMax);
    target = std::max(target, std::min(avg / 4, hardMax));

    // Only the bytes the previous frame wrote need clearing.
    std::memset(frameBuf.data(), 0, std::min(frameDirtyBytes, frameBuf.size()));
    frameBits.ResetCleared(frameBuf.data(), frameBuf.size());
    const bool anyCoded = coded[0] || (channels == 2 && coded[1]);
    if (!anyCoded) {
        WriteSilentFrame(frameBits);
    } else {
        // Smallest gain (finest steps) whose frame fits the target, searched
        // outwards from the previous frame's gain.
        const size_t limit = static_cast<size_t>(std::max(0.0, target));
        // The search revisits gains (its ends, the final check): count each once.
        ++countStamp;
        auto bitsAt = [&](int g) {
            if (countSeen[g] != countStamp) {
                countSeen[g] = countStamp;
                countMemo[g] = CountBits(g, limit);
            }
            return countMemo[g];
        };
        auto fits = [&](int g) { return bitsAt(g) <= limit; };
        int lo, hi;
        if (fits(lastGain)) {
            hi = lastGain;
            int step = 4;
            lo = std::max(1, hi - step);
            while (lo > 1 && fits(lo)) { hi = lo; step *= 2; lo = std::max(1, hi - step); }
            if (lo == 1 && fits(1)) hi = 1;
        } else {
            lo = lastGain + 1;
            int step = 4;
            hi = std::min(kMaxGain, lo + step);
            while (hi < kMaxGain && !fits(hi)) { lo = hi + 1; step *= 2; hi = std::min(kMaxGain, lo + step); }
        }
        // Invariant: fits(hi) (or hi == kMaxGain); the answer lies in [lo, hi].
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (fits(mid)) hi = mid; else lo = mid + 1;
        }
        int gain = hi;
        while (gain < kMaxGain && !fits(gain)) ++gain;
        lastGain = gain;
        // A count within the limit is exact; only one past it needs a full count.
        const size_t gainBits = fits(gain) ? bitsAt(gain) : CountBits(gain);
        if (static_cast<double>(gainBits) > hardMax) {
            WriteSilentFrame(frameBits);
        } else {
            // A channel left without a single level costs nothing when not coded.
            for (int c = 0; c < channels; ++c) {
                if (!coded[c]) continue;
                bool any = false;
                for (int i = 0; i < coefsEnd && !any; ++i) any = Quantize(c, i, gain) != 0;
                coded[c] = any;
            }
            if (coded[0] || (channels == 2 && coded[1])) WriteFrame(frameBits, gain);
            else WriteSilentFrame(frameBits);
        }
    }
    const size_t frameSize = frameBits.BitPos();
    frameDirtyBytes = frameSize / 8 + 8;
    ++framesCoded;

    if (!straddle) {
        blockBits.Append(frameBuf.data(), 0, frameSize);
        ++framesInBlock;
        consumedBits += static_cast<double>(frameSize);
    } else {
        // Start of this frame fills the block; the rest opens the next one.
        size_t room = blockEnd - pos;
        size_t head = std::min(room, frameSize);
        blockBits.Append(frameBuf.data(), 0, head);
        carryBits = frameSize - head;
        BitWriter cw(carry.data(), carry.size());
        cw.Append(frameBuf.data(), head, carryBits);
        consumedBits += static_cast<double>(room + carryBits);
        CloseBlock(sink, false);
        OpenBlock();
    }
}

WmaEncoder::WmaEncoder() : impl_(std::make_unique<Impl>()) {}
WmaEncoder::~WmaEncoder() = default;

HResult WmaEncoder::Init(uint32_t sampleRate, uint16_t channels, uint32_t bitRate) {
    impl_->ready = false;
    return impl_->Init(sampleRate, channels, bitRate);
}

const AudioStreamFormat& WmaEncoder::Format() const { return impl_->format; }

uint32_t WmaEncoder::FramesPerBlock() const {
    return impl_->ready ? static_cast<uint32_t>(impl_->frameLen * kFramesPerBlock) : 0;
}

uint32_t WmaEncoder::DelayFrames() const {
    // The leading silent frame cancels the decoders' start-up skip.
    return 0;
}

HResult WmaEncoder::Encode(const int16_t* pcm, size_t frames, const BlockSink& sink) {
    Impl& s = *impl_;
    if (!s.ready) return kEUnexpected;
    if (frames == 0) return kOk;
    if (!pcm || !sink) return kEInvalidArg;
    const size_t n = static_cast<size_t>(s.frameLen);
    const int ch = s.channels;
    s.Prime(sink);
    while (frames > 0) {
        size_t take = std::min(frames, n - s.filled);
        float* dst0 = s.input[0].data() + n + s.filled;
        if (ch == 1) {
            for (size_t i = 0; i < take; ++i) dst0[i] = pcm[i];
        } else {
            float* dst1 = s.input[1].data() + n + s.filled;
            for (size_t i = 0; i < take; ++i) {
                dst0[i] = pcm[2 * i];
                dst1[i] = pcm[2 * i + 1];
            }
        }
        pcm += take * static_cast<size_t>(ch);
        frames -= take;
        s.filled += take;
        s.framesIn += take;
        if (s.filled == n) {
            s.ProcessFrame(sink);
            s.filled = 0;
        }
    }
    return kOk;
}

HResult WmaEncoder::Flush(const BlockSink& sink) {
    Impl& s = *impl_;
    if (!s.ready) return kEUnexpected;
    const uint64_t n = static_cast<uint64_t>(s.frameLen);
    if (s.framesIn > 0) {
        if (!sink) return kEInvalidArg;
        // Frame j carries input [(j-2)N, jN). Decoders skip 2N samples at
        // the start and emit the unpaired half of the last frame at the end,
        // so a complete tail needs ceil(S/N) + 2 frames and decodes to
        // (ceil(S/N) + 1) N samples. When that overshoots the input by more
        // than 50 ms, one frame less keeps the duration right at the price
        // of a coarser reproduction of the final partial frame.
        const uint64_t whole = (s.framesIn + n - 1) / n;
        const uint64_t overshoot = (whole + 1) * n - s.framesIn;
        const bool tight = overshoot * 20 > s.sampleRate;
        const uint64_t needed = whole + (tight ? 1 : 2);
        while (s.framesCoded < needed) {
            for (int c = 0; c < s.channels; ++c)
                std::fill(s.input[c].begin() + static_cast<std::ptrdiff_t>(n + s.filled), s.input[c].end(), 0.0f);
            s.filled = 0;
            s.ProcessFrame(sink);
        }
        if (s.blockOpen && (s.framesInBlock > 0 || s.blockIndex == 0)) s.CloseBlock(sink, true);
    }
    s.ResetStream();
    return kOk;
}

} // namespace mirvak::media
