// The configuration record against Wine's real registry.
#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "app/TestModul.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using tonbar::test::TestModul;

namespace {

// Each test works under a key of its own, removed afterwards.
class KonfiguraceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        klic_ = L"Software\\Mirvak\\TonbarTest\\" +
                std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++citac_);
        RegDeleteTreeW(HKEY_CURRENT_USER, klic_.c_str());
        InicializovatKonfiguraci(k_);
        k_.registrovaCesta = klic_;
    }
    void TearDown() override
    {
        UvolnitKonfiguraci(k_);
        RegDeleteTreeW(HKEY_CURRENT_USER, klic_.c_str());
    }

    std::wstring Cesta(const wchar_t* podklic) const
    {
        return podklic && *podklic ? klic_ + L"\\" + podklic : klic_;
    }
    void Zapsat(const wchar_t* podklic, const wchar_t* nazev, DWORD typ, const void* data, DWORD velikost)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Cesta(podklic).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, nazev, 0, typ, static_cast<const BYTE*>(data), velikost), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void ZapsatDword(const wchar_t* podklic, const wchar_t* nazev, DWORD hodnota)
    {
        Zapsat(podklic, nazev, REG_DWORD, &hodnota, sizeof hodnota);
    }
    void ZapsatText(const wchar_t* podklic, const wchar_t* nazev, const std::wstring& text)
    {
        Zapsat(podklic, nazev, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
    }
    // The value names of a key, or nullopt-like empty set with `existuje` false.
    std::set<std::wstring> Hodnoty(const wchar_t* podklic, bool* existuje = nullptr)
    {
        std::set<std::wstring> nazvy;
        HKEY key = nullptr;
        bool ok = RegOpenKeyExW(HKEY_CURRENT_USER, Cesta(podklic).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (existuje)
            *existuje = ok;
        if (!ok)
            return nazvy;
        for (DWORD i = 0;; ++i) {
            wchar_t nazev[256];
            DWORD delka = 256;
            if (RegEnumValueW(key, i, nazev, &delka, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            nazvy.insert(nazev);
        }
        RegCloseKey(key);
        return nazvy;
    }
    bool KlicExistuje(const wchar_t* podklic)
    {
        bool existuje = false;
        Hodnoty(podklic, &existuje);
        return existuje;
    }
    const HorkaKlavesa* Klavesa(uint32_t prikaz) const
    {
        for (uint32_t i = 0; i < k_.pocetHorkychKlaves; ++i)
            if (k_.horke_klavesy[i].prikaz == prikaz)
                return &k_.horke_klavesy[i];
        return nullptr;
    }

    Konfigurace k_;
    std::wstring klic_;
    TestModul modul_;
    static inline int citac_ = 0;
};

TEST_F(KonfiguraceTest, FirstStartRunsOnDefaultsAndCreatesTheDataFolder)
{
    AudioCaptureDevice prvni{L"Mikrofon", L"", L"@device:cm:1"};
    ASSERT_EQ(NastavitVychozi(k_, L"uzivatel", &prvni), S_OK);
    EXPECT_EQ(Nacist(k_), S_FALSE);   // no key yet
    EXPECT_TRUE(modul_.zpravy.empty());

    EXPECT_EQ(k_.slozka_data.size() > 7 ? k_.slozka_data.substr(k_.slozka_data.size() - 7) : L"", L"\\Tonbar");
    EXPECT_TRUE(PathIsDirectoryW(k_.slozka_data.c_str()));
    EXPECT_EQ(k_.seznam_souboru_slozka, k_.slozka_data);
    EXPECT_EQ(k_.zarizeni.friendlyName, L"Mikrofon");
    EXPECT_EQ(k_.smtp_ucet.jmeno, L"uzivatel");
    EXPECT_EQ(k_.soubor_jmeno, L"Záznam");
    EXPECT_EQ(k_.max_pocet_souboru, 500u);
    EXPECT_EQ(k_.varovani_ticho, 30u);
    EXPECT_EQ(k_.vytv_jmena, 2u);
    EXPECT_EQ(k_.seznam_souboru_parametry, 7u);
    EXPECT_EQ(k_.process_priority, static_cast<uint32_t>(NORMAL_PRIORITY_CLASS));
    EXPECT_TRUE(IsEqualGUID(k_.profil, kVychoziProfil));
    const uint32_t akce[8] = {40008, 40009, 40009, 40009, 40002, 40009, 40002, 40009};
    EXPECT_TRUE(std::equal(akce, akce + 8, k_.akce_ikona_hlavni));
    ASSERT_EQ(k_.pocetHorkychKlaves, 6u);
    const uint32_t prikazy[6] = {40001, 40002, 40008, 40011, 40013, 40010};
    const uint32_t skupiny[6] = {20003, 20003, 20003, 20022, 20022, 20022};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(k_.horke_klavesy[i].prikaz, prikazy[i]);
        EXPECT_EQ(k_.horke_klavesy[i].skupina, skupiny[i]);
        EXPECT_EQ(k_.horke_klavesy[i].klavesa, 0u);
    }
    // Loading did not create the key.
    EXPECT_FALSE(KlicExistuje(nullptr));
}

TEST_F(KonfiguraceTest, StringWhereDwordExpectedStopsTheLoadAndKeepsLaterDefaults)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    ZapsatDword(nullptr, L"po_spusteni", 3);                 // read before the bad value
    ZapsatText(nullptr, L"process_priority", L"12345");       // 12 bytes into a DWORD
    ZapsatDword(nullptr, L"zapis_udalosti", 30);              // read after it
    ZapsatDword(L"soubor", L"max_pocet_souboru", 9);

    HRESULT hr = Nacist(k_);
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_MORE_DATA));
    ASSERT_EQ(modul_.zpravy.size(), 1u);
    EXPECT_EQ(modul_.zpravy[0].text.rfind(L"Došlo k chybě při načítání konfigurace z registru Windows.\n\n"
                                          L"Systémový popis chyby:\n", 0),
              0u);
    EXPECT_EQ(modul_.zpravy[0].flags, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(k_.po_spusteni, 3u);
    EXPECT_EQ(k_.process_priority, static_cast<uint32_t>(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(k_.zapis_udalosti, 1u);
    EXPECT_EQ(k_.max_pocet_souboru, 500u);

    // A one-character string fits the 4-byte buffer: numeric types are not checked.
    ZapsatText(nullptr, L"process_priority", L"A");
    modul_.zpravy.clear();
    EXPECT_EQ(Nacist(k_), S_OK);
    EXPECT_TRUE(modul_.zpravy.empty());
    EXPECT_EQ(k_.process_priority, static_cast<uint32_t>(L'A'));
    EXPECT_EQ(k_.zapis_udalosti, 30u);
}

TEST_F(KonfiguraceTest, NonStringWhereStringExpectedStopsTheLoad)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    std::wstring vychozi = k_.slozka_data;
    ZapsatDword(nullptr, L"slozka_data", 5);
    ZapsatDword(nullptr, L"zapis_udalosti", 30);
    EXPECT_EQ(Nacist(k_), HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH));
    EXPECT_EQ(modul_.zpravy.size(), 1u);
    EXPECT_EQ(k_.slozka_data, vychozi);
    EXPECT_EQ(k_.zapis_udalosti, 1u);
}

