// The recording-profile store against Wine's registry, its command ranges, the file a start by
// profile records into, and both profile dialogs (add and remove as all lists: stores/seznamy_test.cpp).
#include "harness/Dialogy.h"
#include "settings/NastaveniTest.h"

#include "app/Chyby.h"
#include "app/TestModul.h"
#include "media/dshow/WmProfiles.h"
#include "recording/DlgProfilyZaznamu.h"
#include "recording/RecordingProfile.h"
#include "recording/SeznamProfiluKodovani.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>

using namespace tonbar::test;
using mirvak::winapi::SpravovatProfilyZaznamu;
using mirvak::winapi::VysledekProfiluZaznamu;

namespace {

RecordingProfile Profil(const std::wstring& nazev, const GUID& guid, const std::wstring& slozka,
                        const std::wstring& zarizeni = L"", const std::wstring& cesta = L"")
{
    RecordingProfile p;
    p.name = nazev, p.profileId = guid, p.folder = slozka;
    p.device.friendlyName = zarizeni, p.device.devicePath = cesta;
    return p;
}

bool KlicExistuje(const std::wstring& klic)
{
    HKEY k = nullptr;
    return RegOpenKeyExW(HKEY_CURRENT_USER, klic.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS && !RegCloseKey(k);
}

// A profile as one line: name|folder|row of its encoding profile (7: none)|device name|device path;
std::wstring Radek(const RecordingProfile& p)
{
    int i = 0;
    while (i < kPocetProfiluKodovani && !IsEqualGUID(p.profileId, kProfilyKodovani[i]))
        ++i;
    return p.name + L"|" + p.folder + L"|" + std::to_wstring(i) + L"|" + p.device.friendlyName + L"|" +
           p.device.devicePath + L";";
}

class StoreTest : public ::testing::Test {
protected:
    TestModul modul_;
    TestKonfigurace konf_;
    RecordingProfileStore store_{konf_.k.registrovaCesta};

    std::wstring KlicProfilu(const std::wstring& nazev) const { return konf_.Klic(L"profily_zaznamu") + L"\\" + nazev; }
    RecordingProfileStore Znovu() const
    {
        RecordingProfileStore s(konf_.k.registrovaCesta);
        EXPECT_EQ(s.Load(), S_OK);
        return s;
    }
    // What a fresh load finds: the lines of its profiles in name order.
    std::wstring Ulozene() const
    {
        RecordingProfileStore s = Znovu();
        std::multiset<std::wstring> radky;
        for (int i = 0; i < s.Count(); ++i)
            radky.insert(Radek(s.At(i)));
        std::wstring v;
        for (const std::wstring& r : radky)
            v += r;
        return v;
    }
    // A text value as stored: REG_SZ, its size in bytes with the terminating zero.
    std::wstring Hodnota(const std::wstring& klic, const wchar_t* nazev, DWORD* velikost = nullptr) const
    {
        HKEY k = nullptr;
        DWORD typ = 0, n = 0;
        std::vector<BYTE> data(1024);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, klic.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
            n = static_cast<DWORD>(data.size());
            RegQueryValueExW(k, nazev, nullptr, &typ, data.data(), &n);
            RegCloseKey(k);
        }
        if (velikost)
            *velikost = n;
        return typ == REG_SZ && n >= 2 ? std::wstring(reinterpret_cast<const wchar_t*>(data.data()), n / 2 - 1) : L"<chybí>";
    }
    static void Zapsat(const std::wstring& klic, const wchar_t* nazev, DWORD typ, const void* data, DWORD velikost)
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, klic.c_str(), nazev, typ, data, velikost), ERROR_SUCCESS);
    }
};

