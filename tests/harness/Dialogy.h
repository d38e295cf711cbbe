// The one way the Windows-side tests drive a modal dialog: the dialog runs
// on the test's thread while a driver thread finds it, types, clicks (posted,
// so a nested dialog runs its own loop) and waits for it to close.
#pragma once

#include <windows.h>

#include <functional>
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
    struct Hledani {
        const std::function<bool(HWND)>& vyhovuje;
        HWND nalez = nullptr;
    } h{vyhovuje};
    EnumWindows(
        [](HWND okno, LPARAM l) -> BOOL {
            auto* h = reinterpret_cast<Hledani*>(l);
            if (!h->vyhovuje(okno))
                return TRUE;
            h->nalez = okno;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&h));
    return h.nalez;
}

// The visible top-level window of class `trida` of process `pid`.
inline HWND OknoProcesu(DWORD pid, const wchar_t* trida)
{
    return NajitOkno([&](HWND o) { return ProcesOkna(o) == pid && TridaOkna(o) == trida && IsWindowVisible(o); });
}

// The visible, enabled dialog (#32770) whose title begins with `titulek`
// and that holds control `prvek` (0: any); of this process unless
// `jinyProces`. Enabled: of nested modal dialogs, the innermost.
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

// Runs `modal` here while `ridic` drives it from a thread of its own; what
// `modal` returned. The driver must end the dialog.
inline INT_PTR Ridit(const std::function<INT_PTR()>& modal, const std::function<void()>& ridic)
{
    std::thread t(ridic);
    INT_PTR r = modal();
    t.join();
    return r;
}

} // namespace tonbar::test
