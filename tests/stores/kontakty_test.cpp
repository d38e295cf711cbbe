// The contacts list against a store file in a folder of the test's own, and
// the contacts dialogs driven from a second thread.
#include "stores/ContactList.h"

#include "app/TestModul.h"
#include "harness/TestFolder.h"
#include "resources/resource.h"
#include "stores/OknaTestu.h"
#include "stores/rxml/SlozkaTestu.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <thread>

using namespace tonbar::test;

namespace {

class Kontakty : public ::testing::Test {
protected:
    ComScope com_;
    TestFolder slozka_;
    TestModul modul_;
    PresmerovaniUloziste presmerovani_{L"Software\\Mirvak\\kontakty", L"slozka_data", slozka_.Path()};
    std::wstring soubor_ = slozka_.File(L"kontakty.rxml");
};

Contact Kontakt(const wchar_t* nazev, const wchar_t* email = L"")
{
    Contact c;
    c.nazev = nazev;
    c.email = email;
    return c;
}

TEST_F(Kontakty, AddEditRemoveSaveReload)
{
    ContactList seznam;
    EXPECT_EQ(seznam.Load(), S_FALSE) << "no store yet";
    EXPECT_EQ(seznam.Count(), 0);
    ASSERT_EQ(seznam.Save(), S_OK);
    EXPECT_TRUE(CistBajty(soubor_).empty()) << "an empty list is a zero-byte file";

    seznam.Append(Kontakt(L"beta", L"b@x.cz"));
    Contact plny = Kontakt(L"Alfa", L"a@x.cz");
    plny.adresa = L"Dlouh\u00e1 1\r\nPraha";
    plny.informace = L"<pozn\u00e1mka> & dal\u0161\u00ed";
    plny.soubor_obrazek = L"C:\\foto.png";
    plny.icq = L"123";
    seznam.Append(plny);
    seznam.Append(Kontakt(L"alfa2"));
    seznam.SortByName();
    EXPECT_EQ(seznam.At(0).nazev, L"Alfa");
    EXPECT_EQ(seznam.At(1).nazev, L"alfa2");
    EXPECT_EQ(seznam.FindByName(L"BETA"), 2);
    EXPECT_EQ(seznam.FindByName(L"gama"), -1);
    seznam.At(2).telefon = L"777";
    ASSERT_EQ(seznam.Save(), S_OK);

    ContactList znovu;
    ASSERT_EQ(znovu.Load(), S_OK);
    ASSERT_EQ(znovu.Count(), 3);
    EXPECT_EQ(znovu.At(0).adresa, plny.adresa);
    EXPECT_EQ(znovu.At(0).informace, plny.informace);
    EXPECT_EQ(znovu.At(0).soubor_obrazek, plny.soubor_obrazek);
    EXPECT_EQ(znovu.At(0).icq, L"123");
    EXPECT_EQ(znovu.At(2).telefon, L"777");

    // The fields are written in alphabetical order of their elements.
    std::vector<uint8_t> bytes = CistBajty(soubor_);
    std::vector<uint8_t> zacatek = Utf16Le(u"<kontakt>\r\n <adresa>Dlouh\u00e1 1\r\nPraha</adresa>\r\n <email>a@x.cz</email>\r\n"
                                           u" <icq>123</icq>\r\n <informace>");
    ASSERT_GE(bytes.size(), zacatek.size());
    EXPECT_TRUE(std::equal(zacatek.begin(), zacatek.end(), bytes.begin()));

    EXPECT_EQ(znovu.RemoveAt(3), E_INVALIDARG);
    EXPECT_EQ(znovu.RemoveAt(-1), E_INVALIDARG);
    ASSERT_EQ(znovu.RemoveAt(1), S_OK);
    ASSERT_EQ(znovu.Save(), S_OK);
    ContactList potreti;
    ASSERT_EQ(potreti.Load(), S_OK);
    ASSERT_EQ(potreti.Count(), 2);
    EXPECT_EQ(potreti.At(1).nazev, L"beta");
}

TEST_F(Kontakty, AFailedSaveIsReportedAndKeepsTheFile)
{
    ContactList seznam;
    seznam.Append(Kontakt(L"A"));
    ASSERT_EQ(seznam.Save(), S_OK);
    std::vector<uint8_t> pred = CistBajty(soubor_);
    HANDLE zamek = CreateFileW(soubor_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(zamek, INVALID_HANDLE_VALUE);
    seznam.Append(Kontakt(L"B"));
    EXPECT_LT(seznam.Save(), 0);
    CloseHandle(zamek);
    EXPECT_EQ(CistBajty(soubor_), pred);
    EXPECT_EQ(seznam.Count(), 2) << "the list in memory keeps the change";
}

TEST_F(Kontakty, NewNamesTakeTheSmallestFreeNumber)
{
    ContactList seznam;
    EXPECT_EQ(seznam.NewName(), L"Nov\u00fd kontakt");
    seznam.Append(Kontakt(L"nov\u00fd KONTAKT"));
    EXPECT_EQ(seznam.NewName(), L"Nov\u00fd kontakt (2)");
    seznam.Append(Kontakt(L"Nov\u00fd kontakt (2)"));
    seznam.Append(Kontakt(L"Nov\u00fd kontakt (4)"));
    EXPECT_EQ(seznam.NewName(), L"Nov\u00fd kontakt (3)");
}

bool JeSeznam(const std::wstring& t) { return t == L"Tonbar"; }
bool JeKontakt(const std::wstring& t) { return t.rfind(L"Kontakt - ", 0) == 0; }

int Vyber(HWND dlg) { return static_cast<int>(SendDlgItemMessageW(dlg, IDC_KONTAKTY_SEZNAM, LB_GETCURSEL, 0, 0)); }
std::wstring TextPolozky(HWND dlg, int i)
{
    wchar_t t[256] = {};
    SendDlgItemMessageW(dlg, IDC_KONTAKTY_SEZNAM, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t));
    return t;
}

void VybratStranku(HWND dlg, int poradi)
{
    HWND strom = GetDlgItem(dlg, IDC_KONTAKT_STROM);
    HTREEITEM h = TreeView_GetRoot(strom);
    for (int i = 0; i < poradi && h; ++i)
        h = TreeView_GetNextSibling(strom, h);
    TreeView_SelectItem(strom, h);
}

// The visible page dialog of DlgKontakt that holds control `id`.
HWND Stranka(HWND dlg, int id)
{
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c) && GetDlgItem(c, id))
            return c;
    return nullptr;
}

