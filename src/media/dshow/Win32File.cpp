#include "media/dshow/Win32File.h"

#include "media/dshow/DShowBase.h"

#include <algorithm>

namespace mirvak::direct_show {

namespace {

HRESULT LastError() {
    DWORD e = GetLastError();
    return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

} // namespace

media::HResult Win32RandomAccessFile::Size(uint64_t* size) {
    LARGE_INTEGER s{};
    if (!GetFileSizeEx(file_, &s)) return LastError();
    *size = static_cast<uint64_t>(s.QuadPart);
    return S_OK;
}

media::HResult Win32RandomAccessFile::ReadAt(uint64_t offset, void* data, size_t size, size_t* read) {
    *read = 0;
    while (*read < size) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - *read, 1u << 20));
        OVERLAPPED o = At(offset + *read);
        DWORD n = 0;
        if (!ReadFile(file_, static_cast<BYTE*>(data) + *read, chunk, &n, &o)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return LastError();
        }
        if (n == 0) break;
        *read += n;
    }
    return S_OK;
}

media::HResult Win32RandomAccessFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 20));
        OVERLAPPED o = At(offset + done);
        DWORD n = 0;
        if (!WriteFile(file_, static_cast<const BYTE*>(data) + done, chunk, &n, &o)) return LastError();
        if (n == 0) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
        done += n;
    }
    return S_OK;
}

media::HResult Win32RandomAccessFile::Truncate(uint64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file_)) return LastError();
    return S_OK;
}

media::HResult Win32RandomAccessFile::Flush() { return FlushFileBuffers(file_) ? S_OK : LastError(); }

HRESULT CompleteUnfinishedRecording(const wchar_t* path, media::AsfRepairResult* result) {
    UniqueHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        HRESULT hr = LastError();
        file.release();
        return hr;
    }
    Win32RandomAccessFile io(file.get());
    return media::CompleteUnfinishedAsf(io, result);
}

} // namespace mirvak::direct_show
