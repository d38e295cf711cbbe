// The built-in contacts dialogs: the list (DlgKontakty) and one contact
// (DlgKontakt) with its four pages.
#include "stores/ContactList.h"

#include "app/Chyby.h"
#include "app/IMirvakModul.h"
#include "controls/Edit.h"
#include "controls/Okno.h"
#include "controls/StaticNahledObrazku.h"
#include "controls/StaticText.h"
#include "mainwindow/UmisteniOkna.h"
#include "recording/DlgProfilyZaznamu.h"
#include "resources/resource.h"

#include <shlwapi.h>
#include <uxtheme.h>

#include <memory>

using namespace mirvak::winapi;

namespace {

constexpr UINT kZmenaStranky = WM_APP + 2006;

std::wstring TextOkna(HWND prvek)
{
    int delka = GetWindowTextLengthW(prvek);
    std::wstring text(static_cast<size_t>(delka) + 1, L'\0');
    int n = GetWindowTextW(prvek, text.data(), delka + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

const wchar_t* NazevProduktu()
{
    const wchar_t* nazev = mirvak::g_modul ? mirvak::g_modul->NazevProduktu() : nullptr;
    return nazev ? nazev : L"Tonbar";
}

// A dialog without a visible owner would open at the screen's corner.
void Umistit(HWND dialog)
{
    HWND vlastnik = GetWindow(dialog, GW_OWNER);
    if (!vlastnik || !IsWindowVisible(vlastnik))
        CenterWindow(dialog);
}

// One page of DlgKontakt: a modeless child dialog bound to the record.
class StrankaKontaktu : public DialogImpl<StrankaKontaktu> {
public:
    StrankaKontaktu(UINT sablona, Contact& kontakt, HWND dialog) : sablona_(sablona), kontakt_(kontakt), dialog_(dialog)
    {
    }

    MV_BEGIN_MSG_MAP(StrankaKontaktu)
        MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MV_COMMAND_CODE_HANDLER(EN_CHANGE, OnZmena)
        MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

    UINT Sablona() const { return sablona_; }

    // Writes the page's edits into the record.
    void Zapsat()
    {
        for (const Pole& p : Pole_())
            if (p.sablona == sablona_)
                kontakt_.*p.clen = TextOkna(Item(p.id));
    }

private:
    struct Pole {
        UINT sablona;
        int id;
        std::wstring Contact::*clen;
    };
    static const std::vector<Pole>& Pole_()
    {
        static const std::vector<Pole> pole{
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_JMENO, &Contact::jmeno},
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_PRIJMENI, &Contact::prijmeni},
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_EMAIL, &Contact::email},
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_TELEFON, &Contact::telefon},
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_WEB, &Contact::web},
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_MSN, &Contact::msn},
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_SKYPE, &Contact::skype},
            {IDD_KONTAKT_OBECNE, IDC_KONTAKT_ICQ, &Contact::icq},
            {IDD_KONTAKT_ADRESA, IDC_KONTAKT_ADRESA, &Contact::adresa},
            {IDD_KONTAKT_INFO, IDC_KONTAKT_INFORMACE, &Contact::informace},
            {IDD_KONTAKT_OBRAZEK, IDC_KONTAKT_OBRAZEK, &Contact::soubor_obrazek},
        };
        return pole;
    }

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        plneni_ = true;
        for (const Pole& p : Pole_())
            if (p.sablona == sablona_)
                SetDlgItemTextW(m_hWnd, p.id, (kontakt_.*p.clen).c_str());
        if (sablona_ == IDD_KONTAKT_OBRAZEK) {
            nahled_.Attach(Item(IDC_KONTAKT_NAHLED), kontakt_.soubor_obrazek.c_str());
            soubor_.Attach(Item(IDC_KONTAKT_OBRAZEK), kontakt_.soubor_obrazek.c_str());
        }
        plneni_ = false;
        return TRUE;
    }

    LRESULT OnZmena(WORD, WORD id, HWND, BOOL&)
    {
        if (plneni_)
            return 0;
        if (id == IDC_KONTAKT_OBRAZEK) {
            std::wstring cesta = TextOkna(Item(IDC_KONTAKT_OBRAZEK));
            if (PathFileExistsW(cesta.c_str()) && !PathIsDirectoryW(cesta.c_str()))
                nahled_.LoadPicture(cesta.c_str());
        }
        PostMessageW(dialog_, kZmenaStranky, 0, 0);
        return 0;
    }

    UINT sablona_;
    Contact& kontakt_;
    HWND dialog_;
    bool plneni_ = false;
    StaticNahledObrazku nahled_;
    EditSoubor soubor_;
};

