// Fixed tables of the WMA version 2 bitstream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirvak::media::wma {

// One run/level code book. Symbol 0 is the escape, symbol 1 the end of
// block; then, level by level from 1 upwards, runsPerLevel[level-1]
// symbols for the runs 0, 1, 2, ... of zeros before that level.
struct CoefTable {
    size_t count;                 // symbols
    const uint32_t* codes;        // right-aligned code words, sent MSB first
    const uint8_t* lengths;       // code lengths in bits
    size_t levelCount;            // levels that have codes (1..levelCount)
    const uint16_t* runsPerLevel;
};

// Three pairs: [2k] for the first (or mid) channel, [2k+1] for the side
// channel of a mid/side block.
extern const CoefTable kCoefTables[6];

// Exponent deltas: symbol = delta + 60, 121 symbols.
constexpr int kScaleSymbols = 121;
extern const uint32_t* const kScaleCodes;
extern const uint8_t* const kScaleLens;

// Band edges in Hz from which exponent bands of full-length blocks follow.
extern const uint16_t kCriticalFreqs[25];

} // namespace mirvak::media::wma
