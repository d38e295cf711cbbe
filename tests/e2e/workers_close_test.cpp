// Closing the real program while a worker waits on a stalling server of workers_e2e.sh: it ends with code 0
// within 10 s and Wine's heap checking (warn+heap) reports nothing.
#include "harness/Dialogy.h"
#include "harness/Servery.h"
#include "harness/TestFolder.h"
#include "harness/TonbarProces.h"
#include "stores/FtpPlace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>

using namespace tonbar::test;

namespace {

TEST(ZavreniBehemPrace, EmailFtpUploadAndUpdateCheckOnStallingServers)
{
    const char* port = std::getenv("TONBAR_HTTP_SILENT_PORT");
    const char* log = std::getenv("TONBAR_HTTP_SILENT_LOG");
    FtpServer server;
    ASSERT_TRUE(SmtpServers::Available() && server.Bezi() && port && log)
        << "no SMTP, FTP or silent HTTP server: run through workers_e2e.sh";
    SmazatKonfiguraci();
    // The list shows one recording, its current file, larger than the connections' buffers hold: the sending
    // blocks in DATA, the slow upload is still running.
    TestFolder slozka, uloziste;
    const size_t kVelikost = 30u * 1024 * 1024;
    WriteBytes(slozka.File(L"zaznam.wma"), RandomBytes(kVelikost, 7));
    ASSERT_TRUE(ZapsatText(L"seznam_souboru", L"slozka", slozka.Path()));
    ASSERT_TRUE(ZapsatDword(L"zobrazit", L"seznam_souboru", 1));
    ASSERT_TRUE(SmtpServers::UseService(SmtpServers::Port("datastall")));
    ASSERT_TRUE(ZapsatText(L"smtp_ucet", L"email", L"jan@tonbar.test"));
    ASSERT_TRUE(ZapsatText(L"smtp_ucet", L"jmeno", L"Jan"));
    ASSERT_TRUE(ZapsatText(L"smtp_ucet", L"server", L"127.0.0.1"));
    ASSERT_TRUE(ZapsatText(L"email\\prijemci", L"email", L"eva@example.cz"));
    PresmerovaniUloziste presmerovani(Uloziste::FtpMista, uloziste.Path());
    FtpPlaceList mista;
    mista.Append({.heslo = server.heslo, .nazev = L"Pomalý server", .pasivni_rezim = true,
                  .server = L"127.0.0.1", .uzivatel = server.uzivatel});
    ASSERT_EQ(mista.Save(), S_OK);
    const std::wstring naServeru = server.Cesta(L"zaznam.wma");
    DeleteFileW(naServeru.c_str());
    ASSERT_TRUE(ZapsatText(nullptr, L"adresa_aktualizace",
                           L"http://127.0.0.1:" + Widen(port) + L"/software/tonbar/posledni_verze.txt"));
    const struct {
        const char* nazev;
        WORD prikaz;
        const wchar_t* dialog;  // confirmed with OK, when the command asks
        std::function<bool()> ceka;  // the worker waits on its server
    } pripady[] = {
        {"e-mail", 40031, L"Odeslání emailem - Tonbar",
         [] { return SmtpServers::Log("datastall").find("-- stalled") != std::string::npos; }},
        {"FTP", 40032, L"Odeslání na FTP - Tonbar", [&] { return FileSize(naServeru) > 0; }},
        {"update check", 40005, nullptr, [&] { return FileSize(Widen(log)) > 0; }},
    };
    for (const auto& c : pripady) {
        SCOPED_TRACE(c.nazev);
        TonbarProces p;
        ASSERT_TRUE(p.Spustit(L"warn+heap"));
        HWND okno = p.CekatNaHlavniOkno();
        ASSERT_NE(okno, nullptr);
        p.PoslatPrikaz(c.prikaz);
        HWND dialog = c.dialog ? p.CekatNaOkno(L"#32770") : nullptr;
        if (c.dialog) {
            ASSERT_TRUE(dialog && TonbarProces::TextOkna(dialog) == c.dialog &&
                        TonbarProces::StisknoutTlacitko(dialog, IDOK));
        }
        ASSERT_TRUE(PockatNa(c.ceka, 30000));
        Sleep(500);  // the worker is well inside its wait
        ULONGLONG start = GetTickCount64();
        ASSERT_TRUE(p.Zavrit());
        auto kod = p.CekatNaKonec(10000);
        ASSERT_TRUE(kod.has_value()) << "the program still runs 10 s after WM_CLOSE";
        EXPECT_EQ(*kod, 0u);
        std::cout << c.nazev << ": closed in " << GetTickCount64() - start << " ms" << std::endl;
        EXPECT_EQ(p.ChybovyVystup().find(":heap:"), std::string::npos) << p.ChybovyVystup();
    }
    // The upload was cut short, not finished.
    EXPECT_LT(FileSize(naServeru), kVelikost);
    SmazatKonfiguraci();
}

} // namespace
