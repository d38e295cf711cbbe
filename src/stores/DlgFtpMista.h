// Managing the FTP places: add, remove, edit, rename, back up and restore.
// Every change is saved at once.
#pragma once

#include "controls/Okno.h"
#include "controls/StaticText.h"
#include "stores/FtpPlace.h"

#include <string>

class DlgFtpMista : public mirvak::winapi::DialogImpl<DlgFtpMista> {
public:
    explicit DlgFtpMista(FtpPlaceList& mista) : mista_(mista) {}

    INT_PTR DoModal(HWND vlastnik);

    // Refills the list box and selects the entry named `nazev` (regardless of
    // case, the last such), else the first entry.
    void NaplnitSeznam(const std::wstring& nazev = {});
    // The selected entry's place index, or -1.
    int VybraneMisto() const;

    MV_BEGIN_MSG_MAP(DlgFtpMista)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(1005, LBN_SELCHANGE, OnZmenaVyberu)
    MV_COMMAND_ID_HANDLER(1031, OnPridat)
    MV_COMMAND_ID_HANDLER(1032, OnOdstranit)
    MV_COMMAND_ID_HANDLER(1033, OnUpravit)
    MV_COMMAND_ID_HANDLER(1034, OnPrejmenovat)
    MV_COMMAND_ID_HANDLER(1072, OnZalohovat)
    MV_COMMAND_ID_HANDLER(1073, OnObnovit)
    MV_COMMAND_ID_HANDLER(IDOK, OnZavrit)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnZavrit)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZmenaVyberu(WORD, WORD, HWND, BOOL&);
    LRESULT OnPridat(WORD, WORD, HWND, BOOL&);
    LRESULT OnOdstranit(WORD, WORD, HWND, BOOL&);
    LRESULT OnUpravit(WORD, WORD, HWND, BOOL&);
    LRESULT OnPrejmenovat(WORD, WORD, HWND, BOOL&);
    LRESULT OnZalohovat(WORD, WORD, HWND, BOOL&);
    LRESULT OnObnovit(WORD, WORD, HWND, BOOL&);
    LRESULT OnZavrit(WORD, WORD id, HWND, BOOL&);
    void ZobrazitVyber();

    FtpPlaceList& mista_;
    mirvak::winapi::StaticNadpisMaly nadpis_;
    mirvak::winapi::StaticHodnota server_;
    mirvak::winapi::StaticHodnota slozka_;
    mirvak::winapi::StaticHodnota uzivatel_;
};

// The application's launcher behind the main window's "FTP umístění" is
// Aplikace::SpravovatFtpMista (defined with this dialog): under the
// application lock, this dialog over the application's list, owned by the
// given window when it is one, else by the active window.
