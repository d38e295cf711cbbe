// The player: its playback graph (real files through Wine's DirectShow into the run's PulseAudio sink),
// and its window on a thread of its own, driven the way the main window drives it.
#include "app/Chyby.h"
#include "app/Handles.h"
#include "app/IMirvakModul.h"
#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "harness/Dialogy.h"
#include "harness/TestFolder.h"
#include "media/asf/AsfWriter.h"
#include "media/wma/WmaEncoder.h"
#include "player/AudioPlayback.h"
#include "player/OknoPrehravac.h"
#include "player/PrehravacZdroje.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <mmsystem.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using tonbar::test::ComScope;
using tonbar::test::Potomek;
using TempDir = tonbar::test::TestFolder;

namespace {

constexpr LONGLONG kSecond = 10000000;
constexpr DWORD kWait = 10000;

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// `seconds` of a 440 Hz tone at 44100 Hz stereo, 128 kbit/s, written with the
// built-in encoder and ASF writer the way the recorder writes its files.
::testing::AssertionResult WriteOwnWma(const std::wstring& path, double seconds) {
    using namespace mirvak::media;
    WmaEncoder encoder;
    FileByteSink sink;
    AsfWriter writer;
    if (Failed(encoder.Init(44100, 2, 128000)) || Failed(sink.Create(Narrow(path))) ||
        Failed(writer.Open(&sink, encoder.Format(), encoder.FramesPerBlock(), 128000, nullptr)))
        return ::testing::AssertionFailure() << "cannot write " << Narrow(path);
    HResult writeHr = kOk;
    BlockSink toWriter = [&](const uint8_t* data, size_t size) {
        if (!Failed(writeHr)) writeHr = writer.WriteBlock(data, size);
    };
    const size_t frames = static_cast<size_t>(seconds * 44100);
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(2 * 3.14159265358979 * 440 * i / 44100.0));
    if (Failed(encoder.Encode(pcm.data(), frames, toWriter)) || Failed(encoder.Flush(toWriter)) || Failed(writeHr) ||
        Failed(writer.SetInputFrames(frames)) || Failed(writer.Close()) || Failed(sink.CloseFile()))
        return ::testing::AssertionFailure() << "encoding " << Narrow(path);
    return ::testing::AssertionSuccess();
}

void WriteGarbage(const std::wstring& path) {
    std::ofstream(std::filesystem::path(path), std::ios::binary) << std::string(7000, 'x');
}

// The run's sound server (scripts/test starts one): without it these tests
// fail rather than pass on a machine that plays nothing.
::testing::AssertionResult SoundDevice() {
    if (waveOutGetNumDevs() > 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Wine sees no playback device: is the run's PulseAudio server up?";
}

// Pumps this thread's messages until `done` holds or `ms` pass.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    return tonbar::test::Cekat(done, ms);
}

void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

