// The program's top-level window.
#pragma once

#include <windows.h>

class Aplikace;

// Window class of the main window.
inline constexpr wchar_t kTridaHlavnihoOkna[] = L"tonbar";

HRESULT VytvoritHlavniOkno(Aplikace& aplikace);
// Destroys the main window when it still exists; safe after WM_DESTROY.
void ZnicitHlavniOkno();
HWND HlavniOkno();
