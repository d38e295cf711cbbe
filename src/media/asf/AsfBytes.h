// Little-endian serialisation helpers for the ASF writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mirvak::media::asf {

using GuidBytes = std::array<uint8_t, 16>;

// A GUID in its on-disk order from its text form {d1-d2-d3-d4hi-d4lo}:
// the first three groups little-endian, the last two as written.
constexpr GuidBytes MakeGuid(uint32_t d1, uint16_t d2, uint16_t d3, uint16_t d4, uint64_t d5) {
    GuidBytes g{};
    for (int i = 0; i < 4; ++i) g[i] = static_cast<uint8_t>(d1 >> (8 * i));
    g[4] = static_cast<uint8_t>(d2);
    g[5] = static_cast<uint8_t>(d2 >> 8);
    g[6] = static_cast<uint8_t>(d3);
    g[7] = static_cast<uint8_t>(d3 >> 8);
    g[8] = static_cast<uint8_t>(d4 >> 8);
    g[9] = static_cast<uint8_t>(d4);
    for (int i = 0; i < 6; ++i) g[10 + i] = static_cast<uint8_t>(d5 >> (8 * (5 - i)));
    return g;
}

class ByteWriter {
public:
    ByteWriter() = default;
    // Reuses the buffer's capacity.
    explicit ByteWriter(std::vector<uint8_t>&& reuse) : buf_(std::move(reuse)) { buf_.clear(); }

    size_t Size() const { return buf_.size(); }
    std::vector<uint8_t> Take() { return std::move(buf_); }

    void U8(uint8_t v) { buf_.push_back(v); }
    void U16(uint16_t v) { Le(v, 2); }
    void U32(uint32_t v) { Le(v, 4); }
    void U64(uint64_t v) { Le(v, 8); }
    void Guid(const GuidBytes& g) { buf_.insert(buf_.end(), g.begin(), g.end()); }
    void Bytes(const uint8_t* p, size_t n) { if (n) buf_.insert(buf_.end(), p, p + n); }
    void Zeros(size_t n) { buf_.insert(buf_.end(), n, 0); }
    // UTF-16LE with a terminating zero.
    void Utf16z(const std::u16string& s) {
        for (char16_t c : s) U16(static_cast<uint16_t>(c));
        U16(0);
    }

    size_t Reserve32() { size_t at = buf_.size(); U32(0); return at; }
    size_t Reserve64() { size_t at = buf_.size(); U64(0); return at; }
    void Patch32(size_t at, uint32_t v) { Put(at, v, 4); }
    void Patch64(size_t at, uint64_t v) { Put(at, v, 8); }

    // An object is its GUID, its size (including these 24 bytes) and its body.
    size_t BeginObject(const GuidBytes& id) { size_t at = buf_.size(); Guid(id); U64(0); return at; }
    void EndObject(size_t start) { Patch64(start + 16, buf_.size() - start); }

private:
    void Le(uint64_t v, int n) { for (int i = 0; i < n; ++i) buf_.push_back(static_cast<uint8_t>(v >> (8 * i))); }
    void Put(size_t at, uint64_t v, int n) { for (int i = 0; i < n; ++i) buf_[at + i] = static_cast<uint8_t>(v >> (8 * i)); }

    std::vector<uint8_t> buf_;
};

} // namespace mirvak::media::asf
