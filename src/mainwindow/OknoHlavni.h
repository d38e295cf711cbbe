// The program's top-level window: menus, tool bar, rebar with the device and
// encoding-profile lists, the list of recordings or the plain panel, status
// bar, the notification-area icon, hot keys and the command dispatch. The
// decisions live in LogikaHlavnihoOkna and RizeniZaznamu; this class
// applies them to the windows.
#pragma once

#include <windows.h>
#include <commctrl.h>
// dshow.h brings this in; its SubclassWindow macro would hide the window
// base's method of that name.
#include <windowsx.h>
#undef SubclassWindow

#include "app/Handles.h"
#include "app/Pracovnici.h"
#include "controls/Okno.h"
#include "mainwindow/IkonaOznameni.h"
#include "mainwindow/ListViewObsahSlozky.h"
#include "mainwindow/LogikaHlavnihoOkna.h"
#include "mainwindow/RizeniZaznamu.h"
#include "mainwindow/UmisteniOkna.h"
#include "recording/ComboBoxZarizeniZvuk.h"
#include "recording/RecordingProfile.h"
#include "recording/SeznamProfiluKodovani.h"

#include <memory>
#include <string>
#include <vector>

class Aplikace;
class OknoUrovne;

// Window class of the main window.
inline constexpr wchar_t kTridaHlavnihoOkna[] = L"tonbar";
// Messages of the main window to itself and from its dialogs.
inline constexpr UINT WM_NASTAVENI_ZMENA = WM_APP + 2;
inline constexpr UINT WM_SPUSTENI = WM_APP + 3;
inline constexpr UINT WM_ZARIZENI_ZMENA = WM_APP + 4;
// The recording graph has events (a failure ends the recording).
inline constexpr UINT WM_UDALOST_ZAZNAMU = WM_APP + 2008;
// The recording's input level: wParam the peak of the last 100 ms (0..32768).
inline constexpr UINT WM_UROVEN_ZAZNAMU = WM_APP + 2010;
// Timer of the recording blink.
inline constexpr UINT_PTR kCasovacBlikani = 2;

// The plain client area: hosts the information panel (dialog 110) centred.
class DlgKlientskaOblast;
class OknoKlientskaOblast : public mirvak::winapi::OknoImpl<OknoKlientskaOblast> {
public:
    static const wchar_t* ClassName() { return L"tonbar_kl_obl"; }
    static void ModifyClass(WNDCLASSEXW& c)
    {
        c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    }
    OknoKlientskaOblast();
    ~OknoKlientskaOblast() override;
    HRESULT Vytvorit(HWND rodic, const RECT& r);
    void NastavitPismo(HFONT pismo);
    HWND Panel() const;

    MV_BEGIN_MSG_MAP(OknoKlientskaOblast)
    MV_MESSAGE_HANDLER(WM_SIZE, OnSize)
    MV_END_MSG_MAP()

private:
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    std::unique_ptr<DlgKlientskaOblast> panel_;
};

