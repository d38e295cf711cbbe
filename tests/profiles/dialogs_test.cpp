// Both profile dialogs end to end: opened through the launcher, driven
// through their controls by a thread timer that acts inside the modal loops,
// each dialog photographed into build/screenshots.
#include "ProfilyTest.h"
#include "harness/Snimek.h"

#include "app/Chyby.h"
#include "controls/TestOkna.h"
#include "recording/DlgProfilyZaznamu.h"
#include "recording/SeznamProfiluKodovani.h"
#include "resources/resource.h"

#include <gdiplus.h>

#include <functional>

using namespace profiles_test;
using mirvak::winapi::SpravovatProfilyZaznamu;
using mirvak::winapi::VysledekProfiluZaznamu;
using tonbar::test::ComScope;
using tonbar::test::DocasnaSlozka;
using tonbar::test::GdiPlus;
using tonbar::test::TestModul;

namespace {

std::wstring Text(HWND okno)
{
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(okno)) + 1, L'\0');
    GetWindowTextW(okno, t.data(), static_cast<int>(t.size()));
    t.resize(wcslen(t.c_str()));
    return t;
}

std::wstring TextPolozky(HWND seznam, int i, bool combo)
{
    LRESULT n = SendMessageW(seznam, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
    if (n < 0)
        return L"<chyba>";
    std::wstring t(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(seznam, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(t.data()));
    t.resize(static_cast<size_t>(n));
    return t;
}

// The innermost modal dialog of this thread: the one visible, enabled
// dialog-class window (its owners are disabled while it runs).
HWND AktivniDialog()
{
    struct Hledani {
        HWND nalezeny = nullptr;
    } h;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND okno, LPARAM l) -> BOOL {
            wchar_t trida[16] = {};
            GetClassNameW(okno, trida, 16);
            if (wcscmp(trida, L"#32770") == 0 && IsWindowVisible(okno) && IsWindowEnabled(okno)) {
                reinterpret_cast<Hledani*>(l)->nalezeny = okno;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&h));
    return h.nalezeny;
}

enum class Druh { Zadny, Seznam, Profil, Vstup };

Druh DruhDialogu(HWND dlg)
{
    if (!dlg)
        return Druh::Zadny;
    if (GetDlgItem(dlg, IDC_PROFILY_SEZNAM))
        return Druh::Seznam;
    if (GetDlgItem(dlg, IDC_PRZ_KODOVANI))
        return Druh::Profil;
    if (GetDlgItem(dlg, IDC_VSTUP_TEXT))
        return Druh::Vstup;
    return Druh::Zadny;
}

// A click as the user makes it: posted, so that a dialog it opens runs its
// loop outside the timer's callback.
void Klik(HWND dlg, int id)
{
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

void Vybrat(HWND dlg, int idSeznamu, int polozka)
{
    HWND s = GetDlgItem(dlg, idSeznamu);
    SendMessageW(s, LB_SETCURSEL, polozka, 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(idSeznamu, LBN_SELCHANGE), reinterpret_cast<LPARAM>(s));
}

void VybratCombo(HWND dlg, int id, int polozka)
{
    HWND c = GetDlgItem(dlg, id);
    SendMessageW(c, CB_SETCURSEL, polozka, 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
}

// The window as it is on the screen, as a PNG in build/screenshots.
bool Snimek(HWND okno, const wchar_t* jmeno) { return tonbar::test::SnimekDoSlozky(okno, jmeno); }

// Steps run one after another from a thread timer. A step returns true
// when it is done; false to be asked again at the next tick (the dialog it
// expects is not up yet). A script that stalls closes every dialog and fails.
class Scenar {
public:
    using Krok = std::function<bool(HWND dialog, Druh druh)>;

    void Pridat(Krok krok) { kroky_.push_back(std::move(krok)); }

    void Spustit()
    {
        aktualni_ = this;
        start_ = GetTickCount();
        timer_ = SetTimer(nullptr, 0, 40, &Scenar::Tik);
    }
    void Zastavit()
    {
        if (timer_)
            KillTimer(nullptr, timer_);
        timer_ = 0;
        aktualni_ = nullptr;
    }
    bool Hotovo() const { return dalsi_ == kroky_.size(); }
    size_t Pozice() const { return dalsi_; }
    bool Vyprselo() const { return vyprselo_; }

private:
    static void CALLBACK Tik(HWND, UINT, UINT_PTR, DWORD)
    {
        Scenar* s = aktualni_;
        if (!s || s->bezi_)
            return;
        s->bezi_ = true;
        HWND dlg = AktivniDialog();
        if (s->dalsi_ < s->kroky_.size()) {
            if (s->kroky_[s->dalsi_](dlg, DruhDialogu(dlg)))
                ++s->dalsi_;
        }
        if (!s->Hotovo() && GetTickCount() - s->start_ > 60000) {
            s->vyprselo_ = true;
            // Unwind every open dialog, innermost first.
            for (HWND d = AktivniDialog(); d; d = AktivniDialog())
                EndDialog(d, IDCANCEL);
        }
        s->bezi_ = false;
    }

    static inline Scenar* aktualni_ = nullptr;
    std::vector<Krok> kroky_;
    size_t dalsi_ = 0;
    UINT_PTR timer_ = 0;
    DWORD start_ = 0;
    bool bezi_ = false;
    bool vyprselo_ = false;
};

class DialogyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        modul_.odpoved = IDYES;
        konf_.k.slozka_data = slozka_.Cesta();
        konf_.k.profil = kProfilyKodovani[3];
        store_.Append(Profil(L"Porada", kProfilyKodovani[5], slozka_.Cesta() + L"\\porady", L"Neexistující mikrofon"));
        ASSERT_EQ(store_.Save(), S_OK);
    }
    void TearDown() override { scenar_.Zastavit(); }

    // Waits for the message box text `id` to have been shown (the last one).
    bool Zprava(UINT id)
    {
        if (modul_.zpravy.empty())
            return false;
        return modul_.zpravy.back().text.find(NacistRetezec(id)) != std::wstring::npos;
    }
    HRESULT Spustit(VysledekProfiluZaznamu& vysledek)
    {
        scenar_.Spustit();
        HRESULT hr = SpravovatProfilyZaznamu(nullptr, store_, zarizeni_, vysledek, &konf_.k);
        scenar_.Zastavit();
        return hr;
    }
    // The list dialog's items in order.
    static std::vector<std::wstring> Polozky(HWND dlg)
    {
        HWND s = GetDlgItem(dlg, IDC_PROFILY_SEZNAM);
        std::vector<std::wstring> v;
        for (int i = 0; i < SendMessageW(s, LB_GETCOUNT, 0, 0); ++i)
            v.push_back(TextPolozky(s, i, false));
        return v;
    }
    static std::wstring Vybrana(HWND dlg)
    {
        HWND s = GetDlgItem(dlg, IDC_PROFILY_SEZNAM);
        LRESULT i = SendMessageW(s, LB_GETCURSEL, 0, 0);
        return i < 0 ? L"" : TextPolozky(s, static_cast<int>(i), false);
    }

    ComScope com_;
    GdiPlus gdiplus_;
    TestModul modul_;
    KlicTestu klic_;
    TestKonfigurace konf_{klic_.Cesta()};
    DocasnaSlozka slozka_;
    RecordingProfileStore store_{klic_.Cesta()};
    AudioCaptureDeviceList zarizeni_;
    Scenar scenar_;
};

TEST_F(DialogyTest, AddingAProfileGoesThroughNameChecksAndTheProfileDialog)
{
    const std::wstring novaSlozka = slozka_.Cesta() + L"\\schůzky";
    std::wstring zvoleneZarizeni;
    size_t zpravPred = 0;

    // The list opens with the stored profile selected and its values shown.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam)
            return false;
        EXPECT_EQ(Text(dlg), L"Profily záznamu - Tonbar");
        EXPECT_EQ(Polozky(dlg), std::vector<std::wstring>{L"Porada"});
        EXPECT_EQ(Vybrana(dlg), L"Porada");
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_SLOZKA)), slozka_.Cesta() + L"\\porady");
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PROFILY_ZARIZENI)), L"Neexistující mikrofon");
        EXPECT_NE(Text(GetDlgItem(dlg, IDC_PROFILY_KODOVANI)).find(L"96 Kbps"), std::wstring::npos);
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_NADPIS)), L"Vlastní profily pro rychlé spuštění záznamu");
        EXPECT_TRUE(Snimek(dlg, L"profiles-list.png"));
        Klik(dlg, IDC_PROFILY_PRIDAT);
        return true;
    });
    // The same name in other letter case: 20039.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Vstup)
            return false;
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_VSTUP_POPIS)), NacistRetezec(IDS_ZADEJ_NAZEV_PROFILU));
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_VSTUP_TEXT)), L"Nový profil");
        SetDlgItemTextW(dlg, IDC_VSTUP_TEXT, L"PORADA");
        zpravPred = modul_.zpravy.size();
        Klik(dlg, IDOK);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam || modul_.zpravy.size() == zpravPred)
            return false;
        EXPECT_TRUE(Zprava(IDS_PROFIL_JIZ_EXISTUJE));
        Klik(dlg, IDC_PROFILY_PRIDAT);
        return true;
    });
    // An empty name, then a name with a backslash: 20038 each.
    for (const wchar_t* spatne : {L"", L"Porady\\Pondělí"}) {
        scenar_.Pridat([&, spatne](HWND dlg, Druh druh) {
            if (druh != Druh::Vstup)
                return false;
            SetDlgItemTextW(dlg, IDC_VSTUP_TEXT, spatne);
            zpravPred = modul_.zpravy.size();
            Klik(dlg, IDOK);
            return true;
        });
        scenar_.Pridat([&](HWND dlg, Druh druh) {
            if (druh != Druh::Seznam || modul_.zpravy.size() == zpravPred)
                return false;
            EXPECT_TRUE(Zprava(IDS_NEPLATNY_NAZEV_PROFILU));
            EXPECT_EQ(Polozky(dlg).size(), 1u);
            Klik(dlg, IDC_PROFILY_PRIDAT);
            return true;
        });
    }
    // A good name opens the profile dialog on the new profile.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Vstup)
            return false;
        SetDlgItemTextW(dlg, IDC_VSTUP_TEXT, L"Schůzka");
        Klik(dlg, IDOK);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Profil)
            return false;
        EXPECT_EQ(Text(dlg), L"Upravit profil záznamu - Schůzka");
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_NADPIS)), L"Parametry vlastního profilu záznamu");
        // Starts from the configuration's folder and encoding profile.
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_SLOZKA)), slozka_.Cesta());
        HWND kodovani = GetDlgItem(dlg, IDC_PRZ_KODOVANI);
        EXPECT_EQ(SendMessageW(kodovani, CB_GETCOUNT, 0, 0), 7);
        EXPECT_EQ(SendMessageW(kodovani, CB_GETCURSEL, 0, 0), 3);
        // The device list is the system's, enumerated again.
        HWND combo = GetDlgItem(dlg, IDC_PRZ_ZARIZENI);
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), zarizeni_.Count());
        EXPECT_TRUE(Snimek(dlg, L"profiles-profile.png"));
        // No folder: refused, the dialog stays.
        SetDlgItemTextW(dlg, IDC_PRZ_SLOZKA, L"");
        zpravPred = modul_.zpravy.size();
        Klik(dlg, IDOK);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Profil || modul_.zpravy.size() == zpravPred)
            return false;
        EXPECT_TRUE(Zprava(IDS_PROFIL_BEZ_SLOZKY));
        SetDlgItemTextW(dlg, IDC_PRZ_SLOZKA, novaSlozka.c_str());
        VybratCombo(dlg, IDC_PRZ_KODOVANI, 1);
        HWND combo = GetDlgItem(dlg, IDC_PRZ_ZARIZENI);
        int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        if (n > 0) {
            VybratCombo(dlg, IDC_PRZ_ZARIZENI, n - 1);
            zvoleneZarizeni = TextPolozky(combo, n - 1, true);
        }
        Klik(dlg, IDOK);
        return true;
    });
    // Back in the list: the new profile is there and selected.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam)
            return false;
        EXPECT_EQ(Polozky(dlg).size(), 2u);
        EXPECT_EQ(Vybrana(dlg), L"Schůzka");
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_SLOZKA)), novaSlozka);
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PROFILY_ZARIZENI)), zvoleneZarizeni);
        EXPECT_NE(Text(GetDlgItem(dlg, IDC_PROFILY_KODOVANI)).find(L"FM Radio Stereo"), std::wstring::npos);
        Klik(dlg, IDOK);
        return true;
    });

    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek), S_OK);
    ASSERT_TRUE(scenar_.Hotovo()) << "stalled at step " << scenar_.Pozice();
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

