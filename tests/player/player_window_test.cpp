// The player window on its own thread, driven from the test thread the way
// the main window drives it: open, close with a bounded wait, the notices to
// the owner, and the window's controls read from outside.
#include "player/OknoPrehravac.h"
#include "player/PrehravacZdroje.h"
#include "player_test_support.h"

#include <commctrl.h>

using namespace player_test;

namespace {

constexpr DWORD kWait = 10000;

// Stands in for the main window: counts the player's notices.
class PlayerThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(com.hr));
        g_konfigurace.cekani_na_prehravac = kWait;
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"player_test_owner";
        RegisterClassW(&wc);
        owner = CreateWindowExW(0, wc.lpszClassName, L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
        ASSERT_NE(owner, nullptr);
        SetWindowLongPtrW(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    void TearDown() override
    {
        // Never leave a player behind for the next test.
        host.Release();
        g_konfigurace.cekani_na_prehravac = kWait;
        EXPECT_NE(ClosePlayer(), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
        if (owner)
            DestroyWindow(owner);
    }

    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        auto* self = reinterpret_cast<PlayerThread*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && m == WM_PREHRAVAC_ZMENA) {
            (w ? self->opened : self->closed)++;
            // As the main window does: refresh command states from it.
            self->openWhenClosedNotice = !w && IsPlayerOpen();
            return 0;
        }
        if (self && m == WM_COMMAND) {
            self->commands.push_back(LOWORD(w));
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }

    // Opens the player and waits for its window and its "opened" notice.
    HWND Open(const std::wstring& path)
    {
        const int before = opened;
        EXPECT_EQ(OpenPlayer(path, owner), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return opened > before && PlayerWindow() != nullptr; }, kWait));
        return PlayerWindow();
    }

    static HWND Child(HWND player, const wchar_t* cls)
    {
        HWND rebar = FindWindowExW(player, nullptr, REBARCLASSNAMEW, nullptr);
        return rebar ? FindWindowExW(rebar, nullptr, cls, nullptr) : nullptr;
    }
    static std::wstring StatusText(HWND player, int part)
    {
        HWND status = FindWindowExW(player, nullptr, STATUSCLASSNAMEW, nullptr);
        wchar_t text[512] = {};
        if (status && LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, part, 0)) < ARRAYSIZE(text))
            SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
    static bool MenuEnabled(HWND player, UINT id)
    {
        UINT state = GetMenuState(GetMenu(player), id, MF_BYCOMMAND);
        return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
    }
    static bool ButtonEnabled(HWND player, UINT id)
    {
        return SendMessageW(Child(player, TOOLBARCLASSNAMEW), TB_ISBUTTONENABLED, id, 0) != 0;
    }

    ComScope com;
    MessageHost host;
    HWND owner = nullptr;
    int opened = 0;
    int closed = 0;
    bool openWhenClosedNotice = false;
    std::vector<UINT> commands;
};