class OknoHlavni : public mirvak::winapi::OknoImpl<OknoHlavni>,
                   public mirvak::winapi::NotifyIconMessageMap,
                   public mirvak::winapi::IListViewObsahSlozky,
                   public IOknoZaznamu {
public:
    static const wchar_t* ClassName() { return kTridaHlavnihoOkna; }
    static void ModifyClass(WNDCLASSEXW& c);

    explicit OknoHlavni(Aplikace& a);
    ~OknoHlavni() override;

    // Creation steps 1-7; a child control or menu that cannot be made is fatal.
    HRESULT Vytvorit();
    // The close sequence; runs once, a second call does nothing.
    void ZaviraciSekvence();

    // The state the command rules see now.
    StavHlavnihoOkna Stav() const;
    void AktualizovatStavy() override;
    // Runs one command as the dispatch does (states applied first).
    void Prikaz(UINT id);

    RizeniZaznamu& Rizeni() { return rizeni_; }
    IkonaOznameni* Ikona() override;
    mirvak::winapi::ListViewObsahSlozky* Seznam() const { return seznam_.get(); }
    const std::wstring& TextStavu() const { return textStavu_; }
    bool KlavesyRegistrovany() const { return klavesy_.Registrovany(); }
    std::vector<ProfilZaznamuInfo> ProfilyZaznamu() const;

    // Commands of subsystems that join later: each is one line to wire.
    void PrikazPredvolby();
    void PrikazAktualizace();
    void PrikazOAplikaci();
    void PrikazEmail();
    void PrikazFtp();
    void PrikazFtpMista();
    void PrikazKontakty();
    void PrikazSmtpUcty();
    void PrikazProfilyZaznamu();

    MV_BEGIN_MSG_MAP(OknoHlavni)
    if (ObsluhaZpravyIkony(uMsg, wParam, lParam)) {
        lResult = 0;
        return true;
    }
    MV_MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MV_MESSAGE_HANDLER(WM_ENDSESSION, OnEndSession)
    MV_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MV_MESSAGE_HANDLER(WM_SIZE, OnSize)
    MV_MESSAGE_HANDLER(WM_SYSCOMMAND, OnSysCommand)
    MV_MESSAGE_HANDLER(WM_THEMECHANGED, OnThemeChanged)
    MV_MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MV_MESSAGE_HANDLER(WM_CONTEXTMENU, OnContextMenu)
    MV_MESSAGE_HANDLER(WM_MENUSELECT, OnMenuSelect)
    MV_MESSAGE_HANDLER(WM_INITMENUPOPUP, OnInitMenuPopup)
    MV_MESSAGE_HANDLER(WM_HOTKEY, OnHotKey)
    MV_MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MV_MESSAGE_HANDLER(WM_NOTIFY, OnNotify)
    MV_MESSAGE_HANDLER(WM_NASTAVENI_ZMENA, OnNastaveniZmena)
    MV_MESSAGE_HANDLER(WM_SPUSTENI, OnSpusteni)
    MV_MESSAGE_HANDLER(mirvak::winapi::WM_SEZNAM_VOLBY, OnSeznamVolby)
    MV_MESSAGE_HANDLER(mirvak::winapi::WM_SEZNAM_ZMENA, OnZmenaStavu)
    MV_MESSAGE_HANDLER(WM_APP + 2003, OnZmenaStavu)
    MV_MESSAGE_HANDLER(WM_UDALOST_ZAZNAMU, OnUdalostZaznamu)
    MV_MESSAGE_HANDLER(pracovnici::WM_HLASENI_PRACOVNIKU, OnHlaseniPracovniku)
    MV_MESSAGE_HANDLER(WM_UROVEN_ZAZNAMU, OnUrovenZaznamu)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

protected:
    // NotifyIconMessageMap
    void KontextoveMenu(UINT id, WPARAM kotva, UINT vyssi) override;
    void LeveTlacitkoNahoru(UINT id, WPARAM kotva, UINT vyssi) override;
    // IListViewObsahSlozky
    bool FilterFile(const wchar_t* fileName) override;
    void FolderShown(const wchar_t* folder) override;
    // IOknoZaznamu
    bool SlozkaSeznamu(std::wstring& slozka) override;
    bool SpustitBlikani() override;
    void ZastavitBlikani() override;
    void NastavitStav(const std::wstring& text, HICON ikona) override;
    void NastavitIkonuStavu(HICON ikona) override;
    void NastavitUroven(const std::wstring& text, double decibely) override;
    bool Viditelne() override;
    void ZobrazitSlozku(const std::wstring& slozka) override;
    void Chyba(const std::wstring& text, HRESULT hr) override;
    // A close put off while a modal loop ran, and lists put aside meanwhile.
    void AfterOutermostMessage() override;

private:
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEndSession(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSysCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnThemeChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnContextMenu(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMenuSelect(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnInitMenuPopup(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnHotKey(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNotify(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNastaveniZmena(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSpusteni(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSeznamVolby(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZmenaStavu(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnUdalostZaznamu(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnHlaseniPracovniku(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnUrovenZaznamu(UINT, WPARAM, LPARAM, BOOL&);

    // True while this message came from a modal loop that one of the
    // window's own handlers runs: that handler still uses what it read
    // before (the list, the window), so nothing it uses may go now.
    bool VModalniSmycce() const { return MessageDepth() > 1; }
    // Takes the list out of the window; in a modal loop it is only hidden
    // and freed once the outermost handler returned.
    void ZrusitSeznam();

    void VytvoritMenu();
    void VytvoritStatusBar();
    void RozdelitStatus();
    void VytvoritRebar();
    void VytvoritToolbar();
    void VytvoritKlientskouOblast();
    void ZrusitKlientskouOblast();
    void Rozvrhnout();
    void PostSize();
    void UplatnitPisma();
    void ZobrazitOkno();
    void SkrytOkno();
    void ZobrazitNabidkuIkony(POINT bod);
    void RozbalitTlacitko(const NMTOOLBARW& nm);
    void ProvestRozsah(UINT id);
    void PrepnoutNaProfil(int index, bool aVybrat);
    void ZmenaZarizeni();

    Aplikace& a_;
    mirvak::winapi::WindowPlacement umisteni_;
    Nabidka menu_;
    HMENU popupProfilu_ = nullptr;
    HMENU popupSlozekProfilu_ = nullptr;
    // The menu-bar popup that holds the device submenu (40049).
    HMENU popupSeZarizenim_ = nullptr;
    HWND status_ = nullptr;
    std::unique_ptr<OknoUrovne> uroven_;   // over the status bar's third part
    HWND rebar_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND tooltip_ = nullptr;
    mirvak::direct_show::ComboBoxZarizeniZvuk comboZarizeni_;
    std::unique_ptr<mirvak::winapi::ComboBoxProfilKodovani> comboProfilu_;
    std::unique_ptr<mirvak::winapi::ListViewObsahSlozky> seznam_;
    std::vector<std::unique_ptr<mirvak::winapi::ListViewObsahSlozky>> odlozeneSeznamy_;
    std::unique_ptr<OknoKlientskaOblast> panel_;
    std::unique_ptr<IkonaOznameni> ikona_;
    HorkeKlavesy klavesy_;
    RizeniZaznamu rizeni_;
    std::wstring textStavu_;
    mirvak::winapi::GdiObject pismo_;
    bool zavreno_ = false;
    bool zavritPozdeji_ = false;
    // The command being dispatched came with lParam 0xFFFF.
    bool tichyPrikaz_ = false;
};

// The one main window (null when there is none).
OknoHlavni* HlavniOknoObjekt();
HRESULT VytvoritHlavniOkno(Aplikace& aplikace);
// Destroys the main window when it still exists; safe after WM_DESTROY.
void ZnicitHlavniOkno();
HWND HlavniOkno();
