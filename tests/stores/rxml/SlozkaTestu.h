// A temporary folder of the test's own on either side, removed with its files.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "harness/TestFolder.h"
#else
#include <cstdlib>
#endif
#include <filesystem>

namespace tonbar::test {

#ifdef _WIN32
class SlozkaTestu {
public:
    std::wstring Soubor(const std::wstring& name) const { return folder_.File(name); }
    const std::wstring& Cesta() const { return folder_.Path(); }

private:
    TestFolder folder_;
};
#else
class SlozkaTestu {
public:
    SlozkaTestu()
    {
        std::string tmpl = std::filesystem::temp_directory_path().string() + "/tonbar-rxml-XXXXXX";
        cesta_ = mkdtemp(tmpl.data()) ? std::wstring(tmpl.begin(), tmpl.end()) : std::wstring();
    }
    ~SlozkaTestu()
    {
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(cesta_), ec);
    }
    SlozkaTestu(const SlozkaTestu&) = delete;
    SlozkaTestu& operator=(const SlozkaTestu&) = delete;
    std::wstring Soubor(const std::wstring& name) const { return cesta_ + L"/" + name; }
    const std::wstring& Cesta() const { return cesta_; }

private:
    std::wstring cesta_;
};
#endif

inline std::vector<uint8_t> CistBajty(const std::wstring& path)
{
    std::ifstream f(std::filesystem::path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void ZapsatBajty(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// UTF-16LE bytes of a char16_t literal, built independently of the code under test.
inline std::vector<uint8_t> Utf16Le(const std::u16string& s)
{
    std::vector<uint8_t> b;
    for (char16_t c : s) {
        b.push_back(static_cast<uint8_t>(c & 0xFF));
        b.push_back(static_cast<uint8_t>(c >> 8));
    }
    return b;
}

} // namespace tonbar::test
