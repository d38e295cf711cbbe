#include "email/SmtpUcty.h"

// Before anything that includes dshow.h, which hides the string functions.
#include <shlwapi.h>

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Handles.h"
#include "email/Smtp.h"
#include "email/mime/Checks.h"
#include "resources/resource.h"
#include "stores/DatovaSlozka.h"

#include "app/Pracovnici.h"
#include "mainwindow/IkonaOznameni.h"

namespace {

const RxmlStoreFormat<SmtpAccount>& Format()
{
    static const RxmlStoreFormat<SmtpAccount> format{
        L"smtp_ucty",
        L"smtp_ucet",
        {{L"email", &SmtpAccount::email},
         {L"heslo", &SmtpAccount::heslo},
         {L"id", &SmtpAccount::id},
         {L"jmeno", &SmtpAccount::jmeno},
         {L"server", &SmtpAccount::server}},
        &SmtpAccount::email};
    return format;
}

std::wstring TextPrvku(HWND dlg, int id)
{
    HWND prvek = GetDlgItem(dlg, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(prvek)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(prvek, text.data(), static_cast<int>(text.size()))));
    return text;
}

const wchar_t* NazevProduktu()
{
    return g_aplikace && !g_aplikace->nazevProduktu.empty() ? g_aplikace->nazevProduktu.c_str() : L"Tonbar";
}

void NastavitIkony(HWND dlg)
{
    if (!g_aplikace)
        return;
    SendMessageW(dlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_aplikace->velkaIkona));
    SendMessageW(dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_aplikace->malaIkona));
}

} // namespace

// ---------------------------------------------------------------------------
// SmtpAccountList

HRESULT SmtpAccountList::Load()
{
    return LoadStore(Uloziste::SmtpUcty, Format(), items);
}

HRESULT SmtpAccountList::Save() const
{
    return SaveStore(Uloziste::SmtpUcty, Format(), items);
}