TEST_F(KonfiguraceTest, ShortIconActionsFillOnlyTheirFirstBytes)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    const uint32_t kratke[2] = {40013, 40011};
    Zapsat(nullptr, L"akce_ikona_hlavni", REG_BINARY, kratke, sizeof kratke);
    EXPECT_EQ(Nacist(k_), S_OK);
    EXPECT_TRUE(modul_.zpravy.empty());
    EXPECT_EQ(k_.akce_ikona_hlavni[0], 40013u);
    EXPECT_EQ(k_.akce_ikona_hlavni[1], 40011u);
    EXPECT_EQ(k_.akce_ikona_hlavni[2], 40009u);
    EXPECT_EQ(k_.akce_ikona_hlavni[7], 40009u);

    // Longer than the field is a load error.
    const uint32_t dlouhe[9] = {};
    Zapsat(nullptr, L"akce_ikona_hlavni", REG_BINARY, dlouhe, sizeof dlouhe);
    EXPECT_LT(Nacist(k_), 0);
}

TEST_F(KonfiguraceTest, UnterminatedStringIsReadWhole)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    const wchar_t bez[3] = {L'a', L'b', L'č'};   // no terminating zero stored
    Zapsat(L"soubor", L"jmeno", REG_SZ, bez, sizeof bez);
    EXPECT_EQ(Nacist(k_), S_OK);
    EXPECT_EQ(k_.soubor_jmeno, L"abč");
}

TEST_F(KonfiguraceTest, UnknownHotKeysAreAddedAndSavingWritesExactlyTheArray)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    const uint32_t nova[4] = {MOD_CONTROL | MOD_ALT, 'K', 0, 20003};
    const uint32_t start[4] = {MOD_CONTROL, 'R', 12345, 20022};
    Zapsat(L"horke_klavesy", L"40016", REG_BINARY, nova, sizeof nova);
    Zapsat(L"horke_klavesy", L"40011", REG_BINARY, start, sizeof start);
    Zapsat(L"horke_klavesy", L"neni_cislo", REG_BINARY, start, sizeof start);
    EXPECT_EQ(Nacist(k_), S_OK);

    ASSERT_EQ(k_.pocetHorkychKlaves, 7u);
    const HorkaKlavesa* h = Klavesa(40016);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->modifikatory, static_cast<uint32_t>(MOD_CONTROL | MOD_ALT));
    EXPECT_EQ(h->klavesa, static_cast<uint32_t>('K'));
    EXPECT_EQ(h->skupina, 20003u);
    h = Klavesa(40011);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->klavesa, static_cast<uint32_t>('R'));
    EXPECT_EQ(h->prikaz, 40011u);   // the stored command id is not used

    // Drop one entry and save: the key holds exactly the array, nothing else.
    k_.horke_klavesy[0] = k_.horke_klavesy[--k_.pocetHorkychKlaves];
    ASSERT_EQ(Ulozit(k_), S_OK);
    std::set<std::wstring> ocekavane;
    for (uint32_t i = 0; i < k_.pocetHorkychKlaves; ++i)
        ocekavane.insert(std::to_wstring(k_.horke_klavesy[i].prikaz));
    EXPECT_EQ(Hodnoty(L"horke_klavesy"), ocekavane);
    EXPECT_EQ(ocekavane.count(L"40001"), 0u);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Cesta(L"horke_klavesy").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    uint32_t data[4] = {};
    DWORD velikost = sizeof data, typ = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"40016", nullptr, &typ, reinterpret_cast<BYTE*>(data), &velikost), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(typ, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(velikost, 16u);
    EXPECT_EQ(data[1], static_cast<uint32_t>('K'));
    EXPECT_EQ(data[2], 40016u);
}

