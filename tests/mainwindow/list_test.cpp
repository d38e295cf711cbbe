// The list of recordings on a host window: what is listed, sizes past 4 GiB,
// sorting, selection after a refresh, and the folder watcher.
#include "mainwindow/SeznamTest.h"

#include <cwchar>

using namespace list_test;
using mirvak::winapi::ListViewObsahSlozky;

namespace {

// The digits of a text: sizes are judged whatever the locale's separators.
std::wstring Cislice(const std::wstring& text)
{
    std::wstring c;
    for (wchar_t z : text)
        if (z >= L'0' && z <= L'9')
            c += z;
    return c;
}

FILETIME VytvorenFt(const std::wstring& cesta)
{
    WIN32_FILE_ATTRIBUTE_DATA a{};
    GetFileAttributesExW(cesta.c_str(), GetFileExInfoStandard, &a);
    return a.ftCreationTime;
}

ULONGLONG Sekundy(const SYSTEMTIME& st)
{
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000000;
}

} // namespace

TEST_F(Seznam, ListsFilesOnlyNeverDotNamesOrFolders)
{
    for (const wchar_t* j : {L"a.wma", L"B.WMA", L"c.mp3", L".skryty.wma", L"wma", L"d.wma.txt"})
        ASSERT_TRUE(dir.Vytvorit(j, 10));
    ASSERT_TRUE(CreateDirectoryW(dir.Soubor(L"slozka.wma").c_str(), nullptr));

    host.parametry = 1;  // bit 0: .wma only, in any case
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    EXPECT_EQ(Serazene(), (std::vector<std::wstring>{L"B.WMA", L"a.wma"}));
    ASSERT_EQ(host.zobrazeno.size(), 1u);
    EXPECT_EQ(host.zobrazeno[0], dir.Cesta());

    // The options changed: all files, still no dot names or folders.
    host.parametry = 6;
    ASSERT_EQ(list.Restart(), S_OK);
    EXPECT_EQ(Serazene(), (std::vector<std::wstring>{L"B.WMA", L"a.wma", L"c.mp3", L"d.wma.txt", L"wma"}));
    EXPECT_TRUE(list.Watching());
}

// Size in KB and the creation time (UTC, as the file system keeps it) as
// day.month.year, unpadded hour, two-digit minute and second; sizes past
// 4 GiB keep all their bits and sort by them.
TEST_F(Seznam, ColumnsShowSizeAndCreationTime)
{
    list.Send(WM_SIZE, 0, MAKELPARAM(700, 300));
    EXPECT_EQ(list.Send(LVM_GETCOLUMNWIDTH, 0), 700 - 240);  // the name takes what the others leave
    EXPECT_EQ(list.Send(WM_GETDLGCODE), DLGC_WANTALLKEYS);

    SYSTEMTIME pred{}, po{};
    GetSystemTime(&pred);
    ASSERT_TRUE(dir.Vytvorit(L"maly.wma", 3000));
    GetSystemTime(&po);
    const uint64_t gib = 1ull << 30;
    ASSERT_TRUE(dir.Vytvorit(L"velky.wma", 5 * gib));
    ASSERT_TRUE(dir.Vytvorit(L"tesne.wma", 4 * gib + 1));  // low 32 bits: 1
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    const int maly = Index(L"maly.wma");
    ASSERT_GE(maly, 0);
    EXPECT_EQ(Cislice(list.ItemText(maly, 1)), L"3") << list.ItemText(maly, 1);
    EXPECT_EQ(Cislice(list.ItemText(Index(L"velky.wma"), 1)), L"5242880") << list.ItemText(Index(L"velky.wma"), 1);
    EXPECT_EQ(list.Item(Index(L"velky.wma"))->velikost, 5 * gib);

    const std::wstring cas = list.ItemText(maly, 2);
    unsigned d = 0, m = 0, y = 0, h = 0, mi = 0, se = 0;
    wchar_t hodiny[8] = {}, minuty[8] = {}, sekundy[8] = {};
    ASSERT_EQ(swscanf(cas.c_str(), L"%u.%u.%u %7l[0-9]:%7l[0-9]:%7l[0-9]", &d, &m, &y, hodiny, minuty, sekundy), 6)
        << cas;
    EXPECT_TRUE(hodiny[0] != L'0' || hodiny[1] == 0) << cas;
    EXPECT_EQ(wcslen(minuty), 2u) << cas;
    EXPECT_EQ(wcslen(sekundy), 2u) << cas;
    h = static_cast<unsigned>(_wtoi(hodiny));
    mi = static_cast<unsigned>(_wtoi(minuty));
    se = static_cast<unsigned>(_wtoi(sekundy));
    SYSTEMTIME ukazany{static_cast<WORD>(y), static_cast<WORD>(m), 0, static_cast<WORD>(d),
                       static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(se), 0};
    EXPECT_GE(Sekundy(ukazany) + 1, Sekundy(pred)) << cas;
    EXPECT_LE(Sekundy(ukazany), Sekundy(po)) << cas;

    list.SortByColumn(1);  // first click: descending
    EXPECT_FALSE(list.Ascending());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"velky.wma", L"tesne.wma", L"maly.wma"}));
    list.SortByColumn(1);
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"maly.wma", L"tesne.wma", L"velky.wma"}));
}

