// The list of recordings on a host window that owns it as the main window does: listing, sorting, selection
// across refreshes, the folder watcher, and the file commands on the selection.
#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "controls/Okno.h"
#include "controls/TestOkna.h"
#include "harness/Servery.h"
#include "mainwindow/ListViewObsahSlozky.h"
#include "player/OknoPrehravac.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <regex>

using mirvak::winapi::ListViewObsahSlozky;
using tonbar::test::Cekat;
using tonbar::test::Pumpovat;
using tonbar::test::ReadBytes;
using tonbar::test::WriteBytes;
using V = std::vector<std::wstring>;

namespace {

class Hostitel : public mirvak::winapi::OknoImpl<Hostitel>, public mirvak::winapi::IListViewObsahSlozky {
public:
    uint32_t parametry = 1;
    int zmen = 0;
    int zmizelo = 0;  // notices that the folder has gone
    int dotazu = 0;   // files the list looked at
    V zobrazeno;
    bool FilterFile(const wchar_t* jmeno) override
    {
        ++dotazu;
        return mirvak::winapi::OdfiltrovatSoubor(parametry, jmeno);
    }
    void FolderShown(const wchar_t* slozka) override { zobrazeno.push_back(slozka); }
    MV_BEGIN_MSG_MAP(Hostitel)
    MV_MESSAGE_HANDLER(mirvak::winapi::WM_SEZNAM_ZMENA, OnZmena)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnZmena(UINT, WPARAM w, LPARAM, BOOL&)
    {
        ++zmen;
        zmizelo += w == mirvak::winapi::kSlozkaZmizela;
        return 0;
    }
};

// A folder of the test's own; its files of any size (past 4 GiB sparse on Wine's side).
class Slozka : public tonbar::test::TestFolder {
public:
    bool Vytvorit(const std::wstring& jmeno, uint64_t velikost = 0) const
    {
        HANDLE h = CreateFileW(File(jmeno).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        LARGE_INTEGER p;
        p.QuadPart = static_cast<LONGLONG>(velikost);
        bool ok = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, p, nullptr, FILE_BEGIN) && SetEndOfFile(h);
        return h != INVALID_HANDLE_VALUE && CloseHandle(h) && ok;
    }
};

V Serazeno(V v)
{
    std::sort(v.begin(), v.end());
    return v;
}

// A host window with the list in it, as the main window creates it.
struct Seznam : ::testing::Test {
    Hostitel host;
    mirvak::winapi::ListViewObsahSlozky list;
    Slozka dir;
    tonbar::test::TestModul modul;
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        ASSERT_EQ(host.Create(nullptr, RECT{40, 40, 840, 640}, L"seznam", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN),
                  S_OK);
        ASSERT_EQ(list.Create(host), S_OK);
        list.SetCallbacks(&host);
    }
    void TearDown() override
    {
        list.StopWatch();
        Pumpovat();
    }
    V Jmena() const
    {
        V v;
        for (int i = 0; i < list.Count(); ++i)
            v.push_back(list.ItemText(i, 0));
        return v;
    }
    int Vybrana(UINT stav = LVNI_SELECTED) const
    {
        return static_cast<int>(list.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), stav));
    }
    // The name of the one selected and focused file, as a click leaves it; else "<...>".
    std::wstring VybranyAFokus() const
    {
        int i = Vybrana(), f = Vybrana(LVNI_FOCUSED);
        if (list.Send(LVM_GETSELECTEDCOUNT) != 1 || i < 0 || f != i)
            return L"<selected " + std::to_wstring(i) + L", focused " + std::to_wstring(f) + L">";
        return list.ItemText(i, 0);
    }
    int Index(const std::wstring& jmeno) const
    {
        V v = Jmena();
        auto i = std::find(v.begin(), v.end(), jmeno);
        return i == v.end() ? -1 : static_cast<int>(i - v.begin());
    }
    // Selects exactly these files; the first is focused too, as a click leaves it.
    void Vybrat(std::initializer_list<std::wstring> jmena)
    {
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        UINT stav = LVIS_SELECTED | LVIS_FOCUSED;
        for (const std::wstring& j : jmena) {
            ListView_SetItemState(list, Index(j), stav, stav);
            stav = LVIS_SELECTED;
        }
    }
    // The digits of a size column: judged whatever the locale's separators.
    std::wstring Velikost(const std::wstring& jmeno) const
    {
        std::wstring t = list.ItemText(Index(jmeno), 1);
        t.erase(std::remove_if(t.begin(), t.end(), [](wchar_t z) { return z < L'0' || z > L'9'; }), t.end());
        return t;
    }
    // For the file commands: the files, shown but not watched.
    void Naplnit(std::initializer_list<const wchar_t*> jmena)
    {
        for (auto j : jmena)
            WriteBytes(dir.File(j), "obsah");
        ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
        ASSERT_EQ(list.StopWatch(), S_OK);
    }
    V VeSlozce() const { return Serazeno(tonbar::test::Soubory(dir.Path())); }
};
using Prikazy = Seznam;

