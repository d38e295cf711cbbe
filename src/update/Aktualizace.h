// The update check: fetch the version file from the maker's web server on a
// worker thread and show the published version beside the running one.
#pragma once

#include <windows.h>

#include <string>

// The largest version file accepted; a longer download fails.
inline constexpr size_t kMaxDelkaStazeni = 4096;

// Starts the check on its own thread. `tichy` (the command's lParam was
// 0xFFFF): failures show no message. While a check runs, only beeps and
// returns S_FALSE. 0 when the worker started; the error code (already shown)
// when it could not be started.
HRESULT StartUpdateCheck(bool tichy);
// Whether a check (with its dialog) is running.
bool KontrolaAktualizaciBezi();
// The open update dialog, or null.
HWND OknoAktualizace();
// The text of the last balloon the check showed on its temporary icon.
std::wstring PosledniBublinaAktualizace();

// HTTP GET of `adresa` into `text` (ANSI code page). 0 or the failing step's
// HRESULT; a body longer than kMaxDelkaStazeni and a failed read both fail.
HRESULT DownloadTextFile(std::wstring& text, const wchar_t* adresa);
// The running executable's file version "a.b.c.d" from its version resource.
HRESULT GetOwnVersion(std::wstring& verze);
// The published version out of the version file's text: the text must be 21
// to 50 characters long and begin with "posledni_verze" (any case); the rest
// is the version. E_FAIL otherwise.
HRESULT VerzeZTextu(const std::wstring& text, std::wstring& verze);

// Name of the REG_SZ value under the program's key that replaces the address
// of the version file (tests, mirrors).
inline constexpr wchar_t kHodnotaAdresyAktualizace[] = L"adresa_aktualizace";
// The version file's address: the override when set, else string 20054.
std::wstring AdresaSouboruVerze();
// The product's web page: the version file's address up to its last "/".
std::wstring AdresaStrankyProduktu();
