// Reads only what it must: the header, then each packet's framing and
// payload headers in turn. Every length comes from the file, so each is
// checked against what the buffer holds before it is used.
#include "media/asf/AsfRepair.h"

#include "media/asf/AsfLayout.h"

#include <algorithm>
#include <cstring>

namespace mirvak::media {

namespace {

using asf::GuidBytes;

constexpr uint64_t kHeaderMinSize = 30;
constexpr uint64_t kHeaderMaxSize = 1u << 20;
constexpr uint64_t kDataHeadSize = 50;        // GUID, size, file id, packet count, reserved
constexpr uint32_t kMaxPacketSize = 1u << 20;
constexpr uint32_t kMinPacketSize = 16;

// Bounds-checked little-endian reads from a byte range.
class Cursor {
public:
    Cursor(const uint8_t* p, size_t size) : p_(p), size_(size) {}
    bool Has(size_t n) const { return pos_ <= size_ && size_ - pos_ >= n; }
    bool Skip(size_t n) {
        if (!Has(n)) return false;
        pos_ += n;
        return true;
    }
    bool Le(size_t n, uint64_t* v) {
        if (!Has(n)) return false;
        *v = 0;
        for (size_t i = 0; i < n; ++i) *v |= uint64_t(p_[pos_ + i]) << (8 * i);
        pos_ += n;
        return true;
    }
    // A field whose width is given by a 2-bit length type: none, BYTE, WORD, DWORD.
    bool Sized(unsigned type, uint64_t* v) {
        static const size_t widths[] = {0, 1, 2, 4};
        *v = 0;
        return Le(widths[type & 3], v);
    }
    size_t Pos() const { return pos_; }

private:
    const uint8_t* p_;
    size_t size_;
    size_t pos_ = 0;
};

uint64_t Get64(const std::vector<uint8_t>& b, size_t at) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(b[at + i]) << (8 * i);
    return v;
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint32_t>(Get64(b, at) & 0xFFFFFFFFu); }

bool GuidAt(const std::vector<uint8_t>& b, size_t at, const GuidBytes& g) {
    return b.size() >= at + 16 && std::memcmp(b.data() + at, g.data(), 16) == 0;
}

HResult ReadExactly(IRandomAccessFile& f, uint64_t at, void* data, size_t size) {
    size_t read = 0;
    HResult hr = f.ReadAt(at, data, size, &read);
    if (Failed(hr)) return hr;
    return read == size ? kOk : kFalse;
}

// What the header says about the file, for an unfinished file of our form.
struct Layout {
    uint64_t headerSize = 0;
    uint64_t dataStart = 0;
    uint32_t packetSize = 0;
    uint64_t prerollMs = 0;
    unsigned stream = 0;
    GuidBytes fileId{};
    asf::PatchPoints patch;
};

// kOk with the layout, or kFalse when the file is not an unfinished file
// of one audio stream with fixed-size packets.
HResult ReadLayout(IRandomAccessFile& f, uint64_t fileSize, Layout* out) {
    std::vector<uint8_t> head(kHeaderMinSize);
    if (fileSize < kHeaderMinSize + kDataHeadSize) return kFalse;
    HResult hr = ReadExactly(f, 0, head.data(), head.size());
    if (hr != kOk) return hr;
    if (!GuidAt(head, 0, asf::kHeaderObject)) return kFalse;
    const uint64_t headerSize = Get64(head, 16);
    if (headerSize < kHeaderMinSize || headerSize > kHeaderMaxSize || headerSize > fileSize - kDataHeadSize)
        return kFalse;

    std::vector<uint8_t> h(static_cast<size_t>(headerSize + kDataHeadSize));
    hr = ReadExactly(f, 0, h.data(), h.size());
    if (hr != kOk) return hr;

    bool haveFileProperties = false;
    int streams = 0;
    uint32_t flags = 0, minPacket = 0, maxPacket = 0;
    for (uint64_t at = kHeaderMinSize; at < headerSize;) {
        if (headerSize - at < 24) return kFalse;
        const uint64_t size = Get64(h, static_cast<size_t>(at + 16));
        if (size < 24 || size > headerSize - at) return kFalse;
        const size_t o = static_cast<size_t>(at);
        if (GuidAt(h, o, asf::kFilePropertiesObject)) {
            if (size < 104 || haveFileProperties) return kFalse;
            haveFileProperties = true;
            std::memcpy(out->fileId.data(), h.data() + o + 24, 16);
            out->patch.fileSize = at + 40;
            out->patch.packetCount = at + 56;
            out->patch.playDuration = at + 64;
            out->patch.sendDuration = at + 72;
            out->prerollMs = Get64(h, o + 80);
            out->patch.flags = at + 88;
            flags = Get32(h, o + 88);
            minPacket = Get32(h, o + 92);
            maxPacket = Get32(h, o + 96);
        } else if (GuidAt(h, o, asf::kStreamPropertiesObject)) {
            if (size < 78 || !GuidAt(h, o + 24, asf::kAudioMedia)) return kFalse;
            out->stream = (h[o + 72] | (h[o + 73] << 8)) & 0x7F;
            ++streams;
        }
        at += size;
    }
    if (!haveFileProperties || streams != 1 || out->stream == 0) return kFalse;
    if (!(flags & asf::kFlagBroadcast) || (flags & asf::kFlagSeekable)) return kFalse;
    if (minPacket != maxPacket || minPacket < kMinPacketSize || minPacket > kMaxPacketSize) return kFalse;
    // Players buffer a few seconds; a minute is no preroll of a recording.
    if (out->prerollMs > 60000) return kFalse;

    const size_t d = static_cast<size_t>(headerSize);
    if (!GuidAt(h, d, asf::kDataObject) || std::memcmp(h.data() + d + 24, out->fileId.data(), 16) != 0)
        return kFalse;
    out->headerSize = headerSize;
    out->dataStart = headerSize + kDataHeadSize;
    out->packetSize = minPacket;
    out->patch.dataObjectSize = headerSize + 16;
    out->patch.dataPacketCount = headerSize + 40;
    return kOk;
}

// One packet's first and last presentation times (milliseconds, preroll
// included) and the end of its sound by its send time and duration. False
// when the bytes are not a packet of the file's stream (torn, zeros, other).
struct PacketTimes {
    uint64_t firstMs = 0, lastMs = 0, sendMs = 0, durationMs = 0;
};

bool ParsePacket(const uint8_t* p, size_t size, unsigned stream, PacketTimes* t) {
    Cursor c(p, size);
    uint64_t v = 0;
    if (!c.Le(1, &v)) return false;
    unsigned lengthFlags = static_cast<unsigned>(v);
    if (v & 0x80) {
        // Error correction data, then the real length type flags.
        if (v & 0x60) return false;
        if (!c.Skip(v & 0x0F) || !c.Le(1, &v)) return false;
        lengthFlags = static_cast<unsigned>(v);
    }
    if (lengthFlags & 0x80) return false;
    uint64_t props = 0, packetLength = 0, sequence = 0, padding = 0, sendTime = 0, duration = 0;
    if (!c.Le(1, &props) || !c.Sized(lengthFlags >> 5, &packetLength) || !c.Sized(lengthFlags >> 1, &sequence) ||
        !c.Sized(lengthFlags >> 3, &padding) || !c.Le(4, &sendTime) || !c.Le(2, &duration))
        return false;
    if ((lengthFlags >> 5) & 3) {
        if (packetLength > size || packetLength < c.Pos()) return false;
    } else {
        packetLength = size;
    }
    if (padding > packetLength - c.Pos()) return false;
    const size_t end = static_cast<size_t>(packetLength - padding);

    const bool multiple = lengthFlags & 1;
    uint64_t count = 1;
    unsigned payloadLengthType = 0;
    if (multiple) {
        if (!c.Le(1, &v)) return false;
        count = v & 0x3F;
        payloadLengthType = static_cast<unsigned>(v >> 6);
        if (count == 0 || payloadLengthType == 0) return false;
    }
    bool first = true;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t number = 0, object = 0, offset = 0, replicated = 0, objectSize = 0, presentation = 0, length = 0;
        if (((props >> 6) & 3) != 1 || !c.Le(1, &number) || (number & 0x7F) != stream) return false;
        if (!c.Sized(static_cast<unsigned>(props >> 4), &object) || !c.Sized(static_cast<unsigned>(props >> 2), &offset) ||
            !c.Sized(static_cast<unsigned>(props), &replicated))
            return false;
        // Every payload of ours carries its object size and presentation time.
        if (replicated < 8 || !c.Le(4, &objectSize) || !c.Le(4, &presentation) || !c.Skip(replicated - 8))
            return false;
        if (multiple) {
            if (!c.Sized(payloadLengthType, &length)) return false;
        } else {
            if (c.Pos() > end) return false;
            length = end - c.Pos();
        }
        if (length == 0 || c.Pos() > end || length > end - c.Pos() || !c.Skip(static_cast<size_t>(length)))
            return false;
        if (first) t->firstMs = presentation;
        else if (presentation < t->lastMs) return false;
        t->lastMs = presentation;
        first = false;
    }
    t->sendMs = sendTime;
    t->durationMs = duration;
    return true;
}

} // namespace

