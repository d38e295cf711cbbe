// Command identifiers of the main window (WM_COMMAND ids; the string with
// the same id is the command's tool-tip and status-bar help).
#pragma once

#include <windows.h>

namespace prikaz {

inline constexpr UINT kKonec = 40001;
inline constexpr UINT kPredvolby = 40002;
inline constexpr UINT kWeb = 40003;
inline constexpr UINT kPodpora = 40004;
inline constexpr UINT kAktualizace = 40005;
inline constexpr UINT kOAplikaci = 40006;
inline constexpr UINT kNapoveda = 40007;
inline constexpr UINT kPlovouciNabidka = 40008;
inline constexpr UINT kZobrazitSkryt = 40009;
inline constexpr UINT kPrepnoutZaznam = 40010;
inline constexpr UINT kSpustit = 40011;
inline constexpr UINT kSpustitProfil = 40012;
inline constexpr UINT kUkoncit = 40013;
inline constexpr UINT kZobrazitOkno = 40014;
inline constexpr UINT kSkrytOkno = 40015;
inline constexpr UINT kNavrchu = 40016;
inline constexpr UINT kSeznamSouboru = 40017;
inline constexpr UINT kVybratSlozku = 40018;
inline constexpr UINT kSlozkaProfilu = 40019;
inline constexpr UINT kMaleIkony = 40020;
inline constexpr UINT kVelkeIkony = 40021;
inline constexpr UINT kProfilyZaznamu = 40022;
inline constexpr UINT kFtpMista = 40023;
inline constexpr UINT kKontakty = 40024;
inline constexpr UINT kSmtpUcty = 40025;
inline constexpr UINT kNastaveni = 40026;
inline constexpr UINT kPrejmenovat = 40028;
inline constexpr UINT kUlozitJako = 40029;
inline constexpr UINT kPrehrat = 40030;
inline constexpr UINT kEmail = 40031;
inline constexpr UINT kFtp = 40032;
inline constexpr UINT kVlastnosti = 40033;
inline constexpr UINT kOtevritSlozku = 40035;
inline constexpr UINT kResetCislovani = 40036;
inline constexpr UINT kOdstranit = 40037;
inline constexpr UINT kVychoziSlozka = 40038;
inline constexpr UINT kPrejmenovatNahravany = 40039;
inline constexpr UINT kPrehravac = 40040;
inline constexpr UINT kPrepnoutProfil = 40048;
inline constexpr UINT kZarizeni = 40049;

// Generated popup menus: 200 ids from each base.
inline constexpr UINT kZakladZarizeni = 52000;
inline constexpr UINT kZakladZaznamProfilu = 52200;
inline constexpr UINT kZakladSlozkaProfilu = 52400;
inline constexpr UINT kZakladPrepnoutProfil = 52600;
inline constexpr UINT kVelikostRozsahu = 200;

} // namespace prikaz
