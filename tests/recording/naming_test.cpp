// File names of recordings, the running number and its survival across a restart (Wine's registry, a key of
// the test's own), and the renames.
#include "harness/Servery.h"
#include "harness/TestFolder.h"
#include "recording/NazevZaznamu.h"

#include "app/Aplikace.h"
#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "resources/resource.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <tuple>

using namespace tonbar::test;

namespace {

SYSTEMTIME Cas(WORD d, WORD m, WORD y, WORD h, WORD min, WORD s) { return {y, m, 0, d, h, min, s, 0}; }

SYSTEMTIME g_pevnyCas = Cas(5, 12, 2026, 9, 7, 3);
void WINAPI PevneHodiny(LPSYSTEMTIME t) { *t = g_pevnyCas; }

class NazevTest : public ::testing::Test {
protected:
    void SetUp() override { k_.slozka_data = dir_.Path(); }
    // The file names of the next `n` name + number recordings.
    std::vector<std::wstring> Dalsi(int n)
    {
        std::vector<std::wstring> jmena;
        for (int i = 0; i < n; ++i) {
            if (VytvoritJmenoZaznamu(a_, k_, L"C:\\jinde", PevneHodiny) != S_OK)
                break;
            jmena.push_back(a_.souborZaznamu.substr(dir_.Path().size() + 1));
        }
        return jmena;
    }
    TestModul modul_;
    TestFolder dir_;
    TestKonfigurace konf_;
    Konfigurace& k_ = konf_.k;
    Aplikace a_;
};

// Answers the rename dialog with `odpovedi` in turn ("" or none left: cancel) and notes how it was asked;
// `behem` is what the dialog's message loop dispatches while it is open.
struct Zadani {
    std::deque<std::wstring> odpovedi;
    std::vector<std::tuple<std::wstring, const wchar_t*, bool, int>> dotazy;
    std::function<void()> behem = [] {};
    ZadaniTextu Funkce()
    {
        return [this](std::wstring& text, const wchar_t* popis, bool vybrat, int max) {
            dotazy.emplace_back(text, popis, vybrat, max);
            behem();
            const std::wstring odpoved = odpovedi.empty() ? L"" : odpovedi.front();
            if (!odpovedi.empty())
                odpovedi.pop_front();
            if (!odpoved.empty())
                text = odpoved;
            return odpoved.empty() ? 1 : 0;
        };
    }
};

using Jmena = std::vector<std::wstring>;

} // namespace

// Each mode, number width and clock: the date modes leave the number alone; without a maximum the name is
// fixed and takes no number.
TEST_F(NazevTest, NamesFollowTheModeTheWidthAndTheClock)
{
    const SYSTEMTIME hodiny = Cas(5, 12, 2026, 9, 7, 3);
    const struct {
        uint32_t rezim, mist, maximum;
        uint32_t cislo;
        SYSTEMTIME cas;
        const wchar_t* jmeno;  // nullptr: refused
        uint32_t potom;
    } pripady[] = {
        {1, 2, 500, 7, hodiny, L"5.12.2026 09-07.wma", 7},
        {1, 2, 500, 7, Cas(5, 12, 2026, 9, 7, 59), L"5.12.2026 09-07.wma", 7},  // the same minute
        {2, 2, 500, 7, hodiny, L"5.12.2026 09-07-03.wma", 7},
        {2, 2, 500, 7, Cas(31, 1, 2027, 23, 59, 0), L"31.1.2027 23-59-00.wma", 7},
        {3, 2, 500, 7, hodiny, nullptr, 7},
        {0, 0, 500, 7, hodiny, L"Záznam_7.wma", 8},       {0, 1, 500, 7, hodiny, L"Záznam_7.wma", 8},
        {0, 2, 500, 7, hodiny, L"Záznam_07.wma", 8},      {0, 3, 500, 7, hodiny, L"Záznam_007.wma", 8},
        {0, 2, 500, 123, hodiny, L"Záznam_123.wma", 124}, {0, 2, 0, 9999, hodiny, L"Záznam.wma", 9999},
    };
    for (const auto& p : pripady) {
        SCOPED_TRACE(p.jmeno ? Narrow(p.jmeno) : "refused");
        k_.vytv_jmena = p.rezim;
        k_.pocet_mist_cisla = p.mist;
        k_.max_pocet_souboru = p.maximum;
        a_.cisloZaznamu = p.cislo;
        g_pevnyCas = p.cas;
        EXPECT_EQ(VytvoritJmenoZaznamu(a_, k_, L"D:\\Nahravky", PevneHodiny), p.jmeno ? S_OK : E_INVALIDARG);
        // The numbered names stay in the data folder.
        if (p.jmeno) {
            EXPECT_EQ(a_.souborZaznamu, (p.rezim ? L"D:\\Nahravky" : dir_.Path()) + L"\\" + p.jmeno);
        }
        EXPECT_EQ(a_.cisloZaznamu, p.potom);
    }
    g_pevnyCas = hodiny;
}

