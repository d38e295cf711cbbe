#include "email/mime/SmtpMessage.h"

#include "email/mime/Base64.h"

#include <cstdio>
#include <cwctype>

namespace mirvak::email {

namespace {

// Maker's host named in the X-Mailer header.
constexpr const wchar_t* kMailerHost = L"www.mirvak.example.org";

bool IsAscii(const std::string& s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) > 126)
            return false;
    return true;
}

bool StartsWithText(const std::wstring& type)
{
    if (type.size() < 5)
        return false;
    for (size_t i = 0; i < 5; ++i)
        if (static_cast<wchar_t>(std::towlower(type[i])) != L"text/"[i])
            return false;
    return true;
}

std::string Ascii(const std::wstring& s)
{
    std::string out;
    out.reserve(s.size());
    for (wchar_t c : s)
        out += c < 127 ? static_cast<char>(c) : '?';
    return out;
}

std::string Hex8(uint32_t v)
{
    char b[16];
    std::snprintf(b, sizeof b, "%8.8X", v);
    return b;
}

// RFC 2231 parameter `name*` (charset''percent-encoded), split into
// numbered sections when one line of 78 characters would not hold it.
std::string ExtendedParameter(const std::string& name, const std::string& bytes, const std::string& charset)
{
    std::string value = charset + "''";
    static const char hex[] = "0123456789ABCDEF";
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-' ||
            c == '_') {
            value += ch;
        } else {
            value += '%';
            value += hex[c >> 4];
            value += hex[c & 15];
        }
    }
    constexpr size_t kSection = 60;
    if (value.size() <= kSection)
        return ";\r\n\t" + name + "*=" + value;
    std::string out;
    size_t start = 0;
    for (int n = 0; start < value.size(); ++n) {
        size_t end = start + kSection < value.size() ? start + kSection : value.size();
        // An escape stays whole.
        if (end < value.size() && value[end - 1] == '%')
            end -= 1;
        else if (end < value.size() && end >= 2 && value[end - 2] == '%')
            end -= 2;
        out += ";\r\n\t" + name + "*" + std::to_string(n) + "*=" + value.substr(start, end - start);
        start = end;
    }
    return out;
}

// Characters on the last line of `text`, counting `used` when it has none.
size_t LastLine(const std::string& text, size_t used)
{
    size_t lf = text.rfind('\n');
    return lf == std::string::npos ? used + text.size() : text.size() - lf - 1;
}

std::string Quoted(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

const std::wstring* HeaderMap::Find(const std::wstring& key) const
{
    for (auto& e : entries_)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

void HeaderMap::Remove(const std::wstring& key)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->first == key) {
            entries_.erase(it);
            return;
        }
}

void HeaderMap::Replace(const std::wstring& key, const std::wstring& value)
{
    Remove(key);
    Add(key, value);
}

void HeaderMap::AddIfMissing(const std::wstring& key, const std::wstring& value)
{
    if (!Find(key))
        Add(key, value);
}

bool HasLineBreak(const std::wstring& text)
{
    return text.find_first_of(L"\r\n") != std::wstring::npos;
}

bool HasBareLineBreak(const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n')
            return true;
        if (text[i] == L'\r') {
            // A folded line (CR LF and a blank) continues the same header.
            if (i + 2 >= text.size() || text[i + 1] != L'\n' || (text[i + 2] != L'\t' && text[i + 2] != L' '))
                return true;
            i += 2;
        }
    }
    return false;
}

std::string FormatDate(const MimeTime& t, int32_t utcOffset)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = t.dayOfWeek >= 0 && t.dayOfWeek < 7 ? days[t.dayOfWeek] : "Sun";
    const char* month = t.month >= 1 && t.month <= 12 ? months[t.month - 1] : "Jan";
    int offset = utcOffset < 0 ? -utcOffset : utcOffset;
    char b[64];
    std::snprintf(b, sizeof b, "%s, %d %s %04d %02d:%02d:%02d %c%4.4d", day, t.day, month, t.year, t.hour, t.minute,
                  t.second, utcOffset > 0 ? '+' : '-', offset);
    return b;
}

