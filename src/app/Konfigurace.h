// The program's settings: one record, loaded from and saved to the current
// user's registry key. Field names are the registry value names.
#pragma once

#include <windows.h>

#include "recording/AudioCaptureDevice.h"

#include <cstdint>
#include <string>

// One global hot key: four u32 in this order, 16 bytes as stored.
struct HorkaKlavesa {
    uint32_t modifikatory;  // MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN
    uint32_t klavesa;       // virtual-key code; 0 = no key
    uint32_t prikaz;        // command id, also the hot-key id
    uint32_t skupina;       // string id of the group on the hot-key page
};
static_assert(sizeof(HorkaKlavesa) == 16);

struct SmtpUcetKonfigurace {
    std::wstring email, heslo, jmeno, id, server;
};

struct Konfigurace {
    CRITICAL_SECTION cs;
    std::wstring registrovaCesta = L"Software\\Mirvak\\Tonbar\\4";

    uint32_t akce_ikona_hlavni[8];
    uint32_t parametry;
    uint32_t logovani;
    uint32_t po_spusteni;
    uint32_t process_priority;
    std::wstring slozka_data;
    uint32_t zapis_udalosti;
    uint32_t zprava_ikona;
    std::wstring prijemci_email;
    std::wstring prijemci_dalsi_emaily;
    uint32_t cekani_na_prehravac;
    uint32_t prehravac;
    uint32_t seznam_souboru_parametry;
    std::wstring seznam_souboru_slozka;
    SmtpUcetKonfigurace smtp_ucet;
    uint32_t smtp_ucet_parametry;
    uint32_t vytv_jmena;
    std::wstring soubor_jmeno;
    uint32_t max_pocet_souboru;
    uint32_t pocet_mist_cisla;
    uint32_t posledni_cislo;
    uint32_t soubor_parametry;
    // Seconds of silence while recording before the user is warned; 0: never.
    uint32_t varovani_ticho;
    GUID profil;
    std::wstring soubor_prx;
    bool vlastni_profil;
    AudioCaptureDevice zarizeni;
    bool okno_navrchu;
    bool statusbar;
    uint32_t toolbar;
    uint32_t zobrazit_seznam_souboru;

    // The hot keys: a heap block of `pocetHorkychKlaves` entries.
    HorkaKlavesa* horke_klavesy = nullptr;
    uint32_t pocetHorkychKlaves = 0;
};

// The one configuration record of the program.
extern Konfigurace g_konfigurace;

// Default values that do not come from the running system.
inline constexpr GUID kVychoziProfil = {0x407B9450, 0x8BDC, 0x4EE5, {0x88, 0xB8, 0x6F, 0x52, 0x7B, 0xD9, 0x41, 0xF2}};

void InicializovatKonfiguraci(Konfigurace& k);   // critical section; once
void UvolnitKonfiguraci(Konfigurace& k);         // hot keys freed, critical section deleted

// Sets every field to its default; jmenoUzivatele and prvniZarizeni are what
// the running system gives (the Windows user name, the first capture device).
HRESULT NastavitVychozi(Konfigurace& k, const std::wstring& jmenoUzivatele = {},
                        const AudioCaptureDevice* prvniZarizeni = nullptr);
HRESULT Nacist(Konfigurace& k);
HRESULT Ulozit(Konfigurace& k);
HRESULT UlozitZobrazeni(Konfigurace& k);
HRESULT UlozitPosledniCislo(Konfigurace& k);
HRESULT NacistHorkeKlavesy(Konfigurace& k);
HRESULT UlozitHorkeKlavesy(Konfigurace& k);
HRESULT PridatHorkouKlavesu(Konfigurace& k, uint32_t prikaz, uint32_t skupina, bool jenChybejici);
void VyprazdnitHorkeKlavesy(Konfigurace& k);
