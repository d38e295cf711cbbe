// ASF writer for one audio stream. Layout choices:
// - every data packet has the same size and carries whole blocks, one block
//   per payload (a media object of its own, never fragmented), so a reader
//   can start at any packet;
// - a packet covers at most about half a second, so a killed writer loses
//   little: each packet goes to the sink and is flushed as soon as it is full;
// - until Close the header says "broadcast" with sizes, counts and durations
//   zero, which readers treat as a live file of unknown length.
#include "media/asf/AsfWriter.h"

#include "media/asf/AsfLayout.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <random>

namespace mirvak::media {

namespace {

using asf::ByteWriter;
using asf::GuidBytes;
using namespace asf;

constexpr GuidBytes kHeaderExtensionObject = asf::MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE3, 0x00C00C205365ull);
constexpr GuidBytes kReserved1 = asf::MakeGuid(0xABD3D211, 0xA9BA, 0x11CF, 0x8EE6, 0x00C00C205365ull);
constexpr GuidBytes kCodecListObject = asf::MakeGuid(0x86D15240, 0x311D, 0x11D0, 0xA3A4, 0x00A0C90348F6ull);
constexpr GuidBytes kReserved2 = asf::MakeGuid(0x86D15241, 0x311D, 0x11D0, 0xA3A4, 0x00A0C90348F6ull);
constexpr GuidBytes kStreamBitrateObject = asf::MakeGuid(0x7BF875CE, 0x468D, 0x11D1, 0x8D82, 0x006097C9A2B2ull);
constexpr GuidBytes kContentDescriptionObject = asf::MakeGuid(0x75B22633, 0x668E, 0x11CF, 0xA6D9, 0x00AA0062CE6Cull);
constexpr GuidBytes kAudioSpread = asf::MakeGuid(0xBFC3CD50, 0x618F, 0x11CF, 0x8BB2, 0x00AA00B4E220ull);

constexpr uint64_t kPrerollMs = 3100;            // what WMA files commonly carry
constexpr double kTargetPacketMs = 500.0;
constexpr size_t kMaxPayloadsPerPacket = 63;      // 6-bit payload count
constexpr size_t kMaxExtraBytes = 1024;           // codec data; WMA needs 10
constexpr uint16_t kMaxChannels = 8;
constexpr uint32_t kMaxSampleRate = 384000;
constexpr size_t kMaxDescriptionChars = 32766;    // byte length with terminator fits a WORD
constexpr uint8_t kStreamNumber = 1;

// Packet framing: error correction (3) + length type and property flags (2)
// + padding length (2 or 4) + send time (4) + duration (2) + payload flags (1).
constexpr size_t PacketHeaderSize(bool dwordPadding) { return 3 + 2 + (dwordPadding ? 4 : 2) + 4 + 2 + 1; }
// Per payload: stream (1) + media object number (1) + offset (4)
// + replicated data length (1) + replicated data (8) + payload length (2).
constexpr size_t kPayloadHeaderSize = 17;

constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull; // 1970-01-01 in FILETIME

GuidBytes RandomGuid() {
    std::random_device rd;
    GuidBytes g{};
    for (size_t i = 0; i < g.size(); i += 4) {
        uint32_t v = rd();
        std::memcpy(g.data() + i, &v, 4);
    }
    g[7] = static_cast<uint8_t>((g[7] & 0x0F) | 0x40); // version 4 (data3 high nibble)
    g[8] = static_cast<uint8_t>((g[8] & 0x3F) | 0x80); // variant
    return g;
}

uint64_t NowFileTime() {
    using namespace std::chrono;
    auto since = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return kFileTimeUnixEpoch + static_cast<uint64_t>(since) * 10;
}

std::u16string CodecName(uint16_t tag) {
    switch (tag) {
    case 0x0161: return u"Windows Media Audio V2";
    case 0x0001: return u"PCM";
    default: return u"Audio";
    }
}

std::u16string AsciiToU16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

} // namespace

struct AsfWriter::Impl {
    enum class State { Idle, Writing, Closed, Failed };
    State state = State::Idle;
    HResult stickyError = kOk;

    IByteSink* sink = nullptr;
    AudioStreamFormat format;
    uint32_t framesPerBlock = 0;
    uint32_t bitRate = 0;

    GuidBytes fileId{};
    uint32_t packetSize = 0;
    size_t blocksPerPacket = 0;
    bool dwordPadding = false;
    PatchPoints patch;
    uint64_t bytesWritten = 0;   // everything appended so far
    std::vector<uint64_t> packetStarts;  // first presentation time of each packet, preroll included

