// tonbar-ctl: drives a running Tonbar from scripts (scripts/run).
//   tonbar-ctl wait [ms]        wait for the main window; prints its title
//   tonbar-ctl command ID       send WM_COMMAND ID to the main window
//   tonbar-ctl title            print the main window's title
//   tonbar-ctl close [ms]       WM_CLOSE, then wait until the window is gone
//   tonbar-ctl status           print the status bar's text (its second part)
//   tonbar-ctl dialog BUTTON [ms]
//                               wait for a dialog or message box of Tonbar,
//                               print its texts and press BUTTON (ok, cancel,
//                               yes, no); exit 1 when none came
#include <windows.h>

#include "e2e/OknoZvenku.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

HWND HlavniOkno()
{
    HWND okno = FindWindowW(L"tonbar", nullptr);
    return okno && IsWindowVisible(okno) ? okno : nullptr;
}

void Vypsat(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
}

// A dialog (class #32770) of the process that owns `hlavni`.
HWND DialogProcesu(HWND hlavni)
{
    struct Hledani {
        DWORD pid;
        HWND dialog;
    } h{0, nullptr};
    GetWindowThreadProcessId(hlavni, &h.pid);
    EnumWindows(
        [](HWND okno, LPARAM l) -> BOOL {
            auto* h = reinterpret_cast<Hledani*>(l);
            DWORD pid = 0;
            GetWindowThreadProcessId(okno, &pid);
            wchar_t trida[16] = {};
            GetClassNameW(okno, trida, 16);
            if (pid == h->pid && lstrcmpW(trida, L"#32770") == 0 && IsWindowVisible(okno)) {
                h->dialog = okno;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&h));
    return h.dialog;
}

std::wstring Titulek(HWND okno)
{
    wchar_t text[1024] = {};
    SendMessageTimeoutW(okno, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tonbar-ctl wait|command|title|close|status|dialog [arg]\n");
        return 2;
    }
    std::wstring prikaz = argv[1];
    DWORD limit = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 30000;
    if (prikaz == L"wait") {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < limit) {
            if (HWND okno = HlavniOkno()) {
                Vypsat(Titulek(okno));
                return 0;
            }
            Sleep(100);
        }
        std::fprintf(stderr, "tonbar-ctl: no main window after %lu ms\n", static_cast<unsigned long>(limit));
        return 1;
    }
    HWND okno = HlavniOkno();
    if (!okno) {
        std::fprintf(stderr, "tonbar-ctl: Tonbar is not running\n");
        return 1;
    }
    if (prikaz == L"title") {
        Vypsat(Titulek(okno));
        return 0;
    }
    if (prikaz == L"command" && argc > 2) {
        PostMessageW(okno, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(std::wcstoul(argv[2], nullptr, 10)), 0), 0);
        return 0;
    }
    if (prikaz == L"status") {
        Vypsat(tonbar::test::TextCastiStatusu(tonbar::test::Potomek(okno, STATUSCLASSNAMEW), 1));
        return 0;
    }
    if (prikaz == L"dialog" && argc > 2) {
        const std::wstring tlacitko = argv[2];
        const int id = tlacitko == L"ok" ? IDOK : tlacitko == L"cancel" ? IDCANCEL : tlacitko == L"yes" ? IDYES : IDNO;
        const DWORD cekat = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 5000;
        HWND dialog = nullptr;
        for (DWORD start = GetTickCount(); !(dialog = DialogProcesu(okno)) && GetTickCount() - start < cekat;)
            Sleep(100);
        if (!dialog)
            return 1;
        for (HWND dite = GetWindow(dialog, GW_CHILD); dite; dite = GetWindow(dite, GW_HWNDNEXT)) {
            wchar_t trida[16] = {};
            GetClassNameW(dite, trida, 16);
            if (lstrcmpiW(trida, L"Static") == 0 && GetWindowTextLengthW(dite) > 0)
                Vypsat(Titulek(dite));
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        return 0;
    }
    if (prikaz == L"close") {
        PostMessageW(okno, WM_CLOSE, 0, 0);
        DWORD start = GetTickCount();
        while (IsWindow(okno) && GetTickCount() - start < limit)
            Sleep(100);
        return IsWindow(okno) ? 1 : 0;
    }
    std::fprintf(stderr, "tonbar-ctl: unknown command\n");
    return 2;
}
