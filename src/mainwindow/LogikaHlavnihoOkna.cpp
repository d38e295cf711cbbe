#include "mainwindow/LogikaHlavnihoOkna.h"

#include <shlwapi.h>

#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "mainwindow/IkonaOznameni.h"
#include "mainwindow/Prikazy.h"
#include "recording/ComboBoxZarizeniZvuk.h"
#include "resources/resource.h"

#include <algorithm>

using namespace prikaz;

namespace {

bool JePrikazSouboru(UINT id)
{
    switch (id) {
    case kPrejmenovat:
    case kUlozitJako:
    case kEmail:
    case kFtp:
    case kVlastnosti:
    case kOdstranit:
        return true;
    default:
        return false;
    }
}

} // namespace

StavPrikazu UrcitStavPrikazu(const StavHlavnihoOkna& s, UINT id)
{
    StavPrikazu st;
    switch (id) {
    case kPredvolby:
        st.povolen = !s.nahravaSe;
        break;
    // While a rename dialog is open the recording it names stays as it is.
    case kSpustit:
        st.povolen = !s.nahravaSe && !s.prejmenovani;
        break;
    case kSpustitProfil:
        st.povolen = !s.nahravaSe && s.pocetProfilu > 0 && !s.prejmenovani;
        break;
    case kSlozkaProfilu:
        st.povolen = s.pocetProfilu > 0;
        break;
    case kUkoncit:
    case kPrejmenovatNahravany:
        st.povolen = s.nahravaSe && !s.prejmenovani;
        break;
    case kPrepnoutZaznam:
        st.povolen = !s.prejmenovani;
        break;
    case kPrepnoutProfil:
        st.povolen = s.pocetProfilu > 0 && !s.nahravaSe;
        break;
    case kNavrchu:
        st.zaskrtnut = s.navrchu;
        break;
    case kSeznamSouboru:
        st.zaskrtnut = s.seznam;
        break;
    case kMaleIkony:
        st.zaskrtnut = s.toolbar == 1;
        break;
    case kVelkeIkony:
        st.zaskrtnut = s.toolbar == 2;
        break;
    case kPrehravac:
        st.zaskrtnut = s.prehravac;
        break;
    default:
        if (JePrikazSouboru(id)) {
            bool nahravany = s.nahravaSe && StrCmpIW(s.vybrany.c_str(), s.nahravany.c_str()) == 0;
            st.povolen = s.seznam && s.vybranySoubor && !nahravany;
        }
        break;
    }
    return st;
}

bool TlacitkoSkryto(const StavHlavnihoOkna& s, UINT id)
{
    if (id == kSpustit)
        return s.nahravaSe;
    if (id == kUkoncit)
        return !s.nahravaSe;
    return false;
}

const std::vector<UINT>& SpravovanePrikazy()
{
    static const std::vector<UINT> prikazy = {
        kPredvolby, kSpustit, kSpustitProfil, kSlozkaProfilu, kUkoncit, kPrejmenovatNahravany,
        kPrepnoutZaznam, kPrepnoutProfil, kNavrchu, kSeznamSouboru, kMaleIkony, kVelkeIkony, kPrehravac,
        kPrejmenovat, kUlozitJako, kEmail, kFtp, kVlastnosti, kOdstranit};
    return prikazy;
}

UINT PrikazGesta(const uint32_t (&akce)[8], bool ctrl, bool shift)
{
    if (ctrl && shift)
        return akce[2];
    if (ctrl)
        return akce[1];
    if (shift)
        return akce[3];
    return akce[0];
}

RozsahPrikazu RozlozitPrikaz(UINT id, int& index)
{
    // Compared as 16-bit unsigned after the offset, the way WM_COMMAND ids are.
    struct Rozsah {
        UINT zaklad;
        RozsahPrikazu druh;
    };
    static constexpr Rozsah rozsahy[] = {{kZakladZarizeni, RozsahPrikazu::kZarizeni},
                                         {kZakladZaznamProfilu, RozsahPrikazu::kZaznamPodleProfilu},
                                         {kZakladSlozkaProfilu, RozsahPrikazu::kSlozkaProfilu},
                                         {kZakladPrepnoutProfil, RozsahPrikazu::kPrepnoutProfil}};
    for (const Rozsah& r : rozsahy) {
        uint16_t posun = static_cast<uint16_t>(id - r.zaklad);
        if ((id & 0xFFFF) == id && posun < kVelikostRozsahu) {
            index = posun;
            return r.druh;
        }
    }
    index = -1;
    return RozsahPrikazu::kZadny;
}

UINT PrikazKlavesySeznamu(WORD vk, bool ctrl, bool shift)
{
    switch (vk) {
    case VK_DELETE:
        return ctrl || shift ? 0 : kOdstranit;
    case 'O':
        if (ctrl)
            return shift ? kOtevritSlozku : kPrehrat;
        return 0;
    case 'S':
        return ctrl && !shift ? kUlozitJako : 0;
    case VK_F2:
        if (shift)
            return 0;
        return ctrl ? kPrejmenovatNahravany : kPrejmenovat;
    case VK_F4:
        if (shift)
            return 0;
        return ctrl ? kVlastnosti : kPredvolby;
    default:
        return 0;
    }
}

