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
#include <numeric>
#include <string>

using namespace tonbar::test;
using mirvak::winapi::SpravovatProfilyZaznamu;
using mirvak::winapi::VysledekProfiluZaznamu;

namespace {

constexpr auto npos = std::wstring::npos;

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

    static std::wstring KlicProfilu(const std::wstring& nazev) { return L"profily_zaznamu\\" + nazev; }
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
        std::vector<std::wstring> radky;
        for (int i = 0; i < s.Count(); ++i)
            radky.push_back(Radek(s.At(i)));
        std::sort(radky.begin(), radky.end());
        return std::accumulate(radky.begin(), radky.end(), std::wstring());
    }
};

TEST_F(StoreTest, SavesTheRegistryLayoutAndLoadsItBack)
{
    store_.Append({L"Porada", kProfilyKodovani[0], L"C:\\Zaznamy\\Porady", {L"Mikrofon", L"", L"\\\\?\\usb#1"}});
    store_.Append({L"Živě ČR", kProfilyKodovani[6], L"D:\\Rádio", {L"Monitor of Mikrofon"}});
    store_.Append({L"Bez zařízení", kProfilyKodovani[3], L"C:\\x"});
    ASSERT_EQ(store_.Save(), S_OK);
    EXPECT_TRUE(modul_.zpravy.empty());

    // Texts are REG_SZ with their terminating zero.
    const std::wstring k = KlicProfilu(L"Živě ČR");
    for (auto [nazev, text] : {std::pair{L"nazev", L"Živě ČR"}, {L"slozka", L"D:\\Rádio"},
                               {L"friendly_name", L"Monitor of Mikrofon"}, {L"device_path", L""}}) {
        EXPECT_EQ(konf_.Binarni(k.c_str(), nazev, RRF_RT_REG_SZ).size(), (wcslen(text) + 1) * 2) << nazev;
        EXPECT_EQ(konf_.Text(k.c_str(), nazev), text);
    }
    EXPECT_TRUE(konf_.Drzi(k.c_str(), L"profil", kProfilyKodovani[6]));

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

// Rename and remove as the dialogs do them (the old key first) are checked through the dialogs.
TEST_F(StoreTest, DeleteKeyReachesOneProfileOnlyAndAnEmptyStoreSavesAsAnEmptyKey)
{
    // No store key yet: loading empties the sequence, DeleteKey returns the open failure.
    store_.Append({L"stary", kProfilyKodovani[0], L"C:\\x"});
    EXPECT_EQ(store_.Load(), S_OK);
    EXPECT_EQ(store_.Count(), 0);
    EXPECT_EQ(store_.DeleteKey(L"A"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    store_.Append({L"A", kProfilyKodovani[0], L"C:\\a"});
    store_.Append({L"B", kProfilyKodovani[1], L"C:\\b"});
    ASSERT_EQ(store_.Save(), S_OK);
    // An empty name would remove them all, "\\" a nested key.
    EXPECT_EQ(store_.DeleteKey(L""), E_INVALIDARG);
    EXPECT_EQ(store_.DeleteKey(L"A\\.."), E_INVALIDARG);
    EXPECT_EQ(store_.DeleteKey(L"neni"), S_OK);
    ASSERT_EQ(store_.DeleteKey(L"a"), S_OK);  // key names ignore case
    EXPECT_EQ(Ulozene(), L"B|C:\\b|1||;");

    ASSERT_EQ(store_.Erase(1), S_OK);
    ASSERT_EQ(store_.Erase(0), S_OK);
    EXPECT_EQ(store_.Erase(0), E_INVALIDARG);
    ASSERT_EQ(store_.Save(), S_OK);
    EXPECT_TRUE(konf_.KlicExistuje(L"profily_zaznamu"));
    EXPECT_EQ(Ulozene(), L"");
}

TEST_F(StoreTest, ABadNameOrADuplicateStopsTheSaveAndLoadCopesWithMalformedValues)
{
    store_.Append({L"Stávající", kProfilyKodovani[2], L"C:\\s"});
    ASSERT_EQ(store_.Save(), S_OK);

    // Names that cannot be a key name; 255 characters still can.
    EXPECT_EQ(CheckProfileName(std::wstring(255, L'x')), S_OK);
    const std::wstring spatne[] = {L"", L"   ", L"vnořený\\klíč", L"\\", std::wstring(256, L'd')};
    for (const std::wstring& jmeno : spatne) {
        modul_.zpravy.clear();
        store_.Append({jmeno, kProfilyKodovani[0], L"C:\\n"});
        EXPECT_EQ(store_.Save(), E_INVALIDARG) << jmeno.size();
        // The failure is shown with string 20042 and the sequence stays.
        ASSERT_EQ(modul_.zpravy.size(), 1u);
        EXPECT_NE(modul_.zpravy[0].text.find(NacistRetezec(IDS_CHYBA_ZAPIS_PROFILU)), npos);
        EXPECT_EQ(store_.Count(), 2);
        ASSERT_EQ(store_.Erase(1), S_OK);
    }
    store_.Append({L"STÁVAJÍCÍ", kProfilyKodovani[0], L"C:\\n"});
    EXPECT_EQ(store_.SaveQuiet(), E_INVALIDARG);

    EXPECT_EQ(Ulozene(), L"Stávající|C:\\s|2||;");
    EXPECT_FALSE(konf_.KlicExistuje(KlicProfilu(L"vnořený").c_str()));

    // Load copes with malformed values.
    const std::wstring k = KlicProfilu(L"Ručně");
    const BYTE kratky[5] = {1, 2, 3, 4, 5};
    const DWORD cislo = 7;
    ASSERT_TRUE(konf_.Zapsat(k.c_str(), L"profil", REG_BINARY, kratky, sizeof kratky));
    ASSERT_TRUE(konf_.Zapsat(k.c_str(), L"slozka", REG_DWORD, &cislo, sizeof cislo));
    ASSERT_TRUE(konf_.Zapsat(k.c_str(), L"friendly_name", REG_SZ, L"Mikrofon", 8 * 2));  // no terminating zero
    ASSERT_TRUE(konf_.Zapsat(KlicProfilu(L"Prázdný").c_str(), L"nazev", REG_SZ, L"x", 4));

    ASSERT_EQ(store_.Load(), S_OK);
    ASSERT_EQ(store_.Count(), 3);
    // Whatever cannot be read is empty, the profile the default (row 6).
    EXPECT_EQ(Ulozene(), L"Prázdný||6||;Ručně||6|Mikrofon|;Stávající|C:\\s|2||;");
}

TEST_F(StoreTest, ACommandOfARangeNamesAProfileIndexWhoseStartNamesTheFileByDateAndTime)
{
    EXPECT_EQ(ProfileIndexFromCommand(store_, kPrikazyZaznamPodleProfilu, kPrikazyZaznamPodleProfilu), -1);
    for (int i = 0; i < 3; ++i)
        store_.Append({L"p" + std::to_wstring(i), kProfilyKodovani[0], L"C:\\a"});
    for (auto [prikaz, index] : {std::pair{52602, 2}, {52603, -1}, {52599, -1}, {52400, -1}})
        EXPECT_EQ(ProfileIndexFromCommand(store_, prikaz, kPrikazyPrepnoutProfil), index) << prikaz;
    for (int i = 3; i < 205; ++i)
        store_.Append({L"p" + std::to_wstring(i), kProfilyKodovani[0], L"C:\\a"});
    EXPECT_EQ(ProfileIndexFromCommand(store_, 52799, kPrikazyPrepnoutProfil), 199);
    // A range never reaches into the next one.
    EXPECT_EQ(ProfileIndexFromCommand(store_, kPrikazySlozkaProfilu, kPrikazyZaznamPodleProfilu), -1);

    // A start by profile names its file by date and time in the profile's folder.
    SYSTEMTIME cas{2026, 3, 0, 5, 7, 8, 9, 0};
    std::wstring cesta;
    ASSERT_EQ(ProfileRecordingFile({L"p", kProfilyKodovani[0], L"C:\\Záznamy"}, cas, cesta), S_OK);
    EXPECT_EQ(cesta, L"C:\\Záznamy\\5.3.2026 07-08-09.wma");
    cas = {2026, 12, 0, 28, 23, 8, 9, 0};
    ASSERT_EQ(ProfileRecordingFile({L"p", kProfilyKodovani[0], L"\\\\server\\sdílená"}, cas, cesta), S_OK);
    EXPECT_EQ(cesta, L"\\\\server\\sdílená\\28.12.2026 23-08-09.wma");
    // No folder: refused, the path untouched.
    cesta = L"nezměněno";
    for (const wchar_t* slozka : {L"", L"  "})
        EXPECT_EQ(ProfileRecordingFile({L"p", kProfilyKodovani[0], slozka}, cas, cesta), E_INVALIDARG);
    EXPECT_EQ(cesta, L"nezměněno");
}

class DialogyTest : public StoreTest {
protected:
    void SetUp() override
    {
        modul_.odpoved = IDYES;
        konf_.k.slozka_data = slozka_.Path();
        konf_.k.profil = kProfilyKodovani[3];
        store_.Append({L"Porada", kProfilyKodovani[5], slozka_.Path() + L"\\porady", {L"Neexistující mikrofon"}});
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
    // Answers the text input a command of `dlg` opened with `text`; the message it caused, once the
    // list or the profile dialog an added name opens has its turn.
    std::wstring Zadat(HWND dlg, const wchar_t* text)
    {
        size_t pred = modul_.zpravy.size();
        if (HWND vstup = CekatNaDialog(L"", IDC_VSTUP_TEXT)) {
            Napsat(vstup, IDC_VSTUP_TEXT, text);
            Kliknout(vstup, IDOK);
            CekatNaZavreni(vstup);
        }
        PockatNa([&] { return IsWindowEnabled(dlg) || NajitDialog(kTitulekProfilu, IDC_PRZ_KODOVANI); });
        Synchronizovat(dlg);
        return modul_.NovaZprava(pred);
    }
    static constexpr const wchar_t* kTitulekProfilu = L"Upravit profil záznamu - ";
    static HWND DialogProfilu() { return CekatNaDialog(kTitulekProfilu, IDC_PRZ_KODOVANI); }
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

// The driver checks what the dialogs show as it goes (gtest is thread-safe here). A cancelled edit
// changes nothing; a rename to another profile's name in other letter case is refused, to its own is
// silently nothing, a real one moves the registry key.
TEST_F(DialogyTest, AddEditAndRenameCheckTheNameAndSaveWhatTheProfileDialogChose)
{
    const std::wstring novaSlozka = slozka_.Path() + L"\\schůzky", upravena = slozka_.Path() + L"\\jinam";
    std::wstring zarizeni;
    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek, [&](HWND dlg) {
        // The stored profile selected and its values shown.
        EXPECT_EQ(Text(dlg), L"Profily záznamu - Tonbar");
        EXPECT_EQ(Vybrana(dlg, IDC_PROFILY_SEZNAM) + L"|" + Text(dlg, IDC_PRZ_SLOZKA) + L"|" +
                      Text(dlg, IDC_PROFILY_ZARIZENI),
                  L"Porada|" + slozka_.Path() + L"\\porady|Neexistující mikrofon");
        EXPECT_NE(Text(dlg, IDC_PROFILY_KODOVANI).find(L"96 Kbps"), npos);
        EXPECT_EQ(Text(dlg, IDC_PRZ_NADPIS).rfind(L"Vlastní profily pro rychlé spuštění záznamu", 0), 0u);
        // An empty name, then one with a backslash.
        for (const wchar_t* spatne : {L"", L"Porady\\Pondělí"}) {
            Kliknout(dlg, IDC_PROFILY_PRIDAT);
            if (HWND v = CekatNaDialog(L"", IDC_VSTUP_TEXT); v && !*spatne) {
                EXPECT_EQ(Text(v, IDC_VSTUP_POPIS) + L"|" + Text(v, IDC_VSTUP_TEXT),
                          NacistRetezec(IDS_ZADEJ_NAZEV_PROFILU) + L"|Nový profil");
            }
            EXPECT_NE(Zadat(dlg, spatne).find(NacistRetezec(IDS_NEPLATNY_NAZEV_PROFILU)), npos) << spatne;
        }
        Kliknout(dlg, IDC_PROFILY_PRIDAT);
        Zadat(dlg, L"Schůzka");
        HWND p = DialogProfilu();
        EXPECT_NE(p, nullptr);
        if (!p)
            return Kliknout(dlg, IDOK);
        // Starts from the configuration's folder and encoding profile; the
        // devices are the system's, enumerated again.
        EXPECT_EQ(Text(p) + L"|" + Text(p, IDC_PRZ_NADPIS) + L"|" + Text(p, IDC_PRZ_SLOZKA),
                  L"Upravit profil záznamu - Schůzka|Parametry vlastního profilu záznamu|" + slozka_.Path());
        EXPECT_EQ(Polozky(p, IDC_PRZ_KODOVANI, true).size(), 7u);
        EXPECT_EQ(SendDlgItemMessageW(p, IDC_PRZ_KODOVANI, CB_GETCURSEL, 0, 0), 3);
        const std::vector<std::wstring> vsechna = Polozky(p, IDC_PRZ_ZARIZENI, true);
        EXPECT_EQ(static_cast<int>(vsechna.size()), zarizeni_.Count());
        // No folder: refused, the dialog stays.
        Napsat(p, IDC_PRZ_SLOZKA, L"");
        size_t pred = modul_.zpravy.size();
        Kliknout(p, IDOK);
        PockatNa([&] { return modul_.NovaZprava(pred) != L""; });
        EXPECT_NE(modul_.NovaZprava(pred).find(NacistRetezec(IDS_PROFIL_BEZ_SLOZKY)), npos);
        Napsat(p, IDC_PRZ_SLOZKA, novaSlozka);
        Vybrat(p, IDC_PRZ_KODOVANI, 1, true);
        if (!vsechna.empty()) {
            Vybrat(p, IDC_PRZ_ZARIZENI, static_cast<int>(vsechna.size()) - 1, true);
            zarizeni = vsechna.back();
        }
        Zavrit(dlg, p, IDOK);
        EXPECT_EQ(Vybrana(dlg, IDC_PROFILY_SEZNAM) + L"|" + Text(dlg, IDC_PRZ_SLOZKA) + L"|" +
                      Text(dlg, IDC_PROFILY_ZARIZENI),
                  L"Schůzka|" + novaSlozka + L"|" + zarizeni);
        EXPECT_NE(Text(dlg, IDC_PROFILY_KODOVANI).find(L"FM Radio Stereo"), npos);

        const LRESULT porada = SendDlgItemMessageW(dlg, IDC_PROFILY_SEZNAM, LB_FINDSTRINGEXACT,
                                                   static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"Porada"));
        Vybrat(dlg, IDC_PROFILY_SEZNAM, static_cast<int>(porada));
        Kliknout(dlg, IDC_PROFILY_UPRAVIT);
        if (HWND e = DialogProfilu()) {
            // The stored device is not plugged in: none is shown, and the edit keeps it.
            EXPECT_EQ(Text(e), L"Upravit profil záznamu - Porada");
            EXPECT_EQ(SendDlgItemMessageW(e, IDC_PRZ_KODOVANI, CB_GETCURSEL, 0, 0), 5);
            EXPECT_EQ(SendDlgItemMessageW(e, IDC_PRZ_ZARIZENI, CB_GETCURSEL, 0, 0), -1);
            Napsat(e, IDC_PRZ_SLOZKA, L"C:\\zahodit");
            Zavrit(dlg, e, IDCANCEL);
        }
        EXPECT_EQ(Text(dlg, IDC_PRZ_SLOZKA), slozka_.Path() + L"\\porady");
        Kliknout(dlg, IDC_PROFILY_UPRAVIT);
        if (HWND e = DialogProfilu()) {
            Napsat(e, IDC_PRZ_SLOZKA, upravena);
            Vybrat(e, IDC_PRZ_KODOVANI, 6, true);
            Zavrit(dlg, e, IDOK);
        }
        EXPECT_EQ(Vybrana(dlg, IDC_PROFILY_SEZNAM) + L"|" + Text(dlg, IDC_PRZ_SLOZKA), L"Porada|" + upravena);
        const std::pair<const wchar_t*, std::wstring> prejmenovani[] = {
            {L"SCHŮZKA", NacistRetezec(IDS_PROFIL_JIZ_EXISTUJE)}, {L"PORADA", L""}, {L"Porada týmu", L""}};
        for (const auto& [nazev, zprava] : prejmenovani) {
            Kliknout(dlg, IDC_PROFILY_PREJMENOVAT);
            if (HWND v = CekatNaDialog(L"", IDC_VSTUP_TEXT); v && nazev == prejmenovani[0].first) {
                EXPECT_EQ(Text(v, IDC_VSTUP_TEXT), L"Porada");
            }
            const std::wstring z = Zadat(dlg, nazev);
            EXPECT_TRUE(zprava.empty() ? z.empty() : z.find(zprava) != npos) << z;
        }
        EXPECT_EQ(Vybrana(dlg, IDC_PROFILY_SEZNAM), L"Porada týmu");
        Kliknout(dlg, IDCANCEL);  // Escape closes too
    }), S_OK);
    EXPECT_TRUE(vysledek.zarizeniObnovena);
    EXPECT_TRUE(vysledek.profilyZmeneny);

    // Saved to the registry at once (the device path is the system's).
    const std::wstring u = Ulozene();
    EXPECT_EQ(u.rfind(L"Porada týmu|" + upravena + L"|6|Neexistující mikrofon|;Schůzka|" + novaSlozka + L"|1|" +
                          zarizeni + L"|", 0), 0u) << u;
    EXPECT_EQ(std::count(u.begin(), u.end(), L';'), 2) << u;
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
    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek, [&](HWND dlg) {
        EXPECT_TRUE(Polozky(dlg, IDC_PROFILY_SEZNAM).empty());
        EXPECT_EQ(Text(dlg, IDC_PRZ_SLOZKA), L"");
        for (int id : {IDC_PROFILY_UPRAVIT, IDC_PROFILY_PREJMENOVAT, IDC_PROFILY_ODSTRANIT})
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        EXPECT_EQ(NajitDialog(), dlg) << "only the list is open";
        SetTimer(dlg, 77, 10, [](HWND okno, UINT, UINT_PTR id, DWORD) {
            KillTimer(okno, id);
            veVlaknuDialogu();
        });
        PockatNa([&] { return druheOtevreni != E_PENDING; });
        Kliknout(dlg, IDOK);
    }), S_OK);
    EXPECT_EQ(druheOtevreni, S_FALSE);
    EXPECT_FALSE(vysledek.profilyZmeneny);
    EXPECT_FALSE(vysledek.zarizeniObnovena);
    EXPECT_TRUE(modul_.zpravy.empty());
}

} // namespace
