// Shared pieces of the player tests: COM per test, a temporary folder, a .wma
// written by the program's own encoder and writer, a message host that is
// safe to call from the player thread, and waiting while messages are pumped.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "app/Handles.h"
#include "harness/TestFolder.h"
#include "app/IMirvakModul.h"
#include "app/Konfigurace.h"
#include "media/asf/AsfWriter.h"
#include "media/profiles/ProfileCatalogue.h"
#include "media/wma/WmaEncoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace player_test {

using ComScope = tonbar::test::ComScope;
using TempDir = tonbar::test::TestFolder;

inline std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// Writes `seconds` of a 440 Hz tone at 44100 Hz stereo with the built-in
// encoder and ASF writer, the way the recorder writes its files.
inline ::testing::AssertionResult WriteOwnWma(const std::wstring& path, double seconds)
{
    using namespace mirvak::media;
    const AudioProfile* profile = nullptr;
    for (const AudioProfile& p : SystemAudioProfiles())
        if (p.sampleRate == 44100 && p.channels == 2 && (!profile || p.bitRate > profile->bitRate))
            profile = &p;
    if (!profile)
        return ::testing::AssertionFailure() << "no 44100 Hz stereo system profile";
    WmaEncoder encoder;
    if (Failed(encoder.Init(profile->sampleRate, profile->channels, profile->bitRate)))
        return ::testing::AssertionFailure() << "encoder init";
    FileByteSink sink;
    if (Failed(sink.Create(Narrow(path))))
        return ::testing::AssertionFailure() << "cannot create " << Narrow(path);
    AsfWriter writer;
    if (Failed(writer.Open(&sink, encoder.Format(), encoder.FramesPerBlock(), profile->bitRate, nullptr)))
        return ::testing::AssertionFailure() << "writer open";
    HResult writeHr = kOk;
    BlockSink toWriter = [&](const uint8_t* data, size_t size) {
        if (!Failed(writeHr))
            writeHr = writer.WriteBlock(data, size);
    };
    const size_t frames = static_cast<size_t>(seconds * 44100);
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(2 * 3.14159265358979 * 440 * i / 44100.0));
    if (Failed(encoder.Encode(pcm.data(), frames, toWriter)) || Failed(encoder.Flush(toWriter)) || Failed(writeHr))
        return ::testing::AssertionFailure() << "encoding";
    writer.SetInputFrames(frames);
    if (Failed(writer.Close()) || Failed(sink.CloseFile()))
        return ::testing::AssertionFailure() << "closing the file";
    return ::testing::AssertionSuccess();
}

// A sound server to play into: scripts/test (or the wrapper) starts a
// PulseAudio server and exports XDG_RUNTIME_DIR or PULSE_SERVER. Without one
// the playback tests fail rather than pass on a machine that plays nothing.
inline ::testing::AssertionResult SoundServerReachable()
{
    std::wstring socket;
    if (const wchar_t* server = _wgetenv(L"PULSE_SERVER")) {
        socket = server;
        if (socket.rfind(L"unix:", 0) == 0)
            socket = socket.substr(5);
    } else if (const wchar_t* run = _wgetenv(L"XDG_RUNTIME_DIR")) {
        socket = std::wstring(run) + L"/pulse/native";
    } else {
        return ::testing::AssertionFailure() << "neither PULSE_SERVER nor XDG_RUNTIME_DIR is set: no sound server";
    }
    std::wstring windows = L"Z:" + socket;
    for (wchar_t& c : windows)
        if (c == L'/')
            c = L'\\';
    // Wine gives a Unix socket no attributes, but lists it in its folder.
    WIN32_FIND_DATAW fd;
    HANDLE found = FindFirstFileW(windows.c_str(), &fd);
    if (found != INVALID_HANDLE_VALUE)
        FindClose(found);
    else
        return ::testing::AssertionFailure() << "no PulseAudio socket at " << Narrow(socket);
    UINT devices = waveOutGetNumDevs();
    if (devices == 0)
        return ::testing::AssertionFailure() << "Wine sees no playback device";
    return ::testing::AssertionSuccess();
}

// Pumps this thread's messages until `done` holds or `ms` pass.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

inline void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

// Takes over message boxes from any thread. With `block` set, the thread that
// shows a box waits until Release(), which holds the player thread busy.
class MessageHost : public mirvak::IMirvakModul {
public:
    // A blocking host holds the boxes of other threads (the player's) until
    // Release; the boxes of the thread that made it return at once.
    explicit MessageHost(bool block = false)
        : block_(block), thread_(GetCurrentThreadId()), shown_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          release_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        InitializeCriticalSection(&cs_);
        previous_ = mirvak::g_modul;
        mirvak::g_modul = this;
    }
    ~MessageHost()
    {
        Release();
        mirvak::g_modul = previous_;
        DeleteCriticalSection(&cs_);
    }

    const wchar_t* NazevProduktu() override { return L"Tonbar"; }
    HRESULT ObsluhaFatalniChyby(const wchar_t*) override { return E_NOTIMPL; }
    HRESULT ObsluhaZpravy(const wchar_t* text, UINT, int* result) override
    {
        {
            mirvak::winapi::CriticalSectionLock lock(cs_);
            texts_.push_back(text);
        }
        SetEvent(shown_.Get());
        if (block_ && GetCurrentThreadId() != thread_)
            WaitForSingleObject(release_.Get(), 60000);
        *result = IDOK;
        return S_OK;
    }

    bool WaitShown(DWORD ms) { return WaitForSingleObject(shown_.Get(), ms) == WAIT_OBJECT_0; }
    void Release() { SetEvent(release_.Get()); }
    std::vector<std::wstring> Texts()
    {
        mirvak::winapi::CriticalSectionLock lock(cs_);
        return texts_;
    }

private:
    bool block_;
    DWORD thread_;
    mirvak::winapi::Handle shown_;
    mirvak::winapi::Handle release_;
    CRITICAL_SECTION cs_;
    std::vector<std::wstring> texts_;
    mirvak::IMirvakModul* previous_;
};

constexpr LONGLONG kSecond = 10000000;

} // namespace player_test
