#include "recording/DlgProfilyZaznamu.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "mainwindow/UmisteniOkna.h"
#include "media/dshow/WmProfiles.h"
#include "recording/SeznamProfiluKodovani.h"

#include <vector>

namespace mirvak::winapi {

namespace {

std::wstring TextPrvku(HWND prvek)
{
    std::vector<wchar_t> buffer(static_cast<size_t>(GetWindowTextLengthW(prvek)) + 1, L'\0');
    GetWindowTextW(prvek, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

const wchar_t* TitulekAplikace()
{
    const wchar_t* nazev = mirvak::g_modul ? mirvak::g_modul->NazevProduktu() : nullptr;
    return nazev ? nazev : L"";
}

// Dialogs whose owner is missing or hidden would open at the template's
// corner of the screen: they centre themselves instead.
void UmistitDialog(HWND dialog)
{
    HWND vlastnik = GetWindow(dialog, GW_OWNER);
    if (!vlastnik || !IsWindowVisible(vlastnik))
        CenterWindow(dialog);
}

bool JeOtevren = false;

} // namespace

void NastavitIkonyDialogu(HWND dialog)
{
    HICON velka = g_aplikace ? g_aplikace->velkaIkona : nullptr;
    HICON mala = g_aplikace ? g_aplikace->malaIkona : nullptr;
    // Shared icons belong to the system's cache: nobody destroys them.
    if (!velka)
        velka = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TONBAR), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    if (!mala)
        mala = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TONBAR), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             LR_SHARED));
    if (velka)
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(velka));
    if (mala)
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mala));
}

// ---- DlgProfilZaznamu ----

DlgProfilZaznamu::DlgProfilZaznamu(RecordingProfile& profile, AudioCaptureDeviceList& devices)
    : profil_(profile), zarizeni_(devices)
{
}

INT_PTR DlgProfilZaznamu::Run(HWND owner)
{
    chyba_ = S_OK;
    INT_PTR r = DoModal(owner, IDD_PROFIL_ZAZNAMU);
    if (r == -1 && SUCCEEDED(chyba_))
        chyba_ = KodPosledniChyby();
    return FAILED(chyba_) ? -1 : r;
}

LRESULT DlgProfilZaznamu::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    try {
        HRESULT hr = mirvak::media::CreateProfileManager(&manager_);
        if (FAILED(hr))
            VyhoditKod(hr);
        SetWindowTextW(m_hWnd, NacistText(IDS_PROFIL_ZAZNAMU_TITULEK, profil_.name.c_str()).c_str());
        NastavitIkonyDialogu(m_hWnd);
        if (SUCCEEDED(nadpis_.Attach(Item(IDC_PRZ_NADPIS))))
            nadpis_.SetFaceName(L"Verdana");
        hr = slozka_.Attach(Item(IDC_PRZ_SLOZKA), profil_.folder.c_str());
        if (FAILED(hr))
            VyhoditKod(hr);
        FillEncodingProfiles(Item(IDC_PRZ_KODOVANI), manager_.Get(), profil_.profileId);

        // The shared list is enumerated afresh, so it shows devices plugged in
        // since the start; everyone else's indexes into it are stale now.
        zarizeni_.Clear();
        zarizeniObnovena_ = true;
        zarizeni_.Enumerate();
        hr = comboZarizeni_.Attach(Item(IDC_PRZ_ZARIZENI));
        if (FAILED(hr))
            VyhoditKod(hr);
        comboZarizeni_.SetList(&zarizeni_);
        // A stored device that is not plugged in now is not swapped for the
        // first one behind the user's back: nothing is selected, and OK keeps
        // it unless another device is chosen.
        if (!comboZarizeni_.Fill(profil_.device) && !profil_.device.friendlyName.empty())
            SendDlgItemMessageW(m_hWnd, IDC_PRZ_ZARIZENI, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        UmistitDialog(m_hWnd);
    } catch (long code) {
        chyba_ = KodNeboFail(code);
        EndDialog(-1);
    }
    return TRUE;
}

LRESULT DlgProfilZaznamu::OnOk(WORD, WORD, HWND, BOOL&)
{
    std::wstring slozka = TextPrvku(Item(IDC_PRZ_SLOZKA));
    RecordingProfile zkouska;
    zkouska.folder = slozka;
    std::wstring cesta;
    SYSTEMTIME cas{};
    // A profile without a folder would record into the drive root.
    if (FAILED(ProfileRecordingFile(zkouska, cas, cesta))) {
        ZobrazitZpravuId(IDS_PROFIL_BEZ_SLOZKY, MB_ICONEXCLAMATION);
        SetFocus(Item(IDC_PRZ_SLOZKA));
        return 0;
    }
    AudioCaptureDevice zarizeni;
    if (comboZarizeni_.GetSelected(zarizeni) == S_OK)
        profil_.device = zarizeni;
    profil_.folder = slozka;
    GUID guid{};
    if (SelectedEncodingProfile(Item(IDC_PRZ_KODOVANI), guid) == S_OK)
        profil_.profileId = guid;
    EndDialog(IDOK);
    return 0;
}

