// Choosing a folder on an FTP server: a tree of the server's folders under
// the login folder, each level listed when it is first opened or selected.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "controls/Okno.h"
#include "controls/StaticText.h"

#include <string>
#include <vector>

namespace mirvak::ftp {

// The subfolders of `slozka` ("\" between names; empty for the login folder)
// in the server's order, "."-names left out. One listing at a time: the find
// handle is closed before the caller lists anything else. 0, or the failing
// call's code (the list then holds what came before the failure).
HRESULT VypsatSlozky(HINTERNET spojeni, const std::wstring& slozka, std::vector<std::wstring>& nazvy);

class DlgVyberSlozkyFtp : public winapi::DialogImpl<DlgVyberSlozkyFtp> {
public:
    explicit DlgVyberSlozkyFtp(HINTERNET spojeni) : spojeni_(spojeni) {}

    // 1 (OK) or 2 (Cancel).
    INT_PTR DoModal(HWND vlastnik);
    // The chosen folder, "\" between names; empty until one is selected.
    const std::wstring& VybranaSlozka() const { return vybrana_; }

    // The folder path of a tree item: its ancestors' names and its own.
    std::wstring CestaPolozky(HTREEITEM polozka) const;
    // Lists the folder of `polozka` (null: the top level) under it once.
    void RozbalitPolozku(HTREEITEM polozka);

    MV_BEGIN_MSG_MAP(DlgVyberSlozkyFtp)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_NOTIFY_HANDLER(1077, TVN_SELCHANGEDW, OnVyber)
    MV_NOTIFY_HANDLER(1077, TVN_ITEMEXPANDINGW, OnRozbaleni)
    MV_COMMAND_ID_HANDLER(IDOK, OnKonec)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnKonec)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnVyber(int, NMHDR* hlavicka, BOOL&);
    LRESULT OnRozbaleni(int, NMHDR* hlavicka, BOOL&);
    LRESULT OnKonec(WORD, WORD id, HWND, BOOL&);
    HWND Strom() const { return Item(1077); }

    HINTERNET spojeni_;
    std::wstring vybrana_;
    winapi::StaticNadpisMaly nadpis_;
    winapi::StaticHodnota vyber_;
};

} // namespace mirvak::ftp
