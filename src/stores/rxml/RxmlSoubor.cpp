#include "stores/rxml/RxmlSoubor.h"

#include <atomic>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::atomic<unsigned> g_poradi{0};

} // namespace

#ifdef _WIN32

struct RxmlWriter::Soubor {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::wstring cesta;
};

namespace {

RxmlResult PosledniChyba()
{
    DWORD e = GetLastError();
    return e == 0 ? rxml::kEFail : static_cast<RxmlResult>((e & 0xFFFFu) | 0x80070000u);
}

} // namespace

namespace rxml {

bool SouborExistuje(const std::wstring& path)
{
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

RxmlResult VytvoritDocasny(const std::wstring& cil, RxmlWriter::Soubor*& soubor)
{
    auto* s = new RxmlWriter::Soubor;
    s->cesta = cil + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(g_poradi++) + L".tmp";
    s->h = CreateFileW(s->cesta.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (s->h == INVALID_HANDLE_VALUE) {
        RxmlResult hr = PosledniChyba();
        delete s;
        return hr;
    }
    soubor = s;
    return kOk;
}

RxmlResult ZapsatSoubor(RxmlWriter::Soubor* soubor, const uint8_t* data, size_t size)
{
    DWORD zapsano = 0;
    if (!WriteFile(soubor->h, data, static_cast<DWORD>(size), &zapsano, nullptr))
        return PosledniChyba();
    if (zapsano != size)
        return static_cast<RxmlResult>(0x8007001Du);  // ERROR_WRITE_FAULT
    return kOk;
}

void ZahoditSoubor(RxmlWriter::Soubor* soubor)
{
    CloseHandle(soubor->h);
    DeleteFileW(soubor->cesta.c_str());
    delete soubor;
}

RxmlResult DokoncitSoubor(RxmlWriter::Soubor* soubor, const std::wstring& cil)
{
    RxmlResult hr = kOk;
    if (!FlushFileBuffers(soubor->h))
        hr = PosledniChyba();
    HANDLE h = soubor->h;
    soubor->h = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h) && hr == kOk)
        hr = PosledniChyba();
    if (hr == kOk &&
        !MoveFileExW(soubor->cesta.c_str(), cil.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        hr = PosledniChyba();
    if (hr != kOk)
        DeleteFileW(soubor->cesta.c_str());
    delete soubor;
    return hr;
}

RxmlResult NacistSoubor(const std::wstring& path, std::vector<uint8_t>& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return kEFail;
    struct Zavrit {
        HANDLE h;
        ~Zavrit() { CloseHandle(h); }
    } zavrit{h};
    LARGE_INTEGER velikost{};
    if (!GetFileSizeEx(h, &velikost))
        return PosledniChyba();
    if (static_cast<uint64_t>(velikost.QuadPart) > kMaxVelikostSouboru)
        return kEFileTooLarge;
    bytes.resize(static_cast<size_t>(velikost.QuadPart));
    if (bytes.empty())
        return kOk;
    DWORD precteno = 0;
    if (!ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &precteno, nullptr))
        return PosledniChyba();
    if (precteno != bytes.size()) {
        SetLastError(ERROR_HANDLE_EOF);
        return PosledniChyba();
    }
    return kOk;
}

} // namespace rxml

#else // POSIX

struct RxmlWriter::Soubor {
    int fd = -1;
    std::string cesta;
};

namespace {

RxmlResult ChybaErrno(int e)
{
    switch (e) {
    case ENOENT: return static_cast<RxmlResult>(0x80070003u);   // path not found
    case EACCES:
    case EPERM: return static_cast<RxmlResult>(0x80070005u);    // access denied
    case ENOSPC: return static_cast<RxmlResult>(0x80070070u);   // disk full
    case EISDIR: return static_cast<RxmlResult>(0x80070005u);
    default: return rxml::kEFail;
    }
}

// Wide path as UTF-8 (wchar_t is a code point here).
std::string Utf8(const std::wstring& w)
{
    std::string s;
    for (wchar_t wc : w) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else if (c < 0x800) {
            s += static_cast<char>(0xC0 | (c >> 6));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += static_cast<char>(0xE0 | (c >> 12));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (c >> 18));
            s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return s;
}

} // namespace

namespace rxml {

bool SouborExistuje(const std::wstring& path)
{
    struct stat st{};
    return stat(Utf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

RxmlResult VytvoritDocasny(const std::wstring& cil, RxmlWriter::Soubor*& soubor)
{
    auto* s = new RxmlWriter::Soubor;
    s->cesta = Utf8(cil) + "." + std::to_string(getpid()) + "-" + std::to_string(g_poradi++) + ".tmp";
    s->fd = open(s->cesta.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (s->fd < 0) {
        RxmlResult hr = ChybaErrno(errno);
        delete s;
        return hr;
    }
    soubor = s;
    return kOk;
}

RxmlResult ZapsatSoubor(RxmlWriter::Soubor* soubor, const uint8_t* data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(soubor->fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ChybaErrno(errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return kOk;
}

void ZahoditSoubor(RxmlWriter::Soubor* soubor)
{
    close(soubor->fd);
    unlink(soubor->cesta.c_str());
    delete soubor;
}

RxmlResult DokoncitSoubor(RxmlWriter::Soubor* soubor, const std::wstring& cil)
{
    RxmlResult hr = kOk;
    if (fsync(soubor->fd) != 0)
        hr = ChybaErrno(errno);
    if (close(soubor->fd) != 0 && hr == kOk)
        hr = ChybaErrno(errno);
    soubor->fd = -1;
    if (hr == kOk && rename(soubor->cesta.c_str(), Utf8(cil).c_str()) != 0)
        hr = ChybaErrno(errno);
    if (hr != kOk)
        unlink(soubor->cesta.c_str());
    delete soubor;
    return hr;
}

RxmlResult NacistSoubor(const std::wstring& path, std::vector<uint8_t>& bytes)
{
    int fd = open(Utf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kEFail;
    struct Zavrit {
        int fd;
        ~Zavrit() { close(fd); }
    } zavrit{fd};
    struct stat st{};
    if (fstat(fd, &st) != 0)
        return ChybaErrno(errno);
    if (!S_ISREG(st.st_mode))
        return kEFail;
    if (static_cast<uint64_t>(st.st_size) > kMaxVelikostSouboru)
        return kEFileTooLarge;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t hotovo = 0;
    while (hotovo < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + hotovo, bytes.size() - hotovo);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ChybaErrno(errno);
        if (n == 0)
            return static_cast<RxmlResult>(0x80070026u);  // ERROR_HANDLE_EOF: shorter than its size
        hotovo += static_cast<size_t>(n);
    }
    return kOk;
}

} // namespace rxml

#endif
