// The integrated player: a top-level window on a thread of its own, and the
// functions through which the main thread opens and closes it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "mainwindow/UmisteniOkna.h"
#include "player/AudioPlayback.h"

#include <string>

// Posted by the player to its owner (the main window) when it opened
// (wParam 1) and when it closed (wParam 0).
inline constexpr UINT WM_PREHRAVAC_ZMENA = WM_APP + 2003;

// Main-thread side. These functions are called on the thread that owns the
// main window only; that thread alone owns and closes the player thread's
// handle.
//
// Starts the player thread with `path` (ignored unless it names an existing
// file that is not a folder; empty for no file). `owner` receives
// WM_PREHRAVAC_ZMENA and the help commands; nullptr means the main window.
// S_FALSE when a player is already open; the last system error when the
// thread cannot start.
HRESULT OpenPlayer(const std::wstring& path, HWND owner = nullptr);
// Asks the player to close and waits for its thread, at most
// g_konfigurace.cekani_na_prehravac ms. S_FALSE when none is open;
// HRESULT_FROM_WIN32(WAIT_TIMEOUT) when the thread has not ended in time (it
// stays tracked, so a later call waits for it again).
HRESULT ClosePlayer();
// Whether a player thread runs. Forgets one that has ended by itself.
bool IsPlayerOpen();
// Playing from the list: closes an open player, then opens `path` in a new
// one. A close or start that fails (or times out) is shown with the system's
// description of the error and returned.
HRESULT PrehratVPrehravaci(const std::wstring& path, HWND owner = nullptr);
// Command 40040: closes the open player, else opens an empty one; failures
// as above.
HRESULT PrepnoutPrehravac(HWND owner = nullptr);
// The player window, or nullptr; readable from any thread.
HWND PlayerWindow();

// The player window. Lives on the player thread; the window procedure only
// routes messages to the handlers below.
class OknoPrehravac {
public:
    explicit OknoPrehravac(HWND vlastnik) : vlastnik_(vlastnik) {}
    ~OknoPrehravac();
    OknoPrehravac(const OknoPrehravac&) = delete;
    OknoPrehravac& operator=(const OknoPrehravac&) = delete;

    // Creates and shows the window with its controls and starts the timer.
    HRESULT Vytvorit();
    // Opens `path` for playback; a failure is shown and leaves no file open.
    HRESULT OtevritSoubor(const std::wstring& path);
    HWND Hwnd() const { return okno_; }

private:
    static LRESULT CALLBACK ProceduraOkna(HWND okno, UINT zprava, WPARAM w, LPARAM l);
    static LRESULT CALLBACK ProceduraRebaru(HWND okno, UINT zprava, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR data);
    LRESULT Zprava(UINT zprava, WPARAM w, LPARAM l);

    HRESULT VytvoritOvladaciPrvky();
    void Prikaz(UINT id);
    void DialogOtevrit();
    void ZavritSoubor();
    void AktualizovatPrikazy();
    void Casovac();
    void Posuvnik();
    void VybranaNabidka(UINT id, UINT priznaky, HMENU nabidka);
    void Velikost(int sirka);
    void Zavrit();
    void TextStavu(int cast, const std::wstring& text);
    std::wstring TextPripraven() const;
    bool MaSoubor() const;

    HWND vlastnik_;
    HWND okno_ = nullptr;
    HWND status_ = nullptr;
    HWND rebar_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND trackbar_ = nullptr;
    HIMAGELIST obrazky_ = nullptr;
    mirvak::winapi::WindowPlacement umisteni_;
    std::wstring soubor_;
    UINT periodaCasovace_ = 1000;
    int rozsahPosuvniku_ = 10000;
    std::wstring textCasu_;
    std::wstring textSouboru_;
    AudioPlayback prehravani_;
};
