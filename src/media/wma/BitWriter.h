// MSB-first bit writer over a caller-sized buffer; never allocates.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mirvak::media::wma {

class BitWriter {
public:
    BitWriter() = default;
    BitWriter(uint8_t* buf, size_t bytes) { Reset(buf, bytes); }

    void Reset(uint8_t* buf, size_t bytes) {
        buf_ = buf;
        capBits_ = bytes * 8;
        pos_ = 0;
        if (bytes) std::memset(buf, 0, bytes);
    }

    // As Reset, for a buffer the caller knows to be all zero.
    void ResetCleared(uint8_t* buf, size_t bytes) {
        buf_ = buf;
        capBits_ = bytes * 8;
        pos_ = 0;
    }

    // Writes the low `n` bits of `value` (n <= 32). Bits past the end of
    // the buffer are counted but dropped, so callers can test Overflowed().
    void Put(uint32_t value, int n) {
        if (n <= 0) return;
        const size_t byte = pos_ >> 3;
        // Fast path: the n <= 32 bits plus the offset in the first byte lie
        // within one 8-byte word that is entirely inside the buffer.
        if (byte + 8 <= (capBits_ >> 3)) {
            const unsigned off = static_cast<unsigned>(pos_ & 7);
            const uint64_t bits = static_cast<uint64_t>(value) & ((uint64_t{1} << n) - 1u);
            uint64_t word;
            std::memcpy(&word, buf_ + byte, 8);
            word = FromBigEndian(word) | (bits << (64 - off - static_cast<unsigned>(n)));
            word = FromBigEndian(word);
            std::memcpy(buf_ + byte, &word, 8);
            pos_ += static_cast<size_t>(n);
            return;
        }
        while (n > 0) {
            // Fill the rest of the current byte in one step.
            const int free = 8 - static_cast<int>(pos_ & 7);
            const int take = n < free ? n : free;
            const uint32_t bits = (value >> (n - take)) & ((1u << take) - 1u);
            if (pos_ < capBits_)
                buf_[pos_ >> 3] |= static_cast<uint8_t>(bits << (free - take));
            pos_ += static_cast<size_t>(take);
            n -= take;
        }
    }

    void PutBit(uint32_t bit) {
        if (pos_ < capBits_ && bit) buf_[pos_ >> 3] |= static_cast<uint8_t>(0x80u >> (pos_ & 7));
        ++pos_;
    }

    // Appends `n` bits of `src` starting at bit `from`.
    void Append(const uint8_t* src, size_t from, size_t n) {
        // Byte-aligned fast path when both sides are aligned.
        if (((from | pos_) & 7) == 0 && pos_ + n <= capBits_) {
            size_t whole = n >> 3;
            std::memcpy(buf_ + (pos_ >> 3), src + (from >> 3), whole);
            pos_ += whole * 8;
            from += whole * 8;
            n -= whole * 8;
        }
        // 24 source bits at a time (four bytes read hold them at any bit
        // offset), then single bytes and the remainder.
        while (n >= 24) {
            const size_t byte = from >> 3;
            const unsigned shift = static_cast<unsigned>(from & 7);
            uint32_t v = (static_cast<uint32_t>(src[byte]) << 24) | (static_cast<uint32_t>(src[byte + 1]) << 16) |
                         (static_cast<uint32_t>(src[byte + 2]) << 8);
            if (shift) v |= src[byte + 3];
            Put((v >> (8 - shift)) & 0xFFFFFFu, 24);
            from += 24;
            n -= 24;
        }
        while (n >= 8) {
            const size_t byte = from >> 3;
            const unsigned shift = static_cast<unsigned>(from & 7);
            uint32_t v = static_cast<uint32_t>(src[byte]) << 8;
            if (shift) v |= src[byte + 1];
            Put((v >> (8 - shift)) & 0xFFu, 8);
            from += 8;
            n -= 8;
        }
        for (size_t i = 0; i < n; ++i) {
            size_t b = from + i;
            PutBit((src[b >> 3] >> (7 - (b & 7))) & 1u);
        }
    }

    // Overwrites `n` bits at absolute bit position `at` (already written).
    void PutAt(size_t at, uint32_t value, int n) {
        for (int i = 0; i < n; ++i) {
            size_t b = at + static_cast<size_t>(i);
            if (b >= capBits_) return;
            uint8_t mask = static_cast<uint8_t>(0x80u >> (b & 7));
            if ((value >> (n - 1 - i)) & 1u) buf_[b >> 3] |= mask;
            else buf_[b >> 3] &= static_cast<uint8_t>(~mask);
        }
    }

    size_t BitPos() const { return pos_; }
    size_t CapacityBits() const { return capBits_; }
    bool Overflowed() const { return pos_ > capBits_; }
    const uint8_t* Data() const { return buf_; }

private:
    static uint64_t FromBigEndian(uint64_t v) {
        if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
        else return v;
    }

    uint8_t* buf_ = nullptr;
    size_t capBits_ = 0;
    size_t pos_ = 0;
};

} // namespace mirvak::media::wma
