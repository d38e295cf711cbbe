// The list of recordings on a host window: what is listed, sizes past 4 GiB,
// sorting, selection after a refresh, and the folder watcher.
#include "mainwindow/SeznamTest.h"

#include <shlwapi.h>

using namespace list_test;
using mirvak::winapi::ListViewObsahSlozky;

namespace {

FILETIME VytvorenFt(const std::wstring& cesta)
{
    WIN32_FILE_ATTRIBUTE_DATA a{};
    GetFileAttributesExW(cesta.c_str(), GetFileExInfoStandard, &a);
    return a.ftCreationTime;
}

SYSTEMTIME Vytvoren(const std::wstring& cesta)
{
    FILETIME ft = VytvorenFt(cesta);
    SYSTEMTIME st{};
    FileTimeToSystemTime(&ft, &st);
    return st;
}

} // namespace

TEST(SeznamFiltr, OnlyWmaInAnyCaseWithBitZero)
{
    EXPECT_FALSE(mirvak::winapi::OdfiltrovatSoubor(1, L"a.wma"));
    EXPECT_FALSE(mirvak::winapi::OdfiltrovatSoubor(1, L"B.WmA"));
    EXPECT_TRUE(mirvak::winapi::OdfiltrovatSoubor(1, L"c.mp3"));
    EXPECT_TRUE(mirvak::winapi::OdfiltrovatSoubor(1, L"wma"));
    EXPECT_TRUE(mirvak::winapi::OdfiltrovatSoubor(7, L"d.wma.txt"));
    EXPECT_FALSE(mirvak::winapi::OdfiltrovatSoubor(6, L"c.mp3"));
}

TEST_F(Seznam, ListsFilesOnlyNeverDotNamesOrFolders)
{
    ASSERT_TRUE(dir.Vytvorit(L"a.wma", 10));
    ASSERT_TRUE(dir.Vytvorit(L"B.WMA", 20));
    ASSERT_TRUE(dir.Vytvorit(L"c.mp3", 30));
    ASSERT_TRUE(dir.Vytvorit(L".skryty.wma", 40));
    ASSERT_TRUE(CreateDirectoryW(dir.Soubor(L"slozka.wma").c_str(), nullptr));

    host.parametry = 1;
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    EXPECT_EQ(Serazene(), (std::vector<std::wstring>{L"B.WMA", L"a.wma"}));
    ASSERT_EQ(host.zobrazeno.size(), 1u);
    EXPECT_EQ(host.zobrazeno[0], dir.Cesta());

    // The options changed: all files, still no dot names or folders.
    host.parametry = 6;
    ASSERT_EQ(list.Restart(), S_OK);
    EXPECT_EQ(Serazene(), (std::vector<std::wstring>{L"B.WMA", L"a.wma", L"c.mp3"}));
    EXPECT_TRUE(list.Watching());
}

TEST_F(Seznam, ColumnsShowSizeAndCreationTime)
{
    EXPECT_EQ(list.Send(LVM_GETCOLUMNWIDTH, 1), ListViewObsahSlozky::kSirkaVelikosti);
    EXPECT_EQ(list.Send(LVM_GETCOLUMNWIDTH, 2), ListViewObsahSlozky::kSirkaCasu);
    RECT r = host.ClientRect();
    EXPECT_EQ(list.ClientRect().right, r.right);  // fills the owner at creation
    list.Send(WM_SIZE, 0, MAKELPARAM(700, 300));
    EXPECT_EQ(list.Send(LVM_GETCOLUMNWIDTH, 0), 700 - 240);
    wchar_t nadpis[32] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_FMT;
    c.pszText = nadpis;
    c.cchTextMax = 32;
    ASSERT_TRUE(list.Send(LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&c)));
    EXPECT_STREQ(nadpis, L"Velikost");
    EXPECT_EQ(c.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);
    EXPECT_EQ(list.Send(WM_GETDLGCODE), DLGC_WANTALLKEYS);

    ASSERT_TRUE(dir.Vytvorit(L"x.wma", 3000));
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    ASSERT_EQ(list.Count(), 1);
    wchar_t kb[50];
    StrFormatKBSizeW(3000, kb, 50);
    EXPECT_EQ(list.ItemText(0, 1), kb);
    // Day.month.year, unpadded hour, two-digit minute and second, in UTC as
    // the file system keeps it.
    SYSTEMTIME st = Vytvoren(dir.Soubor(L"x.wma"));
    wchar_t cekany[64];
    swprintf(cekany, 64, L"%u.%u.%u %u:%02u:%02u", st.wDay, st.wMonth, st.wYear, st.wHour, st.wMinute, st.wSecond);
    EXPECT_EQ(list.ItemText(0, 2), cekany);
}

