// The settings dialog as the rest of the program sees it.
#pragma once

#include <windows.h>

#include "app/Konfigurace.h"

// Posted by the settings dialog to its owner after every apply.
inline constexpr UINT WM_NASTAVENI_POUZITO = WM_APP + 2;
// Posted after an apply when the list's "supported formats only" box was clicked.
inline constexpr UINT WM_SEZNAM_ZMENEN = WM_APP + 5;
// Posted by a page to the settings dialog when its content changed.
inline constexpr UINT WM_STRANKA_ZMENENA = WM_APP + 0x7D6;

// Runs the settings dialog modally over `vlastnik` on the record `k`.
// `prvniStranka` is the resource id of the page shown first (any other value
// shows "Aplikace"). Each apply saves the whole record, re-applies the
// process priority and posts WM_NASTAVENI_POUZITO (and WM_SEZNAM_ZMENEN when
// due) to `vlastnik`. Only one dialog runs at a time: while one is open a
// second call brings it to the front and returns 0. Otherwise IDOK or
// IDCANCEL, or -1 when the dialog could not be created.
INT_PTR SpustitNastaveni(HWND vlastnik, UINT prvniStranka = 109, Konfigurace& k = g_konfigurace);

// The open settings dialog, or null.
HWND OknoNastaveni();
