// Not a test: scripts/bench-smtp runs it under Wine. Sends a recording of
// the given size with the program's own client to the loopback server named
// by the services file and prints the milliseconds it took (composing
// included), so the script can compare them with Python's smtplib.
#include "email/Smtp.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace mirvak::email;

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        fwprintf(stderr, L"usage: bench_smtp <file> <repeats>\n");
        return 2;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 0), &wsa);
    int repeats = _wtoi(argv[2]);
    double best = 1e18;
    for (int i = 0; i < repeats; ++i) {
        LARGE_INTEGER f, a, b;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&a);
        SmtpMessage m;
        m.from = {L"Jan", L"jan@tonbar.test"};
        m.to.address = L"eva@example.cz";
        m.subject = L"Tonbar";
        SmtpTextPart t;
        t.text = L"Tonbar odeslaný z aplikace \"Tonbar\"";
        m.textParts.push_back(t);
        SmtpAttachment p;
        p.filePath = argv[1];
        p.isInline = 1;
        m.attachments.push_back(p);
        Smtp smtp;
        smtp.userName = L"nahravky";
        smtp.password = L"heslo-123";
        int r = smtp.Connect(L"127.0.0.1") == 1 ? smtp.SendMail(m) : -1;
        smtp.Disconnect();
        QueryPerformanceCounter(&b);
        if (r != 0) {
            fwprintf(stderr, L"sending failed: %d\n", r);
            return 1;
        }
        double ms = (b.QuadPart - a.QuadPart) * 1000.0 / f.QuadPart;
        if (ms < best)
            best = ms;
    }
    wprintf(L"%.1f\n", best);
    WSACleanup();
    return 0;
}