struct Vysledky {
    std::wstring chyba;
    std::wstring nazevPoPridani, vyberPoPridani, nazevPoPrejmenovani, vyberPoOdebrani, titulekAdresy;
    bool pouzitPoObrazku = false;
    bool snimekSeznamu = false, snimekKontaktu = false;
};

void Ridit(Vysledky* v)
{
    auto selhat = [&](const wchar_t* co) { v->chyba = co; };
    HWND seznam = CekatNaDialog(JeSeznam);
    if (!seznam)
        return selhat(L"DlgKontakty did not open");

    // Přidat: the new contact with an address and information.
    Stisknout(seznam, IDC_KONTAKTY_PRIDAT);
    HWND kontakt = CekatNaDialog(JeKontakt);
    if (!kontakt)
        return selhat(L"DlgKontakt did not open");
    v->nazevPoPridani = TextPrvku(kontakt, IDC_KONTAKT_NAZEV);
    Napsat(kontakt, IDC_KONTAKT_NAZEV, L"Cyril");
    Napsat(Stranka(kontakt, IDC_KONTAKT_EMAIL), IDC_KONTAKT_EMAIL, L"cyril@x.cz");
    VybratStranku(kontakt, 1);
    v->titulekAdresy = TitulekOkna(kontakt);
    Napsat(Stranka(kontakt, IDC_KONTAKT_ADRESA), IDC_KONTAKT_ADRESA, L"Ulice 1\r\nBrno");
    VybratStranku(kontakt, 2);
    Napsat(Stranka(kontakt, IDC_KONTAKT_INFORMACE), IDC_KONTAKT_INFORMACE, L"pozn\u00e1mka");
    VybratStranku(kontakt, 0);
    v->snimekKontaktu = Snimek(kontakt, L"stores_dlg_kontakt.png");
    Stisknout(kontakt, IDOK);
    if (!CekatNaZavreni(kontakt))
        return selhat(L"DlgKontakt did not close");
    Sleep(200);
    int i = Vyber(seznam);
    v->vyberPoPridani = i >= 0 ? TextPolozky(seznam, i) : L"";
    v->snimekSeznamu = Snimek(seznam, L"stores_dlg_kontakty.png");

    // Upravit the first contact ("Alfa"): a rename to "BETA" is refused; the
    // picture page alone enables "Použít".
    SendDlgItemMessageW(seznam, IDC_KONTAKTY_SEZNAM, LB_SETCURSEL, 0, 0);
    Stisknout(seznam, IDC_KONTAKTY_UPRAVIT);
    kontakt = CekatNaDialog(JeKontakt);
    if (!kontakt)
        return selhat(L"DlgKontakt did not open for editing");
    VybratStranku(kontakt, 3);
    Napsat(Stranka(kontakt, IDC_KONTAKT_OBRAZEK), IDC_KONTAKT_OBRAZEK, L"C:\\neni.png");
    Sleep(200);
    v->pouzitPoObrazku = IsWindowEnabled(GetDlgItem(kontakt, IDC_KONTAKT_POUZIT)) != FALSE;
    Napsat(kontakt, IDC_KONTAKT_NAZEV, L"BETA");
    SendMessageW(kontakt, WM_COMMAND, MAKEWPARAM(IDC_KONTAKT_POUZIT, BN_CLICKED), 0);
    v->nazevPoPrejmenovani = TextPrvku(kontakt, IDC_KONTAKT_NAZEV);
    Stisknout(kontakt, IDOK);
    if (!CekatNaZavreni(kontakt))
        return selhat(L"DlgKontakt did not close after editing");
    Sleep(200);

    // Odebrat the last contact: the one before it is selected.
    int pocet = static_cast<int>(SendDlgItemMessageW(seznam, IDC_KONTAKTY_SEZNAM, LB_GETCOUNT, 0, 0));
    SendDlgItemMessageW(seznam, IDC_KONTAKTY_SEZNAM, LB_SETCURSEL, static_cast<WPARAM>(pocet - 1), 0);
    SendMessageW(seznam, WM_COMMAND, MAKEWPARAM(IDC_KONTAKTY_ODEBRAT, BN_CLICKED), 0);
    i = Vyber(seznam);
    v->vyberPoOdebrani = i >= 0 ? TextPolozky(seznam, i) : L"";
    Stisknout(seznam, IDOK);
    if (!CekatNaZavreni(seznam))
        selhat(L"DlgKontakty did not close");
}

