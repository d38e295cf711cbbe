// Watches one folder for files coming, going and growing. The worker thread
// only waits (on the change notification and a stop event) and posts a
// message; whoever receives the message does the work on its own thread, so
// stopping never waits for a thread that waits for us.
#pragma once

#include <windows.h>

#include "app/Handles.h"

#include <atomic>
#include <string>

namespace mirvak::winapi {

// A change notification handle; not a kernel handle one may CloseHandle.
struct ZmenaSlozkyTraits {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindCloseChangeNotification(h); }
};

class SledovaniSlozky {
public:
    // The longest a stop waits for the worker.
    static constexpr DWORD kCekaniNaKonec = 5000;

    SledovaniSlozky() = default;
    ~SledovaniSlozky() { Stop(); }
    SledovaniSlozky(const SledovaniSlozky&) = delete;
    SledovaniSlozky& operator=(const SledovaniSlozky&) = delete;

    // Arms the change notification on `slozka` (no subfolders; names and
    // last writes) here, so that no change after this call goes unseen, then
    // starts the worker, which posts `zprava` to `cil` after each change.
    // While a posted message has not been taken (Taken), no further one is
    // posted. 1 when already watching; the last error's code when the folder
    // cannot be watched or the thread cannot start.
    HRESULT Start(const std::wstring& slozka, HWND cil, UINT zprava);
    // Signals the worker and waits at most kCekaniNaKonec ms. 0 (also when
    // nothing was watched), or HRESULT_FROM_WIN32(WAIT_TIMEOUT); the worker
    // then stays tracked and a later Stop waits again.
    HRESULT Stop();
    bool Running() const { return static_cast<bool>(vlakno_); }
    // The receiver calls this before it looks at the folder: a change from
    // now on posts a new message.
    void Taken() { ceka_.store(false); }

private:
    static unsigned __stdcall Worker(void* self);
    void Loop();

    UniqueHandle<HANDLE, ZmenaSlozkyTraits> zmena_;
    Handle stop_;
    Handle vlakno_;
    HWND cil_ = nullptr;
    UINT zprava_ = 0;
    std::atomic<bool> ceka_{false};
};

} // namespace mirvak::winapi
