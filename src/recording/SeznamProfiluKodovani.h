// The encoding profiles a user picks from: the seven Windows Media 8 system
// audio profiles, shown in a combo box by the names the profile manager
// gives them, and the tool-bar combo box that makes a choice the
// configuration's "profil" at once.
#pragma once

#include "controls/Okno.h"

#include <windows.h>
#include <wmsdkidl.h>
#include <wrl/client.h>

#include <string>

struct Konfigurace;

// The offered profiles in the order shown. Each combo box item's data points
// at its row here, so a selection maps back to a GUID without a lookup.
inline constexpr int kPocetProfiluKodovani = 7;
extern const GUID kProfilyKodovani[kPocetProfiluKodovani];

// Fills `combo` with the table and selects the row whose GUID equals
// `currentGuid`; no selection when none does. A row whose profile the manager
// cannot load or name is still listed, under a fallback name that carries
// its GUID. E_INVALIDARG when `combo` is not a window; E_POINTER without a
// manager (the combo box is then left empty); E_OUTOFMEMORY when an item
// cannot be added.
HRESULT FillEncodingProfiles(HWND combo, IWMProfileManager* profileManager, const GUID& currentGuid);

// The GUID of the selected item: 0 and `guid` set, 1 (guid unchanged) when
// nothing is selected or the item carries no row of the table.
HRESULT SelectedEncodingProfile(HWND combo, GUID& guid);

// The display name of one profile: 0 and the name, else the failing call's
// code (and `name` empty).
HRESULT EncodingProfileName(IWMProfileManager* profileManager, const GUID& guid, std::wstring& name);

// The text a row shows when its profile has no name from the system.
std::wstring NahradniNazevProfilu(const GUID& guid);

namespace mirvak::winapi {

// The main window's tool-bar combo box of encoding profiles (control 1017).
// It owns the profile manager it names the rows with. A selection change
// (CBN_SELCHANGE reflected back by the parent, or OnSelChange called by the
// parent itself) makes the selected GUID the configuration's "profil" and
// writes the configuration to the registry at once.
class ComboBoxProfilKodovani : public OknoImplZaklad {
public:
    static constexpr int kId = 1017;
    static constexpr int kSirka = 380;
    static constexpr int kVyskaSeznamu = 300;
    static constexpr int kSirkaSeznamu = 450;

    // The configuration a selection goes to (g_konfigurace unless a test
    // gives its own); the profile manager is created here and a failure is
    // thrown as a long, like the other owners of a manager.
    explicit ComboBoxProfilKodovani(Konfigurace* konfigurace = nullptr);
    ~ComboBoxProfilKodovani() override;

    // Creates the control as a child of `parent` at (x, y): system class
    // "ComboBox", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 380 wide with a
    // drop-down of 300, the list 450 wide, the stock default GUI font.
    HRESULT Create(HWND parent, int x, int y, int id = kId);
    // Takes over an existing combo box.
    HRESULT Attach(HWND combo);
    // Fills with the table, `current` selected (see FillEncodingProfiles).
    HRESULT Fill(const GUID& current);
    // The configuration's "profil" selected.
    HRESULT FillFromConfiguration();
    // Takes the selection over into the configuration and saves it: 0 when
    // saved, 1 when nothing is selected, else the save's code.
    HRESULT OnSelChange();
    // Adds the control as a tool of `tooltip` with string 20028.
    HRESULT AddTooltip(HWND tooltip, HWND owner) const;

    IWMProfileManager* Manager() const { return manager_.Get(); }

    MV_BEGIN_MSG_MAP(ComboBoxProfilKodovani)
    MV_REFLECTED_COMMAND_CODE_HANDLER(CBN_SELCHANGE, OnReflectedSelChange)
    MV_END_MSG_MAP()

private:
    LRESULT OnReflectedSelChange(WORD, WORD, HWND, BOOL&)
    {
        OnSelChange();
        return 0;
    }

    Konfigurace* konfigurace_;
    Microsoft::WRL::ComPtr<IWMProfileManager> manager_;
};

} // namespace mirvak::winapi