TEST_F(NazevTest, NumberWrapsToOneOnlyWithPermissionAndNamesThatDoNotFitAreRefused)
{
    k_.vytv_jmena = 0;
    k_.max_pocet_souboru = 3;
    k_.soubor_parametry = 1;
    a_.cisloZaznamu = 3;
    EXPECT_EQ(Dalsi(4), (Jmena{L"Záznam_3.wma", L"Záznam_1.wma", L"Záznam_2.wma", L"Záznam_3.wma"}));
    EXPECT_EQ(a_.cisloZaznamu, 4u);
    k_.soubor_parametry = 0;
    a_.cisloZaznamu = 3;
    EXPECT_EQ(Dalsi(2), (Jmena{L"Záznam_3.wma"}));
    // Refused: neither the number nor the last path changes.
    EXPECT_EQ(a_.cisloZaznamu, 4u);
    EXPECT_EQ(a_.souborZaznamu, dir_.File(L"Záznam_3.wma"));
    EXPECT_EQ(VytvoritJmenoZaznamu(a_, k_, L"", PevneHodiny), E_INVALIDARG);
    // Names that do not fit are refused, not cut.
    k_.max_pocet_souboru = 500;
    a_.cisloZaznamu = 5;
    // The whole path may take 759 characters, not 760.
    const size_t pevne = dir_.Path().size() + 1 + 2 + 4;  // "\" "_5" ".wma"
    k_.soubor_jmeno.assign(kDelkaJmenaZaznamu - 1 - pevne, L'j');
    EXPECT_EQ(Dalsi(1).size(), 1u);
    EXPECT_EQ(a_.souborZaznamu.size(), kDelkaJmenaZaznamu - 1);
    k_.soubor_jmeno += L'j';
    a_.souborZaznamu = L"beze změny";
    EXPECT_EQ(VytvoritJmenoZaznamu(a_, k_, L"", PevneHodiny), E_INVALIDARG);
    EXPECT_EQ(a_.souborZaznamu, L"beze změny");
    EXPECT_EQ(a_.cisloZaznamu, 6u);
    k_.soubor_jmeno = L"Záznam";
    k_.pocet_mist_cisla = 100000;
    EXPECT_EQ(VytvoritJmenoZaznamu(a_, k_, L"", PevneHodiny), E_INVALIDARG);
    EXPECT_EQ(a_.cisloZaznamu, 6u);
    k_.vytv_jmena = 2;
    EXPECT_EQ(VytvoritJmenoZaznamu(a_, k_, std::wstring(800, L'd'), PevneHodiny), E_INVALIDARG);
}

TEST_F(NazevTest, ResetAsksAndOnlyYesResetsAndSaves)
{
    a_.cisloZaznamu = 42;
    k_.posledni_cislo = 40;
    for (int odpoved : {IDNO, IDCANCEL}) {
        modul_.odpoved = odpoved;
        EXPECT_EQ(ResetovatCislovani(k_, a_.cisloZaznamu), S_FALSE);
        EXPECT_EQ(a_.cisloZaznamu, 42u);
        EXPECT_EQ(k_.posledni_cislo, 40u);
    }
    ASSERT_EQ(modul_.zpravy.size(), 2u);
    EXPECT_EQ(modul_.zpravy[0].text,
              L"Opravdu chcete nastavit číslování záznamů od výchozí hodnoty 1?\n(Aktuální číslo následujícího záznamu je 42)");
    EXPECT_EQ(modul_.zpravy[0].flags & 0xFFF, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2));
    modul_.odpoved = IDYES;
    EXPECT_EQ(ResetovatCislovani(k_, a_.cisloZaznamu), S_OK);
    EXPECT_EQ(a_.cisloZaznamu, 1u);
    EXPECT_EQ(k_.posledni_cislo, 1u);
    EXPECT_EQ(konf_.Dword(L"soubor", L"posledni_cislo"), 1u);  // saved
}