// Times in 100 ns steps since 1601.
ULONGLONG Cas(FILETIME ft)
{
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
ULONGLONG Vytvoren(const std::wstring& cesta)
{
    WIN32_FILE_ATTRIBUTE_DATA a{};
    GetFileAttributesExW(cesta.c_str(), GetFileExInfoStandard, &a);
    return Cas(a.ftCreationTime);
}

} // namespace

TEST_F(Seznam, ListsFilesOnlyNeverDotNamesOrFolders)
{
    for (const wchar_t* j : {L"a.wma", L"B.WMA", L"c.mp3", L".skryty.wma", L"wma", L"d.wma.txt"})
        ASSERT_TRUE(dir.Vytvorit(j, 10));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"slozka.wma").c_str(), nullptr));
    host.parametry = 1;  // bit 0: .wma only, in any case
    ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
    EXPECT_EQ(Serazeno(Jmena()), (V{L"B.WMA", L"a.wma"}));
    EXPECT_EQ(host.zobrazeno, V{dir.Path()});
    // The options changed: all files, still no dot names or folders.
    host.parametry = 6;
    ASSERT_EQ(list.Restart(), S_OK);
    EXPECT_EQ(Serazeno(Jmena()), (V{L"B.WMA", L"a.wma", L"c.mp3", L"d.wma.txt", L"wma"}));
    EXPECT_TRUE(list.Watching());
}

// Size in KB and the creation time (UTC, as the file system keeps it) as day.month.year, unpadded hour,
// two-digit minute and second; sizes past 4 GiB keep all their bits and sort by them.
TEST_F(Seznam, ColumnsShowSizeAndCreationTime)
{
    list.Send(WM_SIZE, 0, MAKELPARAM(700, 300));
    EXPECT_EQ(list.Send(LVM_GETCOLUMNWIDTH, 0), 700 - 240);  // the name takes what the others leave
    EXPECT_EQ(list.Send(WM_GETDLGCODE), DLGC_WANTALLKEYS);
    FILETIME pred{}, po{};
    GetSystemTimeAsFileTime(&pred);
    ASSERT_TRUE(dir.Vytvorit(L"maly.wma", 3000));
    GetSystemTimeAsFileTime(&po);
    const uint64_t gib = 1ull << 30;
    ASSERT_TRUE(dir.Vytvorit(L"velky.wma", 5 * gib));
    ASSERT_TRUE(dir.Vytvorit(L"tesne.wma", 4 * gib + 1));  // low 32 bits: 1
    ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
    EXPECT_EQ(Velikost(L"maly.wma"), L"3");
    EXPECT_EQ(Velikost(L"velky.wma"), L"5242880");
    EXPECT_EQ(list.Item(Index(L"velky.wma"))->velikost, 5 * gib);
    const std::wstring cas = list.ItemText(Index(L"maly.wma"), 2);
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(cas, m, std::wregex(LR"((\d+)\.(\d+)\.(\d+) ([1-9]?\d):(\d\d):(\d\d))"))) << cas;
    auto c = [&](int i) { return static_cast<WORD>(std::stoi(m[i].str())); };
    SYSTEMTIME ukazany{c(3), c(2), 0, c(1), c(4), c(5), c(6), 0};
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&ukazany, &ft)) << cas;
    EXPECT_GE(Cas(ft) / 10000000 + 1, Cas(pred) / 10000000) << cas;
    EXPECT_LE(Cas(ft) / 10000000, Cas(po) / 10000000) << cas;
    list.SortByColumn(1);  // first click: descending
    EXPECT_FALSE(list.Ascending());
    EXPECT_EQ(Jmena(), (V{L"velky.wma", L"tesne.wma", L"maly.wma"}));
    list.SortByColumn(1);
    EXPECT_EQ(Jmena(), (V{L"maly.wma", L"tesne.wma", L"velky.wma"}));
}

