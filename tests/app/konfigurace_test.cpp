// The application object: error codes, texts and boxes, the launcher of the
// external contacts program, and the configuration against Wine's registry.
#include "app/Aplikace.h"
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "harness/Servery.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstring>
#include <set>
#include <string>

using namespace tonbar::test;

namespace {

class KonfiguraceTest : public ::testing::Test {
protected:
    void ZapsatDword(const wchar_t* podklic, const wchar_t* nazev, DWORD hodnota)
    {
        ASSERT_TRUE(konf_.Zapsat(podklic, nazev, REG_DWORD, &hodnota, sizeof hodnota));
    }

    TestModul modul_;
    TestKonfigurace konf_;
    Konfigurace& k_ = konf_.k;
};

TEST_F(KonfiguraceTest, FirstStartRunsOnDefaultsAndABadValueStopsTheLoadKeepingLaterDefaults)
{
    AudioCaptureDevice prvni{L"Mikrofon", L"", L"@device:cm:1"};
    ASSERT_EQ(NastavitVychozi(k_, L"uzivatel", &prvni), S_OK);
    EXPECT_EQ(Nacist(k_), S_FALSE);  // no key yet
    EXPECT_TRUE(modul_.zpravy.empty());
    EXPECT_FALSE(konf_.KlicExistuje()) << "loading created the key";

    ASSERT_GT(k_.slozka_data.size(), 7u);
    EXPECT_EQ(k_.slozka_data.substr(k_.slozka_data.size() - 7), L"\\Tonbar");
    EXPECT_TRUE(PathIsDirectoryW(k_.slozka_data.c_str()));
    EXPECT_EQ(k_.seznam_souboru_slozka, k_.slozka_data);
    EXPECT_EQ(k_.zarizeni.friendlyName + L"|" + k_.smtp_ucet.jmeno + L"|" + k_.soubor_jmeno,
              L"Mikrofon|uzivatel|Záznam");
    EXPECT_EQ(std::vector({k_.max_pocet_souboru, k_.varovani_ticho, k_.vytv_jmena}),
              std::vector({500u, 30u, 2u}));
    EXPECT_TRUE(IsEqualGUID(k_.profil, kVychoziProfil));
    const uint32_t akce[8] = {40008, 40009, 40009, 40009, 40002, 40009, 40002, 40009};
    EXPECT_TRUE(std::equal(akce, akce + 8, k_.akce_ikona_hlavni));
    ASSERT_EQ(k_.pocetHorkychKlaves, 6u);
    const uint32_t prikazy[6] = {40001, 40002, 40008, 40011, 40013, 40010};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(k_.horke_klavesy[i].prikaz, prikazy[i]);
        EXPECT_EQ(k_.horke_klavesy[i].skupina, i < 3 ? 20003u : 20022u);
        EXPECT_EQ(k_.horke_klavesy[i].klavesa, 0u);
    }

    // A value of the wrong type or size stops the load with one error box: what was read before it is
    // kept, what comes after keeps its default.
    const std::wstring dvanact = L"12345";
    const DWORD pet = 5;
    struct Pripad {
        const wchar_t* nazev;
        DWORD typ;
        const void* data;
        DWORD velikost;
        HRESULT hr;
    } pripady[] = {
        {L"process_priority", REG_SZ, dvanact.c_str(), 12, HRESULT_FROM_WIN32(ERROR_MORE_DATA)},
        {L"slozka_data", REG_DWORD, &pet, 4, HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH)},
    };
    for (const Pripad& p : pripady) {
        SCOPED_TRACE(std::string(p.nazev, p.nazev + wcslen(p.nazev)));
        RegDeleteTreeW(HKEY_CURRENT_USER, k_.registrovaCesta.c_str());
        ASSERT_EQ(NastavitVychozi(k_), S_OK);
        const std::wstring slozka = k_.slozka_data;
        ZapsatDword(L"", L"po_spusteni", 3);  // read before the bad value
        ASSERT_TRUE(konf_.Zapsat(L"", p.nazev, p.typ, p.data, p.velikost));
        ZapsatDword(L"", L"zapis_udalosti", 30);  // read after it
        ZapsatDword(L"soubor", L"max_pocet_souboru", 9);
        modul_.zpravy.clear();
        EXPECT_EQ(Nacist(k_), p.hr);
        ASSERT_EQ(modul_.zpravy.size(), 1u);
        EXPECT_EQ(modul_.zpravy[0].text.rfind(L"Došlo k chybě při načítání konfigurace z registru Windows.\n\n"
                                              L"Systémový popis chyby:\n", 0),
                  0u);
        EXPECT_EQ(k_.slozka_data, slozka);
        EXPECT_EQ(std::vector({k_.po_spusteni, k_.process_priority, k_.zapis_udalosti, k_.max_pocet_souboru}),
                  std::vector<uint32_t>({3, NORMAL_PRIORITY_CLASS, 1, 500}));
    }
}

