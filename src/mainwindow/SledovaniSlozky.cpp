#include "mainwindow/SledovaniSlozky.h"

#include <process.h>

namespace mirvak::winapi {

namespace {
constexpr DWORD kFiltr = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
}

HRESULT SledovaniSlozky::Start(const std::wstring& slozka, HWND cil, UINT zprava)
{
    if (vlakno_)
        return S_FALSE;
    UniqueHandle<HANDLE, ZmenaSlozkyTraits> zmena(FindFirstChangeNotificationW(slozka.c_str(), FALSE, kFiltr));
    if (!zmena)
        return KodPosledniChyby();
    Handle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop)
        return KodPosledniChyby();
    zmena_ = std::move(zmena);
    stop_ = std::move(stop);
    cil_ = cil;
    zprava_ = zprava;
    ceka_.store(false);
    uintptr_t v = _beginthreadex(nullptr, 0, &SledovaniSlozky::Worker, this, 0, nullptr);
    if (!v) {
        HRESULT hr = KodPosledniChyby();
        zmena_.Reset();
        stop_.Reset();
        return hr;
    }
    vlakno_.Reset(reinterpret_cast<HANDLE>(v));
    return S_OK;
}

HRESULT SledovaniSlozky::Stop()
{
    if (!vlakno_)
        return S_OK;
    SetEvent(stop_.Get());
    if (WaitForSingleObject(vlakno_.Get(), kCekaniNaKonec) != WAIT_OBJECT_0)
        return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    vlakno_.Reset();
    zmena_.Reset();
    stop_.Reset();
    return S_OK;
}

unsigned __stdcall SledovaniSlozky::Worker(void* self)
{
    static_cast<SledovaniSlozky*>(self)->Loop();
    return 0;
}

void SledovaniSlozky::Loop()
{
    HANDLE cekat[2] = {stop_.Get(), zmena_.Get()};
    for (;;) {
        DWORD r = WaitForMultipleObjects(2, cekat, FALSE, INFINITE);
        if (r != WAIT_OBJECT_0 + 1)
            return;  // stopped, or the handles are no longer usable
        // Re-arm before the receiver looks, so that a change made while it
        // reads the folder signals again.
        if (!FindNextChangeNotification(cekat[1]))
            return;
        if (!ceka_.exchange(true) && !PostMessageW(cil_, zprava_, 0, 0))
            ceka_.store(false);
    }
}

} // namespace mirvak::winapi
