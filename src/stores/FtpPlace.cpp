#include "stores/FtpPlace.h"

#include "stores/DatovaSlozka.h"

#include <shlwapi.h>

namespace {

const RxmlStoreFormat<FtpPlace>& Format()
{
    static const RxmlStoreFormat<FtpPlace> format{
        L"ftp_mista",
        L"ftp_misto",
        {
            {L"heslo", &FtpPlace::heslo},
            {L"nazev", &FtpPlace::nazev},
            {L"pasivni_rezim", nullptr, &FtpPlace::pasivni_rezim},
            {L"server", &FtpPlace::server},
            {L"slozka", &FtpPlace::slozka},
            {L"uzivatel", &FtpPlace::uzivatel},
        },
        &FtpPlace::nazev,
    };
    return format;
}

} // namespace

HRESULT FtpPlaceList::Load()
{
    return LoadStore(Uloziste::FtpMista, Format(), mista_);
}

HRESULT FtpPlaceList::Save() const
{
    return SaveStore(Uloziste::FtpMista, Format(), mista_);
}

int FtpPlaceList::FindByName(const std::wstring& nazev) const
{
    for (int i = 0; i < Count(); ++i) {
        if (StrCmpIW(mista_[static_cast<size_t>(i)].nazev.c_str(), nazev.c_str()) == 0)
            return i;
    }
    return -1;
}

HRESULT FtpPlaceList::RemoveAt(int index)
{
    if (!Contains(index))
        return E_INVALIDARG;
    mista_.erase(mista_.begin() + index);
    return S_OK;
}

HRESULT FtpPlaceList::ReplaceAt(int index, const FtpPlace& misto)
{
    if (!Contains(index))
        return E_INVALIDARG;
    mista_[static_cast<size_t>(index)] = misto;
    return S_OK;
}
