// The about dialog.
#pragma once

#include <windows.h>

// Shows the about dialog modally over `vlastnik`. While one is open, a second
// call only brings it to the front and returns 0; otherwise the dialog's
// result (IDOK), or -1 when it could not be created.
INT_PTR ZobrazitOAplikaci(HWND vlastnik);
// The open about dialog, or null.
HWND OknoOAplikaci();
