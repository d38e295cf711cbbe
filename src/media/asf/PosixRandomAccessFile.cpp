#include "media/asf/AsfRepair.h"

#if !defined(_WIN32)

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirvak::media {

namespace {

HResult FromErrno() {
    switch (errno) {
    case ENOENT: return static_cast<HResult>(0x80070002u);   // ERROR_FILE_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS: return static_cast<HResult>(0x80070005u);    // ERROR_ACCESS_DENIED
    case ENOSPC: return static_cast<HResult>(0x80070070u);   // ERROR_DISK_FULL
    default: return kEFail;
    }
}

} // namespace

PosixRandomAccessFile::~PosixRandomAccessFile() {
    if (fd_ >= 0) close(fd_);
}

HResult PosixRandomAccessFile::Open(const char* path) {
    if (fd_ >= 0) return kEUnexpected;
    fd_ = open(path, O_RDWR);
    return fd_ >= 0 ? kOk : FromErrno();
}

HResult PosixRandomAccessFile::Size(uint64_t* size) {
    struct stat st {};
    if (fstat(fd_, &st) != 0) return FromErrno();
    *size = static_cast<uint64_t>(st.st_size);
    return kOk;
}

HResult PosixRandomAccessFile::ReadAt(uint64_t offset, void* data, size_t size, size_t* read) {
    *read = 0;
    while (*read < size) {
        ssize_t n = pread(fd_, static_cast<char*>(data) + *read, size - *read, static_cast<off_t>(offset + *read));
        if (n < 0) {
            if (errno == EINTR) continue;
            return FromErrno();
        }
        if (n == 0) break;
        *read += static_cast<size_t>(n);
    }
    return kOk;
}

HResult PosixRandomAccessFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd_, static_cast<const char*>(data) + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return FromErrno();
        }
        if (n == 0) return kEWriteFault;
        done += static_cast<size_t>(n);
    }
    return kOk;
}

HResult PosixRandomAccessFile::Truncate(uint64_t size) {
    return ftruncate(fd_, static_cast<off_t>(size)) == 0 ? kOk : FromErrno();
}

HResult PosixRandomAccessFile::Flush() { return fsync(fd_) == 0 ? kOk : FromErrno(); }

} // namespace mirvak::media

#endif
