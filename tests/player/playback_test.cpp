// The playback graph on its own, without the player window: real files
// through Wine's DirectShow into a PulseAudio sink.
#include "player/AudioPlayback.h"
#include "player_test_support.h"

using namespace player_test;

namespace {

// Playback under test on the test thread; graph events arrive at a window of
// the test's own so that the notification path is exercised too.
class Playback : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(com.hr));
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"player_test_events";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
        ASSERT_NE(window, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        playback.SetNotifyWindow(window);
    }
    void TearDown() override
    {
        playback.Release();
        if (window)
            DestroyWindow(window);
    }

    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        if (m == WM_UDALOST_GRAFU) {
            auto* self = reinterpret_cast<Playback*>(GetWindowLongPtrW(h, GWLP_USERDATA));
            if (self) {
                ++self->notices;
                self->drained += self->playback.DrainEvents();
            }
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }

    LONGLONG Position()
    {
        LONGLONG p = -1;
        EXPECT_EQ(playback.Position(&p), S_OK);
        return p;
    }

    // The whole road of one file: playing, advancing, pause, half-second
    // steps and their limits, end of stream, stop back to the start.
    void PlayThrough(const std::wstring& path, double expectedSeconds)
    {
        ASSERT_TRUE(SoundServerReachable());
        ASSERT_EQ(playback.Open(path), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Hraje);
        EXPECT_EQ(playback.Path(), path);
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

        // Within the first half second a step back does nothing.
        ASSERT_EQ(playback.Seek(kSecond / 5), S_OK);
        EXPECT_EQ(playback.StepBack(), S_FALSE);
        EXPECT_NEAR(double(Position()), 0.2 * kSecond, 0.1 * kSecond);
        // Within the last half second a step forward does nothing.
        const LONGLONG nearEnd = playback.Duration() - kSecond / 5;
        ASSERT_EQ(playback.Seek(nearEnd), S_OK);
        EXPECT_EQ(playback.StepForward(), S_FALSE);
        EXPECT_NEAR(double(Position()), double(nearEnd), 0.1 * kSecond);

        // Play out the last second: the end is reported, the position stays
        // at the end and the playback still counts as playing.
        ASSERT_EQ(playback.Seek(playback.Duration() - kSecond), S_OK);
        ASSERT_EQ(playback.Play(), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Hraje);
        EXPECT_TRUE(PumpUntil([&] { return playback.EndOfStreamSeen(); }, 6000)) << "no EC_COMPLETE";
        EXPECT_GT(notices, 0) << "no graph notification reached the window";
        EXPECT_GT(drained, 0);
        EXPECT_EQ(playback.State(), AudioPlayback::Hraje);
        EXPECT_GT(Position(), playback.Duration() - kSecond / 4);

        ASSERT_EQ(playback.Stop(), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Zastaveno);
        PumpFor(200);
        EXPECT_LT(Position(), kSecond / 20) << "stop did not return to the start";
        // Stopped: the run action plays again from the start.
        ASSERT_EQ(playback.Play(), S_OK);
        PumpFor(1000);
        EXPECT_GT(Position(), kSecond / 4);
        EXPECT_LT(Position(), 2 * kSecond);
        // Stop while paused stops too, back at the start.
        ASSERT_EQ(playback.Pause(), S_OK);
        ASSERT_EQ(playback.Stop(), S_OK);
        EXPECT_EQ(playback.State(), AudioPlayback::Zastaveno);
        PumpFor(200);
        EXPECT_LT(Position(), kSecond / 20) << "stop from pause did not return to the start";
    }

    ComScope com;
    HWND window = nullptr;
    AudioPlayback playback;
    int notices = 0;
    int drained = 0;
};

TEST_F(Playback, OwnEncoderFilePlaysSeeksStepsAndStops)
{
    TempDir dir;
    const std::wstring path = dir.File(L"vlastni.wma");
    ASSERT_TRUE(WriteOwnWma(path, 4.0));
    PlayThrough(path, 4.0);
    playback.Release();
    EXPECT_EQ(playback.State(), AudioPlayback::BezSouboru);
    EXPECT_TRUE(playback.Path().empty());
    EXPECT_EQ(playback.Duration(), 0);
}