TEST_F(Seznam, SortsByEachColumnAndTheChosenFileStaysSelected)
{
    // Names, sizes and creation times in three orders (Wine cannot set creation times): created b, a, C.
    const wchar_t* jmena[] = {L"b.wma", L"a.wma", L"C.wma"};
    for (int i = 0; i < 3; ++i) {
        Sleep(30);
        ASSERT_TRUE(dir.Vytvorit(jmena[i], 300 - 100 * i));
    }
    ASSERT_LT(Vytvoren(dir.File(L"b.wma")), Vytvoren(dir.File(L"a.wma")));
    ASSERT_LT(Vytvoren(dir.File(L"a.wma")), Vytvoren(dir.File(L"C.wma")));
    ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
    EXPECT_EQ(list.SortColumn(), -1);
    Pumpovat();
    host.zmen = 0;
    Vybrat({L"a.wma"});
    std::wstring cesta;
    ASSERT_EQ(list.GetCurrentFile(cesta, true), S_OK);
    EXPECT_EQ(cesta, dir.File(L"a.wma"));
    Pumpovat();
    EXPECT_GT(host.zmen, 0) << "the owner was told";
    // The chosen file stays selected, focused and current; a new column keeps the direction.
    const struct {
        int sloupec;
        V poradi;
    } kliky[] = {{0, {L"C.wma", L"b.wma", L"a.wma"}}, {0, {L"a.wma", L"b.wma", L"C.wma"}},
                 {1, {L"C.wma", L"a.wma", L"b.wma"}}, {2, {L"b.wma", L"a.wma", L"C.wma"}},
                 {2, {L"C.wma", L"a.wma", L"b.wma"}}, {1, {L"b.wma", L"a.wma", L"C.wma"}}};
    for (const auto& k : kliky) {
        // Through the owner, as the header's click arrives.
        NMLISTVIEW klik{{list, mirvak::winapi::kIdSeznamuSouboru, UINT(LVN_COLUMNCLICK)}, -1, k.sloupec};
        host.Send(WM_NOTIFY, klik.hdr.idFrom, reinterpret_cast<LPARAM>(&klik));
        EXPECT_EQ(Jmena(), k.poradi) << "column " << k.sloupec;
        EXPECT_EQ(VybranyAFokus(), L"a.wma") << "column " << k.sloupec;
        EXPECT_EQ(list.GetCurrentFile(cesta, false), S_OK);
        EXPECT_EQ(cesta, L"a.wma");
    }
    // A refresh neither sorts nor loses the choice; the next click inverts the direction in force.
    list.Refresh();
    Pumpovat();
    EXPECT_EQ(VybranyAFokus(), L"a.wma");
    EXPECT_FALSE(list.Ascending());
    list.SortByColumn(1);
    EXPECT_TRUE(list.Ascending());
    EXPECT_EQ(Jmena(), (V{L"C.wma", L"a.wma", L"b.wma"}));
    // So does the watcher's update when files come and go.
    ASSERT_TRUE(DeleteFileW(dir.File(L"b.wma").c_str()));
    ASSERT_TRUE(dir.Vytvorit(L"d.wma", 50));
    EXPECT_TRUE(Cekat([&] { return Index(L"d.wma") >= 0 && Index(L"b.wma") < 0; }, 3000));
    EXPECT_EQ(VybranyAFokus(), L"a.wma");
    // New files come at the end; when the chosen file itself goes, the one that took its row is chosen.
    EXPECT_EQ(Jmena(), (V{L"C.wma", L"a.wma", L"d.wma"}));
    ASSERT_TRUE(DeleteFileW(dir.File(L"a.wma").c_str()));
    EXPECT_TRUE(Cekat([&] { return Index(L"a.wma") < 0; }, 3000));
    EXPECT_EQ(VybranyAFokus(), L"d.wma");
}

