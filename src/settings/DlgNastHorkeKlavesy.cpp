// Settings page "Klávesové zkratky": the global hot keys, group by group.
#include "settings/DlgNastaveni.h"

#include "app/Chyby.h"

using namespace mirvak::winapi;

uint32_t ModifikatoryZHotkeyf(BYTE hotkeyf)
{
    uint32_t m = 0;
    if (hotkeyf & HOTKEYF_ALT)
        m |= MOD_ALT;
    if (hotkeyf & HOTKEYF_CONTROL)
        m |= MOD_CONTROL;
    if (hotkeyf & HOTKEYF_SHIFT)
        m |= MOD_SHIFT;
    return m;
}

BYTE HotkeyfZModifikatoru(uint32_t modifikatory)
{
    BYTE f = 0;
    if (modifikatory & MOD_ALT)
        f |= HOTKEYF_ALT;
    if (modifikatory & MOD_CONTROL)
        f |= HOTKEYF_CONTROL;
    if (modifikatory & MOD_SHIFT)
        f |= HOTKEYF_SHIFT;
    return f;
}

int NajitKolizi(const std::vector<HorkaKlavesa>& klavesy, size_t index, uint32_t modifikatory, uint32_t klavesa)
{
    if (klavesa == 0)
        return -1;
    for (size_t i = 0; i < klavesy.size(); ++i) {
        if (i == index || klavesy[i].klavesa == 0)
            continue;
        if (klavesy[i].klavesa == klavesa && klavesy[i].modifikatory == modifikatory)
            return static_cast<int>(i);
    }
    return -1;
}

std::wstring TextPrikazu(uint32_t prikaz)
{
    std::wstring text = NacistRetezec(prikaz);
    size_t konec = text.find_first_of(L"\r\n");
    if (konec != std::wstring::npos)
        text.resize(konec);
    if (text.empty() || text.back() != L'.')
        text += L'.';
    return text;
}

// The list ---------------------------------------------------------------------

HRESULT ListBoxHorkeKlavesy::Attach(HWND okno, const std::vector<HorkaKlavesa>* klavesy)
{
    HRESULT hr = SubclassWindow(okno);
    if (FAILED(hr))
        return hr;
    klavesy_ = klavesy;
    // The item height is asked before the dialog's procedure knows its object.
    Send(LB_SETITEMHEIGHT, 0, kVyskaPolozky);
    return S_OK;
}

void ListBoxHorkeKlavesy::Naplnit(uint32_t skupina)
{
    Send(LB_RESETCONTENT);
    for (size_t i = 0; klavesy_ && i < klavesy_->size(); ++i) {
        const HorkaKlavesa& h = (*klavesy_)[i];
        if (skupina != 0 && h.skupina != skupina)
            continue;
        std::wstring text = NacistRetezec(h.prikaz);
        size_t konec = text.find_first_of(L"\r\n");
        if (konec != std::wstring::npos)
            text.resize(konec);
        LRESULT p = Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (p < 0)
            FatalniChybaKod(E_FAIL);
        Send(LB_SETITEMDATA, static_cast<WPARAM>(p), static_cast<LPARAM>(i));
    }
    if (Send(LB_GETCOUNT) > 0)
        Send(LB_SETCURSEL, 0);
}

int ListBoxHorkeKlavesy::VybranyIndex() const
{
    LRESULT p = Send(LB_GETCURSEL);
    if (p == LB_ERR)
        return -1;
    return static_cast<int>(Send(LB_GETITEMDATA, static_cast<WPARAM>(p)));
}

