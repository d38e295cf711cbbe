// The road of one recording through the main window: start (with the
// configured settings or by a recording profile), the blink while it runs,
// stop, and the renames at the stop command. The window is reached through
// a small interface, so the decisions run without a window as well.
#pragma once

#include <windows.h>

#include "mainwindow/LogikaHlavnihoOkna.h"
#include "recording/HlidaniUrovne.h"
#include "recording/NazevZaznamu.h"

#include <optional>
#include <string>

class Aplikace;
class IkonaOznameni;
struct Konfigurace;

// What the recording control needs from the main window.
class IOknoZaznamu {
public:
    // The folder the list of recordings shows, when there is a list and the
    // folder exists.
    virtual bool SlozkaSeznamu(std::wstring& slozka) = 0;
    // The 800 ms blink timer; false when it could not be set.
    virtual bool SpustitBlikani() = 0;
    virtual void ZastavitBlikani() = 0;
    // The status bar: second part's text and first part's icon (null keeps it).
    virtual void NastavitStav(const std::wstring& text, HICON ikona) = 0;
    virtual void NastavitIkonuStavu(HICON ikona) = 0;
    // The status bar's level part: its text (empty: an empty part) and the
    // level in dBFS for the bar.
    virtual void NastavitUroven(const std::wstring& text, double decibely) = 0;
    virtual bool Viditelne() = 0;
    // The notification-area icon, or null.
    virtual IkonaOznameni* Ikona() = 0;
    virtual void AktualizovatStavy() = 0;
    // The list switches to a recording profile's folder.
    virtual void ZobrazitSlozku(const std::wstring& slozka) = 0;
    // The error box: `text` with the system's description of `hr`, or that
    // description alone when `text` is empty.
    virtual void Chyba(const std::wstring& text, HRESULT hr) = 0;

protected:
    ~IOknoZaznamu() = default;
};

class RizeniZaznamu {
public:
    RizeniZaznamu(Aplikace& a, Konfigurace& k, IOknoZaznamu& okno) : a_(a), k_(k), okno_(okno) {}

    // 0 when recording, 1 when one runs already, E_FAIL when no name may be
    // made (nothing shown), else the failure's code after the message.
    HRESULT SpustitZaznam();
    // The same with a recording profile: its folder (date-and-time name),
    // device and encoding profile. 1 when a recording runs.
    HRESULT SpustitPodleProfilu(const ProfilZaznamuInfo& profil);
    // The stop routine: 0 when a recording was stopped, 1 when none ran,
    // else the failure it ended with (told as an interruption, not as the
    // normal end). A new name chosen during the recording is dropped (the
    // rename belongs to the stop command only).
    HRESULT UkoncitZaznam();
    // The stop command (40013): the stop routine, then the pending new name
    // or the offer to rename. 1 when no recording ran.
    HRESULT PrikazUkoncit(const ZadaniTextu& zadani = {});
    // The recording graph announced events: a failure (writing, the device)
    // ends the recording at once and tells the user why. 0 when it runs on.
    // A recording whose device never delivered sound failed to start: its
    // file is removed, its number given back and the start's error shown.
    HRESULT UdalostGrafu();
    // The peaks (0..32768) of the last `pocet` (one or two) windows of the
    // meter, the later second: the level part shows the louder and, after a
    // silence of `varovani_ticho` seconds, the warning.
    void Urovne(uint32_t prvni, uint32_t druha, unsigned pocet);
    // 40039: a new name for the running recording.
    HRESULT PrejmenovatNahravany(const ZadaniTextu& zadani = {});
    // A rename dialog is open: the recording commands wait for it.
    bool Prejmenovava() const { return prejmenovani_ > 0; }
    // 40010: stop when recording, else start.
    HRESULT Prepnout();
    // One blink (timer id 2).
    void Bliknout();

    bool NahravaSe() const;

private:
    // What both starts share from the graph on; `text` names the failure,
    // after which the running number becomes `vratitCislo` when given.
    HRESULT Spustit(const std::wstring& textChyby, const uint32_t* vratitCislo = nullptr);
    // Icon, status, balloon and event once a recording ended, well or not.
    void Ukonceno(HRESULT hr);
    // Blink, icons, status, level part and tool-tip as when idle.
    void ObnovitKlid(IkonaOznameni* ikona);

    // Marks a rename dialog as open for its lifetime.
    class Prejmenovani {
    public:
        explicit Prejmenovani(RizeniZaznamu& r) : r_(r) { ++r_.prejmenovani_; }
        ~Prejmenovani() { --r_.prejmenovani_; }
        Prejmenovani(const Prejmenovani&) = delete;
        Prejmenovani& operator=(const Prejmenovani&) = delete;

    private:
        RizeniZaznamu& r_;
    };

    Aplikace& a_;
    Konfigurace& k_;
    IOknoZaznamu& okno_;
    int prejmenovani_ = 0;
    // Of the running recording, for a start that comes to nothing later:
    // the running number before it (name-and-number starts only) and the
    // text of its error box.
    std::optional<uint32_t> cisloPredStartem_;
    std::wstring textChybyStartu_;
    HlidaniUrovne uroven_;
};

// The file name without its folder.
std::wstring JmenoBezSlozky(const std::wstring& cesta);
