#include "stores/DlgFtpMisto.h"

#include "app/Chyby.h"
#include "ftp/DialogyFtp.h"
#include "ftp/DlgVyberSlozkyFtp.h"
#include "ftp/FtpPripojeni.h"
#include "resources/resource.h"

using mirvak::ftp::TextPrvku;

INT_PTR DlgFtpMisto::DoModal(HWND vlastnik)
{
    if (!misto_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return DialogZaklad::DoModal(vlastnik, IDD_FTP_MISTO);
}

LRESULT DlgFtpMisto::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    mirvak::ftp::NastavitIkonyDialogu(m_hWnd);
    SetWindowTextW(m_hWnd,
                   NacistText(IDS_FTP_TITULEK_MISTO, mirvak::ftp::NazevProduktuFtp(), misto_->nazev.c_str()).c_str());
    if (SUCCEEDED(nadpis_.Attach(Item(IDC_FTP_NADPIS))))
        nadpis_.SetFaceName(L"Verdana");
    znakHesla_ = static_cast<wchar_t>(SendMessageW(Item(IDC_FTP_HESLO), EM_GETPASSWORDCHAR, 0, 0));
    slozka_.Attach(Item(IDC_FTP_SLOZKA), misto_->slozka.c_str());
    SetDlgItemTextW(m_hWnd, IDC_FTP_SERVER, misto_->server.c_str());
    SetDlgItemTextW(m_hWnd, IDC_FTP_UZIVATEL, misto_->uzivatel.c_str());
    SetDlgItemTextW(m_hWnd, IDC_FTP_HESLO, misto_->heslo.c_str());
    CheckDlgButton(m_hWnd, IDC_FTP_PASIVNI, misto_->pasivni_rezim ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(Item(IDC_FTP_UZIVATEL), EM_SETCUEBANNER, FALSE,
                 reinterpret_cast<LPARAM>(NacistRetezec(IDS_FTP_CUE_UZIVATEL).c_str()));
    SendMessageW(Item(IDC_FTP_SERVER), EM_SETCUEBANNER, FALSE,
                 reinterpret_cast<LPARAM>(NacistRetezec(IDS_FTP_CUE_SERVER).c_str()));
    SendMessageW(Item(IDC_FTP_HESLO), EM_SETCUEBANNER, FALSE,
                 reinterpret_cast<LPARAM>(NacistRetezec(IDS_FTP_CUE_HESLO).c_str()));
    mirvak::winapi::CentrovatDialog(m_hWnd);
    return TRUE;
}

LRESULT DlgFtpMisto::OnProchazet(UINT, WPARAM, LPARAM, BOOL&)
{
    // What is typed now, not what is stored.
    std::wstring server = TextPrvku(m_hWnd, IDC_FTP_SERVER);
    std::wstring heslo = TextPrvku(m_hWnd, IDC_FTP_HESLO);
    std::wstring uzivatel = TextPrvku(m_hWnd, IDC_FTP_UZIVATEL);
    bool pasivni = IsDlgButtonChecked(m_hWnd, IDC_FTP_PASIVNI) == BST_CHECKED;
    mirvak::ftp::FtpPripojeni pripojeni;
    if (FAILED(mirvak::ftp::FtpConnect(pripojeni, server, uzivatel, heslo, pasivni)))
        return 0;
    mirvak::ftp::DlgVyberSlozkyFtp prohlizec(pripojeni.Spojeni());
    if (prohlizec.DoModal(GetActiveWindow()) == IDOK)
        SetDlgItemTextW(m_hWnd, IDC_FTP_SLOZKA, prohlizec.VybranaSlozka().c_str());
    return 0;
}

LRESULT DlgFtpMisto::OnZobrazitHeslo(WORD, WORD, HWND, BOOL&)
{
    HWND heslo = Item(IDC_FTP_HESLO);
    bool zobrazit = IsDlgButtonChecked(m_hWnd, IDC_FTP_ZOBRAZIT_HESLO) == BST_CHECKED;
    SendMessageW(heslo, EM_SETPASSWORDCHAR, zobrazit ? 0 : znakHesla_, 0);
    RedrawWindow(heslo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    return 0;
}

LRESULT DlgFtpMisto::OnOk(WORD, WORD, HWND, BOOL&)
{
    misto_->server = TextPrvku(m_hWnd, IDC_FTP_SERVER);
    misto_->uzivatel = TextPrvku(m_hWnd, IDC_FTP_UZIVATEL);
    misto_->heslo = TextPrvku(m_hWnd, IDC_FTP_HESLO);
    misto_->slozka = TextPrvku(m_hWnd, IDC_FTP_SLOZKA);
    misto_->pasivni_rezim = IsDlgButtonChecked(m_hWnd, IDC_FTP_PASIVNI) == BST_CHECKED;
    EndDialog(IDOK);
    return 0;
}

LRESULT DlgFtpMisto::OnStorno(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}