TEST_F(Seznam, TypingTheFirstLettersSelectsTheNextFileThatBeginsSo)
{
    const V jmena{L"alfa.wma", L"beta.wma", L"Bravo.wma", L"brzda.wma", L"gama.wma"};
    for (const auto& j : jmena)
        ASSERT_TRUE(dir.Vytvorit(j));
    ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
    list.SortByColumn(0);
    list.SortByColumn(0);
    ASSERT_EQ(Jmena(), jmena);
    Vybrat({L"alfa.wma"});
    // What is typed after a pause (which starts a new search), and the file chosen then.
    const std::pair<const wchar_t*, const wchar_t*> kroky[] = {
        {L"b", L"beta.wma"},    // the next one, not the first row
        {L"BR", L"Bravo.wma"},  // letters typed together, any case
        {L"brz", L"brzda.wma"}, {L"g", L"gama.wma"},
        {L"x", L"gama.wma"},    // nothing begins so: nothing moves
        {L"b", L"beta.wma"}};   // from the end round to the start
    for (auto [text, vybrany] : kroky) {
        Sleep(600);
        for (const wchar_t* c = text; *c; ++c)
            list.Send(WM_CHAR, *c, 1);
        Pumpovat();
        EXPECT_EQ(VybranyAFokus(), vybrany) << text;
    }
}

TEST_F(Seznam, MissingOrGoneFolderKeepsOrEmptiesTheListAndIsWatchedWhenChosenAgain)
{
    ASSERT_TRUE(dir.Vytvorit(L"a.wma"));
    ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.SetFolder(dir.File(L"neni")), E_INVALIDARG);
    EXPECT_EQ(list.SetFolder(dir.File(L"a.wma")), E_INVALIDARG);  // a file, not a folder
    EXPECT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.Watching());
    EXPECT_EQ(host.zobrazeno.size(), 1u);
    // The folder goes away: Restart stops watching, leaves the list alone.
    Slozka jina;
    ASSERT_TRUE(jina.Vytvorit(L"x.wma"));
    ASSERT_EQ(list.SetFolder(jina.Path()), S_OK);
    ASSERT_EQ(list.StopWatch(), S_OK);
    Slozka::Remove(jina.Path());
    EXPECT_EQ(list.Restart(), S_FALSE);
    EXPECT_FALSE(list.Watching());
    EXPECT_EQ(Jmena(), V{L"x.wma"});
    std::wstring s;
    EXPECT_EQ(list.GetFolder(s), S_FALSE);
    EXPECT_EQ(s, jina.Path());
    list.Send(LVM_DELETEALLITEMS);
    EXPECT_EQ(list.GetCurrentFile(s, true), S_FALSE);
    // A watched folder that goes is shown as gone and watched again when chosen again.
    const std::wstring zaznamy = dir.File(L"zaznamy");
    ASSERT_TRUE(CreateDirectoryW(zaznamy.c_str(), nullptr));
    ASSERT_TRUE(dir.Vytvorit(L"zaznamy\\a.wma"));
    ASSERT_EQ(list.SetFolder(zaznamy), S_OK);
    ASSERT_EQ(list.Count(), 1);
    ASSERT_TRUE(list.Watching());
    // Deleted as Explorer deletes: moved to the recycle bin.
    host.zmizelo = 0;
    ASSERT_TRUE(MoveFileW(zaznamy.c_str(), dir.File(L"kos").c_str()));
    EXPECT_TRUE(Cekat([&] { return host.zmizelo > 0; }, 3000));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Watching());
    EXPECT_EQ(list.GetFolder(s), S_FALSE);
    // Back again and chosen again: listed and followed as before.
    ASSERT_TRUE(CreateDirectoryW(zaznamy.c_str(), nullptr));
    ASSERT_TRUE(dir.Vytvorit(L"zaznamy\\b.wma"));
    ASSERT_EQ(list.SetFolder(zaznamy), S_OK);
    EXPECT_TRUE(list.Watching());
    EXPECT_EQ(Jmena(), V{L"b.wma"});
    ASSERT_TRUE(dir.Vytvorit(L"zaznamy\\c.wma"));
    EXPECT_TRUE(Cekat([&] { return list.Count() == 2; }, 2000));
}