// Stands in for the main window: graph events of `playback` arrive here, so
// that the notification path is exercised too, and the player's notices.
class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_konfigurace.cekani_na_prehravac = kWait;
        host.priZprave = [this, self = GetCurrentThreadId()] {
            SetEvent(shown.Get());
            if (block && GetCurrentThreadId() != self) WaitForSingleObject(release.Get(), 60000);
        };
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            auto* self = reinterpret_cast<PlayerTest*>(GetWindowLongPtrW(h, GWLP_USERDATA));
            if (self && m == WM_UDALOST_GRAFU) {
                ++self->notices;
                self->drained += self->playback.DrainEvents();
                return 0;
            }
            if (self && m == WM_PREHRAVAC_ZMENA) {
                (w ? self->opened : self->closed)++;
                // As the main window does: refresh command states from it.
                self->openWhenClosedNotice = !w && IsPlayerOpen();
                return 0;
            }
            if (self && m == WM_COMMAND) return self->commands.push_back(LOWORD(w)), 0;
            return DefWindowProcW(h, m, w, l);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"player_test_owner";
        RegisterClassW(&wc);
        owner = CreateWindowExW(0, wc.lpszClassName, L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
        ASSERT_NE(owner, nullptr);
        SetWindowLongPtrW(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        playback.SetNotifyWindow(owner);
    }
    void TearDown() override {
        // Never leave a player behind for the next test.
        playback.Release();
        SetEvent(release.Get());
        g_konfigurace.cekani_na_prehravac = kWait;
        EXPECT_NE(ClosePlayer(), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
        DestroyWindow(owner);
    }
    LONGLONG Position() {
        LONGLONG p = -1;
        EXPECT_EQ(playback.Position(&p), S_OK);
        return p;
    }

    // The whole road of one file: playing, advancing, pause, half-second
    // steps and their limits, end of stream, stop back to the start.
    void PlayThrough(const std::wstring& path, double expectedSeconds) {
        ASSERT_TRUE(SoundDevice());
        ASSERT_EQ(playback.Open(path), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Hraje);
        EXPECT_NEAR(double(playback.Duration()) / kSecond, expectedSeconds, 0.2);
        EXPECT_TRUE(playback.Capabilities() & AM_SEEKING_CanSeekAbsolute);
        PumpFor(1500);
        const LONGLONG played = Position();
        EXPECT_GT(played, kSecond / 2) << "the position did not advance";
        EXPECT_LT(played, 3 * kSecond);

        ASSERT_EQ(playback.Pause(), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Pozastaveno);
        PumpFor(300);
        const LONGLONG paused = Position();
        PumpFor(500);
        EXPECT_NEAR(double(Position()), double(paused), 0.05 * kSecond) << "the position moved while paused";
        ASSERT_EQ(playback.StepForward(), S_OK);
        EXPECT_NEAR(double(Position()), double(paused + playback.Step()), 0.1 * kSecond);
        ASSERT_EQ(playback.StepBack(), S_OK);
        ASSERT_EQ(playback.StepBack(), S_OK);
        EXPECT_NEAR(double(Position()), double(paused - playback.Step()), 0.1 * kSecond);
        // Within the first and the last half second a step does nothing.
        ASSERT_EQ(playback.Seek(kSecond / 5), S_OK);
        EXPECT_EQ(playback.StepBack(), S_FALSE);
        EXPECT_NEAR(double(Position()), 0.2 * kSecond, 0.1 * kSecond);
        const LONGLONG nearEnd = playback.Duration() - kSecond / 5;
        ASSERT_EQ(playback.Seek(nearEnd), S_OK);
        EXPECT_EQ(playback.StepForward(), S_FALSE);
        EXPECT_NEAR(double(Position()), double(nearEnd), 0.1 * kSecond);

        // Play out the last second: the end is reported, the position stays
        // at the end and the playback still counts as playing.
        ASSERT_EQ(playback.Seek(playback.Duration() - kSecond), S_OK);
        ASSERT_EQ(playback.Play(), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return playback.EndOfStreamSeen(); }, 6000)) << "no EC_COMPLETE";
        EXPECT_GT(notices, 0) << "no graph notification reached the window";
        EXPECT_GT(drained, 0);
        EXPECT_EQ(playback.State(), AudioPlayback::Hraje);
        EXPECT_GT(Position(), playback.Duration() - kSecond / 4);

        // Stop (from playing, then from paused) returns to the start; the run
        // action plays again from there.
        ASSERT_EQ(playback.Stop(), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Zastaveno);
        PumpFor(200);
        EXPECT_LT(Position(), kSecond / 20);
        ASSERT_EQ(playback.Play(), S_OK);
        PumpFor(1000);
        EXPECT_GT(Position(), kSecond / 4);
        EXPECT_LT(Position(), 2 * kSecond);
        ASSERT_EQ(playback.Pause(), S_OK);
        ASSERT_EQ(playback.Stop(), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Zastaveno);
        PumpFor(200);
        EXPECT_LT(Position(), kSecond / 20);
    }

    // Opens the player and waits for its window and its "opened" notice.
    HWND Open(const std::wstring& path) {
        const int before = opened;
        EXPECT_EQ(OpenPlayer(path, owner), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return opened > before && PlayerWindow() != nullptr; }, kWait));
        return PlayerWindow();
    }
    static HWND Child(HWND player, const wchar_t* cls) { return Potomek(Potomek(player, REBARCLASSNAMEW), cls); }
    static std::wstring StatusText(HWND player, int part) {
        return tonbar::test::TextCastiStatusu(Potomek(player, STATUSCLASSNAMEW), part);
    }
    // The command in the menu and on the tool bar.
    static bool Enabled(HWND player, UINT id) {
        UINT state = GetMenuState(GetMenu(player), id, MF_BYCOMMAND);
        bool menu = state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
        EXPECT_EQ(menu, SendMessageW(Child(player, TOOLBARCLASSNAMEW), TB_ISBUTTONENABLED, id, 0) != 0) << id;
        return menu;
    }
    LRESULT Trackbar(HWND player, UINT message) { return SendMessageW(Child(player, TRACKBAR_CLASSW), message, 0, 0); }
    // Without a file: no seeking, stopped, ready, every playback command off.
    static void ExpectEmpty(HWND player) {
        EXPECT_FALSE(IsWindowEnabled(Child(player, TRACKBAR_CLASSW)));
        EXPECT_EQ(StatusText(player, 0), L"Zastaveno");
        EXPECT_EQ(StatusText(player, 1), L"Přehrávač zvukových souborů - Připraven");
        for (UINT id : {ID_PREHRAVAC_ZAVRIT, ID_PREHRAVAC_VPRED, ID_PREHRAVAC_ZPET, ID_PREHRAVAC_POZASTAVIT,
                        ID_PREHRAVAC_SPUSTIT, ID_PREHRAVAC_UKONCIT})
            EXPECT_FALSE(Enabled(player, id)) << id;
    }
    static std::vector<LONG> Rect(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }

    ComScope com;
    tonbar::test::TestModul host;
    // With `block` set, a message box of another thread (the player's) stays up until `release`.
    bool block = false;
    mirvak::winapi::Handle shown{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    mirvak::winapi::Handle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND owner = nullptr;
    AudioPlayback playback;
    int notices = 0, drained = 0, opened = 0, closed = 0;
    bool openWhenClosedNotice = false;
    std::vector<UINT> commands;
};
using Playback = PlayerTest;
using PlayerThread = PlayerTest;

} // namespace

