// What the message composer needs from the system it runs on: the code page
// the text is sent in, the media type of a file extension, the clock and
// whole-file reads. The Windows side fills it with the system's calls; the
// portable stand-in (Latin-1, a small extension table) serves native builds.
#pragma once

#include <cstdint>
#include <string>

namespace mirvak::email {

// Result codes, HRESULT-style as everywhere in the program.
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kEFail = static_cast<int32_t>(0x80004005);
inline constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057);
inline constexpr int32_t kEOutOfMemory = static_cast<int32_t>(0x8007000E);
inline constexpr int32_t kEFileNotFound = static_cast<int32_t>(0x80070002);
// HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE): an attachment above the cap.
inline constexpr int32_t kEFileTooLarge = static_cast<int32_t>(0x800700DF);

// Largest file that one attachment may hold. The composed message keeps the
// file and its Base64 form in memory at once.
inline constexpr uint64_t kMaxAttachmentBytes = 100ull * 1024 * 1024;

// Local date and time as the Date header needs it.
struct MimeTime {
    int year = 1970, month = 1, dayOfWeek = 4, day = 1;  // dayOfWeek 0 = Sunday
    int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class MimePlatform {
public:
    virtual ~MimePlatform() = default;
    // Text to the bytes of the code page the message is sent in, and back.
    virtual std::string ToCodePage(const std::wstring& text) const = 0;
    virtual std::wstring FromCodePage(const std::string& bytes) const = 0;
    // MIME charset name of that code page ("windows-1250", "iso-8859-1").
    virtual std::wstring CharsetName() const = 0;
    // Media type registered for an extension such as ".wma"; empty when none.
    virtual std::wstring ContentTypeOf(const std::wstring& extension) const = 0;
    // Milliseconds since the system started (boundaries, timing traces).
    virtual uint32_t Milliseconds() const = 0;
    // The local time now and the zone's offset from UTC as signed ±HHMM.
    virtual void Now(MimeTime& time, int32_t& utcOffset) const = 0;
    // Reads a whole file. 0, kEFileTooLarge when it is above `cap` bytes, or
    // another failure code (missing, locked, unreadable).
    virtual int32_t ReadWholeFile(const std::wstring& path, std::string& bytes, uint64_t cap) const = 0;
    // A debug trace line; default: nowhere.
    virtual void Trace(const std::wstring&) const {}
};

// The platform of this build: the system's on Windows, else the portable one.
const MimePlatform& DefaultMimePlatform();
// The portable stand-in, also on Windows (tests compare against it).
const MimePlatform& PortableMimePlatform();

// ±HHMM from a zone bias in minutes (UTC = local time + bias), as Windows
// reports it: -(bias / 60 * 100 + bias % 60), division toward zero.
inline int32_t UtcOffsetFromBias(int32_t biasMinutes)
{
    return -(biasMinutes / 60 * 100 + biasMinutes % 60);
}

} // namespace mirvak::email
