// The playback graph of the player: one sound file rendered to the DirectSound
// renderer, with run, pause, stop, seeking and half-second steps. Knows no
// window beyond the one its graph events are posted to, so it is usable and
// testable on any thread that has initialised COM.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

// Graph events reach the notify window with this message.
inline constexpr UINT WM_UDALOST_GRAFU = WM_APP + 2007;

class AudioPlayback {
public:
    enum Stav : int { Hraje = 0, Pozastaveno = 1, Zastaveno = 2, BezSouboru = 3 };

    AudioPlayback() = default;
    ~AudioPlayback() { Release(); }
    AudioPlayback(const AudioPlayback&) = delete;
    AudioPlayback& operator=(const AudioPlayback&) = delete;

    // The window that receives WM_UDALOST_GRAFU; takes effect at the next Open.
    void SetNotifyWindow(HWND okno) { notifyWindow = okno; }

    // Builds the graph for `path` and starts playing. A failure leaves no file
    // open (state 3) and returns the failing call's HRESULT.
    HRESULT Open(const std::wstring& path);
    // Releases the graph and every interface; state 3.
    void Release();

    HRESULT Seek(LONGLONG position);
    // S_FALSE when there is nothing to do (no file, or the step would leave
    // the file); 0x80004002 without seeking, 0x80070006 with no duration.
    HRESULT StepForward();
    HRESULT StepBack();

    // The run action (from paused or stopped), pause (from playing) and the
    // stop action (from any state with a file; back to the start). S_FALSE
    // when the state does not allow the action; a failure keeps the state.
    HRESULT Play();
    HRESULT Pause();
    HRESULT Stop();

    // Takes every queued graph event and frees its parameters; returns how
    // many were taken. Called for each WM_UDALOST_GRAFU and before release,
    // since events nobody takes keep their parameters allocated.
    int DrainEvents();
    // Whether EC_COMPLETE was among the events taken since Open.
    bool EndOfStreamSeen() const { return endOfStream; }

    // Current position in 100-ns units; E_UNEXPECTED without a file.
    HRESULT Position(LONGLONG* position) const;

    Stav State() const { return state; }
    LONGLONG Duration() const { return duration; }
    DWORD Capabilities() const { return capabilities; }
    const std::wstring& Path() const { return path; }
    LONGLONG Step() const { return step; }

private:
    HRESULT BuildGraph();
    HRESULT RenderAudio(IBaseFilter* source);
    void ResetPath();

    Microsoft::WRL::ComPtr<IGraphBuilder> graph;
    Microsoft::WRL::ComPtr<IBasicAudio> basicAudio;
    Microsoft::WRL::ComPtr<IMediaControl> control;
    Microsoft::WRL::ComPtr<IMediaEventEx> events;
    Microsoft::WRL::ComPtr<IMediaSeeking> seeking;
    Microsoft::WRL::ComPtr<IMediaDet> mediaDet;
    HWND notifyWindow = nullptr;
    LONGLONG step = 5000000;
    LONGLONG duration = 0;
    DWORD capabilities = 0;
    std::wstring path;
    long volume = 0;
    Stav state = BezSouboru;
    bool endOfStream = false;
};
