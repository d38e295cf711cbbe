// The update check and the about dialog. The Http* cases need the server that
// update_test.sh starts: python3 -m http.server on 127.0.0.1 over a temporary
// folder (TONBAR_HTTP_ROOT as a Windows path, TONBAR_HTTP_PORT).
#include "update/Aktualizace.h"
#include "update/DlgProgramInfo.h"

#include "app/Chyby.h"
#include "app/Pracovnici.h"
#include "mainwindow/IkonaOznameni.h"
#include "resources/resource.h"
#include "resources/version.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tonbar::test;

namespace {

std::wstring Siroky(const char* s)
{
    std::wstring w;
    for (; *s; ++s)
        w += static_cast<wchar_t>(*s);
    return w;
}

// The program's registry key points at a test key of its own for the override.
class KlicProgramu {
public:
    KlicProgramu() : puvodni_(g_konfigurace.registrovaCesta)
    {
        g_konfigurace.registrovaCesta =
            L"Software\\Mirvak\\TonbarTest\\update-" + std::to_wstring(GetCurrentProcessId());
        RegDeleteTreeW(HKEY_CURRENT_USER, g_konfigurace.registrovaCesta.c_str());
    }
    ~KlicProgramu()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, g_konfigurace.registrovaCesta.c_str());
        g_konfigurace.registrovaCesta = puvodni_;
    }
    void NastavitAdresu(const std::wstring& adresa) const
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, g_konfigurace.registrovaCesta.c_str(), kHodnotaAdresyAktualizace, REG_SZ,
                        adresa.c_str(), static_cast<DWORD>((adresa.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::wstring puvodni_;
};

TEST(VerzeZTextu, LengthAndPrefixDecide)
{
    std::wstring v;
    // 22 characters: the prefix, a blank and 4.0.0.2; the blank is kept.
    EXPECT_EQ(VerzeZTextu(L"posledni_verze 4.0.0.2", v), S_OK);
    EXPECT_EQ(v, L" 4.0.0.2");
    EXPECT_EQ(VerzeZTextu(L"posledni_verze 4.0.01", v), S_OK) << "21 characters pass";
    EXPECT_EQ(VerzeZTextu(L"posledni_verze 4.0.1", v), E_FAIL) << "20 characters fail";
    EXPECT_TRUE(v.empty());
    std::wstring padesat = L"posledni_verze" + std::wstring(36, L'9');
    ASSERT_EQ(padesat.size(), 50u);
    EXPECT_EQ(VerzeZTextu(padesat, v), S_OK);
    EXPECT_EQ(VerzeZTextu(padesat + L"9", v), E_FAIL) << "51 characters fail";
    EXPECT_EQ(VerzeZTextu(L"POSLEDNI_VERZE4.1.0.0", v), S_OK) << "the prefix test ignores case";
    EXPECT_EQ(v, L"4.1.0.0");
    EXPECT_EQ(VerzeZTextu(L"<html>posledni_verze 4.0.0.2", v), E_FAIL);
    EXPECT_EQ(VerzeZTextu(L"", v), E_FAIL);
}

TEST(Verze, OwnVersionIsTheFileVersionOfTheResource)
{
    std::wstring v;
    ASSERT_EQ(GetOwnVersion(v), S_OK);
    EXPECT_EQ(v, Siroky(TONBAR_VERSION_TEXT));
}

TEST(AdresaAktualizace, RegistryValueOverridesTheString)
{
    KlicProgramu klic;
    EXPECT_EQ(AdresaSouboruVerze(), NacistRetezec(20054));
    EXPECT_EQ(AdresaSouboruVerze(), L"http://www.mirvak.example.org/software/tonbar/posledni_verze.txt");
    EXPECT_EQ(AdresaStrankyProduktu(), L"http://www.mirvak.example.org/software/tonbar/");
    klic.NastavitAdresu(L"http://127.0.0.1:1/zrcadlo/software/tonbar/posledni_verze.txt");
    EXPECT_EQ(AdresaSouboruVerze(), L"http://127.0.0.1:1/zrcadlo/software/tonbar/posledni_verze.txt");
    EXPECT_EQ(AdresaStrankyProduktu(), L"http://127.0.0.1:1/zrcadlo/software/tonbar/");
    klic.NastavitAdresu(L"");
    EXPECT_EQ(AdresaSouboruVerze(), NacistRetezec(20054)) << "an empty override is none";
}

TEST(Stazeni, BadAddressesFailWithACode)
{
    std::wstring text = L"staré";
    EXPECT_EQ(DownloadTextFile(text, L""), E_INVALIDARG);
    EXPECT_TRUE(text.empty());
    // Nothing listens on port 1 of the loopback address.
    HRESULT hr = DownloadTextFile(text, L"http://127.0.0.1:1/software/tonbar/posledni_verze.txt");
    EXPECT_LT(hr, 0);
    EXPECT_TRUE(text.empty());
}

TEST(OAplikaci, ShowsNameVersionAndCopyrightOnceAtATime)
{
    ZaznamZprav zpravy;
    VlastnikNaVlakne vlastnik([](HWND o) { return ZobrazitOAplikaci(o); });
    ASSERT_TRUE(Cekat([] { return OknoOAplikaci() && IsWindowVisible(OknoOAplikaci()); }));
    HWND dlg = OknoOAplikaci();
    EXPECT_EQ(TextOkna(dlg), L"O programu Tonbar");
    EXPECT_EQ(TextOkna(GetDlgItem(dlg, IDC_AKT_NADPIS)), L"Tonbar");
    EXPECT_EQ(TextOkna(GetDlgItem(dlg, IDC_INFO_VERZE)), L"verze: " + Siroky(TONBAR_VERSION_TEXT) + L"  (64-bitová verze)");
    EXPECT_EQ(TextOkna(GetDlgItem(dlg, IDC_INFO_COPYRIGHT)), L"Copyright © 2026 Mirvak");
    EXPECT_EQ(ZobrazitOAplikaci(nullptr), 0) << "a second request only brings it to the front";
    std::wstring snimky = SlozkaSnimku();
    if (!snimky.empty()) {
        Sleep(300);
        EXPECT_TRUE(UlozitSnimek(dlg, snimky + L"\\o_aplikaci.png"));
    }
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(vlastnik.Vysledek(), IDOK);
    EXPECT_EQ(OknoOAplikaci(), nullptr);
}

// Against the HTTP server -------------------------------------------------------

// A window with an icon standing in for the main window: the check's error
// box reaches the user through it.
class HlavniOkno {
public:
    HlavniOkno()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == pracovnici::WM_HLASENI_PRACOVNIKU) {
                pracovnici::ZobrazitHlaseni();
                return 0;
            }
            return DefWindowProcW(h, m, w, l);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TONBAR));
        wc.lpszClassName = L"TonbarTestHlavni";
        RegisterClassW(&wc);
        okno_ = CreateWindowExW(0, wc.lpszClassName, L"Tonbar", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, wc.hInstance, nullptr);
        ikona_.Pridat(okno_, 1, false, false);  // no notification area under Xvfb is fine
        NastavitIkonuHlavnihoOkna(&ikona_);
        pracovnici::NastavitOkno(okno_);
    }
    ~HlavniOkno()
    {
        pracovnici::NastavitOkno(nullptr);
        NastavitIkonuHlavnihoOkna(nullptr);
        ikona_.Odebrat();
        DestroyWindow(okno_);
    }