    uint64_t blocksWritten = 0;  // accepted by WriteBlock
    std::optional<uint64_t> inputFrames; // SetInputFrames
    uint64_t packetsWritten = 0;
    std::vector<uint8_t> pending; // blocks of the packet being filled
    size_t pendingBlocks = 0;
    std::vector<uint8_t> packet;  // serialisation buffer

    // Presentation time of block `index` without preroll, in 100 ns.
    uint64_t BlockTime100ns(uint64_t index) const {
        return index * framesPerBlock * 10000000ull / format.sampleRate;
    }
    uint64_t BlockTimeMs(uint64_t index) const {
        return index * framesPerBlock * 1000ull / format.sampleRate;
    }

    HResult Fail(HResult hr) {
        state = State::Failed;
        stickyError = hr;
        return hr;
    }

    HResult Append(const std::vector<uint8_t>& bytes) {
        HResult hr = sink->Write(bytes.data(), bytes.size());
        if (Failed(hr)) return hr;
        bytesWritten += bytes.size();
        return kOk;
    }

    std::vector<uint8_t> BuildHeader(const AsfContentDescription* content);
    HResult WritePacket();
    HResult Finish();
};

std::vector<uint8_t> AsfWriter::Impl::BuildHeader(const AsfContentDescription* content) {
    ByteWriter w;
    uint32_t objectCount = 0;

    w.Guid(kHeaderObject);
    size_t headerSizeAt = w.Reserve64();
    size_t countAt = w.Reserve32();
    w.U8(0x01);
    w.U8(0x02);

    // File Properties: the "being written" form; Close fills in the zeros.
    {
        size_t start = w.BeginObject(kFilePropertiesObject);
        w.Guid(fileId);
        patch.fileSize = w.Size();
        w.U64(0);
        w.U64(NowFileTime());
        patch.packetCount = w.Size();
        w.U64(0);
        patch.playDuration = w.Size();
        w.U64(0);
        patch.sendDuration = w.Size();
        w.U64(0);
        w.U64(kPrerollMs);
        patch.flags = w.Size();
        w.U32(0x01); // broadcast until Close
        w.U32(packetSize);
        w.U32(packetSize);
        double packetSeconds = double(blocksPerPacket) * framesPerBlock / format.sampleRate;
        double rate = packetSize * 8.0 / packetSeconds;
        w.U32(static_cast<uint32_t>(std::min(rate + 0.5, 4294967295.0)));
        w.EndObject(start);
        ++objectCount;
    }

    // Stream Properties: audio, WAVEFORMATEX, audio spread with span 1.
    {
        size_t start = w.BeginObject(kStreamPropertiesObject);
        w.Guid(kAudioMedia);
        w.Guid(kAudioSpread);
        w.U64(0);                                    // time offset
        w.U32(static_cast<uint32_t>(18 + format.extra.size()));
        w.U32(8);                                    // error correction data
        w.U16(kStreamNumber);
        w.U32(0);
        w.U16(format.formatTag);
        w.U16(format.channels);
        w.U32(format.sampleRate);
        w.U32(format.avgBytesPerSec);
        w.U16(format.blockAlign);
        w.U16(format.bitsPerSample);
        w.U16(static_cast<uint16_t>(format.extra.size()));
        w.Bytes(format.extra.data(), format.extra.size());
        w.U8(1);                                     // span: no interleaving
        w.U16(format.blockAlign);                    // virtual packet length
        w.U16(format.blockAlign);                    // virtual chunk length
        w.U16(1);                                    // silence data length
        w.U8(0);                                     // silence data
        w.EndObject(start);
        ++objectCount;
    }

    // Header Extension: required, empty.
    {
        size_t start = w.BeginObject(kHeaderExtensionObject);
        w.Guid(kReserved1);
        w.U16(6);
        w.U32(0);
        w.EndObject(start);
        ++objectCount;
    }

    // Codec List: one audio codec, described by rate and channels.
    {
        size_t start = w.BeginObject(kCodecListObject);
        w.Guid(kReserved2);
        w.U32(1);
        w.U16(2); // audio codec
        std::u16string name = CodecName(format.formatTag);
        std::string descr = std::to_string((bitRate + 500) / 1000) + " kbps, " +
                            std::to_string(format.sampleRate / 1000) + " kHz, " +
                            (format.channels == 1 ? "mono" : format.channels == 2 ? "stereo"
                                                      : std::to_string(format.channels) + " channels");
        w.U16(static_cast<uint16_t>(name.size() + 1));
        w.Utf16z(name);
        std::u16string d16 = AsciiToU16(descr);
        w.U16(static_cast<uint16_t>(d16.size() + 1));
        w.Utf16z(d16);
        w.U16(2);
        w.U16(format.formatTag);
        w.EndObject(start);
        ++objectCount;
    }

    // Stream Bitrate Properties.
    {
        size_t start = w.BeginObject(kStreamBitrateObject);
        w.U16(1);
        w.U16(kStreamNumber);
        w.U32(bitRate);
        w.EndObject(start);
        ++objectCount;
    }

    if (content) {
        size_t start = w.BeginObject(kContentDescriptionObject);
        const std::u16string* fields[] = {&content->title, &content->author, &content->copyright,
                                          &content->description};
        for (const auto* f : fields) w.U16(static_cast<uint16_t>((f->size() + 1) * 2));
        w.U16(0); // rating
        for (const auto* f : fields) w.Utf16z(*f);
        w.EndObject(start);
        ++objectCount;
    }

    w.Patch64(headerSizeAt, w.Size());
    w.Patch32(countAt, objectCount);

    // Data Object head: size 0 (unknown) while broadcast.
    patch.dataObjectSize = w.Size() + 16;
    w.Guid(kDataObject);
    w.U64(0);
    w.Guid(fileId);
    patch.dataPacketCount = w.Size();
    w.U64(0);
    w.U16(0x0101);
    return w.Take();
}