// Updates come at most once a second. A stop never waits on the main thread, and what the worker posted
// before it changes nothing.
TEST_F(Seznam, WatcherSeesABurstComeAndGoAndStopsAtOnce)
{
    ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
    EXPECT_EQ(list.StartWatch(), S_FALSE);  // one worker per list
    host.zmen = 0;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(dir.Vytvorit(L"z" + std::to_wstring(i) + L".wma", i));
    ASSERT_TRUE(dir.Vytvorit(L"ignorovat.txt"));
    EXPECT_TRUE(Cekat([&] { return list.Count() == 50; }, 1500)) << "listed: " << list.Count();
    EXPECT_GT(host.zmen, 0);
    EXPECT_EQ(Vybrana(), 0);
    for (int i = 0; i < 50; i += 2)
        ASSERT_TRUE(DeleteFileW(dir.File(L"z" + std::to_wstring(i) + L".wma").c_str()));
    // A rename is a change as well.
    ASSERT_TRUE(MoveFileW(dir.File(L"z1.wma").c_str(), dir.File(L"novy.wma").c_str()));
    EXPECT_TRUE(Cekat([&] { return list.Count() == 25 && Index(L"novy.wma") >= 0; }, 1500)) << list.Count();
    EXPECT_EQ(Index(L"z0.wma"), -1);
    EXPECT_EQ(Index(L"z1.wma"), -1);
    EXPECT_GE(Index(L"z49.wma"), 0);
    // Changes pile up while this thread pumps nothing; the stop still ends the worker at once.
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(dir.Vytvorit(L"s" + std::to_wstring(i) + L".wma"));
    Sleep(100);
    DWORD start = GetTickCount();
    EXPECT_EQ(list.StopWatch(), S_OK);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(list.Watching());
    EXPECT_EQ(list.StopWatch(), S_OK);
    Pumpovat();
    EXPECT_EQ(list.Count(), 25);
    // A list destroyed while it watches: its window goes, a late post to it is dropped.
    HWND okno = nullptr;
    {
        ListViewObsahSlozky druhy;
        ASSERT_EQ(druhy.Create(host), S_OK);
        druhy.SetCallbacks(&host);
        okno = druhy;
        ASSERT_EQ(druhy.SetFolder(dir.Path()), S_OK);
        ASSERT_TRUE(dir.Vytvorit(L"a.wma"));
        Sleep(50);
    }
    EXPECT_FALSE(IsWindow(okno));
    ASSERT_TRUE(dir.Vytvorit(L"b.wma"));
    Sleep(50);
    Pumpovat();
}

