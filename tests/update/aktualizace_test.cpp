// The update check and the about dialog, against http.server on 127.0.0.1 over a temporary folder
// (harness/servers.sh http: TONBAR_HTTP_ROOT as a Windows path, TONBAR_HTTP_PORT).
#include "update/Aktualizace.h"
#include "update/DlgProgramInfo.h"

#include "app/Chyby.h"
#include "resources/resource.h"
#include "resources/version.h"
#include "harness/Servery.h"
#include "harness/Snimek.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <shlobj.h>

using namespace tonbar::test;

const std::wstring kVerze = L"" TONBAR_VERSION_TEXT;
const wchar_t kChyba[] = L"Při vyhledávání aktualizací na webu došlo k chybě.";
const std::wstring kWeb = L"http://www.mirvak.example.org/software/tonbar/";

// The text must begin with the prefix (in any case) and hold 21 to 50 characters; the version is the rest,
// blank included.
TEST(Aktualizace, VersionTextLengthAndPrefixDecide)
{
    const std::wstring padesat = L"posledni_verze" + std::wstring(36, L'9');
    const std::pair<std::wstring, const wchar_t*> pripady[] = {
        {L"posledni_verze 4.0.0.2", L" 4.0.0.2"}, {L"posledni_verze 4.0.01", L" 4.0.01"},
        {L"posledni_verze 4.0.1", nullptr},       {padesat, padesat.c_str() + 14},
        {padesat + L"9", nullptr},                {L"POSLEDNI_VERZE4.1.0.0", L"4.1.0.0"},
        {L"<html>posledni_verze 4.0.0.2", nullptr}, {L"", nullptr}};
    for (const auto& [text, verze] : pripady) {
        std::wstring v = L"stará";
        EXPECT_EQ(VerzeZTextu(text, v), verze ? S_OK : E_FAIL) << text;
        EXPECT_EQ(v, verze ? verze : L"") << text;
    }
}

TEST(Aktualizace, AboutDialogShowsNameVersionAndCopyrightOnceAtATime)
{
    ZaznamZprav zpravy;
    VlastnikNaVlakne vlastnik([](HWND o) { return ZobrazitOAplikaci(o); });
    ASSERT_TRUE(Cekat([] { return OknoOAplikaci() && IsWindowVisible(OknoOAplikaci()); }));
    HWND dlg = OknoOAplikaci();
    EXPECT_EQ(Text(dlg), L"O programu Tonbar");
    EXPECT_EQ(Text(GetDlgItem(dlg, IDC_AKT_NADPIS)), L"Tonbar");
    EXPECT_EQ(Text(GetDlgItem(dlg, IDC_INFO_VERZE)), L"verze: " + kVerze + L"  (64-bitová verze)");
    EXPECT_EQ(Text(GetDlgItem(dlg, IDC_INFO_COPYRIGHT)), L"Copyright © 2026 Mirvak");
    EXPECT_EQ(ZobrazitOAplikaci(nullptr), 0) << "a second request only brings it to the front";
    EXPECT_TRUE(SnimekDoSlozky(dlg, L"o_aplikaci.png"));
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(vlastnik.Vysledek(), IDOK);
    EXPECT_EQ(OknoOAplikaci(), nullptr);
}

