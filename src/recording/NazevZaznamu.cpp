#include "recording/NazevZaznamu.h"

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "recording/AudioRecorder.h"
#include "resources/resource.h"

#include <shlwapi.h>

namespace {

const wchar_t kPripona[] = L".wma";

// A number with at least `mist` digits, zero-padded.
std::wstring Cislo(uint32_t n, uint32_t mist = 0)
{
    std::wstring s = std::to_wstring(n);
    if (s.size() < mist)
        s.insert(0, mist - s.size(), L'0');
    return s;
}

bool Vejde(const std::wstring& cesta) { return cesta.size() < kDelkaJmenaZaznamu; }

bool Existuje(const std::wstring& cesta) { return GetFileAttributesW(cesta.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The highest " (n)" tried before a date-and-time name counts as taken.
constexpr uint32_t kMaxPoradiJmena = 9999;

std::wstring JmenoSouboru(const std::wstring& cesta) { return PathFindFileNameW(cesta.c_str()); }

std::wstring SlozkaSouboru(const std::wstring& cesta)
{
    size_t lomitko = cesta.find_last_of(L"\\/");
    return lomitko == std::wstring::npos ? std::wstring() : cesta.substr(0, lomitko);
}

HRESULT Presunout(const std::wstring& z, const std::wstring& na)
{
    if (z == na)
        return S_OK;
    if (MoveFileW(z.c_str(), na.c_str()))
        return S_OK;
    HRESULT hr = KodPosledniChyby();
    ZobrazitChybuSystemu(IDS_CHYBA_PREJMENOVANI_ZAZNAMU, hr);
    return hr;
}

// Asks for a file name in the folder of `soubor` until it is valid or the
// user cancels: 0 and the path, or 1.
HRESULT ZeptatSeNaCestu(const std::wstring& soubor, const Konfigurace& k, const ZadaniTextu& zadani,
                        std::wstring& cesta)
{
    std::wstring text = JmenoSouboru(soubor);
    const bool vybratJmeno = (k.seznam_souboru_parametry & 4) != 0;
    for (;;) {
        if (zadani(text, MAKEINTRESOURCEW(IDS_ZADEJTE_NAZEV_SOUBORU), vybratJmeno, kMaxDelkaNazvuSouboru) != 0)
            return S_FALSE;
        if (SUCCEEDED(CestaVeSlozce(soubor, text, cesta)))
            return S_OK;
        ZobrazitZpravuId(IDS_NEPLATNY_NAZEV_SOUBORU, MB_ICONEXCLAMATION);
    }
}

ZadaniTextu DialogZadani()
{
    return [](std::wstring& text, const wchar_t* popis, bool vybrat, int max) {
        return VstupTextu(text, popis, vybrat, max);
    };
}

bool NahravaSe()
{
    return g_aplikace && g_aplikace->zaznamnik && g_aplikace->zaznamnik->IsRecording();
}

} // namespace

HRESULT SestavitJmenoPodleCasu(const std::wstring& slozka, const SYSTEMTIME& cas, bool sekundy, std::wstring& cesta)
{
    // Without a folder the file would land in the root of the drive.
    if (slozka.find_first_not_of(L" \t") == std::wstring::npos)
        return E_INVALIDARG;
    std::wstring zaklad = slozka + L"\\" + Cislo(cas.wDay) + L"." + Cislo(cas.wMonth) + L"." + Cislo(cas.wYear) + L" " +
                          Cislo(cas.wHour, 2) + L"-" + Cislo(cas.wMinute, 2);
    if (sekundy)
        zaklad += L"-" + Cislo(cas.wSecond, 2);
    // A name by date and time never replaces an earlier recording: the
    // second one of the same minute (or second) gets " (2)", and so on.
    std::wstring vysledek = zaklad + kPripona;
    for (uint32_t n = 2; Existuje(vysledek); ++n) {
        if (n > kMaxPoradiJmena)
            return E_INVALIDARG;
        vysledek = zaklad + L" (" + Cislo(n) + L")" + kPripona;
    }
    if (!Vejde(vysledek))
        return E_INVALIDARG;
    cesta = std::move(vysledek);
    return S_OK;
}

HRESULT SestavitJmenoZaznamu(const Konfigurace& k, const std::wstring& slozka, const SYSTEMTIME& cas, uint32_t& cislo,
                             std::wstring& cesta)
{
    std::wstring vysledek;
    uint32_t dalsi = cislo;
    switch (k.vytv_jmena) {
    case 1:
    case 2:
        return SestavitJmenoPodleCasu(slozka, cas, k.vytv_jmena == 2, cesta);
    case 0:
        if (k.slozka_data.empty())
            return E_INVALIDARG;
        // Here the user chose a bounded set of names: they are reused.
        if (k.max_pocet_souboru == 0) {
            vysledek = k.slozka_data + L"\\" + k.soubor_jmeno + kPripona;
            break;
        }
        if (dalsi > k.max_pocet_souboru) {
            if (!(k.soubor_parametry & 1))
                return E_INVALIDARG;
            dalsi = 1;
        }
        if (k.pocet_mist_cisla >= kDelkaJmenaZaznamu)
            return E_INVALIDARG;
        vysledek = k.slozka_data + L"\\" + k.soubor_jmeno + L"_" +
                   Cislo(dalsi, k.pocet_mist_cisla >= 2 ? k.pocet_mist_cisla : 0) + kPripona;
        ++dalsi;
        break;
    default:
        return E_INVALIDARG;
    }
    if (!Vejde(vysledek))
        return E_INVALIDARG;
    cesta = std::move(vysledek);
    cislo = dalsi;
    return S_OK;
}

HRESULT VytvoritJmenoZaznamu(Aplikace& a, const Konfigurace& k, const std::wstring& slozka, Hodiny hodiny)
{
    // A name chosen during an earlier recording that was not stopped by the
    // stop command must not rename this one.
    a.noveJmenoZaznamu.clear();
    SYSTEMTIME cas{};
    hodiny(&cas);
    return SestavitJmenoZaznamu(k, slozka, cas, a.cisloZaznamu, a.souborZaznamu);
}

HRESULT VytvoritJmenoZaznamu(const std::wstring& slozka)
{
    if (!g_aplikace)
        return E_UNEXPECTED;
    return VytvoritJmenoZaznamu(*g_aplikace, g_konfigurace, slozka);
}

HRESULT UlozitCisloZaznamu(const Aplikace& a, Konfigurace& k)
{
    k.posledni_cislo = a.cisloZaznamu;
    return UlozitPosledniCislo(k);
}

HRESULT ResetovatCislovani(Konfigurace& k, uint32_t& cisloZaznamu)
{
    std::wstring otazka = NacistText(IDS_OTAZKA_RESET_CISLOVANI, 1, static_cast<int>(cisloZaznamu));
    if (!Otazka(otazka.c_str()))
        return S_FALSE;
    cisloZaznamu = 1;
    k.posledni_cislo = 1;
    UlozitPosledniCislo(k);
    return S_OK;
}

HRESULT ResetovatCislovani()
{
    if (!g_aplikace)
        return E_UNEXPECTED;
    return ResetovatCislovani(g_konfigurace, g_aplikace->cisloZaznamu);
}

HRESULT OveritNazevSouboru(const std::wstring& jmeno)
{
    bool jenTeckyAMezery = true;
    for (wchar_t c : jmeno) {
        if (c < 32 || wcschr(L"\\/:*?\"<>|", c))
            return E_INVALIDARG;
        if (c != L'.' && c != L' ')
            jenTeckyAMezery = false;
    }
    // Windows drops trailing dots and blanks: such a name would name the folder itself.
    return jenTeckyAMezery ? E_INVALIDARG : S_OK;
}

HRESULT CestaVeSlozce(const std::wstring& soubor, const std::wstring& jmeno, std::wstring& cesta)
{
    HRESULT hr = OveritNazevSouboru(jmeno);
    if (FAILED(hr))
        return hr;
    std::wstring vysledek = SlozkaSouboru(soubor) + L"\\" + jmeno;
    if (!Vejde(vysledek))
        return E_INVALIDARG;
    cesta = std::move(vysledek);
    return S_OK;
}

HRESULT PrejmenovatNahravany(Aplikace& a, const Konfigurace& k, bool probihaZaznam, const ZadaniTextu& zadani)
{
    if (!probihaZaznam)
        return S_FALSE;
    // The dialog's loop dispatches messages: the recording may end (or
    // another begin) before it returns. The name belongs to this file.
    const std::wstring soubor = a.souborZaznamu;
    std::wstring cesta;
    HRESULT hr = ZeptatSeNaCestu(soubor, k, zadani, cesta);
    if (hr != S_OK)
        return hr;
    const bool skoncil = a.souborZaznamu != soubor || (a.zaznamnik && !a.zaznamnik->IsRecording());
    if (!skoncil) {
        a.noveJmenoZaznamu = cesta;
        return S_OK;
    }
    // It ended meanwhile: rename the finished file now.
    hr = Presunout(soubor, cesta);
    if (SUCCEEDED(hr) && a.souborZaznamu == soubor)
        a.souborZaznamu = cesta;
    return hr;
}

HRESULT PrejmenovatNahravany()
{
    if (!g_aplikace)
        return E_UNEXPECTED;
    return PrejmenovatNahravany(*g_aplikace, g_konfigurace, NahravaSe(), DialogZadani());
}

HRESULT DokoncitPrejmenovani(Aplikace& a)
{
    std::wstring nove;
    nove.swap(a.noveJmenoZaznamu);
    if (nove.size() < 5)
        return S_FALSE;
    HRESULT hr = Presunout(a.souborZaznamu, nove);
    if (SUCCEEDED(hr))
        a.souborZaznamu = nove;
    return hr;
}

HRESULT PrejmenovatPoZaznamu(Aplikace& a, const Konfigurace& k, const ZadaniTextu& zadani)
{
    if (!(k.soubor_parametry & 2))
        return S_FALSE;
    const std::wstring soubor = a.souborZaznamu;   // a copy: see PrejmenovatNahravany
    std::wstring cesta;
    HRESULT hr = ZeptatSeNaCestu(soubor, k, zadani, cesta);
    if (hr != S_OK)
        return hr;
    hr = Presunout(soubor, cesta);
    if (SUCCEEDED(hr) && a.souborZaznamu == soubor)
        a.souborZaznamu = cesta;
    return hr;
}

HRESULT PrejmenovatPoZaznamu()
{
    if (!g_aplikace)
        return E_UNEXPECTED;
    return PrejmenovatPoZaznamu(*g_aplikace, g_konfigurace, DialogZadani());
}