// Run by play_ffmpeg_test.sh, which makes the file with ffmpeg -c:a wmav2.
TEST_F(Playback, DISABLED_FfmpegFilePlaysSeeksStepsAndStops) {
    const wchar_t* path = _wgetenv(L"TONBAR_PLAYER_FFMPEG_WMA");
    const wchar_t* seconds = _wgetenv(L"TONBAR_PLAYER_FFMPEG_SECONDS");
    ASSERT_TRUE(path && seconds) << "TONBAR_PLAYER_FFMPEG_WMA and _SECONDS are not set";
    PlayThrough(path, _wtof(seconds));
}

// Released files are not held open: a recording may be renamed or deleted right after it was played.
TEST_F(Playback, BadFilesFailCleanlyAndOwnEncoderFilePlaysThrough) {
    ASSERT_TRUE(SoundDevice());
    TempDir dir;
    const std::wstring garbage = dir.File(L"smeti.wma"), a = dir.File(L"a.wma"), b = dir.File(L"vlastni.wma");
    WriteGarbage(garbage);
    for (const std::wstring& bad : {dir.File(L"neni.wma"), garbage}) {
        HRESULT hr = playback.Open(bad);
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_EQ(playback.State(), AudioPlayback::BezSouboru);
        EXPECT_TRUE(playback.Path().empty());
        EXPECT_EQ(playback.Duration(), 0);
    }
    EXPECT_TRUE(DeleteFileW(garbage.c_str()));
    ASSERT_TRUE(WriteOwnWma(a, 2.0));
    ASSERT_TRUE(WriteOwnWma(b, 4.0));
    ASSERT_EQ(playback.Open(a), S_OK);
    PlayThrough(b, 4.0);
    EXPECT_EQ(playback.Path(), b);
    playback.Release();
    EXPECT_EQ(playback.State(), AudioPlayback::BezSouboru);
    EXPECT_TRUE(playback.Path().empty());
    EXPECT_TRUE(DeleteFileW(a.c_str()));
    EXPECT_TRUE(DeleteFileW(b.c_str()));
}