class DlgKontakt : public DialogImpl<DlgKontakt> {
public:
    DlgKontakt(Contact& kontakt, bool novy, const ContactList& seznam) : kontakt_(kontakt), novy_(novy), seznam_(seznam)
    {
    }

    MV_BEGIN_MSG_MAP(DlgKontakt)
        MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MV_MESSAGE_HANDLER(kZmenaStranky, OnZmenaStranky)
        MV_NOTIFY_HANDLER(IDC_KONTAKT_STROM, TVN_SELCHANGEDW, OnVyberStranky)
        MV_COMMAND_HANDLER(IDC_KONTAKT_NAZEV, EN_CHANGE, OnZmenaNazvu)
        MV_COMMAND_ID_HANDLER(IDOK, OnOk)
        MV_COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
        MV_COMMAND_ID_HANDLER(IDC_KONTAKT_POUZIT, OnPouzit)
        MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    struct Polozka {
        UINT text;
        UINT sablona;
        UINT titulek;
    };
    static constexpr Polozka kPolozky[] = {
        {IDS_KONTAKT_STROM_OBECNE, IDD_KONTAKT_OBECNE, IDS_KONTAKT_STRANA_OBECNE},
        {IDS_KONTAKT_STROM_ADRESA, IDD_KONTAKT_ADRESA, IDS_KONTAKT_STRANA_ADRESA},
        {IDS_KONTAKT_STROM_INFO, IDD_KONTAKT_INFO, IDS_KONTAKT_STRANA_INFO},
        {IDS_KONTAKT_STROM_OBRAZEK, IDD_KONTAKT_OBRAZEK, IDS_KONTAKT_STRANA_OBRAZEK},
    };

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        NastavitIkonyDialogu(m_hWnd);
        plneni_ = true;
        SetDlgItemTextW(m_hWnd, IDC_KONTAKT_NAZEV, kontakt_.nazev.c_str());
        plneni_ = false;