TEST_F(DialogyTest, EditRenameAndRemoveSaveTheirChanges)
{
    store_.Append(Profil(L"Zkouška", kProfilyKodovani[0], slozka_.Cesta() + L"\\zkousky"));
    ASSERT_EQ(store_.Save(), S_OK);
    ASSERT_EQ(store_.Load(), S_OK);  // the order the dialog shows is the registry's
    const std::wstring upravena = slozka_.Cesta() + L"\\jinam";
    size_t zpravPred = 0;
    auto Index = [](HWND dlg, const wchar_t* nazev) {
        return static_cast<int>(
            SendMessageW(GetDlgItem(dlg, IDC_PROFILY_SEZNAM), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(nazev)));
    };

    // Edit "Porada", then cancel: nothing changes.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam)
            return false;
        EXPECT_EQ(Polozky(dlg).size(), 2u);
        Vybrat(dlg, IDC_PROFILY_SEZNAM, Index(dlg, L"Porada"));
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_SLOZKA)), slozka_.Cesta() + L"\\porady");
        Klik(dlg, IDC_PROFILY_UPRAVIT);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Profil)
            return false;
        EXPECT_EQ(Text(dlg), L"Upravit profil záznamu - Porada");
        EXPECT_EQ(SendMessageW(GetDlgItem(dlg, IDC_PRZ_KODOVANI), CB_GETCURSEL, 0, 0), 5);
        SetDlgItemTextW(dlg, IDC_PRZ_SLOZKA, L"C:\\zahodit");
        Klik(dlg, IDCANCEL);
        return true;
    });
    // Edit again and keep it.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam)
            return false;
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_SLOZKA)), slozka_.Cesta() + L"\\porady");
        Klik(dlg, IDC_PROFILY_UPRAVIT);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Profil)
            return false;
        SetDlgItemTextW(dlg, IDC_PRZ_SLOZKA, upravena.c_str());
        VybratCombo(dlg, IDC_PRZ_KODOVANI, 6);
        Klik(dlg, IDOK);
        return true;
    });
    // Rename "Porada" to the other profile's name in other case: 20039.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam)
            return false;
        EXPECT_EQ(Vybrana(dlg), L"Porada");
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_SLOZKA)), upravena);
        Klik(dlg, IDC_PROFILY_PREJMENOVAT);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Vstup)
            return false;
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_VSTUP_TEXT)), L"Porada");
        SetDlgItemTextW(dlg, IDC_VSTUP_TEXT, L"ZKOUŠKA");
        zpravPred = modul_.zpravy.size();
        Klik(dlg, IDOK);
        return true;
    });
    // Then to itself in other case: silently nothing; then a real rename.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam || modul_.zpravy.size() == zpravPred)
            return false;
        EXPECT_TRUE(Zprava(IDS_PROFIL_JIZ_EXISTUJE));
        Klik(dlg, IDC_PROFILY_PREJMENOVAT);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Vstup)
            return false;
        SetDlgItemTextW(dlg, IDC_VSTUP_TEXT, L"PORADA");
        zpravPred = modul_.zpravy.size();
        Klik(dlg, IDOK);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam)
            return false;
        EXPECT_EQ(modul_.zpravy.size(), zpravPred);
        EXPECT_EQ(Index(dlg, L"Porada") >= 0, true);
        Klik(dlg, IDC_PROFILY_PREJMENOVAT);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Vstup)
            return false;
        SetDlgItemTextW(dlg, IDC_VSTUP_TEXT, L"Porada týmu");
        Klik(dlg, IDOK);
        return true;
    });
    // Remove "Zkouška" after the question; item 0 is selected afterwards.
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam || Index(dlg, L"Porada týmu") < 0)
            return false;
        EXPECT_EQ(Vybrana(dlg), L"Porada týmu");
        Vybrat(dlg, IDC_PROFILY_SEZNAM, Index(dlg, L"Zkouška"));
        zpravPred = modul_.zpravy.size();
        Klik(dlg, IDC_PROFILY_ODSTRANIT);
        return true;
    });
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam || modul_.zpravy.size() == zpravPred)
            return false;
        EXPECT_EQ(modul_.zpravy.back().text, NacistText(IDS_OTAZKA_ODEBRAT_PROFIL, L"Zkouška"));
        EXPECT_EQ(Polozky(dlg), std::vector<std::wstring>{L"Porada týmu"});
        EXPECT_EQ(Vybrana(dlg), L"Porada týmu");
        Klik(dlg, IDCANCEL);  // Escape closes too
        return true;
    });

    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek), S_OK);
    ASSERT_TRUE(scenar_.Hotovo()) << "stalled at step " << scenar_.Pozice();
    EXPECT_TRUE(vysledek.profilyZmeneny);

    RecordingProfileStore znovu(klic_.Cesta());
    ASSERT_EQ(znovu.Load(), S_OK);
    ASSERT_EQ(znovu.Count(), 1);
    EXPECT_EQ(znovu.At(0).name, L"Porada týmu");
    EXPECT_EQ(znovu.At(0).folder, upravena);
    EXPECT_TRUE(StejneGuid(znovu.At(0).profileId, kProfilyKodovani[6]));
    EXPECT_FALSE(klic_.Existuje(klic_.Profil(L"Porada")));
    EXPECT_FALSE(klic_.Existuje(klic_.Profil(L"Zkouška")));
}

