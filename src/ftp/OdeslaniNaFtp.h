// Uploading a recording to an FTP place on a worker thread; the outcome is
// told by a balloon of the main window's notification-area icon.
#pragma once

#include <windows.h>

#include "app/Pracovnici.h"
#include "stores/FtpPlace.h"

#include <string>

namespace mirvak::ftp {

// Starts the upload of `lokalniCesta` to place `index` of `mista` and returns
// at once; the outcome (20078 or 20079) reaches the user through the worker
// owner. The remote name is `vzdaleneJmeno` when it has at least two
// characters, else the local file's name. S_FALSE and nothing done while an
// upload runs; E_INVALIDARG for an index outside the list; the code of the
// failure to start the worker.
HRESULT StartFtpUpload(const FtpPlaceList& mista, const std::wstring& lokalniCesta, int index,
                       const std::wstring& vzdaleneJmeno);
// The same with the application's list of places.
HRESULT StartFtpUpload(const std::wstring& lokalniCesta, int index, const std::wstring& vzdaleneJmeno);

// True from StartFtpUpload until the worker has reported its outcome.
bool FtpUploadBezi();

// The worker's body, callable directly: uploads the file in binary mode into
// the place's folder (created when only its last level is missing; an empty
// folder is the login folder). 0; E_ABORT when `zruseni` stopped it; else
// the failing step's code (a transfer the server did not confirm fails).
HRESULT NahratSoubor(const FtpPlace& misto, const std::wstring& lokalniCesta, const std::wstring& vzdaleneJmeno,
                     const pracovnici::Zruseni* zruseni = nullptr);

// The main window's command "Odeslat soubor na FTP" for the selected
// recording: a beep while an upload runs, else the upload dialog and, on OK
// with a place chosen, the upload; a failure to start it is shown. Owner:
// the active window.
void OdeslatSouborNaFtp(const std::wstring& cestaZaznamu);

} // namespace mirvak::ftp