TEST_F(Seznam, SortsByEachColumnAndTheChosenFileStaysSelected)
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
    Pumpovat();
    host.zmen = 0;
    Kliknout(L"a.wma");
    std::wstring cesta;
    ASSERT_EQ(list.GetCurrentFile(cesta, true), S_OK);
    EXPECT_EQ(cesta, dir.Soubor(L"a.wma"));
    Pumpovat();
    EXPECT_GT(host.zmen, 0) << "the owner was told";

    // Each click moves the files; the chosen one stays selected and focused
    // and stays the current file. A new column keeps the direction.
    const struct {
        int sloupec;
        std::vector<std::wstring> poradi;
    } kliky[] = {{0, {L"C.wma", L"b.wma", L"a.wma"}}, {0, {L"a.wma", L"b.wma", L"C.wma"}},
                 {1, {L"C.wma", L"a.wma", L"b.wma"}}, {2, {L"b.wma", L"a.wma", L"C.wma"}},
                 {2, {L"C.wma", L"a.wma", L"b.wma"}}, {1, {L"b.wma", L"a.wma", L"C.wma"}}};
    for (const auto& k : kliky) {
        NMLISTVIEW klik{};
        klik.hdr.hwndFrom = list;
        klik.hdr.idFrom = mirvak::winapi::kIdSeznamuSouboru;
        klik.hdr.code = LVN_COLUMNCLICK;
        klik.iItem = -1;
        klik.iSubItem = k.sloupec;
        // Through the owner, as the header's click arrives.
        host.Send(WM_NOTIFY, klik.hdr.idFrom, reinterpret_cast<LPARAM>(&klik));
        EXPECT_EQ(Jmena(), k.poradi) << "column " << k.sloupec;
        EXPECT_EQ(VybranyAFokus(), L"a.wma") << "column " << k.sloupec;
        std::wstring aktualni;
        EXPECT_EQ(list.GetCurrentFile(aktualni, false), S_OK);
        EXPECT_EQ(aktualni, L"a.wma");
    }

    // A refresh does not sort, and the file stays chosen; the next click on
    // the same column inverts the direction that was in force.
    list.Refresh();
    Pumpovat();
    EXPECT_EQ(VybranyAFokus(), L"a.wma");
    EXPECT_FALSE(list.Ascending());
    list.SortByColumn(1);
    EXPECT_TRUE(list.Ascending());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"C.wma", L"a.wma", L"b.wma"}));
    // So does the watcher's update when files come and go.
    ASSERT_TRUE(DeleteFileW(dir.Soubor(L"b.wma").c_str()));
    ASSERT_TRUE(dir.Vytvorit(L"d.wma", 50));
    EXPECT_TRUE(Cekat([&] { return Index(L"d.wma") >= 0 && Index(L"b.wma") < 0; }, 3000));
    EXPECT_EQ(VybranyAFokus(), L"a.wma");

    // New files come at the end; when the chosen file itself goes, the one
    // that took its row is chosen.
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"C.wma", L"a.wma", L"d.wma"}));
    ASSERT_TRUE(DeleteFileW(dir.Soubor(L"a.wma").c_str()));
    EXPECT_TRUE(Cekat([&] { return Index(L"a.wma") < 0; }, 3000));
    EXPECT_EQ(VybranyAFokus(), L"d.wma");
}

