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

const uint8_t kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

class MemorySink : public IByteSink {
public:
    std::vector<uint8_t> bytes;
    bool failing = false;

    HResult Write(const void* data, size_t size) override {
        if (failing || bytes.size() + size > kMaxFileBytes) return kEWriteFault;
        if (size && !data) std::abort();
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
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

uint64_t Le64(const std::vector<uint8_t>& b, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

void CheckLayout(const std::vector<uint8_t>& b, bool closed) {
    if (b.size() < 24 || std::memcmp(b.data(), kHeaderGuid, 16) != 0) std::abort();
    uint64_t headerSize = Le64(b, 16);
    if (headerSize < 30 || headerSize > b.size()) std::abort();
    if (!closed) return;
    if (b.size() < headerSize + 24 || std::memcmp(b.data() + headerSize, kDataGuid, 16) != 0)
        std::abort();
    uint64_t dataSize = Le64(b, headerSize + 16);
    if (dataSize < 50 || dataSize > b.size() - headerSize) std::abort();
}

std::u16string FuzzedText(FuzzedDataProvider& in) {
    size_t n = in.ConsumeIntegralInRange<size_t>(0, 40);
    std::u16string s;
    for (size_t i = 0; i < n && in.remaining_bytes(); ++i) s.push_back(in.ConsumeIntegral<char16_t>());
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    AudioStreamFormat format;
    format.formatTag = in.ConsumeBool() ? 0x0161 : in.ConsumeIntegral<uint16_t>();
    format.channels = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint16_t>(1, 2)
                                       : in.ConsumeIntegral<uint16_t>();
    format.sampleRate = in.ConsumeBool() ? 44100 : in.ConsumeIntegral<uint32_t>();
    format.avgBytesPerSec = in.ConsumeIntegral<uint32_t>();
    format.blockAlign = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint16_t>(0, 4096)
                                         : in.ConsumeIntegral<uint16_t>();
    format.bitsPerSample = in.ConsumeIntegral<uint16_t>();
    format.extra = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
    uint32_t framesPerBlock = in.ConsumeBool() ? 2048 : in.ConsumeIntegral<uint32_t>();
    uint32_t bitRate = in.ConsumeIntegral<uint32_t>();

    AsfContentDescription content;
    bool withContent = in.ConsumeBool();
    if (withContent)
        for (std::u16string* f : {&content.title, &content.author, &content.copyright, &content.description})
            *f = FuzzedText(in);

    MemorySink sink;
    sink.failing = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    AsfWriter writer;

    // Blocks before Open have nowhere to go.
    std::vector<uint8_t> block(format.blockAlign ? format.blockAlign : 1, 0x5A);
    if (in.ConsumeBool() && writer.WriteBlock(block.data(), format.blockAlign) == kOk) std::abort();

    bool opened = writer.Open(&sink, format, framesPerBlock, bitRate,
                              withContent ? &content : nullptr) == kOk;
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
            if (wrong == format.blockAlign) break;
            std::vector<uint8_t> odd(wrong + 1, 0xA5);
            if (writer.WriteBlock(odd.data(), wrong) == kOk) std::abort();
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
            if (hr == kOk && opened) closed = true;
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
