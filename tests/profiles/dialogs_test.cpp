// Both profile dialogs driven through their controls from a second thread:
// what the list and the profile dialog show, the name checks, edit, rename
// and what reaches the registry. Adding and removing as all list dialogs do
// are in stores/seznamy_test.cpp.
#include "ProfilyTest.h"
#include "harness/Dialogy.h"

#include "app/Chyby.h"
#include "recording/DlgProfilyZaznamu.h"
#include "recording/SeznamProfiluKodovani.h"
#include "resources/resource.h"

#include <functional>

using namespace profiles_test;
using namespace tonbar::test;
using mirvak::winapi::SpravovatProfilyZaznamu;
using mirvak::winapi::VysledekProfiluZaznamu;

namespace {

class DialogyTest : public ::testing::Test {
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
    TestModul modul_;
    KlicTestu klic_;
    TestKonfigurace konf_{klic_.Cesta()};
    TestFolder slozka_;
    RecordingProfileStore store_{klic_.Cesta()};
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
    EXPECT_NE(zpravy[0].find(NacistRetezec(IDS_NEPLATNY_NAZEV_PROFILU)), std::wstring::npos);
    EXPECT_NE(zpravy[1].find(NacistRetezec(IDS_NEPLATNY_NAZEV_PROFILU)), std::wstring::npos);
    EXPECT_NE(zpravy[2].find(NacistRetezec(IDS_PROFIL_BEZ_SLOZKY)), std::wstring::npos);
    EXPECT_EQ(poPridani.rfind(L"Schůzka|" + novaSlozka + L"|" + zvoleneZarizeni + L"|", 0), 0u);
    EXPECT_NE(poPridani.find(L"FM Radio Stereo"), std::wstring::npos);
    EXPECT_TRUE(vysledek.zarizeniObnovena);
    EXPECT_TRUE(vysledek.profilyZmeneny);

    // Saved to the registry at once.
    RecordingProfileStore znovu(klic_.Cesta());
    ASSERT_EQ(znovu.Load(), S_OK);
    ASSERT_EQ(znovu.Count(), 2);
    const RecordingProfile& p = znovu.At(znovu.Find(L"Schůzka"));
    EXPECT_EQ(p.folder, novaSlozka);
    EXPECT_TRUE(StejneGuid(p.profileId, kProfilyKodovani[1]));
    EXPECT_EQ(p.device.friendlyName, zvoleneZarizeni);
    EXPECT_EQ(znovu.At(znovu.Find(L"Porada")).device.friendlyName, L"Neexistující mikrofon");
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
                                       std::to_wstring(SendDlgItemMessageW(p, IDC_PRZ_KODOVANI, CB_GETCURSEL, 0, 0));
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
    EXPECT_EQ(profil, L"Upravit profil záznamu - Porada|5");
    EXPECT_EQ(poZruseni, slozka_.Path() + L"\\porady");
    EXPECT_EQ(poUprave, L"Porada|" + upravena);
    EXPECT_EQ(nazevKPrejmenovani, L"Porada");
    ASSERT_EQ(zpravy.size(), 3u);
    EXPECT_NE(zpravy[0].find(NacistRetezec(IDS_PROFIL_JIZ_EXISTUJE)), std::wstring::npos);
    EXPECT_EQ(zpravy[1], L"");
    EXPECT_EQ(zpravy[2], L"");
    EXPECT_EQ(vybrana, L"Porada týmu");
    EXPECT_TRUE(vysledek.profilyZmeneny);

    RecordingProfileStore znovu(klic_.Cesta());
    ASSERT_EQ(znovu.Load(), S_OK);
    ASSERT_EQ(znovu.Count(), 2);
    const RecordingProfile& p = znovu.At(znovu.Find(L"Porada týmu"));
    EXPECT_EQ(p.folder, upravena);
    EXPECT_TRUE(StejneGuid(p.profileId, kProfilyKodovani[6]));
    EXPECT_FALSE(klic_.Existuje(klic_.Profil(L"Porada")));
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
