// Editing one FTP place: server, login, password, folder and passive mode.
#pragma once

#include "controls/Okno.h"
#include "controls/StaticText.h"
#include "ftp/EditSlozkaFtp.h"
#include "stores/FtpPlace.h"

class DlgFtpMisto : public mirvak::winapi::DialogImpl<DlgFtpMisto> {
public:
    explicit DlgFtpMisto(FtpPlace* misto) : misto_(misto) {}

    // 1 (OK, the record written) or 2 (Cancel, the record untouched); -1
    // without a record (E_INVALIDARG as the last error) or a template.
    INT_PTR DoModal(HWND vlastnik);

    MV_BEGIN_MSG_MAP(DlgFtpMisto)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_MESSAGE_HANDLER(mirvak::winapi::WM_PROCHAZET_FTP, OnProchazet)
    MV_COMMAND_HANDLER(1070, BN_CLICKED, OnZobrazitHeslo)
    MV_COMMAND_ID_HANDLER(IDOK, OnOk)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnStorno)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnProchazet(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZobrazitHeslo(WORD, WORD, HWND, BOOL&);
    LRESULT OnOk(WORD, WORD, HWND, BOOL&);
    LRESULT OnStorno(WORD, WORD, HWND, BOOL&);

    FtpPlace* misto_;
    wchar_t znakHesla_ = L'*';
    mirvak::winapi::StaticNadpisMaly nadpis_;
    mirvak::ftp::EditSlozkaFtp slozka_;
};
