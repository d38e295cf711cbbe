// The settings dialog on a thread of its own (over a hidden owner window): the test works its
// controls as the user would and reads the registry the dialog wrote.
#include "email/SmtpUcty.h"
#include "harness/Servery.h"
#include "settings/DlgNastaveni.h"
#include "settings/NastaveniTest.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace tonbar::test;

namespace {

// The page that shows; nullptr unless exactly one does.
HWND NajitViditelnouStranku(HWND dlg)
{
    std::vector<HWND> viditelne;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (TridaOkna(c) == L"#32770" && IsWindowVisible(c))
            viditelne.push_back(c);
    return viditelne.size() == 1 ? viditelne[0] : nullptr;
}

// Selects the page's tree item as a click would; the page shown then.
HWND VybratStranku(HWND dlg, UINT sablona)
{
    HWND strom = GetDlgItem(dlg, IDC_NAST_STROM);
    for (auto p = TreeView_GetRoot(strom); p; p = TreeView_GetNextSibling(strom, p)) {
        TVITEMW t{TVIF_PARAM, p};
        if (TreeView_GetItem(strom, &t) && static_cast<UINT>(t.lParam) == sablona) {
            TreeView_SelectItem(strom, p);
            return NajitViditelnouStranku(dlg);
        }
    }
    return nullptr;
}

void Prikaz(HWND stranka, int id, WORD kod)
{
    SendMessageW(stranka, WM_COMMAND, MAKEWPARAM(id, kod), reinterpret_cast<LPARAM>(GetDlgItem(stranka, id)));
}

// Selects the combo item with `data` and tells the page, as a user's choice does.
bool VybratVCombu(HWND stranka, int id, LPARAM data)
{
    for (int i = 0; i < SendDlgItemMessageW(stranka, id, CB_GETCOUNT, 0, 0); ++i) {
        if (SendDlgItemMessageW(stranka, id, CB_GETITEMDATA, i, 0) == data) {
            Vybrat(stranka, id, i, true);
            return true;
        }
    }
    return false;
}

LPARAM VybranoVCombu(HWND stranka, int id)
{
    LRESULT i = SendDlgItemMessageW(stranka, id, CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? -1 : SendDlgItemMessageW(stranka, id, CB_GETITEMDATA, i, 0);
}

void Klik(HWND stranka, int id)
{
    SendMessageW(GetDlgItem(stranka, id), BM_CLICK, 0, 0);
}

void ZaskrtnoutVSeznamu(HWND stranka, int id, LPARAM data, bool ano)
{
    HWND seznam = GetDlgItem(stranka, id);
    LVFINDINFOW hledat{LVFI_PARAM, nullptr, data};
    int i = ListView_FindItem(seznam, -1, &hledat);
    ASSERT_GE(i, 0) << "item " << data;
    ListView_SetCheckState(seznam, i, ano);
}

// Selects the hot-key entry of `prikaz` in the list (group "all").
bool VybratHorkouKlavesu(HWND stranka, uint32_t prikaz)
{
    std::vector<std::wstring> radky = Polozky(stranka, IDC_HK_SEZNAM);
    for (size_t i = 0; i < radky.size(); ++i)
        if (NacistRetezec(prikaz).rfind(radky[i], 0) == 0) {
            Vybrat(stranka, IDC_HK_SEZNAM, static_cast<int>(i));
            return true;
        }
    return false;
}

// Types a key into the hot-key control and presses "Nastavit".
void NastavitHorkouKlavesu(HWND stranka, BYTE vk, BYTE hotkeyf)
{
    SendDlgItemMessageW(stranka, IDC_HK_KLAVESA, HKM_SETHOTKEY, MAKEWORD(vk, hotkeyf), 0);
    Prikaz(stranka, IDC_HK_KLAVESA, EN_CHANGE);
    Prikaz(stranka, IDC_HK_NASTAVIT, BN_CLICKED);
}

class NastaveniTest : public ::testing::Test {
protected:
    // Opens the dialog on `stranka` and waits until it shows.
    void Otevrit(UINT stranka = IDD_NAST_APLIKACE)
    {
        Konfigurace& k = konf_.k;
        vlastnik_ = std::make_unique<VlastnikNaVlakne>([&k, stranka](HWND o) { return SpustitNastaveni(o, stranka, k); });
        ASSERT_TRUE(Cekat([] { return OknoNastaveni() && IsWindowVisible(OknoNastaveni()); }));
        dlg_ = OknoNastaveni();
    }
    INT_PTR Zavrit(int tlacitko)
    {
        PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(tlacitko, BN_CLICKED), 0);
        return vlastnik_->Vysledek();
    }
    void TearDown() override
    {
        if (vlastnik_ && OknoNastaveni())
            Zavrit(IDCANCEL);
        vlastnik_.reset();
        SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    }

    ZaznamZprav zpravy_;
    TestKonfigurace konf_;
    std::unique_ptr<VlastnikNaVlakne> vlastnik_;
    HWND dlg_ = nullptr;
};

// An unknown page shows "Aplikace" first; the others are opened by name below.
TEST_F(NastaveniTest, EveryPageOpensUnderItsTitleApplyWritesAndOkWithoutVisitingSaves)
{
    Otevrit(4242);
    EXPECT_EQ(Text(dlg_), L"Tonbar - Předvolby - Všeobecné předvolby aplikace");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg_, IDC_NAST_POUZIT)));
    const std::pair<UINT, const wchar_t*> stranky[] = {
        {IDD_NAST_APLIKACE, L"Všeobecné předvolby aplikace"},
        {IDD_NAST_HORKE_KLAVESY, L"Klávesové zkratky"},
        {IDD_NAST_PO_SPUSTENI, L"Akce provedené při spuštění aplikace"},
        {IDD_NAST_ZAPIS_UDALOSTI, L"Zápis událostí pro prohlížení událostí Windows"},
        {IDD_NAST_SOUBOR, L"Soubory záznamu - vytváření jména"},
        {IDD_NAST_SEZNAM_SOUBORU, L"Seznam souborů zaánamů v okně aplikace"},
        {IDD_NAST_SMTP_UCET, L"SMTP účet pro odesílání emailem"},
        {IDD_NAST_PREHRAVANI, L"Přehrávání zvukových souborů/záznamů"},
    };
    for (const auto& [sablona, titulek] : stranky) {
        HWND stranka = VybratStranku(dlg_, sablona);
        ASSERT_NE(stranka, nullptr) << sablona;
        EXPECT_EQ(Text(dlg_), std::wstring(L"Tonbar - Předvolby - ") + titulek);
        RECT rs{}, rt{}, rd{};  // the page lies right of the tree, inside the dialog
        GetWindowRect(stranka, &rs);
        GetWindowRect(GetDlgItem(dlg_, IDC_NAST_STROM), &rt);
        GetWindowRect(dlg_, &rd);
        EXPECT_TRUE(rs.left >= rt.right && rs.right <= rd.right) << sablona;
    }
    // A page once created is shown again, not created twice.
    HWND prvni = VybratStranku(dlg_, IDD_NAST_APLIKACE);
    EXPECT_EQ(VybratStranku(dlg_, IDD_NAST_APLIKACE), prvni);
    // Only one dialog at a time: a second request returns at once.
    EXPECT_EQ(SpustitNastaveni(nullptr, IDD_NAST_APLIKACE, konf_.k), 0);

    // "Použít" writes at once; Storno then keeps what was applied, not what came after.
    HWND s = VybratStranku(dlg_, IDD_NAST_PREHRAVANI);
    ASSERT_TRUE(VybratVCombu(s, IDC_PREHRAVANI_ZPUSOB, 0));
    ASSERT_TRUE(Cekat([this] { return IsWindowEnabled(GetDlgItem(dlg_, IDC_NAST_POUZIT)) != FALSE; }));
    SendMessageW(dlg_, WM_COMMAND, MAKEWPARAM(IDC_NAST_POUZIT, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg_, IDC_NAST_POUZIT)));
    EXPECT_EQ(konf_.Dword(L"prehravani", L"prehravac"), 0u);
    ASSERT_TRUE(VybratVCombu(s, IDC_PREHRAVANI_ZPUSOB, 1));
    EXPECT_EQ(Zavrit(IDCANCEL), IDCANCEL);
    EXPECT_EQ(konf_.Dword(L"prehravani", L"prehravac"), 0u) << "the later change was not applied";
    EXPECT_EQ(vlastnik_->Pocet(WM_APP + 2), 1);
    EXPECT_TRUE(zpravy_.Zpravy().empty());

    // OK without visiting saves the record and tells the owner.
    konf_.k.max_pocet_souboru = 77;  // an untouched page leaves its fields alone
    Otevrit();
    EXPECT_EQ(Zavrit(IDOK), IDOK);
    EXPECT_EQ(vlastnik_->Pocet(WM_APP + 2), 1);
    EXPECT_EQ(vlastnik_->Pocet(WM_APP + 5), 0);
    EXPECT_EQ(konf_.Dword(nullptr, L"process_priority"), 32u);
    EXPECT_EQ(konf_.Dword(L"soubor", L"max_pocet_souboru"), 77u);
    EXPECT_EQ(konf_.Text(nullptr, L"slozka_data"), konf_.k.slozka_data);
}