// Shorter icon actions fill only their first entries (longer ones are a load error); a string stored
// without its terminating zero is read whole; unknown hot keys are added; saving writes exactly the array.
TEST_F(KonfiguraceTest, ShortValuesAndUnknownHotKeysAreReadAndSavingWritesExactlyTheArray)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    const uint32_t kratke[2] = {40013, 40011};
    ASSERT_TRUE(konf_.Zapsat(L"", L"akce_ikona_hlavni", REG_BINARY, kratke, sizeof kratke));
    const wchar_t bez[3] = {L'a', L'b', L'č'};
    ASSERT_TRUE(konf_.Zapsat(L"soubor", L"jmeno", REG_SZ, bez, sizeof bez));
    const uint32_t nova[4] = {MOD_CONTROL | MOD_ALT, 'K', 0, 20003}, pridana[4] = {nova[0], 'K', 40016, 20003};
    const uint32_t start[4] = {MOD_CONTROL, 'R', 12345, 20022};
    ASSERT_TRUE(konf_.Zapsat(L"horke_klavesy", L"40016", REG_BINARY, nova, sizeof nova));
    ASSERT_TRUE(konf_.Zapsat(L"horke_klavesy", L"40011", REG_BINARY, start, sizeof start));
    ASSERT_TRUE(konf_.Zapsat(L"horke_klavesy", L"neni_cislo", REG_BINARY, start, sizeof start));
    EXPECT_EQ(Nacist(k_), S_OK);
    EXPECT_TRUE(modul_.zpravy.empty());
    const uint32_t akce[8] = {40013, 40011, 40009, 40009, 40002, 40009, 40002, 40009};
    EXPECT_TRUE(std::equal(akce, akce + 8, k_.akce_ikona_hlavni));
    EXPECT_EQ(k_.soubor_jmeno, L"abč");
    ASSERT_EQ(k_.pocetHorkychKlaves, 7u);
    ASSERT_NE(Klavesa(k_, 40016), nullptr);
    EXPECT_EQ(std::memcmp(Klavesa(k_, 40016), pridana, 16), 0);
    EXPECT_EQ(Klavesa(k_, 40011)->klavesa, static_cast<uint32_t>('R')) << "by the value's name, not its id";
    EXPECT_EQ(PridatHorkouKlavesu(k_, 40011, 20022, true), S_FALSE);
    EXPECT_EQ(PridatHorkouKlavesu(k_, 40040, 20003, true), S_OK);
    EXPECT_EQ(k_.pocetHorkychKlaves, 8u);

    // Drop one entry and save: the key holds exactly the array.
    k_.horke_klavesy[0] = k_.horke_klavesy[--k_.pocetHorkychKlaves];
    ASSERT_EQ(Ulozit(k_), S_OK);
    std::set<std::wstring> ocekavane;
    for (uint32_t i = 0; i < k_.pocetHorkychKlaves; ++i)
        ocekavane.insert(std::to_wstring(k_.horke_klavesy[i].prikaz));
    EXPECT_EQ(konf_.Hodnoty(L"horke_klavesy"), ocekavane);
    EXPECT_EQ(ocekavane.count(L"40001"), 0u);
    EXPECT_TRUE(konf_.Drzi(L"horke_klavesy", L"40016", pridana));

    const uint32_t devet[9] = {};
    ASSERT_TRUE(konf_.Zapsat(L"", L"akce_ikona_hlavni", REG_BINARY, devet, sizeof devet));
    EXPECT_LT(Nacist(k_), 0);
}

