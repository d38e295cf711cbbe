// The four list dialogs share their commands, one script drives each; then the contacts: their
// stored fields, new names, and the pages of the contact dialog.
#include "app/TestModul.h"
#include "email/SmtpUcty.h"
#include "harness/Dialogy.h"
#include "harness/Servery.h"
#include "harness/TestFolder.h"
#include "recording/DlgProfilyZaznamu.h"
#include "resources/resource.h"
#include "settings/NastaveniTest.h"
#include "stores/ContactList.h"
#include "stores/DlgFtpMista.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <memory>

using namespace tonbar::test;
using mirvak::winapi::SpravovatProfilyZaznamu;
using mirvak::winapi::VysledekProfiluZaznamu;

namespace {

struct SeznamovyDialog {
    const char* jmeno;
    int seznam, pridat, odstranit;
    // Two entries, a name of the first in other capitals, a new one.
    std::wstring prvni, druhy, jinakPsany, novy;
    std::wstring odmitnuti;           // what refuses the name the list holds
    std::wstring otazka;              // the removal question for the new entry
    std::wstring vybranyPoOdebrani;
    std::function<void(TestFolder&)> ulozit;  // stores `prvni` and `druhy`
    std::function<INT_PTR()> otevrit;
    // Answers what the add command opens with `nazev`; evidence of a refusal.
    std::function<std::wstring(HWND, const std::wstring&, TestModul&)> odpovedet;
    std::function<std::vector<std::wstring>()> nacist;  // the names in the store
};

// Types `nazev` into the text-input dialog the add command opened. Then either a refusal is shown, or
// the dialog `titulek` with `prvek` opens, which `vyplnit` fills and OK closes; the refusal or "".
std::wstring Pridat(HWND dlg, const std::wstring& nazev, TestModul& modul, const std::wstring& titulek, int prvek,
                    const std::function<void(HWND)>& vyplnit = {})
{
    size_t pred = modul.zpravy.size();
    HWND vstup = CekatNaDialog(L"", IDC_VSTUP_TEXT);
    if (!vstup)
        return L"<no input dialog>";
    Napsat(vstup, IDC_VSTUP_TEXT, nazev);
    Kliknout(vstup, IDOK);
    HWND d = nullptr;
    PockatNa([&] { return modul.zpravy.size() > pred || (d = NajitDialog(titulek, prvek)) != nullptr; });
    if (d) {
        if (vyplnit)
            vyplnit(d);
        Kliknout(d, IDOK);
        CekatNaZavreni(d);
    }
    PockatNa([&] { return IsWindowEnabled(dlg) != FALSE; });
    Synchronizovat(dlg);
    return modul.NovaZprava(pred);
}

// The names a list loads, in its order.
template <typename Seznam, typename Zaznam>
std::vector<std::wstring> Nazvy(Seznam&& l, std::wstring Zaznam::*nazev)
{
    l.Load();
    std::vector<std::wstring> n;
    if constexpr (requires { l.items; }) {
        for (const Zaznam& z : l.items)
            n.push_back(z.*nazev);
    } else {
        for (int i = 0; i < l.Count(); ++i)
            n.push_back(l.At(i).*nazev);
    }
    return n;
}

FtpPlaceList g_mista;
ContactList g_kontakty;
std::unique_ptr<TestKonfigurace> g_konf;

std::vector<SeznamovyDialog> Dialogy()
{
    std::vector<SeznamovyDialog> v;
    v.push_back({"FtpPlaces", IDC_FTP_SEZNAM, IDC_FTP_PRIDAT, IDC_FTP_ODSTRANIT, L"Alfa", L"Beta", L"ALFA", L"Cyril",
                 L"Zadaný název FTP umístění již existuje.",
                 L"Opravdu chcete odebrat toto FTP místo?\n\n127.0.0.1\nnovak", L"Alfa",
                 [](TestFolder&) {
                     FtpPlaceList l;
                     for (const wchar_t* n : {L"Beta", L"Alfa"})
                         l.Append({L"", n});
                     ASSERT_EQ(l.Save(), S_OK);
                 },
                 [] { return g_mista.Load(), DlgFtpMista(g_mista).DoModal(nullptr); },
                 [](HWND dlg, const std::wstring& nazev, TestModul& modul) {
                     return Pridat(dlg, nazev, modul, L"Tonbar - FTP místo - ", IDC_FTP_SERVER, [](HWND misto) {
                         Napsat(misto, IDC_FTP_SERVER, L"127.0.0.1");
                         Napsat(misto, IDC_FTP_UZIVATEL, L"novak");
                     });
                 },
                 [] { return Nazvy(FtpPlaceList(), &FtpPlace::nazev); }});
    v.push_back({"SmtpAccounts", IDC_SMTPU_SEZNAM, IDC_SMTPU_PRIDAT, IDC_SMTPU_ODSTRANIT, L"alfa@example.cz",
                 L"beta@example.cz", L"ALFA@example.cz", L"cyril@example.cz", L"Zadaná emailová adresa již existuje.",
                 L"Opravdu chcete odebrat tento účet?\n\ncyril@example.cz\n", L"alfa@example.cz",
                 [](TestFolder&) {
                     SmtpAccountList l;
                     l.items.push_back({L"beta@example.cz", L"h2", L"Beta", L"beta", L"smtp.example.cz"});
                     l.items.push_back({L"alfa@example.cz", L"h1", L"Alfa", L"alfa", L"smtp.example.cz"});
                     ASSERT_EQ(l.Save(), S_OK);
                 },
                 [] { return DlgSmtpUcty().DoModal(nullptr); },
                 [](HWND dlg, const std::wstring& nazev, TestModul& modul) {
                     return Pridat(dlg, nazev, modul, L"", IDC_SMTPU_HESLO);
                 },
                 [] { return Nazvy(SmtpAccountList(), &SmtpAccount::email); }});
    // A contact's name is given in its own dialog: a name the list holds
    // is silently put back, which "Použít" shows.
    v.push_back({"Contacts", IDC_KONTAKTY_SEZNAM, IDC_KONTAKTY_PRIDAT, IDC_KONTAKTY_ODEBRAT, L"Alfa", L"Beta", L"ALFA",
                 L"Cyril", L"Nový kontakt", L"Opravdu chcete tento kontakt odstranit?", L"Beta",
                 [](TestFolder&) {
                     ContactList l;
                     for (const wchar_t* n : {L"Beta", L"Alfa"})
                         l.Append(Contact{}), l.At(l.Count() - 1).nazev = n;
                     ASSERT_EQ(l.Save(), S_OK);
                 },
                 [] { return g_kontakty.Load(), SpustitDlgKontakty(nullptr, g_kontakty); },
                 [](HWND dlg, const std::wstring& nazev, TestModul&) {
                     HWND k = CekatNaDialog(L"Kontakt - ");
                     Napsat(k, IDC_KONTAKT_NAZEV, nazev);
                     SendMessageW(k, WM_COMMAND, MAKEWPARAM(IDC_KONTAKT_POUZIT, BN_CLICKED), 0);
                     std::wstring poPouziti = Text(k, IDC_KONTAKT_NAZEV);
                     Kliknout(k, poPouziti == nazev ? IDOK : IDCANCEL);
                     CekatNaZavreni(k);
                     Synchronizovat(dlg);
                     return poPouziti == nazev ? L"" : poPouziti;
                 },
                 [] { return Nazvy(ContactList(), &Contact::nazev); }});
    v.push_back({"RecordingProfiles", IDC_PROFILY_SEZNAM, IDC_PROFILY_PRIDAT, IDC_PROFILY_ODSTRANIT, L"Alfa", L"Beta",
                 L"ALFA", L"Cyril", L"Zadaný název profilu záznamu již existuje.",
                 L"Opravdu chcete odebrat tento profil záznamu?\nCyril", L"Alfa",
                 [](TestFolder& slozka) {
                     g_konf = std::make_unique<TestKonfigurace>();
                     g_konf->k.slozka_data = slozka.Path();
                     RecordingProfileStore s(g_konf->k.registrovaCesta);
                     for (const wchar_t* n : {L"Alfa", L"Beta"})
                         s.Append({n, {}, slozka.Path()});
                     ASSERT_EQ(s.Save(), S_OK);
                 },
                 [] {
                     RecordingProfileStore s(g_konf->k.registrovaCesta);
                     s.Load();
                     AudioCaptureDeviceList zarizeni;
                     VysledekProfiluZaznamu vysledek;
                     return static_cast<INT_PTR>(SpravovatProfilyZaznamu(nullptr, s, zarizeni, vysledek, &g_konf->k));
                 },
                 [](HWND dlg, const std::wstring& nazev, TestModul& modul) {
                     return Pridat(dlg, nazev, modul, L"", IDC_PRZ_KODOVANI);
                 },
                 [] {
                     return Nazvy(RecordingProfileStore(g_konf->k.registrovaCesta), &RecordingProfile::name);
                 }});
    return v;
}

class SeznamoveDialogy : public ::testing::TestWithParam<SeznamovyDialog> {};

std::vector<std::wstring> Serazene(std::vector<std::wstring> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

TEST_P(SeznamoveDialogy, AddRefusesAHeldNameSelectsTheNewRemovesAfterTheQuestionAndSavesAtOnce)
{
    const SeznamovyDialog& d = GetParam();
    ComScope com;
    TestModul modul;
    modul.odpoved = IDYES;
    TestFolder slozka;
    PresmerovaniUloziste ftp(Uloziste::FtpMista, slozka.Path()), smtp(Uloziste::SmtpUcty, slozka.Path()),
        kontakty(Uloziste::Kontakty, slozka.Path());
    d.ulozit(slozka);
    const std::vector<std::wstring> dva = Serazene({d.prvni, d.druhy}), tri = Serazene({d.prvni, d.druhy, d.novy});
    // The driver checks as it goes (gtest is thread-safe here).
    INT_PTR r = Ridit(d.otevrit, [&] {
        HWND dlg = CekatNaDialog(L"", d.seznam);
        if (!dlg)
            return;
        EXPECT_EQ(Serazene(Polozky(dlg, d.seznam)), dva);
        Kliknout(dlg, d.pridat);
        EXPECT_EQ(d.odpovedet(dlg, d.jinakPsany, modul), d.odmitnuti);
        EXPECT_EQ(Serazene(Polozky(dlg, d.seznam)), dva);
        Kliknout(dlg, d.pridat);
        EXPECT_EQ(d.odpovedet(dlg, d.novy, modul), L"") << "refused";
        EXPECT_EQ(Serazene(Polozky(dlg, d.seznam)), tri);
        EXPECT_EQ(Vybrana(dlg, d.seznam), d.novy);
        EXPECT_EQ(Serazene(d.nacist()), tri);
        size_t pred = modul.zpravy.size();
        // Sent: the question is answered without a loop of its own.
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(d.odstranit, BN_CLICKED), 0);
        EXPECT_EQ(modul.NovaZprava(pred), d.otazka);
        EXPECT_EQ(Serazene(Polozky(dlg, d.seznam)), dva);
        EXPECT_EQ(Vybrana(dlg, d.seznam), d.vybranyPoOdebrani);
        Kliknout(dlg, IDOK);
    });
    EXPECT_NE(r, -1);
    EXPECT_EQ(Serazene(d.nacist()), dva);
}

INSTANTIATE_TEST_SUITE_P(Ctyri, SeznamoveDialogy, ::testing::ValuesIn(Dialogy()),
                         [](const auto& info) { return std::string(info.param.jmeno); });

// Shows page `poradi` of the contact dialog and types `text` into its control `id`.
void NapsatNaStrance(HWND kontakt, int poradi, int id, const wchar_t* text)
{
    HWND strom = GetDlgItem(kontakt, IDC_KONTAKT_STROM);
    HTREEITEM h = TreeView_GetRoot(strom);
    for (int i = 0; i < poradi && h; ++i)
        h = TreeView_GetNextSibling(strom, h);
    TreeView_SelectItem(strom, h);
    for (HWND c = GetWindow(kontakt, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c) && GetDlgItem(c, id))
            Napsat(c, id, text);
}

// Every field is stored under its element name, in alphabetical order; what is typed on each page of
// the contact dialog is saved with the contact, and the picture page alone enables "Použít".
TEST(Kontakty, FieldsAndTheContactDialogsPagesAreStoredAndNewNamesTakeTheSmallestFreeNumber)
{
    ComScope com;
    TestFolder slozka;
    TestModul modul;
    PresmerovaniUloziste presmerovani{Uloziste::Kontakty, slozka.Path()};
    const std::pair<std::wstring Contact::*, const wchar_t*> pole[] = {
        {&Contact::nazev, L"Alfa"}, {&Contact::jmeno, L"Jan"}, {&Contact::prijmeni, L"Nov\u00e1k"},
        {&Contact::email, L"a@x.cz"}, {&Contact::telefon, L"777"}, {&Contact::adresa, L"Dlouh\u00e1 1\r\nPraha"},
        {&Contact::web, L"x.cz"}, {&Contact::msn, L"m"}, {&Contact::skype, L"s"}, {&Contact::icq, L"123"},
        {&Contact::informace, L"<pozn\u00e1mka> & dal\u0161\u00ed"}, {&Contact::soubor_obrazek, L"C:\\foto.png"}};
    ContactList seznam;
    seznam.Append(Contact{});
    for (auto [clen, hodnota] : pole)
        seznam.At(0).*clen = hodnota;
    ASSERT_EQ(seznam.Save(), S_OK);
    ContactList znovu;
    ASSERT_EQ(znovu.Load(), S_OK);
    ASSERT_EQ(znovu.Count(), 1);
    for (auto [clen, hodnota] : pole)
        EXPECT_EQ(znovu.At(0).*clen, hodnota);
    const std::string b = ReadBytes(slozka.File(L"kontakty.rxml"));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(b.data()), b.size() / 2)
                  .rfind(L"<kontakt>\r\n <adresa>Dlouh\u00e1 1\r\nPraha</adresa>\r\n <email>a@x.cz</email>\r\n"
                         L" <icq>123</icq>\r\n <informace>", 0),
              0u);

    EXPECT_EQ(znovu.RemoveAt(1), E_INVALIDARG);
    EXPECT_EQ(znovu.RemoveAt(-1), E_INVALIDARG);

    ContactList nove;
    for (const wchar_t* n : {L"beta", L"Alfa", L"alfa2"})
        nove.Append(Contact{n});
    nove.SortByName();
    EXPECT_EQ(nove.At(0).nazev + nove.At(1).nazev + nove.At(2).nazev, L"Alfaalfa2beta");
    nove = ContactList();
    EXPECT_EQ(nove.NewName(), L"Nov\u00fd kontakt");
    nove.Append(Contact{L"nov\u00fd KONTAKT"});
    EXPECT_EQ(nove.NewName(), L"Nov\u00fd kontakt (2)");
    nove.Append(Contact{L"Nov\u00fd kontakt (2)"});
    nove.Append(Contact{L"Nov\u00fd kontakt (4)"});
    EXPECT_EQ(nove.NewName(), L"Nov\u00fd kontakt (3)");

    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartupInput vstup;
    Gdiplus::GdiplusStartup(&gdiplus, &vstup, nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    seznam = ContactList();
    seznam.Append(Contact{L"Alfa"});
    INT_PTR r = Ridit([&] { return SpustitDlgKontakty(nullptr, seznam); }, [&] {
        HWND dlg = CekatNaDialog(L"", IDC_KONTAKTY_SEZNAM);
        Kliknout(dlg, IDC_KONTAKTY_PRIDAT);
        if (HWND kontakt = CekatNaDialog(L"Kontakt - ")) {
            EXPECT_EQ(Text(kontakt, IDC_KONTAKT_NAZEV), L"Nov\u00fd kontakt");
            Napsat(kontakt, IDC_KONTAKT_NAZEV, L"Cyril");
            NapsatNaStrance(kontakt, 0, IDC_KONTAKT_EMAIL, L"cyril@x.cz");
            NapsatNaStrance(kontakt, 1, IDC_KONTAKT_ADRESA, L"Ulice 1\r\nBrno");
            EXPECT_EQ(Text(kontakt), L"Kontakt - Adresa");
            NapsatNaStrance(kontakt, 2, IDC_KONTAKT_INFORMACE, L"pozn\u00e1mka");
            Kliknout(kontakt, IDOK);
            CekatNaZavreni(kontakt);
            Synchronizovat(dlg);
        }
        Vybrat(dlg, IDC_KONTAKTY_SEZNAM, 0);
        Kliknout(dlg, IDC_KONTAKTY_UPRAVIT);
        if (HWND kontakt = CekatNaDialog(L"Kontakt - ")) {
            NapsatNaStrance(kontakt, 3, IDC_KONTAKT_OBRAZEK, L"C:\\neni.png");
            // The page tells the dialog by a posted message: wait for it.
            HWND pouzit = GetDlgItem(kontakt, IDC_KONTAKT_POUZIT);
            EXPECT_TRUE(PockatNa([&] { return IsWindowEnabled(pouzit) != FALSE; }, 3000));
            Kliknout(kontakt, IDOK);
            CekatNaZavreni(kontakt);
        }
        Kliknout(dlg, IDOK);
    });
    Gdiplus::GdiplusShutdown(gdiplus);
    EXPECT_EQ(r, IDOK);
    ContactList ulozeny;
    ASSERT_EQ(ulozeny.Load(), S_OK);
    ASSERT_EQ(ulozeny.Count(), 2);
    const Contact& c = ulozeny.At(1);
    EXPECT_EQ(ulozeny.At(0).soubor_obrazek, L"C:\\neni.png");
    EXPECT_EQ(c.nazev + L"|" + c.email + L"|" + c.adresa + L"|" + c.informace,
              L"Cyril|cyril@x.cz|Ulice 1\r\nBrno|pozn\u00e1mka");
}

} // namespace
