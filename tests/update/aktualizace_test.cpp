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

namespace {

const std::wstring kVerze(TONBAR_VERSION_TEXT, TONBAR_VERSION_TEXT + sizeof TONBAR_VERSION_TEXT - 1);
const wchar_t kChyba[] = L"Při vyhledávání aktualizací na webu došlo k chybě.";
const std::wstring kWeb = L"http://www.mirvak.example.org/software/tonbar/";

// The program's registry key is a test key of its own, for the address override.
class KlicProgramu : public TestKonfigurace {
public:
    KlicProgramu() : puvodni_(g_konfigurace.registrovaCesta) { g_konfigurace.registrovaCesta = k.registrovaCesta; }
    ~KlicProgramu() { g_konfigurace.registrovaCesta = puvodni_; }
    void NastavitAdresu(const std::wstring& adresa) const
    {
        Zapsat(nullptr, kHodnotaAdresyAktualizace, REG_SZ, adresa.c_str(),
               static_cast<DWORD>((adresa.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::wstring puvodni_;
};

} // namespace

// The text must begin with the prefix (in any case) and hold 21 to 50 characters;
// the version is the rest, blank included.
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

namespace {

// Against the HTTP server; a window with an icon stands in for the main window.
class HttpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring koren = Prostredi(L"TONBAR_HTTP_ROOT"), port = Prostredi(L"TONBAR_HTTP_PORT");
        ASSERT_TRUE(!koren.empty() && !port.empty()) << "no HTTP server: run through harness/servers.sh http";
        slozka_ = koren + L"\\software\\tonbar";  // the run's own folder: servers.sh removes it
        SHCreateDirectoryExW(nullptr, slozka_.c_str(), nullptr);
        url_ = L"http://127.0.0.1:" + port + L"/software/tonbar/";
        EXPECT_EQ(AdresaSouboruVerze(), kWeb + L"posledni_verze.txt") << "no override";
        klic_.NastavitAdresu(url_ + L"posledni_verze.txt");
    }
    void TearDown() override { Cekat([] { return !KontrolaAktualizaciBezi(); }); }
    void Zapsat(const std::string& obsah, const wchar_t* jmeno = L"posledni_verze.txt") const
    {
        WriteBytes(slozka_ + L"\\" + jmeno, obsah);
    }
    // Runs a check that must fail and returns the messages it showed.
    std::vector<std::wstring> NeuspesnaKontrola(bool tichy)
    {
        zpravy_.Vymazat();
        EXPECT_EQ(StartUpdateCheck(tichy), S_OK);
        EXPECT_TRUE(Cekat([] { return !KontrolaAktualizaciBezi(); }));
        Cekat([] { return false; }, 100);  // the box the check posted before it ended
        EXPECT_EQ(OknoAktualizace(), nullptr);
        return zpravy_.Zpravy();
    }

    ZaznamZprav zpravy_;
    KlicProgramu klic_;
    IkonaTestu ikona_;
    std::wstring slozka_, url_;
};

} // namespace

// One server for the whole scenario: the addresses a registry value overrides, the dialog with both
// versions, the download and its cap, then a 404 page and no server at all.
TEST_F(HttpTest, DialogDownloadAndErrorBoxUnlessSilent)
{
    EXPECT_EQ(AdresaStrankyProduktu(), url_);
    klic_.NastavitAdresu(L"");
    EXPECT_EQ(AdresaSouboruVerze(), kWeb + L"posledni_verze.txt") << "an empty override is none";
    EXPECT_EQ(AdresaStrankyProduktu(), kWeb);
    klic_.NastavitAdresu(url_ + L"posledni_verze.txt");
    Zapsat("posledni_verze 4.0.0.2");
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
    EXPECT_TRUE(zpravy_.Zpravy().empty());

    // The text comes in the ANSI code page; a body over 4096 bytes fails
    // rather than being cut; no server fails with a code.
    std::wstring text;
    ASSERT_EQ(DownloadTextFile(text, AdresaSouboruVerze().c_str()), S_OK);
    EXPECT_EQ(text, L"posledni_verze 4.0.0.2");
    Zapsat(std::string(4096, 'x'), L"velky.txt");
    ASSERT_EQ(DownloadTextFile(text, (url_ + L"velky.txt").c_str()), S_OK);
    EXPECT_EQ(text.size(), 4096u);
    Zapsat(std::string(4097, 'x'), L"velky.txt");
    EXPECT_EQ(DownloadTextFile(text, (url_ + L"velky.txt").c_str()), HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(text.empty()) << "no truncated text";
    const wchar_t* nikdo = L"http://127.0.0.1:1/software/tonbar/posledni_verze.txt";  // nothing listens on port 1
    EXPECT_LT(DownloadTextFile(text, nikdo), 0);

    // No file: the server answers 404 with an HTML page, taken as the text and
    // refused; then no server. The error box shows unless the check is silent.
    ASSERT_TRUE(DeleteFileW((slozka_ + L"\\posledni_verze.txt").c_str()));
    for (const wchar_t* adresa : {L"404", nikdo}) {
        if (adresa == nikdo)
            klic_.NastavitAdresu(nikdo);
        EXPECT_TRUE(NeuspesnaKontrola(true).empty()) << adresa;
        std::vector<std::wstring> z = NeuspesnaKontrola(false);
        ASSERT_EQ(z.size(), 1u) << adresa;
        EXPECT_EQ(z[0].rfind(kChyba, 0), 0u) << adresa;
    }
}
