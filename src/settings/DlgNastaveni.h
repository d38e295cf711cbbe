// The settings dialog `DlgNastaveni` and its eight pages. Each page is a
// modeless child dialog created on its first selection; it fills its
// controls from the record when created and copies them back on apply.
#pragma once

#include "app/Konfigurace.h"
#include "controls/CheckListView.h"
#include "controls/Edit.h"
#include "controls/Okno.h"
#include "resources/resource.h"
#include "settings/Nastaveni.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mirvak::winapi {

// The owner-drawn list of hot-key entries of the hot-key page.
class ListBoxHorkeKlavesy : public OknoImplZaklad {
public:
    static constexpr int kVyskaPolozky = 20;
    static constexpr int kOdsazeniTextu = 23;

    ~ListBoxHorkeKlavesy() override { UnsubclassWindow(); }
    HRESULT Attach(HWND okno, const std::vector<HorkaKlavesa>* klavesy);
    // Lists the entries of group `skupina` (0: every entry) in table order,
    // each with its index in the table as item data; selects the first.
    void Naplnit(uint32_t skupina);
    // Index in the table of the selected entry, or -1.
    int VybranyIndex() const;

    MV_BEGIN_MSG_MAP(ListBoxHorkeKlavesy)
    MV_MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
    MV_END_MSG_MAP()

private:
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM l, BOOL&);
    const std::vector<HorkaKlavesa>* klavesy_ = nullptr;
};

} // namespace mirvak::winapi

// Hot-key helpers of the hot-key page.
// RegisterHotKey modifiers from the hot-key control's HOTKEYF_* flags and back.
uint32_t ModifikatoryZHotkeyf(BYTE hotkeyf);
BYTE HotkeyfZModifikatoru(uint32_t modifikatory);
// Index of another entry (not `index`) that has the key `klavesa` with
// `modifikatory`, or -1. An empty key never collides.
int NajitKolizi(const std::vector<HorkaKlavesa>& klavesy, size_t index, uint32_t modifikatory, uint32_t klavesa);
// A command's text as the hot-key list shows it: the command's string cut
// before its first line break, with a full stop added when missing.
std::wstring TextPrikazu(uint32_t prikaz);

// A page of the dialog.
class StrankaNastaveni : public mirvak::winapi::DialogZaklad {
public:
    StrankaNastaveni(Konfigurace& k, UINT idSablony) : k_(k), idSablony_(idSablony) {}
    ~StrankaNastaveni() override;

    UINT IdSablony() const { return idSablony_; }
    // Copies the controls into the record.
    virtual void Pouzit() = 0;

protected:
    // Tells the dialog (the parent) that something changed.
    void OznamitZmenu() const;
    // Adds a combo item with `data`; the index.
    int PridatPolozku(int idPrvku, const std::wstring& text, LPARAM data) const;
    // Selects the combo item whose data is `data`; false when none is.
    bool VybratData(int idPrvku, LPARAM data) const;
    // Data of the selected combo item, or `vychozi` with no selection.
    LPARAM VybranaData(int idPrvku, LPARAM vychozi) const;
    bool Zaskrtnuto(int idPrvku) const { return IsDlgButtonChecked(m_hWnd, idPrvku) == BST_CHECKED; }
    void Zaskrtnout(int idPrvku, bool ano) const { CheckDlgButton(m_hWnd, idPrvku, ano ? BST_CHECKED : BST_UNCHECKED); }
    std::wstring TextPrvku(int idPrvku) const;

    Konfigurace& k_;
    // Set while the page fills its controls, so that fill notifications are no changes.
    bool plneni_ = false;

private:
    UINT idSablony_;
};

class DlgNastAplikace : public StrankaNastaveni {
public:
    explicit DlgNastAplikace(Konfigurace& k);
    void Pouzit() override;
    // The page's copy of the tray-icon gestures (written into the record on apply).
    const std::array<uint32_t, 8>& Akce() const { return akce_; }

