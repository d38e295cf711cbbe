#include "app/Konfigurace.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "resources/resource.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

using mirvak::winapi::CriticalSectionLock;
using mirvak::winapi::RegKey;

Konfigurace g_konfigurace;

namespace {

constexpr REGSAM kPristup = KEY_READ | KEY_WRITE;
constexpr uint32_t kVychoziAkceIkony[8] = {40008, 40009, 40009, 40009, 40002, 40009, 40002, 40009};

struct VychoziHorkaKlavesa {
    uint32_t prikaz, skupina;
};
constexpr VychoziHorkaKlavesa kVychoziHorkeKlavesy[] = {
    {40001, 20003}, {40002, 20003}, {40008, 20003}, {40011, 20022}, {40013, 20022}, {40010, 20022}};

void Over(LSTATUS s)
{
    if (s != ERROR_SUCCESS)
        VyhoditKod(KodChyby(static_cast<DWORD>(s)));
}

// Reads values of one open key; a missing value keeps the field's default.
class Cteni {
public:
    explicit Cteni(HKEY key) : key_(key) {}

    void Dword(const wchar_t* nazev, uint32_t& pole)
    {
        BYTE data[4] = {};
        DWORD velikost = sizeof data;
        LSTATUS s = RegQueryValueExW(key_, nazev, nullptr, nullptr, data, &velikost);
        if (s == ERROR_FILE_NOT_FOUND)
            return;
        Over(s);
        std::memcpy(&pole, data, sizeof pole);
    }

    void Bool(const wchar_t* nazev, bool& pole)
    {
        uint32_t hodnota = pole ? 1 : 0;
        Dword(nazev, hodnota);
        pole = hodnota != 0;
    }

    void Binarni(const wchar_t* nazev, void* pole, DWORD velikostPole)
    {
        std::vector<BYTE> data(velikostPole);
        std::memcpy(data.data(), pole, velikostPole);
        DWORD velikost = velikostPole;
        LSTATUS s = RegQueryValueExW(key_, nazev, nullptr, nullptr, data.data(), &velikost);
        if (s == ERROR_FILE_NOT_FOUND)
            return;
        Over(s);
        // A shorter value fills only the first bytes.
        std::memcpy(pole, data.data(), velikost);
    }

