// One e-mail and the MIME text that is sent after DATA: headers, the
// multipart structure with its boundaries, and each part in the transfer
// encoding it needs.
#pragma once

#include "email/mime/Encoders.h"
#include "email/mime/MimePlatform.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirvak::email {

struct SmtpAddress {
    std::wstring name;
    std::wstring address;
};

struct SmtpTextPart {
    std::wstring contentType = L"text/plain";
    // Empty: the charset of the code page the text is converted to, which
    // is what the bytes really are.
    std::wstring charset;
    std::wstring contentId;
    int32_t encoding = kEncodingAuto;
    std::wstring text;
};

struct SmtpAttachment {
    std::wstring contentType;  // empty: by the shown name's extension
    std::wstring charset;      // for text/ types; empty: the code page's
    std::wstring contentId;
    int32_t encoding = kEncodingAuto;
    std::wstring filePath;
    std::wstring fileName;     // empty: the part of filePath after its last backslash
    int32_t isInline = 0;
};

// Header lines in insertion order; keys compared exactly.
class HeaderMap {
public:
    const std::wstring* Find(const std::wstring& key) const;
    void Remove(const std::wstring& key);
    void Add(const std::wstring& key, const std::wstring& value) { entries_.emplace_back(key, value); }
    // Remove, then add at the end.
    void Replace(const std::wstring& key, const std::wstring& value);
    void AddIfMissing(const std::wstring& key, const std::wstring& value);
    size_t Size() const { return entries_.size(); }
    const std::vector<std::pair<std::wstring, std::wstring>>& Entries() const { return entries_; }

private:
    std::vector<std::pair<std::wstring, std::wstring>> entries_;
};

class SmtpMessage {
public:
    // Takes the local time and zone offset from `platform` (which must
    // outlive the message).
    explicit SmtpMessage(const MimePlatform& platform = DefaultMimePlatform());

    SmtpAddress from;
    SmtpAddress to;
    std::wstring subject;
    std::vector<SmtpTextPart> textParts;
    std::vector<SmtpAddress> toList;
    std::vector<SmtpAddress> bccList;
    std::vector<SmtpAttachment> attachments;
    HeaderMap headers;
    MimeTime created;
    int32_t multipartKind = 0;  // 0 choose, 1 mixed, 2 alternative, 3 related
    std::wstring messageId;
    int32_t utcOffset = 0;
    // False: no part is written as 8bit (quoted-printable instead), for a
    // server that does not offer 8BITMIME.
    bool allow8bit = true;

    // The DATA text in the code page's bytes, without the final ".".
    // 0; kEInvalidArg when an address, name, subject or header holds a CR or
    // LF (they would inject header lines); kEFileTooLarge when an attachment
    // is above kMaxAttachmentBytes; the read's failure code when an
    // attachment cannot be read (a message never goes without its file).
    int32_t ComposeBytes(std::string& out);
    // The same text as wide characters.
    int32_t Compose(std::wstring& out);

    const MimePlatform& Platform() const { return *platform_; }

private:
    // `used`: characters already on the line the value starts on.
    std::string HeaderText(const std::wstring& value, size_t used) const;
    std::string AddressText(const SmtpAddress& a, bool alwaysAddress, size_t used) const;
    std::string EncodedWords(const std::wstring& text, size_t used) const;
    int32_t Encoding(int32_t wanted, std::string_view bytes) const;
    std::string Charset(const std::wstring& charset) const;

    const MimePlatform* platform_;
};

// The date header value: "ddd, d MMM yyyy HH:mm:ss ±HHMM".
std::string FormatDate(const MimeTime& t, int32_t utcOffset);
// True when the text holds a CR or LF.
bool HasLineBreak(const std::wstring& text);
// True when the text holds a line break that is not a fold (CR LF + blank).
bool HasBareLineBreak(const std::wstring& text);

} // namespace mirvak::email