    MV_BEGIN_MSG_MAP(DlgNastAplikace)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(IDC_APL_PRIORITA, CBN_SELCHANGE, OnZmena)
    MV_COMMAND_HANDLER(IDC_APL_ZVUK, BN_CLICKED, OnZmena)
    MV_COMMAND_HANDLER(IDC_APL_SLOZKA, EN_CHANGE, OnZmena)
    MV_COMMAND_HANDLER(IDC_APL_UDALOST_MYSI, CBN_SELCHANGE, OnUdalost)
    MV_COMMAND_HANDLER(IDC_APL_FUNKCE, CBN_SELCHANGE, OnFunkce)
    MV_NOTIFY_HANDLER(IDC_APL_ODKAZ_SLOZKA, NM_CLICK, OnOdkaz)
    MV_NOTIFY_HANDLER(IDC_APL_ODKAZ_SLOZKA, NM_RETURN, OnOdkaz)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZmena(WORD, WORD, HWND, BOOL&);
    LRESULT OnUdalost(WORD, WORD, HWND, BOOL&);
    LRESULT OnFunkce(WORD, WORD, HWND, BOOL&);
    LRESULT OnOdkaz(int, NMHDR*, BOOL&);
    void UkazatFunkci();

    mirvak::winapi::EditSlozka slozka_;
    std::array<uint32_t, 8> akce_{};
    HWND tooltip_ = nullptr;
};

class DlgNastHorkeKlavesy : public StrankaNastaveni {
public:
    explicit DlgNastHorkeKlavesy(Konfigurace& k) : StrankaNastaveni(k, IDD_NAST_HORKE_KLAVESY) {}
    void Pouzit() override;
    const std::vector<HorkaKlavesa>& Klavesy() const { return klavesy_; }

    MV_BEGIN_MSG_MAP(DlgNastHorkeKlavesy)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(IDC_HK_SKUPINA, CBN_SELCHANGE, OnSkupina)
    MV_COMMAND_HANDLER(IDC_HK_SEZNAM, LBN_SELCHANGE, OnVyber)
    MV_COMMAND_HANDLER(IDC_HK_KLAVESA, EN_CHANGE, OnKlavesa)
    MV_COMMAND_ID_HANDLER(IDC_HK_NASTAVIT, OnNastavit)
    MV_COMMAND_ID_HANDLER(IDC_HK_VYMAZAT, OnVymazat)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSkupina(WORD, WORD, HWND, BOOL&);
    LRESULT OnVyber(WORD, WORD, HWND, BOOL&);
    LRESULT OnKlavesa(WORD, WORD, HWND, BOOL&);
    LRESULT OnNastavit(WORD, WORD, HWND, BOOL&);
    LRESULT OnVymazat(WORD, WORD, HWND, BOOL&);
    // Shows the selected entry's key in the hot-key control.
    void UkazatKlavesu();

    std::vector<HorkaKlavesa> klavesy_;
    mirvak::winapi::ListBoxHorkeKlavesy seznam_;
};

// A page of one check list mapped onto bits of one field.
class StrankaSeznamBitu : public StrankaNastaveni {
public:
    struct Radek {
        UINT text;    // string id, also the item data
        uint32_t bit;
    };
    StrankaSeznamBitu(Konfigurace& k, UINT idSablony, int idSeznamu, uint32_t Konfigurace::*pole,
                      std::vector<Radek> radky)
        : StrankaNastaveni(k, idSablony), idSeznamu_(idSeznamu), pole_(pole), radky_(std::move(radky))
    {
    }
    void Pouzit() override;

    MV_BEGIN_MSG_MAP(StrankaSeznamBitu)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_NOTIFY_CODE_HANDLER(LVN_ITEMCHANGED, OnZmenaPolozky)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZmenaPolozky(int, NMHDR*, BOOL&);