    void Text(const wchar_t* nazev, std::wstring& pole)
    {
        DWORD typ = 0, velikost = 0;
        LSTATUS s = RegQueryValueExW(key_, nazev, nullptr, &typ, nullptr, &velikost);
        if (s == ERROR_FILE_NOT_FOUND)
            return;
        Over(s);
        if (typ != REG_SZ)
            VyhoditKod(KodChyby(ERROR_DATATYPE_MISMATCH));
        // Room for a terminator the stored data may lack.
        std::vector<wchar_t> text(velikost / sizeof(wchar_t) + 2, L'\0');
        DWORD precteno = velikost;
        Over(RegQueryValueExW(key_, nazev, nullptr, &typ, reinterpret_cast<BYTE*>(text.data()), &precteno));
        size_t znaku = std::min<size_t>(precteno / sizeof(wchar_t), text.size() - 1);
        text[znaku] = L'\0';
        pole.assign(text.data(), wcsnlen(text.data(), znaku));
    }

private:
    HKEY key_;
};

class Zapis {
public:
    explicit Zapis(HKEY key) : key_(key) {}
    void Dword(const wchar_t* nazev, uint32_t hodnota)
    {
        Over(RegSetValueExW(key_, nazev, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&hodnota), sizeof hodnota));
    }
    void Bool(const wchar_t* nazev, bool hodnota) { Dword(nazev, hodnota ? 1 : 0); }
    void Binarni(const wchar_t* nazev, const void* data, DWORD velikost)
    {
        Over(RegSetValueExW(key_, nazev, 0, REG_BINARY, static_cast<const BYTE*>(data), velikost));
    }
    void Text(const wchar_t* nazev, const std::wstring& text)
    {
        Over(RegSetValueExW(key_, nazev, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    }

private:
    HKEY key_;
};

RegKey Vytvorit(HKEY rodic, const wchar_t* cesta)
{
    RegKey key;
    Over(RegCreateKeyExW(rodic, cesta, 0, nullptr, 0, kPristup, nullptr, key.Put(), nullptr));
    return key;
}

// Opens a sub-key for reading; an absent or unreadable one is skipped.
RegKey Otevrit(HKEY rodic, const wchar_t* cesta)
{
    RegKey key;
    if (RegOpenKeyExW(rodic, cesta, 0, kPristup, key.Put()) != ERROR_SUCCESS)
        key.Release();
    return key;
}

// Opens a key that may be missing: false when it does not exist, other
// failures are thrown.
bool OtevritExistujici(HKEY rodic, const wchar_t* cesta, RegKey& key)
{
    LSTATUS s = RegOpenKeyExW(rodic, cesta, 0, kPristup, key.Put());
    if (s == ERROR_SUCCESS)
        return true;
    key.Release();  // nothing was opened
    if (s == ERROR_FILE_NOT_FOUND)
        return false;
    Over(s);
    return false;
}

HorkaKlavesa* NajitHorkouKlavesu(Konfigurace& k, uint32_t prikaz)
{
    for (uint32_t i = 0; i < k.pocetHorkychKlaves; ++i)
        if (k.horke_klavesy[i].prikaz == prikaz)
            return &k.horke_klavesy[i];
    return nullptr;
}

void PridatKlavesu(Konfigurace& k, uint32_t prikaz, uint32_t skupina)
{
    HANDLE heap = GetProcessHeap();
    SIZE_T velikost = (k.pocetHorkychKlaves + 1) * sizeof(HorkaKlavesa);
    void* blok = k.horke_klavesy ? HeapReAlloc(heap, 0, k.horke_klavesy, velikost)
                                 : HeapAlloc(heap, 0, velikost);
    if (!blok)
        FatalniChybaKod(E_OUTOFMEMORY);
    k.horke_klavesy = static_cast<HorkaKlavesa*>(blok);
    k.horke_klavesy[k.pocetHorkychKlaves++] = HorkaKlavesa{0, 0, prikaz, skupina};
}

void ZapsatZobrazeni(HKEY hlavni, const Konfigurace& k)
{
    Zapis(hlavni).Dword(L"process_priority", k.process_priority);
    {
        RegKey prijemci = Vytvorit(hlavni, L"email\\prijemci");
        Zapis z(prijemci.Get());
        z.Text(L"email", k.prijemci_email);
        z.Text(L"dalsi_emaily", k.prijemci_dalsi_emaily);
    }
    {
        RegKey seznam = Vytvorit(hlavni, L"seznam_souboru");
        Zapis z(seznam.Get());
        z.Dword(L"parametry", k.seznam_souboru_parametry);
        z.Text(L"slozka", k.seznam_souboru_slozka);
    }
    RegKey zobrazit = Vytvorit(hlavni, L"zobrazit");
    Zapis z(zobrazit.Get());
    z.Bool(L"okno_navrchu", k.okno_navrchu);
    z.Bool(L"statusbar", k.statusbar);
    z.Dword(L"toolbar", k.toolbar);
    z.Dword(L"seznam_souboru", k.zobrazit_seznam_souboru);
}

void NacistHorkeKlavesyZ(HKEY hlavni, Konfigurace& k)
{
    RegKey klavesy;
    if (!OtevritExistujici(hlavni, L"horke_klavesy", klavesy))
        return;
    LSTATUS s;

    for (DWORD i = 0;; ++i) {
        wchar_t nazev[51];
        DWORD delka = 51;
        s = RegEnumValueW(klavesy.Get(), i, nazev, &delka, nullptr, nullptr, nullptr, nullptr);
        if (s == ERROR_NO_MORE_ITEMS)
            break;
        if (s == ERROR_MORE_DATA)
            continue;  // a name longer than any command id
        Over(s);
        if (delka == 0)
            continue;
        wchar_t* konec = nullptr;
        unsigned long prikaz = std::wcstoul(nazev, &konec, 10);
        // Only decimal command ids name entries; anything else is not ours.
        if (*konec != L'\0' || prikaz == 0 || prikaz > 0xFFFF)
            continue;
        if (!NajitHorkouKlavesu(k, static_cast<uint32_t>(prikaz)))
            PridatKlavesu(k, static_cast<uint32_t>(prikaz), 0);
    }

    for (uint32_t i = 0; i < k.pocetHorkychKlaves; ++i) {
        HorkaKlavesa& h = k.horke_klavesy[i];
        wchar_t nazev[16];
        _snwprintf(nazev, 16, L"%u", h.prikaz);
        uint32_t data[4] = {};
        DWORD velikost = sizeof data;
        if (RegQueryValueExW(klavesy.Get(), nazev, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &velikost) ==
            ERROR_SUCCESS) {
            h.modifikatory = data[0];
            h.klavesa = data[1];
            h.skupina = data[3];
        }
    }
}

void ZapsatHorkeKlavesy(HKEY hlavni, const Konfigurace& k)
{
    LSTATUS s = RegDeleteTreeW(hlavni, L"horke_klavesy");
    if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND)
        Over(s);
    RegKey klavesy = Vytvorit(hlavni, L"horke_klavesy");
    Zapis z(klavesy.Get());
    for (uint32_t i = 0; i < k.pocetHorkychKlaves; ++i) {
        wchar_t nazev[16];
        _snwprintf(nazev, 16, L"%u", k.horke_klavesy[i].prikaz);
        z.Binarni(nazev, &k.horke_klavesy[i], sizeof(HorkaKlavesa));
    }
}

} // namespace

