// Closing the real program while a worker waits on a stalling server of workers_e2e.sh: it ends
// with code 0 within 10 s and Wine's heap checking (warn+heap) reports nothing.
#include "harness/Dialogy.h"
#include "harness/Servery.h"
#include "harness/TestFolder.h"
#include "harness/TonbarProces.h"
#include "stores/FtpPlace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>

using tonbar::test::PockatNa;
using tonbar::test::SmtpServers;
using tonbar::test::ZapsatText;
using tonbar::test::TonbarProces;

namespace {

class ZavreniBehemPrace : public ::testing::Test {
protected:
    void SetUp() override { tonbar::test::SmazatKonfiguraci(); }
    void TearDown() override { tonbar::test::SmazatKonfiguraci(); }

    // The list of recordings shows a folder with one recording of `bajtu`
    // bytes, the list's current file.
    std::wstring Zaznam(size_t bajtu, const wchar_t* jmeno = L"záznam.wma")
    {
        std::wstring soubor = slozka_.File(jmeno);
        tonbar::test::WriteBytes(soubor, tonbar::test::RandomBytes(bajtu, 7));
        EXPECT_TRUE(ZapsatText(L"seznam_souboru", L"slozka", slozka_.Path()));
        EXPECT_TRUE(tonbar::test::ZapsatDword(L"zobrazit", L"seznam_souboru", 1));
        return soubor;
    }

    // The dialog of the process titled `titulek`, answered with OK.
    static bool PotvrditDialog(const TonbarProces& p, const std::wstring& titulek)
    {
        HWND dialog = p.CekatNaOkno(L"#32770");
        return dialog && TonbarProces::TextOkna(dialog) == titulek &&
               TonbarProces::StisknoutTlacitko(dialog, IDOK);
    }

    // Starts the program with Wine's heap checking, lets `spustit` get a
    // worker going against a stalling server, then closes the main window.
    void ZavritBehem(const std::function<bool(const TonbarProces&, HWND)>& spustit)
    {
        TonbarProces p;
        ASSERT_TRUE(p.Spustit(L"warn+heap"));
        HWND okno = p.CekatNaHlavniOkno();
        ASSERT_NE(okno, nullptr);
        ASSERT_TRUE(spustit(p, okno));
        Sleep(500);  // the worker is well inside its wait
        ULONGLONG start = GetTickCount64();
        ASSERT_TRUE(p.Zavrit());
        auto kod = p.CekatNaKonec(10000);
        ULONGLONG trvani = GetTickCount64() - start;
        ASSERT_TRUE(kod.has_value()) << "the program still runs 10 s after WM_CLOSE";
        EXPECT_EQ(*kod, 0u);
        std::cout << "closed in " << trvani << " ms" << std::endl;
        std::string chyby = p.ChybovyVystup();
        EXPECT_EQ(chyby.find(":heap:"), std::string::npos) << chyby;
    }

    tonbar::test::TestFolder slozka_;
};

TEST_F(ZavreniBehemPrace, EmailStalledInData)
{
    ASSERT_TRUE(SmtpServers::Available()) << "no SMTP servers: run through workers_e2e.sh";
    ASSERT_TRUE(SmtpServers::UseService(SmtpServers::Port("datastall")));
    // More than the connection's buffers hold: the sending blocks in DATA.
    Zaznam(30u * 1024 * 1024);
    ASSERT_TRUE(ZapsatText(L"smtp_ucet", L"email", L"jan@tonbar.test"));
    ASSERT_TRUE(ZapsatText(L"smtp_ucet", L"jmeno", L"Jan"));
    ASSERT_TRUE(ZapsatText(L"smtp_ucet", L"server", L"127.0.0.1"));
    ASSERT_TRUE(ZapsatText(L"email\\prijemci", L"email", L"eva@example.cz"));
    ZavritBehem([](const TonbarProces& p, HWND okno) {
        PostMessageW(okno, WM_COMMAND, 40031, 0);
        if (!PotvrditDialog(p, L"Odeslání emailem - Tonbar"))
            return false;
        return PockatNa([] { return SmtpServers::Log("datastall").find("-- stalled") != std::string::npos; },
                        30000);
    });
}

TEST_F(ZavreniBehemPrace, FtpUploadToASlowServer)
{
    tonbar::test::FtpServer server;
    ASSERT_TRUE(server.Bezi()) << "no FTP server on port 21: run through workers_e2e.sh";
    Zaznam(30u * 1024 * 1024, L"zaznam.wma");
    tonbar::test::TestFolder uloziste;
    tonbar::test::PresmerovaniUloziste presmerovani(Uloziste::FtpMista, uloziste.Path());
    FtpPlace misto;
    misto.nazev = L"Pomalý server";
    misto.server = L"127.0.0.1";
    misto.uzivatel = server.uzivatel;
    misto.heslo = server.heslo;
    misto.pasivni_rezim = true;
    FtpPlaceList mista;
    mista.Append(misto);
    ASSERT_EQ(mista.Save(), S_OK);
    const std::wstring naServeru = server.Cesta(L"zaznam.wma");
    DeleteFileW(naServeru.c_str());
    ZavritBehem([&](const TonbarProces& p, HWND okno) {
        PostMessageW(okno, WM_COMMAND, 40032, 0);
        if (!PotvrditDialog(p, L"Odeslání na FTP - Tonbar"))
            return false;
        return PockatNa([&] { return tonbar::test::FileSize(naServeru) > 0; }, 30000);
    });
    // The upload was cut short, not finished.
    EXPECT_LT(tonbar::test::FileSize(naServeru), 30u * 1024 * 1024);
}

TEST_F(ZavreniBehemPrace, UpdateCheckOnASilentServer)
{
    const char* port = std::getenv("TONBAR_HTTP_SILENT_PORT");
    const char* log = std::getenv("TONBAR_HTTP_SILENT_LOG");
    ASSERT_TRUE(port && log) << "no silent HTTP server: run through workers_e2e.sh";
    std::wstring adresa = L"http://127.0.0.1:" + tonbar::test::Widen(port) + L"/software/tonbar/posledni_verze.txt";
    ASSERT_TRUE(ZapsatText(nullptr, L"adresa_aktualizace", adresa));
    std::wstring spojeni = tonbar::test::Widen(log);
    ZavritBehem([&](const TonbarProces&, HWND okno) {
        PostMessageW(okno, WM_COMMAND, 40005, 0);
        return PockatNa([&] { return tonbar::test::FileSize(spojeni) > 0; }, 30000);
    });
}

} // namespace
