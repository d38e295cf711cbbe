#include "stores/DlgFtpMista.h"

// Before the application header: DirectShow's headers there hide the
// string functions of shlwapi.h.
#include <shlwapi.h>

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "ftp/DialogyFtp.h"
#include "resources/resource.h"
#include "stores/DatovaSlozka.h"
#include "stores/DlgFtpMisto.h"

INT_PTR DlgFtpMista::DoModal(HWND vlastnik)
{
    return DialogZaklad::DoModal(vlastnik, IDD_FTP_MISTA);
}

LRESULT DlgFtpMista::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    mirvak::ftp::NastavitIkonyDialogu(m_hWnd);
    SetWindowTextW(m_hWnd, FormatovatText(L"%s", mirvak::ftp::NazevProduktuFtp()).c_str());
    if (SUCCEEDED(nadpis_.Attach(Item(IDC_FTP_NADPIS))))
        nadpis_.SetFaceName(L"Verdana");
    server_.Attach(Item(IDC_FTP_SERVER));
    slozka_.Attach(Item(IDC_FTP_SLOZKA));
    uzivatel_.Attach(Item(IDC_FTP_UZIVATEL));
    NaplnitSeznam();
    mirvak::winapi::CentrovatDialog(m_hWnd);
    return TRUE;
}

void DlgFtpMista::NaplnitSeznam(const std::wstring& nazev)
{
    HWND seznam = Item(IDC_FTP_SEZNAM);
    SendMessageW(seznam, LB_RESETCONTENT, 0, 0);
    LRESULT vybrat = LB_ERR;
    for (int i = 0; i < mista_.Count(); ++i) {
        LRESULT polozka = SendMessageW(seznam, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mista_.At(i).nazev.c_str()));
        if (polozka < 0)
            continue;
        SendMessageW(seznam, LB_SETITEMDATA, static_cast<WPARAM>(polozka), i);
        if (!nazev.empty() && StrCmpIW(mista_.At(i).nazev.c_str(), nazev.c_str()) == 0)
            vybrat = polozka;
    }
    if (vybrat == LB_ERR && SendMessageW(seznam, LB_GETCOUNT, 0, 0) > 0)
        vybrat = 0;
    SendMessageW(seznam, LB_SETCURSEL, static_cast<WPARAM>(vybrat), 0);
    ZobrazitVyber();
}

int DlgFtpMista::VybraneMisto() const
{
    HWND seznam = Item(IDC_FTP_SEZNAM);
    LRESULT vyber = SendMessageW(seznam, LB_GETCURSEL, 0, 0);
    if (vyber == LB_ERR)
        return -1;
    int index = static_cast<int>(SendMessageW(seznam, LB_GETITEMDATA, static_cast<WPARAM>(vyber), 0));
    return mista_.Contains(index) ? index : -1;
}

void DlgFtpMista::ZobrazitVyber()
{
    int index = VybraneMisto();
    bool platne = index >= 0;
    EnableWindow(Item(IDC_FTP_ODSTRANIT), platne);
    EnableWindow(Item(IDC_FTP_UPRAVIT), platne);
    auto hodnota = [&](int id, const std::wstring FtpPlace::*pole) {
        SetDlgItemTextW(m_hWnd, id, platne ? FormatovatText(L"%s", (mista_.At(index).*pole).c_str()).c_str() : L"");
    };
    hodnota(IDC_FTP_SERVER, &FtpPlace::server);
    hodnota(IDC_FTP_SLOZKA, &FtpPlace::slozka);
    hodnota(IDC_FTP_UZIVATEL, &FtpPlace::uzivatel);
}

LRESULT DlgFtpMista::OnZmenaVyberu(WORD, WORD, HWND, BOOL&)
{
    ZobrazitVyber();
    return 0;
}

LRESULT DlgFtpMista::OnPridat(WORD, WORD, HWND, BOOL&)
{
    std::wstring nazev;
    if (VstupTextu(nazev, MAKEINTRESOURCEW(20075)) != 0)
        return 0;
    if (nazev.empty()) {
        ZobrazitChybuId(20076);
        return 0;
    }
    if (mista_.FindByName(nazev) >= 0) {
        ZobrazitChybuId(20074);
        return 0;
    }
    FtpPlace misto;
    misto.nazev = nazev;
    DlgFtpMisto dialog(&misto);
    if (dialog.DoModal(m_hWnd) != IDOK)
        return 0;
    if (mista_.FindByName(nazev) < 0)
        mista_.Append(misto);
    mista_.Save();  // a failed save is not reported; the list keeps the change
    NaplnitSeznam(nazev);
    return 0;
}

LRESULT DlgFtpMista::OnOdstranit(WORD, WORD, HWND, BOOL&)
{
    int index = VybraneMisto();
    if (index < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return 0;
    }
    const FtpPlace& misto = mista_.At(index);
    if (!Otazka(NacistText(IDS_FTP_OTAZKA_ODEBRAT, misto.server.c_str(), misto.uzivatel.c_str()).c_str()))
        return 0;
    mista_.RemoveAt(index);
    mista_.Save();
    NaplnitSeznam();
    return 0;
}

LRESULT DlgFtpMista::OnUpravit(WORD, WORD, HWND, BOOL&)
{
    int index = VybraneMisto();
    if (index < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return 0;
    }
    FtpPlace kopie = mista_.At(index);
    DlgFtpMisto dialog(&kopie);
    if (dialog.DoModal(m_hWnd) != IDOK)
        return 0;
    mista_.ReplaceAt(index, kopie);
    mista_.Save();
    NaplnitSeznam(kopie.nazev);
    return 0;
}

LRESULT DlgFtpMista::OnPrejmenovat(WORD, WORD, HWND, BOOL&)
{
    int index = VybraneMisto();
    if (index < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return 0;
    }
    FtpPlace misto = mista_.At(index);
    std::wstring nazev = misto.nazev;
    if (VstupTextu(nazev, MAKEINTRESOURCEW(20073)) != 0 || nazev.empty() ||
        StrCmpIW(nazev.c_str(), misto.nazev.c_str()) == 0)
        return 0;
    if (mista_.FindByName(nazev) >= 0) {
        ZobrazitChybuId(20074);
        return 0;
    }
    misto.nazev = nazev;
    mista_.ReplaceAt(index, misto);
    mista_.Save();
    NaplnitSeznam(nazev);
    return 0;
}

LRESULT DlgFtpMista::OnZalohovat(WORD, WORD, HWND, BOOL&)
{
    BackupStoreFile(m_hWnd, Uloziste::FtpMista);
    return 0;
}

LRESULT DlgFtpMista::OnObnovit(WORD, WORD, HWND, BOOL&)
{
    RestoreStoreFile(m_hWnd, Uloziste::FtpMista, [this] {
        mista_.Load();
        NaplnitSeznam();
    });
    return 0;
}

LRESULT DlgFtpMista::OnZavrit(WORD, WORD id, HWND, BOOL&)
{
    EndDialog(id);
    return 0;
}

HRESULT Aplikace::SpravovatFtpMista(HWND vlastnik)
{
    mirvak::winapi::CriticalSectionLock zamek(cs);
    DlgFtpMista dialog(ftpMista);
    dialog.DoModal(IsWindow(vlastnik) ? vlastnik : GetActiveWindow());
    return S_OK;
}