        HWND strom = Item(IDC_KONTAKT_STROM);
        SetWindowTheme(strom, L"Explorer", nullptr);
        TreeView_DeleteAllItems(strom);
        HTREEITEM prvni = nullptr;
        for (const Polozka& p : kPolozky) {
            std::wstring text = NacistRetezec(p.text);
            TVINSERTSTRUCTW vlozeni{};
            vlozeni.hParent = TVI_ROOT;
            vlozeni.hInsertAfter = TVI_LAST;
            vlozeni.item.mask = TVIF_TEXT | TVIF_PARAM;
            vlozeni.item.pszText = text.data();
            vlozeni.item.lParam = static_cast<LPARAM>(p.sablona);
            HTREEITEM h = reinterpret_cast<HTREEITEM>(
                SendMessageW(strom, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&vlozeni)));
            if (!prvni)
                prvni = h;
        }
        for (HTREEITEM h = TreeView_GetRoot(strom); h; h = TreeView_GetNextSibling(strom, h))
            TreeView_Expand(strom, h, TVE_EXPAND);

        RECT r = ClientRect();
        RECT s{};
        GetWindowRect(strom, &s);
        r.left += (s.right - s.left) + 12;
        r.top += 37;
        r.right -= 5;
        r.bottom -= 50;
        oblast_ = r;

        Umistit(m_hWnd);
        TreeView_SelectItem(strom, prvni);
        if (!aktivni_)
            ZobrazitStranku(IDD_KONTAKT_OBECNE);
        EnableWindow(Item(IDC_KONTAKT_POUZIT), FALSE);
        if (novy_) {
            HWND nazev = Item(IDC_KONTAKT_NAZEV);
            SetFocus(nazev);
            SendMessageW(nazev, EM_SETSEL, 0, -1);
            return FALSE;
        }
        return TRUE;
    }

    void ZobrazitStranku(UINT sablona)
    {
        for (auto& s : stranky_)
            ShowWindow(s->Handle(), SW_HIDE);
        for (const Polozka& p : kPolozky)
            if (p.sablona == sablona)
                SetWindowTextW(m_hWnd, NacistText(IDS_KONTAKT_TITULEK, NacistRetezec(p.titulek).c_str()).c_str());
        StrankaKontaktu* stranka = nullptr;
        for (auto& s : stranky_)
            if (s->Sablona() == sablona)
                stranka = s.get();
        if (!stranka) {
            auto nova = std::make_unique<StrankaKontaktu>(sablona, kontakt_, m_hWnd);
            if (FAILED(nova->CreateModeless(m_hWnd, sablona)))
                return;
            SetWindowPos(nova->Handle(), nullptr, oblast_.left, oblast_.top, oblast_.right - oblast_.left,
                         oblast_.bottom - oblast_.top, SWP_NOZORDER | SWP_NOACTIVATE);
            stranka = nova.get();
            stranky_.push_back(std::move(nova));
        }
        ShowWindow(stranka->Handle(), SW_SHOW);
        aktivni_ = stranka;
    }

    LRESULT OnVyberStranky(int, NMHDR* hlavicka, BOOL&)
    {
        auto* info = reinterpret_cast<NMTREEVIEWW*>(hlavicka);
        if (info->itemNew.hItem)
            ZobrazitStranku(static_cast<UINT>(info->itemNew.lParam));
        return 0;
    }

    LRESULT OnZmenaStranky(UINT, WPARAM, LPARAM, BOOL&)
    {
        EnableWindow(Item(IDC_KONTAKT_POUZIT), TRUE);
        return 0;
    }

    LRESULT OnZmenaNazvu(WORD, WORD, HWND, BOOL&)
    {
        if (!plneni_)
            EnableWindow(Item(IDC_KONTAKT_POUZIT), TRUE);
        return 0;
    }

    void Pouzit()
    {
        std::wstring nazev = TextOkna(Item(IDC_KONTAKT_NAZEV));
        // Another contact's name, in any capitals, silently keeps the old one;
        // a change of capitals alone is not stored.
        if (_wcsicmp(nazev.c_str(), kontakt_.nazev.c_str()) != 0 && seznam_.FindByName(nazev) < 0)
            kontakt_.nazev = nazev;
        plneni_ = true;
        SetDlgItemTextW(m_hWnd, IDC_KONTAKT_NAZEV, kontakt_.nazev.c_str());
        plneni_ = false;
        EnableWindow(Item(IDC_KONTAKT_POUZIT), FALSE);
        for (auto& s : stranky_)
            s->Zapsat();
    }

    LRESULT OnOk(WORD, WORD, HWND, BOOL&)
    {
        Pouzit();
        EndDialog(IDOK);
        return 0;
    }

    LRESULT OnCancel(WORD, WORD, HWND, BOOL&)
    {
        EndDialog(IDCANCEL);
        return 0;
    }

    LRESULT OnPouzit(WORD, WORD, HWND, BOOL&)
    {
        Pouzit();
        return 0;
    }

    Contact& kontakt_;
    bool novy_;
    const ContactList& seznam_;
    bool plneni_ = false;
    RECT oblast_{};
    std::vector<std::unique_ptr<StrankaKontaktu>> stranky_;
    StrankaKontaktu* aktivni_ = nullptr;
};

class DlgKontakty : public DialogImpl<DlgKontakty> {
public:
    explicit DlgKontakty(ContactList& seznam) : seznam_(seznam) {}