LRESULT DlgProfilZaznamu::OnCancel(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}

// ---- DlgProfilyZaznamu ----

DlgProfilyZaznamu::DlgProfilyZaznamu(RecordingProfileStore& store, AudioCaptureDeviceList& devices,
                                     const Konfigurace& konfigurace)
    : store_(store), zarizeni_(devices), konfigurace_(konfigurace)
{
}

INT_PTR DlgProfilyZaznamu::Run(HWND owner)
{
    chyba_ = S_OK;
    INT_PTR r = DoModal(owner, IDD_PROFILY_ZAZNAMU);
    if (r == -1 && SUCCEEDED(chyba_))
        chyba_ = KodPosledniChyby();
    return FAILED(chyba_) ? -1 : r;
}

LRESULT DlgProfilyZaznamu::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    try {
        HRESULT hr = mirvak::media::CreateProfileManager(&manager_);
        if (FAILED(hr))
            VyhoditKod(hr);
        SetWindowTextW(m_hWnd, NacistText(IDS_PROFILY_ZAZNAMU_TITULEK, TitulekAplikace()).c_str());
        NastavitIkonyDialogu(m_hWnd);
        if (SUCCEEDED(nadpis_.Attach(Item(IDC_PRZ_NADPIS))))
            nadpis_.SetFaceName(L"Verdana");
        hodnotaZarizeni_.Attach(Item(IDC_PROFILY_ZARIZENI));
        hodnotaKodovani_.Attach(Item(IDC_PROFILY_KODOVANI));
        hodnotaSlozky_.Attach(Item(IDC_PRZ_SLOZKA));
        UmistitDialog(m_hWnd);
        FillList(L"");
    } catch (long code) {
        chyba_ = KodNeboFail(code);
        EndDialog(-1);
    }
    return TRUE;
}

void DlgProfilyZaznamu::FillList(const std::wstring& select)
{
    HWND seznam = Item(IDC_PROFILY_SEZNAM);
    SendMessageW(seznam, LB_RESETCONTENT, 0, 0);
    LRESULT vybrat = LB_ERR;
    for (int i = 0; i < store_.Count(); ++i) {
        const std::wstring& nazev = store_.At(i).name;
        LRESULT polozka = SendMessageW(seznam, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nazev.c_str()));
        if (polozka < 0)
            continue;
        SendMessageW(seznam, LB_SETITEMDATA, static_cast<WPARAM>(polozka), i);
        if (vybrat == LB_ERR && !select.empty() && lstrcmpiW(nazev.c_str(), select.c_str()) == 0)
            vybrat = polozka;
    }
    if (vybrat == LB_ERR && SendMessageW(seznam, LB_GETCOUNT, 0, 0) > 0)
        vybrat = 0;
    SendMessageW(seznam, LB_SETCURSEL, static_cast<WPARAM>(vybrat), 0);
    ShowSelected();
}

int DlgProfilyZaznamu::SelectedIndex() const
{
    HWND seznam = Item(IDC_PROFILY_SEZNAM);
    LRESULT polozka = SendMessageW(seznam, LB_GETCURSEL, 0, 0);
    if (polozka == LB_ERR)
        return -1;
    LRESULT index = SendMessageW(seznam, LB_GETITEMDATA, static_cast<WPARAM>(polozka), 0);
    if (index == LB_ERR || index < 0 || index >= store_.Count())
        return -1;
    return static_cast<int>(index);
}