TEST_F(DialogyTest, AnEmptyListAndASecondOpenDoNothingHarmful)
{
    store_.Erase(0);
    ASSERT_EQ(store_.Save(), S_OK);
    bool druheOtevreni = false;
    scenar_.Pridat([&](HWND dlg, Druh druh) {
        if (druh != Druh::Seznam)
            return false;
        EXPECT_TRUE(Polozky(dlg).empty());
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_PRZ_SLOZKA)), L"");
        // Edit, rename and remove without a selection only beep.
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_PROFILY_UPRAVIT, BN_CLICKED), 0);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_PROFILY_PREJMENOVAT, BN_CLICKED), 0);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_PROFILY_ODSTRANIT, BN_CLICKED), 0);
        EXPECT_EQ(AktivniDialog(), dlg);
        // The command while the dialog is open does nothing.
        VysledekProfiluZaznamu v;
        druheOtevreni = SpravovatProfilyZaznamu(nullptr, store_, zarizeni_, v, &konf_.k) == S_FALSE;
        Klik(dlg, IDOK);
        return true;
    });
    VysledekProfiluZaznamu vysledek;
    EXPECT_EQ(Spustit(vysledek), S_OK);
    ASSERT_TRUE(scenar_.Hotovo());
    EXPECT_TRUE(druheOtevreni);
    EXPECT_FALSE(vysledek.profilyZmeneny);
    EXPECT_FALSE(vysledek.zarizeniObnovena);
    EXPECT_TRUE(modul_.zpravy.empty());
}

} // namespace
