#include "ftp/FtpPripojeni.h"

namespace mirvak::ftp {

bool ObsahujeKonecRadku(const std::wstring& text)
{
    return text.find_first_of(L"\r\n") != std::wstring::npos;
}

std::wstring CestaNaServeru(const std::wstring& slozka)
{
    std::wstring cesta = slozka;
    for (wchar_t& z : cesta) {
        if (z == L'\\')
            z = L'/';
    }
    return cesta;
}

HRESULT FtpConnect(FtpPripojeni& pripojeni, const std::wstring& server, const std::wstring& login,
                   const std::wstring& heslo, bool pasivni)
{
    pripojeni.Zavrit();
    if (ObsahujeKonecRadku(server) || ObsahujeKonecRadku(login) || ObsahujeKonecRadku(heslo))
        return E_INVALIDARG;
    pripojeni.internet_.Reset(InternetOpenW(L"MirvakKnihovnaDLL", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!pripojeni.internet_)
        return KodPosledniChyby();
    pripojeni.spojeni_.Reset(InternetConnectW(pripojeni.internet_.Get(), server.c_str(), INTERNET_DEFAULT_FTP_PORT,
                                              login.c_str(), heslo.c_str(), INTERNET_SERVICE_FTP,
                                              pasivni ? INTERNET_FLAG_PASSIVE : 0, 0));
    if (!pripojeni.spojeni_) {
        HRESULT hr = KodPosledniChyby();
        pripojeni.Zavrit();
        return hr;
    }
    return S_OK;
}

} // namespace mirvak::ftp
