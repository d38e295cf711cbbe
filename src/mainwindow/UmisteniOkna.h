// Window placement: top-level windows remember their rectangle and topmost
// state under "<application key>\parametry_oken", one REG_BINARY value of
// 20 bytes per window class, and come back inside a monitor's work area, or
// centred when nothing usable is stored.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace mirvak::winapi {

// The pair each window object holds.
struct WindowPlacement {
    HWND window = nullptr;
    std::wstring key;  // path under HKEY_CURRENT_USER
};

// The stored record, exactly as written (little-endian, 20 bytes).
struct UlozeneUmisteni {
    int32_t left, top, right, bottom;
    uint8_t topmost;
    uint8_t zero[3];
};
static_assert(sizeof(UlozeneUmisteni) == 20);

// "<applicationKey>\parametry_oken".
std::wstring KlicUmisteni(const std::wstring& klicAplikace);

// 0 when written, 1 when there was nothing to save (hidden or minimized
// window), else the last error's code. An empty key ends the program.
HRESULT SavePlacement(const WindowPlacement& umisteni);
// 0 when a stored value was applied. A value that is missing, not exactly 20
// bytes of REG_BINARY, or holds an empty rectangle is not applied and gives
// a failure code; the caller then centres the window. An empty key ends the
// program.
HRESULT RestorePlacement(const WindowPlacement& umisteni);
// RestorePlacement, and CenterWindow when it fails: what a window does
// between its creation and showing itself. The result of RestorePlacement.
HRESULT RestoreOrCenter(const WindowPlacement& umisteni);
// Moves the window so that its top-left corner (and, where it fits, the whole
// window) lies in the work area of the nearest monitor. 0, 1 when the monitor
// cannot be determined, or the last error's code.
HRESULT FitToWorkArea(HWND okno);
// Centres on the parent's client area (child windows), on a visible owner, or
// on the nearest monitor's work area, kept inside the bounding area.
// 0, or E_FAIL when the window cannot be moved.
HRESULT CenterWindow(HWND okno);

// The pure parts, for anyone who must compute without moving a window.
// Where FitToWorkArea puts a window rectangle; false when it stays.
bool PoziceVPracovniOblasti(const RECT& okno, const RECT& oblast, POINT& pozice);
// Top-left corner of a w x h window centred on `reference`, kept in `oblast`.
POINT PoziceNaStredu(const RECT& reference, const RECT& oblast, int w, int h);

} // namespace mirvak::winapi
