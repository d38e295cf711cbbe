// Settings page "SMTP účet": the program's own sending account, with an
// import from the shared SMTP accounts.
#include "settings/DlgNastaveni.h"

#include "app/Chyby.h"
#include "stores/DatovaSlozka.h"

#include <shlwapi.h>

namespace {

// smtp_ucty.rxml as the shared accounts are kept (fields in element order).
const RxmlStoreFormat<SdilenyUcetSmtp>& FormatUctu()
{
    static const RxmlStoreFormat<SdilenyUcetSmtp> format{
        L"smtp_ucty",
        L"smtp_ucet",
        {{L"email", &SdilenyUcetSmtp::email},
         {L"heslo", &SdilenyUcetSmtp::heslo},
         {L"id", &SdilenyUcetSmtp::id},
         {L"jmeno", &SdilenyUcetSmtp::jmeno},
         {L"server", &SdilenyUcetSmtp::server}},
        &SdilenyUcetSmtp::email};
    return format;
}

} // namespace

HRESULT NacistSdileneSmtpUcty(std::vector<SdilenyUcetSmtp>& ucty)
{
    return LoadStore(Uloziste::SmtpUcty, FormatUctu(), ucty);
}

LRESULT DlgNastSmtpUcet::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    plneni_ = true;
    SetDlgItemTextW(m_hWnd, IDC_SMTP_EMAIL, k_.smtp_ucet.email.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_JMENO, k_.smtp_ucet.jmeno.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_SERVER, k_.smtp_ucet.server.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_ID, k_.smtp_ucet.id.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_HESLO, k_.smtp_ucet.heslo.c_str());
    auto maska = static_cast<wchar_t>(SendDlgItemMessageW(m_hWnd, IDC_SMTP_HESLO, EM_GETPASSWORDCHAR, 0, 0));
    if (maska)
        maska_ = maska;
    Zaskrtnout(IDC_SMTP_ZOBRAZIT, k_.smtp_ucet_parametry & 1);
    UkazatHeslo();

    // A store that cannot be read leaves the import list empty.
    if (FAILED(NacistSdileneSmtpUcty(ucty_)))
        ucty_.clear();
    int vybrat = ucty_.empty() ? -1 : 0;
    for (size_t i = 0; i < ucty_.size(); ++i) {
        int p = PridatPolozku(IDC_SMTP_UCTY, ucty_[i].email, static_cast<LPARAM>(i));
        (void)p;
        if (StrCmpIW(ucty_[i].email.c_str(), k_.smtp_ucet.email.c_str()) == 0)
            vybrat = static_cast<int>(i);
    }
    // The combo is not sorted, so item i is account i.
    SendDlgItemMessageW(m_hWnd, IDC_SMTP_UCTY, CB_SETCURSEL, static_cast<WPARAM>(vybrat), 0);
    UkazatUcet();
    plneni_ = false;
    return TRUE;
}

void DlgNastSmtpUcet::UkazatHeslo()
{
    wchar_t maska = Zaskrtnuto(IDC_SMTP_ZOBRAZIT) ? 0 : maska_;
    HWND heslo = GetDlgItem(m_hWnd, IDC_SMTP_HESLO);
    SendMessageW(heslo, EM_SETPASSWORDCHAR, maska, 0);
    InvalidateRect(heslo, nullptr, TRUE);
}

const SdilenyUcetSmtp* DlgNastSmtpUcet::VybranyUcet() const
{
    LPARAM i = VybranaData(IDC_SMTP_UCTY, -1);
    if (i < 0 || static_cast<size_t>(i) >= ucty_.size())
        return nullptr;
    return &ucty_[static_cast<size_t>(i)];
}

void DlgNastSmtpUcet::UkazatUcet()
{
    const SdilenyUcetSmtp* u = VybranyUcet();
    SetDlgItemTextW(m_hWnd, IDC_SMTP_UCET_SERVER, u ? u->server.c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_SMTP_UCET_ID, u ? u->id.c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_SMTP_UCET_JMENO, u ? u->jmeno.c_str() : L"");
}

LRESULT DlgNastSmtpUcet::OnEdit(WORD kod, WORD, HWND, BOOL& zpracovano)
{
    if (kod != EN_CHANGE) {
        zpracovano = FALSE;
        return 0;
    }
    OznamitZmenu();
    return 0;
}

LRESULT DlgNastSmtpUcet::OnZobrazit(WORD, WORD, HWND, BOOL&)
{
    UkazatHeslo();
    OznamitZmenu();
    return 0;
}

LRESULT DlgNastSmtpUcet::OnUcet(WORD, WORD, HWND, BOOL&)
{
    UkazatUcet();
    return 0;
}

LRESULT DlgNastSmtpUcet::OnImport(WORD, WORD, HWND, BOOL&)
{
    const SdilenyUcetSmtp* u = VybranyUcet();
    if (!u) {
        MessageBeep(MB_ICONWARNING);
        return 0;
    }
    // Copies first: setting the texts runs the change handler.
    SdilenyUcetSmtp ucet = *u;
    SetDlgItemTextW(m_hWnd, IDC_SMTP_EMAIL, ucet.email.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_HESLO, ucet.heslo.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_JMENO, ucet.jmeno.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_ID, ucet.id.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTP_SERVER, ucet.server.c_str());
    return 0;
}

void DlgNastSmtpUcet::Pouzit()
{
    k_.smtp_ucet.email = TextPrvku(IDC_SMTP_EMAIL);
    k_.smtp_ucet.jmeno = TextPrvku(IDC_SMTP_JMENO);
    k_.smtp_ucet.server = TextPrvku(IDC_SMTP_SERVER);
    k_.smtp_ucet.id = TextPrvku(IDC_SMTP_ID);
    k_.smtp_ucet.heslo = TextPrvku(IDC_SMTP_HESLO);
    k_.smtp_ucet_parametry = (k_.smtp_ucet_parametry & ~1u) | (Zaskrtnuto(IDC_SMTP_ZOBRAZIT) ? 1u : 0u);
}