SmtpMessage::SmtpMessage(const MimePlatform& platform) : platform_(&platform)
{
    platform.Now(created, utcOffset);
}

std::string SmtpMessage::Charset(const std::wstring& charset) const
{
    return Ascii(charset.empty() ? platform_->CharsetName() : charset);
}

std::string SmtpMessage::EncodedWords(const std::wstring& text, size_t used) const
{
    // RFC 2047: words of at most 75 characters that hold whole characters,
    // on lines of at most 76; further words go on folded lines of their own.
    const std::string prefix = "=?" + Charset({}) + "?B?";
    const size_t overhead = prefix.size() + 2;
    auto capacity = [&](size_t line) {
        size_t room = line < 76 ? 76 - line : 0;
        if (room > 75)
            room = 75;
        return room > overhead ? (room - overhead) / 4 * 3 : 0;
    };
    std::string out, word;
    size_t line = used;
    auto flush = [&] {
        Base64 b;
        b.Encode(reinterpret_cast<const uint8_t*>(word.data()), word.size());
        out += prefix + b.EncodedText() + "?=";
        word.clear();
        out += "\r\n\t";
        line = 1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        size_t n = i + 1 < text.size() && text[i] >= 0xD800 && text[i] < 0xDC00 ? 2 : 1;
        std::string bytes = platform_->ToCodePage(text.substr(i, n));
        i += n - 1;
        if (!word.empty() && word.size() + bytes.size() > capacity(line)) {
            flush();
        } else if (word.empty() && capacity(line) < bytes.size() && line > 1) {
            // Not even one character fits after what the line holds.
            out += "\r\n\t";
            line = 1;
        }
        word += bytes;
    }
    if (!word.empty()) {
        flush();
        out.resize(out.size() - 3);  // no fold after the last word
    }
    return out;
}

std::string SmtpMessage::HeaderText(const std::wstring& value, size_t used) const
{
    std::string bytes = platform_->ToCodePage(value);
    if (IsAscii(bytes))
        return bytes;
    return EncodedWords(value, used);
}

std::string SmtpMessage::AddressText(const SmtpAddress& a, bool alwaysAddress, size_t used) const
{
    std::string out;
    if (!a.name.empty()) {
        std::string name = platform_->ToCodePage(a.name);
        bool plain = IsAscii(name);
        out += plain ? Quoted(name) : EncodedWords(a.name, used);
        if (alwaysAddress || !a.address.empty()) {
            std::string address = "<" + platform_->ToCodePage(a.address) + ">";
            // A line that holds an encoded word stays within 76 characters.
            out += !plain && LastLine(out, used) + 1 + address.size() > 76 ? "\r\n\t" : " ";
            out += address;
        }
        return out;
    }
    if (alwaysAddress || !a.address.empty())
        out += "<" + platform_->ToCodePage(a.address) + ">";
    return out;
}

int32_t SmtpMessage::Encoding(int32_t wanted, std::string_view bytes) const
{
    int32_t e = wanted >= kEncoding7bit && wanted <= kEncodingBase64 ? wanted : ChooseEncoding(bytes);
    if (e == kEncoding8bit && !allow8bit)
        e = kEncodingQuotedPrintable;
    return e;
}

int32_t SmtpMessage::Compose(std::wstring& out)
{
    out.clear();
    std::string bytes;
    int32_t r = ComposeBytes(bytes);
    if (r == kOk)
        out = platform_->FromCodePage(bytes);
    return r;
}

