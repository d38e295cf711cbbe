// A temporary folder of the test's own on either side, removed with its files,
// and the bytes of the files in it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tonbar::test {

class SlozkaTestu {
public:
    SlozkaTestu()
    {
        static int citac = 0;
        auto cas = std::chrono::steady_clock::now().time_since_epoch().count();
        cesta_ = std::filesystem::temp_directory_path() /
                 ("tonbar-rxml-" + std::to_string(cas) + "-" + std::to_string(++citac));
        std::filesystem::create_directories(cesta_);
    }
    ~SlozkaTestu()
    {
        std::error_code ec;
        std::filesystem::remove_all(cesta_, ec);
    }
    SlozkaTestu(const SlozkaTestu&) = delete;
    SlozkaTestu& operator=(const SlozkaTestu&) = delete;
    std::wstring Soubor(const std::wstring& name) const { return (cesta_ / name).wstring(); }
    std::wstring Cesta() const { return cesta_.wstring(); }

private:
    std::filesystem::path cesta_;
};

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
