// Not a test: scripts/bench-ftp runs it under Wine. Uploads a file with the
// FTP worker's own routine to the loopback server and prints the best time
// in milliseconds (connecting and logging in included), so that the script
// can compare it with curl's.
#include "ftp/OdeslaniNaFtp.h"

#include <cstdio>
#include <cstdlib>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5) {
        fwprintf(stderr, L"usage: bench_ftp <file> <user> <password> <repeats>\n");
        return 2;
    }
    FtpPlace misto;
    misto.nazev = L"bench";
    misto.server = L"127.0.0.1";
    misto.uzivatel = argv[2];
    misto.heslo = argv[3];
    misto.pasivni_rezim = true;
    int opakovani = _wtoi(argv[4]);
    double nejlepsi = 1e18;
    for (int i = 0; i < opakovani; ++i) {
        LARGE_INTEGER f, a, b;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&a);
        HRESULT hr = mirvak::ftp::NahratSoubor(misto, argv[1], L"tonbar.wma");
        QueryPerformanceCounter(&b);
        if (FAILED(hr)) {
            fwprintf(stderr, L"upload failed: 0x%08lX\n", static_cast<unsigned long>(hr));
            return 1;
        }
        double ms = (b.QuadPart - a.QuadPart) * 1000.0 / f.QuadPart;
        if (ms < nejlepsi)
            nejlepsi = ms;
    }
    wprintf(L"%.1f\n", nejlepsi);
    return 0;
}
