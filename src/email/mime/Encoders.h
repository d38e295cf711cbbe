// Transfer encodings of MIME body parts, over the bytes of the code page
// the message is sent in: the automatic choice, quoted-printable, line
// wrapping and the doubling of leading periods for SMTP.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirvak::email {

enum TransferEncoding : int32_t {
    kEncodingAuto = 0,
    kEncoding7bit = 1,
    kEncoding8bit = 2,
    kEncodingQuotedPrintable = 3,
    kEncodingBase64 = 4,
};

// "7bit", "8bit", "quoted-printable", "base64"; empty for anything else.
const char* EncodingName(int32_t encoding);

// The encoding a body of these bytes needs: base64 for no bytes, for less
// than 90 % printable bytes, and for a NUL or a CR or LF that is not part of
// a CR LF pair (those would not survive as text); else quoted-printable when
// a line is longer than 76 bytes, 8bit when a byte is not printable ASCII,
// 7bit otherwise.
int32_t ChooseEncoding(std::string_view bytes);

// Quoted-printable (RFC 2045) of bytes; lines end at CR LF, soft breaks keep
// every line at most 76 characters and never split an escape.
std::string EncodeQuotedPrintable(std::string_view bytes);
// Lines longer than 76 characters cut after the last break character
// (space - ; . , ? !) among their first 76, else after the 76th.
std::string WrapLines(std::string_view text);
// Doubles a '.' that begins a line (the first line included).
std::string DoubleLeadingPeriods(std::string_view text);

// The body of one part in `encoding` (kEncodingAuto chooses). The result is
// ready for DATA: wrapped and with leading periods doubled. `used` receives
// the encoding actually written.
std::string EncodeBody(std::string_view bytes, int32_t encoding, int32_t& used);

} // namespace mirvak::email
