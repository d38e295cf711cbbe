// The e-mail address book shared with the maker's contacts program
// ("kontakty.rxml", no header block), and its management dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Contact {
    std::wstring nazev;  // display name, unique without regard to letter case
    std::wstring jmeno;
    std::wstring prijmeni;
    std::wstring email;
    std::wstring telefon;
    std::wstring adresa;  // several lines
    std::wstring web;
    std::wstring msn;
    std::wstring skype;
    std::wstring icq;
    std::wstring informace;  // several lines
    std::wstring soubor_obrazek;
};

class ContactList {
public:
    // From the contacts store's file; 1 (empty list) when there is none yet.
    HRESULT Load();
    // Writes the list; a failed field write ends the save with its error.
    HRESULT Save() const;

    // First index whose name equals `nazev` without regard to case; -1 when none.
    int FindByName(const std::wstring& nazev) const;
    void Append(const Contact& contact) { polozky_.push_back(contact); }
    HRESULT RemoveAt(int index);
    void SortByName();
    Contact& At(int index) { return polozky_.at(static_cast<size_t>(index)); }
    const Contact& At(int index) const { return polozky_.at(static_cast<size_t>(index)); }
    int Count() const { return static_cast<int>(polozky_.size()); }
    void Clear() { polozky_.clear(); }

    // "Nový kontakt", or "Nový kontakt (n)" with the smallest free n from 2.
    std::wstring NewName() const;

    std::vector<Contact>& Items() { return polozky_; }
    const std::vector<Contact>& Items() const { return polozky_; }

private:
    std::vector<Contact> polozky_;
};


// The list dialog over `seznam` (141); modal, returns when closed.
INT_PTR SpustitDlgKontakty(HWND owner, ContactList& seznam);
// One contact (136) with its four pages; 1 OK, 2 Cancel, negative when it
// cannot open. `seznam` is where duplicate names are looked up.
INT_PTR SpustitDlgKontakt(HWND owner, Contact* kontakt, bool novy, const ContactList& seznam);