TEST_F(StoreTest, SavesTheRegistryLayoutAndLoadsItBack)
{
    store_.Append(Profil(L"Porada", kProfilyKodovani[0], L"C:\\Zaznamy\\Porady", L"Mikrofon", L"\\\\?\\usb#1"));
    store_.Append(Profil(L"Živě ČR", kProfilyKodovani[6], L"D:\\Rádio", L"Monitor of Mikrofon"));
    store_.Append(Profil(L"Bez zařízení", kProfilyKodovani[3], L"C:\\x"));
    ASSERT_EQ(store_.Save(), S_OK);
    EXPECT_TRUE(modul_.zpravy.empty());

    const std::wstring k = KlicProfilu(L"Živě ČR");
    DWORD velikost = 0;
    EXPECT_EQ(Hodnota(k, L"nazev", &velikost), L"Živě ČR");
    EXPECT_EQ(velikost, (7u + 1) * 2);  // terminating zero included
    EXPECT_EQ(Hodnota(k, L"slozka"), L"D:\\Rádio");
    EXPECT_EQ(Hodnota(k, L"friendly_name"), L"Monitor of Mikrofon");
    EXPECT_EQ(Hodnota(k, L"device_path", &velikost), L"");
    EXPECT_EQ(velikost, 2u);
    std::vector<BYTE> guid = konf_.Binarni(L"profily_zaznamu\\Živě ČR", L"profil");
    ASSERT_EQ(guid.size(), 16u);
    EXPECT_EQ(std::memcmp(guid.data(), &kProfilyKodovani[6], 16), 0);

    EXPECT_EQ(Ulozene(), L"Bez zařízení|C:\\x|3||;Porada|C:\\Zaznamy\\Porady|0|Mikrofon|\\\\?\\usb#1;"
                         L"Živě ČR|D:\\Rádio|6|Monitor of Mikrofon|;");
    RecordingProfileStore nacteny = Znovu();
    // Found whatever the letter case, Czech letters too; no index outside.
    EXPECT_EQ(nacteny.Find(L"ŽIVĚ čr"), nacteny.Find(L"Živě ČR"));
    EXPECT_GE(nacteny.Find(L"živě čr"), 0);
    EXPECT_EQ(nacteny.Find(L"Živě"), -1);
    EXPECT_THROW(nacteny.At(3), long);
    EXPECT_THROW(nacteny.At(-1), long);
}