void InicializovatKonfiguraci(Konfigurace& k)
{
    InitializeCriticalSection(&k.cs);
}

void VyprazdnitHorkeKlavesy(Konfigurace& k)
{
    if (k.horke_klavesy && !HeapFree(GetProcessHeap(), 0, k.horke_klavesy))
        FatalniChybaPosledni();
    k.horke_klavesy = nullptr;
    k.pocetHorkychKlaves = 0;
}

void UvolnitKonfiguraci(Konfigurace& k)
{
    VyprazdnitHorkeKlavesy(k);
    DeleteCriticalSection(&k.cs);
}

HRESULT PridatHorkouKlavesu(Konfigurace& k, uint32_t prikaz, uint32_t skupina, bool jenChybejici)
{
    CriticalSectionLock lock(k.cs);
    if (jenChybejici && NajitHorkouKlavesu(k, prikaz))
        return S_FALSE;
    PridatKlavesu(k, prikaz, skupina);
    return S_OK;
}

HRESULT NastavitVychozi(Konfigurace& k, const std::wstring& jmenoUzivatele, const AudioCaptureDevice* prvniZarizeni)
{
    CriticalSectionLock lock(k.cs);
    std::memcpy(k.akce_ikona_hlavni, kVychoziAkceIkony, sizeof k.akce_ikona_hlavni);
    k.parametry = 1;
    k.logovani = 0;
    k.po_spusteni = 0;
    k.process_priority = NORMAL_PRIORITY_CLASS;
    k.zapis_udalosti = 1;
    k.zprava_ikona = 2;
    k.prijemci_email.clear();
    k.prijemci_dalsi_emaily.clear();
    k.cekani_na_prehravac = 10000;
    k.prehravac = 1;
    k.seznam_souboru_parametry = 7;
    k.smtp_ucet = SmtpUcetKonfigurace{{}, {}, jmenoUzivatele, {}, {}};
    k.smtp_ucet_parametry = 0;
    k.vytv_jmena = 2;
    k.soubor_jmeno = L"Záznam";
    k.max_pocet_souboru = 500;
    k.pocet_mist_cisla = 0;
    k.posledni_cislo = 1;
    k.soubor_parametry = 0;
    k.varovani_ticho = 30;
    k.profil = kVychoziProfil;
    k.soubor_prx.clear();
    k.vlastni_profil = false;
    k.zarizeni = prvniZarizeni ? *prvniZarizeni : AudioCaptureDevice{};
    k.okno_navrchu = false;
    k.statusbar = true;
    k.toolbar = 1;
    k.zobrazit_seznam_souboru = 1;

    VyprazdnitHorkeKlavesy(k);
    for (const auto& h : kVychoziHorkeKlavesy)
        PridatKlavesu(k, h.prikaz, h.skupina);

    PWSTR dokumenty = nullptr;
    HRESULT hr = SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &dokumenty);
    if (SUCCEEDED(hr)) {
        k.slozka_data = std::wstring(dokumenty) + L"\\Tonbar";
        CoTaskMemFree(dokumenty);
        int s = SHCreateDirectoryExW(nullptr, k.slozka_data.c_str(), nullptr);
        if (s != ERROR_SUCCESS && s != ERROR_ALREADY_EXISTS && s != ERROR_FILE_EXISTS)
            hr = KodChyby(static_cast<DWORD>(s));
    } else {
        CoTaskMemFree(dokumenty);
        k.slozka_data.clear();
    }
    k.seznam_souboru_slozka = k.slozka_data;
    if (FAILED(hr)) {
        ZobrazitChybuSystemu(IDS_CHYBA_DATOVA_SLOZKA, hr);
        return hr;
    }
    return S_OK;
}