TEST(NazevSouboru, RenameNamesMayNotLeaveTheFolder)
{
    for (const wchar_t* dobre : {L"nový záznam.wma", L"a..b.wma", L".wma", L"Záznam (2).wma", L"x"})
        EXPECT_EQ(OveritNazevSouboru(dobre), S_OK) << dobre;
    for (const wchar_t* spatne : {L"", L".", L"..", L"...", L" . ", L"..\\ven.wma", L"pod/ven.wma", L"C:ven.wma",
                                  L"a*b", L"a?b", L"\"a\"", L"<a>", L"a|b", L"a\tb", L"a\x01" L"b"})
        EXPECT_EQ(OveritNazevSouboru(spatne), E_INVALIDARG) << spatne;
    std::wstring cesta = L"nezmeneno";
    ASSERT_EQ(CestaVeSlozce(L"C:\\Nahravky\\stary.wma", L"novy.wma", cesta), S_OK);
    EXPECT_EQ(cesta, L"C:\\Nahravky\\novy.wma");
    EXPECT_EQ(CestaVeSlozce(L"C:\\Nahravky\\stary.wma", L"..", cesta), E_INVALIDARG);
    EXPECT_EQ(CestaVeSlozce(L"C:\\Nahravky\\stary.wma", std::wstring(760, L'n'), cesta), E_INVALIDARG);
    EXPECT_EQ(cesta, L"C:\\Nahravky\\novy.wma");
}

