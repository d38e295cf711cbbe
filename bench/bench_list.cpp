// Time to fill the list of recordings from a folder of many files, against
// a bare FindFirstFileW loop over the same folder in the same run.
//
// usage: bench_list [files=10000] [reps=5]
#include <windows.h>
#include <commctrl.h>

#include "controls/Okno.h"
#include "mainwindow/ListViewObsahSlozky.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class Hostitel : public mirvak::winapi::OknoImpl<Hostitel>, public mirvak::winapi::IListViewObsahSlozky {
public:
    bool FilterFile(const wchar_t* jmeno) override { return mirvak::winapi::OdfiltrovatSoubor(7, jmeno); }
    void FolderShown(const wchar_t*) override {}
    MV_BEGIN_MSG_MAP(Hostitel)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()
};

double Ted()
{
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER x;
        QueryPerformanceFrequency(&x);
        return x;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// What the list does at the least: walk the folder and look at each entry.
int HoleHledani(const std::wstring& slozka)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((slozka + L"\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    int n = 0;
    do {
        if (fd.cFileName[0] != L'.' && !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++n;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int pocet = argc > 1 ? _wtoi(argv[1]) : 10000;
    const int opakovani = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring slozka = std::wstring(tmp) + L"tonbar_bench_list_" + std::to_wstring(GetCurrentProcessId());
    if (!CreateDirectoryW(slozka.c_str(), nullptr)) {
        fwprintf(stderr, L"bench_list: cannot create %ls\n", slozka.c_str());
        return 1;
    }
    for (int i = 0; i < pocet; ++i) {
        wchar_t jmeno[64];
        swprintf(jmeno, 64, L"\\zaznam_%05d.wma", i);
        HANDLE f = CreateFileW((slozka + jmeno).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE)
            CloseHandle(f);
    }

    int rc = 0;
    {
        Hostitel host;
        RECT r{0, 0, 800, 600};
        mirvak::winapi::ListViewObsahSlozky list;
        if (FAILED(host.Create(nullptr, r, L"bench", WS_OVERLAPPEDWINDOW)) || FAILED(list.Create(host))) {
            fwprintf(stderr, L"bench_list: no window\n");
            rc = 1;
        } else {
            list.SetCallbacks(&host);
            list.SetFolder(slozka);
            list.StopWatch();  // only the fill is measured
            double nejHledani = 1e300, nejSeznam = 1e300;
            int nalezeno = 0;
            for (int k = 0; k < opakovani; ++k) {
                double t0 = Ted();
                nalezeno = HoleHledani(slozka);
                double t1 = Ted();
                list.Refresh();
                double t2 = Ted();
                nejHledani = std::min(nejHledani, t1 - t0);
                nejSeznam = std::min(nejSeznam, t2 - t1);
            }
            if (nalezeno != pocet || list.Count() != pocet) {
                fwprintf(stderr, L"bench_list: found %d, listed %d of %d\n", nalezeno, list.Count(), pocet);
                rc = 1;
            }
            wprintf(L"files: %d, best of %d\n", pocet, opakovani);
            wprintf(L"FindFirstFileW loop: %.1f ms\n", nejHledani);
            wprintf(L"list fill:           %.1f ms\n", nejSeznam);
            wprintf(L"ratio list/find:     %.2fx (goal <= 2x)\n", nejSeznam / nejHledani);
        }
    }

    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((slozka + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (fd.cFileName[0] != L'.')
                DeleteFileW((slozka + L"\\" + fd.cFileName).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(slozka.c_str());
    fflush(stdout);
    return rc;
}
