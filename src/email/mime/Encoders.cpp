#include "email/mime/Encoders.h"

#include "email/mime/Base64.h"

#include <vector>

namespace mirvak::email {

namespace {

constexpr size_t kMaxLine = 76;

bool IsBreakCharacter(char c)
{
    return c == ' ' || c == '-' || c == ';' || c == '.' || c == ',' || c == '?' || c == '!';
}

// Calls f(line) for every line of `text`, lines separated by CR LF; the
// line after the last CR LF is passed too (also when empty).
template <typename F>
void ForEachLine(std::string_view text, F f)
{
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) {
            f(text.substr(start), true);
            return;
        }
        f(text.substr(start, end - start), false);
        start = end + 2;
    }
}

const char kHex[] = "0123456789ABCDEF";

} // namespace

const char* EncodingName(int32_t encoding)
{
    switch (encoding) {
    case kEncoding7bit: return "7bit";
    case kEncoding8bit: return "8bit";
    case kEncodingQuotedPrintable: return "quoted-printable";
    case kEncodingBase64: return "base64";
    default: return "";
    }
}

int32_t ChooseEncoding(std::string_view bytes)
{
    if (bytes.empty())
        return kEncodingBase64;
    uint64_t printable = 0;
    bool unprintable = false, longLine = false;
    uint64_t lineLength = 0;
    const size_t n = bytes.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b == 0)
            return kEncodingBase64;
        if (b == '\r') {
            if (i + 1 >= n || bytes[i + 1] != '\n')
                return kEncodingBase64;
            ++printable;
            continue;
        }
        if (b == '\n') {
            if (i == 0 || bytes[i - 1] != '\r')
                return kEncodingBase64;
            ++printable;
            if (lineLength > kMaxLine)
                longLine = true;
            lineLength = 0;
            continue;
        }
        ++lineLength;
        if ((b >= 32 && b < 127) || b == '\t')
            ++printable;
        else
            unprintable = true;
    }
    if (lineLength > kMaxLine)
        longLine = true;
    if (printable * 100 / n < 90)
        return kEncodingBase64;
    if (longLine)
        return kEncodingQuotedPrintable;
    if (unprintable)
        return kEncoding8bit;
    return kEncoding7bit;
}

std::string EncodeQuotedPrintable(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4 + 16);
    std::string line;
    ForEachLine(bytes, [&](std::string_view raw, bool last) {
        // First pass: escapes. CR and LF inside a line are not line ends.
        line.clear();
        for (char ch : raw) {
            unsigned char b = static_cast<unsigned char>(ch);
            if (b == '=' || b > 126 || (b < 32 && b != '\t')) {
                line += '=';
                line += kHex[b >> 4];
                line += kHex[b & 15];
            } else {
                line += ch;
            }
        }
        // Second pass: soft breaks and trailing blanks.
        std::string_view rest = line;
        std::string tail;
        for (;;) {
            if (rest.size() <= kMaxLine) {
                if (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) {
                    unsigned char b = static_cast<unsigned char>(rest.back());
                    tail.assign(rest.substr(0, rest.size() - 1));
                    tail += '=';
                    tail += kHex[b >> 4];
                    tail += kHex[b & 15];
                    if (tail.size() <= kMaxLine) {
                        out += tail;
                        break;
                    }
                    // Now too long: soft-break it like any long line.
                    line.swap(tail);
                    rest = line;
                    continue;
                }
                out += rest;
                break;
            }
            size_t take = 75;
            if (rest[74] == '=')
                take = 74;
            else if (rest[73] == '=')
                take = 73;
            out += rest.substr(0, take);
            out += "=\r\n";
            rest.remove_prefix(take);
        }
        if (!last)
            out += "\r\n";
    });
    return out;
}

std::string WrapLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 38 + 2);
    ForEachLine(text, [&](std::string_view line, bool last) {
        while (line.size() > kMaxLine) {
            size_t cut = kMaxLine;
            for (size_t i = kMaxLine; i > 0; --i)
                if (IsBreakCharacter(line[i - 1])) {
                    cut = i;
                    break;
                }
            out += line.substr(0, cut);
            out += "\r\n";
            line.remove_prefix(cut);
        }
        out += line;
        if (!last)
            out += "\r\n";
    });
    return out;
}

std::string DoubleLeadingPeriods(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string EncodeBody(std::string_view bytes, int32_t encoding, int32_t& used)
{
    if (encoding < kEncoding7bit || encoding > kEncodingBase64)
        encoding = ChooseEncoding(bytes);
    used = encoding;
    switch (encoding) {
    case kEncoding7bit: {
        std::string ascii(bytes);
        for (char& c : ascii)
            if (static_cast<unsigned char>(c) > 126)
                c = '?';
        return DoubleLeadingPeriods(WrapLines(ascii));
    }
    case kEncoding8bit:
        return DoubleLeadingPeriods(WrapLines(bytes));
    case kEncodingQuotedPrintable:
        return DoubleLeadingPeriods(EncodeQuotedPrintable(bytes));
    default: {
        // Base64 lines never begin with '.', so no doubling is needed.
        std::string out;
        Base64::AppendLines(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
        return out;
    }
    }
}

} // namespace mirvak::email
