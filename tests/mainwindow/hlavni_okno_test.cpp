// The main window without a recording: command ranges, hot keys against the real system table, the popup
// menus, the recording control's refusals, and the window: dispatch, Del, the close.
#include "app/Aplikace.h"
#include "app/Konfigurace.h"
#include "app/TestModul.h"
#include "harness/Servery.h"
#include "harness/TestFolder.h"
#include "mainwindow/LogikaHlavnihoOkna.h"
#include "mainwindow/OknoHlavni.h"
#include "mainwindow/OknoZaznamuTest.h"
#include "mainwindow/Prikazy.h"
#include "settings/NastaveniTest.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

namespace {

using namespace prikaz;
using tonbar::test::OknoZaznamuTest;
using V = std::vector<std::wstring>;

TEST(Rozsahy, EachRangeHasTwoHundredIds)
{
    const struct {
        UINT id;
        RozsahPrikazu rozsah;
        int index;
    } pripady[] = {{52000, RozsahPrikazu::kZarizeni, 0},          {52199, RozsahPrikazu::kZarizeni, 199},
                   {52200, RozsahPrikazu::kZaznamPodleProfilu, 0}, {52405, RozsahPrikazu::kSlozkaProfilu, 5},
                   {52799, RozsahPrikazu::kPrepnoutProfil, 199},  {51999, RozsahPrikazu::kZadny, -1},
                   {52800, RozsahPrikazu::kZadny, -1},            {0, RozsahPrikazu::kZadny, -1}};
    for (const auto& p : pripady) {
        int i = -1;
        EXPECT_EQ(RozlozitPrikaz(p.id, i), p.rozsah) << p.id;
        if (p.index >= 0) {
            EXPECT_EQ(i, p.index) << p.id;
        }
    }
}

TEST(HorkeKlavesy, TakenElsewhereAreCountedShownAndTheOthersRegister)
{
    HWND okno = CreateWindowExW(0, L"STATIC", L"Tonbar", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(okno, nullptr);
    tonbar::test::TestKonfigurace konf;
    Konfigurace& k = konf.k;
    // Entries without a key are skipped; Ctrl+Alt+Q is held by this thread as by another program.
    k.horke_klavesy[3].modifikatory = k.horke_klavesy[5].modifikatory = MOD_CONTROL | MOD_ALT;
    k.horke_klavesy[3].klavesa = 'Q';
    k.horke_klavesy[5].klavesa = 'W';
    ASSERT_TRUE(RegisterHotKey(nullptr, 7, MOD_CONTROL | MOD_ALT, 'Q'));
    IkonaOznameni ikona;
    HorkeKlavesy klavesy;
    EXPECT_EQ(klavesy.Registrovat(okno, k, &ikona), 1);
    EXPECT_TRUE(klavesy.Registrovany());
    EXPECT_EQ(ikona.PosledniBublina().text, L"1 klávesové zkratky se nepodařilo zaregistrovat.");
    EXPECT_EQ(ikona.PosledniBublina().druh, kBublinaChyba);
    // Registered once: a second call does nothing.
    EXPECT_EQ(klavesy.Registrovat(okno, k, nullptr), 0);
    // The window holds Ctrl+Alt+W now; unregistering counts the key that never was registered.
    EXPECT_FALSE(RegisterHotKey(nullptr, 8, MOD_CONTROL | MOD_ALT, 'W'));
    EXPECT_EQ(klavesy.Odregistrovat(okno, k, nullptr), 1);
    EXPECT_FALSE(klavesy.Registrovany());
    EXPECT_EQ(klavesy.Odregistrovat(okno, k, nullptr), 0);
    EXPECT_TRUE(RegisterHotKey(nullptr, 8, MOD_CONTROL | MOD_ALT, 'W'));
    UnregisterHotKey(nullptr, 8);
    UnregisterHotKey(nullptr, 7);
    EXPECT_EQ(TextSelhaniKlaves(true, 2), L"2 klávesové zkratky se nepodařilo zaregistrovat.");
    DestroyWindow(okno);
}

std::wstring TextPolozky(HMENU m, UINT id, UINT jak = MF_BYCOMMAND)
{
    wchar_t text[64] = {};
    GetMenuStringW(m, id, text, 64, jak);
    return text;
}

// One letter an item: '-' missing, 'x' checked, 'g' greyed, 'X' both, '.' neither.
std::string Stavy(HMENU m, std::initializer_list<UINT> prikazy)
{
    std::string s;
    for (UINT id : prikazy) {
        UINT st = GetMenuState(m, id, MF_BYCOMMAND);
        bool x = st & MF_CHECKED, g = st & MF_GRAYED;
        s += st == static_cast<UINT>(-1) ? '-' : x && g ? 'X' : x ? 'x' : g ? 'g' : '.';
    }
    return s;
}

// The tray popup, the menu bar and the profile popups, each against the state it shows.
TEST(Nabidky, TrayMenuBarAndProfilePopupsFollowTheState)
{
    AudioCaptureDeviceList zarizeni;
    zarizeni.Add({L"Mikrofon", L"", L""});
    zarizeni.Add({L"Linka", L"", L""});
    zarizeni.SortAndNumber();
    StavNabidkyIkony s;
    s.viditelne = true;
    s.zarizeni = &zarizeni;
    s.aktualniZarizeni = L"Mikrofon";
    Nabidka ikona = VytvoritNabidkuIkony(GetModuleHandleW(nullptr), s);
    // No profiles: their item is gone; "Mikrofon" sorts second.
    HMENU m = GetSubMenu(ikona.Get(), 0);
    EXPECT_EQ(Stavy(m, {kZobrazitSkryt, kUkoncit, kSpustit, kSpustitProfil, 52001, 52000}), "xg.-x.");
    s.viditelne = false;
    s.nahravaSe = true;
    s.profily = {{L"Porada", L"C:\\p", {}, {}}, {L"Hudba", L"C:\\h", {}, {}}};
    ikona = VytvoritNabidkuIkony(GetModuleHandleW(nullptr), s);
    m = GetSubMenu(ikona.Get(), 0);
    EXPECT_EQ(Stavy(m, {kZobrazitSkryt, kSpustit, kPredvolby, kUkoncit, 52200}), ".gg..");
    EXPECT_EQ(TextPolozky(m, 52201), L"Hudba");
    // The menu bar without profiles keeps the two items, greyed.
    Nabidka bez = VytvoritHlavniMenu(GetModuleHandleW(nullptr), {});
    EXPECT_EQ(Stavy(bez.Get(), {kSpustitProfil, kSlozkaProfilu}), "gg");
    Nabidka lista = VytvoritHlavniMenu(GetModuleHandleW(nullptr), {{L"Porada", L"C:\\p", {}, {}}});
    EXPECT_EQ(Stavy(lista.Get(), {52200, 52400}), "..");
    // While recording, the recorded file (compared ignoring case) is off limits; another file is not.
    StavHlavnihoOkna st;
    st.nahravaSe = st.seznam = st.vybranySoubor = true;
    st.vybrany = L"C:\\z\\a.wma";
    st.nahravany = L"C:\\Z\\A.WMA";
    UplatnitStavyNaNabidku(lista.Get(), st);
    EXPECT_EQ(Stavy(lista.Get(), {kSpustit, kUkoncit, kOdstranit}), "g.g");
    st.vybrany = L"C:\\z\\b.wma";
    UplatnitStavyNaNabidku(lista.Get(), st);
    EXPECT_EQ(Stavy(lista.Get(), {kOdstranit}), ".");
    st.seznam = false;
    UplatnitStavyNaNabidku(lista.Get(), st);
    EXPECT_EQ(Stavy(lista.Get(), {kOdstranit}), "g");
    // A profile popup lists the names in order with their commands, at most a range of them.
    EXPECT_EQ(VytvoritNabidkuProfilu({}, kZakladZaznamProfilu), nullptr);
    std::vector<ProfilZaznamuInfo> profily;
    for (int i = 0; i < 205; ++i)
        profily.push_back({L"Profil " + std::to_wstring(i), L"C:\\p", {}, {}});
    Nabidka popup(VytvoritNabidkuProfilu(profily, kZakladSlozkaProfilu));
    ASSERT_NE(popup.Get(), nullptr);
    ASSERT_EQ(GetMenuItemCount(popup.Get()), 200);
    for (UINT i : {0, 1, 199}) {
        EXPECT_EQ(TextPolozky(popup.Get(), i, MF_BYPOSITION), profily[i].nazev);
        EXPECT_EQ(GetMenuItemID(popup.Get(), static_cast<int>(i)), kZakladSlozkaProfilu + i);
        EXPECT_FALSE(GetMenuState(popup.Get(), i, MF_BYPOSITION) & MF_CHECKED);
    }
}

TEST(RizeniBezMikrofonu, AMissingProfileFileIsReportedAndARefusedNameStartsNothing)
{
    tonbar::test::ComScope com;
    tonbar::test::TestFolder slozka;
    tonbar::test::TestKonfigurace konf;
    Konfigurace& k = konf.k;
    k.slozka_data = slozka.Path();
    k.zapis_udalosti = 0;
    Aplikace a;
    a.zaznamnik = std::make_unique<AudioRecorder>();
    a.nazevProduktu = L"Tonbar";
    OknoZaznamuTest ui;
    k.vlastni_profil = true;
    k.soubor_prx = slozka.File(L"chybi.prx");
    k.vytv_jmena = 0;
    k.soubor_jmeno = L"Z";
    a.cisloZaznamu = 7;
    RizeniZaznamu r(a, k, ui);
    HRESULT hr = r.SpustitZaznam();
    EXPECT_TRUE(FAILED(hr));
    ASSERT_EQ(ui.chyby.size(), 1u);
    EXPECT_EQ(ui.chyby[0], L"Došlo k chybě při pokusu o spuštění záznamu do souboru \"" + slozka.File(L"Z_7.wma") +
                                L"\"");
    EXPECT_EQ(ui.kodChyby, hr);
    EXPECT_FALSE(r.NahravaSe());
    EXPECT_EQ(ui.spusteniBlikani, 0);
    EXPECT_TRUE(ui.text.empty());
    // Nothing was recorded, so the number is still free.
    EXPECT_EQ(a.cisloZaznamu, 7u);
    // A date-and-time name goes to the list's folder when it exists.
    tonbar::test::TestFolder jina;
    ui.slozkaSeznamu = jina.Path();
    k.vytv_jmena = 2;
    r.SpustitZaznam();
    EXPECT_EQ(a.souborZaznamu.rfind(jina.Path() + L"\\", 0), 0u) << a.souborZaznamu;
    // With the built-in profile, a refused name starts nothing and says nothing.
    k.vlastni_profil = false;
    ui.chyby.clear();
    k.vytv_jmena = 0;
    k.max_pocet_souboru = 3;
    k.soubor_parametry = 0;
    a.cisloZaznamu = 4;
    EXPECT_EQ(r.SpustitZaznam(), E_FAIL);
    EXPECT_TRUE(ui.chyby.empty());
    EXPECT_FALSE(r.NahravaSe());
    // Stopping when nothing runs does nothing either.
    EXPECT_EQ(r.UkoncitZaznam(), S_FALSE);
    EXPECT_EQ(r.PrikazUkoncit(), S_FALSE);
    EXPECT_EQ(ui.aktualizace, 0);
}

// The real main window on a minimal application object.
class HlavniOkno : public ::testing::Test {
protected:
    void SetUp() override
    {
        a_.instance = GetModuleHandleW(nullptr);
        a_.nazevProduktu = L"Tonbar";
        a_.malaIkona = LoadIcon(nullptr, IDI_APPLICATION);
        a_.velkaIkona = a_.malaIkona;
        a_.ikonaZaznamu = LoadIcon(nullptr, IDI_WARNING);
        a_.maleObrazky = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 11, 0);
        a_.velkeObrazky = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 11, 0);
        a_.zarizeni = std::make_unique<AudioCaptureDeviceList>();
        a_.zaznamnik = std::make_unique<AudioRecorder>();
        InitializeCriticalSection(&a_.cs);
        g_aplikace = &a_;
        InicializovatKonfiguraci(g_konfigurace);
        NastavitVychozi(g_konfigurace);
        g_konfigurace.registrovaCesta = konf_.k.registrovaCesta;
        g_konfigurace.slozka_data = slozka_.Path();
        g_konfigurace.seznam_souboru_slozka = slozka_.Path();
        g_konfigurace.zapis_udalosti = 0;
        g_konfigurace.horke_klavesy[0].modifikatory = MOD_CONTROL | MOD_ALT;
        g_konfigurace.horke_klavesy[0].klavesa = 'K';
    }
    void TearDown() override
    {
        okno_.reset();
        UvolnitKonfiguraci(g_konfigurace);
        ImageList_Destroy(a_.maleObrazky);
        ImageList_Destroy(a_.velkeObrazky);
        g_aplikace = nullptr;
        DeleteCriticalSection(&a_.cs);
    }
    static void Pumpovat(DWORD ms) { tonbar::test::Cekat([] { return false; }, ms); }
    void Otevrit()
    {
        okno_ = std::make_unique<OknoHlavni>(a_);
        ASSERT_EQ(okno_->Vytvorit(), S_OK);
        Pumpovat(300);
    }
    void Vytvorit(const std::wstring& jmeno) const { tonbar::test::WriteBytes(slozka_.File(jmeno), "x"); }
    // Selects and focuses the file alone, as a click does.
    void Kliknout(const std::wstring& jmeno)
    {
        ListView_SetItemState(Seznam(), -1, 0, LVIS_SELECTED);
        for (int i = 0; i < okno_->Seznam()->Count(); ++i)
            if (okno_->Seznam()->ItemText(i, 0) == jmeno)
                ListView_SetItemState(Seznam(), i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    HWND Seznam() const { return okno_->Seznam()->Handle(); }
    tonbar::test::ComScope com_;
    tonbar::test::TestKonfigurace konf_;  // the key the window writes, removed at the end
    tonbar::test::TestFolder slozka_;
    Aplikace a_;
    std::unique_ptr<OknoHlavni> okno_;
};

// One window: the dispatch and the device submenu; Del deletes exactly the file chosen while the folder
// changes; a profile's folder that is missing is neither stored nor shown; then a cancelled shutdown and the
// close sequence that runs once.
TEST_F(HlavniOkno, DispatchDelProfileFoldersAndTheCloseSequence)
{
    tonbar::test::TestModul modul;
    for (const wchar_t* j : {L"b.wma", L"a.wma", L"c.wma"})
        Vytvorit(j);
    for (const wchar_t* d : {L"Mikrofon", L"Linka", L"Mikrofon"})
        a_.zarizeni->Add({d, L"", L""});
    a_.zarizeni->SortAndNumber();
    Otevrit();
    HWND h = okno_->Handle();
    EXPECT_TRUE(okno_->KlavesyRegistrovany());
    EXPECT_EQ(IkonaHlavnihoOkna(), okno_->Ikona());
    EXPECT_EQ(okno_->TextStavu(), L"Tonbar - Připraven - " + slozka_.Path());
    EXPECT_NE(okno_->Seznam(), nullptr);
    // The device submenu; `rodic`, the menu-bar popup at `pozice` that holds it.
    HMENU rodic = nullptr;
    int pozice = 0;
    auto podnabidka = [&]() -> HMENU {
        for (pozice = 0; pozice < GetMenuItemCount(GetMenu(h)); ++pozice)
            for (int j = 0; (rodic = GetSubMenu(GetMenu(h), pozice)) && j < GetMenuItemCount(rodic); ++j)
                if (HMENU sub = GetSubMenu(rodic, j); sub && GetMenuItemID(sub, 0) == kZakladZarizeni)
                    return sub;
        return nullptr;
    };
    HMENU zarizeni = podnabidka();
    ASSERT_NE(zarizeni, nullptr);
    ASSERT_EQ(GetMenuItemCount(zarizeni), 3);
    for (UINT i : {0, 1, 2})
        EXPECT_EQ(TextPolozky(zarizeni, kZakladZarizeni + i), (V{L"Linka", L"Mikrofon", L"Mikrofon #2"}[i]));
    EXPECT_EQ(Stavy(zarizeni, {kZakladZarizeni + 1}), ".");
    PostMessageW(h, WM_COMMAND, kZakladZarizeni + 1, 0);
    Pumpovat(200);
    EXPECT_EQ(g_konfigurace.zarizeni.friendlyName, L"Mikrofon");
    // The next time the popup opens, the choice is checked.
    SendMessageW(h, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(rodic), MAKELPARAM(pozice, FALSE));
    zarizeni = podnabidka();
    ASSERT_NE(zarizeni, nullptr);
    EXPECT_EQ(Stavy(zarizeni, {kZakladZarizeni + 1, kZakladZarizeni, kZakladZarizeni + 2}), "x..");
    // A numbered name, in any case, checks its own item.
    g_konfigurace.zarizeni.friendlyName = L"MIKROFON #2";
    SendMessageW(h, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(rodic), MAKELPARAM(pozice, FALSE));
    EXPECT_EQ(Stavy(podnabidka(), {kZakladZarizeni + 1, kZakladZarizeni + 2}), ".x");
    // Stop and rename-while-recording are disabled while idle; they do nothing.
    okno_->Prikaz(kUkoncit);
    okno_->Prikaz(kPrejmenovatNahravany);
    EXPECT_FALSE(okno_->Rizeni().NahravaSe());
    // The plain panel and back.
    okno_->Prikaz(kSeznamSouboru);
    EXPECT_EQ(okno_->Seznam(), nullptr);
    EXPECT_EQ(g_konfigurace.zobrazit_seznam_souboru, 0u);
    EXPECT_NE(FindWindowExW(h, nullptr, L"tonbar_kl_obl", nullptr), nullptr);
    okno_->Prikaz(kSeznamSouboru);
    EXPECT_NE(okno_->Seznam(), nullptr);
    okno_->Prikaz(kVelkeIkony);
    EXPECT_EQ(g_konfigurace.toolbar, 2u);
    okno_->Prikaz(kMaleIkony);
    EXPECT_EQ(g_konfigurace.toolbar, 1u);
    okno_->Prikaz(kSkrytOkno);
    EXPECT_FALSE(IsWindowVisible(h));
    okno_->Prikaz(kZobrazitSkryt);
    EXPECT_TRUE(IsWindowVisible(h));
    // Without recording profiles the profile switch is shown, greyed.
    HWND toolbar = FindWindowExW(FindWindowExW(h, nullptr, REBARCLASSNAMEW, nullptr), nullptr,
                                 TOOLBARCLASSNAMEW, nullptr);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, kPrepnoutProfil, 0));
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONENABLED, kPrepnoutProfil, 0));
    Kliknout(L"a.wma");
    // Del asks (No preselected) while files are written and listed; Yes deletes the file chosen.
    modul.odpoved = IDYES;
    modul.priZprave = [&] {
        for (int i = 0; i < 12; ++i) {
            Vytvorit(L"n" + std::to_wstring(i) + L".wma");
            Pumpovat(100);
        }
    };
    SendMessageW(Seznam(), WM_KEYDOWN, VK_DELETE, 0);
    modul.priZprave = nullptr;
    ASSERT_EQ(modul.zpravy.size(), 1u);
    EXPECT_EQ(modul.zpravy[0].text, L"Opravdu chcete smazat z disku vybraný soubor(-y)?\nPočet souborů: 1");
    EXPECT_EQ(modul.zpravy[0].flags & MB_DEFMASK, static_cast<UINT>(MB_DEFBUTTON2));
    const auto zbyva = tonbar::test::Soubory(slozka_.Path());
    EXPECT_EQ(std::count(zbyva.begin(), zbyva.end(), L"a.wma"), 0);
    EXPECT_EQ(zbyva.size(), 14u) << "b, c and the 12 written meanwhile";
    // Profiles are read when their command comes.
    tonbar::test::TestFolder jina;
    a_.profilyZaznamu.Append({.name = L"Chybí", .folder = slozka_.File(L"neni")});
    a_.profilyZaznamu.Append({.name = L"Je", .folder = jina.Path()});
    const std::wstring stav = okno_->TextStavu();
    for (UINT prikaz : {kZakladSlozkaProfilu, kZakladPrepnoutProfil}) {
        modul.zpravy.clear();
        okno_->Prikaz(prikaz);
        EXPECT_EQ(g_konfigurace.seznam_souboru_slozka, slozka_.Path()) << prikaz;
        EXPECT_EQ(okno_->TextStavu(), stav) << prikaz;
        std::wstring ukazana;
        EXPECT_EQ(okno_->Seznam()->GetFolder(ukazana), S_OK);
        EXPECT_EQ(ukazana, slozka_.Path());
        ASSERT_EQ(modul.zpravy.size(), 1u) << prikaz;
        EXPECT_NE(modul.zpravy[0].text.find(slozka_.File(L"neni")), std::wstring::npos) << prikaz;
    }
    modul.zpravy.clear();
    okno_->Prikaz(kZakladSlozkaProfilu + 1);
    EXPECT_EQ(g_konfigurace.seznam_souboru_slozka, jina.Path());
    EXPECT_EQ(okno_->TextStavu(), L"Tonbar - Připraven - " + jina.Path());
    EXPECT_TRUE(modul.zpravy.empty());
    SendMessageW(h, WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(okno_->KlavesyRegistrovany());
    EXPECT_NE(okno_->Seznam(), nullptr);
    EXPECT_EQ(IkonaHlavnihoOkna(), okno_->Ikona());
    SendMessageW(h, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(okno_->KlavesyRegistrovany());
    EXPECT_EQ(okno_->Seznam(), nullptr);
    EXPECT_EQ(IkonaHlavnihoOkna(), nullptr);
    // The key is free again.
    EXPECT_TRUE(RegisterHotKey(nullptr, 3, MOD_CONTROL | MOD_ALT, 'K'));
    UnregisterHotKey(nullptr, 3);
    // A later close finds nothing left to do: no second delete of the icon, no fatal box.
    SendMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h));
}

} // namespace
