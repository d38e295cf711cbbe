// Small pieces every Windows-side test needs: COM for the test's thread, a folder of the test's own, removed
// with everything in it, and file facts.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

namespace tonbar::test {

struct ComScope {
    HRESULT hr;
    ComScope() : hr(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(hr))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

class TestFolder {
public:
    TestFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int counter = 0;
        path_ = std::wstring(base) + L"tonbar-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TestFolder() { Remove(path_); }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

    static void Remove(const std::wstring& dir);

private:
    std::wstring path_;
};

// The names in a folder, without "." and "..".
inline std::vector<std::wstring> Soubory(const std::wstring& dir)
{
    std::vector<std::wstring> v;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    for (BOOL dalsi = h != INVALID_HANDLE_VALUE; dalsi; dalsi = FindNextFileW(h, &fd))
        if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0)
            v.push_back(fd.cFileName);
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    return v;
}

inline void TestFolder::Remove(const std::wstring& dir)
{
    for (const std::wstring& nazev : Soubory(dir))
        if (!DeleteFileW((dir + L"\\" + nazev).c_str()))
            Remove(dir + L"\\" + nazev);
    RemoveDirectoryW(dir.c_str());
}

inline uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d))
        return 0;
    return (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

// True when nobody holds the file open against deletion.
inline bool NotHeldOpen(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

} // namespace tonbar::test