HResult CompleteUnfinishedAsf(IRandomAccessFile& f, AsfRepairResult* result) {
    AsfRepairResult r;
    uint64_t fileSize = 0;
    HResult hr = f.Size(&fileSize);
    if (Failed(hr)) return hr;
    Layout layout;
    hr = ReadLayout(f, fileSize, &layout);
    if (hr != kOk) return hr;

    // Whole packets from the start of the data; the first that does not
    // parse (torn by the crash, never written, or something else) ends it.
    std::vector<uint8_t> packet(layout.packetSize);
    std::vector<uint64_t> starts100ns;
    uint64_t at = layout.dataStart, lastStartMs = 0, endMs = 0;
    while (fileSize - at >= layout.packetSize) {
        hr = ReadExactly(f, at, packet.data(), packet.size());
        if (Failed(hr)) return hr;
        PacketTimes t;
        if (hr != kOk || !ParsePacket(packet.data(), packet.size(), layout.stream, &t)) break;
        if (t.firstMs < lastStartMs) break;
        lastStartMs = t.firstMs;
        starts100ns.push_back(t.firstMs * 10000);
        // The end of the sound without preroll: where the packet's duration
        // ends when its send time agrees with its first block (as the
        // writer makes them), and never before its last block starts.
        const uint64_t first = t.firstMs >= layout.prerollMs ? t.firstMs - layout.prerollMs : 0;
        const uint64_t last = t.lastMs >= layout.prerollMs ? t.lastMs - layout.prerollMs : 0;
        const bool agrees = t.sendMs + 1000 >= first && t.sendMs <= first + 1000;
        endMs = std::max({endMs, last, agrees ? t.sendMs + t.durationMs : last});
        at += layout.packetSize;
    }
    if (starts100ns.empty()) return kEInvalidData;
    const uint64_t dataEnd = at;
    r.packets = starts100ns.size();
    r.durationMs = endMs;
    r.bytesDropped = fileSize - dataEnd;

    if (fileSize > dataEnd) {
        hr = f.Truncate(dataEnd);
        if (Failed(hr)) return hr;
    }
    const uint64_t play100ns = (layout.prerollMs + endMs) * 10000;
    std::vector<uint8_t> index = asf::BuildSimpleIndex(layout.fileId, starts100ns, play100ns);
    uint64_t newSize = dataEnd;
    if (!Failed(f.WriteAt(dataEnd, index.data(), index.size())) && !Failed(f.Flush())) {
        newSize += index.size();
        r.indexWritten = true;
    } else {
        // No room for the index (a full disk): a file of one stream with
        // fixed-size packets seeks without one.
        hr = f.Truncate(dataEnd);
        if (Failed(hr)) return hr;
    }
    hr = asf::WriteFinishedFields(
        [&f](uint64_t offset, const void* data, size_t size) { return f.WriteAt(offset, data, size); }, layout.patch,
        asf::FinishedValues{newSize, r.packets, play100ns, dataEnd - layout.headerSize});
    if (!Failed(hr)) hr = f.Flush();
    if (Failed(hr)) return hr;
    if (result) *result = r;
    return kOk;
}

} // namespace mirvak::media
