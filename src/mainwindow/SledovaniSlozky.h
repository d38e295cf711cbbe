// Watches one folder for files coming, going and growing. The worker thread
// only waits (on the folder's change records and a stop event), notes which
// names changed and posts a message; whoever receives the message does the
// work on its own thread, so stopping never waits for a thread that waits
// for us.
#pragma once

#include <windows.h>

#include "app/Handles.h"

#include <memory>
#include <string>
#include <vector>

namespace mirvak::winapi {

class SledovaniSlozky {
public:
    // The longest a stop waits for the worker.
    static constexpr DWORD kCekaniNaKonec = 5000;
    // How often the worker looks whether the folder is still there (a
    // deleted folder does not always report a change).
    static constexpr DWORD kKontrolaSlozky = 1000;
    // wParam of the posted message: names changed, or the worker ended by
    // itself (the folder is gone or can no longer be watched). lParam tells
    // which watch it came from (Current).
    static constexpr WPARAM kZmena = 0;
    static constexpr WPARAM kKonec = 1;

    SledovaniSlozky() = default;
    ~SledovaniSlozky() { Stop(); }
    SledovaniSlozky(const SledovaniSlozky&) = delete;
    SledovaniSlozky& operator=(const SledovaniSlozky&) = delete;

    // Opens `slozka` and asks for its change records (no subfolders; names
    // and last writes) here, so that no change after this call goes unseen,
    // then starts the worker, which posts `zprava` to `cil` after changes.
    // While a posted change has not been taken (Taken), no further one is
    // posted. 1 when already watching; the last error's code when the folder
    // cannot be watched or the thread cannot start.
    HRESULT Start(const std::wstring& slozka, HWND cil, UINT zprava);
    // Signals the worker and waits at most `cekani` ms. 0 (also when nothing
    // was watched), or HRESULT_FROM_WIN32(WAIT_TIMEOUT): the worker is then
    // let go; it posts nothing more and frees what it shares with this object
    // itself when it ends.
    HRESULT Stop(DWORD cekani = kCekaniNaKonec);
    // A worker runs and has not ended by itself.
    bool Running() const;
    // Whether a posted message (its lParam) comes from the watch now running
    // or ended by itself, not from one stopped since.
    bool Current(LPARAM l) const;
    // The receiver calls this before it looks at the folder: the names
    // changed since the last call, or `vse` when too many changed to name
    // them (read the whole folder). A change from now on posts again.
    void Taken(std::vector<std::wstring>& jmena, bool& vse);

private:
    struct Stav;
    static unsigned __stdcall Worker(void* stav);

    std::shared_ptr<Stav> stav_;
    Handle vlakno_;
    LPARAM pocetSpusteni_ = 0;
};

} // namespace mirvak::winapi
