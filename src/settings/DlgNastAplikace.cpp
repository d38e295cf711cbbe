// Settings page "Aplikace": data folder, priority, sound, tray-icon gestures.
#include "settings/DlgNastaveni.h"

#include "app/Chyby.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

namespace {

struct Priorita {
    UINT text;
    uint32_t hodnota;
};
constexpr Priorita kPriority[] = {
    {IDS_PRIORITA_NIZKA, IDLE_PRIORITY_CLASS},          {IDS_PRIORITA_NIZSI, BELOW_NORMAL_PRIORITY_CLASS},
    {IDS_PRIORITA_NORMALNI, NORMAL_PRIORITY_CLASS},     {IDS_PRIORITA_VYSSI, ABOVE_NORMAL_PRIORITY_CLASS},
    {IDS_PRIORITA_VYSOKA, HIGH_PRIORITY_CLASS},         {IDS_PRIORITA_REALNY_CAS, REALTIME_PRIORITY_CLASS},
};

// Mouse gestures on the tray icon: row text and index into akce_ikona_hlavni.
struct Udalost {
    UINT text;
    int index;
};
constexpr Udalost kUdalosti[] = {{20008, 0}, {20009, 1}, {20010, 2}, {20011, 3}, {20012, 7}};

constexpr uint32_t kFunkce[] = {40008, 40010, 40011, 40012, 40013, 40009, 40014, 40015, 40002};

} // namespace

DlgNastAplikace::DlgNastAplikace(Konfigurace& k) : StrankaNastaveni(k, IDD_NAST_APLIKACE)
{
    std::copy(std::begin(k.akce_ikona_hlavni), std::end(k.akce_ikona_hlavni), akce_.begin());
}

LRESULT DlgNastAplikace::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    plneni_ = true;
    HRESULT hr = slozka_.Attach(GetDlgItem(m_hWnd, IDC_APL_SLOZKA), k_.slozka_data.c_str());
    if (FAILED(hr))
        FatalniChybaKod(hr);
    tooltip_ = mirvak::winapi::VytvoritTooltip(m_hWnd);
    if (tooltip_)
        mirvak::winapi::PridatTooltip(tooltip_, m_hWnd, IDC_APL_ODKAZ_SLOZKA, MAKEINTRESOURCEW(20007));

    for (const Priorita& p : kPriority)
        PridatPolozku(IDC_APL_PRIORITA, NacistRetezec(p.text), p.hodnota);
    VybratData(IDC_APL_PRIORITA, k_.process_priority);
    Zaskrtnout(IDC_APL_ZVUK, k_.parametry & 1);

    for (const Udalost& u : kUdalosti)
        PridatPolozku(IDC_APL_UDALOST_MYSI, NacistRetezec(u.text), u.index);
    SendDlgItemMessageW(m_hWnd, IDC_APL_UDALOST_MYSI, CB_SETCURSEL, 0, 0);
    for (uint32_t f : kFunkce)
        PridatPolozku(IDC_APL_FUNKCE, NacistRetezec(f), f);
    SendDlgItemMessageW(m_hWnd, IDC_APL_FUNKCE, CB_SETDROPPEDWIDTH, 400, 0);
    UkazatFunkci();
    plneni_ = false;
    return TRUE;
}

void DlgNastAplikace::UkazatFunkci()
{
    auto index = static_cast<size_t>(VybranaData(IDC_APL_UDALOST_MYSI, 0));
    VybratData(IDC_APL_FUNKCE, akce_[std::min<size_t>(index, akce_.size() - 1)]);
}

LRESULT DlgNastAplikace::OnZmena(WORD, WORD, HWND, BOOL&)
{
    OznamitZmenu();
    return 0;
}

LRESULT DlgNastAplikace::OnUdalost(WORD, WORD, HWND, BOOL&)
{
    UkazatFunkci();
    return 0;
}

LRESULT DlgNastAplikace::OnFunkce(WORD, WORD, HWND, BOOL&)
{
    auto index = static_cast<size_t>(VybranaData(IDC_APL_UDALOST_MYSI, -1));
    LPARAM funkce = VybranaData(IDC_APL_FUNKCE, 0);
    if (index < akce_.size() && funkce != 0) {
        akce_[index] = static_cast<uint32_t>(funkce);
        OznamitZmenu();
    }
    return 0;
}

LRESULT DlgNastAplikace::OnOdkaz(int, NMHDR*, BOOL&)
{
    std::wstring slozka = TextPrvku(IDC_APL_SLOZKA);
    if (!slozka.empty() && PathIsDirectoryW(slozka.c_str())) {
        const wchar_t* sloveso = (GetKeyState(VK_CONTROL) & 0x8000) ? L"explore" : L"open";
        ShellExecuteW(m_hWnd, sloveso, slozka.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    }
    return 0;
}

void DlgNastAplikace::Pouzit()
{
    k_.slozka_data = TextPrvku(IDC_APL_SLOZKA);
    k_.process_priority = static_cast<uint32_t>(VybranaData(IDC_APL_PRIORITA, k_.process_priority));
    k_.parametry = (k_.parametry & ~1u) | (Zaskrtnuto(IDC_APL_ZVUK) ? 1u : 0u);
    std::copy(akce_.begin(), akce_.end(), std::begin(k_.akce_ikona_hlavni));
}