TEST_F(Kontakty, TheDialogsAddEditRemoveAndSave)
{
    GdiplusScope gdiplus;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    ContactList seznam;
    seznam.Append(Kontakt(L"Alfa"));
    seznam.Append(Kontakt(L"beta"));
    seznam.Append(Kontakt(L"Dana"));
    modul_.odpoved = IDYES;  // the removal question

    Vysledky v;
    std::thread ridic(Ridit, &v);
    INT_PTR r = SpustitDlgKontakty(nullptr, seznam);
    ridic.join();
    ASSERT_TRUE(v.chyba.empty()) << std::string(v.chyba.begin(), v.chyba.end());
    EXPECT_EQ(r, IDOK);

    EXPECT_EQ(v.nazevPoPridani, L"Nov\u00fd kontakt");
    EXPECT_EQ(v.vyberPoPridani, L"Cyril") << "the new contact is selected";
    EXPECT_EQ(v.titulekAdresy, L"Kontakt - Adresa");
    EXPECT_TRUE(v.pouzitPoObrazku);
    EXPECT_EQ(v.nazevPoPrejmenovani, L"Alfa") << "another contact's name restores the old one";
    EXPECT_EQ(v.vyberPoOdebrani, L"Cyril") << "removing the last selects the one before";
    EXPECT_TRUE(v.snimekSeznamu);
    EXPECT_TRUE(v.snimekKontaktu);
    ASSERT_EQ(modul_.zpravy.size(), 1u);
    EXPECT_EQ(modul_.zpravy[0].text, L"Opravdu chcete tento kontakt odstranit?");

    // Every command saved: the file holds what the dialog left.
    ContactList ulozeny;
    ASSERT_EQ(ulozeny.Load(), S_OK);
    ASSERT_EQ(ulozeny.Count(), 3);
    EXPECT_EQ(ulozeny.At(0).nazev, L"Alfa");
    EXPECT_EQ(ulozeny.At(0).soubor_obrazek, L"C:\\neni.png");
    EXPECT_EQ(ulozeny.At(1).nazev, L"beta");
    EXPECT_EQ(ulozeny.At(2).nazev, L"Cyril");
    EXPECT_EQ(ulozeny.At(2).email, L"cyril@x.cz");
    EXPECT_EQ(ulozeny.At(2).adresa, L"Ulice 1\r\nBrno");
    EXPECT_EQ(ulozeny.At(2).informace, L"pozn\u00e1mka");
}

TEST_F(Kontakty, OneContactNeedsARecord)
{
    ContactList seznam;
    EXPECT_EQ(SpustitDlgKontakt(nullptr, nullptr, false, seznam), E_FAIL);
}

} // namespace