    MV_BEGIN_MSG_MAP(DlgKontakty)
        MV_MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MV_COMMAND_ID_HANDLER(IDC_KONTAKTY_PRIDAT, OnPridat)
        MV_COMMAND_ID_HANDLER(IDC_KONTAKTY_UPRAVIT, OnUpravit)
        MV_COMMAND_ID_HANDLER(IDC_KONTAKTY_ODEBRAT, OnOdebrat)
        MV_COMMAND_ID_HANDLER(IDOK, OnZavrit)
        MV_COMMAND_ID_HANDLER(IDCANCEL, OnZavrit)
        MV_REFLECT_NOTIFICATIONS()
    MV_END_MSG_MAP()

private:
    HWND Seznam() const { return Item(IDC_KONTAKTY_SEZNAM); }

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        NastavitIkonyDialogu(m_hWnd);
        SetWindowTextW(m_hWnd, FormatovatText(L"%s", NazevProduktu()).c_str());
        if (SUCCEEDED(nadpis_.Attach(Item(IDC_KONTAKTY_NADPIS))))
            nadpis_.SetFaceName(L"Verdana");
        Umistit(m_hWnd);
        Naplnit(0);
        return TRUE;
    }

    void Naplnit(int vybrat)
    {
        HWND seznam = Seznam();
        SendMessageW(seznam, LB_RESETCONTENT, 0, 0);
        SendMessageW(seznam, WM_SETREDRAW, FALSE, 0);
        LRESULT zapamatovana = 0;
        for (int i = 0; i < seznam_.Count(); ++i) {
            LRESULT polozka =
                SendMessageW(seznam, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(seznam_.At(i).nazev.c_str()));
            if (polozka < 0)
                continue;
            SendMessageW(seznam, LB_SETITEMDATA, static_cast<WPARAM>(polozka), i);
            if (i == vybrat)
                zapamatovana = polozka;
        }
        SendMessageW(seznam, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(seznam, nullptr, TRUE);
        if (SendMessageW(seznam, LB_GETCOUNT, 0, 0) > 0)
            SendMessageW(seznam, LB_SETCURSEL, static_cast<WPARAM>(zapamatovana), 0);
    }

    // The list index of the selected entry; -1 without a valid one.
    int Vybrany() const
    {
        LRESULT polozka = SendMessageW(Seznam(), LB_GETCURSEL, 0, 0);
        if (polozka == LB_ERR)
            return -1;
        LRESULT index = SendMessageW(Seznam(), LB_GETITEMDATA, static_cast<WPARAM>(polozka), 0);
        return index >= 0 && index < seznam_.Count() ? static_cast<int>(index) : -1;
    }

    LRESULT OnPridat(WORD, WORD, HWND, BOOL&)
    {
        Contact novy;
        novy.nazev = seznam_.NewName();
        if (SpustitDlgKontakt(GetActiveWindow(), &novy, true, seznam_) != IDOK) {
            SetFocus(Seznam());
            return 0;
        }
        if (seznam_.FindByName(novy.nazev) < 0)
            seznam_.Append(novy);
        seznam_.SortByName();
        seznam_.Save();  // a failed save is not reported; the list keeps the change
        Naplnit(-1);
        if (SendMessageW(Seznam(), LB_SELECTSTRING, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(novy.nazev.c_str())) == LB_ERR)
            SendMessageW(Seznam(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetFocus(Seznam());
        return 0;
    }

    LRESULT OnUpravit(WORD, WORD, HWND, BOOL&)
    {
        int index = Vybrany();
        if (index < 0)
            return 0;
        Contact kopie = seznam_.At(index);
        if (SpustitDlgKontakt(GetActiveWindow(), &kopie, false, seznam_) == IDOK) {
            seznam_.At(index) = kopie;
            seznam_.Save();
            Naplnit(index);
        }
        SetFocus(Seznam());
        return 0;
    }

    LRESULT OnOdebrat(WORD, WORD, HWND, BOOL&)
    {
        int index = Vybrany();
        if (index < 0)
            return 0;
        if (Otazka(NacistRetezec(IDS_KONTAKT_OTAZKA_ODEBRAT).c_str())) {
            seznam_.RemoveAt(index);
            seznam_.Save();
            Naplnit(index < seznam_.Count() ? index : index - 1);
        }
        SetFocus(Seznam());
        return 0;
    }

    LRESULT OnZavrit(WORD, WORD id, HWND, BOOL&)
    {
        EndDialog(id);
        return 0;
    }

    ContactList& seznam_;
    StaticNadpisMaly nadpis_;
};

} // namespace

INT_PTR SpustitDlgKontakt(HWND owner, Contact* kontakt, bool novy, const ContactList& seznam)
{
    if (!kontakt)
        return E_FAIL;
    DlgKontakt dialog(*kontakt, novy, seznam);
    return dialog.DoModal(owner, IDD_KONTAKT);
}

INT_PTR SpustitDlgKontakty(HWND owner, ContactList& seznam)
{
    DlgKontakty dialog(seznam);
    return dialog.DoModal(owner, IDD_KONTAKTY);
}