// Run by the wrapper test, which makes the file with ffmpeg -c:a wmav2.
TEST_F(Playback, DISABLED_FfmpegFilePlaysSeeksStepsAndStops)
{
    const wchar_t* path = _wgetenv(L"TONBAR_PLAYER_FFMPEG_WMA");
    ASSERT_NE(path, nullptr) << "TONBAR_PLAYER_FFMPEG_WMA is not set";
    const wchar_t* seconds = _wgetenv(L"TONBAR_PLAYER_FFMPEG_SECONDS");
    ASSERT_NE(seconds, nullptr);
    PlayThrough(path, _wtof(seconds));
}

// A second Open replaces the first file; the old graph goes with it.
TEST_F(Playback, OpeningAnotherFileReplacesTheFirst)
{
    ASSERT_TRUE(SoundServerReachable());
    TempDir dir;
    const std::wstring a = dir.File(L"a.wma"), b = dir.File(L"b.wma");
    ASSERT_TRUE(WriteOwnWma(a, 2.0));
    ASSERT_TRUE(WriteOwnWma(b, 3.0));
    ASSERT_EQ(playback.Open(a), S_OK);
    ASSERT_EQ(playback.Open(b), S_OK);
    EXPECT_EQ(playback.Path(), b);
    EXPECT_NEAR(double(playback.Duration()) / kSecond, 3.0, 0.2);
    PumpFor(800);
    EXPECT_GT(Position(), kSecond / 4);
    // The files are not held open once released (a recording may be renamed
    // or deleted right after it was played).
    playback.Release();
    EXPECT_TRUE(DeleteFileW(a.c_str()));
    EXPECT_TRUE(DeleteFileW(b.c_str()));
}

// Bad input: a clear error, no file open, and the object stays usable.
TEST_F(Playback, FilesThatCannotBePlayedLeaveNoFileOpen)
{
    TempDir dir;
    const std::wstring missing = dir.File(L"neni.wma");
    HRESULT hr = playback.Open(missing);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(playback.State(), AudioPlayback::BezSouboru);
    EXPECT_TRUE(playback.Path().empty());

    const std::wstring garbage = dir.File(L"smeti.wma");
    const char text[] = "this is not a sound file, only text that carries the .wma extension\r\n";
    {
        HANDLE f = CreateFileW(garbage.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        for (int i = 0; i < 100; ++i)
            WriteFile(f, text, sizeof text - 1, &written, nullptr);
        CloseHandle(f);
    }
    hr = playback.Open(garbage);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(playback.State(), AudioPlayback::BezSouboru);
    EXPECT_EQ(playback.Duration(), 0);
    // The failed file is left as it was, and is not held open.
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(GetFileAttributesExW(garbage.c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(info.nFileSizeLow, 100u * (sizeof text - 1));
    EXPECT_TRUE(DeleteFileW(garbage.c_str()));

    // Still usable for a good file afterwards.
    ASSERT_TRUE(SoundServerReachable());
    const std::wstring good = dir.File(L"dobry.wma");
    ASSERT_TRUE(WriteOwnWma(good, 1.0));
    EXPECT_EQ(playback.Open(good), S_OK);
    EXPECT_EQ(playback.State(), AudioPlayback::Hraje);
}

// Without a file every action has nothing to act on.
TEST_F(Playback, ActionsWithoutAFile)
{
    EXPECT_EQ(playback.State(), AudioPlayback::BezSouboru);
    EXPECT_EQ(playback.StepForward(), S_FALSE);
    EXPECT_EQ(playback.StepBack(), S_FALSE);
    EXPECT_EQ(playback.Seek(0), E_UNEXPECTED);
    EXPECT_EQ(playback.Play(), S_FALSE);
    EXPECT_EQ(playback.Pause(), S_FALSE);
    EXPECT_EQ(playback.Stop(), S_FALSE);
    EXPECT_EQ(playback.DrainEvents(), 0);
    LONGLONG p = 1;
    EXPECT_EQ(playback.Position(&p), E_UNEXPECTED);
    EXPECT_EQ(p, 0);
    EXPECT_EQ(playback.Step(), 5000000);
}

} // namespace