TEST_F(PlayerThread, OpensEmptyOnceAndClosesFromOutside)
{
    HWND player = Open(L"");
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(IsPlayerOpen());
    EXPECT_EQ(opened, 1);
    EXPECT_NE(GetWindowThreadProcessId(player, nullptr), GetCurrentThreadId()) << "not on a thread of its own";

    wchar_t cls[64] = {}, title[128] = {};
    GetClassNameW(player, cls, ARRAYSIZE(cls));
    GetWindowTextW(player, title, ARRAYSIZE(title));
    EXPECT_STREQ(cls, L"prehravac_zvuku");
    EXPECT_STREQ(title, L"Přehrávač zvuku - Tonbar");
    EXPECT_TRUE(IsWindowVisible(player));
    EXPECT_EQ(GetWindowLongW(player, GWL_STYLE) & WS_OVERLAPPEDWINDOW, static_cast<LONG>(WS_OVERLAPPEDWINDOW));

    HWND trackbar = Child(player, TRACKBAR_CLASSW);
    ASSERT_NE(trackbar, nullptr);
    EXPECT_FALSE(IsWindowEnabled(trackbar));
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0), 10000);
    EXPECT_EQ(StatusText(player, 0), L"Zastaveno");
    EXPECT_EQ(StatusText(player, 1), L"Přehrávač zvukových souborů - Připraven");
    for (UINT id : {ID_PREHRAVAC_ZAVRIT, ID_PREHRAVAC_VPRED, ID_PREHRAVAC_ZPET, ID_PREHRAVAC_POZASTAVIT,
                    ID_PREHRAVAC_SPUSTIT, ID_PREHRAVAC_UKONCIT}) {
        EXPECT_FALSE(MenuEnabled(player, id)) << id;
        EXPECT_FALSE(ButtonEnabled(player, id)) << id;
    }
    EXPECT_TRUE(MenuEnabled(player, ID_PREHRAVAC_OTEVRIT));

    // A second start while one runs does nothing.
    EXPECT_EQ(OpenPlayer(L"", owner), S_FALSE);
    PumpFor(200);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(PlayerWindow(), player);

    // Help commands go to the owner.
    PostMessageW(player, WM_COMMAND, 40006, 0);
    EXPECT_TRUE(PumpUntil([&] { return !commands.empty(); }, kWait));
    EXPECT_EQ(commands, std::vector<UINT>{40006});

    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_FALSE(IsPlayerOpen());
    EXPECT_EQ(PlayerWindow(), nullptr);
    EXPECT_FALSE(IsWindow(player));
    EXPECT_TRUE(PumpUntil([&] { return closed == 1; }, kWait));
    EXPECT_FALSE(openWhenClosedNotice);
    EXPECT_EQ(ClosePlayer(), S_FALSE);
    EXPECT_TRUE(host.Texts().empty());
}

// The player closes itself (Konec): the thread ends on its own, the owner
// hears of it, and a new player can be started.
TEST_F(PlayerThread, ClosesItselfAndOpensAgain)
{
    HWND player = Open(L"");
    ASSERT_NE(player, nullptr);
    // A click on the tool bar's last button (it sits in the rebar, whose
    // messages must reach the player).
    HWND toolbar = Child(player, TOOLBARCLASSNAMEW);
    RECT button{};
    ASSERT_TRUE(SendMessageW(toolbar, TB_GETRECT, ID_PREHRAVAC_KONEC, reinterpret_cast<LPARAM>(&button)));
    const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(toolbar, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(PumpUntil([&] { return closed == 1; }, kWait));
    EXPECT_FALSE(openWhenClosedNotice) << "still counted as open when its closing notice arrived";
    EXPECT_FALSE(IsPlayerOpen());
    EXPECT_EQ(PlayerWindow(), nullptr);

    HWND again = Open(L"");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return closed == 2; }, kWait));
}