TEST_F(Seznam, SizesPastFourGibKeepAllBits)
{
    const uint64_t gib = 1ull << 30;
    ASSERT_TRUE(dir.Vytvorit(L"velky.wma", 5 * gib));
    ASSERT_TRUE(dir.Vytvorit(L"tesne.wma", 4 * gib + 1));  // low 32 bits: 1
    ASSERT_TRUE(dir.Vytvorit(L"maly.wma", 3000));
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    ASSERT_EQ(list.Count(), 3);
    int i = Index(L"velky.wma");
    ASSERT_GE(i, 0);
    EXPECT_EQ(list.Item(i)->velikost, 5 * gib);
    wchar_t cely[50], oriznuty[50];
    StrFormatKBSizeW(static_cast<LONGLONG>(5 * gib), cely, 50);
    StrFormatKBSizeW(static_cast<LONGLONG>((5 * gib) & 0xFFFFFFFFu), oriznuty, 50);
    EXPECT_EQ(list.ItemText(i, 1), cely);
    EXPECT_NE(list.ItemText(i, 1), oriznuty);

    list.SortByColumn(1);  // first click: descending
    EXPECT_FALSE(list.Ascending());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"velky.wma", L"tesne.wma", L"maly.wma"}));
    list.SortByColumn(1);
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"maly.wma", L"tesne.wma", L"velky.wma"}));
}

TEST_F(Seznam, SortsByEachColumnAndRefreshSelectsTheFirst)
{
    // Names, sizes and creation times in three different orders.
    // The file system keeps its own creation times (Wine cannot set them):
    // created b, a, C in this order.
    ASSERT_TRUE(dir.Vytvorit(L"b.wma", 300));
    Sleep(30);
    ASSERT_TRUE(dir.Vytvorit(L"a.wma", 200));
    Sleep(30);
    ASSERT_TRUE(dir.Vytvorit(L"C.wma", 100));
    FILETIME tb = VytvorenFt(dir.Soubor(L"b.wma")), ta = VytvorenFt(dir.Soubor(L"a.wma")),
             tc = VytvorenFt(dir.Soubor(L"C.wma"));
    ASSERT_LT(CompareFileTime(&tb, &ta), 0);
    ASSERT_LT(CompareFileTime(&ta, &tc), 0);
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    EXPECT_EQ(list.SortColumn(), -1);

    NMLISTVIEW klik{};
    klik.hdr.hwndFrom = list;
    klik.hdr.idFrom = mirvak::winapi::kIdSeznamuSouboru;
    klik.hdr.code = LVN_COLUMNCLICK;
    klik.iItem = -1;
    klik.iSubItem = 0;
    // Through the owner, as the header's click arrives.
    host.Send(WM_NOTIFY, klik.hdr.idFrom, reinterpret_cast<LPARAM>(&klik));
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"C.wma", L"b.wma", L"a.wma"}));
    host.Send(WM_NOTIFY, klik.hdr.idFrom, reinterpret_cast<LPARAM>(&klik));
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"a.wma", L"b.wma", L"C.wma"}));

    list.SortByColumn(1);  // a new column keeps the direction: ascending
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"C.wma", L"a.wma", L"b.wma"}));
    list.SortByColumn(2);
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"b.wma", L"a.wma", L"C.wma"}));
    list.SortByColumn(2);
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"C.wma", L"a.wma", L"b.wma"}));

    // A refresh does not sort and selects the first item; the next click on
    // the same column inverts the direction that was in force.
    Vybrat({2});
    list.Refresh();
    Pumpovat();
    EXPECT_EQ(Vybrana(), 0);
    EXPECT_EQ(list.Send(LVM_GETSELECTEDCOUNT), 1);
    EXPECT_FALSE(list.Ascending());
    list.SortByColumn(2);
    EXPECT_TRUE(list.Ascending());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"b.wma", L"a.wma", L"C.wma"}));
}

TEST_F(Seznam, CurrentFileFollowsTheItemChange)
{
    ASSERT_TRUE(dir.Vytvorit(L"a.wma"));
    ASSERT_TRUE(dir.Vytvorit(L"b.wma"));
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    Pumpovat();
    host.zmen = 0;
    Vybrat({1});
    std::wstring jmeno, cesta;
    ASSERT_EQ(list.GetCurrentFile(jmeno, false), S_OK);
    EXPECT_EQ(jmeno, list.ItemText(1, 0));
    ASSERT_EQ(list.GetCurrentFile(cesta, true), S_OK);
    EXPECT_EQ(cesta, dir.Soubor(jmeno));
    Pumpovat();
    EXPECT_GT(host.zmen, 0);  // the owner was told

    std::wstring slozka;
    EXPECT_EQ(list.GetFolder(slozka), S_OK);
    EXPECT_EQ(slozka, dir.Cesta());
}

