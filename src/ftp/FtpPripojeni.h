// An FTP connection through WinINet, shared by the upload worker and the
// server folder browser.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "app/Handles.h"

#include <string>

namespace mirvak::ftp {

struct InternetHandleTraits {
    static HINTERNET Empty() { return nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
using InternetHandle = winapi::UniqueHandle<HINTERNET, InternetHandleTraits>;

// Owns the session (InternetOpenW) and the connection (InternetConnectW).
class FtpPripojeni {
public:
    FtpPripojeni() = default;
    ~FtpPripojeni() { Zavrit(); }
    FtpPripojeni(const FtpPripojeni&) = delete;
    FtpPripojeni& operator=(const FtpPripojeni&) = delete;

    // The connection first, then the session.
    void Zavrit()
    {
        spojeni_.Reset();
        internet_.Reset();
    }
    HINTERNET Spojeni() const { return spojeni_.Get(); }
    // Lets go of both handles without closing them: closing a connection in
    // the middle of a transfer waits for the server's answer to it, which
    // the program's close does not wait for (the process's end frees them).
    void Opustit()
    {
        spojeni_.Release();
        internet_.Release();
    }

private:
    friend HRESULT FtpConnect(FtpPripojeni&, const std::wstring&, const std::wstring&, const std::wstring&, bool);
    InternetHandle internet_;
    InternetHandle spojeni_;
};

// Connects to `server` on port 21, passive when asked. Closes what the object
// held first. E_INVALIDARG when a text carries a line break (it would end the
// FTP command and start another); else 0 or the last error's code.
HRESULT FtpConnect(FtpPripojeni& pripojeni, const std::wstring& server, const std::wstring& login,
                   const std::wstring& heslo, bool pasivni);

// True when `text` holds a CR or LF.
bool ObsahujeKonecRadku(const std::wstring& text);
// A folder path as it goes on the wire: "\" between names becomes "/", which
// every server takes as the separator. The stored text keeps its "\".
std::wstring CestaNaServeru(const std::wstring& slozka);

} // namespace mirvak::ftp