int RegistrovatKlavesy(HWND okno, const HorkaKlavesa* klavesy, uint32_t pocet)
{
    int chyby = 0;
    for (uint32_t i = 0; i < pocet; ++i) {
        const HorkaKlavesa& h = klavesy[i];
        if (h.klavesa == 0)
            continue;
        if (!RegisterHotKey(okno, static_cast<int>(h.prikaz), h.modifikatory, h.klavesa))
            ++chyby;
    }
    return chyby;
}

int OdregistrovatKlavesy(HWND okno, const HorkaKlavesa* klavesy, uint32_t pocet)
{
    int chyby = 0;
    for (uint32_t i = 0; i < pocet; ++i) {
        const HorkaKlavesa& h = klavesy[i];
        if (h.klavesa == 0)
            continue;
        if (!UnregisterHotKey(okno, static_cast<int>(h.prikaz)))
            ++chyby;
    }
    return chyby;
}

std::wstring TextSelhaniKlaves(bool registrace, int pocet)
{
    return NacistText(registrace ? 20024 : 20025, pocet);
}

namespace {

void NahlasitSelhani(const Konfigurace& k, IkonaOznameni* ikona, bool registrace, int pocet)
{
    if (pocet == 0)
        return;
    std::wstring text = TextSelhaniKlaves(registrace, pocet);
    if (ikona)
        ikona->ZobrazitBublinu(text.c_str(), kBublinaChyba);  // cosmetic
    if (k.parametry & 1)
        ZapsatVarovani(text.c_str());
}

} // namespace

int HorkeKlavesy::Registrovat(HWND okno, const Konfigurace& k, IkonaOznameni* ikona)
{
    if (registrovany_)
        return 0;
    int chyby = RegistrovatKlavesy(okno, k.horke_klavesy, k.pocetHorkychKlaves);
    NahlasitSelhani(k, ikona, true, chyby);
    registrovany_ = true;
    return chyby;
}

int HorkeKlavesy::Odregistrovat(HWND okno, const Konfigurace& k, IkonaOznameni* ikona)
{
    if (!registrovany_)
        return 0;
    int chyby = OdregistrovatKlavesy(okno, k.horke_klavesy, k.pocetHorkychKlaves);
    NahlasitSelhani(k, ikona, false, chyby);
    registrovany_ = false;
    return chyby;
}

void Nabidka::Reset(HMENU m)
{
    if (m_ && !DestroyMenu(m_))
        FatalniChybaPosledni();
    m_ = m;
}

HMENU VytvoritNabidkuProfilu(const std::vector<ProfilZaznamuInfo>& profily, UINT zaklad)
{
    if (profily.empty())
        return nullptr;
    Nabidka popup(CreatePopupMenu());
    if (!popup.Get())
        return nullptr;
    size_t pocet = std::min<size_t>(profily.size(), kVelikostRozsahu);
    for (size_t i = 0; i < pocet; ++i) {
        if (!AppendMenuW(popup.Get(), MF_STRING, zaklad + static_cast<UINT>(i), profily[i].nazev.c_str()))
            return nullptr;
    }
    return popup.Release();
}

HRESULT NahraditPolozku(HMENU menu, UINT id, HMENU podnabidka, const wchar_t* text, bool povolit)
{
    if (GetMenuState(menu, id, MF_BYCOMMAND) == static_cast<UINT>(-1))
        return E_INVALIDARG;
    UINT flags = MF_BYCOMMAND | MF_STRING | (povolit ? MF_ENABLED : MF_GRAYED);
    if (podnabidka)
        flags |= MF_POPUP;
    UINT_PTR novy = podnabidka ? reinterpret_cast<UINT_PTR>(podnabidka) : id;
    if (!ModifyMenuW(menu, id, flags, novy, text))
        return KodPosledniChyby();
    return S_OK;
}

bool PovolitPodnabidku(HMENU menu, HMENU podnabidka, bool povolit)
{
    int pocet = GetMenuItemCount(menu);
    for (int i = 0; i < pocet; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (!sub)
            continue;
        if (sub == podnabidka) {
            EnableMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (povolit ? MF_ENABLED : MF_GRAYED));
            return true;
        }
        if (PovolitPodnabidku(sub, podnabidka, povolit))
            return true;
    }
    return false;
}

HMENU NacistPopup(HINSTANCE modul, UINT id)
{
    Nabidka koren(LoadMenuW(modul, MAKEINTRESOURCEW(id)));
    if (!koren.Get())
        return nullptr;
    HMENU popup = GetSubMenu(koren.Get(), 0);
    if (!popup || !RemoveMenu(koren.Get(), 0, MF_BYPOSITION))
        return nullptr;
    return popup;
}