// Saving the view writes only its subset; a full save and a load give back
// every value.
TEST_F(KonfiguraceTest, ViewSaveWritesItsSubsetAndSaveAndLoadRoundTrip)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    ASSERT_EQ(UlozitZobrazeni(k_), S_OK);
    EXPECT_EQ(konf_.Hodnoty(L""), (std::set<std::wstring>{L"process_priority"}));
    EXPECT_EQ(konf_.Hodnoty(L"email\\prijemci"), (std::set<std::wstring>{L"email", L"dalsi_emaily"}));
    EXPECT_EQ(konf_.Hodnoty(L"email"), std::set<std::wstring>{});
    EXPECT_EQ(konf_.Hodnoty(L"seznam_souboru"), (std::set<std::wstring>{L"parametry", L"slozka"}));
    EXPECT_EQ(konf_.Hodnoty(L"zobrazit"),
              (std::set<std::wstring>{L"okno_navrchu", L"statusbar", L"toolbar", L"seznam_souboru"}));
    for (const wchar_t* klic : {L"soubor", L"wma", L"zarizeni", L"smtp_ucet", L"horke_klavesy", L"prehravani"})
        EXPECT_FALSE(konf_.KlicExistuje(klic)) << klic;
    k_.slozka_data = L"C:\\Nahrávky\\Žluťoučký kůň";
    k_.soubor_jmeno = L"Přednáška";
    k_.smtp_ucet = {L"a@b.cz", L"heslo", L"Jméno", L"login", L"smtp.example.org"};
    k_.vlastni_profil = true;
    k_.soubor_prx = L"C:\\profil.prx";
    k_.profil = GUID{0x7EA3126D, 0xE1BA, 0x4716, {0x89, 0xAF, 0xF6, 0x5C, 0xEE, 0x0C, 0x0C, 0x67}};
    k_.zarizeni = {L"Monitor of Mikrofon", L"popis se neukládá", L"@device:1"};
    k_.posledni_cislo = 77;
    k_.akce_ikona_hlavni[7] = 40011;
    k_.varovani_ticho = 0;
    ASSERT_EQ(Ulozit(k_), S_OK);
    EXPECT_EQ(konf_.Hodnoty(L"").count(L"varovani_ticho"), 1u) << "beside the program's other values";
    // Only the running number changes with UlozitPosledniCislo.
    k_.posledni_cislo = 78;
    k_.soubor_jmeno = L"neuloženo";
    ASSERT_EQ(UlozitPosledniCislo(k_), S_OK);

    TestKonfigurace nova;  // on defaults, loading the same key
    Konfigurace& druha = nova.k;
    druha.registrovaCesta = k_.registrovaCesta;
    EXPECT_EQ(Nacist(druha), S_OK);
    EXPECT_EQ(druha.slozka_data + L"|" + druha.soubor_jmeno + L"|" + druha.smtp_ucet.server + L"|" +
                  druha.smtp_ucet.jmeno + L"|" + druha.soubor_prx + L"|" + druha.zarizeni.friendlyName + L"|" +
                  druha.zarizeni.devicePath + L"|" + druha.zarizeni.description,
              L"C:\\Nahrávky\\Žluťoučký kůň|Přednáška|smtp.example.org|Jméno|C:\\profil.prx|"
              L"Monitor of Mikrofon|@device:1|");
    EXPECT_TRUE(druha.vlastni_profil);
    EXPECT_TRUE(IsEqualGUID(druha.profil, k_.profil));
    EXPECT_EQ(std::vector({druha.posledni_cislo, druha.akce_ikona_hlavni[7], druha.varovani_ticho,
                           druha.pocetHorkychKlaves}),
              std::vector({78u, 40011u, 0u, 6u}));
}

} // namespace