// The window comes back where it was closed; with nothing stored it opens
// centred. Menu help and tool-bar tips come from the string table.
TEST_F(PlayerThread, RemembersItsPlacementAndShowsCommandHelp)
{
    const std::wstring key = mirvak::winapi::KlicUmisteni(g_konfigurace.registrovaCesta);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"prehravac_zvuku");

    HWND player = Open(L"");
    ASSERT_NE(player, nullptr);
    RECT r{}, work{};
    GetWindowRect(player, &r);
    MONITORINFO mi{sizeof mi};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(player, MONITOR_DEFAULTTONEAREST), &mi));
    work = mi.rcWork;
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.left, (work.left + work.right) / 2 - 400);
    EXPECT_EQ(r.top, (work.top + work.bottom) / 2 - 300);

    SendMessageW(player, WM_MENUSELECT, MAKEWPARAM(ID_PREHRAVAC_POZASTAVIT, MF_STRING), 0);
    EXPECT_EQ(StatusText(player, 1), L"Pozastavit přehrávání.");
    SendMessageW(player, WM_MENUSELECT, MAKEWPARAM(ID_PREHRAVAC_SPUSTIT, MF_STRING), 0);
    EXPECT_EQ(StatusText(player, 1), L"Spustit přehrávání vybraného souboru.");
    SendMessageW(player, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(StatusText(player, 1), L"Přehrávač zvukových souborů - Připraven");

    NMTTDISPINFOW tip{};
    tip.hdr.hwndFrom = Child(player, TOOLBARCLASSNAMEW);
    tip.hdr.idFrom = ID_PREHRAVAC_VPRED;
    tip.hdr.code = TTN_GETDISPINFOW;
    SendMessageW(player, WM_NOTIFY, ID_PREHRAVAC_VPRED, reinterpret_cast<LPARAM>(&tip));
    ASSERT_TRUE(IS_INTRESOURCE(tip.lpszText));
    wchar_t text[128] = {};
    LoadStringW(tip.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(tip.lpszText)), text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"Posunout přehrávání o půl sekundy vpřed");

    SetWindowPos(player, nullptr, 120, 90, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(ClosePlayer(), S_OK);
    player = Open(L"");
    ASSERT_NE(player, nullptr);
    GetWindowRect(player, &r);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 90);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"prehravac_zvuku"), ERROR_SUCCESS);
}

// A path that is no file (missing, or a folder) opens the player empty.
TEST_F(PlayerThread, APathThatIsNoFileOpensEmpty)
{
    TempDir dir;
    for (const std::wstring& path : {dir.File(L"neni.wma"), dir.File(L"")}) {
        HWND player = Open(path);
        ASSERT_NE(player, nullptr);
        PumpFor(300);
        EXPECT_FALSE(IsWindowEnabled(Child(player, TRACKBAR_CLASSW)));
        EXPECT_EQ(StatusText(player, 1), L"Přehrávač zvukových souborů - Připraven");
        EXPECT_EQ(ClosePlayer(), S_OK);
    }
    EXPECT_TRUE(host.Texts().empty()) << "no message for a path that names no file";
}

// The player thread is busy (its open-error message is up): the outside close
// times out with WAIT_TIMEOUT, the thread stays tracked, and once the thread
// is free a second close ends it.
class BusyPlayerThread : public PlayerThread {
protected:
    BusyPlayerThread() : blocking(true) {}
    void TearDown() override
    {
        blocking.Release();
        PlayerThread::TearDown();
    }
    MessageHost blocking;
};

TEST_F(BusyPlayerThread, CloseTimesOutAndTheHandleStaysOwned)
{
    TempDir dir;
    const std::wstring garbage = dir.File(L"smeti.wma");
    {
        HANDLE f = CreateFileW(garbage.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(f, "not a sound file", 16, &written, nullptr);
        CloseHandle(f);
    }
    ASSERT_EQ(OpenPlayer(garbage, owner), S_OK);
    ASSERT_TRUE(blocking.WaitShown(kWait)) << "the open error was not shown";
    const std::vector<std::wstring> texts = blocking.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(L"Nepodařilo se otevřít soubor pro přehrání.", 0), 0u) << Narrow(texts[0]);

    g_konfigurace.cekani_na_prehravac = 300;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(ClosePlayer(), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount64() - start, 250u);
    EXPECT_TRUE(IsPlayerOpen());
    EXPECT_EQ(OpenPlayer(L"", owner), S_FALSE) << "a second player while the first still runs";
    // The commands show such a failed close with the system's description
    // (Wine has none for this code: then its number).
    wchar_t* popis = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   HRESULT_FROM_WIN32(WAIT_TIMEOUT), 0, reinterpret_cast<wchar_t*>(&popis), 0, nullptr);
    std::wstring systemovy = popis ? popis : L"0x80070102";
    if (popis)
        LocalFree(popis);
    while (!systemovy.empty() && (systemovy.back() == L'\n' || systemovy.back() == L'\r'))
        systemovy.pop_back();
    for (auto prikaz : {+[] { return PrepnoutPrehravac(); }, +[] { return PrehratVPrehravaci(L""); }}) {
        EXPECT_EQ(prikaz(), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
        const std::vector<std::wstring> shown = blocking.Texts();
        EXPECT_EQ(shown.back().rfind(L"Přehrávač se nepodařilo zavřít.", 0), 0u) << Narrow(shown.back());
        EXPECT_NE(shown.back().find(systemovy), std::wstring::npos) << Narrow(shown.back());
    }
    EXPECT_EQ(blocking.Texts().size(), 3u);

    blocking.Release();
    g_konfigurace.cekani_na_prehravac = kWait;
    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_FALSE(IsPlayerOpen());
    EXPECT_TRUE(PumpUntil([&] { return closed == 1; }, kWait));
    // The failed file is untouched and not held open.
    EXPECT_TRUE(DeleteFileW(garbage.c_str()));
}

