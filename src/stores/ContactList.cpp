#include "stores/ContactList.h"

#include "app/Chyby.h"
#include "resources/resource.h"
#include "stores/DatovaSlozka.h"

#include <algorithm>

#include <shlwapi.h>

namespace {

const RxmlStoreFormat<Contact>& FormatKontaktu()
{
    static const RxmlStoreFormat<Contact> format{
        nullptr,
        L"kontakt",
        {{L"adresa", &Contact::adresa},
         {L"email", &Contact::email},
         {L"icq", &Contact::icq},
         {L"informace", &Contact::informace},
         {L"jmeno", &Contact::jmeno},
         {L"msn", &Contact::msn},
         {L"nazev", &Contact::nazev},
         {L"prijmeni", &Contact::prijmeni},
         {L"skype", &Contact::skype},
         {L"soubor_obrazek", &Contact::soubor_obrazek},
         {L"telefon", &Contact::telefon},
         {L"web", &Contact::web}},
        &Contact::nazev};
    return format;
}

} // namespace

HRESULT ContactList::Load() { return LoadStore(Uloziste::Kontakty, FormatKontaktu(), polozky_); }

HRESULT ContactList::Save() const { return SaveStore(Uloziste::Kontakty, FormatKontaktu(), polozky_); }

int ContactList::FindByName(const std::wstring& nazev) const
{
    for (size_t i = 0; i < polozky_.size(); ++i)
        if (StrCmpIW(polozky_[i].nazev.c_str(), nazev.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

HRESULT ContactList::RemoveAt(int index)
{
    if (index < 0 || index >= Count())
        return E_INVALIDARG;
    polozky_.erase(polozky_.begin() + index);
    return S_OK;
}

void ContactList::SortByName()
{
    std::stable_sort(polozky_.begin(), polozky_.end(), [](const Contact& a, const Contact& b) {
        return lstrcmpiW(a.nazev.c_str(), b.nazev.c_str()) < 0;
    });
}

std::wstring ContactList::NewName() const
{
    std::wstring nazev = NacistRetezec(IDS_KONTAKT_NOVY);
    for (int n = 2; FindByName(nazev) >= 0; ++n)
        nazev = NacistText(IDS_KONTAKT_NOVY_CISLO, n);
    return nazev;
}
