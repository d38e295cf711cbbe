#include "mainwindow/RizeniZaznamu.h"

#include <shlwapi.h>

#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "media/dshow/LevelMeterFilter.h"
#include "mainwindow/IkonaOznameni.h"
#include "resources/resource.h"

#include <cwchar>

namespace {

constexpr UINT kTextPripraven = 20001;
constexpr UINT kTextUdalostKonec = 20044;
constexpr UINT kTextBublinaKonec = 20045;
constexpr UINT kTextStavZaznam = 20046;
constexpr UINT kTextBublinaStart = 20047;
constexpr UINT kTextTipZaznam = 20048;
constexpr UINT kTextUdalostStart = 20049;
constexpr UINT kTextChybaStartu = 20050;
constexpr UINT kTextPreruseni = IDS_ZAZNAM_PRERUSEN;

} // namespace

std::wstring JmenoBezSlozky(const std::wstring& cesta)
{
    size_t lomitko = cesta.find_last_of(L"\\/");
    return lomitko == std::wstring::npos ? cesta : cesta.substr(lomitko + 1);
}

bool RizeniZaznamu::NahravaSe() const
{
    return a_.zaznamnik && a_.zaznamnik->IsRecording();
}

HRESULT RizeniZaznamu::SpustitZaznam()
{
    if (NahravaSe())
        return S_FALSE;
    if (!a_.zaznamnik)
        return E_FAIL;
    std::wstring slozka;
    if (!okno_.SlozkaSeznamu(slozka))
        slozka = k_.slozka_data;
    const uint32_t predchoziCislo = a_.cisloZaznamu;
    if (FAILED(VytvoritJmenoZaznamu(a_, k_, slozka)))
        return E_FAIL;
    a_.zaznamnik->SetDevice(k_.zarizeni);
    HRESULT hr = k_.vlastni_profil ? a_.zaznamnik->LoadCustomProfile(k_.soubor_prx)
                                   : a_.zaznamnik->Profile().LoadById(k_.profil);
    std::wstring text = NacistText(kTextChybaStartu, a_.souborZaznamu.c_str());
    if (FAILED(hr)) {
        // Recording with whatever profile was loaded before would not be what
        // the user chose; nothing was recorded, so the number is not used up.
        a_.cisloZaznamu = predchoziCislo;
        okno_.Chyba(text, hr);
        return hr;
    }
    return Spustit(text, &predchoziCislo);
}

HRESULT RizeniZaznamu::SpustitPodleProfilu(const ProfilZaznamuInfo& profil)
{
    if (NahravaSe())
        return S_FALSE;
    if (!a_.zaznamnik)
        return E_FAIL;
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::wstring cesta;
    if (FAILED(SestavitJmenoPodleCasu(profil.slozka, t, true, cesta)))
        return E_FAIL;
    a_.souborZaznamu = cesta;
    a_.noveJmenoZaznamu.clear();
    a_.zaznamnik->SetDevice(profil.zarizeni);
    HRESULT hr = a_.zaznamnik->Profile().LoadById(profil.profil);
    if (FAILED(hr)) {
        okno_.Chyba(NacistText(kTextChybaStartu, a_.souborZaznamu.c_str()), hr);
        return hr;
    }
    hr = Spustit(std::wstring());
    if (hr == S_OK && (k_.seznam_souboru_parametry & 8))
        okno_.ZobrazitSlozku(profil.slozka);
    return hr;
}

HRESULT RizeniZaznamu::Spustit(const std::wstring& textChyby, const uint32_t* vratitCislo)
{
    cisloPredStartem_.reset();
    textChybyStartu_ = textChyby;
    HRESULT hr = a_.zaznamnik->Start(a_.souborZaznamu);
    if (FAILED(hr) || !a_.zaznamnik->IsRecording()) {
        hr = FAILED(hr) ? hr : E_FAIL;
        // Before the box: its loop may run another start.
        if (vratitCislo)
            a_.cisloZaznamu = *vratitCislo;
        okno_.Chyba(textChyby, hr);
        return hr;
    }
    // Given back too if the device turns out to deliver no sound.
    if (vratitCislo)
        cisloPredStartem_ = *vratitCislo;
    // The blink is cosmetic: the recording runs whether or not it blinks.
    okno_.SpustitBlikani();
    std::wstring jmeno = JmenoBezSlozky(a_.souborZaznamu);
    okno_.NastavitStav(NacistText(kTextStavZaznam, a_.souborZaznamu.c_str()), nullptr);
    uroven_.Zacit(k_.varovani_ticho, GetTickCount64());
    okno_.NastavitUroven(NacistRetezec(IDS_UROVEN_TICHO), HlidaniUrovne::kDnoMeridla);
    if (IkonaOznameni* ikona = okno_.Ikona()) {
        ikona->ZobrazitBublinu(NacistText(kTextBublinaStart, jmeno.c_str()).c_str(), kBublinaInformace);
        ikona->NastavitTip(NacistText(kTextTipZaznam, jmeno.c_str()).c_str());
    }
    if (k_.zapis_udalosti & 8)
        ZapsatInformaci(NacistText(kTextUdalostStart, jmeno.c_str()).c_str());
    okno_.AktualizovatStavy();
    return S_OK;
}

HRESULT RizeniZaznamu::UkoncitZaznam()
{
    if (!NahravaSe())
        return S_FALSE;
    HRESULT hr = a_.zaznamnik->Stop();
    Ukonceno(hr);
    return hr;
}

