// libFuzzer target: the transfer encoders over arbitrary bytes. Base64 must
// decode back to the input; quoted-printable lines stay within 76
// characters of printable ASCII; wrapped and period-doubled text keeps
// every byte of the input.
#include "email/mime/Base64.h"
#include "email/mime/Encoders.h"

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
    size_t start = 0;
    while (start <= qp.size()) {
        size_t end = qp.find("\r\n", start);
        if (end == std::string::npos)
            end = qp.size();
        if (end - start > 76)
            abort();
        for (size_t k = start; k < end; ++k) {
            unsigned char c = static_cast<unsigned char>(qp[k]);
            if ((c < 32 && c != '\t') || c > 126)
                abort();
        }
        if (end > start && (qp[end - 1] == ' ' || qp[end - 1] == '\t'))
            abort();
        start = end + 2;
    }

    // Wrapping only inserts line breaks; doubling only inserts periods.
    std::string wrapped = WrapLines(in);
    std::string stripped;
    for (size_t k = 0; k < wrapped.size(); ++k) {
        if (wrapped[k] == '\r' && k + 1 < wrapped.size() && wrapped[k + 1] == '\n') {
            ++k;
            continue;
        }
        stripped += wrapped[k];
    }
    std::string plain;
    for (size_t k = 0; k < in.size(); ++k) {
        if (in[k] == '\r' && k + 1 < in.size() && in[k + 1] == '\n') {
            ++k;
            continue;
        }
        plain += in[k];
    }
    if (stripped != plain)
        abort();
    std::string doubled = DoubleLeadingPeriods(in);
    if (doubled.size() < in.size())
        abort();
    int32_t used = 0;
    EncodeBody(in, kEncodingAuto, used);
    if (used < kEncoding7bit || used > kEncodingBase64)
        abort();
    return 0;
}