TEST_F(Seznam, TypingTheFirstLettersSelectsTheNextFileThatBeginsSo)
{
    for (const wchar_t* j : {L"alfa.wma", L"beta.wma", L"Bravo.wma", L"brzda.wma", L"gama.wma"})
        ASSERT_TRUE(dir.Vytvorit(j));
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    list.SortByColumn(0);
    list.SortByColumn(0);
    ASSERT_EQ(Jmena(), (std::vector<std::wstring>{L"alfa.wma", L"beta.wma", L"Bravo.wma", L"brzda.wma", L"gama.wma"}));
    Kliknout(L"alfa.wma");
    auto napsat = [&](const wchar_t* text) {
        Sleep(600);  // a pause starts a new search
        for (const wchar_t* c = text; *c; ++c)
            list.Send(WM_CHAR, *c, 1);
        Pumpovat();
        return VybranyAFokus();
    };
    EXPECT_EQ(napsat(L"b"), L"beta.wma");    // the next one, not the first row
    EXPECT_EQ(napsat(L"BR"), L"Bravo.wma");  // letters typed together, any case
    EXPECT_EQ(napsat(L"brz"), L"brzda.wma");
    EXPECT_EQ(napsat(L"g"), L"gama.wma");
    EXPECT_EQ(napsat(L"x"), L"gama.wma");    // nothing begins so: nothing moves
    EXPECT_EQ(napsat(L"b"), L"beta.wma");    // from the end round to the start
}

TEST_F(Seznam, MissingOrGoneFolderKeepsOrEmptiesTheListAndIsWatchedWhenChosenAgain)
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

    // A watched folder that goes is shown as gone and watched again when chosen again.
    const std::wstring zaznamy = dir.Soubor(L"zaznamy");
    ASSERT_TRUE(CreateDirectoryW(zaznamy.c_str(), nullptr));
    ASSERT_TRUE(dir.Vytvorit(L"zaznamy\\a.wma"));
    ASSERT_EQ(list.SetFolder(zaznamy), S_OK);
    ASSERT_EQ(list.Count(), 1);
    ASSERT_TRUE(list.Watching());

    // Deleted as Explorer deletes: moved to the recycle bin.
    host.zmizelo = 0;
    ASSERT_TRUE(MoveFileW(zaznamy.c_str(), dir.Soubor(L"kos").c_str()));
    EXPECT_TRUE(Cekat([&] { return host.zmizelo > 0; }, 3000));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Watching());
    EXPECT_EQ(list.GetFolder(s), S_FALSE);

    // Back again and chosen again: listed and followed as before.
    ASSERT_TRUE(CreateDirectoryW(zaznamy.c_str(), nullptr));
    ASSERT_TRUE(dir.Vytvorit(L"zaznamy\\b.wma"));
    ASSERT_EQ(list.SetFolder(zaznamy), S_OK);
    EXPECT_TRUE(list.Watching());
    EXPECT_EQ(Jmena(), (std::vector<std::wstring>{L"b.wma"}));
    ASSERT_TRUE(dir.Vytvorit(L"zaznamy\\c.wma"));
    EXPECT_TRUE(Cekat([&] { return list.Count() == 2; }, 2000));
}

