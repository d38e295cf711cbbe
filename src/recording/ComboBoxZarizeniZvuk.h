// The capture-device controls: the combo box that shows the device list
// (window class "RComboBoxAudio", a superclass of the system combo box) and
// the device submenu of the notification-area menu.
#pragma once

#include "recording/AudioCaptureDeviceList.h"

#include <windows.h>

namespace mirvak::direct_show {

class ComboBoxZarizeniZvuk {
public:
    ComboBoxZarizeniZvuk() = default;
    ~ComboBoxZarizeniZvuk();
    ComboBoxZarizeniZvuk(const ComboBoxZarizeniZvuk&) = delete;
    ComboBoxZarizeniZvuk& operator=(const ComboBoxZarizeniZvuk&) = delete;

    // Registers the class on first use and creates the control as a child
    // (WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, the default GUI font).
    HRESULT Create(HWND parent, const RECT& rect, int id);
    // Takes over a dialog's existing combo box.
    HRESULT Attach(HWND combo);
    HWND Handle() const { return hwnd_; }

    // The list shown; not owned.
    void SetList(const AudioCaptureDeviceList* list) { list_ = list; }
    // Shows the list and selects `current` (by name, ignoring case; the last
    // such item) and gives true, else selects the first item.
    bool Fill(const AudioCaptureDevice& current);
    // 0 and the selected device copied; 1 when nothing usable is selected.
    HRESULT GetSelected(AudioCaptureDevice& device) const;

    static constexpr const wchar_t* kClassName = L"RComboBoxAudio";

private:
    HWND hwnd_ = nullptr;
    const AudioCaptureDeviceList* list_ = nullptr;
};

} // namespace mirvak::direct_show

// A popup menu of the devices in list order, commands firstCommandId + i,
// radio-checked where the name equals currentFriendlyName ignoring case.
// Null for an empty list or when an item cannot be inserted.
HMENU BuildDeviceMenu(const AudioCaptureDeviceList& list, UINT firstCommandId, const std::wstring& currentFriendlyName);

// Makes `popup` the submenu of the item with command 40049 in `menu`, named
// "Zvukové zařízení". E_HANDLE when `popup` is not a menu.
HRESULT AttachDeviceMenu(HMENU menu, HMENU popup);

// The command of the menu item that carries the device submenu.
inline constexpr UINT kPrikazZarizeni = 40049;
