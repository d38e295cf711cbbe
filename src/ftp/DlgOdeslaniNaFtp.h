// The upload dialog: which FTP place, and the file's name on the server.
#pragma once

#include "controls/Okno.h"
#include "controls/StaticText.h"
#include "stores/FtpPlace.h"

#include <string>

namespace mirvak::ftp {

class DlgOdeslaniNaFtp : public winapi::DialogImpl<DlgOdeslaniNaFtp> {
public:
    DlgOdeslaniNaFtp(const FtpPlaceList& mista, std::wstring lokalniCesta)
        : mista_(mista), lokalniCesta_(std::move(lokalniCesta))
    {
    }

    // 1 (OK) or 2 (Cancel); -1 when the dialog could not be created.
    INT_PTR DoModal(HWND vlastnik);

    // After OK: the edit's text, and the chosen place's index (-1 for none).
    const std::wstring& VzdaleneJmeno() const { return vzdaleneJmeno_; }
    int VybraneMisto() const { return vybraneMisto_; }

    MV_BEGIN_MSG_MAP(DlgOdeslaniNaFtp)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(1085, CBN_SELCHANGE, OnVyberMista)
    MV_NOTIFY_HANDLER(1081, NM_CLICK, OnOdkaz)
    MV_NOTIFY_HANDLER(1081, NM_RETURN, OnOdkaz)
    MV_COMMAND_ID_HANDLER(IDOK, OnOk)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnStorno)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnVyberMista(WORD, WORD, HWND, BOOL&);
    LRESULT OnOdkaz(int, NMHDR*, BOOL&);
    LRESULT OnOk(WORD, WORD, HWND, BOOL&);
    LRESULT OnStorno(WORD, WORD, HWND, BOOL&);
    // The selected entry's place index, or -1.
    int VybranaPolozka() const;
    void ZobrazitVyber();

    const FtpPlaceList& mista_;
    std::wstring lokalniCesta_;
    std::wstring vzdaleneJmeno_;
    int vybraneMisto_ = -1;
    winapi::StaticNadpisMaly nadpis_;
    winapi::StaticHodnota server_;
    winapi::StaticHodnota uzivatel_;
    winapi::StaticHodnota slozka_;
};

} // namespace mirvak::ftp