namespace {

// Gives `popup` to `menu` at item `id`, or destroys it when the item refuses it.
void Vlozit(HMENU menu, UINT id, HMENU popup, const std::wstring& text, bool povolit = true)
{
    if (FAILED(NahraditPolozku(menu, id, popup, text.c_str(), povolit)) && popup)
        Nabidka zahodit(popup);
}

} // namespace

void PripojitNabidkuZarizeni(HMENU menu, const AudioCaptureDeviceList* zarizeni, const std::wstring& aktualni)
{
    MENUITEMINFOW polozka{};
    polozka.cbSize = sizeof polozka;
    polozka.fMask = MIIM_SUBMENU;
    if (!GetMenuItemInfoW(menu, kZarizeni, FALSE, &polozka))
        return;
    Nabidka stara(polozka.hSubMenu);
    HMENU nova = zarizeni ? BuildDeviceMenu(*zarizeni, kZakladZarizeni, aktualni) : nullptr;
    if (nova && SUCCEEDED(AttachDeviceMenu(menu, nova))) {
        EnableMenuItem(menu, kZarizeni, MF_BYCOMMAND | MF_ENABLED);
        return;  // the old submenu goes with `stara`
    }
    Nabidka zahodit(nova);
    polozka.hSubMenu = nullptr;
    if (!SetMenuItemInfoW(menu, kZarizeni, FALSE, &polozka))
        stara.Release();  // still attached: the menu destroys it
    EnableMenuItem(menu, kZarizeni, MF_BYCOMMAND | MF_GRAYED);
}

Nabidka VytvoritNabidkuIkony(HINSTANCE modul, const StavNabidkyIkony& s)
{
    Nabidka koren(LoadMenuW(modul, MAKEINTRESOURCEW(IDR_MENU_IKONA)));
    if (!koren.Get())
        FatalniChybaPosledni();
    HMENU menu = GetSubMenu(koren.Get(), 0);
    Vlozit(menu, kNapoveda, NacistPopup(modul, IDR_MENU_NAPOVEDA), NacistRetezec(kNapoveda));
    Vlozit(menu, kNastaveni, NacistPopup(modul, IDR_MENU_NASTAVENI), NacistRetezec(kNastaveni));
    CheckMenuItem(menu, kZobrazitSkryt, MF_BYCOMMAND | (s.viditelne ? MF_CHECKED : MF_UNCHECKED));
    if (s.nahravaSe) {
        for (UINT id : {kPredvolby, kSpustit, kSpustitProfil})
            EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
    } else {
        for (UINT id : {kPrejmenovatNahravany, kUkoncit})
            EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
    }
    PripojitNabidkuZarizeni(menu, s.zarizeni, s.aktualniZarizeni);
    HMENU profily = VytvoritNabidkuProfilu(s.profily, kZakladZaznamProfilu);
    if (profily)
        Vlozit(menu, kSpustitProfil, profily, NacistRetezec(20051), !s.nahravaSe);
    else
        DeleteMenu(menu, kSpustitProfil, MF_BYCOMMAND);
    return koren;
}

Nabidka VytvoritHlavniMenu(HINSTANCE modul, const std::vector<ProfilZaznamuInfo>& profily)
{
    Nabidka menu(LoadMenuW(modul, MAKEINTRESOURCEW(IDR_MENU_HLAVNI)));
    if (!menu.Get())
        FatalniChybaPosledni();
    HMENU nastroje = NacistPopup(modul, IDR_MENU_NASTROJE);
    HMENU napoveda = NacistPopup(modul, IDR_MENU_NAPOVEDA);
    if (!nastroje || !napoveda)
        FatalniChybaPosledni();
    AppendMenuW(menu.Get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(nastroje), NacistRetezec(20089).c_str());
    AppendMenuW(menu.Get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(napoveda), NacistRetezec(20002).c_str());
    Vlozit(menu.Get(), kNastaveni, NacistPopup(modul, IDR_MENU_NASTAVENI), NacistRetezec(20043));
    bool jsou = !profily.empty();
    // A popup cannot be empty and stay useful: without profiles the items stay plain and grey.
    Vlozit(menu.Get(), kSpustitProfil, VytvoritNabidkuProfilu(profily, kZakladZaznamProfilu), NacistRetezec(20051),
           jsou);
    Vlozit(menu.Get(), kSlozkaProfilu, VytvoritNabidkuProfilu(profily, kZakladSlozkaProfilu), NacistRetezec(20060),
           jsou);
    return menu;
}

void UplatnitStavyNaNabidku(HMENU menu, const StavHlavnihoOkna& s)
{
    int pocet = GetMenuItemCount(menu);
    const std::vector<UINT>& spravovane = SpravovanePrikazy();
    for (int i = 0; i < pocet; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            UplatnitStavyNaNabidku(sub, s);
            continue;
        }
        UINT id = GetMenuItemID(menu, i);
        if (id == static_cast<UINT>(-1) || std::find(spravovane.begin(), spravovane.end(), id) == spravovane.end())
            continue;
        StavPrikazu st = UrcitStavPrikazu(s, id);
        EnableMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (st.povolen ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (st.zaskrtnut ? MF_CHECKED : MF_UNCHECKED));
    }
}
