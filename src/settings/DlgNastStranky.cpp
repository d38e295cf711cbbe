// The smaller settings pages: start-up actions, event log, file naming, list
// of recordings, playback.
#include "settings/DlgNastaveni.h"

#include "app/Chyby.h"

#include <algorithm>

namespace {

// The longest silence the warning may wait for, in seconds.
constexpr UINT kMaxTicho = 3600;

} // namespace

// Check-list pages -------------------------------------------------------------

LRESULT StrankaSeznamBitu::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    plneni_ = true;
    HRESULT hr = seznam_.Attach(GetDlgItem(m_hWnd, idSeznamu_));
    if (FAILED(hr))
        FatalniChybaKod(hr);
    int pozice = 0;
    for (const Radek& r : radky_) {
        int index = 0;
        hr = seznam_.AddItem(r.text, pozice++, static_cast<LPARAM>(r.text), &index);
        if (FAILED(hr))
            FatalniChybaKod(hr);
        seznam_.SetCheck(index, (k_.*pole_ & r.bit) != 0);
    }
    plneni_ = false;
    return TRUE;
}

LRESULT StrankaSeznamBitu::OnZmenaPolozky(int, NMHDR* hlavicka, BOOL& zpracovano)
{
    auto* zmena = reinterpret_cast<NMLISTVIEW*>(hlavicka);
    if (hlavicka->idFrom != static_cast<UINT_PTR>(idSeznamu_)) {
        zpracovano = FALSE;
        return 0;
    }
    // Only a change of the check box (the state image) is a change of the setting.
    if ((zmena->uChanged & LVIF_STATE) &&
        ((zmena->uNewState ^ zmena->uOldState) & LVIS_STATEIMAGEMASK))
        OznamitZmenu();
    return 0;
}

void StrankaSeznamBitu::Pouzit()
{
    uint32_t hodnota = k_.*pole_;
    for (const Radek& r : radky_) {
        bool zaskrtnuto = false;
        if (SUCCEEDED(seznam_.GetCheckByData(static_cast<LPARAM>(r.text), zaskrtnuto)))
            hodnota = zaskrtnuto ? (hodnota | r.bit) : (hodnota & ~r.bit);
    }
    k_.*pole_ = hodnota;
}

DlgNastPoSpusteni::DlgNastPoSpusteni(Konfigurace& k)
    : StrankaSeznamBitu(k, IDD_NAST_PO_SPUSTENI, IDC_PO_SPUSTENI_SEZNAM, &Konfigurace::po_spusteni,
                        {{40015, 1}, {40011, 2}})
{
}

DlgNastZapisUdalosti::DlgNastZapisUdalosti(Konfigurace& k)
    : StrankaSeznamBitu(k, IDD_NAST_ZAPIS_UDALOSTI, IDC_UDALOSTI_SEZNAM, &Konfigurace::zapis_udalosti,
                        {{20030, 1}, {20031, 2}, {20032, 4}, {20033, 8}, {20034, 16}})
{
}

// File naming --------------------------------------------------------------------

LRESULT DlgNastSoubor::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    plneni_ = true;
    PridatPolozku(IDC_SOUBOR_ZPUSOB, NacistRetezec(IDS_JMENO_SEKUNDY), 2);
    PridatPolozku(IDC_SOUBOR_ZPUSOB, NacistRetezec(IDS_JMENO_MINUTY), 1);
    PridatPolozku(IDC_SOUBOR_ZPUSOB, NacistRetezec(IDS_JMENO_CISLOVANI), 0);
    VybratData(IDC_SOUBOR_ZPUSOB, k_.vytv_jmena);
    SetDlgItemTextW(m_hWnd, IDC_SOUBOR_JMENO, k_.soubor_jmeno.c_str());
    HRESULT hr = maximum_.Attach(GetDlgItem(m_hWnd, IDC_SOUBOR_MAX), k_.max_pocet_souboru);
    if (FAILED(hr))
        FatalniChybaKod(hr);
    Zaskrtnout(IDC_SOUBOR_PREPSAT, k_.soubor_parametry & 1);
    Zaskrtnout(IDC_SOUBOR_PREJMENOVAT, k_.soubor_parametry & 2);
    hr = ticho_.Attach(GetDlgItem(m_hWnd, IDC_SOUBOR_TICHO), std::min<uint32_t>(k_.varovani_ticho, kMaxTicho), 0,
                       kMaxTicho);
    if (FAILED(hr))
        FatalniChybaKod(hr);
    PovolitJmeno();
    plneni_ = false;
    return TRUE;
}

