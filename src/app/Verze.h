// Values of the program's own version resource.
#pragma once

#include <windows.h>

#include <string>

// A string of the version resource ("ProductName", "FileVersion",
// "LegalCopyright", ...) in the language of its first translation entry.
// Returns 0, or the failure's HRESULT with `hodnota` left empty.
HRESULT NacistHodnotuVerze(const wchar_t* nazev, std::wstring& hodnota, HMODULE modul = nullptr);
