// Modal dialogs run on the test's thread while a driver thread finds, types and clicks (posted, so a nested
// dialog runs its own loop); and the real program's status bar and list, read from outside.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tonbar::test {

inline std::wstring Text(HWND okno, int prvek = 0)
{
    wchar_t t[2048] = {};
    HWND h = prvek ? GetDlgItem(okno, prvek) : okno;
    // WM_GETTEXT also reads the controls of another process.
    SendMessageTimeoutW(h, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG, 5000, nullptr);
    return t;
}

inline DWORD ProcesOkna(HWND okno)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(okno, &pid);
    return pid;
}

inline std::wstring TridaOkna(HWND okno)
{
    wchar_t trida[64] = {};
    GetClassNameW(okno, trida, 64);
    return trida;
}

// The one search of top-level windows: the first for which `vyhovuje` holds.
inline HWND NajitOkno(const std::function<bool(HWND)>& vyhovuje)
{
    using Hledani = std::pair<const std::function<bool(HWND)>*, HWND>;  // the test, what it found
    Hledani h{&vyhovuje, nullptr};
    EnumWindows(
        [](HWND okno, LPARAM l) -> BOOL {
            auto* h = reinterpret_cast<Hledani*>(l);
            h->second = (*h->first)(okno) ? okno : nullptr;
            return !h->second;
        },
        reinterpret_cast<LPARAM>(&h));
    return h.second;
}

// The visible top-level window of class `trida` of process `pid`.
inline HWND OknoProcesu(DWORD pid, const wchar_t* trida)
{
    return NajitOkno([&](HWND o) { return ProcesOkna(o) == pid && TridaOkna(o) == trida && IsWindowVisible(o); });
}

// The visible, enabled dialog (#32770) whose title begins with `titulek` and that holds control `prvek` (0:
// any); of this process unless `jinyProces`. Enabled: of nested modal dialogs, the innermost.
inline HWND NajitDialog(const std::wstring& titulek = L"", int prvek = 0, bool jinyProces = false)
{
    return NajitOkno([&](HWND o) {
        return (jinyProces || ProcesOkna(o) == GetCurrentProcessId()) && TridaOkna(o) == L"#32770" &&
               IsWindowVisible(o) && IsWindowEnabled(o) && Text(o).rfind(titulek, 0) == 0 &&
               (!prvek || GetDlgItem(o, prvek));
    });
}

