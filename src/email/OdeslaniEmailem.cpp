#include "email/OdeslaniEmailem.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "email/Smtp.h"
#include "email/mime/Checks.h"
#include "mainwindow/IkonaOznameni.h"
#include "resources/resource.h"
#include "stores/ContactList.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <memory>

EmailSendJob g_emailSendJob;

namespace {

ContactList* g_kontakty = nullptr;
void (*g_spravovatKontakty)(HWND) = nullptr;

std::wstring TextPrvku(HWND dlg, int id)
{
    HWND prvek = GetDlgItem(dlg, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(prvek)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(prvek, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring JmenoSouboru(const std::wstring& cesta)
{
    size_t lomitko = cesta.find_last_of(L"\\/");
    return lomitko == std::wstring::npos ? cesta : cesta.substr(lomitko + 1);
}

const wchar_t* NazevProduktu()
{
    return g_aplikace && !g_aplikace->nazevProduktu.empty() ? g_aplikace->nazevProduktu.c_str() : L"Tonbar";
}

std::wstring Seznam(const std::vector<std::wstring>& adresy)
{
    std::wstring text;
    for (const std::wstring& a : adresy)
        text += (text.empty() ? L"" : L", ") + a;
    return text;
}

// A system description without its closing full stop and line break.
std::wstring BezKonce(std::wstring popis)
{
    while (!popis.empty() && (popis.back() == L'\n' || popis.back() == L'\r' || popis.back() == L'.' ||
                              popis.back() == L' '))
        popis.pop_back();
    return popis;
}

} // namespace

void NastavitKontaktyEmailu(ContactList* seznam, void (*spravovat)(HWND))
{
    g_kontakty = seznam;
    g_spravovatKontakty = spravovat;
}

bool EmailSendRunning()
{
    return pracovnici::Bezi(pracovnici::Druh::Email);
}

bool WaitForEmailSend(DWORD milliseconds)
{
    return pracovnici::Pockat(pracovnici::Druh::Email, milliseconds);
}

HRESULT SendEmail(const EmailSendTask& task, const std::function<void(pracovnici::Hlaseni)>& ohlasit,
                  const std::atomic<bool>* zruseno)
{
    using namespace mirvak::email;
    const bool prubeh = task.zpravaIkona > 1;
    if (prubeh)
        ohlasit({NacistText(20082, JmenoSouboru(task.filePath).c_str(), task.recipient.c_str()), kBublinaInformace});

    SmtpMessage zprava;
    zprava.from = {task.account.jmeno, task.account.email};
    zprava.to.address = task.recipient;
    zprava.subject = L"Tonbar";
    for (const std::wstring& dalsi : task.further)
        zprava.bccList.push_back({L"", dalsi});
    SmtpTextPart text;
    text.text = NacistRetezec(IDS_EMAIL_TEXT_ZPRAVY);
    zprava.textParts.push_back(text);
    SmtpAttachment priloha;
    priloha.filePath = task.filePath;
    priloha.isInline = 1;
    zprava.attachments.push_back(priloha);

    // Composed (the recording read) before connecting: a recording that
    // cannot be read stops the message before anything is sent.
    std::string data;
    HRESULT hr = zprava.ComposeBytes(data);
    const bool chybaPrilohy = FAILED(hr) && hr != kEInvalidArg;
    std::vector<std::wstring> prijato, odmitnuto;
    if (SUCCEEDED(hr)) {
        Smtp smtp;
        smtp.cancel = zruseno;
        if (!task.account.id.empty())
            smtp.userName = task.account.id;
        if (!task.account.heslo.empty())
            smtp.password = task.account.heslo;
        if (smtp.Connect(task.account.server) == 0) {
            hr = E_FAIL;
        } else {
            int vysledek = smtp.SendMail(zprava, data);
            smtp.Disconnect();
            if (vysledek != 0)
                hr = E_INVALIDARG;
        }
        prijato = smtp.accepted;
        odmitnuto = smtp.refused;
        SecureZeroMemory(smtp.password.data(), smtp.password.size() * sizeof(wchar_t));
    }
    if (zruseno && zruseno->load())
        return E_ABORT;  // the program is closing: nobody to tell

    if (SUCCEEDED(hr)) {
        pracovnici::Hlaseni h;
        h.ulozitZobrazeni = task.ulozitZobrazeni;
        if (prubeh) {
            // Only the recipients the server took; a refused one is named as such.
            h.text = NacistText(20083, task.filePath.c_str(), Seznam(prijato).c_str());
            if (!odmitnuto.empty())
                h.text += L"\n" + NacistText(IDS_EMAIL_ODMITNUTI, Seznam(odmitnuto).c_str());
            h.druh = kBublinaInformace;
        }
        if (h.ulozitZobrazeni || !h.text.empty())
            ohlasit(std::move(h));
    } else {
        std::wstring popis;
        if (hr == kEFileTooLarge)
            popis = NacistText(IDS_EMAIL_PRILOHA_VELKA, static_cast<unsigned>(kMaxAttachmentBytes / (1024 * 1024)));
        else if (chybaPrilohy)
            popis = NacistText(IDS_EMAIL_PRILOHA_NECITELNA, BezKonce(TextKodu(hr)).c_str());
        else
            popis = TextKodu(hr);
        ohlasit({NacistText(20085, task.filePath.c_str(), task.recipient.c_str(), BezKonce(popis).c_str()),
                 kBublinaChyba});
    }
    return hr;
}

HRESULT StartEmailSend(HWND vlastnik, const std::wstring& cesta)
{
    if (cesta.empty())
        return S_FALSE;
    if (EmailSendRunning()) {
        ZobrazitChybuId(IDS_EMAIL_PROBIHA);
        return S_FALSE;
    }
    EmailSendJob& job = g_emailSendJob;
    job.filePath = cesta;
    job.recipient = g_konfigurace.prijemci_email;

    DlgOdeslaniEmailem dialog(job.recipient, g_konfigurace.prijemci_dalsi_emaily, job.filePath);
    if (dialog.DoModal(vlastnik ? vlastnik : GetActiveWindow()) != IDOK)
        return S_FALSE;
    // The dialog's loop may have let another command start a sending.
    if (EmailSendRunning()) {
        ZobrazitChybuId(IDS_EMAIL_PROBIHA);
        return S_FALSE;
    }
    job.recipient = dialog.prijemce;
    job.furtherText = dialog.dalsi;
    job.furtherList = mirvak::email::ParseRecipientList(job.furtherText);

    if (mirvak::email::CheckEmailAddress(job.recipient.c_str()) != 0) {
        ZobrazitChybuId(20086);
        return S_FALSE;
    }
    g_konfigurace.prijemci_email = job.recipient;
    if (mirvak::email::CheckEmailAddress(g_konfigurace.smtp_ucet.email.c_str()) != 0) {
        ZobrazitChybuId(20087);
        return S_FALSE;
    }
    if (mirvak::email::CheckSmtpServer(g_konfigurace.smtp_ucet.server.c_str()) != 0) {
        ZobrazitChybuId(20088);
        return S_FALSE;
    }

    // The worker gets its own copy of everything it reads.
    EmailSendTask task;
    task.account = g_konfigurace.smtp_ucet;
    task.recipient = job.recipient;
    task.filePath = job.filePath;
    task.further = job.furtherList;
    task.zpravaIkona = g_konfigurace.zprava_ikona;
    HRESULT hr = pracovnici::Spustit(pracovnici::Druh::Email, [task](const pracovnici::Zruseni& zruseni) {
        SendEmail(task, pracovnici::Ohlasit, zruseni.Priznak());
    });
    if (FAILED(hr))
        ZobrazitChybu(TextKodu(hr).c_str());
    return hr;
}

// ---------------------------------------------------------------------------
// DlgOdeslaniEmailem

INT_PTR DlgOdeslaniEmailem::DoModal(HWND vlastnik)
{
    return DialogZaklad::DoModal(vlastnik, IDD_ODESLANI_EMAILEM);
}

LRESULT DlgOdeslaniEmailem::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    if (g_aplikace) {
        SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_aplikace->velkaIkona));
        SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_aplikace->malaIkona));
    }
    SetWindowTextW(m_hWnd, NacistText(20080, NazevProduktu()).c_str());
    SetDlgItemTextW(m_hWnd, IDC_EMAIL_PRIJEMCE, prijemce.c_str());
    SetDlgItemTextW(m_hWnd, IDC_EMAIL_DALSI, dalsi.c_str());
    SetDlgItemTextW(m_hWnd, IDC_EMAIL_ODKAZ_SOUBOR,
                    NacistText(IDS_EMAIL_ODKAZ_SOUBOR, JmenoSouboru(cesta).c_str()).c_str());
    tooltip_ = mirvak::winapi::VytvoritTooltip(m_hWnd);
    if (tooltip_)
        mirvak::winapi::PridatTooltip(tooltip_, m_hWnd, IDC_EMAIL_ODKAZ_SOUBOR, cesta.c_str());
    NaplnitKontakty();
    mirvak::winapi::CentrovatDialog(m_hWnd);
    return TRUE;
}

