// The FTP places: named, preconfigured FTP destinations shared with the
// maker's other programs through the store file "ftp_mista.rxml".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct FtpPlace {
    std::wstring heslo;  // kept and stored as plain text
    std::wstring nazev;  // unique in the list, regardless of letter case
    bool pasivni_rezim = false;
    std::wstring server;
    std::wstring slozka;  // "\" between folder names, relative to the login folder
    std::wstring uzivatel;
};

// The application's list of places, in the order the dialogs show: as loaded
// (sorted by name) with later additions at the end.
class FtpPlaceList {
public:
    // From the resolved store file; 1 and an empty list when there is no file
    // yet, a negative code (empty list) when it cannot be read.
    HRESULT Load();
    // To the resolved store file; the write's result.
    HRESULT Save() const;

    // The first place whose name equals `nazev` regardless of case; -1 when none.
    int FindByName(const std::wstring& nazev) const;
    void Append(const FtpPlace& misto) { mista_.push_back(misto); }
    HRESULT RemoveAt(int index);
    // Copies all six fields over the place at `index`.
    HRESULT ReplaceAt(int index, const FtpPlace& misto);
    int Count() const { return static_cast<int>(mista_.size()); }
    bool Contains(int index) const { return index >= 0 && index < Count(); }
    const FtpPlace& At(int index) const { return mista_[static_cast<size_t>(index)]; }
    void Clear() { mista_.clear(); }

private:
    std::vector<FtpPlace> mista_;
};
