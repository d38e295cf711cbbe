// tonbar-ctl: drives a running Tonbar from scripts (scripts/run).
//   wait [ms]            wait for the main window; prints its title
//   command ID           send WM_COMMAND ID to the main window
//   close [ms]           WM_CLOSE, then wait until the window is gone
//   status, level        print the status bar's second part, or its third (the input level)
//   ping ID [ms]         post WM_COMMAND ID (0: none), then send WM_NULL back to back for ms
//                        (3000): prints the slowest answer in ms and how many were sent
//   launch N EXE...      start each program N times, taking turns, until its first visible window
//                        and then its first answer; prints the best of both in ms, a line each
//   shot window|status FILE   save a PNG of the main window or its status bar
//   dialog BUTTON [ms]   wait for a dialog or message box of Tonbar, print its texts and press
//                        BUTTON (ok, cancel, yes, no); exit 1 when none came
#include <windows.h>

#include "harness/Dialogy.h"
#include "harness/Snimek.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

using namespace tonbar::test;

namespace {

HWND HlavniOkno()
{
    return NajitOkno([](HWND o) { return TridaOkna(o) == L"tonbar" && IsWindowVisible(o); });
}

void Vypsat(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
}

double Ms(const LARGE_INTEGER& a, const LARGE_INTEGER& b)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) * 1000.0 / double(f.QuadPart);
}

// One start of `exe`: the times to its first visible window and to that window's first answer;
// closes it and waits until it ends. False when it showed no window.
bool Spustit(const std::wstring& exe, double& viditelne, double& odpoved)
{
    std::wstring prikaz = L"\"" + exe + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(nullptr, prikaz.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    // Polled every millisecond: the figure is the point.
    auto prvniOkno = [&](HWND o) {
        return ProcesOkna(o) == pi.dwProcessId && IsWindowVisible(o) && !GetWindow(o, GW_OWNER);
    };
    HWND okno = nullptr;
    while (!(okno = NajitOkno(prvniOkno)) && WaitForSingleObject(pi.hProcess, 1) == WAIT_TIMEOUT) {
    }
    QueryPerformanceCounter(&t1);
    DWORD_PTR r = 0;
    const bool odpovedelo = okno && SendMessageTimeoutW(okno, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &r);
    QueryPerformanceCounter(&t2);
    viditelne = Ms(t0, t1);
    odpoved = Ms(t0, t2);
    if (odpovedelo)
        PostMessageW(okno, WM_CLOSE, 0, 0);
    if (!odpovedelo || WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return odpovedelo;
}

int Spousteni(int n, const std::vector<std::wstring>& programy)
{
    std::vector<double> viditelne(programy.size(), 1e9), odpoved(programy.size(), 1e9);
    for (int i = 0; i < n * static_cast<int>(programy.size()); ++i) {
        const size_t p = i % programy.size();
        double v = 0, o = 0;
        if (!Spustit(programy[p], v, o)) {
            std::fprintf(stderr, "tonbar-ctl: %ls showed no window\n", programy[p].c_str());
            return 1;
        }
        viditelne[p] = std::min(viditelne[p], v);
        odpoved[p] = std::min(odpoved[p], o);
    }
    for (size_t p = 0; p < programy.size(); ++p)
        std::printf("%.0f %.0f %ls\n", viditelne[p], odpoved[p], programy[p].c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tonbar-ctl wait|command|close|status|level|ping|launch|shot|dialog [arg]\n");
        return 2;
    }
    std::wstring prikaz = argv[1];
    if (prikaz == L"launch" && argc > 3)
        return Spousteni(std::max(1, _wtoi(argv[2])), std::vector<std::wstring>(argv + 3, argv + argc));
    DWORD limit = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 30000;
    HWND okno = nullptr;
    if (!PockatNa([&] { return (okno = HlavniOkno()) != nullptr; }, prikaz == L"wait" ? limit : 0)) {
        std::fprintf(stderr, "tonbar-ctl: no main window of Tonbar\n");
        return 1;
    }
    if (prikaz == L"wait") {
        Vypsat(Text(okno));
        return 0;
    }
    if (prikaz == L"command" && argc > 2) {
        PostMessageW(okno, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(std::wcstoul(argv[2], nullptr, 10)), 0), 0);
        return 0;
    }
    if (prikaz == L"status" || prikaz == L"level") {
        HWND status = Potomek(okno, STATUSCLASSNAMEW);
        Vypsat(TextCastiStatusu(status, prikaz == L"level" ? 2 : 1));
        return 0;
    }
    if (prikaz == L"ping" && argc > 2) {
        if (WORD id = static_cast<WORD>(std::wcstoul(argv[2], nullptr, 10)))
            PostMessageW(okno, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        const double delka = argc > 3 ? std::wcstod(argv[3], nullptr) : 3000.0;
        double nejdelsi = 0;
        int pocet = 0;
        LARGE_INTEGER zacatek, pred, po;
        QueryPerformanceCounter(&zacatek);
        do {
            QueryPerformanceCounter(&pred);
            DWORD_PTR r = 0;
            if (!SendMessageTimeoutW(okno, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &r))
                return 1;
            QueryPerformanceCounter(&po);
            nejdelsi = std::max(nejdelsi, Ms(pred, po));
            ++pocet;
            Sleep(1);
        } while (Ms(zacatek, po) < delka);
        std::printf("%.0f %d\n", nejdelsi, pocet);
        return 0;
    }
    if (prikaz == L"shot" && argc > 3) {
        HWND cil = lstrcmpW(argv[2], L"status") == 0 ? Potomek(okno, STATUSCLASSNAMEW) : okno;
        return cil && UlozitSnimekOkna(cil, argv[3]) ? 0 : 1;
    }
    if (prikaz == L"dialog" && argc > 2) {
        const std::wstring tlacitko = argv[2];
        const int id = tlacitko == L"ok" ? IDOK : tlacitko == L"cancel" ? IDCANCEL : tlacitko == L"yes" ? IDYES : IDNO;
        const DWORD cekat = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 5000;
        HWND dialog = nullptr;
        auto najit = [&] { return (dialog = OknoProcesu(ProcesOkna(okno), L"#32770")) != nullptr; };
        if (!PockatNa(najit, cekat))
            return 1;
        for (HWND dite = GetWindow(dialog, GW_CHILD); dite; dite = GetWindow(dite, GW_HWNDNEXT))
            if (lstrcmpiW(TridaOkna(dite).c_str(), L"Static") == 0 && GetWindowTextLengthW(dite) > 0)
                Vypsat(Text(dite));
        Kliknout(dialog, id);
        return 0;
    }
    if (prikaz == L"close") {
        PostMessageW(okno, WM_CLOSE, 0, 0);
        return PockatNa([&] { return !IsWindow(okno); }, limit) ? 0 : 1;
    }
    std::fprintf(stderr, "tonbar-ctl: unknown command\n");
    return 2;
}