TEST(Chyby, CodesTextsBoxesAndEventsInTheProgramsForm)
{
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(KodPosledniChyby(), static_cast<HRESULT>(0x80070005));
    SetLastError(0);
    EXPECT_EQ(KodPosledniChyby(), E_FAIL) << "no error is still a failure";
    EXPECT_EQ(KodChyby(0x12345), static_cast<HRESULT>(0x80072345)) << "only the low word survives";
    EXPECT_EQ(TextChyby(0), L"Nespecifikovaná chyba");
    std::wstring text = TextChyby(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(text.back() != L'\n' && text.back() != L'\r');
    bool nalezen = true;
    EXPECT_TRUE(NacistRetezec(29999, &nalezen).empty());
    EXPECT_FALSE(nalezen);

    // Boxes and events get exactly one full stop; a system error box joins the
    // system's description; only Yes answers a question.
    TestModul modul;
    ZobrazitZpravuId(20015, MB_ICONWARNING);  // already ends with "."
    ZobrazitChybuId(20004);                   // does not
    ZobrazitChybuSystemu(20006, static_cast<HRESULT>(0xA0071234));  // no system text
    ASSERT_EQ(modul.zpravy.size(), 3u);
    EXPECT_EQ(modul.zpravy[0].text, L"Tato klávesová zkratka je již použita.");
    EXPECT_EQ(modul.zpravy[0].flags, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(modul.zpravy[1].text, L"Nepodařilo se vytvořit datovou složku aplikace.");
    EXPECT_EQ(modul.zpravy[1].flags, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(modul.zpravy[2].text, L"Došlo k chybě při načítání konfigurace z registru Windows.\n\n"
                                    L"Systémový popis chyby:\nUnknown error 0xA0071234");

    for (int odpoved : {IDCANCEL, IDNO, IDYES}) {
        modul.odpoved = odpoved;
        EXPECT_EQ(Otazka(L"Smazat?"), odpoved == IDYES);
    }
    EXPECT_EQ(modul.zpravy.back().flags | MB_TASKMODAL | MB_SETFOREGROUND, 0x12133u) << "No preselected";

    EXPECT_EQ(TextUdalosti(L"Byl spuštěn záznam"), L"Byl spuštěn záznam.\r\n");
    EXPECT_EQ(TextUdalosti(L"Hotovo."), L"Hotovo.\r\n");
    EXPECT_EQ(NacistText(20024, 3), L"3 klávesové zkratky se nepodařilo zaregistrovat.");
}

// The external contacts program is started only when it really starts: absent (or a folder of that name) falls
// back to the dialog, a file that is no program is a failure, a real one starts.
TEST(Dizivuz, StartedOnlyWhenItReallyStarts)
{
    wchar_t slozka[MAX_PATH];
    GetModuleFileNameW(nullptr, slozka, MAX_PATH);
    PathRemoveFileSpecW(slozka);
    const std::wstring cesta = std::wstring(slozka) + L"\\Dizivuz.exe";
    Aplikace aplikace;
    DeleteFileW(cesta.c_str());
    EXPECT_EQ(aplikace.SpustitDizivuz(), E_INVALIDARG);
    ASSERT_TRUE(CreateDirectoryW(cesta.c_str(), nullptr));
    EXPECT_EQ(aplikace.SpustitDizivuz(), E_INVALIDARG);
    RemoveDirectoryW(cesta.c_str());

    WriteBytes(cesta, "not a program");
    EXPECT_LT(aplikace.SpustitDizivuz(), 0);

    // Any small console program serves as the contacts program.
    ASSERT_TRUE(CopyFileW((std::wstring(slozka) + L"\\harness\\tonbar-ctl.exe").c_str(), cesta.c_str(), FALSE));
    EXPECT_EQ(aplikace.SpustitDizivuz(), S_OK);
    Sleep(1500);  // let it start and exit before the file is removed
    DeleteFileW(cesta.c_str());
}

// The rename dialog selects the name before the last dot.
TEST(VstupTextu, RenameSelectsTheNameBeforeTheLastDot)
{
    for (auto [jmeno, konec] :
         {std::pair{L"Záznam 12.wma", 9}, {L"a.b.wma", 3}, {L"bez tecky", 9}, {L".wma", 0}})
        EXPECT_EQ(KonecVyberuJmena(jmeno), konec) << jmeno;
}
