// libFuzzer target: the SMTP reply reader over arbitrary server bytes, fed
// in pieces the input chooses, and the AUTH challenge decoder.
#include "email/mime/Base64.h"
#include "email/mime/SmtpReply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mirvak::email;
    if (size == 0)
        return 0;
    // The first byte picks the piece length, so replies split anywhere.
    size_t piece = 1 + data[0] % 64;
    SmtpReplyReader reader(4096);
    size_t i = 1;
    for (; i < size; i += piece) {
        size_t n = size - i < piece ? size - i : piece;
        if (reader.Feed(reinterpret_cast<const char*>(data + i), n) != SmtpReplyReader::kIncomplete)
            break;
    }
    if (reader.state() == SmtpReplyReader::kComplete) {
        int code = reader.Code();
        if (code < 0 || code > 999)
            abort();
        std::string text = reader.Text(), last = reader.FinalLine();
        if (last.size() > text.size() || text.compare(text.size() - last.size(), last.size(), last) != 0)
            abort();
        if (text.find('\n') == std::string::npos && text != last)
            abort();
        Base64 b;
        b.Decode(last.data(), last.size());
        if (b.DecodedLength() > last.size())
            abort();
    }
    return 0;
}