private:
    HWND okno_ = nullptr;
    IkonaOznameni ikona_;
};

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t koren[MAX_PATH] = {}, port[16] = {};
        if (!GetEnvironmentVariableW(L"TONBAR_HTTP_ROOT", koren, MAX_PATH) ||
            !GetEnvironmentVariableW(L"TONBAR_HTTP_PORT", port, 16))
            GTEST_SKIP() << "no HTTP server: run through update_test.sh";
        // A folder of this test's own under the served root.
        static int citac = 0;
        std::wstring jmeno = L"t" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++citac);
        slozka_ = std::wstring(koren) + L"\\" + jmeno;
        CreateDirectoryW(slozka_.c_str(), nullptr);
        CreateDirectoryW((slozka_ + L"\\software").c_str(), nullptr);
        CreateDirectoryW((slozka_ + L"\\software\\tonbar").c_str(), nullptr);
        url_ = L"http://127.0.0.1:" + std::wstring(port) + L"/" + jmeno;
        klic_.NastavitAdresu(url_ + L"/software/tonbar/posledni_verze.txt");
    }
    void TearDown() override
    {
        Cekat([] { return !KontrolaAktualizaciBezi(); });
        if (!slozka_.empty())
            TestFolder::Remove(slozka_);
    }
    void Zapsat(const std::string& obsah, const wchar_t* jmeno = L"posledni_verze.txt") const
    {
        std::wstring cesta = slozka_ + L"\\software\\tonbar\\" + jmeno;
        std::ofstream f(cesta.c_str(), std::ios::binary);
        f << obsah;
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
    // Runs a check that must show the dialog; the web version it shows.
    std::wstring UspesnaKontrola(bool snimek = false)
    {
        zpravy_.Vymazat();
        EXPECT_EQ(StartUpdateCheck(false), S_OK);
        EXPECT_TRUE(Cekat([] { return OknoAktualizace() && IsWindowVisible(OknoAktualizace()); }));
        HWND dlg = OknoAktualizace();
        if (!dlg)
            return L"<žádný dialog>";
        EXPECT_EQ(TextOkna(dlg), L"Vyhledání aktualizací - Tonbar");
        EXPECT_EQ(TextOkna(GetDlgItem(dlg, IDC_AKT_VASE_VERZE)), L"Vaše verze: " + Siroky(TONBAR_VERSION_TEXT));
        EXPECT_EQ(TextOkna(GetDlgItem(dlg, IDC_AKT_NADPIS)), L"Tonbar");
        // A second command while the check (with its dialog) runs only beeps.
        EXPECT_EQ(StartUpdateCheck(false), S_FALSE);
        std::wstring snimky = SlozkaSnimku();
        if (snimek && !snimky.empty()) {
            Sleep(300);
            EXPECT_TRUE(UlozitSnimek(dlg, snimky + L"\\aktualizace.png"));
        }
        std::wstring web = TextOkna(GetDlgItem(dlg, IDC_AKT_WEB_VERZE));
        PostMessageW(dlg, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(Cekat([] { return !KontrolaAktualizaciBezi(); }));
        EXPECT_TRUE(zpravy_.Zpravy().empty());
        return web;
    }

    ZaznamZprav zpravy_;
    KlicProgramu klic_;
    HlavniOkno hlavni_;
    std::wstring slozka_, url_;
};

TEST_F(HttpTest, DownloadReadsTheFileAndCapsItsSize)
{
    Zapsat("posledni_verze 4.0.0.2");
    std::wstring text;
    ASSERT_EQ(DownloadTextFile(text, AdresaSouboruVerze().c_str()), S_OK);
    EXPECT_EQ(text, L"posledni_verze 4.0.0.2");
    // The ANSI code page of the prefix (Wine: 1252 unless set otherwise).
    Zapsat(std::string(4096, 'x'), L"velky.txt");
    ASSERT_EQ(DownloadTextFile(text, (url_ + L"/software/tonbar/velky.txt").c_str()), S_OK);
    EXPECT_EQ(text.size(), 4096u);
    Zapsat(std::string(4097, 'x'), L"velky.txt");
    EXPECT_EQ(DownloadTextFile(text, (url_ + L"/software/tonbar/velky.txt").c_str()),
              HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(text.empty()) << "no truncated text";
}

TEST_F(HttpTest, DialogShowsOwnAndPublishedVersion)
{
    Zapsat("posledni_verze 4.0.0.2");
    EXPECT_EQ(UspesnaKontrola(true), L"Aktuální verze na webu:  4.0.0.2");
    EXPECT_EQ(PosledniBublinaAktualizace(), NacistRetezec(20053));
    EXPECT_EQ(NacistRetezec(20053), L"Vyhledávám aktualizace na www.mirvak.example.org.\nČekejte prosím...");
}

TEST_F(HttpTest, LengthAndPrefixEdgeCases)
{
    Zapsat("posledni_verze" + std::string(36, '7'));  // 50 characters
    EXPECT_EQ(UspesnaKontrola(), L"Aktuální verze na webu: " + std::wstring(36, L'7'));
    Zapsat("POSLEDNI_VERZE4.1.0.0");
    EXPECT_EQ(UspesnaKontrola(), L"Aktuální verze na webu: 4.1.0.0");

    Zapsat("posledni_verze 4.0.1");  // 20 characters
    std::vector<std::wstring> z = NeuspesnaKontrola(false);
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].rfind(L"Při vyhledávání aktualizací na webu došlo k chybě.", 0), 0u) << z[0];
    Zapsat("posledni_verze" + std::string(37, '7'));  // 51 characters
    EXPECT_EQ(NeuspesnaKontrola(false).size(), 1u);
}

TEST_F(HttpTest, ErrorPageGivesTheErrorBoxUnlessSilent)
{
    // No file: the server answers 404 with an HTML page, taken as the text.
    std::vector<std::wstring> z = NeuspesnaKontrola(false);
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].rfind(L"Při vyhledávání aktualizací na webu došlo k chybě.", 0), 0u) << z[0];
    // lParam 0xFFFF: the same failure shows nothing.
    EXPECT_TRUE(NeuspesnaKontrola(true).empty());
    // An unreachable server, silent and not.
    klic_.NastavitAdresu(L"http://127.0.0.1:1/software/tonbar/posledni_verze.txt");
    EXPECT_TRUE(NeuspesnaKontrola(true).empty());
    EXPECT_EQ(NeuspesnaKontrola(false).size(), 1u);
}

} // namespace
