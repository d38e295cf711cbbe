// Completing a recording whose writer never finished it: the process was
// killed, the machine lost power, or writing failed (a full disk). The
// writer keeps such a file readable (header in its broadcast form, whole
// packets), but without sizes, durations and index players show no length
// and cannot seek. This finds the whole packets and finishes the file from
// them, as the writer's Close would have.
#pragma once

#include "media/MediaTypes.h"

namespace mirvak::media {

// A file open for reading and writing.
class IRandomAccessFile {
public:
    virtual ~IRandomAccessFile() = default;
    virtual HResult Size(uint64_t* size) = 0;
    // Fewer than `size` bytes only at the end of the file.
    virtual HResult ReadAt(uint64_t offset, void* data, size_t size, size_t* read) = 0;
    virtual HResult WriteAt(uint64_t offset, const void* data, size_t size) = 0;
    virtual HResult Truncate(uint64_t size) = 0;
    virtual HResult Flush() = 0;
};

struct AsfRepairResult {
    uint64_t packets = 0;        // whole packets kept
    uint64_t durationMs = 0;     // presentation time they cover, without preroll
    uint64_t bytesDropped = 0;   // a torn last packet or other bytes after the last whole one
    bool indexWritten = false;   // false when there was no room for it (the file still seeks)
};

// kFalse: not an unfinished file of one audio stream with fixed-size
// packets (finished files and other files are not touched).
// kOk: the file is finished now.
// kEInvalidData: not even one whole packet (the file is not touched).
// Any other failure comes from the file; the flags are written last, so
// the file then still reads as unfinished and may be completed later.
HResult CompleteUnfinishedAsf(IRandomAccessFile& file, AsfRepairResult* result = nullptr);

#if !defined(_WIN32)
// POSIX file for native tools and tests.
class PosixRandomAccessFile : public IRandomAccessFile {
public:
    ~PosixRandomAccessFile() override;
    HResult Open(const char* path);   // existing file, read and write
    HResult Size(uint64_t* size) override;
    HResult ReadAt(uint64_t offset, void* data, size_t size, size_t* read) override;
    HResult WriteAt(uint64_t offset, const void* data, size_t size) override;
    HResult Truncate(uint64_t size) override;
    HResult Flush() override;

private:
    int fd_ = -1;
};
#endif

} // namespace mirvak::media
