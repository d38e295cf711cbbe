// The contacts: the stored fields, new names, and the contact dialog's pages
// driven from a second thread. The list dialog's add and remove are in
// seznamy_test.cpp, the generic store in rxml/.
#include "harness/Servery.h"

#include "app/TestModul.h"
#include "harness/Dialogy.h"
#include "stores/ContactList.h"
#include "harness/TestFolder.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

using namespace tonbar::test;

namespace {

class Kontakty : public ::testing::Test {
protected:
    ComScope com_;
    TestFolder slozka_;
    TestModul modul_;
    PresmerovaniUloziste presmerovani_{Uloziste::Kontakty, slozka_.Path()};
};

Contact Kontakt(const wchar_t* nazev)
{
    Contact c;
    c.nazev = nazev;
    return c;
}

// Every field is stored under its element name, in alphabetical order.
TEST_F(Kontakty, FieldsAreStoredAndNewNamesTakeTheSmallestFreeNumber)
{
    ContactList seznam;
    Contact plny = Kontakt(L"Alfa");
    plny.email = L"a@x.cz";
    plny.adresa = L"Dlouh\u00e1 1\r\nPraha";
    plny.informace = L"<pozn\u00e1mka> & dal\u0161\u00ed";
    plny.soubor_obrazek = L"C:\\foto.png";
    plny.icq = L"123";
    plny.telefon = L"777";
    seznam.Append(plny);
    ASSERT_EQ(seznam.Save(), S_OK);
    ContactList znovu;
    ASSERT_EQ(znovu.Load(), S_OK);
    ASSERT_EQ(znovu.Count(), 1);
    EXPECT_EQ(znovu.At(0).adresa, plny.adresa);
    EXPECT_EQ(znovu.At(0).informace, plny.informace);
    EXPECT_EQ(znovu.At(0).soubor_obrazek, plny.soubor_obrazek);
    EXPECT_EQ(znovu.At(0).icq, L"123");
    EXPECT_EQ(znovu.At(0).telefon, L"777");
    const std::string b = ReadBytes(slozka_.File(L"kontakty.rxml"));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(b.data()), b.size() / 2)
                  .rfind(L"<kontakt>\r\n <adresa>Dlouh\u00e1 1\r\nPraha</adresa>\r\n <email>a@x.cz</email>\r\n"
                         L" <icq>123</icq>\r\n <informace>", 0),
              0u);

    EXPECT_EQ(znovu.RemoveAt(1), E_INVALIDARG);
    EXPECT_EQ(znovu.RemoveAt(-1), E_INVALIDARG);

    ContactList nove;
    for (const wchar_t* n : {L"beta", L"Alfa", L"alfa2"})
        nove.Append(Kontakt(n));
    nove.SortByName();
    EXPECT_EQ(nove.At(0).nazev + nove.At(1).nazev + nove.At(2).nazev, L"Alfaalfa2beta");
    nove = ContactList();
    EXPECT_EQ(nove.NewName(), L"Nov\u00fd kontakt");
    nove.Append(Kontakt(L"nov\u00fd KONTAKT"));
    EXPECT_EQ(nove.NewName(), L"Nov\u00fd kontakt (2)");
    nove.Append(Kontakt(L"Nov\u00fd kontakt (2)"));
    nove.Append(Kontakt(L"Nov\u00fd kontakt (4)"));
    EXPECT_EQ(nove.NewName(), L"Nov\u00fd kontakt (3)");
}

void VybratStranku(HWND dlg, int poradi)
{
    HWND strom = GetDlgItem(dlg, IDC_KONTAKT_STROM);
    HTREEITEM h = TreeView_GetRoot(strom);
    for (int i = 0; i < poradi && h; ++i)
        h = TreeView_GetNextSibling(strom, h);
    TreeView_SelectItem(strom, h);
}

// The visible page of the contact dialog that holds control `id`.
HWND Stranka(HWND dlg, int id)
{
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c) && GetDlgItem(c, id))
            return c;
    return nullptr;
}

// What is typed on each page is saved with the contact; the picture page
// alone enables "Použít".
TEST_F(Kontakty, TheContactDialogsPagesAreSaved)
{
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartupInput vstup;
    Gdiplus::GdiplusStartup(&gdiplus, &vstup, nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    ContactList seznam;
    seznam.Append(Kontakt(L"Alfa"));
    std::wstring nazevPoPridani, titulekAdresy;
    bool pouzitPoObrazku = false;
    INT_PTR r = Ridit([&] { return SpustitDlgKontakty(nullptr, seznam); }, [&] {
        HWND dlg = CekatNaDialog(L"", IDC_KONTAKTY_SEZNAM);
        Kliknout(dlg, IDC_KONTAKTY_PRIDAT);
        if (HWND kontakt = CekatNaDialog(L"Kontakt - ")) {
            nazevPoPridani = Text(kontakt, IDC_KONTAKT_NAZEV);
            Napsat(kontakt, IDC_KONTAKT_NAZEV, L"Cyril");
            Napsat(Stranka(kontakt, IDC_KONTAKT_EMAIL), IDC_KONTAKT_EMAIL, L"cyril@x.cz");
            VybratStranku(kontakt, 1);
            titulekAdresy = Text(kontakt);
            Napsat(Stranka(kontakt, IDC_KONTAKT_ADRESA), IDC_KONTAKT_ADRESA, L"Ulice 1\r\nBrno");
            VybratStranku(kontakt, 2);
            Napsat(Stranka(kontakt, IDC_KONTAKT_INFORMACE), IDC_KONTAKT_INFORMACE, L"pozn\u00e1mka");
            Kliknout(kontakt, IDOK);
            CekatNaZavreni(kontakt);
            Synchronizovat(dlg);
        }
        Vybrat(dlg, IDC_KONTAKTY_SEZNAM, 0);
        Kliknout(dlg, IDC_KONTAKTY_UPRAVIT);
        if (HWND kontakt = CekatNaDialog(L"Kontakt - ")) {
            VybratStranku(kontakt, 3);
            Napsat(Stranka(kontakt, IDC_KONTAKT_OBRAZEK), IDC_KONTAKT_OBRAZEK, L"C:\\neni.png");
            // The page tells the dialog by a posted message: wait for it.
            pouzitPoObrazku = PockatNa([&] { return IsWindowEnabled(GetDlgItem(kontakt, IDC_KONTAKT_POUZIT)) != FALSE; }, 3000);
            Kliknout(kontakt, IDOK);
            CekatNaZavreni(kontakt);
        }
        Kliknout(dlg, IDOK);
    });
    Gdiplus::GdiplusShutdown(gdiplus);
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(nazevPoPridani, L"Nov\u00fd kontakt");
    EXPECT_EQ(titulekAdresy, L"Kontakt - Adresa");
    EXPECT_TRUE(pouzitPoObrazku);
    ContactList ulozeny;
    ASSERT_EQ(ulozeny.Load(), S_OK);
    ASSERT_EQ(ulozeny.Count(), 2);
    EXPECT_EQ(ulozeny.At(0).soubor_obrazek, L"C:\\neni.png");
    EXPECT_EQ(ulozeny.At(1).nazev, L"Cyril");
    EXPECT_EQ(ulozeny.At(1).email, L"cyril@x.cz");
    EXPECT_EQ(ulozeny.At(1).adresa, L"Ulice 1\r\nBrno");
    EXPECT_EQ(ulozeny.At(1).informace, L"pozn\u00e1mka");
}

} // namespace