TEST_F(StoreTest, SaveReplacesWhatWasStoredAndRenameAndRemoveFollow)
{
    // No store key yet: the open failure comes back.
    EXPECT_EQ(store_.DeleteKey(L"A"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    store_.Append(Profil(L"A", kProfilyKodovani[0], L"C:\\a"));
    store_.Append(Profil(L"B", kProfilyKodovani[1], L"C:\\b"));
    store_.Append(Profil(L"C", kProfilyKodovani[2], L"C:\\c"));
    ASSERT_EQ(store_.Save(), S_OK);
    // DeleteKey never reaches beyond one profile: an empty name would remove them all, "\\" a nested key.
    EXPECT_EQ(store_.DeleteKey(L""), E_INVALIDARG);
    EXPECT_EQ(store_.DeleteKey(L"A\\.."), E_INVALIDARG);
    EXPECT_EQ(store_.DeleteKey(L"neni"), S_OK);
    EXPECT_EQ(Znovu().Count(), 3);

    // Rename as the dialog does it: the old key goes first.
    ASSERT_EQ(store_.DeleteKey(L"B"), S_OK);
    EXPECT_FALSE(KlicExistuje(KlicProfilu(L"B")));
    store_.At(1).name = L"Béčko";
    ASSERT_EQ(store_.Save(), S_OK);
    // Remove.
    ASSERT_EQ(store_.DeleteKey(L"a"), S_OK);  // key names ignore case
    ASSERT_EQ(store_.Erase(0), S_OK);
    ASSERT_EQ(store_.Save(), S_OK);

    EXPECT_EQ(Ulozene(), L"Béčko|C:\\b|1||;C|C:\\c|2||;");

    // An empty store saves as an empty key, and loads as no profiles.
    ASSERT_EQ(store_.Erase(1), S_OK);
    ASSERT_EQ(store_.Erase(0), S_OK);
    EXPECT_EQ(store_.Erase(0), E_INVALIDARG);
    ASSERT_EQ(store_.Save(), S_OK);
    EXPECT_TRUE(KlicExistuje(konf_.Klic(L"profily_zaznamu")));
    EXPECT_EQ(Ulozene(), L"");
}

TEST_F(StoreTest, ABadNameOrADuplicateStopsTheSaveBeforeAnythingIsLost)
{
    store_.Append(Profil(L"Stávající", kProfilyKodovani[2], L"C:\\s"));
    ASSERT_EQ(store_.Save(), S_OK);

    // Names that cannot be a key name; 255 characters still can.
    EXPECT_EQ(CheckProfileName(std::wstring(255, L'x')), S_OK);
    const std::wstring spatne[] = {L"", L"   ", L"vnořený\\klíč", L"\\", std::wstring(256, L'd')};
    for (const std::wstring& jmeno : spatne) {
        modul_.zpravy.clear();
        store_.Append(Profil(jmeno, kProfilyKodovani[0], L"C:\\n"));
        EXPECT_EQ(store_.Save(), E_INVALIDARG) << jmeno.size();
        // The failure is shown with string 20042 and the sequence stays.
        ASSERT_EQ(modul_.zpravy.size(), 1u);
        EXPECT_NE(modul_.zpravy[0].text.find(NacistRetezec(IDS_CHYBA_ZAPIS_PROFILU)), std::wstring::npos);
        EXPECT_EQ(store_.Count(), 2);
        ASSERT_EQ(store_.Erase(1), S_OK);
    }
    store_.Append(Profil(L"STÁVAJÍCÍ", kProfilyKodovani[0], L"C:\\n"));
    EXPECT_EQ(store_.SaveQuiet(), E_INVALIDARG);

    EXPECT_EQ(Ulozene(), L"Stávající|C:\\s|2||;");
    EXPECT_FALSE(KlicExistuje(KlicProfilu(L"vnořený")));
}

TEST_F(StoreTest, LoadCopesWithAMissingKeyAndMalformedValues)
{
    store_.Append(Profil(L"stary", kProfilyKodovani[0], L"C:\\x"));
    EXPECT_EQ(store_.Load(), S_OK);  // nothing stored: the sequence is emptied
    EXPECT_EQ(store_.Count(), 0);

    const std::wstring k = KlicProfilu(L"Ručně");
    const BYTE kratky[5] = {1, 2, 3, 4, 5};
    Zapsat(k, L"profil", REG_BINARY, kratky, sizeof kratky);
    DWORD cislo = 7;
    Zapsat(k, L"slozka", REG_DWORD, &cislo, sizeof cislo);
    // Text without its terminating zero.
    Zapsat(k, L"friendly_name", REG_SZ, L"Mikrofon", 8 * 2);
    Zapsat(KlicProfilu(L"Prázdný"), L"nazev", REG_SZ, L"x", 4);

    ASSERT_EQ(store_.Load(), S_OK);
    ASSERT_EQ(store_.Count(), 2);
    // Whatever cannot be read is empty, the profile the default (row 6).
    EXPECT_EQ(Ulozene(), L"Prázdný||6||;Ručně||6|Mikrofon|;");
}

TEST_F(StoreTest, ACommandOfARangeNamesAProfileIndex)
{
    EXPECT_EQ(ProfileIndexFromCommand(store_, kPrikazyZaznamPodleProfilu, kPrikazyZaznamPodleProfilu), -1);
    for (int i = 0; i < 3; ++i)
        store_.Append(Profil(L"p" + std::to_wstring(i), kProfilyKodovani[0], L"C:\\a"));
    for (auto [prikaz, index] : {std::pair{52602, 2}, {52603, -1}, {52599, -1}, {52400, -1}})
        EXPECT_EQ(ProfileIndexFromCommand(store_, prikaz, kPrikazyPrepnoutProfil), index) << prikaz;
    for (int i = 3; i < 205; ++i)
        store_.Append(Profil(L"p" + std::to_wstring(i), kProfilyKodovani[0], L"C:\\a"));
    EXPECT_EQ(ProfileIndexFromCommand(store_, 52799, kPrikazyPrepnoutProfil), 199);
    // A range never reaches into the next one.
    EXPECT_EQ(ProfileIndexFromCommand(store_, kPrikazySlozkaProfilu, kPrikazyZaznamPodleProfilu), -1);
}

TEST(ProfileRecording, NamesTheFileByDateAndTimeInTheProfilesFolder)
{
    SYSTEMTIME cas{2026, 3, 0, 5, 7, 8, 9, 0};
    std::wstring cesta;
    ASSERT_EQ(ProfileRecordingFile(Profil(L"p", kProfilyKodovani[0], L"C:\\Záznamy"), cas, cesta), S_OK);
    EXPECT_EQ(cesta, L"C:\\Záznamy\\5.3.2026 07-08-09.wma");
    cas = {2026, 12, 0, 28, 23, 8, 9, 0};
    ASSERT_EQ(ProfileRecordingFile(Profil(L"p", kProfilyKodovani[0], L"\\\\server\\sdílená"), cas, cesta), S_OK);
    EXPECT_EQ(cesta, L"\\\\server\\sdílená\\28.12.2026 23-08-09.wma");
    // No folder: refused, the path untouched.
    cesta = L"nezměněno";
    for (const wchar_t* slozka : {L"", L"  "})
        EXPECT_EQ(ProfileRecordingFile(Profil(L"p", kProfilyKodovani[0], slozka), cas, cesta), E_INVALIDARG);
    EXPECT_EQ(cesta, L"nezměněno");
}

class DialogyTest : public StoreTest {
protected:
    void SetUp() override
    {
        modul_.odpoved = IDYES;
        konf_.k.slozka_data = slozka_.Path();
        konf_.k.profil = kProfilyKodovani[3];
        store_.Append(Profil(L"Porada", kProfilyKodovani[5], slozka_.Path() + L"\\porady", L"Neexistující mikrofon"));
        ASSERT_EQ(store_.Save(), S_OK);
    }
    HRESULT Spustit(VysledekProfiluZaznamu& vysledek, const std::function<void(HWND)>& ridic)
    {
        return static_cast<HRESULT>(
            Ridit([&] { return SpravovatProfilyZaznamu(nullptr, store_, zarizeni_, vysledek, &konf_.k); }, [&] {
                if (HWND dlg = CekatNaDialog(L"", IDC_PROFILY_SEZNAM))
                    ridic(dlg);
            }));
    }
    // Answers the text input a command of `dlg` opened with `text`; the
    // message it caused, once the list has its turn again.
    std::wstring Zadat(HWND dlg, const wchar_t* text)
    {
        size_t pred = modul_.zpravy.size();
        if (HWND vstup = CekatNaDialog(L"", IDC_VSTUP_TEXT)) {
            Napsat(vstup, IDC_VSTUP_TEXT, text);
            Kliknout(vstup, IDOK);
            CekatNaZavreni(vstup);
        }
        PockatNa([&] { return IsWindowEnabled(dlg) != FALSE; });
        Synchronizovat(dlg);
        return modul_.zpravy.size() > pred ? modul_.zpravy.back().text : L"";
    }
    static HWND DialogProfilu() { return CekatNaDialog(L"Upravit profil záznamu - ", IDC_PRZ_KODOVANI); }
    static void Zavrit(HWND dlg, HWND profil, int tlacitko)
    {
        Kliknout(profil, tlacitko);
        CekatNaZavreni(profil);
        Synchronizovat(dlg);
    }

    ComScope com_;
    TestFolder slozka_;
    AudioCaptureDeviceList zarizeni_;
};

TEST_F(DialogyTest, AddingChecksTheNameAndSavesWhatTheProfileDialogChose)
{
    const std::wstring novaSlozka = slozka_.Path() + L"\\schůzky";
    std::wstring zvoleneZarizeni, seznam, vstup, profil, poPridani;
    std::vector<std::wstring> zpravy;
    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek,
                      [&](HWND dlg) {
                          // The stored profile selected and its values shown.
                          seznam = Text(dlg) + L"|" + Vybrana(dlg, IDC_PROFILY_SEZNAM) + L"|" + Text(dlg, IDC_PRZ_SLOZKA) + L"|" +
                                   Text(dlg, IDC_PROFILY_ZARIZENI) + L"|" + Text(dlg, IDC_PROFILY_KODOVANI) + L"|" +
                                   Text(dlg, IDC_PRZ_NADPIS);
                          // An empty name, then one with a backslash.
                          for (const wchar_t* spatne : {L"", L"Porady\\Pondělí"}) {
                              Kliknout(dlg, IDC_PROFILY_PRIDAT);
                              if (HWND v = CekatNaDialog(L"", IDC_VSTUP_TEXT); v && vstup.empty())
                                  vstup = Text(v, IDC_VSTUP_POPIS) + L"|" + Text(v, IDC_VSTUP_TEXT);
                              zpravy.push_back(Zadat(dlg, spatne));
                          }
                          Kliknout(dlg, IDC_PROFILY_PRIDAT);
                          Zadat(dlg, L"Schůzka");
                          HWND p = DialogProfilu();
                          if (!p)
                              return Kliknout(dlg, IDOK);
                          // Starts from the configuration's folder and encoding profile;
                          // the devices are the system's, enumerated again.
                          HWND kodovani = GetDlgItem(p, IDC_PRZ_KODOVANI), combo = GetDlgItem(p, IDC_PRZ_ZARIZENI);
                          profil = Text(p) + L"|" + Text(p, IDC_PRZ_NADPIS) + L"|" + Text(p, IDC_PRZ_SLOZKA) + L"|" +
                                   std::to_wstring(SendMessageW(kodovani, CB_GETCOUNT, 0, 0)) + L"|" +
                                   std::to_wstring(SendMessageW(kodovani, CB_GETCURSEL, 0, 0)) + L"|" +
                                   std::to_wstring(SendMessageW(combo, CB_GETCOUNT, 0, 0) - zarizeni_.Count());
                          // No folder: refused, the dialog stays.
                          Napsat(p, IDC_PRZ_SLOZKA, L"");
                          size_t pred = modul_.zpravy.size();
                          Kliknout(p, IDOK);
                          PockatNa([&] { return modul_.zpravy.size() > pred; });
                          zpravy.push_back(modul_.zpravy.size() > pred ? modul_.zpravy.back().text : L"");
                          Napsat(p, IDC_PRZ_SLOZKA, novaSlozka);
                          Vybrat(p, IDC_PRZ_KODOVANI, 1, true);
                          if (int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); n > 0) {
                              Vybrat(p, IDC_PRZ_ZARIZENI, n - 1, true);
                              zvoleneZarizeni = TextPolozky(combo, n - 1, true);
                          }
                          Zavrit(dlg, p, IDOK);
                          poPridani = Vybrana(dlg, IDC_PROFILY_SEZNAM) + L"|" + Text(dlg, IDC_PRZ_SLOZKA) + L"|" +
                                      Text(dlg, IDC_PROFILY_ZARIZENI) + L"|" + Text(dlg, IDC_PROFILY_KODOVANI);
                          Kliknout(dlg, IDOK);
                      }),
              S_OK);
    EXPECT_EQ(seznam.rfind(L"Profily záznamu - Tonbar|Porada|" + slozka_.Path() + L"\\porady|Neexistující mikrofon|", 0),
              0u);
    EXPECT_NE(seznam.find(L"96 Kbps"), std::wstring::npos);
    EXPECT_NE(seznam.find(L"|Vlastní profily pro rychlé spuštění záznamu"), std::wstring::npos);
    EXPECT_EQ(vstup, NacistRetezec(IDS_ZADEJ_NAZEV_PROFILU) + L"|Nový profil");
    EXPECT_EQ(profil, L"Upravit profil záznamu - Schůzka|Parametry vlastního profilu záznamu|" + slozka_.Path() +
                          L"|7|3|0");
    ASSERT_EQ(zpravy.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(zpravy[i].find(NacistRetezec(i < 2 ? IDS_NEPLATNY_NAZEV_PROFILU : IDS_PROFIL_BEZ_SLOZKY)),
                  std::wstring::npos) << i;
    EXPECT_EQ(poPridani.rfind(L"Schůzka|" + novaSlozka + L"|" + zvoleneZarizeni + L"|", 0), 0u);
    EXPECT_NE(poPridani.find(L"FM Radio Stereo"), std::wstring::npos);
    EXPECT_TRUE(vysledek.zarizeniObnovena);
    EXPECT_TRUE(vysledek.profilyZmeneny);

    // Saved to the registry at once (the device path is the system's).
    const std::wstring u = Ulozene();
    EXPECT_EQ(u.rfind(L"Porada|" + slozka_.Path() + L"\\porady|5|Neexistující mikrofon|;Schůzka|" + novaSlozka +
                          L"|1|" + zvoleneZarizeni + L"|", 0), 0u) << u;
    EXPECT_EQ(std::count(u.begin(), u.end(), L';'), 2) << u;
}

