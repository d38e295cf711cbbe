#include "ftp/DlgOdeslaniNaFtp.h"

#include "app/Chyby.h"
#include "ftp/DialogyFtp.h"
#include "resources/resource.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace mirvak::ftp {

INT_PTR DlgOdeslaniNaFtp::DoModal(HWND vlastnik)
{
    // The file's link is a SysLink, which needs its class registered.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    return DialogZaklad::DoModal(vlastnik, IDD_ODESLANI_NA_FTP);
}

LRESULT DlgOdeslaniNaFtp::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    NastavitIkonyDialogu(m_hWnd);
    SetWindowTextW(m_hWnd, NacistText(20077, NazevProduktuFtp()).c_str());
    const wchar_t* jmeno = PathFindFileNameW(lokalniCesta_.c_str());
    SetDlgItemTextW(m_hWnd, IDC_FTP_ODKAZ, NacistText(IDS_FTP_ODKAZ_SOUBORU, jmeno).c_str());
    vzdaleneJmeno_ = jmeno;
    SetDlgItemTextW(m_hWnd, IDC_FTP_JMENO_SOUBORU, jmeno);
    if (SUCCEEDED(nadpis_.Attach(Item(IDC_FTP_NADPIS))))
        nadpis_.SetFaceName(L"Verdana");
    server_.Attach(Item(IDC_FTP_HODNOTA_SERVER));
    slozka_.Attach(Item(IDC_FTP_SLOZKA));
    uzivatel_.Attach(Item(IDC_FTP_HODNOTA_UZIVATEL));

    HWND combo = Item(IDC_FTP_MISTO);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < mista_.Count(); ++i) {
        LRESULT polozka = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mista_.At(i).nazev.c_str()));
        if (polozka >= 0)
            SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(polozka), i);
    }
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0)
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
    vybraneMisto_ = VybranaPolozka();
    ZobrazitVyber();
    winapi::CentrovatDialog(m_hWnd);
    return TRUE;
}

int DlgOdeslaniNaFtp::VybranaPolozka() const
{
    HWND combo = Item(IDC_FTP_MISTO);
    LRESULT vyber = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (vyber == CB_ERR)
        return -1;
    return static_cast<int>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(vyber), 0));
}

void DlgOdeslaniNaFtp::ZobrazitVyber()
{
    int index = VybranaPolozka();
    bool platne = mista_.Contains(index);
    SetDlgItemTextW(m_hWnd, IDC_FTP_HODNOTA_SERVER, platne ? mista_.At(index).server.c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_FTP_SLOZKA, platne ? mista_.At(index).slozka.c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_FTP_HODNOTA_UZIVATEL, platne ? mista_.At(index).uzivatel.c_str() : L"");
}

LRESULT DlgOdeslaniNaFtp::OnVyberMista(WORD, WORD, HWND, BOOL&)
{
    ZobrazitVyber();
    return 0;
}

LRESULT DlgOdeslaniNaFtp::OnOdkaz(int, NMHDR*, BOOL&)
{
    if (PathFileExistsW(lokalniCesta_.c_str()))
        ShellExecuteW(m_hWnd, L"open", lokalniCesta_.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    return 0;
}

LRESULT DlgOdeslaniNaFtp::OnOk(WORD, WORD, HWND, BOOL&)
{
    vzdaleneJmeno_ = TextPrvku(m_hWnd, IDC_FTP_JMENO_SOUBORU);
    if (SendMessageW(Item(IDC_FTP_MISTO), CB_GETCOUNT, 0, 0) > 0)
        vybraneMisto_ = VybranaPolozka();
    EndDialog(IDOK);
    return 0;
}

LRESULT DlgOdeslaniNaFtp::OnStorno(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}

} // namespace mirvak::ftp