// Every page: a change reaches the registry after OK, and nothing after Storno.
TEST_F(NastaveniTest, ChangesOnEveryPageAreNotWrittenAfterStornoAndReachTheRegistryAfterOk)
{
    auto zmenitVse = [this] {
        HWND s = VybratStranku(dlg_, IDD_NAST_APLIKACE);
        Napsat(s, IDC_APL_SLOZKA, L"C:\\zaznamy\\nova");
        ASSERT_TRUE(VybratVCombu(s, IDC_APL_PRIORITA, BELOW_NORMAL_PRIORITY_CLASS));
        Klik(s, IDC_APL_ZVUK);
        ASSERT_TRUE(VybratVCombu(s, IDC_APL_UDALOST_MYSI, 1));   // Ctrl + left button
        EXPECT_EQ(VybranoVCombu(s, IDC_APL_FUNKCE), 40009);       // its stored command
        ASSERT_TRUE(VybratVCombu(s, IDC_APL_FUNKCE, 40011));
        ASSERT_TRUE(VybratVCombu(s, IDC_APL_UDALOST_MYSI, 7));   // middle button
        ASSERT_TRUE(VybratVCombu(s, IDC_APL_FUNKCE, 40013));
        ASSERT_TRUE(VybratVCombu(s, IDC_APL_UDALOST_MYSI, 1));
        EXPECT_EQ(VybranoVCombu(s, IDC_APL_FUNKCE), 40011);

        s = VybratStranku(dlg_, IDD_NAST_HORKE_KLAVESY);
        ASSERT_TRUE(VybratHorkouKlavesu(s, 40011));
        NastavitHorkouKlavesu(s, 'R', HOTKEYF_CONTROL | HOTKEYF_ALT);

        s = VybratStranku(dlg_, IDD_NAST_PO_SPUSTENI);
        ZaskrtnoutVSeznamu(s, IDC_PO_SPUSTENI_SEZNAM, 40015, true);

        s = VybratStranku(dlg_, IDD_NAST_ZAPIS_UDALOSTI);
        ZaskrtnoutVSeznamu(s, IDC_UDALOSTI_SEZNAM, 20033, true);
        ZaskrtnoutVSeznamu(s, IDC_UDALOSTI_SEZNAM, 20030, false);

        // The name field serves numbering (0) only.
        s = VybratStranku(dlg_, IDD_NAST_SOUBOR);
        EXPECT_EQ(VybranoVCombu(s, IDC_SOUBOR_ZPUSOB), 2);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(s, IDC_SOUBOR_JMENO)));
        for (LPARAM zpusob : {0, 1, 0}) {
            ASSERT_TRUE(VybratVCombu(s, IDC_SOUBOR_ZPUSOB, zpusob));
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(s, IDC_SOUBOR_JMENO)) != FALSE, zpusob == 0);
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(s, IDC_SOUBOR_JMENO_POPIS)) != FALSE, zpusob == 0);
        }
        Napsat(s, IDC_SOUBOR_JMENO, L"Pokus");
        Napsat(s, IDC_SOUBOR_MAX, L"1234");
        Klik(s, IDC_SOUBOR_PREPSAT);
        Napsat(s, IDC_SOUBOR_TICHO, L"5");

        s = VybratStranku(dlg_, IDD_NAST_SEZNAM_SOUBORU);
        Klik(s, IDC_SEZNAM_FORMATY);
        Klik(s, IDC_SEZNAM_SLOZKA_PROFILU);

        s = VybratStranku(dlg_, IDD_NAST_SMTP_UCET);
        Napsat(s, IDC_SMTP_EMAIL, L"odesilatel@example.com");
        Napsat(s, IDC_SMTP_SERVER, L"smtp.example.com");
        Napsat(s, IDC_SMTP_HESLO, L"tajne");
        Klik(s, IDC_SMTP_ZOBRAZIT);
        EXPECT_EQ(SendDlgItemMessageW(s, IDC_SMTP_HESLO, EM_GETPASSWORDCHAR, 0, 0), 0) << "shown in plain text";

        s = VybratStranku(dlg_, IDD_NAST_PREHRAVANI);
        ASSERT_TRUE(VybratVCombu(s, IDC_PREHRAVANI_ZPUSOB, 0));
        // The pages' reports have reached the dialog.
        EXPECT_TRUE(Cekat([this] { return IsWindowEnabled(GetDlgItem(dlg_, IDC_NAST_POUZIT)) != FALSE; }));
    };
    Otevrit();
    zmenitVse();
    ASSERT_EQ(Zavrit(IDCANCEL), IDCANCEL);
    EXPECT_FALSE(konf_.KlicExistuje());
    EXPECT_EQ(vlastnik_->Pocet(WM_APP + 2), 0);
    EXPECT_EQ(vlastnik_->Pocet(WM_APP + 5), 0);
    // Nor is the record in memory changed.
    const Konfigurace& k = konf_.k;
    EXPECT_EQ(std::vector({k.process_priority, k.akce_ikona_hlavni[1], Klavesa(k, 40011)->klavesa,
                           k.max_pocet_souboru, k.varovani_ticho}),
              std::vector({32u, 40009u, 0u, 500u, 30u}));
    EXPECT_EQ(konf_.k.smtp_ucet.email, L"");
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    Otevrit();
    zmenitVse();
    ASSERT_EQ(Zavrit(IDOK), IDOK);
    EXPECT_EQ(vlastnik_->Pocet(WM_APP + 2), 1);
    EXPECT_EQ(vlastnik_->Pocet(WM_APP + 5), 1) << "the supported-formats box was clicked";

    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS))
        << "the priority is applied";
    // What each page wrote: a text, or else a number.
    const struct {
        const wchar_t *klic, *nazev, *text;
        DWORD cislo;
    } zapsano[] = {
        {nullptr, L"slozka_data", L"C:\\zaznamy\\nova", 0}, {nullptr, L"parametry", nullptr, 0},
        {nullptr, L"process_priority", nullptr, BELOW_NORMAL_PRIORITY_CLASS},
        {nullptr, L"po_spusteni", nullptr, 1}, {nullptr, L"zapis_udalosti", nullptr, 8},
        {nullptr, L"varovani_ticho", nullptr, 5}, {L"soubor", L"vytv_jmena", nullptr, 0},
        {L"soubor", L"jmeno", L"Pokus", 0}, {L"soubor", L"max_pocet_souboru", nullptr, 1234},
        {L"soubor", L"parametry", nullptr, 1}, {L"prehravani", L"prehravac", nullptr, 0},
        {L"seznam_souboru", L"parametry", nullptr, 7 - 1 + 8},
        {L"smtp_ucet", L"email", L"odesilatel@example.com", 0},
        {L"smtp_ucet", L"server", L"smtp.example.com", 0}, {L"smtp_ucet", L"heslo", L"tajne", 0},
        {L"smtp_ucet", L"parametry", nullptr, 1}, {L"smtp_ucet", L"jmeno", L"tester", 0},  // untouched
    };
    for (const auto& z : zapsano) {
        if (z.text)
            EXPECT_EQ(konf_.Text(z.klic, z.nazev), z.text) << z.nazev;
        else
            EXPECT_EQ(konf_.Dword(z.klic, z.nazev), z.cislo) << z.nazev;
    }
    const uint32_t akce[8] = {40008, 40011, 40009, 40009, 40002, 40009, 40002, 40013};
    EXPECT_TRUE(konf_.Drzi(nullptr, L"akce_ikona_hlavni", akce));
    const uint32_t klavesa[4] = {MOD_CONTROL | MOD_ALT, 'R', 40011, 20022};
    EXPECT_TRUE(konf_.Drzi(L"horke_klavesy", L"40011", klavesa));
    ASSERT_NE(Klavesa(konf_.k, 40011), nullptr);
    EXPECT_EQ(Klavesa(konf_.k, 40011)->klavesa, static_cast<uint32_t>('R')) << "in the configuration after OK";
    EXPECT_TRUE(zpravy_.Zpravy().empty());
}