// A real file in the window: controls follow the playback; closing the file
// resets them; the player closes while playing and opens again.
TEST_F(PlayerThread, PlaysAFileAndClosesWhilePlaying)
{
    ASSERT_TRUE(SoundServerReachable());
    TempDir dir;
    const std::wstring path = dir.File(L"zaznam.wma");
    ASSERT_TRUE(WriteOwnWma(path, 6.0));

    HWND player = Open(path);
    ASSERT_NE(player, nullptr);
    HWND trackbar = Child(player, TRACKBAR_CLASSW);
    EXPECT_TRUE(IsWindowEnabled(trackbar));
    EXPECT_EQ(StatusText(player, 1), L"zaznam.wma");
    for (UINT id : {ID_PREHRAVAC_ZAVRIT, ID_PREHRAVAC_VPRED, ID_PREHRAVAC_POZASTAVIT, ID_PREHRAVAC_UKONCIT}) {
        EXPECT_TRUE(MenuEnabled(player, id)) << id;
        EXPECT_TRUE(ButtonEnabled(player, id)) << id;
    }
    // The timer moves the trackbar and shows the time.
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(trackbar, TBM_GETPOS, 0, 0) > 1000; }, 5000));
    EXPECT_NE(StatusText(player, 0), L"Zastaveno");

    // The trackbar seeks: End moves it to the end, and the timer then shows
    // the playback there.
    SendMessageW(trackbar, WM_KEYDOWN, VK_END, 0);
    SendMessageW(trackbar, WM_KEYUP, VK_END, 0);
    PumpFor(1500);
    EXPECT_GT(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 9000);

    // Stop returns to the start; the timer shows it.
    SendMessageW(player, WM_COMMAND, ID_PREHRAVAC_UKONCIT, 0);
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(trackbar, TBM_GETPOS, 0, 0) < 200; }, 3000));
    // Run again, then close from outside while playing.
    SendMessageW(player, WM_COMMAND, ID_PREHRAVAC_SPUSTIT, 0);
    PumpFor(1500);
    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return closed == 1; }, kWait));
    EXPECT_TRUE(host.Texts().empty());

    // Opened again with the same file, then the file closed in the player.
    player = Open(path);
    ASSERT_NE(player, nullptr);
    trackbar = Child(player, TRACKBAR_CLASSW);
    EXPECT_TRUE(IsWindowEnabled(trackbar));
    SendMessageW(player, WM_COMMAND, ID_PREHRAVAC_ZAVRIT, 0);
    EXPECT_FALSE(IsWindowEnabled(trackbar));
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(StatusText(player, 0), L"Zastaveno");
    EXPECT_EQ(StatusText(player, 1), L"Přehrávač zvukových souborů - Připraven");
    EXPECT_FALSE(MenuEnabled(player, ID_PREHRAVAC_ZAVRIT));
    EXPECT_EQ(ClosePlayer(), S_OK);
    // Nothing keeps the file open once the player closed it.
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

} // namespace
