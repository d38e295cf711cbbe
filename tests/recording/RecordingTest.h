// Shared pieces of the recording tests: COM for a test, a temporary folder
// of the test's own, small file helpers, a custom profile file.
#pragma once

#include <windows.h>
#include "harness/TestFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace recording_test {

using ComScope = tonbar::test::ComScope;
using TempDir = tonbar::test::TestFolder;

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void WriteText(const std::wstring& path, const std::string& text)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (!text.empty())
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(written, text.size());
}

inline uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// True when nobody holds the file open against deletion: it can be opened
// for delete without sharing.
inline bool NotHeldOpen(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

// A custom profile: one WMA stream, 22050 Hz stereo at 32 kbit/s.
inline const wchar_t kPrx[] =
    L"<profile version=\"589824\" storageformat=\"1\" name=\"Hlas a hudba\" description=\"Vlastní profil\">\r\n"
    L" <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\"\r\n"
    L"   streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"32024\" bufferwindow=\"-1\">\r\n"
    L"  <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\"\r\n"
    L"    btemporalcompression=\"0\" lsamplesize=\"1487\">\r\n"
    L"   <waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"22050\" nAvgBytesPerSec=\"4003\"\r\n"
    L"     nBlockAlign=\"1487\" wBitsPerSample=\"16\" codecdata=\"0044000017003D170000\"/>\r\n"
    L"  </wmmediatype>\r\n"
    L" </streamconfig>\r\n"
    L"</profile>";

inline std::string Bajty(const std::wstring& text, bool bom)
{
    std::string b;
    if (bom)
        b = "\xFF\xFE";
    b.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return b;
}

} // namespace recording_test
