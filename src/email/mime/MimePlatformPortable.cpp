// The portable stand-in for the system: Latin-1 as the code page, a small
// table of media types, the C++ clock and standard file streams.
#include "email/mime/MimePlatform.h"

#include <chrono>
#include <ctime>
#include <fstream>

namespace mirvak::email {

namespace {

class Portable final : public MimePlatform {
public:
    std::string ToCodePage(const std::wstring& text) const override
    {
        std::string out;
        out.reserve(text.size());
        for (wchar_t c : text)
            out += static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?';
        return out;
    }
    std::wstring FromCodePage(const std::string& bytes) const override
    {
        std::wstring out;
        out.reserve(bytes.size());
        for (char c : bytes)
            out += static_cast<wchar_t>(static_cast<unsigned char>(c));
        return out;
    }
    std::wstring CharsetName() const override { return L"iso-8859-1"; }
    std::wstring ContentTypeOf(const std::wstring& extension) const override
    {
        static const struct {
            const wchar_t* ext;
            const wchar_t* type;
        } table[] = {{L".wma", L"audio/x-ms-wma"}, {L".wav", L"audio/wav"},  {L".mp3", L"audio/mpeg"},
                     {L".txt", L"text/plain"},     {L".htm", L"text/html"},  {L".html", L"text/html"},
                     {L".jpg", L"image/jpeg"},     {L".png", L"image/png"},  {L".pdf", L"application/pdf"}};
        for (auto& e : table) {
            std::wstring a = extension, b = e.ext;
            if (a.size() != b.size())
                continue;
            bool same = true;
            for (size_t i = 0; i < a.size() && same; ++i)
                same = static_cast<wchar_t>(towlower(a[i])) == b[i];
            if (same)
                return e.type;
        }
        return {};
    }
    uint32_t Milliseconds() const override
    {
        using namespace std::chrono;
        return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void Now(MimeTime& t, int32_t& utcOffset) const override
    {
        std::time_t now = std::time(nullptr);
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &now);
        utcOffset = 0;
#else
        localtime_r(&now, &local);
        long minutes = local.tm_gmtoff / 60;
        utcOffset = UtcOffsetFromBias(static_cast<int32_t>(-minutes));
#endif
        t.year = local.tm_year + 1900;
        t.month = local.tm_mon + 1;
        t.dayOfWeek = local.tm_wday;
        t.day = local.tm_mday;
        t.hour = local.tm_hour;
        t.minute = local.tm_min;
        t.second = local.tm_sec;
        t.milliseconds = 0;
    }
    int32_t ReadWholeFile(const std::wstring& path, std::string& bytes, uint64_t cap) const override
    {
        bytes.clear();
        std::string narrow;
        for (wchar_t c : path)
            narrow += static_cast<char>(c);
        std::ifstream in(narrow, std::ios::binary | std::ios::ate);
        if (!in)
            return kEFileNotFound;
        std::streamoff size = in.tellg();
        if (size < 0)
            return kEFail;
        if (static_cast<uint64_t>(size) > cap)
            return kEFileTooLarge;
        bytes.resize(static_cast<size_t>(size));
        in.seekg(0);
        if (size && !in.read(bytes.data(), size))
            return kEFail;
        return kOk;
    }
};

} // namespace

const MimePlatform& PortableMimePlatform()
{
    static const Portable p;
    return p;
}

#ifndef _WIN32
const MimePlatform& DefaultMimePlatform()
{
    return PortableMimePlatform();
}
#endif

} // namespace mirvak::email