int SmtpAccountList::Find(const std::wstring& email) const
{
    for (size_t i = 0; i < items.size(); ++i)
        if (StrCmpIW(items[i].email.c_str(), email.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------------------
// The test message

int SendTestMessage(const SmtpTestData& data, const std::atomic<bool>* zruseno)
{
    using namespace mirvak::email;
    SmtpMessage zprava;
    zprava.from = {data.account.jmeno, data.account.email};
    zprava.to.address = data.recipient;
    zprava.subject = data.subject;
    SmtpTextPart text;
    text.text = data.text;
    zprava.textParts.push_back(text);

    Smtp smtp;
    smtp.cancel = zruseno;
    if (!data.account.id.empty())
        smtp.userName = data.account.id;
    if (!data.account.heslo.empty())
        smtp.password = data.account.heslo;
    int vysledek = -1;
    if (smtp.Connect(data.account.server) == 1)
        vysledek = smtp.SendMail(zprava);
    smtp.Disconnect();
    SecureZeroMemory(smtp.password.data(), smtp.password.size() * sizeof(wchar_t));
    return vysledek;
}

// ---------------------------------------------------------------------------
// DlgSmtpUcet

INT_PTR DlgSmtpUcet::DoModal(HWND vlastnik)
{
    if (!ucet_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return DialogZaklad::DoModal(vlastnik, IDD_SMTP_UCET);
}

LRESULT DlgSmtpUcet::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    NastavitIkony(m_hWnd);
    SetWindowTextW(m_hWnd, NazevProduktu());
    if (SUCCEEDED(nadpis_.Attach(Item(IDC_SMTPU_NADPIS))))
        nadpis_.SetFaceName(L"Verdana");
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_EMAIL, ucet_->email.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_HESLO, ucet_->heslo.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_JMENO, ucet_->jmeno.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_ID, ucet_->id.c_str());
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_SERVER, ucet_->server.c_str());
    znakHesla_ = static_cast<wchar_t>(SendMessageW(Item(IDC_SMTPU_HESLO), EM_GETPASSWORDCHAR, 0, 0));
    mirvak::winapi::CentrovatDialog(m_hWnd);
    return TRUE;
}

LRESULT DlgSmtpUcet::OnZobrazitHeslo(WORD, WORD, HWND, BOOL&)
{
    HWND heslo = Item(IDC_SMTPU_HESLO);
    bool zobrazit = IsDlgButtonChecked(m_hWnd, IDC_SMTPU_ZOBRAZIT) == BST_CHECKED;
    SendMessageW(heslo, EM_SETPASSWORDCHAR, zobrazit ? 0 : znakHesla_, 0);
    RedrawWindow(heslo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    return 0;
}

LRESULT DlgSmtpUcet::OnOk(WORD, WORD, HWND, BOOL&)
{
    SmtpAccount ucet;
    ucet.email = TextPrvku(m_hWnd, IDC_SMTPU_EMAIL);
    ucet.heslo = TextPrvku(m_hWnd, IDC_SMTPU_HESLO);
    ucet.jmeno = TextPrvku(m_hWnd, IDC_SMTPU_JMENO);
    ucet.id = TextPrvku(m_hWnd, IDC_SMTPU_ID);
    ucet.server = TextPrvku(m_hWnd, IDC_SMTPU_SERVER);
    if (UINT chyba = kontrola_ ? kontrola_(ucet) : 0) {
        // The dialog stays open with what was typed; the address gets the focus.
        ZobrazitChybuId(chyba);
        if (::IsWindow(m_hWnd)) {
            HWND email = Item(IDC_SMTPU_EMAIL);
            SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(email), TRUE);
            SendMessageW(email, EM_SETSEL, 0, -1);
        }
        return 0;
    }
    *ucet_ = std::move(ucet);
    EndDialog(IDOK);
    return 0;
}

LRESULT DlgSmtpUcet::OnStorno(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}

// ---------------------------------------------------------------------------
// DlgSmtpUcty

DlgSmtpUcty::DlgSmtpUcty() = default;
// A test still running has its own copy of what it sends.
DlgSmtpUcty::~DlgSmtpUcty() = default;

INT_PTR DlgSmtpUcty::DoModal(HWND vlastnik)
{
    return DialogZaklad::DoModal(vlastnik, IDD_SMTP_UCTY);
}

bool DlgSmtpUcty::TestBezi() const
{
    return pracovnici::Bezi(pracovnici::Druh::TestSmtp);
}

LRESULT DlgSmtpUcty::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    NastavitIkony(m_hWnd);
    SetWindowTextW(m_hWnd, NazevProduktu());
    seznam_.Load();
    if (SUCCEEDED(nadpis_.Attach(Item(IDC_SMTPU_NADPIS))))
        nadpis_.SetFaceName(L"Verdana");
    hodnoty_[0].Attach(Item(IDC_SMTPU_SERVER));
    hodnoty_[1].Attach(Item(IDC_SMTPU_ID));
    hodnoty_[2].Attach(Item(IDC_SMTPU_JMENO));
    Naplnit({});
    mirvak::winapi::CentrovatDialog(m_hWnd);
    return TRUE;
}

void DlgSmtpUcty::Naplnit(const std::wstring& email)
{
    HWND seznam = Item(IDC_SMTPU_SEZNAM);
    SendMessageW(seznam, LB_RESETCONTENT, 0, 0);
    int vybrat = -1;
    for (size_t i = 0; i < seznam_.items.size(); ++i) {
        LRESULT radek =
            SendMessageW(seznam, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(seznam_.items[i].email.c_str()));
        if (radek < 0)
            continue;
        SendMessageW(seznam, LB_SETITEMDATA, static_cast<WPARAM>(radek), static_cast<LPARAM>(i));
        if (vybrat < 0 && !email.empty() && StrCmpIW(seznam_.items[i].email.c_str(), email.c_str()) == 0)
            vybrat = static_cast<int>(radek);
    }
    if (vybrat < 0 && !seznam_.items.empty())
        vybrat = 0;
    SendMessageW(seznam, LB_SETCURSEL, static_cast<WPARAM>(vybrat), 0);
    Podrobnosti();
}

