// Recording file names: by date and time or by base name and running
// number, the running number itself, and renaming the file that is being or
// has just been recorded. The plain functions take the state they work on;
// the short forms use the application object and the configuration.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

class Aplikace;
struct Konfigurace;

// Names are composed in a buffer of this many characters; a longer name is refused.
inline constexpr size_t kDelkaJmenaZaznamu = 760;
// The longest file name (without folder) the rename dialog takes.
inline constexpr int kMaxDelkaNazvuSouboru = 259;

// The path of the next recording by `k.vytv_jmena`: 1 and 2 in `slozka`
// (to the minute, to the second, from `cas`), 0 in `k.slozka_data` with
// `cislo` (which grows by one, or starts again at 1 when bit 0 of
// `soubor_parametry` allows it). E_INVALIDARG when no name may be made:
// the folder is empty, the number is above the maximum without permission,
// the mode is unknown or the path would not fit the buffer; `cislo` is
// unchanged then. Names by number are reused (the user chose a bounded set
// of files); a name by date and time that exists gets " (2)", " (3)" ...
HRESULT SestavitJmenoZaznamu(const Konfigurace& k, const std::wstring& slozka, const SYSTEMTIME& cas, uint32_t& cislo,
                             std::wstring& cesta);
// The date-and-time name alone ("5.12.2026 09-07-03.wma" with seconds, the
// first free one); the start by a recording profile uses it too.
HRESULT SestavitJmenoPodleCasu(const std::wstring& slozka, const SYSTEMTIME& cas, bool sekundy, std::wstring& cesta);

// The same into `a.souborZaznamu`, with `a.cisloZaznamu`. Every recording
// start makes its name here, so a new name still pending from an earlier
// recording is dropped as well.
using Hodiny = void(WINAPI*)(LPSYSTEMTIME);
HRESULT VytvoritJmenoZaznamu(Aplikace& a, const Konfigurace& k, const std::wstring& slozka, Hodiny hodiny = GetLocalTime);
HRESULT VytvoritJmenoZaznamu(const std::wstring& slozka);

// At close: the live number becomes `posledni_cislo` and only that is saved.
HRESULT UlozitCisloZaznamu(const Aplikace& a, Konfigurace& k);

// Asks whether to number from 1 again; only Yes sets both numbers to 1 and
// saves the number. 0 when reset, 1 when the answer was not Yes.
HRESULT ResetovatCislovani(Konfigurace& k, uint32_t& cisloZaznamu);
HRESULT ResetovatCislovani();

// 0 for a bare file name the rename may use; E_INVALIDARG for an empty name,
// one of only dots and blanks, or one with \ / : * ? " < > | or a control
// character.
HRESULT OveritNazevSouboru(const std::wstring& jmeno);
// The path of `jmeno` in the folder of `soubor`; E_INVALIDARG for a name
// OveritNazevSouboru refuses or a path that would not fit the buffer.
HRESULT CestaVeSlozce(const std::wstring& soubor, const std::wstring& jmeno, std::wstring& cesta);

// The text input the renames ask with: VstupTextu's signature.
using ZadaniTextu = std::function<int(std::wstring& text, const wchar_t* popis, bool vybratJmeno, int maxDelka)>;

// During a recording: asks for a new name and keeps it in
// `a.noveJmenoZaznamu` for the stop. A refused name is explained and asked
// again. 0 when a name was chosen, 1 when nothing is recorded or the user
// cancelled.
HRESULT PrejmenovatNahravany(Aplikace& a, const Konfigurace& k, bool probihaZaznam, const ZadaniTextu& zadani);
HRESULT PrejmenovatNahravany();

// At the stop command: moves `a.souborZaznamu` to the pending new name (when
// it has at least 5 characters), then empties it. 0, 1 when there was none,
// or the move's error after its message. On success `souborZaznamu` names
// the moved file.
HRESULT DokoncitPrejmenovani(Aplikace& a);

// After a recording ended by the stop command without a new name: when bit
// 1 of `soubor_parametry` is set, offers to rename the finished file. 0 when
// renamed, 1 when not offered or cancelled, or the move's error.
HRESULT PrejmenovatPoZaznamu(Aplikace& a, const Konfigurace& k, const ZadaniTextu& zadani);
HRESULT PrejmenovatPoZaznamu();
