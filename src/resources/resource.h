// Resource identifiers.
#pragma once

#define IDI_TONBAR 101
#define IDB_TOOLBAR_SMALL 105
#define IDB_TOOLBAR_LARGE 106
#define IDD_VSTUP_TEXTU 115
#define IDI_RECORDING 135

// DlgVstupTextu
#define IDC_VSTUP_POPIS 1001
#define IDC_VSTUP_TEXT 1002

#define IDS_JIZ_SPUSTENA 21001
#define IDS_NESPECIFIKOVANA_CHYBA 21002
#define IDS_NEZJISTENY_UZIVATEL 21003
#define IDS_FATALNI_CHYBA 21004
#define IDS_SYSTEMOVY_POPIS 21005
#define IDS_IDISPATCH_CHYBA 21006
#define IDS_NEZNAMA_CHYBA 21007
#define IDS_VSTUP_TEXTU_TITULEK 21008

// Recording: devices, numbering and renaming
#define IDS_OTAZKA_RESET_CISLOVANI 21020
#define IDS_ZADEJTE_NAZEV_SOUBORU 21021
#define IDS_ZVUKOVE_ZARIZENI 21022
#define IDS_NEPLATNY_NAZEV_SOUBORU 21023
#define IDS_CHYBA_PREJMENOVANI_ZAZNAMU 21024
// A recording that ended early, and recordings repaired at start-up
#define IDS_ZAZNAM_PRERUSEN 22000
#define IDS_ZAZNAMY_OPRAVENY 22001
// The input level while recording, and the silence warning
#define IDS_UROVEN_TICHO 22300
#define IDS_UROVEN_DB 22301
#define IDS_VAROVANI_TICHO 22302

#define IDS_PRIPRAVEN 20001
#define IDS_CHYBA_DATOVA_SLOZKA 20004
#define IDS_CHYBA_ZAPIS_KONFIGURACE 20005
#define IDS_CHYBA_NACTENI_KONFIGURACE 20006
#define IDS_CHYBA_PRIORITA 20023
#define IDS_UDALOST_SPUSTENI 20056
#define IDS_UDALOST_UKONCENI 20057

// Window placement and the common controls
#define IDS_KLIC_UMISTENI_CHYBI 21100
#define IDS_ROZSAH_OD_DO 21101
#define IDS_ROZSAH_OD 21102
#define IDS_ROZSAH_DO 21103
#define IDS_ROZSAH_ZADNY 21104
#define IDS_TIP_VYBRAT_SLOZKU 21105
#define IDS_TIP_VYBRAT_SOUBOR 21106
#define IDS_TIP_VYBRAT_SLOZKU_FTP 21107
#define IDS_VYBERTE_SLOZKU 21108
#define IDS_TITULEK_BALONU 21109
// List of recordings
#define IDS_SLOUPEC_SOUBOR 21300
#define IDS_SLOUPEC_VELIKOST 21301
#define IDS_SLOUPEC_CAS 21302
#define IDS_OTAZKA_SMAZAT 21303
#define IDS_NEPODARILO_SMAZAT 21304
#define IDS_SOUBOR_SE_NAHRAVA 21305
#define IDS_SLOZKA_NENI 22100
#define IDS_SLOZKA_ZMIZELA 22101

// Each subsystem keeps its own identifiers. Own string ids: profiles 21400-21499,
// main window 21500-21599, stores and FTP 21600-21699, e-mail 21700-21799,
// settings, update and about 21800-21899.
#include "resource_profiles.h"
#include "resource_mainwindow.h"
#include "resource_stores.h"
#include "resource_email.h"
#include "resource_settings.h"