// One server for the whole scenario: the addresses a registry value overrides, the dialog with both versions,
// the download and its cap, then a 404 page and no server at all.
TEST(Aktualizace, DialogDownloadAndErrorBoxUnlessSilent)
{
    std::wstring koren = Prostredi(L"TONBAR_HTTP_ROOT"), port = Prostredi(L"TONBAR_HTTP_PORT");
    ASSERT_TRUE(!koren.empty() && !port.empty()) << "no HTTP server: run through harness/servers.sh http";
    const std::wstring slozka = koren + L"\\software\\tonbar";  // the run's own: servers.sh removes it
    const std::wstring url = L"http://127.0.0.1:" + port + L"/software/tonbar/";
    SHCreateDirectoryExW(nullptr, slozka.c_str(), nullptr);
    ZaznamZprav zpravy;
    IkonaTestu ikona;  // stands in for the main window's
    TestKonfigurace konf;  // the program's key, for the address override
    g_konfigurace.registrovaCesta = konf.k.registrovaCesta;
    auto adresa = [&](const std::wstring& a) {
        konf.Zapsat(nullptr, kHodnotaAdresyAktualizace, REG_SZ, a.c_str(), static_cast<DWORD>((a.size() + 1) * 2));
    };
    auto zapsat = [&](const std::string& obsah, const wchar_t* jmeno = L"posledni_verze.txt") {
        WriteBytes(slozka + L"\\" + jmeno, obsah);
    };
    // Runs a check that must fail; the messages it showed.
    auto neuspesna = [&](bool tichy) {
        zpravy.Vymazat();
        EXPECT_EQ(StartUpdateCheck(tichy), S_OK);
        EXPECT_TRUE(Cekat([] { return !KontrolaAktualizaciBezi(); }));
        Cekat([] { return false; }, 100);  // the box the check posted before it ended
        EXPECT_EQ(OknoAktualizace(), nullptr);
        return zpravy.Zpravy();
    };
    EXPECT_EQ(AdresaSouboruVerze(), kWeb + L"posledni_verze.txt") << "no override";
    adresa(url + L"posledni_verze.txt");
    EXPECT_EQ(AdresaStrankyProduktu(), url);
    adresa(L"");
    EXPECT_EQ(AdresaSouboruVerze(), kWeb + L"posledni_verze.txt") << "an empty override is none";
    EXPECT_EQ(AdresaStrankyProduktu(), kWeb);
    adresa(url + L"posledni_verze.txt");
    zapsat("posledni_verze 4.0.0.2");
    EXPECT_EQ(StartUpdateCheck(false), S_OK);
    ASSERT_TRUE(Cekat([] { return OknoAktualizace() && IsWindowVisible(OknoAktualizace()); }));
    HWND dlg = OknoAktualizace();
    EXPECT_EQ(Text(dlg), L"Vyhledání aktualizací - Tonbar");
    EXPECT_EQ(Text(GetDlgItem(dlg, IDC_AKT_VASE_VERZE)), L"Vaše verze: " + kVerze);
    EXPECT_EQ(Text(GetDlgItem(dlg, IDC_AKT_WEB_VERZE)), L"Aktuální verze na webu:  4.0.0.2");
    EXPECT_EQ(PosledniBublinaAktualizace(), L"Vyhledávám aktualizace na www.mirvak.example.org.\nČekejte prosím...");
    EXPECT_EQ(StartUpdateCheck(false), S_FALSE) << "a second command while the check runs only beeps";
    EXPECT_TRUE(SnimekDoSlozky(dlg, L"aktualizace.png"));
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Cekat([] { return !KontrolaAktualizaciBezi(); }));
    EXPECT_TRUE(zpravy.Zpravy().empty());

    // The text is read in the ANSI code page; a body over 4096 bytes fails rather than being cut.
    std::wstring text;
    ASSERT_EQ(DownloadTextFile(text, AdresaSouboruVerze().c_str()), S_OK);
    EXPECT_EQ(text, L"posledni_verze 4.0.0.2");
    zapsat(std::string(4096, 'x'), L"velky.txt");
    ASSERT_EQ(DownloadTextFile(text, (url + L"velky.txt").c_str()), S_OK);
    EXPECT_EQ(text.size(), 4096u);
    zapsat(std::string(4097, 'x'), L"velky.txt");
    EXPECT_EQ(DownloadTextFile(text, (url + L"velky.txt").c_str()), HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(text.empty()) << "no truncated text";
    const wchar_t* nikdo = L"http://127.0.0.1:1/software/tonbar/posledni_verze.txt";  // nothing listens on port 1
    EXPECT_LT(DownloadTextFile(text, nikdo), 0);

    // A 404 page is refused as the text, then no server: the error box shows unless the check is silent.
    ASSERT_TRUE(DeleteFileW((slozka + L"\\posledni_verze.txt").c_str()));
    for (const wchar_t* co : {L"404", nikdo}) {
        if (co == nikdo)
            adresa(nikdo);
        EXPECT_TRUE(neuspesna(true).empty()) << co;
        std::vector<std::wstring> z = neuspesna(false);
        ASSERT_EQ(z.size(), 1u) << co;
        EXPECT_EQ(z[0].rfind(kChyba, 0), 0u) << co;
    }
}
