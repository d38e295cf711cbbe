// The decisions of the main window that need no window: command states,
// mouse gestures on the notification-area icon, the generated command
// ranges, the keys of the list of recordings, the hot keys and the popup
// menus. The window only applies what these give.
#pragma once

#include <windows.h>

#include "recording/AudioCaptureDevice.h"

#include <cstdint>
#include <string>
#include <vector>

class AudioCaptureDeviceList;
class IkonaOznameni;
struct HorkaKlavesa;
struct Konfigurace;

// A quick recording profile as the main window uses it: its menus show the
// name, a start records into the folder with the device and the profile.
struct ProfilZaznamuInfo {
    std::wstring nazev;
    std::wstring slozka;
    AudioCaptureDevice zarizeni;
    GUID profil{};
};

// What the command states depend on.
struct StavHlavnihoOkna {
    bool nahravaSe = false;
    bool seznam = false;          // the list of recordings exists
    bool vybranySoubor = false;   // it has a current file
    std::wstring vybrany;         // that file's full path
    std::wstring nahravany;       // the file being recorded
    int pocetProfilu = 0;
    bool navrchu = false;
    uint32_t toolbar = 1;
    bool prehravac = false;
    bool prejmenovani = false;    // a rename dialog of the recording is open
};

struct StavPrikazu {
    bool povolen = true;
    bool zaskrtnut = false;
};

// The state of one command; commands the rules do not name are enabled and
// unchecked. The dispatch applies the same rule, so a key or a posted
// command cannot run what the menu shows disabled.
StavPrikazu UrcitStavPrikazu(const StavHlavnihoOkna& s, UINT id);
// Tool-bar buttons hidden in this state (start while recording, stop while idle).
bool TlacitkoSkryto(const StavHlavnihoOkna& s, UINT id);
// Every command whose state the rules above decide.
const std::vector<UINT>& SpravovanePrikazy();

// The command of a left click on the icon with these modifiers.
UINT PrikazGesta(const uint32_t (&akce)[8], bool ctrl, bool shift);

enum class RozsahPrikazu { kZadny, kZarizeni, kZaznamPodleProfilu, kSlozkaProfilu, kPrepnoutProfil };
// Which generated range `id` belongs to and its index there.
RozsahPrikazu RozlozitPrikaz(UINT id, int& index);

// The command of a key pressed in the list of recordings; 0 for none.
UINT PrikazKlavesySeznamu(WORD vk, bool ctrl, bool shift);

// Registers (or unregisters) every entry that has a key, with the entry's
// command as the hot-key id; the number of failures.
int RegistrovatKlavesy(HWND okno, const HorkaKlavesa* klavesy, uint32_t pocet);
int OdregistrovatKlavesy(HWND okno, const HorkaKlavesa* klavesy, uint32_t pocet);

// The main window's hot keys and whether they are registered. A failed
// attempt is reported once with the count: an error balloon on `ikona` and,
// with bit 0 of `parametry`, a warning in the event log.
class HorkeKlavesy {
public:
    // The number of keys that failed; 0 when already registered.
    int Registrovat(HWND okno, const Konfigurace& k, IkonaOznameni* ikona);
    int Odregistrovat(HWND okno, const Konfigurace& k, IkonaOznameni* ikona);
    bool Registrovany() const { return registrovany_; }

private:
    bool registrovany_ = false;
};
// The report text of `pocet` failures (string 20024 or 20025).
std::wstring TextSelhaniKlaves(bool registrace, int pocet);

// A menu loaded from the resources or built, destroyed with the object; a
// failed DestroyMenu is fatal.
class Nabidka {
public:
    Nabidka() = default;
    explicit Nabidka(HMENU m) : m_(m) {}
    ~Nabidka() { Reset(); }
    Nabidka(const Nabidka&) = delete;
    Nabidka& operator=(const Nabidka&) = delete;
    Nabidka(Nabidka&& o) noexcept : m_(o.m_) { o.m_ = nullptr; }
    Nabidka& operator=(Nabidka&& o) noexcept
    {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }
    HMENU Get() const { return m_; }
    HMENU Release()
    {
        HMENU m = m_;
        m_ = nullptr;
        return m;
    }
    void Reset(HMENU m = nullptr);

private:
    HMENU m_ = nullptr;
};

// A popup of the profiles' names, commands zaklad + index; null for none.
HMENU VytvoritNabidkuProfilu(const std::vector<ProfilZaznamuInfo>& profily, UINT zaklad);
// Replaces the item with command `id` of `menu` by the popup `podnabidka`
// (which the menu then owns) under `text`. E_INVALIDARG when there is no such item.
HRESULT NahraditPolozku(HMENU menu, UINT id, HMENU podnabidka, const wchar_t* text, bool povolit = true);
// Enables or greys the item of `menu` (searched in its popups too) that
// opens `podnabidka`. False when there is none.
bool PovolitPodnabidku(HMENU menu, HMENU podnabidka, bool povolit);
// The first popup of menu resource `id`, detached from its root; null when
// the resource cannot be loaded.
HMENU NacistPopup(HINSTANCE modul, UINT id);

// Gives item 40049 of `menu` (searched in its popups too) a new submenu of
// the devices, commands 52000 + index with `aktualni` checked, and destroys
// the one it had; without devices the item is left plain and grey.
void PripojitNabidkuZarizeni(HMENU menu, const AudioCaptureDeviceList* zarizeni, const std::wstring& aktualni);

// Everything the notification-area popup shows.
struct StavNabidkyIkony {
    bool viditelne = false;
    bool nahravaSe = false;
    const AudioCaptureDeviceList* zarizeni = nullptr;
    std::wstring aktualniZarizeni;
    std::vector<ProfilZaznamuInfo> profily;
};
// The popup of menu 104 with the help, settings, device and profile
// submenus in place and the items enabled and checked for `s`. The returned
// menu is the resource's root; its first popup is what is tracked.
Nabidka VytvoritNabidkuIkony(HINSTANCE modul, const StavNabidkyIkony& s);
// The menu bar: menu 102 with the tools and help popups appended, the
// settings popup at 40026 and the profile submenus at 40012 and 40019
// (disabled without profiles).
Nabidka VytvoritHlavniMenu(HINSTANCE modul, const std::vector<ProfilZaznamuInfo>& profily);

// Applies the command states to a menu (recursively) and returns nothing;
// items the rules do not name are left alone.
void UplatnitStavyNaNabidku(HMENU menu, const StavHlavnihoOkna& s);