int DlgSmtpUcty::VybranyIndex() const
{
    HWND seznam = Item(IDC_SMTPU_SEZNAM);
    LRESULT radek = SendMessageW(seznam, LB_GETCURSEL, 0, 0);
    if (radek < 0)
        return -1;
    LRESULT index = SendMessageW(seznam, LB_GETITEMDATA, static_cast<WPARAM>(radek), 0);
    if (index < 0 || static_cast<size_t>(index) >= seznam_.items.size())
        return -1;
    return static_cast<int>(index);
}

void DlgSmtpUcty::Podrobnosti()
{
    EnableWindow(Item(IDC_SMTPU_OTESTOVAT), FALSE);
    int index = VybranyIndex();
    bool vybran = index >= 0;
    EnableWindow(Item(IDC_SMTPU_ODSTRANIT), vybran);
    EnableWindow(Item(IDC_SMTPU_UPRAVIT), vybran);
    const SmtpAccount* ucet = vybran ? &seznam_.items[static_cast<size_t>(index)] : nullptr;
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_SERVER, ucet ? ucet->server.c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_ID, ucet ? ucet->id.c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_SMTPU_JMENO, ucet ? ucet->jmeno.c_str() : L"");
    if (ucet && mirvak::email::CheckSmtpServer(ucet->server.c_str()) == 0)
        EnableWindow(Item(IDC_SMTPU_OTESTOVAT), TRUE);
}

LRESULT DlgSmtpUcty::OnVyber(WORD, WORD, HWND, BOOL&)
{
    Podrobnosti();
    return 0;
}

LRESULT DlgSmtpUcty::OnPridat(WORD, WORD, HWND, BOOL&)
{
    std::wstring email;
    if (VstupTextu(email, MAKEINTRESOURCEW(20071)) != 0)
        return 0;
    if (email.empty() || mirvak::email::CheckEmailAddress(email.c_str()) != 0) {
        ZobrazitChybuId(20068);
        return 0;
    }
    if (seznam_.Find(email) >= 0) {
        ZobrazitChybuId(20072);
        return 0;
    }
    SmtpAccount ucet;
    ucet.email = email;
    // The address may be changed in the dialog: it is checked there, so that
    // a refusal keeps the rest of the edit.
    DlgSmtpUcet dialog(&ucet, [this](const SmtpAccount& a) -> UINT {
        if (mirvak::email::CheckEmailAddress(a.email.c_str()) != 0)
            return 20068;
        return seznam_.Find(a.email) >= 0 ? 20072 : 0;
    });
    if (dialog.DoModal(m_hWnd) != IDOK)
        return 0;
    // The dialog's loop may have changed the list (a restore): checked again.
    if (seznam_.Find(ucet.email) >= 0)
        return 0;
    seznam_.items.push_back(ucet);
    seznam_.Save();
    Naplnit(ucet.email);
    return 0;
}

LRESULT DlgSmtpUcty::OnUpravit(WORD, WORD, HWND, BOOL&)
{
    int index = VybranyIndex();
    if (index < 0) {
        MessageBeep(MB_ICONWARNING);
        return 0;
    }
    const std::wstring puvodni = seznam_.items[static_cast<size_t>(index)].email;
    SmtpAccount ucet = seznam_.items[static_cast<size_t>(index)];
    // A changed address gets the checks that adding makes, while the dialog
    // is open: a refusal keeps the user's other changes.
    DlgSmtpUcet dialog(&ucet, [this, puvodni](const SmtpAccount& a) -> UINT {
        if (StrCmpIW(a.email.c_str(), puvodni.c_str()) == 0)
            return 0;
        if (mirvak::email::CheckEmailAddress(a.email.c_str()) != 0)
            return 20068;
        return seznam_.Find(a.email) >= 0 ? 20072 : 0;
    });
    if (dialog.DoModal(m_hWnd) != IDOK)
        return 0;
    // The dialog's loop may have changed the list (a restore): the account
    // is found again by its address.
    int cil = seznam_.Find(puvodni);
    if (cil < 0 || (StrCmpIW(ucet.email.c_str(), puvodni.c_str()) != 0 && seznam_.Find(ucet.email) >= 0))
        return 0;
    seznam_.items[static_cast<size_t>(cil)] = ucet;
    seznam_.Save();
    Naplnit(ucet.email);
    return 0;
}

