// The system's side of the composer: the ANSI code page, the classes root's
// "Content Type" values, the tick count and the local time zone.
#include "email/mime/MimePlatform.h"

#include <windows.h>

#include <cstdio>

namespace mirvak::email {

namespace {

class Windows final : public MimePlatform {
public:
    std::string ToCodePage(const std::wstring& text) const override
    {
        if (text.empty())
            return {};
        // The converted length in bytes, which differs from the character
        // count on multi-byte code pages.
        int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
        if (n <= 0)
            return {};
        std::string out(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
        return out;
    }
    std::wstring FromCodePage(const std::string& bytes) const override
    {
        if (bytes.empty())
            return {};
        int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (n <= 0)
            return {};
        std::wstring out(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
        return out;
    }
    std::wstring CharsetName() const override
    {
        UINT cp = GetACP();
        switch (cp) {
        case 874: return L"windows-874";
        case 932: return L"shift_jis";
        case 936: return L"gb2312";
        case 949: return L"ks_c_5601-1987";
        case 950: return L"big5";
        case 20127: return L"us-ascii";
        case 28591: return L"iso-8859-1";
        case 28592: return L"iso-8859-2";
        case 65001: return L"utf-8";
        default: break;
        }
        wchar_t b[32];
        std::swprintf(b, 32, L"windows-%u", cp);
        return b;
    }
    std::wstring ContentTypeOf(const std::wstring& extension) const override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, extension.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return {};
        wchar_t value[130] = {};
        DWORD type = 0, size = sizeof(value) - sizeof(wchar_t);
        LSTATUS s = RegQueryValueExW(key, L"Content Type", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (s != ERROR_SUCCESS || type != REG_SZ)
            return {};
        return value;
    }
    uint32_t Milliseconds() const override { return GetTickCount(); }
    void Now(MimeTime& t, int32_t& utcOffset) const override
    {
        SYSTEMTIME st{};
        GetLocalTime(&st);
        t.year = st.wYear;
        t.month = st.wMonth;
        t.dayOfWeek = st.wDayOfWeek;
        t.day = st.wDay;
        t.hour = st.wHour;
        t.minute = st.wMinute;
        t.second = st.wSecond;
        t.milliseconds = st.wMilliseconds;
        TIME_ZONE_INFORMATION tz{};
        DWORD state = GetTimeZoneInformation(&tz);
        LONG bias = tz.Bias;
        if (state == TIME_ZONE_ID_STANDARD)
            bias += tz.StandardBias;
        else if (state == TIME_ZONE_ID_DAYLIGHT)
            bias += tz.DaylightBias;
        utcOffset = UtcOffsetFromBias(bias);
    }
    int32_t ReadWholeFile(const std::wstring& path, std::string& bytes, uint64_t cap) const override
    {
        bytes.clear();
        // Shared for reading and writing: a recording open in the player or
        // being listed is still sent.
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return HRESULT_FROM_WIN32(GetLastError());
        struct Closer {
            HANDLE h;
            ~Closer() { CloseHandle(h); }
        } closer{f};
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(f, &size))
            return HRESULT_FROM_WIN32(GetLastError());
        if (static_cast<uint64_t>(size.QuadPart) > cap)
            return kEFileTooLarge;
        try {
            bytes.resize(static_cast<size_t>(size.QuadPart));
        } catch (...) {
            return kEOutOfMemory;
        }
        uint64_t done = 0;
        while (done < bytes.size()) {
            DWORD want = static_cast<DWORD>(bytes.size() - done > (1u << 26) ? (1u << 26) : bytes.size() - done);
            DWORD got = 0;
            if (!ReadFile(f, bytes.data() + done, want, &got, nullptr))
                return HRESULT_FROM_WIN32(GetLastError());
            if (got == 0)
                return kEFail;
            done += got;
        }
        return kOk;
    }
    void Trace(const std::wstring& text) const override { OutputDebugStringW(text.c_str()); }
};

} // namespace

const MimePlatform& DefaultMimePlatform()
{
    static const Windows w;
    return w;
}

} // namespace mirvak::email