TEST_F(NazevTest, RenameDuringRecordingKeepsTheNameForTheStop)
{
    a_.souborZaznamu = dir_.File(L"5.12.2026 09-07-03.wma");
    WriteBytes(a_.souborZaznamu, "zaznam");
    Zadani z;
    EXPECT_EQ(PrejmenovatNahravany(a_, k_, false, z.Funkce()), S_FALSE);
    EXPECT_TRUE(z.dotazy.empty());
    // A name with a path is explained and asked again with the text as typed.
    z.odpovedi = {L"..\\ven.wma", L"Porada.wma"};
    k_.seznam_souboru_parametry = 4;
    ASSERT_EQ(PrejmenovatNahravany(a_, k_, true, z.Funkce()), S_OK);
    ASSERT_EQ(z.dotazy.size(), 2u);
    EXPECT_EQ(z.dotazy[0], std::make_tuple(std::wstring(L"5.12.2026 09-07-03.wma"),
                                           MAKEINTRESOURCEW(IDS_ZADEJTE_NAZEV_SOUBORU), true, 259));
    EXPECT_EQ(std::get<0>(z.dotazy[1]), L"..\\ven.wma");
    ASSERT_EQ(modul_.zpravy.size(), 1u);
    EXPECT_NE(modul_.zpravy[0].text.find(L"není platný"), std::wstring::npos);
    EXPECT_EQ(a_.noveJmenoZaznamu, dir_.File(L"Porada.wma"));
    EXPECT_TRUE(Existuje(a_.souborZaznamu));  // nothing moves before the stop
    ASSERT_EQ(DokoncitPrejmenovani(a_), S_OK);
    EXPECT_EQ(a_.souborZaznamu, dir_.File(L"Porada.wma"));
    EXPECT_EQ(Soubory(dir_.Path()), std::vector<std::wstring>{L"Porada.wma"});
    EXPECT_TRUE(a_.noveJmenoZaznamu.empty());
    EXPECT_EQ(DokoncitPrejmenovani(a_), S_FALSE);
    // Cancel chooses nothing.
    k_.seznam_souboru_parametry = 0;
    EXPECT_EQ(PrejmenovatNahravany(a_, k_, true, z.Funkce()), S_FALSE);
    EXPECT_FALSE(std::get<2>(z.dotazy.back()));
    EXPECT_TRUE(a_.noveJmenoZaznamu.empty());
    // A taken name: the move fails, is reported, and the file keeps its name.
    WriteBytes(dir_.File(L"obsazeno.wma"), "jiny");
    a_.noveJmenoZaznamu = dir_.File(L"obsazeno.wma");
    EXPECT_EQ(DokoncitPrejmenovani(a_), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(a_.souborZaznamu, dir_.File(L"Porada.wma"));
    EXPECT_EQ(ReadBytes(a_.souborZaznamu), "zaznam");
    EXPECT_TRUE(a_.noveJmenoZaznamu.empty());
    ASSERT_EQ(modul_.zpravy.size(), 2u);
    EXPECT_NE(modul_.zpravy[1].text.find(L"Soubor záznamu se nepodařilo přejmenovat."), std::wstring::npos);
    EXPECT_NE(modul_.zpravy[1].text.find(L"Systémový popis chyby"), std::wstring::npos);
}

// The date-and-time modes never replace a recording: a taken name gets " (2)", " (3)" ...; the numbered modes
// reuse their bounded set of names.
TEST_F(NazevTest, ATakenDateAndTimeNameGetsTheNextFreeNumber)
{
    const struct {
        uint32_t rezim;
        std::vector<std::wstring> existujici;
        std::wstring ocekavane;
    } pripady[] = {
        {1, {L"5.12.2026 09-07.wma"}, L"5.12.2026 09-07 (2).wma"},
        {1, {L"5.12.2026 09-07.wma", L"5.12.2026 09-07 (2).wma"}, L"5.12.2026 09-07 (3).wma"},
        {2, {L"5.12.2026 09-07-03.wma", L"5.12.2026 09-07-03 (3).wma"}, L"5.12.2026 09-07-03 (2).wma"},
        {0, {L"Záznam_7.wma"}, L"Záznam_7.wma"},
    };
    g_pevnyCas = Cas(5, 12, 2026, 9, 7, 3);
    for (const auto& p : pripady) {
        TestFolder slozka;
        for (const auto& jmeno : p.existujici)
            WriteBytes(slozka.File(jmeno), "starsi zaznam");
        k_.vytv_jmena = p.rezim;
        k_.slozka_data = slozka.Path();
        a_.cisloZaznamu = 7;
        ASSERT_EQ(VytvoritJmenoZaznamu(a_, k_, slozka.Path(), PevneHodiny), S_OK);
        EXPECT_EQ(a_.souborZaznamu, slozka.File(p.ocekavane));
    }
    // The start by a recording profile names its file the same way.
    WriteBytes(dir_.File(L"5.12.2026 09-07-03.wma"), "starsi zaznam");
    std::wstring cesta;
    ASSERT_EQ(SestavitJmenoPodleCasu(dir_.Path(), g_pevnyCas, true, cesta), S_OK);
    EXPECT_EQ(cesta, dir_.File(L"5.12.2026 09-07-03 (2).wma"));
    // No folder, no name: a file would land in the root of the drive.
    EXPECT_EQ(SestavitJmenoPodleCasu(L"", g_pevnyCas, true, cesta), E_INVALIDARG);
    k_.vytv_jmena = 0;
    k_.slozka_data.clear();
    EXPECT_EQ(VytvoritJmenoZaznamu(a_, k_, dir_.Path(), PevneHodiny), E_INVALIDARG);
}

// After the recording the name is asked only when chosen, and cancel keeps the file. Both rename dialogs
// dispatch messages while open: whatever starts or stops meanwhile, the name goes to the file the dialog was
// opened for.
TEST_F(NazevTest, RenameDialogsNameTheFileTheyWereOpenedFor)
{
    a_.souborZaznamu = dir_.File(L"hotovo.wma");
    WriteBytes(a_.souborZaznamu, "zaznam");
    Zadani z;
    k_.soubor_parametry = 0;
    EXPECT_EQ(PrejmenovatPoZaznamu(a_, k_, z.Funkce()), S_FALSE);
    EXPECT_TRUE(z.dotazy.empty());
    k_.soubor_parametry = 2;
    EXPECT_EQ(PrejmenovatPoZaznamu(a_, k_, z.Funkce()), S_FALSE);
    EXPECT_EQ(Soubory(dir_.Path()), std::vector<std::wstring>{L"hotovo.wma"});
    for (bool behemZaznamu : {true, false}) {
        SCOPED_TRACE(behemZaznamu ? "during the recording" : "after it");
        TestFolder slozka;
        a_.souborZaznamu = slozka.File(L"prvni.wma");
        WriteBytes(a_.souborZaznamu, "prvni");
        z.odpovedi = {L"Přednáška.wma"};
        z.behem = [&] {
            a_.souborZaznamu = slozka.File(L"druhy.wma");
            WriteBytes(a_.souborZaznamu, "druhy zaznam");
        };
        HRESULT hr = behemZaznamu ? PrejmenovatNahravany(a_, k_, true, z.Funkce())
                                  : PrejmenovatPoZaznamu(a_, k_, z.Funkce());
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(ReadBytes(slozka.File(L"Přednáška.wma")), "prvni");
        EXPECT_EQ(ReadBytes(slozka.File(L"druhy.wma")), "druhy zaznam");  // untouched
        EXPECT_EQ(a_.souborZaznamu, slozka.File(L"druhy.wma"));
        EXPECT_TRUE(a_.noveJmenoZaznamu.empty());
    }
}