// The player's window on a thread of its own, driven as the main window drives it; Konec sits in the
// rebar, whose messages must reach the player.
TEST_F(PlayerThread, OpensEmptyRemembersItsPlaceClosesAndPlaysAFile) {
    const std::wstring key = g_konfigurace.registrovaCesta + L"\\parametry_oken";
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"prehravac_zvuku");
    HWND player = Open(L"");
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(IsPlayerOpen());
    EXPECT_NE(GetWindowThreadProcessId(player, nullptr), GetCurrentThreadId()) << "not on a thread of its own";
    wchar_t title[128] = {};
    GetWindowTextW(player, title, ARRAYSIZE(title));
    EXPECT_STREQ(title, L"Přehrávač zvuku - Tonbar");
    EXPECT_TRUE(IsWindowVisible(player));
    ExpectEmpty(player);
    EXPECT_EQ(OpenPlayer(L"", owner), S_FALSE) << "a second start while one runs";
    // Help commands go to the owner.
    PostMessageW(player, WM_COMMAND, 40006, 0);
    EXPECT_TRUE(PumpUntil([&] { return !commands.empty(); }, kWait));
    EXPECT_EQ(commands, std::vector<UINT>{40006});
    EXPECT_EQ(opened, 1);

    MONITORINFO mi{sizeof mi};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(player, MONITOR_DEFAULTTONEAREST), &mi));
    const RECT& w = mi.rcWork;
    const LONG x = (w.left + w.right) / 2 - 400, y = (w.top + w.bottom) / 2 - 300;
    EXPECT_EQ(Rect(player), (std::vector<LONG>{x, y, 800, 600})) << "centred";
    SendMessageW(player, WM_MENUSELECT, MAKEWPARAM(ID_PREHRAVAC_SPUSTIT, MF_STRING), 0);
    EXPECT_EQ(StatusText(player, 1), L"Spustit přehrávání vybraného souboru.");
    SendMessageW(player, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(StatusText(player, 1), L"Přehrávač zvukových souborů - Připraven");
    NMTTDISPINFOW tip{};
    tip.hdr = {Child(player, TOOLBARCLASSNAMEW), ID_PREHRAVAC_VPRED, static_cast<UINT>(TTN_GETDISPINFOW)};
    SendMessageW(player, WM_NOTIFY, ID_PREHRAVAC_VPRED, reinterpret_cast<LPARAM>(&tip));
    ASSERT_TRUE(IS_INTRESOURCE(tip.lpszText));
    wchar_t text[128] = {};
    LoadStringW(tip.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(tip.lpszText)), text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"Posunout přehrávání o půl sekundy vpřed");
    SetWindowPos(player, nullptr, 120, 90, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);

    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_FALSE(IsPlayerOpen());
    EXPECT_EQ(PlayerWindow(), nullptr);
    EXPECT_FALSE(IsWindow(player));
    EXPECT_TRUE(PumpUntil([&] { return closed == 1; }, kWait));
    EXPECT_FALSE(openWhenClosedNotice);
    EXPECT_EQ(ClosePlayer(), S_FALSE);

    player = Open(L"");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(Rect(player), (std::vector<LONG>{120, 90, 640, 480}));
    HWND toolbar = Child(player, TOOLBARCLASSNAMEW);
    RECT button{};
    ASSERT_TRUE(SendMessageW(toolbar, TB_GETRECT, ID_PREHRAVAC_KONEC, reinterpret_cast<LPARAM>(&button)));
    const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(toolbar, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(PumpUntil([&] { return closed == 2; }, kWait));
    EXPECT_FALSE(openWhenClosedNotice) << "still counted as open when its closing notice arrived";
    EXPECT_FALSE(IsPlayerOpen());

    TempDir dir;
    for (const std::wstring& path : {dir.File(L"neni.wma"), dir.File(L"")}) {
        player = Open(path);
        ASSERT_NE(player, nullptr);
        PumpFor(300);
        ExpectEmpty(player);
        EXPECT_EQ(ClosePlayer(), S_OK);
    }
    EXPECT_EQ(opened, 4);

    // A real file: controls follow the playback; closing the file resets
    // them; the player closes while playing and opens again.
    ASSERT_TRUE(SoundDevice());
    const std::wstring path = dir.File(L"zaznam.wma");
    ASSERT_TRUE(WriteOwnWma(path, 6.0));
    player = Open(path);
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(IsWindowEnabled(Child(player, TRACKBAR_CLASSW)));
    EXPECT_EQ(StatusText(player, 1), L"zaznam.wma");
    for (UINT id : {ID_PREHRAVAC_ZAVRIT, ID_PREHRAVAC_VPRED, ID_PREHRAVAC_POZASTAVIT, ID_PREHRAVAC_UKONCIT})
        EXPECT_TRUE(Enabled(player, id)) << id;
    // The timer moves the trackbar and shows the time.
    EXPECT_TRUE(PumpUntil([&] { return Trackbar(player, TBM_GETPOS) > 1000; }, 5000));
    EXPECT_NE(StatusText(player, 0), L"Zastaveno");
    // The trackbar seeks: End moves it to the end, the timer then shows the
    // playback there.
    SendMessageW(Child(player, TRACKBAR_CLASSW), WM_KEYDOWN, VK_END, 0);
    SendMessageW(Child(player, TRACKBAR_CLASSW), WM_KEYUP, VK_END, 0);
    PumpFor(1500);
    EXPECT_GT(Trackbar(player, TBM_GETPOS), 9000);
    // Stop returns to the start; run again, then close from outside.
    SendMessageW(player, WM_COMMAND, ID_PREHRAVAC_UKONCIT, 0);
    EXPECT_TRUE(PumpUntil([&] { return Trackbar(player, TBM_GETPOS) < 200; }, 3000));
    SendMessageW(player, WM_COMMAND, ID_PREHRAVAC_SPUSTIT, 0);
    PumpFor(1500);
    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return closed == opened; }, kWait));
    EXPECT_TRUE(host.Zpravy().empty());

    // Opened again with the same file, then the file closed in the player.
    player = Open(path);
    ASSERT_NE(player, nullptr);
    SendMessageW(player, WM_COMMAND, ID_PREHRAVAC_ZAVRIT, 0);
    ExpectEmpty(player);
    EXPECT_EQ(Trackbar(player, TBM_GETPOS), 0);
    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "the file is held open";
    EXPECT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"prehravac_zvuku"), ERROR_SUCCESS);
}