void DlgProfilyZaznamu::ShowSelected()
{
    SetDlgItemTextW(m_hWnd, IDC_PRZ_SLOZKA, L"");
    SetDlgItemTextW(m_hWnd, IDC_PROFILY_ZARIZENI, L"");
    SetDlgItemTextW(m_hWnd, IDC_PROFILY_KODOVANI, L"");
    int i = SelectedIndex();
    if (i < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    const RecordingProfile& p = store_.At(i);
    SetDlgItemTextW(m_hWnd, IDC_PRZ_SLOZKA, p.folder.c_str());
    SetDlgItemTextW(m_hWnd, IDC_PROFILY_ZARIZENI, p.device.friendlyName.c_str());
    std::wstring nazev;
    if (SUCCEEDED(EncodingProfileName(manager_.Get(), p.profileId, nazev)))
        SetDlgItemTextW(m_hWnd, IDC_PROFILY_KODOVANI, nazev.c_str());
}

LRESULT DlgProfilyZaznamu::OnSelChange(WORD, WORD, HWND, BOOL&)
{
    ShowSelected();
    return 0;
}

bool DlgProfilyZaznamu::EditProfile(RecordingProfile& profile)
{
    DlgProfilZaznamu dlg(profile, zarizeni_);
    INT_PTR r = dlg.Run(m_hWnd);
    if (dlg.DevicesReenumerated())
        zarizeniObnovena_ = true;
    if (r == -1)
        ZobrazitChybu(TextKodu(dlg.Error()).c_str());
    return r == IDOK;
}

LRESULT DlgProfilyZaznamu::OnAdd(WORD, WORD, HWND, BOOL&)
{
    std::wstring nazev = NacistRetezec(IDS_NOVY_PROFIL);
    if (VstupTextu(nazev, MAKEINTRESOURCEW(IDS_ZADEJ_NAZEV_PROFILU), false,
                   static_cast<int>(kMaxDelkaNazvuProfilu)) != 0)
        return 0;
    if (FAILED(CheckProfileName(nazev))) {
        ZobrazitZpravuId(IDS_NEPLATNY_NAZEV_PROFILU, MB_ICONEXCLAMATION);
        return 0;
    }
    if (store_.Find(nazev) >= 0) {
        ZobrazitZpravuId(IDS_PROFIL_JIZ_EXISTUJE, MB_ICONEXCLAMATION);
        return 0;
    }
    RecordingProfile novy;
    novy.name = nazev;
    novy.folder = konfigurace_.slozka_data;
    // A defined start: the encoding profile the user records with now.
    novy.profileId = konfigurace_.profil;
    if (!EditProfile(novy))
        return 0;
    store_.Append(novy);
    zmeneno_ = true;
    store_.Save();
    FillList(nazev);
    return 0;
}

LRESULT DlgProfilyZaznamu::OnEdit(WORD, WORD, HWND, BOOL&)
{
    int i = SelectedIndex();
    if (i < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return 0;
    }
    RecordingProfile kopie = store_.At(i);
    if (!EditProfile(kopie))
        return 0;
    store_.At(i) = kopie;
    zmeneno_ = true;
    store_.Save();
    FillList(kopie.name);
    return 0;
}

LRESULT DlgProfilyZaznamu::OnRemove(WORD, WORD, HWND, BOOL&)
{
    int i = SelectedIndex();
    if (i < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return 0;
    }
    const std::wstring nazev = store_.At(i).name;
    std::wstring otazka = NacistText(IDS_OTAZKA_ODEBRAT_PROFIL, nazev.c_str());
    if (ZobrazitZpravu(otazka.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;
    store_.DeleteKey(nazev);
    store_.Erase(i);
    zmeneno_ = true;
    store_.Save();
    FillList(L"");
    return 0;
}

LRESULT DlgProfilyZaznamu::OnRename(WORD, WORD, HWND, BOOL&)
{
    int i = SelectedIndex();
    if (i < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return 0;
    }
    const std::wstring stary = store_.At(i).name;
    std::wstring novy = stary;
    if (VstupTextu(novy, MAKEINTRESOURCEW(IDS_ZADEJ_NOVY_NAZEV_PROFILU), false,
                   static_cast<int>(kMaxDelkaNazvuProfilu)) != 0)
        return 0;
    if (novy.empty() || lstrcmpiW(novy.c_str(), stary.c_str()) == 0)
        return 0;
    if (FAILED(CheckProfileName(novy))) {
        ZobrazitZpravuId(IDS_NEPLATNY_NAZEV_PROFILU, MB_ICONEXCLAMATION);
        return 0;
    }
    if (store_.Find(novy) >= 0) {
        ZobrazitZpravuId(IDS_PROFIL_JIZ_EXISTUJE, MB_ICONEXCLAMATION);
        return 0;
    }
    store_.DeleteKey(stary);
    store_.At(i).name = novy;
    zmeneno_ = true;
    store_.Save();
    FillList(novy);
    return 0;
}

LRESULT DlgProfilyZaznamu::OnClose(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDOK);
    return 0;
}

HRESULT SpravovatProfilyZaznamu(HWND owner, RecordingProfileStore& store, AudioCaptureDeviceList& devices,
                                VysledekProfiluZaznamu& vysledek, const Konfigurace* konfigurace)
{
    vysledek = {};
    if (JeOtevren)
        return S_FALSE;
    JeOtevren = true;
    DlgProfilyZaznamu dlg(store, devices, konfigurace ? *konfigurace : g_konfigurace);
    INT_PTR r = dlg.Run(owner);
    JeOtevren = false;
    vysledek.zarizeniObnovena = dlg.DevicesReenumerated();
    vysledek.profilyZmeneny = dlg.StoreChanged();
    if (r == -1) {
        ZobrazitChybu(TextKodu(dlg.Error()).c_str());
        return dlg.Error();
    }
    return S_OK;
}

} // namespace mirvak::winapi
