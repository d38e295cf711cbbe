// Reading the real program's windows from another process: the status
// bar's parts and the items of the list of recordings live in Tonbar's
// memory, so the answers are fetched through a buffer allocated there.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace tonbar::test {

// A buffer in another process, freed with the object.
class CiziPamet {
public:
    CiziPamet(HWND okno, size_t bajty)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(okno, &pid);
        proces_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (proces_)
            adresa_ = VirtualAllocEx(proces_, nullptr, bajty, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~CiziPamet()
    {
        if (adresa_)
            VirtualFreeEx(proces_, adresa_, 0, MEM_RELEASE);
        if (proces_)
            CloseHandle(proces_);
    }
    CiziPamet(const CiziPamet&) = delete;
    CiziPamet& operator=(const CiziPamet&) = delete;

    bool Ok() const { return adresa_ != nullptr; }
    void* Adresa() const { return adresa_; }
    bool Zapsat(const void* data, size_t n, size_t posun = 0) const
    {
        return WriteProcessMemory(proces_, static_cast<char*>(adresa_) + posun, data, n, nullptr) != FALSE;
    }
    bool Cist(void* data, size_t n, size_t posun = 0) const
    {
        return ReadProcessMemory(proces_, static_cast<char*>(adresa_) + posun, data, n, nullptr) != FALSE;
    }

private:
    HANDLE proces_ = nullptr;
    void* adresa_ = nullptr;
};

inline HWND Potomek(HWND rodic, const wchar_t* trida)
{
    return FindWindowExW(rodic, nullptr, trida, nullptr);
}

// The text of part `cast` of a status bar in another process.
inline std::wstring TextCastiStatusu(HWND status, int cast)
{
    constexpr size_t kZnaku = 1024;
    CiziPamet pamet(status, kZnaku * sizeof(wchar_t));
    if (!pamet.Ok())
        return L"<no memory>";
    wchar_t nula = 0;
    pamet.Zapsat(&nula, sizeof nula);
    DWORD_PTR delka = 0;
    if (!SendMessageTimeoutW(status, SB_GETTEXTLENGTHW, cast, 0, SMTO_ABORTIFHUNG, 5000, &delka) ||
        LOWORD(delka) >= kZnaku)
        return L"<too long>";
    DWORD_PTR r = 0;
    SendMessageTimeoutW(status, SB_GETTEXTW, cast, reinterpret_cast<LPARAM>(pamet.Adresa()), SMTO_ABORTIFHUNG, 5000,
                        &r);
    std::vector<wchar_t> text(kZnaku, L'\0');
    pamet.Cist(text.data(), (LOWORD(delka) + 1) * sizeof(wchar_t));
    text.back() = 0;
    return text.data();
}

// The first-column texts of a list view in another process.
inline std::vector<std::wstring> PolozkySeznamu(HWND seznam)
{
    std::vector<std::wstring> vysledek;
    DWORD_PTR pocet = 0;
    if (!SendMessageTimeoutW(seznam, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &pocet))
        return vysledek;
    constexpr size_t kZnaku = 512;
    CiziPamet pamet(seznam, sizeof(LVITEMW) + kZnaku * sizeof(wchar_t));
    if (!pamet.Ok())
        return vysledek;
    auto* text = reinterpret_cast<wchar_t*>(static_cast<char*>(pamet.Adresa()) + sizeof(LVITEMW));
    for (DWORD_PTR i = 0; i < pocet; ++i) {
        LVITEMW polozka{};
        polozka.iSubItem = 0;
        polozka.pszText = text;
        polozka.cchTextMax = kZnaku;
        pamet.Zapsat(&polozka, sizeof polozka);
        DWORD_PTR delka = 0;
        SendMessageTimeoutW(seznam, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(pamet.Adresa()), SMTO_ABORTIFHUNG,
                            5000, &delka);
        std::vector<wchar_t> buffer(kZnaku, L'\0');
        pamet.Cist(buffer.data(), kZnaku * sizeof(wchar_t), sizeof(LVITEMW));
        buffer.back() = 0;
        vysledek.emplace_back(buffer.data());
    }
    return vysledek;
}

} // namespace tonbar::test