// The player thread is busy (its open-error message is up): the outside close
// times out with WAIT_TIMEOUT, the thread stays tracked, the commands show
// the failed close, and once the thread is free a second close ends it.
TEST_F(PlayerThread, BusyCloseTimesOutAndTheHandleStaysOwned) {
    block = true;
    TempDir dir;
    const std::wstring garbage = dir.File(L"smeti.wma");
    WriteGarbage(garbage);
    ASSERT_EQ(OpenPlayer(garbage, owner), S_OK);
    ASSERT_EQ(WaitForSingleObject(shown.Get(), kWait), WAIT_OBJECT_0) << "the open error was not shown";
    ASSERT_EQ(host.Zpravy().size(), 1u);
    const std::wstring error = host.Zpravy()[0];
    EXPECT_EQ(error.rfind(L"Nepodařilo se otevřít soubor pro přehrání.", 0), 0u) << Narrow(error);

    g_konfigurace.cekani_na_prehravac = 300;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(ClosePlayer(), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount64() - start, 250u);
    EXPECT_TRUE(IsPlayerOpen());
    EXPECT_EQ(OpenPlayer(L"", owner), S_FALSE) << "a second player while the first still runs";
    for (auto prikaz : {+[] { return PrepnoutPrehravac(); }, +[] { return PrehratVPrehravaci(L""); }}) {
        EXPECT_EQ(prikaz(), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
        EXPECT_EQ(host.Zpravy().back(), L"Přehrávač se nepodařilo zavřít.\n\nSystémový popis chyby:\n" +
                             TextKodu(HRESULT_FROM_WIN32(WAIT_TIMEOUT)));
    }
    EXPECT_EQ(host.Zpravy().size(), 3u);

    SetEvent(release.Get());
    g_konfigurace.cekani_na_prehravac = kWait;
    EXPECT_EQ(ClosePlayer(), S_OK);
    EXPECT_FALSE(IsPlayerOpen());
    EXPECT_TRUE(PumpUntil([&] { return closed == 1; }, kWait));
    EXPECT_TRUE(DeleteFileW(garbage.c_str())) << "the failed file is held open";
}