HRESULT RizeniZaznamu::UdalostGrafu()
{
    if (!NahravaSe())
        return S_FALSE;
    HRESULT hr = a_.zaznamnik->TakeFailure();
    if (SUCCEEDED(hr))
        return S_OK;
    if (!a_.zaznamnik->SoundArrived()) {
        // Start does not wait for the device's first sound: one that never
        // came (or a device that failed to open late) fails the start as
        // Start itself would have, leaving no file and no number used.
        a_.zaznamnik->DiscardStart();
        if (cisloPredStartem_)
            a_.cisloZaznamu = *cisloPredStartem_;
        cisloPredStartem_.reset();
        ObnovitKlid(okno_.Ikona());
        okno_.AktualizovatStavy();
        okno_.Chyba(textChybyStartu_, hr);
        return hr;
    }
    // The recording cannot go on: end it now, keeping what was written.
    a_.zaznamnik->Stop();   // the failure that ended it is the one worth telling
    Ukonceno(hr);
    return hr;
}

void RizeniZaznamu::Urovne(uint32_t prvni, uint32_t druha, unsigned pocet)
{
    namespace ds = mirvak::direct_show;
    if (!NahravaSe())
        return;   // a level posted just before the stop
    if (pocet == 0 || pocet > ds::kLevelWindowsPerMessage)
        return;
    const uint64_t ted = GetTickCount64();
    const HlidaniUrovne::Uroven a = uroven_.Pridat(prvni, pocet > 1 ? ted - ds::kLevelWindowMs : ted);
    const HlidaniUrovne::Uroven b = pocet > 1 ? uroven_.Pridat(druha, ted) : a;
    const HlidaniUrovne::Uroven& hlasitejsi = a.decibely > b.decibely ? a : b;
    okno_.NastavitUroven(TextUrovne(hlasitejsi), hlasitejsi.decibely);
    if (!a.varovat && !b.varovat)
        return;
    std::wstring text =
        NacistText(IDS_VAROVANI_TICHO, static_cast<int>(uroven_.SekundyTicha()), a_.zaznamnik->Device().friendlyName.c_str());
    if (IkonaOznameni* ikona = okno_.Ikona())
        ikona->ZobrazitBublinu(text.c_str(), kBublinaVarovani);
    if (k_.zapis_udalosti & 1)
        ZapsatVarovani(text.c_str());
}

void RizeniZaznamu::ObnovitKlid(IkonaOznameni* ikona)
{
    a_.noveJmenoZaznamu.clear();
    okno_.ZastavitBlikani();
    if (ikona) {
        ikona->NastavitIkonu(a_.malaIkona);
        ikona->NastavitTip(a_.nazevProduktu.c_str());
    }
    okno_.NastavitStav(NacistText(kTextPripraven, a_.nazevProduktu.c_str()), a_.malaIkona);
    okno_.NastavitUroven(std::wstring(), HlidaniUrovne::kDnoMeridla);
}

void RizeniZaznamu::Ukonceno(HRESULT hr)
{
    IkonaOznameni* ikona = okno_.Ikona();
    ObnovitKlid(ikona);
    std::wstring jmeno = JmenoBezSlozky(a_.souborZaznamu);
    if (FAILED(hr)) {
        // Not the ended-normally balloon and event: the user must learn
        // that the recording stopped early, and why.
        std::wstring text = NacistText(kTextPreruseni, jmeno.c_str(), TextKodu(hr).c_str());
        if (ikona)
            ikona->ZobrazitBublinu(text.c_str(), kBublinaVarovani);
        if (k_.zapis_udalosti & 1)
            ZapsatVarovani(text.c_str());
    } else {
        if (ikona)
            ikona->ZobrazitBublinu(NacistText(kTextBublinaKonec, jmeno.c_str()).c_str(), kBublinaInformace);
        if (k_.zapis_udalosti & 16)
            ZapsatInformaci(NacistText(kTextUdalostKonec, jmeno.c_str()).c_str());
    }
    okno_.AktualizovatStavy();
}

HRESULT RizeniZaznamu::PrikazUkoncit(const ZadaniTextu& zadani)
{
    // Keep the pending name through the stop routine, which drops it for
    // the other ways a recording ends.
    std::wstring nove = a_.noveJmenoZaznamu;
    HRESULT stop = UkoncitZaznam();
    if (stop == S_FALSE)
        return S_FALSE;
    // A recording that ended with a failure is still a file the user named.
    a_.noveJmenoZaznamu = nove;
    if (a_.noveJmenoZaznamu.size() >= 5) {
        HRESULT hr = DokoncitPrejmenovani(a_);
        okno_.AktualizovatStavy();
        return FAILED(hr) ? hr : stop;
    }
    a_.noveJmenoZaznamu.clear();
    if (k_.soubor_parametry & 2) {
        Prejmenovani dialog(*this);
        HRESULT hr = PrejmenovatPoZaznamu(a_, k_, zadani ? zadani : ZadaniTextu(VstupTextu));
        okno_.AktualizovatStavy();
        return FAILED(hr) ? hr : stop;
    }
    return stop;
}

HRESULT RizeniZaznamu::PrejmenovatNahravany(const ZadaniTextu& zadani)
{
    Prejmenovani dialog(*this);
    return ::PrejmenovatNahravany(a_, k_, NahravaSe(), zadani ? zadani : ZadaniTextu(VstupTextu));
}

HRESULT RizeniZaznamu::Prepnout()
{
    if (NahravaSe()) {
        return UkoncitZaznam();
    }
    return SpustitZaznam();
}

void RizeniZaznamu::Bliknout()
{
    IkonaOznameni* ikona = okno_.Ikona();
    HICON dalsi = ikona && ikona->Ikona() != a_.malaIkona ? a_.malaIkona : a_.IkonaZaznamu();
    if (ikona)
        ikona->NastavitIkonu(dalsi);
    if (okno_.Viditelne())
        okno_.NastavitIkonuStavu(dalsi);
}