    int idSeznamu_;
    uint32_t Konfigurace::*pole_;
    std::vector<Radek> radky_;
    mirvak::winapi::CheckListView seznam_;
};

class DlgNastPoSpusteni : public StrankaSeznamBitu {
public:
    explicit DlgNastPoSpusteni(Konfigurace& k);
};

class DlgNastZapisUdalosti : public StrankaSeznamBitu {
public:
    explicit DlgNastZapisUdalosti(Konfigurace& k);
};

class DlgNastSoubor : public StrankaNastaveni {
public:
    explicit DlgNastSoubor(Konfigurace& k) : StrankaNastaveni(k, IDD_NAST_SOUBOR) {}
    void Pouzit() override;

    MV_BEGIN_MSG_MAP(DlgNastSoubor)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(IDC_SOUBOR_ZPUSOB, CBN_SELCHANGE, OnZpusob)
    MV_COMMAND_HANDLER(IDC_SOUBOR_JMENO, EN_CHANGE, OnZmena)
    MV_COMMAND_HANDLER(IDC_SOUBOR_MAX, EN_CHANGE, OnZmena)
    MV_COMMAND_HANDLER(IDC_SOUBOR_PREPSAT, BN_CLICKED, OnZmena)
    MV_COMMAND_HANDLER(IDC_SOUBOR_PREJMENOVAT, BN_CLICKED, OnZmena)
    MV_COMMAND_HANDLER(IDC_SOUBOR_TICHO, EN_CHANGE, OnZmena)
    MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZpusob(WORD, WORD, HWND, BOOL&);
    LRESULT OnZmena(WORD, WORD, HWND, BOOL&);
    void PovolitJmeno();

    mirvak::winapi::EditCislo maximum_;
    mirvak::winapi::EditCislo ticho_;
};

class DlgNastSeznamSouboru : public StrankaNastaveni {
public:
    DlgNastSeznamSouboru(Konfigurace& k, bool& priznakSeznamu)
        : StrankaNastaveni(k, IDD_NAST_SEZNAM_SOUBORU), priznakSeznamu_(priznakSeznamu)
    {
    }
    void Pouzit() override;

    MV_BEGIN_MSG_MAP(DlgNastSeznamSouboru)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(IDC_SEZNAM_FORMATY, BN_CLICKED, OnFormaty)
    MV_COMMAND_HANDLER(IDC_SEZNAM_POTVRZENI, BN_CLICKED, OnZmena)
    MV_COMMAND_HANDLER(IDC_SEZNAM_BEZ_PRIPONY, BN_CLICKED, OnZmena)
    MV_COMMAND_HANDLER(IDC_SEZNAM_SLOZKA_PROFILU, BN_CLICKED, OnZmena)
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFormaty(WORD, WORD, HWND, BOOL&);
    LRESULT OnZmena(WORD, WORD, HWND, BOOL&);

    bool& priznakSeznamu_;
};

// One shared SMTP account as the import list shows it.
struct SdilenyUcetSmtp {
    std::wstring email, heslo, jmeno, id, server;
};
// The shared SMTP accounts for the import list; empty when there are none.
HRESULT NacistSdileneSmtpUcty(std::vector<SdilenyUcetSmtp>& ucty);

class DlgNastSmtpUcet : public StrankaNastaveni {
public:
    explicit DlgNastSmtpUcet(Konfigurace& k) : StrankaNastaveni(k, IDD_NAST_SMTP_UCET) {}
    void Pouzit() override;

