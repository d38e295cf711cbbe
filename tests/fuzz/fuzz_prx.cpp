// libFuzzer target for the .prx reader. The first byte picks raw UTF-16LE (as a file is read) or one
// character per byte, which lets byte-level mutations and the ASCII dictionary work on the XML itself.
#include "media/profiles/ProfileCatalogue.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace mirvak::media;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<char16_t> text(data + 1, data + size);
    if (!(data[0] & 1)) {
        text.resize((size - 1) / 2);
        if (!text.empty()) std::memcpy(text.data(), data + 1, text.size() * 2);
    }

    AudioProfile out;
    out.name = u"untouched";
    HResult hr = ParsePrxProfile(text.data(), text.size(), &out);
    if (hr == kOk) {
        // Whatever is accepted must be something the encoder can be asked for.
        if (out.channels != 1 && out.channels != 2) std::abort();
        if (out.bitRate < 16000 || out.bitRate > 192999) std::abort();
        if (out.sampleRate < 8000 || out.sampleRate > 48000) std::abort();
    } else if (hr == kEInvalidData || hr == kEInvalidArg) {
        if (out.name != u"untouched") std::abort();  // a refusal changes nothing
    } else {
        std::abort();  // no other result is defined
    }
    return 0;
}