HResult AsfWriter::Impl::WritePacket() {
    const size_t ba = format.blockAlign;
    const uint64_t firstBlock = blocksWritten - pendingBlocks;
    const size_t used = PacketHeaderSize(dwordPadding) + pendingBlocks * (kPayloadHeaderSize + ba);
    const uint32_t padding = static_cast<uint32_t>(packetSize - used);

    ByteWriter w(std::move(packet));
    w.U8(0x82); // error correction present, 2 bytes of it
    w.U8(0);
    w.U8(0);
    // Multiple payloads; padding length as WORD or DWORD; no packet length, no sequence.
    w.U8(static_cast<uint8_t>(0x01 | (dwordPadding ? 0x18 : 0x10)));
    // Replicated data length BYTE, offset DWORD, media object number BYTE, stream number BYTE.
    w.U8(0x5D);
    if (dwordPadding) w.U32(padding); else w.U16(static_cast<uint16_t>(padding));
    w.U32(static_cast<uint32_t>(BlockTimeMs(firstBlock)));                 // send time
    uint64_t durationMs = BlockTimeMs(firstBlock + pendingBlocks) - BlockTimeMs(firstBlock);
    w.U16(static_cast<uint16_t>(std::min<uint64_t>(durationMs, 0xFFFF)));
    w.U8(static_cast<uint8_t>(0x80 | pendingBlocks)); // WORD payload lengths
    for (size_t i = 0; i < pendingBlocks; ++i) {
        uint64_t index = firstBlock + i;
        w.U8(0x80 | kStreamNumber);                   // every audio block is a key frame
        w.U8(static_cast<uint8_t>(index));            // media object number
        w.U32(0);                                     // offset into the object
        w.U8(8);
        w.U32(static_cast<uint32_t>(ba));             // object size
        w.U32(static_cast<uint32_t>(kPrerollMs + BlockTimeMs(index)));
        w.U16(static_cast<uint16_t>(ba));
        w.Bytes(pending.data() + i * ba, ba);
    }
    w.Zeros(padding);
    packet = w.Take();

    HResult hr = Append(packet);
    if (Failed(hr)) return hr;
    hr = sink->Flush();
    if (Failed(hr)) return hr;
    packetStarts.push_back(kPrerollMs * 10000 + BlockTime100ns(firstBlock));
    ++packetsWritten;
    pendingBlocks = 0;
    pending.clear();
    return kOk;
}

HResult AsfWriter::Impl::Finish() {
    HResult hr = kOk;
    if (pendingBlocks > 0) {
        hr = WritePacket();
        if (Failed(hr)) return hr;
    }
    const uint64_t dataEnd = bytesWritten;
    const uint64_t dataObjectSize = dataEnd - (patch.dataObjectSize - 16);

    uint64_t media = BlockTime100ns(blocksWritten);
    if (inputFrames) {
        media = std::min<uint64_t>(media, *inputFrames * 10000000ull / format.sampleRate);
    }
    const uint64_t play = kPrerollMs * 10000 + media;
    hr = Append(BuildSimpleIndex(fileId, packetStarts, kPrerollMs * 10000 + BlockTime100ns(blocksWritten)));
    if (Failed(hr)) return hr;
    hr = sink->Flush();
    if (Failed(hr)) return hr;

    hr = WriteFinishedFields([this](uint64_t at, const void* data, size_t size) { return sink->WriteAt(at, data, size); },
                             patch, FinishedValues{bytesWritten, packetsWritten, play, dataObjectSize});
    if (Failed(hr)) return hr;
    return sink->Flush();
}

