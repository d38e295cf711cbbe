// The FTP places: the stored form, the list dialog's commands that the other list dialogs lack
// (rename, edit) and the upload dialog. Adding and removing: stores/seznamy_test.cpp.
#include "harness/Dialogy.h"
#include "harness/Servery.h"

#include "app/Chyby.h"
#include "app/TestModul.h"
#include "ftp/DlgOdeslaniNaFtp.h"
#include "harness/TestFolder.h"
#include "resources/resource.h"
#include "stores/DlgFtpMista.h"
#include "stores/FtpPlace.h"

#include <vector>

using namespace tonbar::test;

namespace {

std::vector<std::wstring> Nazvy(const FtpPlaceList& l)
{
    std::vector<std::wstring> v;
    for (int i = 0; i < l.Count(); ++i)
        v.push_back(l.At(i).nazev);
    return v;
}

// Answers the text-input dialog a command opened; returns once the list
// dialog has gone on.
void OdpovedetVstupu(HWND seznam, const wchar_t* text)
{
    if (HWND vstup = CekatNaDialog(L"Zadání textu", IDC_VSTUP_TEXT)) {
        Napsat(vstup, IDC_VSTUP_TEXT, text);
        Kliknout(vstup, IDOK);
        CekatNaZavreni(vstup);
    }
    Synchronizovat(seznam);
}

class FtpMista : public ::testing::Test {
protected:
    TestModul modul;
    TestFolder slozka;
    PresmerovaniUloziste presmerovani{Uloziste::FtpMista, slozka.Path()};
    std::wstring Soubor() const
    {
        std::string b = ReadBytes(slozka.File(L"ftp_mista.rxml"));
        return std::wstring(reinterpret_cast<const wchar_t*>(b.data()), b.size() / 2);
    }
};

} // namespace

// The file other versions read: field names, "1"/"0", the text verbatim.
TEST_F(FtpMista, SavedFileIsTheRxmlFormLineByLine)
{
    FtpPlaceList l;
    l.Append({L"", L"Archiv", true, L"ftp.example.cz", L"/zaznamy", L"nahravky"});
    l.Append({L"tajné heslo \"x\"", L"A<b&c", false, L"srv", L"a\\b", L"u"});
    EXPECT_EQ(l.Save(), S_OK);
    EXPECT_EQ(Soubor(),
              L"<rxml_data>\r\n <nazev>ftp_mista</nazev>\r\n</rxml_data>\r\n"
              L"<ftp_misto>\r\n <heslo></heslo>\r\n <nazev>Archiv</nazev>\r\n <pasivni_rezim>1</pasivni_rezim>\r\n"
              L" <server>ftp.example.cz</server>\r\n <slozka>/zaznamy</slozka>\r\n <uzivatel>nahravky</uzivatel>\r\n"
              L"</ftp_misto>\r\n"
              L"<ftp_misto>\r\n <heslo>tajné heslo \"x\"</heslo>\r\n <nazev>A<b&c</nazev>\r\n"
              L" <pasivni_rezim>0</pasivni_rezim>\r\n <server>srv</server>\r\n <slozka>a\\b</slozka>\r\n"
              L" <uzivatel>u</uzivatel>\r\n</ftp_misto>\r\n");
    FtpPlaceList zpet;
    EXPECT_EQ(zpet.Load(), S_OK);
    ASSERT_EQ(Nazvy(zpet), (std::vector<std::wstring>{L"A<b&c", L"Archiv"}));
    EXPECT_EQ(zpet.At(0).heslo, L"tajné heslo \"x\"");
    EXPECT_FALSE(zpet.At(0).pasivni_rezim);
    EXPECT_TRUE(zpet.At(1).pasivni_rezim);
}

