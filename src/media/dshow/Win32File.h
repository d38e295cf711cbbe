// The repair of unfinished recordings over Windows files.
#pragma once

#include "media/asf/AsfRepair.h"

#include <windows.h>

namespace mirvak::direct_show {

// A file handle opened with read and write access (not owned).
class Win32RandomAccessFile : public media::IRandomAccessFile {
public:
    explicit Win32RandomAccessFile(HANDLE file) : file_(file) {}
    media::HResult Size(uint64_t* size) override;
    media::HResult ReadAt(uint64_t offset, void* data, size_t size, size_t* read) override;
    media::HResult WriteAt(uint64_t offset, const void* data, size_t size) override;
    media::HResult Truncate(uint64_t size) override;
    media::HResult Flush() override;

private:
    HANDLE file_;
};

// Finishes a recording its writer left unfinished (CompleteUnfinishedAsf's
// results). The file is opened for reading and writing, shared for reading
// only, so a file some program still writes is refused with
// ERROR_SHARING_VIOLATION and left alone.
HRESULT CompleteUnfinishedRecording(const wchar_t* path, media::AsfRepairResult* result = nullptr);

} // namespace mirvak::direct_show
