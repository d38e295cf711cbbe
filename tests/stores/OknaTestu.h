// Driving modal dialogs from a second thread: find a dialog of this process
// by its title, wait for it with a bound, press its buttons, photograph it.
#pragma once
#include "harness/Snimek.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <string>

namespace tonbar::test {

inline std::wstring TitulekOkna(HWND okno)
{
    wchar_t text[256] = {};
    GetWindowTextW(okno, text, 256);
    return text;
}

// A visible top-level dialog (#32770) of this process whose title passes `test`.
inline HWND NajitDialog(const std::function<bool(const std::wstring&)>& test)
{
    struct Hledani {
        const std::function<bool(const std::wstring&)>* test;
        HWND nalez = nullptr;
    } h{&test};
    EnumWindows(
        [](HWND okno, LPARAM l) -> BOOL {
            auto* h = reinterpret_cast<Hledani*>(l);
            DWORD pid = 0;
            GetWindowThreadProcessId(okno, &pid);
            wchar_t trida[32] = {};
            GetClassNameW(okno, trida, 32);
            if (pid == GetCurrentProcessId() && IsWindowVisible(okno) && lstrcmpW(trida, L"#32770") == 0 &&
                (*h->test)(TitulekOkna(okno))) {
                h->nalez = okno;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&h));
    return h.nalez;
}

inline HWND CekatNaDialog(const std::function<bool(const std::wstring&)>& test, DWORD limitMs = 15000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(50))
        if (HWND okno = NajitDialog(test))
            return okno;
    return nullptr;
}

inline bool CekatNaZavreni(HWND okno, DWORD limitMs = 15000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(50))
        if (!IsWindow(okno) || !IsWindowVisible(okno))
            return true;
    return false;
}

// Posted, so the driver never waits on the dialog's nested modal loops.
inline void Stisknout(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Sets an edit's text the way typing would (the edit sends EN_CHANGE).
inline void Napsat(HWND dialog, int id, const wchar_t* text)
{
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

inline std::wstring TextPrvku(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

// The window as the screen shows it, as a PNG in build/screenshots (GDI+ must run).
inline bool Snimek(HWND okno, const wchar_t* jmeno) { return tonbar::test::SnimekDoSlozky(okno, jmeno); }

struct GdiplusScope {
    ULONG_PTR token = 0;
    GdiplusScope()
    {
        Gdiplus::GdiplusStartupInput vstup;
        Gdiplus::GdiplusStartup(&token, &vstup, nullptr);
    }
    ~GdiplusScope() { Gdiplus::GdiplusShutdown(token); }
};

// Points a store's registry value at `slozka` for the life of the object.
class PresmerovaniUloziste {
public:
    PresmerovaniUloziste(const wchar_t* klic, const wchar_t* hodnota, const std::wstring& slozka) : klic_(klic)
    {
        HKEY h = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, klic, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
        RegSetValueExW(h, hodnota, 0, REG_SZ, reinterpret_cast<const BYTE*>(slozka.c_str()),
                       static_cast<DWORD>((slozka.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
    }
    ~PresmerovaniUloziste() { RegDeleteTreeW(HKEY_CURRENT_USER, klic_); }
    PresmerovaniUloziste(const PresmerovaniUloziste&) = delete;
    PresmerovaniUloziste& operator=(const PresmerovaniUloziste&) = delete;

private:
    const wchar_t* klic_;
};

} // namespace tonbar::test
