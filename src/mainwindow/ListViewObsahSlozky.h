// The list of recordings: the files of one folder in a report list view that
// follows the folder while files come and go, and the file commands that act
// on its selection.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "controls/Okno.h"
#include "mainwindow/SledovaniSlozky.h"
#include "recording/NazevZaznamu.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Konfigurace;

namespace mirvak::winapi {

// Posted to the owner after each change of the list the folder watcher caused
// and after each item change; wParam kSlozkaZmizela when the folder shown has
// gone (the list is then empty and no longer watches).
inline constexpr UINT WM_SEZNAM_ZMENA = WM_APP + 2004;
inline constexpr WPARAM kSlozkaZmizela = 1;
// The settings dialog posts this to the main window after the list options
// changed; the main window calls Restart().
inline constexpr UINT WM_SEZNAM_VOLBY = WM_APP + 5;
// Control id the main window gives the list.
inline constexpr int kIdSeznamuSouboru = 1018;

// Option bits of seznam_souboru_parametry.
inline constexpr uint32_t kSeznamJenWma = 1;
inline constexpr uint32_t kSeznamPotvrditSmazani = 2;
inline constexpr uint32_t kSeznamVybratJmeno = 4;
inline constexpr uint32_t kSeznamPrepnoutNaProfil = 8;

// What the owner decides for the list. Called on the main thread.
class IListViewObsahSlozky {
public:
    // True leaves the file out.
    virtual bool FilterFile(const wchar_t* fileName) = 0;
    // The list now shows `folder`.
    virtual void FolderShown(const wchar_t* folder) = 0;

protected:
    ~IListViewObsahSlozky() = default;
};

// The owner's filter of the main window: with bit 0 of `parametry` only
// ".wma" (any case) passes.
bool OdfiltrovatSoubor(uint32_t parametry, const wchar_t* jmeno);

class ListViewObsahSlozky : public OknoImpl<ListViewObsahSlozky> {
public:
    static constexpr int kSirkaJmena = 380;
    static constexpr int kSirkaVelikosti = 95;
    static constexpr int kSirkaCasu = 145;

    // One listed file. The list view is virtual (LVS_OWNERDATA): item i
    // shows record i, so filling a large folder costs no per-item messages.
    struct Polozka {
        uint64_t velikost;
        FILETIME vytvoren;  // as the file system keeps it (UTC)
        std::wstring jmeno;
    };

    static const wchar_t* ClassName() { return L"ListViewObsahSlozky"; }
    static const wchar_t* BaseClassName() { return WC_LISTVIEWW; }

    ListViewObsahSlozky() = default;
    ~ListViewObsahSlozky() override;

    // A child of `parent` filling its client area, with full-row selection,
    // the explorer theme and the three columns, shown. `parent` is the owner.
    HRESULT Create(HWND parent, int controlId = kIdSeznamuSouboru);
    void SetCallbacks(IListViewObsahSlozky* callbacks) { callbacks_ = callbacks; }

    // E_INVALIDARG when `path` is not an existing folder (the list keeps what
    // it shows); else shows it, watches it and tells the owner. 0.
    HRESULT SetFolder(const std::wstring& path);
    // Stops watching; when the folder still exists, refreshes and watches
    // again (after the list options changed).
    HRESULT Restart();
    // Refills the list from the folder, unsorted. The files selected before
    // stay selected and focused; when none of them is left, the item at the
    // old position (or the one before it), else the first.
    void Refresh();
    // What the watcher's reports run, at most once a second: brings the
    // listed files in line with the folder without rebuilding the list (new
    // files at the end), keeping selection, focus and scroll position with
    // the files. `jmena` are the names to look at again; `vse` reads the
    // whole folder.
    void Update(const std::vector<std::wstring>& jmena, bool vse);
    HRESULT StartWatch();
    HRESULT StopWatch();
    bool Watching() const { return sledovani_.Running(); }

    // 0 when the folder exists and is a folder, else 1; copied either way.
    HRESULT GetFolder(std::wstring& path) const;
    // 1 when there is no current item, E_INVALIDARG when its text is empty,
    // else 0 with its name (and the folder before it when `withPath`).
    HRESULT GetCurrentFile(std::wstring& name, bool withPath) const;
    // Deletes every selected file (permanently). 0, 1 when none is selected,
    // E_FAIL when at least one deletion failed (the others are done).
    HRESULT DeleteSelected();
    // Full paths of the selected files, in list order.
    std::vector<std::wstring> SelectedPaths() const;
    // Deletes exactly these files; one that is gone already is skipped. 0,
    // 1 for none, E_FAIL when at least one deletion failed.
    static HRESULT DeleteFiles(const std::vector<std::wstring>& cesty);

    // Sorts as a click on column `sloupec` does.
    void SortByColumn(int sloupec);
    int SortColumn() const { return sortColumn_; }
    bool Ascending() const { return ascending_; }
    int CurrentItem() const { return currentItem_; }
    int Count() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
    const Polozka* Item(int index) const;
    std::wstring ItemText(int index, int sloupec) const;