void DlgOdeslaniEmailem::NaplnitKontakty()
{
    HWND combo = Item(IDC_EMAIL_KONTAKTY);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    if (!g_kontakty)
        return;
    for (int i = 0; i < g_kontakty->Count(); ++i) {
        LRESULT polozka =
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_kontakty->At(i).nazev.c_str()));
        if (polozka >= 0)
            SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(polozka), i);
    }
    if (g_kontakty->Count() > 0)
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

std::wstring DlgOdeslaniEmailem::EmailVybranehoKontaktu() const
{
    HWND combo = Item(IDC_EMAIL_KONTAKTY);
    LRESULT vyber = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (vyber < 0 || !g_kontakty)
        return {};
    LRESULT index = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(vyber), 0);
    if (index < 0 || index >= g_kontakty->Count())
        return {};
    return g_kontakty->At(static_cast<int>(index)).email;
}

LRESULT DlgOdeslaniEmailem::OnOdkazSoubor(int, NMHDR*, BOOL&)
{
    if (PathFileExistsW(cesta.c_str()))
        ShellExecuteW(m_hWnd, L"open", cesta.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    return 0;
}

LRESULT DlgOdeslaniEmailem::OnOdkazKontakty(int, NMHDR*, BOOL&)
{
    if (g_spravovatKontakty)
        g_spravovatKontakty(m_hWnd);
    // The contacts dialog may have re-sorted the list: the indexes change.
    NaplnitKontakty();
    return 0;
}

LRESULT DlgOdeslaniEmailem::OnPouzit(WORD, WORD, HWND, BOOL&)
{
    std::wstring email = EmailVybranehoKontaktu();
    if (!email.empty())
        SetDlgItemTextW(m_hWnd, IDC_EMAIL_PRIJEMCE, email.c_str());
    return 0;
}

LRESULT DlgOdeslaniEmailem::OnPridat(WORD, WORD, HWND, BOOL&)
{
    std::wstring email = EmailVybranehoKontaktu();
    if (email.empty())
        return 0;
    std::wstring text = TextPrvku(m_hWnd, IDC_EMAIL_DALSI);
    text += email + L"\r\n";
    SetDlgItemTextW(m_hWnd, IDC_EMAIL_DALSI, text.c_str());
    return 0;
}

LRESULT DlgOdeslaniEmailem::OnOk(WORD, WORD, HWND, BOOL&)
{
    dalsi = TextPrvku(m_hWnd, IDC_EMAIL_DALSI);
    prijemce = TextPrvku(m_hWnd, IDC_EMAIL_PRIJEMCE);
    EndDialog(IDOK);
    return 0;
}

LRESULT DlgOdeslaniEmailem::OnStorno(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}