int32_t SmtpMessage::ComposeBytes(std::string& out)
{
    out.clear();
    // Nothing the caller gave may carry a line break into a header.
    auto bad = [](const SmtpAddress& a) { return HasLineBreak(a.name) || HasLineBreak(a.address); };
    if (bad(from) || bad(to) || HasLineBreak(subject) || HasLineBreak(messageId))
        return kEInvalidArg;
    for (auto& a : toList)
        if (bad(a))
            return kEInvalidArg;
    for (auto& a : bccList)
        if (bad(a))
            return kEInvalidArg;
    for (auto& e : headers.Entries())
        if (HasLineBreak(e.first) || HasBareLineBreak(e.second) || e.first.find(L':') != std::wstring::npos)
            return kEInvalidArg;
    for (auto& a : attachments)
        if (HasLineBreak(a.fileName) || HasLineBreak(a.contentType) || HasLineBreak(a.charset) ||
            HasLineBreak(a.contentId))
            return kEInvalidArg;
    for (auto& p : textParts)
        if (HasLineBreak(p.contentType) || HasLineBreak(p.charset) || HasLineBreak(p.contentId))
            return kEInvalidArg;

    // Attachments are read first: one that cannot be read or is above the
    // cap refuses the message, which would otherwise go without it.
    struct Loaded {
        const SmtpAttachment* a;
        std::string bytes;
    };
    std::vector<Loaded> files;
    for (auto& a : attachments) {
        Loaded l{&a, {}};
        int32_t r = platform_->ReadWholeFile(a.filePath, l.bytes, kMaxAttachmentBytes);
        if (r != kOk)
            return r;
        files.push_back(std::move(l));
    }

    // 1. Content-Type of a multipart message.
    headers.Remove(L"Content-Type");
    std::string mainBoundary;
    size_t parts = textParts.size() + files.size();
    if (parts >= 2) {
        mainBoundary = "CSmtpMsgPart123X456_000_" + Hex8(platform_->Milliseconds());
        if (multipartKind == 0)
            multipartKind = files.empty() ? 2 : 1;
        const wchar_t* kind = multipartKind == 1 ? L"mixed" : multipartKind == 2 ? L"alternative"
                              : multipartKind == 3 ? L"related" : L"";
        headers.Add(L"Content-Type", std::wstring(L"multipart/") + kind + L";\r\n\tboundary=\"" +
                                         std::wstring(mainBoundary.begin(), mainBoundary.end()) + L"\"");
    }
    // 2.-3.
    headers.Replace(L"MIME-Version", L"1.0");
    headers.Remove(L"Message-ID");
    if (!messageId.empty())
        headers.Add(L"Message-ID", L"<" + messageId + L">");
    // 4. Standard headers.
    headers.AddIfMissing(L"X-Priority", L"3 (Normal)");
    headers.AddIfMissing(L"X-MSMail-Priority", L"Normal");
    headers.AddIfMissing(L"X-Mailer", std::wstring(L"ZUviv Class (") + kMailerHost + L")");
    headers.AddIfMissing(L"Importance", L"Normal");
    std::string date = FormatDate(created, utcOffset);
    headers.Replace(L"Date", std::wstring(date.begin(), date.end()));
    headers.Replace(L"Subject", subject);

    // To and From are written in their encoded form; the map keeps the text.
    std::wstring toText;
    std::string toBytes;
    auto appendTo = [&](const SmtpAddress& a) {
        if (!toText.empty()) {
            toText += L",\r\n\t";
            toBytes += ",\r\n\t";
        }
        if (!a.name.empty())
            toText += L"\"" + a.name + L"\" ";
        if (!a.address.empty())
            toText += L"<" + a.address + L">";
        toBytes += AddressText(a, false, LastLine(toBytes, 4));  // after "To: "
    };
    appendTo(to);
    for (auto& a : toList)
        appendTo(a);
    headers.Replace(L"To", toText);
    std::wstring fromText = (from.name.empty() ? L"" : L"\"" + from.name + L"\" ") + L"<" + from.address + L">";
    headers.Replace(L"From", fromText);
    std::string fromBytes = AddressText(from, true, 6);  // after "From: "

    // 5. The header block, last entry first.
    const auto& entries = headers.Entries();
    for (size_t i = entries.size(); i-- > 0;) {
        const auto& [key, value] = entries[i];
        std::string v;
        if (key == L"To")
            v = toBytes;
        else if (key == L"From")
            v = fromBytes;
        else if (key == L"Content-Type")
            v = Ascii(value);
        else
            v = HeaderText(value, key.size() + 2);
        out += platform_->ToCodePage(key);
        out += ": ";
        out += v;
        out += "\r\n";
    }

    // 6.-7. Preamble and the nested alternative.
    if (!mainBoundary.empty())
        out += "\r\nThis is a multipart message in MIME format\r\n";
    std::string innerBoundary;
    if (!files.empty() && textParts.size() >= 2) {
        innerBoundary = "CSmtpMsgPart123X456_001_" + Hex8(platform_->Milliseconds());
        out += "\r\n--" + mainBoundary + "\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"" +
               innerBoundary + "\"\r\n";
    }

    // 8. Text parts.
    for (auto& p : textParts) {
        uint32_t start = platform_->Milliseconds();
        if (!mainBoundary.empty())
            out += "\r\n--" + (innerBoundary.empty() ? mainBoundary : innerBoundary) + "\r\n";
        out += "Content-Type: " + Ascii(p.contentType);
        if (StartsWithText(p.contentType))
            out += ";\r\n\tcharset=\"" + Charset(p.charset) + "\"";
        out += "\r\n";
        int32_t used = 0;
        std::string bytes = platform_->ToCodePage(p.text);
        std::string body = EncodeBody(bytes, Encoding(p.encoding, bytes), used);
        out += "Content-Transfer-Encoding: ";
        out += EncodingName(used);
        if (!p.contentId.empty())
            out += "\r\nContent-ID: <" + Ascii(p.contentId) + ">";
        out += "\r\n\r\n";
        out += body;
        platform_->Trace(L"Encoding took " + std::to_wstring(platform_->Milliseconds() - start) + L"ms\n");
    }
    // 9.
    if (!innerBoundary.empty())
        out += "\r\n--" + innerBoundary + "--\r\n";

    // 10. Attachments.
    for (auto& f : files) {
        uint32_t start = platform_->Milliseconds();
        const SmtpAttachment& a = *f.a;
        if (!mainBoundary.empty())
            out += "\r\n--" + mainBoundary + "\r\n";
        std::wstring shown = a.fileName;
        if (shown.empty()) {
            size_t slash = a.filePath.find_last_of(L"\\/");
            shown = slash == std::wstring::npos ? a.filePath : a.filePath.substr(slash + 1);
        }
        std::wstring type = L"application/octet-stream";
        size_t dot = shown.rfind(L'.');
        if (dot != std::wstring::npos) {
            std::wstring found = platform_->ContentTypeOf(shown.substr(dot));
            if (!found.empty() && !HasLineBreak(found))
                type = found;
        }
        if (!a.contentType.empty())
            type = a.contentType;
        std::string name = platform_->ToCodePage(shown);
        bool plainName = IsAscii(name) && name.find_first_of("\"\\") == std::string::npos;
        out += "Content-Type: " + Ascii(type);
        if (StartsWithText(type))
            out += ";\r\n\tcharset=\"" + Charset(a.charset) + "\"";
        // RFC 2047 words may not stand inside a quoted parameter: RFC 2231.
        out += plainName ? ";\r\n\tname=\"" + name + "\"" : ExtendedParameter("name", name, Charset({}));
        out += "\r\n";
        int32_t used = Encoding(a.encoding, f.bytes);
        out += "Content-Transfer-Encoding: ";
        out += EncodingName(used);
        out += "\r\nContent-Disposition: ";
        out += a.isInline ? "inline" : "attachment";
        if (plainName)
            out += ";\r\n\tfilename=\"" + name + "\"";
        else
            out += ExtendedParameter("filename", name, Charset({}));
        if (!a.contentId.empty())
            out += "\r\nContent-ID: <" + Ascii(a.contentId) + ">";
        out += "\r\n\r\n";
        // Large files go straight into the message, without a copy.
        if (used == kEncodingBase64) {
            out.reserve(out.size() + Base64::EncodedSize(f.bytes.size()) * 78 / 76 + 256);
            Base64::AppendLines(reinterpret_cast<const uint8_t*>(f.bytes.data()), f.bytes.size(), out);
        } else {
            out += EncodeBody(f.bytes, used, used);
        }
        std::string().swap(f.bytes);
        platform_->Trace(L"Encoding took " + std::to_wstring(platform_->Milliseconds() - start) + L"ms\n");
    }
    // 11.
    if (!mainBoundary.empty())
        out += "\r\n--" + mainBoundary + "--\r\n";
    return kOk;
}

} // namespace mirvak::email