LRESULT ListBoxHorkeKlavesy::OnDrawItem(UINT, WPARAM, LPARAM l, BOOL&)
{
    auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(l);
    if (di->itemID == static_cast<UINT>(-1))
        return TRUE;
    bool vybrana = (di->itemState & ODS_SELECTED) != 0;
    FillRect(di->hDC, &di->rcItem, GetSysColorBrush(vybrana ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(di->hDC, GetSysColor(vybrana ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    SetBkMode(di->hDC, TRANSPARENT);
    auto index = static_cast<size_t>(di->itemData);
    if (!klavesy_ || index >= klavesy_->size())
        return TRUE;
    const HorkaKlavesa& h = (*klavesy_)[index];
    constexpr UINT kFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    RECT r = di->rcItem;
    if (h.klavesa != 0)
        DrawTextW(di->hDC, L" *", -1, &r, kFormat);
    r.left += kOdsazeniTextu;
    std::wstring text = TextPrikazu(h.prikaz);
    DrawTextW(di->hDC, text.c_str(), -1, &r, kFormat | DT_END_ELLIPSIS);
    if (di->itemState & ODS_FOCUS)
        DrawFocusRect(di->hDC, &di->rcItem);
    return TRUE;
}

// The page ---------------------------------------------------------------------

LRESULT DlgNastHorkeKlavesy::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    plneni_ = true;
    klavesy_.assign(k_.horke_klavesy, k_.horke_klavesy + k_.pocetHorkychKlaves);
    HRESULT hr = seznam_.Attach(GetDlgItem(m_hWnd, IDC_HK_SEZNAM), &klavesy_);
    if (FAILED(hr))
        FatalniChybaKod(hr);
    PridatPolozku(IDC_HK_SKUPINA, NacistRetezec(20013), 0);
    PridatPolozku(IDC_HK_SKUPINA, NacistRetezec(20003), 20003);
    PridatPolozku(IDC_HK_SKUPINA, NacistRetezec(20022), 20022);
    SendDlgItemMessageW(m_hWnd, IDC_HK_SKUPINA, CB_SETDROPPEDWIDTH, 210, 0);
    SendDlgItemMessageW(m_hWnd, IDC_HK_SKUPINA, CB_SETCURSEL, 0, 0);
    seznam_.Naplnit(0);
    UkazatKlavesu();
    plneni_ = false;
    return TRUE;
}

void DlgNastHorkeKlavesy::UkazatKlavesu()
{
    int i = seznam_.VybranyIndex();
    WPARAM hodnota = 0;
    if (i >= 0 && static_cast<size_t>(i) < klavesy_.size()) {
        const HorkaKlavesa& h = klavesy_[static_cast<size_t>(i)];
        hodnota = MAKEWORD(static_cast<BYTE>(h.klavesa), HotkeyfZModifikatoru(h.modifikatory));
    }
    // Setting the control is no change of the user's.
    bool bylo = plneni_;
    plneni_ = true;
    SendDlgItemMessageW(m_hWnd, IDC_HK_KLAVESA, HKM_SETHOTKEY, hodnota, 0);
    plneni_ = bylo;
    EnableWindow(GetDlgItem(m_hWnd, IDC_HK_NASTAVIT), FALSE);
}

LRESULT DlgNastHorkeKlavesy::OnSkupina(WORD, WORD, HWND, BOOL&)
{
    seznam_.Naplnit(static_cast<uint32_t>(VybranaData(IDC_HK_SKUPINA, 0)));
    UkazatKlavesu();
    return 0;
}

LRESULT DlgNastHorkeKlavesy::OnVyber(WORD, WORD, HWND, BOOL&)
{
    UkazatKlavesu();
    return 0;
}

LRESULT DlgNastHorkeKlavesy::OnKlavesa(WORD, WORD, HWND, BOOL&)
{
    if (plneni_)
        return 0;
    EnableWindow(GetDlgItem(m_hWnd, IDC_HK_NASTAVIT), seznam_.VybranyIndex() >= 0);
    OznamitZmenu();
    return 0;
}

LRESULT DlgNastHorkeKlavesy::OnNastavit(WORD, WORD, HWND, BOOL&)
{
    int i = seznam_.VybranyIndex();
    if (i < 0 || static_cast<size_t>(i) >= klavesy_.size()) {
        MessageBeep(MB_ICONWARNING);
        return 0;
    }
    auto hodnota = static_cast<WORD>(SendDlgItemMessageW(m_hWnd, IDC_HK_KLAVESA, HKM_GETHOTKEY, 0, 0));
    uint32_t klavesa = LOBYTE(hodnota);
    uint32_t modifikatory = klavesa ? ModifikatoryZHotkeyf(HIBYTE(hodnota)) : 0;
    if (NajitKolizi(klavesy_, static_cast<size_t>(i), modifikatory, klavesa) >= 0) {
        ZobrazitChybuId(20015);
        UkazatKlavesu();
        return 0;
    }
    HorkaKlavesa& h = klavesy_[static_cast<size_t>(i)];
    h.klavesa = klavesa;
    h.modifikatory = modifikatory;
    EnableWindow(GetDlgItem(m_hWnd, IDC_HK_NASTAVIT), FALSE);
    InvalidateRect(seznam_.m_hWnd, nullptr, TRUE);
    OznamitZmenu();
    return 0;
}

LRESULT DlgNastHorkeKlavesy::OnVymazat(WORD, WORD, HWND, BOOL&)
{
    int i = seznam_.VybranyIndex();
    bool bylo = plneni_;
    plneni_ = true;
    SendDlgItemMessageW(m_hWnd, IDC_HK_KLAVESA, HKM_SETHOTKEY, 0, 0);
    plneni_ = bylo;
    if (i >= 0 && static_cast<size_t>(i) < klavesy_.size()) {
        klavesy_[static_cast<size_t>(i)].klavesa = 0;
        klavesy_[static_cast<size_t>(i)].modifikatory = 0;
        InvalidateRect(seznam_.m_hWnd, nullptr, TRUE);
    }
    EnableWindow(GetDlgItem(m_hWnd, IDC_HK_NASTAVIT), FALSE);
    OznamitZmenu();
    return 0;
}

void DlgNastHorkeKlavesy::Pouzit()
{
    // The page edits a copy; entries are matched by command, so a table that
    // changed size meanwhile still gets the right keys.
    for (const HorkaKlavesa& h : klavesy_) {
        for (uint32_t i = 0; i < k_.pocetHorkychKlaves; ++i) {
            if (k_.horke_klavesy[i].prikaz == h.prikaz) {
                k_.horke_klavesy[i].klavesa = h.klavesa;
                k_.horke_klavesy[i].modifikatory = h.modifikatory;
                break;
            }
        }
    }
}