void DlgNastSoubor::PovolitJmeno()
{
    bool cislovani = VybranaData(IDC_SOUBOR_ZPUSOB, -1) == 0;
    EnableWindow(GetDlgItem(m_hWnd, IDC_SOUBOR_JMENO_POPIS), cislovani);
    EnableWindow(GetDlgItem(m_hWnd, IDC_SOUBOR_JMENO), cislovani);
}

LRESULT DlgNastSoubor::OnZpusob(WORD, WORD, HWND, BOOL&)
{
    PovolitJmeno();
    OznamitZmenu();
    return 0;
}

LRESULT DlgNastSoubor::OnZmena(WORD, WORD, HWND, BOOL&)
{
    OznamitZmenu();
    return 0;
}

void DlgNastSoubor::Pouzit()
{
    k_.vytv_jmena = static_cast<uint32_t>(VybranaData(IDC_SOUBOR_ZPUSOB, k_.vytv_jmena));
    k_.soubor_jmeno = TextPrvku(IDC_SOUBOR_JMENO);
    // An edit that holds no number in range keeps the last accepted value:
    // storing 0 would make every recording overwrite the same file.
    BOOL ok = FALSE;
    UINT hodnota = GetDlgItemInt(m_hWnd, IDC_SOUBOR_MAX, &ok, FALSE);
    if (!ok || hodnota < 1 || hodnota > 10000000)
        hodnota = maximum_.Value();
    k_.max_pocet_souboru = hodnota;
    uint32_t p = k_.soubor_parametry & ~3u;
    if (Zaskrtnuto(IDC_SOUBOR_PREPSAT))
        p |= 1;
    if (Zaskrtnuto(IDC_SOUBOR_PREJMENOVAT))
        p |= 2;
    k_.soubor_parametry = p;
    hodnota = GetDlgItemInt(m_hWnd, IDC_SOUBOR_TICHO, &ok, FALSE);
    k_.varovani_ticho = ok && hodnota <= kMaxTicho ? hodnota : ticho_.Value();
}

// List of recordings -------------------------------------------------------------

namespace {

struct BitSeznamu {
    int prvek;
    uint32_t bit;
};
constexpr BitSeznamu kBitySeznamu[] = {
    {IDC_SEZNAM_FORMATY, 1}, {IDC_SEZNAM_POTVRZENI, 2}, {IDC_SEZNAM_BEZ_PRIPONY, 4}, {IDC_SEZNAM_SLOZKA_PROFILU, 8}};

} // namespace

LRESULT DlgNastSeznamSouboru::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    plneni_ = true;
    for (const BitSeznamu& b : kBitySeznamu)
        Zaskrtnout(b.prvek, k_.seznam_souboru_parametry & b.bit);
    plneni_ = false;
    return TRUE;
}

LRESULT DlgNastSeznamSouboru::OnFormaty(WORD, WORD, HWND, BOOL&)
{
    priznakSeznamu_ = true;
    OznamitZmenu();
    return 0;
}

LRESULT DlgNastSeznamSouboru::OnZmena(WORD, WORD, HWND, BOOL&)
{
    OznamitZmenu();
    return 0;
}

void DlgNastSeznamSouboru::Pouzit()
{
    uint32_t p = k_.seznam_souboru_parametry;
    for (const BitSeznamu& b : kBitySeznamu)
        p = Zaskrtnuto(b.prvek) ? (p | b.bit) : (p & ~b.bit);
    k_.seznam_souboru_parametry = p;
}

// Playback --------------------------------------------------------------------

LRESULT DlgNastPrehravani::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    plneni_ = true;
    PridatPolozku(IDC_PREHRAVANI_ZPUSOB, NacistRetezec(IDS_PREHRAVAT_INTEGROVANY), 1);
    PridatPolozku(IDC_PREHRAVANI_ZPUSOB, NacistRetezec(IDS_PREHRAVAT_SYSTEMOVY), 0);
    VybratData(IDC_PREHRAVANI_ZPUSOB, k_.prehravac);
    plneni_ = false;
    return TRUE;
}

LRESULT DlgNastPrehravani::OnZmena(WORD, WORD, HWND, BOOL&)
{
    OznamitZmenu();
    return 0;
}

void DlgNastPrehravani::Pouzit()
{
    k_.prehravac = static_cast<uint32_t>(VybranaData(IDC_PREHRAVANI_ZPUSOB, k_.prehravac));
}