TEST_F(Seznam, MissingFolderKeepsTheListAndStartsNoWatcher)
{
    ASSERT_TRUE(dir.Vytvorit(L"a.wma"));
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.SetFolder(dir.Soubor(L"neni")), E_INVALIDARG);
    EXPECT_EQ(list.SetFolder(dir.Soubor(L"a.wma")), E_INVALIDARG);  // a file, not a folder
    EXPECT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.Watching());
    EXPECT_EQ(host.zobrazeno.size(), 1u);

    // The folder goes away: Restart stops watching, leaves the list alone.
    Slozka jina;
    ASSERT_TRUE(jina.Vytvorit(L"x.wma"));
    ASSERT_EQ(list.SetFolder(jina.Cesta()), S_OK);
    ASSERT_EQ(list.StopWatch(), S_OK);
    Slozka::Remove(jina.Cesta());
    EXPECT_EQ(list.Restart(), S_FALSE);
    EXPECT_FALSE(list.Watching());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"x.wma"}));
    std::wstring slozka;
    EXPECT_EQ(list.GetFolder(slozka), S_FALSE);
    EXPECT_EQ(slozka, jina.Cesta());
    std::wstring s;
    list.Send(LVM_DELETEALLITEMS);
    EXPECT_EQ(list.GetCurrentFile(s, true), S_FALSE);
}

TEST_F(Seznam, WatcherSeesABurstOfFiftyComeAndGo)
{
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    ASSERT_EQ(list.Count(), 0);
    host.zmen = 0;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(dir.Vytvorit(L"z" + std::to_wstring(i) + L".wma", i));
    ASSERT_TRUE(dir.Vytvorit(L"ignorovat.txt"));
    EXPECT_TRUE(CekatNa([&] { return list.Count() == 50; }, 500)) << "listed: " << list.Count();
    EXPECT_GT(host.zmen, 0);
    EXPECT_EQ(Vybrana(), 0);

    for (int i = 0; i < 50; i += 2)
        ASSERT_TRUE(DeleteFileW(dir.Soubor(L"z" + std::to_wstring(i) + L".wma").c_str()));
    EXPECT_TRUE(CekatNa([&] { return list.Count() == 25; }, 500)) << "listed: " << list.Count();
    EXPECT_EQ(Index(L"z0.wma"), -1);
    EXPECT_GE(Index(L"z49.wma"), 0);

    // A rename is a change as well.
    ASSERT_TRUE(MoveFileW(dir.Soubor(L"z1.wma").c_str(), dir.Soubor(L"novy.wma").c_str()));
    EXPECT_TRUE(CekatNa([&] { return Index(L"novy.wma") >= 0 && Index(L"z1.wma") < 0; }, 500));
}

TEST_F(Seznam, StoppingNeverWaitsOnTheMainThread)
{
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    EXPECT_EQ(list.StartWatch(), S_FALSE);  // one worker per list
    // Changes pile up while this thread pumps nothing; the stop still ends
    // the worker at once.
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(dir.Vytvorit(L"s" + std::to_wstring(i) + L".wma"));
    Sleep(100);
    DWORD start = GetTickCount();
    EXPECT_EQ(list.StopWatch(), S_OK);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(list.Watching());
    EXPECT_EQ(list.StopWatch(), S_OK);
    // What was posted before the stop is still handled without harm.
    Pumpovat();
    EXPECT_EQ(list.Count(), 20);
}

TEST(SeznamKonec, DestroyingTheObjectWhileWatchingEndsEverything)
{
    Hostitel host;
    ASSERT_EQ(host.Vytvorit(), S_OK);
    Slozka dir;
    HWND okno = nullptr;
    {
        ListViewObsahSlozky list;
        ASSERT_EQ(list.Create(host), S_OK);
        list.SetCallbacks(&host);
        okno = list;
        ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
        ASSERT_TRUE(dir.Vytvorit(L"a.wma"));
        Sleep(50);
    }
    EXPECT_FALSE(IsWindow(okno));
    ASSERT_TRUE(dir.Vytvorit(L"b.wma"));
    Sleep(50);
    Pumpovat();  // a late post to the gone window is dropped
    host.Destroy();
}
