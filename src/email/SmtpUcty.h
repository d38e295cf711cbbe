// The SMTP accounts shared with the maker's other programs
// ("smtp_ucty.rxml"): the record, the list, the list dialog with its test
// message, backup and restore, and the dialog of one account.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "controls/Okno.h"
#include "controls/StaticText.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SmtpAccount {
    std::wstring email;  // the list's key
    std::wstring heslo;
    std::wstring jmeno;
    std::wstring id;
    std::wstring server;
};

class SmtpAccountList {
public:
    // From the store's file, sorted by e-mail; 1 (empty list) when there is
    // no file yet, else the reader's result.
    HRESULT Load();
    // The whole list; a negative result of the path resolution unchanged.
    HRESULT Save() const;
    // Index of the account with this e-mail (letter case ignored), or -1.
    int Find(const std::wstring& email) const;

    std::vector<SmtpAccount> items;
};

// The data of one test message; the worker takes its own copy, so that it
// never reaches into a dialog that has closed.
struct SmtpTestData {
    SmtpAccount account;
    std::wstring recipient;
    std::wstring subject;
    std::wstring text;
};
// Sends the test message: the worker's body, callable directly. 0 sent,
// else the failing step's result. The worker reports 20066 or the failure
// box through the worker owner.
int SendTestMessage(const SmtpTestData& data, const std::atomic<bool>* zruseno = nullptr);

// DlgSmtpUcet (122): edits `ucet`; 1 OK (written back), 2 Storno, -1
// without an account. `kontrola`, when given, judges the edited account on
// OK: a non-zero string id is shown as an error and the dialog stays open
// with everything the user typed.
class DlgSmtpUcet : public mirvak::winapi::DialogImpl<DlgSmtpUcet> {
public:
    explicit DlgSmtpUcet(SmtpAccount* ucet, std::function<UINT(const SmtpAccount&)> kontrola = {})
        : ucet_(ucet), kontrola_(std::move(kontrola))
    {
    }
    INT_PTR DoModal(HWND vlastnik);

    MV_BEGIN_MSG_MAP(DlgSmtpUcet)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(1070, BN_CLICKED, OnZobrazitHeslo)
    MV_COMMAND_ID_HANDLER(IDOK, OnOk)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnStorno)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZobrazitHeslo(WORD, WORD, HWND, BOOL&);
    LRESULT OnOk(WORD, WORD, HWND, BOOL&);
    LRESULT OnStorno(WORD, WORD, HWND, BOOL&);

    SmtpAccount* ucet_;
    std::function<UINT(const SmtpAccount&)> kontrola_;
    wchar_t znakHesla_ = L'*';
    mirvak::winapi::StaticNadpisMaly nadpis_;
};

// DlgSmtpUcty (123): the list, loaded on opening and saved after each change.
class DlgSmtpUcty : public mirvak::winapi::DialogImpl<DlgSmtpUcty> {
public:
    DlgSmtpUcty();
    ~DlgSmtpUcty() override;
    INT_PTR DoModal(HWND vlastnik);

    const SmtpAccountList& Seznam() const { return seznam_; }
    bool TestBezi() const;

    MV_BEGIN_MSG_MAP(DlgSmtpUcty)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(1005, LBN_SELCHANGE, OnVyber)
    MV_COMMAND_HANDLER(1031, BN_CLICKED, OnPridat)
    MV_COMMAND_HANDLER(1032, BN_CLICKED, OnOdstranit)
    MV_COMMAND_HANDLER(1033, BN_CLICKED, OnUpravit)
    MV_COMMAND_HANDLER(1071, BN_CLICKED, OnOtestovat)
    MV_COMMAND_HANDLER(1072, BN_CLICKED, OnZalohovat)
    MV_COMMAND_HANDLER(1073, BN_CLICKED, OnObnovit)
    MV_COMMAND_ID_HANDLER(IDOK, OnZavrit)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnZavrit)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

    // Refills the list box, selecting `email` (else the first entry).
    void Naplnit(const std::wstring& email);

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnVyber(WORD, WORD, HWND, BOOL&);
    LRESULT OnPridat(WORD, WORD, HWND, BOOL&);
    LRESULT OnOdstranit(WORD, WORD, HWND, BOOL&);
    LRESULT OnUpravit(WORD, WORD, HWND, BOOL&);
    LRESULT OnOtestovat(WORD, WORD, HWND, BOOL&);
    LRESULT OnZalohovat(WORD, WORD, HWND, BOOL&);
    LRESULT OnObnovit(WORD, WORD, HWND, BOOL&);
    LRESULT OnZavrit(WORD, WORD, HWND, BOOL&);
    void Podrobnosti();
    int VybranyIndex() const;

    SmtpAccountList seznam_;
    mirvak::winapi::StaticNadpisMaly nadpis_;
    mirvak::winapi::StaticHodnota hodnoty_[3];
};

// Command 40025: the accounts dialog, modal over `vlastnik`, inside the
// application critical section. Returns 0.
HRESULT SpravovatSmtpUcty(HWND vlastnik);