LRESULT DlgSmtpUcty::OnOdstranit(WORD, WORD, HWND, BOOL&)
{
    int index = VybranyIndex();
    if (index < 0) {
        MessageBeep(MB_ICONWARNING);
        return 0;
    }
    const SmtpAccount& ucet = seznam_.items[static_cast<size_t>(index)];
    if (!Otazka(NacistText(IDS_SMTPU_OTAZKA_ODEBRAT, ucet.email.c_str(), ucet.server.c_str()).c_str()))
        return 0;
    seznam_.items.erase(seznam_.items.begin() + index);
    seznam_.Save();
    Naplnit({});
    return 0;
}

LRESULT DlgSmtpUcty::OnOtestovat(WORD, WORD, HWND, BOOL&)
{
    int index = VybranyIndex();
    if (index < 0) {
        MessageBeep(MB_ICONWARNING);
        return 0;
    }
    SmtpAccount ucet = seznam_.items[static_cast<size_t>(index)];
    if (TestBezi()) {
        ZobrazitChybuId(20094);
        return 0;
    }
    if (ucet.server.empty()) {
        ZobrazitChybuId(20095);
        return 0;
    }
    std::wstring prijemce;
    if (VstupTextu(prijemce, MAKEINTRESOURCEW(20096)) != 0)
        return 0;
    if (mirvak::email::CheckEmailAddress(prijemce.c_str()) != 0) {
        ZobrazitChybuId(20068);
        return 0;
    }
    SmtpTestData data;
    data.account = ucet;
    data.recipient = prijemce;
    data.subject = NazevProduktu();
    data.text = NacistText(IDS_SMTPU_TEST_TEXT, NazevProduktu());
    HRESULT hr = pracovnici::Spustit(pracovnici::Druh::TestSmtp, [data](const pracovnici::Zruseni& zruseni) {
        int vysledek = SendTestMessage(data, zruseni.Priznak());
        if (zruseni.Zruseno())
            return;
        pracovnici::Hlaseni h;
        h.okno = true;
        h.text = vysledek == 0 ? NacistRetezec(20066) : NacistRetezec(IDS_SMTPU_TEST_CHYBA);
        h.druh = vysledek == 0 ? kBublinaInformace : kBublinaChyba;
        pracovnici::Ohlasit(std::move(h));
    });
    if (hr == S_FALSE)
        ZobrazitChybuId(20094);  // started meanwhile from the dialog's loop
    else if (FAILED(hr))
        ZobrazitChybu(TextKodu(hr).c_str());
    return 0;
}

LRESULT DlgSmtpUcty::OnZalohovat(WORD, WORD, HWND, BOOL&)
{
    BackupStoreFile(m_hWnd, Uloziste::SmtpUcty);
    return 0;
}

LRESULT DlgSmtpUcty::OnObnovit(WORD, WORD, HWND, BOOL&)
{
    RestoreStoreFile(m_hWnd, Uloziste::SmtpUcty, [this] {
        seznam_.Load();
        Naplnit({});
    });
    return 0;
}

LRESULT DlgSmtpUcty::OnZavrit(WORD, WORD, HWND, BOOL&)
{
    if (TestBezi() && !Otazka(NacistRetezec(IDS_SMTPU_ZAVRIT_OTAZKA).c_str()))
        return 0;
    EndDialog(IDOK);
    return 0;
}

HRESULT SpravovatSmtpUcty(HWND vlastnik)
{
    std::unique_ptr<mirvak::winapi::CriticalSectionLock> zamek;
    if (g_aplikace)
        zamek = std::make_unique<mirvak::winapi::CriticalSectionLock>(g_aplikace->cs);
    DlgSmtpUcty dialog;
    dialog.DoModal(IsWindow(vlastnik) ? vlastnik : GetActiveWindow());
    return S_OK;
}
