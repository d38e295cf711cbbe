// The file commands on the list's selection: delete, rename, save as, play,
// and showing another folder.
#include "mainwindow/SeznamTest.h"

#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "player/OknoPrehravac.h"

#include <filesystem>
#include <fstream>

using namespace list_test;
using mirvak::winapi::ListViewObsahSlozky;

namespace {

std::string Obsah(const std::wstring& cesta)
{
    std::ifstream f(std::filesystem::path(cesta), std::ios::binary);
    return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "<none>";
}

bool Zapsat(const std::wstring& cesta, const std::string& text)
{
    return static_cast<bool>(std::ofstream(std::filesystem::path(cesta), std::ios::binary) << text);
}

struct Prikazy : Seznam {
    tonbar::test::TestModul modul;

    void Naplnit(std::initializer_list<const wchar_t*> jmena)
    {
        for (auto j : jmena)
            ASSERT_TRUE(Zapsat(dir.Soubor(j), "obsah"));
        ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
        ASSERT_EQ(list.StopWatch(), S_OK);  // the tests look at the files, not the refresh
    }
    void VybratJmeno(const std::wstring& jmeno)
    {
        int i = Index(jmeno);
        ASSERT_GE(i, 0);
        Vybrat({i});
    }
};

} // namespace

TEST_F(Prikazy, DeleteAsksWithBitOneOnlyAndGoesOnAfterAFailure)
{
    Naplnit({L"a.wma", L"b.wma", L"c.wma"});
    Vybrat({Index(L"a.wma"), Index(L"c.wma")});
    modul.odpoved = IDNO;
    EXPECT_EQ(list.PrikazSmazat(7), S_FALSE);
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(modul.zpravy[0].text, L"Opravdu chcete smazat z disku vybraný soubor(-y)?\nPočet souborů: 2");
    EXPECT_EQ(modul.zpravy[0].flags & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(Existuje(dir.Soubor(L"a.wma")));
    EXPECT_TRUE(Existuje(dir.Soubor(L"c.wma")));

    // One of the two goes while the question is open: it is skipped without
    // a word, the other is deleted.
    modul.odpoved = IDYES;
    modul.priZprave = [&] { DeleteFileW(dir.Soubor(L"c.wma").c_str()); };
    EXPECT_EQ(list.PrikazSmazat(7), S_OK);
    EXPECT_FALSE(Existuje(dir.Soubor(L"a.wma")));
    EXPECT_FALSE(Existuje(dir.Soubor(L"c.wma")));
    EXPECT_TRUE(Existuje(dir.Soubor(L"b.wma")));
    EXPECT_EQ(modul.zpravy.size(), 2u);

    // Without bit 0 nothing is asked, and a file that cannot go stops nothing.
    ASSERT_TRUE(Zapsat(dir.Soubor(L"a.wma"), "obsah"));
    ASSERT_TRUE(Zapsat(dir.Soubor(L"c.wma"), "obsah"));
    list.Refresh();
    modul.zpravy.clear();
    modul.priZprave = nullptr;
    // Held open without delete sharing, as by the recorder.
    HANDLE h = CreateFileW(dir.Soubor(L"b.wma").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Vybrat({Index(L"a.wma"), Index(L"b.wma"), Index(L"c.wma")});
    EXPECT_EQ(list.PrikazSmazat(5), E_FAIL);
    CloseHandle(h);
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(modul.zpravy[0].text.rfind(L"Některé soubory se nepodařilo smazat", 0), 0u) << "shown as an error";
    EXPECT_FALSE(Existuje(dir.Soubor(L"a.wma")));
    EXPECT_FALSE(Existuje(dir.Soubor(L"c.wma")));
    EXPECT_TRUE(Existuje(dir.Soubor(L"b.wma")));

    Vybrat({});
    EXPECT_EQ(list.PrikazSmazat(7), S_FALSE);  // nothing selected, nothing asked
    EXPECT_EQ(modul.zpravy.size(), 1u);
}

TEST_F(Prikazy, RenamePreselectsByBitTwoAsksAgainForABadNameAndLosesNothing)
{
    Naplnit({L"stary.wma", L"jiny.wma"});
    VybratJmeno(L"stary.wma");
    std::vector<std::wstring> nabidnuto;
    std::vector<bool> vyber;
    std::vector<std::wstring> odpovedi{L"spatny:nazev.wma", L"novy.wma"};
    size_t krok = 0;
    auto zadani = [&](std::wstring& text, const wchar_t*, bool vybratJmeno, int) {
        nabidnuto.push_back(text);
        vyber.push_back(vybratJmeno);
        text = odpovedi[krok++];
        return 0;
    };
    EXPECT_EQ(list.PrikazPrejmenovat(4, zadani), S_OK);
    ASSERT_EQ(nabidnuto.size(), 2u);
    EXPECT_EQ(nabidnuto[0], L"stary.wma");
    EXPECT_EQ(nabidnuto[1], L"spatny:nazev.wma");  // the refused text is offered again
    EXPECT_TRUE(vyber[0]);
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_NE(modul.zpravy[0].text.find(L"není platný"), std::wstring::npos);
    EXPECT_FALSE(Existuje(dir.Soubor(L"stary.wma")));
    EXPECT_EQ(Obsah(dir.Soubor(L"novy.wma")), "obsah");

    // Without bit 2 the whole name is selected; cancel changes nothing.
    list.Refresh();
    VybratJmeno(L"jiny.wma");
    bool vybrano = true;
    EXPECT_EQ(list.PrikazPrejmenovat(3, [&](std::wstring&, const wchar_t*, bool v, int) {
        vybrano = v;
        return 1;
    }), S_FALSE);
    EXPECT_FALSE(vybrano);
    EXPECT_TRUE(Existuje(dir.Soubor(L"jiny.wma")));

    // Onto an existing file: the system's error, and nothing is lost.
    ASSERT_TRUE(Zapsat(dir.Soubor(L"jiny.wma"), "druhy"));
    HRESULT hr = list.PrikazPrejmenovat(0, [](std::wstring& t, const wchar_t*, bool, int) {
        t = L"novy.wma";
        return 0;
    });
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(modul.zpravy.size(), 2u);
    EXPECT_EQ(Obsah(dir.Soubor(L"jiny.wma")), "druhy");
    EXPECT_EQ(Obsah(dir.Soubor(L"novy.wma")), "obsah");
}

TEST_F(Prikazy, SaveAsCopiesOverwritesAndReportsAFailedCopyAndTheRecordedFileIsNotPlayed)
{
    Naplnit({L"zaznam.wma"});
    Slozka cil;
    ASSERT_TRUE(Zapsat(cil.Soubor(L"kopie.wma"), "stare"));
    std::wstring nabidnuto;
    EXPECT_EQ(list.PrikazUlozitJako([&](const std::wstring& jmeno, std::wstring& kam) {
        nabidnuto = jmeno;
        kam = cil.Soubor(L"kopie.wma");
        return S_OK;
    }), S_OK);
    EXPECT_EQ(nabidnuto, L"zaznam.wma");
    EXPECT_EQ(Obsah(cil.Soubor(L"kopie.wma")), "obsah");
    EXPECT_TRUE(modul.zpravy.empty());

    EXPECT_EQ(list.PrikazUlozitJako([](const std::wstring&, std::wstring&) { return S_FALSE; }), S_FALSE);
    HRESULT hr = list.PrikazUlozitJako([&](const std::wstring&, std::wstring& kam) {
        kam = cil.Soubor(L"neni\\kopie.wma");
        return S_OK;
    });
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(Obsah(dir.Soubor(L"zaznam.wma")), "obsah");

    // Playing the file being recorded is refused.
    VybratJmeno(L"zaznam.wma");
    std::wstring nahravany = dir.Soubor(L"ZAZNAM.WMA");  // compared without case
    EXPECT_EQ(list.PrikazPrehrat(true, true, nahravany, host), S_FALSE);
    ASSERT_EQ(modul.zpravy.size(), 2u);
    EXPECT_EQ(modul.zpravy[1].text, L"Do tohoto souboru se právě nahrává a nelze ho proto nyní přehrávat.");
    EXPECT_FALSE(IsPlayerOpen());

    Vybrat({});
    list.Send(LVM_DELETEALLITEMS);
    EXPECT_EQ(list.PrikazPrehrat(true, false, L"", host), S_FALSE);  // no current file
    EXPECT_FALSE(IsPlayerOpen());
}

TEST_F(Prikazy, ShowingAnotherFolderUpdatesTheViewValues)
{
    Naplnit({L"a.wma"});
    Slozka data;
    ASSERT_TRUE(Zapsat(data.Soubor(L"d.wma"), "x"));
    tonbar::test::TestKonfigurace konf;
    Konfigurace& k = konf.k;
    k.slozka_data = data.Cesta();
    k.seznam_souboru_slozka = dir.Cesta();
    EXPECT_EQ(list.PrikazVychoziSlozka(k), S_OK);
    EXPECT_EQ(k.seznam_souboru_slozka, data.Cesta());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"d.wma"}));
    EXPECT_EQ(host.zobrazeno.back(), data.Cesta());
    EXPECT_TRUE(list.Watching());
    EXPECT_EQ(konf.Text(L"seznam_souboru", L"slozka"), data.Cesta());

    k.slozka_data = data.Soubor(L"neni");
    EXPECT_EQ(list.PrikazVychoziSlozka(k), E_INVALIDARG);
    EXPECT_EQ(k.seznam_souboru_slozka, data.Cesta());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"d.wma"}));

    EXPECT_EQ(mirvak::winapi::OtevritSlozkuZaznamu(data.Soubor(L"neni"), false), S_FALSE);
}