// The SMTP page imports an account of the shared list (smtp_ucty.rxml in the folder its registry key
// names). Every default hot-key entry has no key: storing "no key" is never refused; a key of another
// entry is.
TEST_F(NastaveniTest, SmtpPageImportsASharedAccountAndAKeyOfAnotherEntryIsRefused)
{
    TestFolder slozka;
    PresmerovaniUloziste presmerovani(Uloziste::SmtpUcty, slozka.Path());
    SmtpAccountList ucty;
    ucty.items = {{L"b@example.com", L"heslo-b", L"Bedřich", L"login-b", L"smtp.b.example.com"},
                  {L"a@example.com", L"heslo-a", L"Adéla", L"login-a", L"smtp.a.example.com"}};
    ASSERT_EQ(ucty.Save(), S_OK);
    konf_.k.smtp_ucet.email = L"B@EXAMPLE.COM";
    Otevrit(IDD_NAST_SMTP_UCET);
    HWND s = NajitViditelnouStranku(dlg_);
    HWND combo = GetDlgItem(s, IDC_SMTP_UCTY);
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(TextPolozky(combo, 0, true), L"a@example.com") << "sorted by e-mail";
    // The configured address is selected, whatever its letter case.
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Text(s, IDC_SMTP_UCET_SERVER), L"smtp.b.example.com");
    EXPECT_EQ(Text(s, IDC_SMTP_UCET_JMENO), L"Bedřich");
    Vybrat(s, IDC_SMTP_UCTY, 0, true);
    EXPECT_EQ(Text(s, IDC_SMTP_UCET_ID), L"login-a");
    Prikaz(s, IDC_SMTP_IMPORT, BN_CLICKED);
    EXPECT_EQ(Text(s, IDC_SMTP_EMAIL), L"a@example.com");

    s = VybratStranku(dlg_, IDD_NAST_HORKE_KLAVESY);
    ASSERT_TRUE(VybratHorkouKlavesu(s, 40008));
    NastavitHorkouKlavesu(s, 0, 0);
    Prikaz(s, IDC_HK_VYMAZAT, BN_CLICKED);
    EXPECT_TRUE(zpravy_.Zpravy().empty());
    // A group shows only its entries; the first is selected.
    ASSERT_TRUE(VybratVCombu(s, IDC_HK_SKUPINA, 20022));
    EXPECT_EQ(SendDlgItemMessageW(s, IDC_HK_SEZNAM, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendDlgItemMessageW(s, IDC_HK_SEZNAM, LB_GETCURSEL, 0, 0), 0);
    ASSERT_TRUE(VybratVCombu(s, IDC_HK_SKUPINA, 0));
    EXPECT_EQ(SendDlgItemMessageW(s, IDC_HK_SEZNAM, LB_GETCOUNT, 0, 0), 6);

    ASSERT_TRUE(VybratHorkouKlavesu(s, 40001));
    NastavitHorkouKlavesu(s, 'Q', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    EXPECT_TRUE(zpravy_.Zpravy().empty());
    ASSERT_TRUE(VybratHorkouKlavesu(s, 40002));
    NastavitHorkouKlavesu(s, 'Q', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    ASSERT_EQ(zpravy_.Zpravy().size(), 1u);
    EXPECT_EQ(zpravy_.Zpravy()[0], L"Tato klávesová zkratka je již použita.");
    // The control shows the selected entry's own (empty) key again.
    EXPECT_EQ(SendDlgItemMessageW(s, IDC_HK_KLAVESA, HKM_GETHOTKEY, 0, 0), 0);
    // The same letter with other modifiers is another key, and an entry's
    // own key does not collide with itself.
    NastavitHorkouKlavesu(s, 'Q', HOTKEYF_ALT);
    ASSERT_TRUE(VybratHorkouKlavesu(s, 40001));
    NastavitHorkouKlavesu(s, 'Q', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    EXPECT_EQ(zpravy_.Zpravy().size(), 1u);
    ASSERT_EQ(Zavrit(IDOK), IDOK);
    for (auto [nazev, text] : {std::pair{L"email", L"a@example.com"}, {L"heslo", L"heslo-a"},
                               {L"jmeno", L"Adéla"}, {L"id", L"login-a"}, {L"server", L"smtp.a.example.com"}})
        EXPECT_EQ(konf_.Text(L"smtp_ucet", nazev), text);
    EXPECT_EQ(Klavesa(konf_.k, 40001)->klavesa, static_cast<uint32_t>('Q'));
    EXPECT_EQ(Klavesa(konf_.k, 40001)->modifikatory, static_cast<uint32_t>(MOD_CONTROL | MOD_SHIFT));
    EXPECT_EQ(Klavesa(konf_.k, 40002)->modifikatory, static_cast<uint32_t>(MOD_ALT));
}

// The maximum-files edit holding no valid number at OK keeps the last accepted value (0 would make
// every recording overwrite one file).
TEST_F(NastaveniTest, MaximumOfFilesKeepsTheLastAcceptedValue)
{
    const std::pair<const wchar_t*, DWORD> pripady[] = {
        {L"", 500u}, {L"0", 500u}, {L"10000001", 500u}, {L"10000000", 10000000u}, {L"1", 1u}};
    for (const auto& [text, ulozeno] : pripady) {
        Otevrit(IDD_NAST_SOUBOR);
        Napsat(NajitViditelnouStranku(dlg_), IDC_SOUBOR_MAX, text);
        ASSERT_EQ(Zavrit(IDOK), IDOK);
        EXPECT_EQ(konf_.Dword(L"soubor", L"max_pocet_souboru"), ulozeno) << text;
    }
}

} // namespace