// Polls `podminka` every 20 ms for at most `ms`.
inline bool PockatNa(const std::function<bool()>& podminka, DWORD ms = 10000)
{
    for (DWORD start = GetTickCount(); !podminka(); Sleep(20))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

// Delivers the messages waiting for this thread.
inline void Pumpovat()
{
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// PockatNa for windows of this thread: delivers its messages while it polls.
inline bool Cekat(const std::function<bool()>& podminka, DWORD ms = 10000)
{
    return PockatNa([&] {
        Pumpovat();
        return podminka();
    }, ms);
}

inline HWND CekatNaDialog(const std::wstring& titulek = L"", int prvek = 0, DWORD ms = 10000, bool jinyProces = false)
{
    HWND nalez = nullptr;
    PockatNa([&] { return (nalez = NajitDialog(titulek, prvek, jinyProces)) != nullptr; }, ms);
    return nalez;
}

inline bool CekatNaZavreni(HWND okno, DWORD ms = 10000)
{
    return PockatNa([okno] { return !IsWindow(okno) || !IsWindowVisible(okno); }, ms);
}

inline void Kliknout(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Sets a control's text as typing would (an edit notifies its parent).
inline void Napsat(HWND dialog, int id, const std::wstring& text)
{
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Selects row `radek` of a list or combo box and tells the dialog.
inline void Vybrat(HWND dialog, int id, int radek, bool combo = false)
{
    HWND s = GetDlgItem(dialog, id);
    SendMessageW(s, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(radek), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE), reinterpret_cast<LPARAM>(s));
}

// Row `i` of a list box (or combo box), all rows, the selected row ("" when none).
inline std::wstring TextPolozky(HWND seznam, int i, bool combo = false)
{
    wchar_t t[256] = {};
    SendMessageW(seznam, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t));
    return t;
}
inline std::vector<std::wstring> Polozky(HWND dlg, int id, bool combo = false)
{
    HWND s = GetDlgItem(dlg, id);
    std::vector<std::wstring> v;
    for (int i = 0; i < SendMessageW(s, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0); ++i)
        v.push_back(TextPolozky(s, i, combo));
    return v;
}
inline std::wstring Vybrana(HWND dlg, int id)
{
    LRESULT i = SendDlgItemMessageW(dlg, id, LB_GETCURSEL, 0, 0);
    return i < 0 ? L"" : TextPolozky(GetDlgItem(dlg, id), static_cast<int>(i));
}

// Returns once the dialog's thread has finished what it was handling.
inline void Synchronizovat(HWND dialog) { SendMessageW(dialog, WM_NULL, 0, 0); }

// Runs `modal` here while `ridic` drives it from a thread of its own; what `modal` returned. The driver must
// end the dialog.
inline INT_PTR Ridit(const std::function<INT_PTR()>& modal, const std::function<void()>& ridic)
{
    std::thread t(ridic);
    INT_PTR r = modal();
    t.join();
    return r;
}

inline HWND Potomek(HWND rodic, const wchar_t* trida) { return FindWindowExW(rodic, nullptr, trida, nullptr); }

// Sends `zprava` to a window of another process with a zeroed buffer of `bajtu` bytes there, into which
// `vstup` (given the buffer's address there) writes first; what the buffer holds afterwards.
inline std::vector<char> SCiziPameti(HWND okno, UINT zprava, WPARAM w, size_t bajtu,
                                     const std::function<std::vector<char>(char*)>& vstup)
{
    std::unique_ptr<void, decltype(&CloseHandle)> proces(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, ProcesOkna(okno)), &CloseHandle);
    std::vector<char> data(bajtu, 0);
    auto* adresa = proces ? static_cast<char*>(VirtualAllocEx(proces.get(), nullptr, bajtu, MEM_COMMIT | MEM_RESERVE,
                                                              PAGE_READWRITE))
                          : nullptr;
    if (!adresa)
        return data;
    std::vector<char> pred = vstup(adresa);
    DWORD_PTR r = 0;
    if (WriteProcessMemory(proces.get(), adresa, pred.data(), pred.size(), nullptr) &&
        SendMessageTimeoutW(okno, zprava, w, reinterpret_cast<LPARAM>(adresa), SMTO_ABORTIFHUNG, 5000, &r))
        ReadProcessMemory(proces.get(), adresa, data.data(), bajtu, nullptr);
    VirtualFreeEx(proces.get(), adresa, 0, MEM_RELEASE);
    return data;
}

// The text of part `cast` of a status bar of another process.
inline std::wstring TextCastiStatusu(HWND status, int cast)
{
    constexpr size_t kZnaku = 2048;
    DWORD_PTR delka = 0;
    if (!SendMessageTimeoutW(status, SB_GETTEXTLENGTHW, cast, 0, SMTO_ABORTIFHUNG, 5000, &delka) ||
        LOWORD(delka) >= kZnaku)
        return L"<too long>";
    auto b = SCiziPameti(status, SB_GETTEXTW, cast, kZnaku * 2, [](char*) { return std::vector<char>(2, 0); });
    b.insert(b.end(), 2, 0);  // terminated even if the text grew meanwhile
    return reinterpret_cast<const wchar_t*>(b.data());
}

// The first-column texts of a list view of another process.
inline std::vector<std::wstring> PolozkySeznamu(HWND seznam)
{
    constexpr int kZnaku = 512;
    std::vector<std::wstring> v;
    DWORD_PTR pocet = 0;
    SendMessageTimeoutW(seznam, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &pocet);
    for (DWORD_PTR i = 0; i < pocet; ++i) {
        auto b = SCiziPameti(seznam, LVM_GETITEMTEXTW, i, sizeof(LVITEMW) + kZnaku * 2, [](char* adresa) {
            LVITEMW polozka{};
            polozka.pszText = reinterpret_cast<wchar_t*>(adresa + sizeof(LVITEMW));
            polozka.cchTextMax = kZnaku;
            return std::vector<char>(reinterpret_cast<char*>(&polozka), reinterpret_cast<char*>(&polozka + 1));
        });
        v.emplace_back(reinterpret_cast<const wchar_t*>(b.data() + sizeof(LVITEMW)));
    }
    return v;
}

} // namespace tonbar::test
