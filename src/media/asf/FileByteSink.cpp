// stdio-backed byte sink. Appends go to the end of the file even after a
// patch moved the position, so WriteAt never disturbs the stream of packets.
#include "media/asf/AsfWriter.h"

#include <cerrno>
#include <cstdio>
#include <sys/types.h>

namespace mirvak::media {

namespace {

FILE* AsFile(void* p) { return static_cast<FILE*>(p); }

// 64-bit positions on both sides (MinGW's off_t is 32 bits).
int Seek(FILE* f, uint64_t offset, int origin) {
#if defined(_WIN32)
    return _fseeki64(f, static_cast<long long>(offset), origin);
#else
    return fseeko(f, static_cast<off_t>(offset), origin);
#endif
}

// errno as the HRESULT of the matching Windows error.
HResult FromErrno(int e, HResult fallback) {
    switch (e) {
    case ENOENT: return static_cast<HResult>(0x80070003u);   // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS: return static_cast<HResult>(0x80070005u);    // ERROR_ACCESS_DENIED
    case ENOSPC: return static_cast<HResult>(0x80070070u);   // ERROR_DISK_FULL
    case EISDIR: return static_cast<HResult>(0x80070005u);
    case ENOMEM: return kEOutOfMemory;
    default: return fallback;
    }
}

} // namespace

FileByteSink::~FileByteSink() {
    if (file_) std::fclose(AsFile(file_));
}

HResult FileByteSink::Create(const std::string& path) {
    if (file_) return kEUnexpected;
    if (path.empty()) return kEInvalidArg;
    errno = 0;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return FromErrno(errno, kEFail);
    file_ = f;
    return kOk;
}

HResult FileByteSink::Write(const void* data, size_t size) {
    if (!file_) return kEUnexpected;
    if (size == 0) return kOk;
    if (!data) return kEInvalidArg;
    FILE* f = AsFile(file_);
    if (Seek(f, 0, SEEK_END) != 0) return kEWriteFault;
    errno = 0;
    if (std::fwrite(data, 1, size, f) != size) return FromErrno(errno, kEWriteFault);
    return kOk;
}

HResult FileByteSink::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!file_) return kEUnexpected;
    if (size == 0) return kOk;
    if (!data || offset > static_cast<uint64_t>(INT64_MAX)) return kEInvalidArg;
    FILE* f = AsFile(file_);
    if (Seek(f, offset, SEEK_SET) != 0) return kEWriteFault;
    errno = 0;
    if (std::fwrite(data, 1, size, f) != size) return FromErrno(errno, kEWriteFault);
    return kOk;
}

HResult FileByteSink::Flush() {
    if (!file_) return kEUnexpected;
    errno = 0;
    if (std::fflush(AsFile(file_)) != 0) return FromErrno(errno, kEWriteFault);
    return kOk;
}

HResult FileByteSink::CloseFile() {
    if (!file_) return kFalse;
    FILE* f = AsFile(file_);
    file_ = nullptr;
    errno = 0;
    if (std::fclose(f) != 0) return FromErrno(errno, kEWriteFault);
    return kOk;
}

} // namespace mirvak::media