TEST_F(Seznam, WatcherSeesABurstOfFiftyComeAndGo)
{
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    ASSERT_EQ(list.Count(), 0);
    host.zmen = 0;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(dir.Vytvorit(L"z" + std::to_wstring(i) + L".wma", i));
    ASSERT_TRUE(dir.Vytvorit(L"ignorovat.txt"));
    // Updates come at most once a second.
    EXPECT_TRUE(Cekat([&] { return list.Count() == 50; }, 1500)) << "listed: " << list.Count();
    EXPECT_GT(host.zmen, 0);
    EXPECT_EQ(Vybrana(), 0);

    for (int i = 0; i < 50; i += 2)
        ASSERT_TRUE(DeleteFileW(dir.Soubor(L"z" + std::to_wstring(i) + L".wma").c_str()));
    EXPECT_TRUE(Cekat([&] { return list.Count() == 25; }, 1500)) << "listed: " << list.Count();
    EXPECT_EQ(Index(L"z0.wma"), -1);
    EXPECT_GE(Index(L"z49.wma"), 0);

    // A rename is a change as well.
    ASSERT_TRUE(MoveFileW(dir.Soubor(L"z1.wma").c_str(), dir.Soubor(L"novy.wma").c_str()));
    EXPECT_TRUE(Cekat([&] { return Index(L"novy.wma") >= 0 && Index(L"z1.wma") < 0; }, 1500));
}

TEST_F(Seznam, AFileBeingWrittenIsUpdatedOnceASecondAndNothingElseMoves)
{
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(dir.Vytvorit(L"f" + std::to_wstring(1000 + i) + L".wma", static_cast<uint64_t>(i)));
    ASSERT_TRUE(dir.Vytvorit(L"rostouci.wma"));
    ASSERT_EQ(list.SetFolder(dir.Cesta()), S_OK);
    list.Send(LVM_ENSUREVISIBLE, 200, FALSE);
    const std::wstring vybrany = list.ItemText(210, 0);
    Kliknout(vybrany);
    Pumpovat();
    const int horni = static_cast<int>(list.Send(LVM_GETTOPINDEX));
    ASSERT_GT(horni, 100);

    // As a recording does: the file stays open and grows every 50 ms for 3 s.
    HANDLE f = CreateFileW(dir.Soubor(L"rostouci.wma").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    host.dotazu = 0;
    const char data[2000] = {};
    DWORD start = GetTickCount();
    for (int i = 0; i < 60; ++i) {
        DWORD n = 0;
        ASSERT_TRUE(WriteFile(f, data, sizeof data, &n, nullptr));
        Cekat([] { return false; }, 50);
    }
    const DWORD sekund = (GetTickCount() - start) / 1000;
    // The last size (120000 bytes, 118 KB rounded up) shows within about a second.
    EXPECT_TRUE(Cekat([&] { return Cislice(list.ItemText(Index(L"rostouci.wma"), 1)) == L"118"; }, 1500))
        << list.ItemText(Index(L"rostouci.wma"), 1);
    CloseHandle(f);
    // At most one update a second, and each looks at the written file only,
    // not at the 300 others.
    EXPECT_GE(host.dotazu, 2);
    EXPECT_LE(host.dotazu, static_cast<int>(sekund) + 2);
    EXPECT_EQ(VybranyAFokus(), vybrany);
    EXPECT_EQ(list.Send(LVM_GETTOPINDEX), horni);

    // A file goes above the rows shown and another comes: the same files
    // stay on screen and chosen.
    const std::wstring nahore = list.ItemText(horni, 0);
    ASSERT_TRUE(DeleteFileW(dir.Soubor(list.ItemText(3, 0)).c_str()));
    ASSERT_TRUE(dir.Vytvorit(L"novy.wma"));
    EXPECT_TRUE(Cekat([&] { return list.Count() == 301 && Index(L"novy.wma") == 300; }, 3000)) << list.Count();
    EXPECT_EQ(list.ItemText(static_cast<int>(list.Send(LVM_GETTOPINDEX)), 0), nahore);
    EXPECT_EQ(VybranyAFokus(), vybrany);
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
    // What was posted before the stop is handled without harm and changes
    // nothing: the list no longer follows the folder.
    Pumpovat();
    EXPECT_EQ(list.Count(), 0);
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
