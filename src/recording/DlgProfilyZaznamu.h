// The two dialogs of the recording profiles: the list (`DlgProfilyZaznamu`,
// resource 112) and one profile (`DlgProfilZaznamu`, resource 111), and the
// launcher the main window opens the list with.
#pragma once

#include "controls/Edit.h"
#include "controls/Okno.h"
#include "controls/StaticText.h"
#include "recording/AudioCaptureDeviceList.h"
#include "recording/ComboBoxZarizeniZvuk.h"
#include "recording/RecordingProfile.h"
#include "resources/resource.h"

#include <windows.h>
#include <wmsdkidl.h>
#include <wrl/client.h>

#include <string>

struct Konfigurace;

namespace mirvak::winapi {

// Edits one profile in place; ends with 1 (OK) or 2 (cancel). On opening it
// clears and enumerates the device list again, so whoever shows that list
// elsewhere must refill it afterwards (DevicesReenumerated()).
class DlgProfilZaznamu : public DialogImpl<DlgProfilZaznamu> {
public:
    DlgProfilZaznamu(RecordingProfile& profile, AudioCaptureDeviceList& devices);

    // The dialog's result (IDOK, IDCANCEL), or -1 when it could not be
    // opened; Error() then tells why.
    INT_PTR Run(HWND owner);
    HRESULT Error() const { return chyba_; }
    bool DevicesReenumerated() const { return zarizeniObnovena_; }

    MV_BEGIN_MSG_MAP(DlgProfilZaznamu)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_ID_HANDLER(IDOK, OnOk)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOk(WORD, WORD, HWND, BOOL&);
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&);

    RecordingProfile& profil_;
    AudioCaptureDeviceList& zarizeni_;
    Microsoft::WRL::ComPtr<IWMProfileManager> manager_;
    StaticNadpisMaly nadpis_;
    EditSlozka slozka_;
    mirvak::direct_show::ComboBoxZarizeniZvuk comboZarizeni_;
    HRESULT chyba_ = S_OK;
    bool zarizeniObnovena_ = false;
};

// The list of profiles: add, edit, rename, remove, each saved to the
// registry at once. New profiles start from the configuration's recording
// folder ("slozka_data") and encoding profile ("profil").
class DlgProfilyZaznamu : public DialogImpl<DlgProfilyZaznamu> {
public:
    DlgProfilyZaznamu(RecordingProfileStore& store, AudioCaptureDeviceList& devices, const Konfigurace& konfigurace);

    INT_PTR Run(HWND owner);
    HRESULT Error() const { return chyba_; }
    // True once any DlgProfilZaznamu opened from here enumerated the devices.
    bool DevicesReenumerated() const { return zarizeniObnovena_; }
    // True when the store was changed (and saved) while the dialog was open.
    bool StoreChanged() const { return zmeneno_; }

    // Fills list 1005 in store order and selects the item named `select`
    // ignoring case, else item 0; then shows the selected profile.
    void FillList(const std::wstring& select);
    // The store index of the selected item, or -1.
    int SelectedIndex() const;

    MV_BEGIN_MSG_MAP(DlgProfilyZaznamu)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(IDC_PROFILY_SEZNAM, LBN_SELCHANGE, OnSelChange)
    MV_COMMAND_ID_HANDLER(IDC_PROFILY_PRIDAT, OnAdd)
    MV_COMMAND_ID_HANDLER(IDC_PROFILY_UPRAVIT, OnEdit)
    MV_COMMAND_ID_HANDLER(IDC_PROFILY_ODSTRANIT, OnRemove)
    MV_COMMAND_ID_HANDLER(IDC_PROFILY_PREJMENOVAT, OnRename)
    MV_COMMAND_ID_HANDLER(IDOK, OnClose)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnClose)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSelChange(WORD, WORD, HWND, BOOL&);
    LRESULT OnAdd(WORD, WORD, HWND, BOOL&);
    LRESULT OnEdit(WORD, WORD, HWND, BOOL&);
    LRESULT OnRemove(WORD, WORD, HWND, BOOL&);
    LRESULT OnRename(WORD, WORD, HWND, BOOL&);
    LRESULT OnClose(WORD, WORD, HWND, BOOL&);

    void ShowSelected();
    // Runs DlgProfilZaznamu on `profile`; true for OK.
    bool EditProfile(RecordingProfile& profile);

    RecordingProfileStore& store_;
    AudioCaptureDeviceList& zarizeni_;
    const Konfigurace& konfigurace_;
    Microsoft::WRL::ComPtr<IWMProfileManager> manager_;
    StaticNadpisMaly nadpis_;
    StaticHodnota hodnotaZarizeni_, hodnotaKodovani_, hodnotaSlozky_;
    HRESULT chyba_ = S_OK;
    bool zarizeniObnovena_ = false;
    bool zmeneno_ = false;
};

// What the main window learns when the dialog closed.
struct VysledekProfiluZaznamu {
    bool zarizeniObnovena = false;  // refill the device combo box and menu
    bool profilyZmeneny = false;    // the store changed (menus are rebuilt anyway)
};

// Opens DlgProfilyZaznamu modally over `owner` (command 40022): 0 when it
// ran, S_FALSE (nothing shown) while one is already open, else the code of
// what kept it from opening. `vysledek` is filled in every case.
HRESULT SpravovatProfilyZaznamu(HWND owner, RecordingProfileStore& store, AudioCaptureDeviceList& devices,
                                VysledekProfiluZaznamu& vysledek, const Konfigurace* konfigurace = nullptr);

// Sets the dialog's big and small icon: the application's when it runs,
// else the program's icon resource.
void NastavitIkonyDialogu(HWND dialog);

} // namespace mirvak::winapi