// A cancelled edit changes nothing, a kept one is saved; a rename to another
// profile's name in other letter case is refused, to its own is silently
// nothing, a real one moves the registry key.
TEST_F(DialogyTest, EditAndRenameSaveTheirChanges)
{
    store_.Append(Profil(L"Zkouška", kProfilyKodovani[0], slozka_.Path() + L"\\zkousky"));
    ASSERT_EQ(store_.Save(), S_OK);
    ASSERT_EQ(store_.Load(), S_OK);  // the order the dialog shows is the registry's
    const std::wstring upravena = slozka_.Path() + L"\\jinam";
    std::wstring profil, poZruseni, poUprave, nazevKPrejmenovani, vybrana;
    std::vector<std::wstring> zpravy;
    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek,
                      [&](HWND dlg) {
                          Vybrat(dlg, IDC_PROFILY_SEZNAM,
                                 static_cast<int>(SendDlgItemMessageW(dlg, IDC_PROFILY_SEZNAM, LB_FINDSTRINGEXACT,
                                                                      static_cast<WPARAM>(-1),
                                                                      reinterpret_cast<LPARAM>(L"Porada"))));
                          Kliknout(dlg, IDC_PROFILY_UPRAVIT);
                          if (HWND p = DialogProfilu()) {
                              profil = Text(p) + L"|" +
                                       std::to_wstring(SendDlgItemMessageW(p, IDC_PRZ_KODOVANI, CB_GETCURSEL, 0, 0)) +
                                       L"|" + std::to_wstring(SendDlgItemMessageW(p, IDC_PRZ_ZARIZENI, CB_GETCURSEL, 0, 0));
                              Napsat(p, IDC_PRZ_SLOZKA, L"C:\\zahodit");
                              Zavrit(dlg, p, IDCANCEL);
                          }
                          poZruseni = Text(dlg, IDC_PRZ_SLOZKA);
                          Kliknout(dlg, IDC_PROFILY_UPRAVIT);
                          if (HWND p = DialogProfilu()) {
                              Napsat(p, IDC_PRZ_SLOZKA, upravena);
                              Vybrat(p, IDC_PRZ_KODOVANI, 6, true);
                              Zavrit(dlg, p, IDOK);
                          }
                          poUprave = Vybrana(dlg, IDC_PROFILY_SEZNAM) + L"|" + Text(dlg, IDC_PRZ_SLOZKA);
                          for (const wchar_t* nazev : {L"ZKOUŠKA", L"PORADA", L"Porada týmu"}) {
                              Kliknout(dlg, IDC_PROFILY_PREJMENOVAT);
                              if (nazevKPrejmenovani.empty())
                                  if (HWND v = CekatNaDialog(L"", IDC_VSTUP_TEXT))
                                      nazevKPrejmenovani = Text(v, IDC_VSTUP_TEXT);
                              zpravy.push_back(Zadat(dlg, nazev));
                          }
                          vybrana = Vybrana(dlg, IDC_PROFILY_SEZNAM);
                          Kliknout(dlg, IDCANCEL);  // Escape closes too
                      }),
              S_OK);
    // The stored device is not plugged in: none is shown, and the edit keeps it.
    EXPECT_EQ(profil, L"Upravit profil záznamu - Porada|5|-1");
    EXPECT_EQ(poZruseni, slozka_.Path() + L"\\porady");
    EXPECT_EQ(poUprave, L"Porada|" + upravena);
    EXPECT_EQ(nazevKPrejmenovani, L"Porada");
    ASSERT_EQ(zpravy.size(), 3u);
    EXPECT_NE(zpravy[0].find(NacistRetezec(IDS_PROFIL_JIZ_EXISTUJE)), std::wstring::npos);
    EXPECT_EQ(zpravy[1], L"");
    EXPECT_EQ(zpravy[2], L"");
    EXPECT_EQ(vybrana, L"Porada týmu");
    EXPECT_TRUE(vysledek.profilyZmeneny);
    EXPECT_EQ(Ulozene(), L"Porada týmu|" + upravena + L"|6|Neexistující mikrofon|;Zkouška|" + slozka_.Path() +
                             L"\\zkousky|0||;");
}