AsfWriter::AsfWriter() : impl_(std::make_unique<Impl>()) {}
AsfWriter::~AsfWriter() = default;

HResult AsfWriter::Open(IByteSink* sink, const AudioStreamFormat& format, uint32_t framesPerBlock,
                        uint32_t bitRate, const AsfContentDescription* content) {
    Impl& s = *impl_;
    if (s.state != Impl::State::Idle) return kEUnexpected;
    if (!sink || format.formatTag == 0 || format.channels == 0 || format.channels > kMaxChannels ||
        format.sampleRate == 0 || format.sampleRate > kMaxSampleRate || format.blockAlign == 0 ||
        format.extra.size() > kMaxExtraBytes || framesPerBlock == 0 || bitRate == 0)
        return kEInvalidArg;
    // A block longer than ten seconds cannot be described by the packet's
    // millisecond duration field and would defeat crash safety anyway.
    if (uint64_t(framesPerBlock) > uint64_t(format.sampleRate) * 10) return kEInvalidArg;
    if (content) {
        for (const auto* f : {&content->title, &content->author, &content->copyright, &content->description})
            if (f->size() > kMaxDescriptionChars) return kEInvalidArg;
    }

    s.sink = sink;
    s.format = format;
    s.framesPerBlock = framesPerBlock;
    s.bitRate = bitRate;
    s.fileId = RandomGuid();

    const size_t ba = format.blockAlign;
    const double blockMs = 1000.0 * framesPerBlock / format.sampleRate;
    size_t n = static_cast<size_t>(kTargetPacketMs / blockMs);
    n = std::clamp<size_t>(n, 1, kMaxPayloadsPerPacket);
    // Keep packets within 64 KiB where a block allows it.
    while (n > 1 && PacketHeaderSize(false) + n * (kPayloadHeaderSize + ba) > 0xFFFF) --n;
    s.blocksPerPacket = n;
    size_t size = PacketHeaderSize(false) + n * (kPayloadHeaderSize + ba);
    if (size > 0xFFFF) {
        s.dwordPadding = true;
        size = PacketHeaderSize(true) + n * (kPayloadHeaderSize + ba);
    }
    s.packetSize = static_cast<uint32_t>(size);
    s.pending.reserve(n * ba);

    s.state = Impl::State::Writing;
    HResult hr = s.Append(s.BuildHeader(content));
    if (!Failed(hr)) hr = sink->Flush();
    if (Failed(hr)) return s.Fail(hr);
    return kOk;
}

HResult AsfWriter::WriteBlock(const uint8_t* data, size_t size) {
    Impl& s = *impl_;
    if (s.state == Impl::State::Failed) return s.stickyError;
    if (s.state != Impl::State::Writing) return kEUnexpected;
    if (!data || size != s.format.blockAlign) return kEInvalidArg;
    // Presentation times are 32-bit milliseconds.
    if (kPrerollMs + s.BlockTimeMs(s.blocksWritten + 1) > 0xFFFFFFFFull) return kEFail;

    s.pending.insert(s.pending.end(), data, data + size);
    ++s.pendingBlocks;
    ++s.blocksWritten;
    if (s.pendingBlocks == s.blocksPerPacket) {
        HResult hr = s.WritePacket();
        if (Failed(hr)) return s.Fail(hr);
    }
    return kOk;
}

HResult AsfWriter::SetInputFrames(uint64_t frames) {
    Impl& s = *impl_;
    if (s.state != Impl::State::Writing) return kEUnexpected;
    // Guards the 100 ns arithmetic; no recording comes near it.
    s.inputFrames = std::min<uint64_t>(frames, uint64_t(1) << 40);
    return kOk;
}

HResult AsfWriter::Close() {
    Impl& s = *impl_;
    switch (s.state) {
    case Impl::State::Idle: return kFalse;
    case Impl::State::Closed: return kOk;
    case Impl::State::Failed: return s.stickyError;
    case Impl::State::Writing: break;
    }
    HResult hr = s.Finish();
    if (Failed(hr)) return s.Fail(hr);
    s.state = Impl::State::Closed;
    return kOk;
}

uint64_t AsfWriter::PacketCount() const { return impl_->packetsWritten; }

uint64_t AsfWriter::DurationMs() const {
    return impl_->format.sampleRate ? impl_->BlockTimeMs(impl_->blocksWritten) : 0;
}

} // namespace mirvak::media