// An empty list: nothing to edit or remove. Then: an empty name is refused,
// the new place keeps its password verbatim, a rename to the same name in
// other capitals does nothing, one to another place's name is refused, a
// real one keeps the position, and a cancelled edit changes nothing.
TEST_F(FtpMista, DialogRenamesEditsAndRefusesEmptyNames)
{
    FtpPlaceList mista;
    bool odstranit = true, upravit = true;
    std::vector<std::wstring> poPrejmenovani;
    std::wstring poZruseni = L"?", predUpravou;
    modul.odpoved = IDYES;
    INT_PTR r = Ridit([&] { return DlgFtpMista(mista).DoModal(nullptr); }, [&] {
        HWND dlg = CekatNaDialog(L"", IDC_FTP_SEZNAM);
        if (!dlg)
            return;
        odstranit = IsWindowEnabled(GetDlgItem(dlg, IDC_FTP_ODSTRANIT));
        upravit = IsWindowEnabled(GetDlgItem(dlg, IDC_FTP_UPRAVIT));
        Kliknout(dlg, IDC_FTP_PRIDAT);
        OdpovedetVstupu(dlg, L"");
        for (const wchar_t* nazev : {L"Zaloha", L"Archiv"}) {
            Kliknout(dlg, IDC_FTP_PRIDAT);
            OdpovedetVstupu(dlg, nazev);
            if (HWND misto = CekatNaDialog(L"Tonbar - FTP místo - ", IDC_FTP_SERVER)) {
                Napsat(misto, IDC_FTP_SERVER, L"127.0.0.1");
                Napsat(misto, IDC_FTP_HESLO, L" <b>&amp; žluť ");
                Kliknout(misto, IDOK);
                CekatNaZavreni(misto);
                Synchronizovat(dlg);
            }
        }
        Vybrat(dlg, IDC_FTP_SEZNAM, 1);
        for (const wchar_t* nazev : {L"ARCHIV", L"zaloha", L"Archiv 2"}) {
            Kliknout(dlg, IDC_FTP_PREJMENOVAT);
            OdpovedetVstupu(dlg, nazev);
        }
        poPrejmenovani = Polozky(dlg, IDC_FTP_SEZNAM);
        predUpravou = Soubor();
        Vybrat(dlg, IDC_FTP_SEZNAM, 0);
        Kliknout(dlg, IDC_FTP_UPRAVIT);
        if (HWND misto = CekatNaDialog(L"Tonbar - FTP místo - Zaloha")) {
            Napsat(misto, IDC_FTP_SERVER, L"jiny.server");
            Kliknout(misto, IDCANCEL);
            CekatNaZavreni(misto);
            Synchronizovat(dlg);
        }
        poZruseni = Soubor();
        Kliknout(dlg, IDOK);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_FALSE(odstranit);
    EXPECT_FALSE(upravit);
    EXPECT_EQ(poPrejmenovani, (std::vector<std::wstring>{L"Zaloha", L"Archiv 2"}));
    EXPECT_EQ(poZruseni, predUpravou);
    // Empty name, duplicate on rename; the rename in other capitals says nothing.
    std::vector<std::wstring> zpravy;
    for (const auto& z : modul.zpravy)
        zpravy.push_back(z.text);
    EXPECT_EQ(zpravy, (std::vector<std::wstring>{STeckou(NacistRetezec(20076)), STeckou(NacistRetezec(20074))}));
    FtpPlaceList ulozene;
    EXPECT_EQ(ulozene.Load(), S_OK);
    EXPECT_EQ(Nazvy(ulozene), (std::vector<std::wstring>{L"Archiv 2", L"Zaloha"}));
    EXPECT_EQ(ulozene.At(0).heslo, L" <b>&amp; žluť ");
    EXPECT_EQ(ulozene.At(1).server, L"127.0.0.1");
}

// With places: each shown as chosen, the choice and the typed name returned.
// Without: an empty combo box and no choice.
TEST(DlgOdeslaniNaFtpTest, ShowsThePlacesAndReturnsTheChoice)
{
    TestModul modul;
    FtpPlaceList mista, zadna;
    mista.Append({L"", L"Prvni", true, L"s1", L"f1", L"u1"});
    mista.Append({L"", L"Druhe", true, L"s2", L"f2\\g", L"u2"});
    for (FtpPlaceList* l : {&mista, &zadna}) {
        mirvak::ftp::DlgOdeslaniNaFtp dialog(*l, L"C:\\nahravky\\Záznam 7.wma");
        std::wstring videno, odkaz, druhe;
        INT_PTR r = Ridit([&] { return dialog.DoModal(nullptr); }, [&] {
            HWND dlg = CekatNaDialog(L"Odeslání na FTP", IDC_FTP_MISTO);
            if (!dlg)
                return;
            videno = Text(dlg) + L"|" + Text(dlg, IDC_FTP_JMENO_SOUBORU) + L"|" + Text(dlg, IDC_FTP_HODNOTA_SERVER) +
                     L"|" + std::to_wstring(SendDlgItemMessageW(dlg, IDC_FTP_MISTO, CB_GETCOUNT, 0, 0));
            odkaz = Text(dlg, IDC_FTP_ODKAZ);
            if (l->Count()) {
                Vybrat(dlg, IDC_FTP_MISTO, 1, true);
                druhe = Text(dlg, IDC_FTP_HODNOTA_SERVER) + L"|" + Text(dlg, IDC_FTP_SLOZKA) + L"|" +
                        Text(dlg, IDC_FTP_HODNOTA_UZIVATEL);
                Napsat(dlg, IDC_FTP_JMENO_SOUBORU, L"jinak.wma");
            }
            Kliknout(dlg, IDOK);
        });
        EXPECT_EQ(r, IDOK);
        EXPECT_NE(odkaz.find(L"Záznam 7.wma"), std::wstring::npos);
        if (l->Count()) {
            EXPECT_EQ(videno, L"Odeslání na FTP - Tonbar|Záznam 7.wma|s1|2");
            EXPECT_EQ(druhe, L"s2|f2\\g|u2");
            EXPECT_EQ(dialog.VybraneMisto(), 1);
            EXPECT_EQ(dialog.VzdaleneJmeno(), L"jinak.wma");
        } else {
            EXPECT_EQ(videno, L"Odeslání na FTP - Tonbar|Záznam 7.wma||0");
            EXPECT_EQ(dialog.VybraneMisto(), -1);
        }
    }
}