HRESULT Nacist(Konfigurace& k)
{
    CriticalSectionLock lock(k.cs);
    try {
        RegKey hlavni;
        if (!OtevritExistujici(HKEY_CURRENT_USER, k.registrovaCesta.c_str(), hlavni))
            return S_FALSE;

        Cteni c(hlavni.Get());
        c.Binarni(L"akce_ikona_hlavni", k.akce_ikona_hlavni, sizeof k.akce_ikona_hlavni);
        c.Dword(L"parametry", k.parametry);
        c.Dword(L"logovani", k.logovani);
        c.Dword(L"po_spusteni", k.po_spusteni);
        c.Dword(L"process_priority", k.process_priority);
        c.Text(L"slozka_data", k.slozka_data);
        c.Dword(L"zapis_udalosti", k.zapis_udalosti);
        c.Dword(L"varovani_ticho", k.varovani_ticho);
        if (RegKey key = Otevrit(hlavni.Get(), L"email"))
            Cteni(key.Get()).Dword(L"zprava_ikona", k.zprava_ikona);
        if (RegKey key = Otevrit(hlavni.Get(), L"email\\prijemci")) {
            Cteni ck(key.Get());
            ck.Text(L"email", k.prijemci_email);
            ck.Text(L"dalsi_emaily", k.prijemci_dalsi_emaily);
        }
        if (RegKey key = Otevrit(hlavni.Get(), L"prehravani"))
            Cteni(key.Get()).Dword(L"prehravac", k.prehravac);
        if (RegKey key = Otevrit(hlavni.Get(), L"seznam_souboru")) {
            Cteni ck(key.Get());
            ck.Dword(L"parametry", k.seznam_souboru_parametry);
            ck.Text(L"slozka", k.seznam_souboru_slozka);
        }
        if (RegKey key = Otevrit(hlavni.Get(), L"smtp_ucet")) {
            Cteni ck(key.Get());
            ck.Text(L"email", k.smtp_ucet.email);
            ck.Text(L"heslo", k.smtp_ucet.heslo);
            ck.Text(L"jmeno", k.smtp_ucet.jmeno);
            ck.Text(L"id", k.smtp_ucet.id);
            ck.Text(L"server", k.smtp_ucet.server);
            ck.Dword(L"parametry", k.smtp_ucet_parametry);
        }
        if (RegKey key = Otevrit(hlavni.Get(), L"soubor")) {
            Cteni ck(key.Get());
            ck.Dword(L"vytv_jmena", k.vytv_jmena);
            ck.Text(L"jmeno", k.soubor_jmeno);
            ck.Dword(L"max_pocet_souboru", k.max_pocet_souboru);
            ck.Dword(L"pocet_mist_cisla", k.pocet_mist_cisla);
            ck.Dword(L"posledni_cislo", k.posledni_cislo);
            ck.Dword(L"parametry", k.soubor_parametry);
        }
        if (RegKey key = Otevrit(hlavni.Get(), L"wma")) {
            Cteni ck(key.Get());
            ck.Binarni(L"profil", &k.profil, sizeof k.profil);
            ck.Text(L"soubor_prx", k.soubor_prx);
            ck.Bool(L"vlastni_profil", k.vlastni_profil);
        }
        if (RegKey key = Otevrit(hlavni.Get(), L"zarizeni")) {
            Cteni ck(key.Get());
            ck.Text(L"friendly_name", k.zarizeni.friendlyName);
            ck.Text(L"device_path", k.zarizeni.devicePath);
        }
        if (RegKey key = Otevrit(hlavni.Get(), L"zobrazit")) {
            Cteni ck(key.Get());
            ck.Bool(L"okno_navrchu", k.okno_navrchu);
            ck.Bool(L"statusbar", k.statusbar);
            ck.Dword(L"toolbar", k.toolbar);
            ck.Dword(L"seznam_souboru", k.zobrazit_seznam_souboru);
        }
        NacistHorkeKlavesyZ(hlavni.Get(), k);
        return S_OK;
    } catch (long code) {
        HRESULT hr = KodNeboFail(code);
        ZobrazitChybuSystemu(IDS_CHYBA_NACTENI_KONFIGURACE, hr);
        return hr;
    }
}