TEST_F(Seznam, AFileBeingWrittenIsUpdatedOnceASecondAndNothingElseMoves)
{
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(dir.Vytvorit(L"f" + std::to_wstring(1000 + i) + L".wma", static_cast<uint64_t>(i)));
    ASSERT_TRUE(dir.Vytvorit(L"rostouci.wma"));
    ASSERT_EQ(list.SetFolder(dir.Path()), S_OK);
    list.Send(LVM_ENSUREVISIBLE, 200, FALSE);
    const std::wstring vybrany = list.ItemText(210, 0);
    Vybrat({vybrany});
    Pumpovat();
    const int horni = static_cast<int>(list.Send(LVM_GETTOPINDEX));
    ASSERT_GT(horni, 100);
    // As a recording does: the file stays open and grows every 50 ms for 3 s.
    HANDLE f = CreateFileW(dir.File(L"rostouci.wma").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    host.dotazu = 0;
    const char data[2000] = {};
    DWORD start = GetTickCount(), n = 0;
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(WriteFile(f, data, sizeof data, &n, nullptr));
        Cekat([] { return false; }, 50);
    }
    const DWORD sekund = (GetTickCount() - start) / 1000;
    // The last size (120000 bytes, 118 KB rounded up) shows within about a second.
    EXPECT_TRUE(Cekat([&] { return Velikost(L"rostouci.wma") == L"118"; }, 1500)) << Velikost(L"rostouci.wma");
    CloseHandle(f);
    // At most one update a second, and each looks at the written file only, not at the 300 others.
    EXPECT_GE(host.dotazu, 2);
    EXPECT_LE(host.dotazu, static_cast<int>(sekund) + 2);
    EXPECT_EQ(VybranyAFokus(), vybrany);
    EXPECT_EQ(list.Send(LVM_GETTOPINDEX), horni);
    // A file goes above the rows shown and another comes: the same files stay on screen and chosen.
    const std::wstring nahore = list.ItemText(horni, 0);
    ASSERT_TRUE(DeleteFileW(dir.File(list.ItemText(3, 0)).c_str()));
    ASSERT_TRUE(dir.Vytvorit(L"novy.wma"));
    EXPECT_TRUE(Cekat([&] { return list.Count() == 301 && Index(L"novy.wma") == 300; }, 3000)) << list.Count();
    EXPECT_EQ(list.ItemText(static_cast<int>(list.Send(LVM_GETTOPINDEX)), 0), nahore);
    EXPECT_EQ(VybranyAFokus(), vybrany);
}
TEST_F(Prikazy, DeleteAsksWithBitOneOnlyAndGoesOnAfterAFailure)
{
    Naplnit({L"a.wma", L"b.wma", L"c.wma"});
    Vybrat({L"a.wma", L"c.wma"});
    modul.odpoved = IDNO;
    EXPECT_EQ(list.PrikazSmazat(7), S_FALSE);
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(modul.zpravy[0].text, L"Opravdu chcete smazat z disku vybraný soubor(-y)?\nPočet souborů: 2");
    EXPECT_EQ(modul.zpravy[0].flags & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(VeSlozce(), (V{L"a.wma", L"b.wma", L"c.wma"}));
    // One of the two goes while the question is open: it is skipped without a word, the other is deleted.
    modul.odpoved = IDYES;
    modul.priZprave = [&] { DeleteFileW(dir.File(L"c.wma").c_str()); };
    EXPECT_EQ(list.PrikazSmazat(7), S_OK);
    EXPECT_EQ(VeSlozce(), V{L"b.wma"});
    EXPECT_EQ(modul.zpravy.size(), 2u);
    // Without bit 0 nothing is asked, and a file that cannot go stops nothing.
    Naplnit({L"a.wma", L"c.wma"});
    modul.zpravy.clear();
    modul.priZprave = nullptr;
    // Held open without delete sharing, as by the recorder.
    HANDLE h = CreateFileW(dir.File(L"b.wma").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Vybrat({L"a.wma", L"b.wma", L"c.wma"});
    EXPECT_EQ(list.PrikazSmazat(5), E_FAIL);
    CloseHandle(h);
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(modul.zpravy[0].text.rfind(L"Některé soubory se nepodařilo smazat", 0), 0u) << "shown as an error";
    EXPECT_EQ(VeSlozce(), V{L"b.wma"});
    Vybrat({});
    EXPECT_EQ(list.PrikazSmazat(7), S_FALSE);  // nothing selected, nothing asked
    EXPECT_EQ(modul.zpravy.size(), 1u);
}

TEST_F(Prikazy, RenamePreselectsByBitTwoAsksAgainForABadNameAndLosesNothing)
{
    Naplnit({L"stary.wma", L"jiny.wma"});
    Vybrat({L"stary.wma"});
    V nabidnuto, odpovedi{L"spatny:nazev.wma", L"novy.wma"};
    std::vector<bool> vyber;
    auto zadani = [&](std::wstring& text, const wchar_t*, bool vybratJmeno, int) {
        nabidnuto.push_back(text);
        vyber.push_back(vybratJmeno);
        text = odpovedi[nabidnuto.size() - 1];
        return 0;
    };
    EXPECT_EQ(list.PrikazPrejmenovat(4, zadani), S_OK);
    // The refused text is offered again.
    EXPECT_EQ(nabidnuto, (V{L"stary.wma", L"spatny:nazev.wma"}));
    EXPECT_TRUE(vyber.at(0));
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_NE(modul.zpravy[0].text.find(L"není platný"), std::wstring::npos);
    EXPECT_EQ(VeSlozce(), (V{L"jiny.wma", L"novy.wma"}));
    EXPECT_EQ(ReadBytes(dir.File(L"novy.wma")), "obsah");
    // Without bit 2 the whole name is selected; cancel changes nothing.
    list.Refresh();
    Vybrat({L"jiny.wma"});
    vyber.clear();
    odpovedi = {L"x.wma"};
    nabidnuto.clear();
    EXPECT_EQ(list.PrikazPrejmenovat(3, [&](std::wstring& t, const wchar_t* a, bool v, int i) {
        return zadani(t, a, v, i), 1;
    }), S_FALSE);
    EXPECT_FALSE(vyber.at(0));
    EXPECT_EQ(VeSlozce(), (V{L"jiny.wma", L"novy.wma"}));
    // Onto an existing file: the system's error, and nothing is lost.
    WriteBytes(dir.File(L"jiny.wma"), "druhy");
    odpovedi = {L"novy.wma"};
    nabidnuto.clear();
    EXPECT_EQ(list.PrikazPrejmenovat(0, zadani), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(modul.zpravy.size(), 2u);
    EXPECT_EQ(ReadBytes(dir.File(L"jiny.wma")), "druhy");
    EXPECT_EQ(ReadBytes(dir.File(L"novy.wma")), "obsah");
}

TEST_F(Prikazy, SaveAsAndPlayRefusalsThenTheDataFolderUpdatesTheViewValues)
{
    Naplnit({L"zaznam.wma"});
    Slozka cil;
    WriteBytes(cil.File(L"kopie.wma"), "stare");
    std::wstring nabidnuto;
    EXPECT_EQ(list.PrikazUlozitJako([&](const std::wstring& jmeno, std::wstring& kam) {
        nabidnuto = jmeno;
        kam = cil.File(L"kopie.wma");
        return S_OK;
    }), S_OK);
    EXPECT_EQ(nabidnuto, L"zaznam.wma");
    EXPECT_EQ(ReadBytes(cil.File(L"kopie.wma")), "obsah");
    EXPECT_TRUE(modul.zpravy.empty());
    EXPECT_EQ(list.PrikazUlozitJako([](const std::wstring&, std::wstring&) { return S_FALSE; }), S_FALSE);
    HRESULT hr = list.PrikazUlozitJako([&](const std::wstring&, std::wstring& kam) {
        kam = cil.File(L"neni\\kopie.wma");
        return S_OK;
    });
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(ReadBytes(dir.File(L"zaznam.wma")), "obsah");
    // Playing the file being recorded is refused.
    Vybrat({L"zaznam.wma"});
    std::wstring nahravany = dir.File(L"ZAZNAM.WMA");  // compared without case
    EXPECT_EQ(list.PrikazPrehrat(true, true, nahravany, host), S_FALSE);
    ASSERT_EQ(modul.zpravy.size(), 2u);
    EXPECT_EQ(modul.zpravy[1].text, L"Do tohoto souboru se právě nahrává a nelze ho proto nyní přehrávat.");
    EXPECT_FALSE(IsPlayerOpen());
    Vybrat({});
    list.Send(LVM_DELETEALLITEMS);
    EXPECT_EQ(list.PrikazPrehrat(true, false, L"", host), S_FALSE);  // no current file
    EXPECT_FALSE(IsPlayerOpen());
    // Showing the data folder updates the view values, and a missing one changes nothing.
    Slozka data;
    WriteBytes(data.File(L"d.wma"), "x");
    tonbar::test::TestKonfigurace konf;
    Konfigurace& k = konf.k;
    k.slozka_data = data.Path();
    k.seznam_souboru_slozka = dir.Path();
    EXPECT_EQ(list.PrikazVychoziSlozka(k), S_OK);
    EXPECT_EQ(k.seznam_souboru_slozka, data.Path());
    EXPECT_EQ(Jmena(), (V{L"d.wma"}));
    EXPECT_EQ(host.zobrazeno.back(), data.Path());
    EXPECT_TRUE(list.Watching());
    EXPECT_EQ(konf.Text(L"seznam_souboru", L"slozka"), data.Path());
    k.slozka_data = data.File(L"neni");
    EXPECT_EQ(list.PrikazVychoziSlozka(k), E_INVALIDARG);
    EXPECT_EQ(k.seznam_souboru_slozka, data.Path());
    EXPECT_EQ(Jmena(), (V{L"d.wma"}));
    EXPECT_EQ(mirvak::winapi::OtevritSlozkuZaznamu(data.File(L"neni"), false), S_FALSE);
}