// With nothing selected, edit, rename and remove only beep; the command
// while the dialog is open (from its own thread's loop) does nothing.
TEST_F(DialogyTest, AnEmptyListAndASecondOpenDoNothingHarmful)
{
    store_.Erase(0);
    ASSERT_EQ(store_.Save(), S_OK);
    static std::function<void()> veVlaknuDialogu;
    HRESULT druheOtevreni = E_PENDING;
    veVlaknuDialogu = [&] {
        VysledekProfiluZaznamu v;
        druheOtevreni = SpravovatProfilyZaznamu(nullptr, store_, zarizeni_, v, &konf_.k);
    };
    std::wstring slozka = L"?";
    bool jenSeznam = false;
    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek,
                      [&](HWND dlg) {
                          slozka = Polozky(dlg, IDC_PROFILY_SEZNAM).empty() ? Text(dlg, IDC_PRZ_SLOZKA) : L"<items>";
                          for (int id : {IDC_PROFILY_UPRAVIT, IDC_PROFILY_PREJMENOVAT, IDC_PROFILY_ODSTRANIT})
                              SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
                          jenSeznam = NajitDialog() == dlg;
                          SetTimer(dlg, 77, 10, [](HWND okno, UINT, UINT_PTR id, DWORD) {
                              KillTimer(okno, id);
                              veVlaknuDialogu();
                          });
                          PockatNa([&] { return druheOtevreni != E_PENDING; });
                          Kliknout(dlg, IDOK);
                      }),
              S_OK);
    EXPECT_EQ(slozka, L"");
    EXPECT_TRUE(jenSeznam);
    EXPECT_EQ(druheOtevreni, S_FALSE);
    EXPECT_FALSE(vysledek.profilyZmeneny);
    EXPECT_FALSE(vysledek.zarizeniObnovena);
    EXPECT_TRUE(modul_.zpravy.empty());
}

} // namespace