    // File commands of the main window on the selection. Each returns 0 when
    // it did its work, 1 when there was nothing to do or the user declined,
    // else the failure's code after its message.
    //
    // Delete (40037): asks first when bit 1 of `parametry` is set, and
    // deletes the files that were selected when it asked.
    HRESULT PrikazSmazat(uint32_t parametry);
    // Rename (40028): asks for the new name (the name without extension
    // preselected with bit 2); a name the file system cannot take is
    // explained and asked again.
    HRESULT PrikazPrejmenovat(uint32_t parametry, const ZadaniTextu& zadani = {});
    // Save as (40029): `vyber` gets the preset name and returns 0 and the
    // target, 1 for cancel, or a failure; empty means the system save dialog.
    using VyberCile = std::function<HRESULT(const std::wstring& jmeno, std::wstring& cil)>;
    HRESULT PrikazUlozitJako(const VyberCile& vyber = {});
    // Play (40030): refused with a message for the file being recorded;
    // `integrovany` (prehravac) opens the built-in player owned by
    // `vlastnikPrehravace`, else the system's program.
    HRESULT PrikazPrehrat(bool integrovany, bool nahravaSe, const std::wstring& nahravanySoubor,
                          HWND vlastnikPrehravace = nullptr);
    // The same with the configuration and the application's recorder.
    HRESULT PrikazPrehrat();
    // Properties (40033) of the current file.
    HRESULT PrikazVlastnosti();
    // 40018 and 40038: shows `slozka` and saves the view values. 0 when the
    // list shows it, else its refusal after the message that the folder is
    // not there.
    HRESULT ZobrazitSlozku(Konfigurace& k, const std::wstring& slozka);
    // Choose the folder (40018) with the system folder browser.
    HRESULT PrikazVybratSlozku(Konfigurace& k);
    // Show the recordings folder (40038).
    HRESULT PrikazVychoziSlozka(Konfigurace& k);

    MV_BEGIN_MSG_MAP(ListViewObsahSlozky)
    MV_MESSAGE_HANDLER(WM_SIZE, OnSize)
    MV_MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
    MV_MESSAGE_HANDLER(kZmenaSlozky, OnZmenaSlozky)
    MV_MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MV_MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    MV_REFLECTED_NOTIFY_CODE_HANDLER(LVN_GETDISPINFOW, OnGetDispInfo)
    MV_REFLECTED_NOTIFY_CODE_HANDLER(LVN_ODFINDITEMW, OnFindItem)
    MV_REFLECTED_NOTIFY_CODE_HANDLER(LVN_COLUMNCLICK, OnColumnClick)
    MV_REFLECTED_NOTIFY_CODE_HANDLER(LVN_ITEMCHANGED, OnItemChanged)
    MV_END_MSG_MAP()

private:
    // The watcher's message to the control itself.
    static constexpr UINT kZmenaSlozky = WM_APP + 0x120;
    // The timer that holds back a report until a second after the last update.
    static constexpr UINT_PTR kCasovacObnovy = 0x5442;
    static constexpr DWORD kRozestupObnov = 1000;

    // The selection by file name, so it follows the files when they move.
    struct Vyber {
        std::vector<std::wstring> vybrane;
        std::wstring fokus;
        int index = -1;  // where the focus (else the current item) was
    };

    LRESULT OnSize(UINT, WPARAM, LPARAM l, BOOL& zpracovano);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) { return DLGC_WANTALLKEYS; }
    LRESULT OnZmenaSlozky(UINT, WPARAM w, LPARAM l, BOOL&);
    LRESULT OnTimer(UINT, WPARAM w, LPARAM, BOOL& zpracovano);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& zpracovano);
    LRESULT OnGetDispInfo(int, NMHDR* h, BOOL&);
    LRESULT OnFindItem(int, NMHDR* h, BOOL&);
    LRESULT OnColumnClick(int, NMHDR* h, BOOL&);
    LRESULT OnItemChanged(int, NMHDR* h, BOOL&);

    void Vyprazdnit();
    void Oznamit(WPARAM co = 0) const;
    std::wstring CestaSouboru(const std::wstring& jmeno) const;
    // Reads the folder into `vysledek`; false when it cannot be read.
    bool Precist(std::vector<Polozka>& vysledek) const;
    Vyber ZapamatovatVyber() const;
    // What ObnovitVyber selects when none of the named files is left.
    enum class Nahrada { kNic, kPrvni, kNaPozici };
    // Selects and focuses the named files again; without any of them,
    // nothing, the first item, or the item at `v.index` (the one before it
    // past the end; the first without an index). The current item follows;
    // the owner is told once.
    void ObnovitVyber(const Vyber& v, Nahrada nahrada);
    // The watcher's report, once the second since the last update passed.
    void ZpracovatZmeny();
    // The folder shown is gone: empty list, no watcher, the owner is told.
    void SlozkaZmizela();

    std::wstring folder_;
    bool ascending_ = false;
    int sortColumn_ = -1;
    int currentItem_ = -1;
    bool obnovuji_ = false;  // selection set by the list itself: no notices
    DWORD posledniObnova_ = 0;
    bool casovac_ = false;
    HWND owner_ = nullptr;
    IListViewObsahSlozky* callbacks_ = nullptr;
    SledovaniSlozky sledovani_;
    // The items' records in display order.
    std::vector<Polozka> polozky_;
    std::wstring text_;  // what the last display-info answer points to
};

// Open the recordings folder (40035): "open", or "explore" while Ctrl is
// held, shown maximised. 1 when `slozka` is not an existing folder.
HRESULT OtevritSlozkuZaznamu(const std::wstring& slozka, bool prozkoumat);

} // namespace mirvak::winapi