    MV_BEGIN_MSG_MAP(DlgNastSmtpUcet)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_RANGE_HANDLER(IDC_SMTP_EMAIL, IDC_SMTP_HESLO, OnEdit)
    MV_COMMAND_HANDLER(IDC_SMTP_ZOBRAZIT, BN_CLICKED, OnZobrazit)
    MV_COMMAND_HANDLER(IDC_SMTP_UCTY, CBN_SELCHANGE, OnUcet)
    MV_COMMAND_ID_HANDLER(IDC_SMTP_IMPORT, OnImport)
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEdit(WORD kod, WORD, HWND, BOOL& zpracovano);
    LRESULT OnZobrazit(WORD, WORD, HWND, BOOL&);
    LRESULT OnUcet(WORD, WORD, HWND, BOOL&);
    LRESULT OnImport(WORD, WORD, HWND, BOOL&);
    void UkazatHeslo();
    const SdilenyUcetSmtp* VybranyUcet() const;
    void UkazatUcet();

    std::vector<SdilenyUcetSmtp> ucty_;
    wchar_t maska_ = L'*';
};

class DlgNastPrehravani : public StrankaNastaveni {
public:
    explicit DlgNastPrehravani(Konfigurace& k) : StrankaNastaveni(k, IDD_NAST_PREHRAVANI) {}
    void Pouzit() override;

    MV_BEGIN_MSG_MAP(DlgNastPrehravani)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_COMMAND_HANDLER(IDC_PREHRAVANI_ZPUSOB, CBN_SELCHANGE, OnZmena)
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZmena(WORD, WORD, HWND, BOOL&);
};

class DlgNastaveni : public mirvak::winapi::DialogImpl<DlgNastaveni> {
public:
    // The tree's pages: label, resource id, caption.
    struct PopisStranky {
        UINT nazev;
        UINT sablona;
        UINT titulek;
    };
    static const PopisStranky kStranky[8];

    DlgNastaveni(Konfigurace& k, HWND vlastnik, UINT prvniStranka);
    ~DlgNastaveni() override;

    // Copies every created page into the record, saves it, re-applies the
    // priority and tells the owner.
    void Pouzit();
    // The page of `sablona` when it was created, else null.
    StrankaNastaveni* Stranka(UINT sablona) const;
    // Shows the page of `sablona` (creating it on first use).
    void UkazatStranku(UINT sablona);
    RECT OblastStranky() const { return oblast_; }

    MV_BEGIN_MSG_MAP(DlgNastaveni)
    MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MV_MESSAGE_HANDLER(WM_STRANKA_ZMENENA, OnZmenaStranky)
    MV_COMMAND_ID_HANDLER(IDOK, OnOk)
    MV_COMMAND_ID_HANDLER(IDCANCEL, OnStorno)
    MV_COMMAND_ID_HANDLER(IDC_NAST_POUZIT, OnPouzit)
    MV_NOTIFY_HANDLER(IDC_NAST_STROM, TVN_SELCHANGEDW, OnVyberStromu)
    MV_NOTIFY_HANDLER(IDC_NAST_ODKAZ_FIRMA, NM_CLICK, OnOdkaz)
    MV_NOTIFY_HANDLER(IDC_NAST_ODKAZ_FIRMA, NM_RETURN, OnOdkaz)
    MV_END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnZmenaStranky(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOk(WORD, WORD, HWND, BOOL&);
    LRESULT OnStorno(WORD, WORD, HWND, BOOL&);
    LRESULT OnPouzit(WORD, WORD, HWND, BOOL&);
    LRESULT OnVyberStromu(int, NMHDR*, BOOL&);
    LRESULT OnOdkaz(int, NMHDR*, BOOL&);
    std::unique_ptr<StrankaNastaveni> VytvoritStranku(UINT sablona);

    Konfigurace& k_;
    HWND vlastnik_;
    UINT prvniStranka_;
    RECT oblast_{};
    std::vector<std::unique_ptr<StrankaNastaveni>> stranky_;
    bool priznakSeznamu_ = false;
    HWND tooltip_ = nullptr;
};

// The product name for titles: the host module's, else the version resource's.
std::wstring NazevProduktuAplikace();
// Gives a dialog the application's large and small icons.
void NastavitIkonyAplikace(HWND dialog);