TEST_F(KonfiguraceTest, ViewSaveWritesOnlyItsSubset)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    k_.okno_navrchu = true;
    k_.toolbar = 2;
    k_.prijemci_email = L"jana@example.org";
    ASSERT_EQ(UlozitZobrazeni(k_), S_OK);

    EXPECT_EQ(Hodnoty(nullptr), (std::set<std::wstring>{L"process_priority"}));
    EXPECT_EQ(Hodnoty(L"email\\prijemci"), (std::set<std::wstring>{L"email", L"dalsi_emaily"}));
    EXPECT_EQ(Hodnoty(L"email"), std::set<std::wstring>{});
    EXPECT_EQ(Hodnoty(L"seznam_souboru"), (std::set<std::wstring>{L"parametry", L"slozka"}));
    EXPECT_EQ(Hodnoty(L"zobrazit"),
              (std::set<std::wstring>{L"okno_navrchu", L"statusbar", L"toolbar", L"seznam_souboru"}));
    for (const wchar_t* klic : {L"soubor", L"wma", L"zarizeni", L"smtp_ucet", L"horke_klavesy", L"prehravani"})
        EXPECT_FALSE(KlicExistuje(klic)) << klic;
}

TEST_F(KonfiguraceTest, SaveAndLoadRoundTrip)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
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
    EXPECT_EQ(Hodnoty(nullptr).count(L"varovani_ticho"), 1u) << "beside the program's other values";

    Konfigurace druha;
    InicializovatKonfiguraci(druha);
    druha.registrovaCesta = klic_;
    ASSERT_EQ(NastavitVychozi(druha), S_OK);
    EXPECT_EQ(Nacist(druha), S_OK);
    EXPECT_EQ(druha.slozka_data, k_.slozka_data);
    EXPECT_EQ(druha.soubor_jmeno, L"Přednáška");
    EXPECT_EQ(druha.smtp_ucet.server, L"smtp.example.org");
    EXPECT_EQ(druha.smtp_ucet.jmeno, L"Jméno");
    EXPECT_TRUE(druha.vlastni_profil);
    EXPECT_EQ(druha.soubor_prx, L"C:\\profil.prx");
    EXPECT_TRUE(IsEqualGUID(druha.profil, k_.profil));
    EXPECT_EQ(druha.zarizeni.friendlyName, L"Monitor of Mikrofon");
    EXPECT_EQ(druha.zarizeni.devicePath, L"@device:1");
    EXPECT_TRUE(druha.zarizeni.description.empty());
    EXPECT_EQ(druha.posledni_cislo, 77u);
    EXPECT_EQ(druha.akce_ikona_hlavni[7], 40011u);
    EXPECT_EQ(druha.varovani_ticho, 0u);
    EXPECT_EQ(druha.pocetHorkychKlaves, 6u);
    UvolnitKonfiguraci(druha);

    // Only the running number changes with UlozitPosledniCislo.
    k_.posledni_cislo = 78;
    k_.soubor_jmeno = L"neuloženo";
    ASSERT_EQ(UlozitPosledniCislo(k_), S_OK);
    InicializovatKonfiguraci(druha);
    druha.registrovaCesta = klic_;
    ASSERT_EQ(NastavitVychozi(druha), S_OK);
    EXPECT_EQ(Nacist(druha), S_OK);
    EXPECT_EQ(druha.posledni_cislo, 78u);
    EXPECT_EQ(druha.soubor_jmeno, L"Přednáška");
    UvolnitKonfiguraci(druha);
}

TEST_F(KonfiguraceTest, AddHotKeyOnlyIfMissing)
{
    ASSERT_EQ(NastavitVychozi(k_), S_OK);
    EXPECT_EQ(PridatHorkouKlavesu(k_, 40011, 20022, true), S_FALSE);
    EXPECT_EQ(k_.pocetHorkychKlaves, 6u);
    EXPECT_EQ(PridatHorkouKlavesu(k_, 40040, 20003, true), S_OK);
    EXPECT_EQ(k_.pocetHorkychKlaves, 7u);
    ASSERT_NE(Klavesa(40040), nullptr);
    EXPECT_EQ(Klavesa(40040)->klavesa, 0u);
}

} // namespace
