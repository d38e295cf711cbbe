// The RXML line format shared with the maker's other programs: UTF-16LE text,
// one level of blocks, one field a line, values written verbatim. A writer
// and a reader for it, and the load/save procedure every store follows
// (RxmlStore.h). No Windows headers: this builds natively and is fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// HRESULT-style results, spelled out so the portable code needs no <windows.h>.
using RxmlResult = int32_t;

namespace rxml {

constexpr RxmlResult kOk = 0;
constexpr RxmlResult kNenalezeno = 1;  // a search found nothing
constexpr RxmlResult kEFail = static_cast<RxmlResult>(0x80004005u);
constexpr RxmlResult kEInvalidArg = static_cast<RxmlResult>(0x80070057u);
constexpr RxmlResult kEHandle = static_cast<RxmlResult>(0x80070006u);
constexpr RxmlResult kEOutOfMemory = static_cast<RxmlResult>(0x8007000Eu);
constexpr RxmlResult kEFileTooLarge = static_cast<RxmlResult>(0x800700DFu);  // ERROR_FILE_TOO_LARGE

// A store file larger than this is refused rather than read whole into memory.
constexpr uint64_t kMaxVelikostSouboru = 16u * 1024u * 1024u;

// The file's bytes for a text: two bytes a character, little-endian, no BOM.
// wchar_t holds UTF-16 code units on both sides (only the low 16 bits count).
std::vector<uint8_t> KodovatUtf16(const std::wstring& text);
// The text of a file's bytes; an odd last byte is ignored.
std::wstring DekodovatUtf16(const uint8_t* data, size_t size);

// Case-insensitive, locale-aware order of names: lstrcmpiW on Windows, a
// simple case fold natively.
int PorovnatBezVelikosti(const std::wstring& a, const std::wstring& b);

// 0 when `path` names an existing regular file (not a folder).
bool SouborExistuje(const std::wstring& path);

} // namespace rxml

// Writes one RXML file. The file is written to a temporary file beside the
// target and moved over it only by a successful Close, so a save that ends
// early never leaves the store truncated. One open file at a time, one thread.
class RxmlWriter {
public:
    RxmlWriter();
    ~RxmlWriter();  // without a successful Close the temporary file is discarded
    RxmlWriter(const RxmlWriter&) = delete;
    RxmlWriter& operator=(const RxmlWriter&) = delete;

    // Discards a file still open, then starts writing `path` anew.
    RxmlResult Create(const std::wstring& path);
    // E_HANDLE without a file; closes the open element first.
    RxmlResult BeginElement(const std::wstring& name);
    // E_HANDLE without a file or an open element.
    RxmlResult WriteText(const std::wstring& name, const std::wstring& value);
    RxmlResult WriteInt(const std::wstring& name, int32_t value);
    // 0 and nothing written when no element is open.
    RxmlResult EndElement();
    // EndElement, then flushes the temporary file and replaces the target
    // with it. On failure the target is left as it was.
    RxmlResult Close();
    // Drops what was written; the target is untouched.
    void Abandon();

    bool IsOpen() const;
    const std::wstring& OpenElement() const { return element_; }

    struct Soubor;  // the platform's file (RxmlSoubor.cpp)

private:
    RxmlResult Zapsat(const std::wstring& line);

    Soubor* soubor_ = nullptr;
    std::wstring cil_;      // the store file that Close replaces
    std::wstring element_;  // the open block; empty between blocks
};

// Reads one RXML file: the whole text, then item blocks in file order.
class RxmlReader {
public:
    // Reads the existing file whole. E_FAIL when it cannot be opened (missing,
    // locked), E_FILE_TOO_LARGE above kMaxVelikostSouboru, else the read's error.
    RxmlResult Load(const std::wstring& path);
    // As a successful Load of a file with these bytes (tests, fuzzing).
    void LoadBytes(const uint8_t* data, size_t size);
    void LoadText(std::wstring text);

    // 0 when the next block of `name` was found (Item() is its content), 1 when
    // none follows or nothing is loaded.
    RxmlResult FindNextItem(const std::wstring& name);
    // From the current item: 0 and `text` set when the field is there, 1 (text
    // unchanged) when not, E_HANDLE when nothing is loaded or the item is empty.
    RxmlResult ReadField(const std::wstring& name, std::wstring& text) const;

    int32_t Position() const { return pozice_; }
    const std::wstring& Text() const { return text_; }
    const std::wstring& Item() const { return polozka_; }

private:
    int32_t pozice_ = -1;
    std::wstring text_;
    std::wstring polozka_;
};
