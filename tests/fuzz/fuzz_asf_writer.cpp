// libFuzzer target for the ASF writer: fuzzed formats, tags, block sizes, call orders and sink failures,
// written into memory; patches stay inside what was written and a cleanly closed file is well laid out.
#include "media/asf/AsfWriter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace mirvak::media;

namespace {

constexpr size_t kMaxFileBytes = 16u << 20;
constexpr size_t kMaxBlockBytes = 4u << 20;  // all blocks of one run together
// The header object's GUID; the data object's differs only in its first byte (0x36).
const char kHeaderGuid[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";

class MemorySink : public IByteSink {
public:
    std::vector<uint8_t> bytes;
    bool failing = false;

    HResult Write(const void* data, size_t size) override {
        if (failing || bytes.size() + size > kMaxFileBytes) return kEWriteFault;
        if (size && !data) std::abort();
        bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
        return kOk;
    }
    HResult WriteAt(uint64_t offset, const void* data, size_t size) override {
        if (failing) return kEWriteFault;
        // A patch may only rewrite bytes the writer already wrote.
        if (offset > bytes.size() || size > bytes.size() - offset) std::abort();
        if (size) std::memcpy(bytes.data() + offset, data, size);
        return kOk;
    }
    HResult Flush() override { return failing ? kEWriteFault : kOk; }
};

// An object of the given GUID at `at` whose size (at least `min`) fits in the file; its size.
uint64_t Object(const std::vector<uint8_t>& b, size_t at, uint8_t first, uint64_t min) {
    uint64_t size = 0;
    if (b.size() < at + 24 || b[at] != first || std::memcmp(&b[at + 1], kHeaderGuid + 1, 15) != 0) std::abort();
    std::memcpy(&size, &b[at + 16], 8);  // little-endian, as the hosts we fuzz on
    if (size < min || size > b.size() - at) std::abort();
    return size;
}

void CheckLayout(const std::vector<uint8_t>& b, bool closed) {
    const uint64_t header = Object(b, 0, 0x30, 30);
    if (closed) Object(b, header, 0x36, 50);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    AudioStreamFormat format;
    format.formatTag = in.ConsumeBool() ? 0x0161 : in.ConsumeIntegral<uint16_t>();
    format.channels = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint16_t>(1, 2) : in.ConsumeIntegral<uint16_t>();
    format.sampleRate = in.ConsumeBool() ? 44100 : in.ConsumeIntegral<uint32_t>();
    format.avgBytesPerSec = in.ConsumeIntegral<uint32_t>();
    format.blockAlign = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint16_t>(0, 4096) : in.ConsumeIntegral<uint16_t>();
    format.bitsPerSample = in.ConsumeIntegral<uint16_t>();
    format.extra = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
    uint32_t framesPerBlock = in.ConsumeBool() ? 2048 : in.ConsumeIntegral<uint32_t>();
    uint32_t bitRate = in.ConsumeIntegral<uint32_t>();

    AsfContentDescription content;
    bool withContent = in.ConsumeBool();
    for (std::u16string* f : {&content.title, &content.author, &content.copyright, &content.description}) {
        std::string s = withContent ? in.ConsumeRandomLengthString(80) : "";
        f->assign(reinterpret_cast<const char16_t*>(s.data()), s.size() / 2);
    }

    MemorySink sink;
    sink.failing = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    AsfWriter writer;

    // Blocks before Open have nowhere to go.
    std::vector<uint8_t> block(format.blockAlign ? format.blockAlign : 1, 0x5A);
    if (in.ConsumeBool() && writer.WriteBlock(block.data(), format.blockAlign) == kOk) std::abort();

    bool opened = writer.Open(&sink, format, framesPerBlock, bitRate, withContent ? &content : nullptr) == kOk;
    if (opened && !sink.failing) CheckLayout(sink.bytes, false);

    bool closed = false, sinkFailed = sink.failing;
    size_t blockBytes = 0;
    for (int op = 0; op < 256 && in.remaining_bytes() > 0; ++op) {
        switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: case 1: case 2: {  // the usual: one whole block
            if (blockBytes + format.blockAlign > kMaxBlockBytes) break;
            std::fill(block.begin(), block.end(), in.ConsumeIntegral<uint8_t>());
            HResult hr = writer.WriteBlock(block.data(), format.blockAlign);
            if (hr == kOk && (!opened || closed)) std::abort();
            if (hr == kOk) blockBytes += format.blockAlign;
            break;
        }
        case 3: {  // a block of the wrong size is refused
            size_t wrong = in.ConsumeIntegralInRange<size_t>(0, size_t(format.blockAlign) + 16);
            std::vector<uint8_t> odd(wrong + 1, 0xA5);
            if (wrong != format.blockAlign && writer.WriteBlock(odd.data(), wrong) == kOk) std::abort();
            break;
        }
        case 4: {
            HResult hr = writer.Close();
            if (hr == kOk && opened && !sinkFailed) {
                CheckLayout(sink.bytes, true);
                // Closing again changes nothing.
                std::vector<uint8_t> before = sink.bytes;
                if (writer.Close() != kOk || sink.bytes != before) std::abort();
            }
            closed = closed || (hr == kOk && opened);
            break;
        }
        case 5:
            (void)writer.PacketCount();
            (void)writer.DurationMs();
            break;
        case 6:
            sink.failing = !sink.failing;
            sinkFailed = sinkFailed || sink.failing;
            break;
        case 7:
            if (writer.WriteBlock(nullptr, 0) == kOk && format.blockAlign != 0) std::abort();
            break;
        }
    }
    sink.failing = false;
    if (writer.Close() == kOk && opened && !sinkFailed) CheckLayout(sink.bytes, true);
    return 0;
}