HRESULT Ulozit(Konfigurace& k)
{
    CriticalSectionLock lock(k.cs);
    try {
        RegKey hlavni = Vytvorit(HKEY_CURRENT_USER, k.registrovaCesta.c_str());
        Zapis z(hlavni.Get());
        z.Binarni(L"akce_ikona_hlavni", k.akce_ikona_hlavni, sizeof k.akce_ikona_hlavni);
        z.Dword(L"parametry", k.parametry);
        z.Dword(L"logovani", k.logovani);
        z.Dword(L"po_spusteni", k.po_spusteni);
        z.Dword(L"process_priority", k.process_priority);
        z.Text(L"slozka_data", k.slozka_data);
        z.Dword(L"zapis_udalosti", k.zapis_udalosti);
        z.Dword(L"varovani_ticho", k.varovani_ticho);
        Zapis(Vytvorit(hlavni.Get(), L"email").Get()).Dword(L"zprava_ikona", k.zprava_ikona);
        ZapsatZobrazeni(hlavni.Get(), k);
        Zapis(Vytvorit(hlavni.Get(), L"prehravani").Get()).Dword(L"prehravac", k.prehravac);
        {
            RegKey key = Vytvorit(hlavni.Get(), L"smtp_ucet");
            Zapis zk(key.Get());
            zk.Text(L"email", k.smtp_ucet.email);
            zk.Text(L"heslo", k.smtp_ucet.heslo);
            zk.Text(L"jmeno", k.smtp_ucet.jmeno);
            zk.Text(L"id", k.smtp_ucet.id);
            zk.Text(L"server", k.smtp_ucet.server);
            zk.Dword(L"parametry", k.smtp_ucet_parametry);
        }
        {
            RegKey key = Vytvorit(hlavni.Get(), L"soubor");
            Zapis zk(key.Get());
            zk.Dword(L"vytv_jmena", k.vytv_jmena);
            zk.Text(L"jmeno", k.soubor_jmeno);
            zk.Dword(L"max_pocet_souboru", k.max_pocet_souboru);
            zk.Dword(L"pocet_mist_cisla", k.pocet_mist_cisla);
            zk.Dword(L"posledni_cislo", k.posledni_cislo);
            zk.Dword(L"parametry", k.soubor_parametry);
        }
        {
            RegKey key = Vytvorit(hlavni.Get(), L"wma");
            Zapis zk(key.Get());
            zk.Binarni(L"profil", &k.profil, sizeof k.profil);
            zk.Text(L"soubor_prx", k.soubor_prx);
            zk.Bool(L"vlastni_profil", k.vlastni_profil);
        }
        {
            RegKey key = Vytvorit(hlavni.Get(), L"zarizeni");
            Zapis zk(key.Get());
            zk.Text(L"friendly_name", k.zarizeni.friendlyName);
            zk.Text(L"device_path", k.zarizeni.devicePath);
        }
        ZapsatHorkeKlavesy(hlavni.Get(), k);
        return S_OK;
    } catch (long code) {
        HRESULT hr = KodNeboFail(code);
        ZobrazitChybuSystemu(IDS_CHYBA_ZAPIS_KONFIGURACE, hr);
        return hr;
    }
}

HRESULT UlozitZobrazeni(Konfigurace& k)
{
    CriticalSectionLock lock(k.cs);
    try {
        RegKey hlavni = Vytvorit(HKEY_CURRENT_USER, k.registrovaCesta.c_str());
        ZapsatZobrazeni(hlavni.Get(), k);
        return S_OK;
    } catch (long code) {
        HRESULT hr = KodNeboFail(code);
        ZobrazitChybuSystemu(IDS_CHYBA_ZAPIS_KONFIGURACE, hr);
        return hr;
    }
}

HRESULT UlozitPosledniCislo(Konfigurace& k)
{
    CriticalSectionLock lock(k.cs);
    try {
        RegKey hlavni = Vytvorit(HKEY_CURRENT_USER, k.registrovaCesta.c_str());
        RegKey soubor = Vytvorit(hlavni.Get(), L"soubor");
        Zapis(soubor.Get()).Dword(L"posledni_cislo", k.posledni_cislo);
        return S_OK;
    } catch (long code) {
        HRESULT hr = KodNeboFail(code);
        ZobrazitChybuId(IDS_CHYBA_ZAPIS_KONFIGURACE);
        return hr;
    }
}

HRESULT NacistHorkeKlavesy(Konfigurace& k)
{
    CriticalSectionLock lock(k.cs);
    try {
        RegKey hlavni;
        if (!OtevritExistujici(HKEY_CURRENT_USER, k.registrovaCesta.c_str(), hlavni))
            return S_FALSE;
        NacistHorkeKlavesyZ(hlavni.Get(), k);
        return S_OK;
    } catch (long code) {
        return KodNeboFail(code);
    }
}

HRESULT UlozitHorkeKlavesy(Konfigurace& k)
{
    CriticalSectionLock lock(k.cs);
    try {
        RegKey hlavni = Vytvorit(HKEY_CURRENT_USER, k.registrovaCesta.c_str());
        ZapsatHorkeKlavesy(hlavni.Get(), k);
        return S_OK;
    } catch (long code) {
        return KodNeboFail(code);
    }
}
