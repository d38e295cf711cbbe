// Sending a recording by e-mail (command 40031): the recipient dialog, the
// checks, and the one worker thread that composes and sends the message
// through the program's own account and reports in balloons.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "app/Handles.h"
#include "app/Konfigurace.h"
#include "app/Pracovnici.h"
#include "controls/Okno.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ContactList;

// The one sending job, as the dialog last left it. The busy marker is the
// worker owner's (pracovnici::Druh::Email).
struct EmailSendJob {
    std::wstring recipient;
    std::wstring filePath;
    std::vector<std::wstring> furtherList;
    std::wstring furtherText;
};
extern EmailSendJob g_emailSendJob;

// What one worker sends: its own copy, so that the settings dialog can
// change the account while the message goes out.
struct EmailSendTask {
    SmtpUcetKonfigurace account;
    std::wstring recipient;
    std::wstring filePath;
    std::vector<std::wstring> further;
    uint32_t zpravaIkona = 2;
    bool ulozitZobrazeni = true;  // the main thread saves the view values (the recipient) on success
};

// The handler of command 40031 for the recording at `cesta` (full path):
// without a path nothing; while a sending runs the box 22202; else the
// dialog, the checks (20086, 20087, 20088) and the worker. 0 started, 1
// nothing done, negative when the worker could not be started (shown).
HRESULT StartEmailSend(HWND vlastnik, const std::wstring& cesta);

// The worker's whole job, run on the calling thread; what the user is to be
// told goes to `ohlasit`: balloons 20082, then 20083 (naming the accepted
// and the refused recipients) or 20085 with the reason. The recording is
// read before anything is sent. 0, E_FAIL (no connection or no greeting),
// E_INVALIDARG (the server refused the message), E_ABORT (stopped through
// `zruseno`), or the code of an attachment that cannot be read or is too
// large.
HRESULT SendEmail(const EmailSendTask& task, const std::function<void(pracovnici::Hlaseni)>& ohlasit,
                  const std::atomic<bool>* zruseno = nullptr);

// True while a sending runs.
bool EmailSendRunning();
// Waits for a running sending (shutdown, tests). True when none runs.
bool WaitForEmailSend(DWORD milliseconds);

// The shared contacts the dialog offers; the application sets the list once
// it exists (null: the combo box stays empty), and what the link
// "Spravovat seznam kontaktů" opens.
void NastavitKontaktyEmailu(ContactList* seznam, void (*spravovat)(HWND vlastnik));

// DlgOdeslaniEmailem (127).
class DlgOdeslaniEmailem : public mirvak::winapi::DialogImpl<DlgOdeslaniEmailem> {
public:
    DlgOdeslaniEmailem(std::wstring prijemce, std::wstring dalsi, std::wstring cesta)
        : prijemce(std::move(prijemce)), dalsi(std::move(dalsi)), cesta(std::move(cesta)) {}

    INT_PTR DoModal(HWND vlastnik);

    std::wstring prijemce;
    std::wstring dalsi;
    std::wstring cesta;

    MV_BEGIN_MSG_MAP(DlgOdeslaniEmailem)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_NOTIFY_HANDLER(1081, NM_CLICK, OnOdkazSoubor)
    MV_NOTIFY_HANDLER(1081, NM_RETURN, OnOdkazSoubor)
    MV_NOTIFY_HANDLER(1092, NM_CLICK, OnOdkazKontakty)
    MV_NOTIFY_HANDLER(1092, NM_RETURN, OnOdkazKontakty)
    MV_COMMAND_HANDLER(1083, BN_CLICKED, OnPouzit)
    MV_COMMAND_HANDLER(1084, BN_CLICKED, OnPridat)
    MV_COMMAND_ID_HANDLER(IDOK, OnOk)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnStorno)
    MV_END_MSG_MAP()

    // Fills the contacts combo box from the shared list, first item selected.
    void NaplnitKontakty();
    // The e-mail of the selected contact; empty when none (bounds checked).
    std::wstring EmailVybranehoKontaktu() const;

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOdkazSoubor(int, NMHDR*, BOOL&);
    LRESULT OnOdkazKontakty(int, NMHDR*, BOOL&);
    LRESULT OnPouzit(WORD, WORD, HWND, BOOL&);
    LRESULT OnPridat(WORD, WORD, HWND, BOOL&);
    LRESULT OnOk(WORD, WORD, HWND, BOOL&);
    LRESULT OnStorno(WORD, WORD, HWND, BOOL&);
    HWND tooltip_ = nullptr;
};
