// libFuzzer target: the transfer encoders over arbitrary bytes, each checked against what its receiver
// needs (decoding back, line limits, only breaks inserted, period doubling undone).
#include "email/mime/Base64.h"
#include "email/mime/Encoders.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mirvak::email;
    std::string_view in(reinterpret_cast<const char*>(data), size);

    std::string lines;
    Base64::AppendLines(data, size, lines);
    Base64 b;
    b.Decode(lines.data(), lines.size());
    if (b.DecodedText() != in)
        abort();
    b.Encode(data, size);
    if (b.EncodedLength() != Base64::EncodedSize(size))
        abort();

    std::string qp = EncodeQuotedPrintable(in);
    for (size_t start = 0; start <= qp.size();) {
        size_t end = std::min(qp.find("\r\n", start), qp.size());
        if (end - start > 76 || (end > start && (qp[end - 1] == ' ' || qp[end - 1] == '\t')))
            abort();
        for (size_t k = start; k < end; ++k)
            if ((qp[k] < 32 && qp[k] != '\t') || static_cast<unsigned char>(qp[k]) > 126)
                abort();
        start = end + 2;
    }

    // Wrapping only inserts CR LF pairs.
    auto withoutBreaks = [](std::string s) {
        for (size_t k = s.find("\r\n"); k != std::string::npos; k = s.find("\r\n", k))
            s.erase(k, 2);
        return s;
    };
    if (withoutBreaks(WrapLines(in)) != withoutBreaks(std::string(in)))
        abort();
    // A receiver drops the first period of a line that starts with one.
    std::string doubled = DoubleLeadingPeriods(in), received;
    for (size_t k = 0; k < doubled.size(); ++k) {
        if ((k == 0 || doubled[k - 1] == '\n') && doubled[k] == '.' && ++k == doubled.size())
            abort();  // a lone period would end the message
        received += doubled[k];
    }
    if (received != in)
        abort();
    int32_t used = 0;
    EncodeBody(in, kEncodingAuto, used);
    if (used < kEncoding7bit || used > kEncodingBase64)
        abort();
    return 0;
}
