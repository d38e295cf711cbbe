// The FTP places: the store file, the list dialog with its commands and the
// place dialog, driven as a user would through their controls.
#include "ftp/FtpTest.h"

#include "app/Chyby.h"
#include "app/TestModul.h"
#include "ftp/DlgOdeslaniNaFtp.h"
#include "resources/resource.h"
#include "stores/DlgFtpMista.h"
#include "stores/DlgFtpMisto.h"
#include "stores/FtpPlace.h"

using namespace tonbar::ftptest;

namespace {

FtpPlace Misto(const wchar_t* nazev, const wchar_t* server = L"ftp.example.cz", const wchar_t* slozka = L"zaznamy",
               const wchar_t* uzivatel = L"nahravky", const wchar_t* heslo = L"", bool pasivni = true)
{
    FtpPlace m;
    m.nazev = nazev;
    m.server = server;
    m.slozka = slozka;
    m.uzivatel = uzivatel;
    m.heslo = heslo;
    m.pasivni_rezim = pasivni;
    return m;
}

std::wstring TextSouboru(const std::wstring& cesta)
{
    std::vector<unsigned char> b = NacistSoubor(cesta);
    std::wstring t;
    for (size_t i = 0; i + 1 < b.size(); i += 2)
        t += static_cast<wchar_t>(b[i] | (b[i + 1] << 8));
    return t;
}

void ZapsatText(const std::wstring& cesta, const std::wstring& text)
{
    std::vector<unsigned char> b;
    for (wchar_t z : text) {
        b.push_back(static_cast<unsigned char>(z & 0xFF));
        b.push_back(static_cast<unsigned char>(z >> 8));
    }
    ZapsatSoubor(cesta, b);
}

std::vector<std::wstring> Nazvy(const FtpPlaceList& l)
{
    std::vector<std::wstring> v;
    for (int i = 0; i < l.Count(); ++i)
        v.push_back(l.At(i).nazev);
    return v;
}

std::vector<std::wstring> PolozkySeznamu(HWND dlg)
{
    std::vector<std::wstring> v;
    HWND seznam = GetDlgItem(dlg, IDC_FTP_SEZNAM);
    int n = static_cast<int>(SendMessageW(seznam, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t t[256] = {};
        SendMessageW(seznam, LB_GETTEXT, i, reinterpret_cast<LPARAM>(t));
        v.push_back(t);
    }
    return v;
}

std::wstring VybranaPolozka(HWND dlg)
{
    HWND seznam = GetDlgItem(dlg, IDC_FTP_SEZNAM);
    LRESULT i = SendMessageW(seznam, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR)
        return L"<none>";
    wchar_t t[256] = {};
    SendMessageW(seznam, LB_GETTEXT, i, reinterpret_cast<LPARAM>(t));
    return t;
}

void Vybrat(HWND dlg, int radek)
{
    HWND seznam = GetDlgItem(dlg, IDC_FTP_SEZNAM);
    SendMessageW(seznam, LB_SETCURSEL, radek, 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_FTP_SEZNAM, LBN_SELCHANGE), reinterpret_cast<LPARAM>(seznam));
}

// Answers the text-input dialog that a command opens.
bool OdpovedetVstupu(const RidicDialogu& r, const wchar_t* text, int tlacitko = IDOK)
{
    HWND vstup = r.NajitOkno(L"Zadání textu");
    if (!vstup)
        return false;
    SetDlgItemTextW(vstup, IDC_VSTUP_TEXT, text);
    RidicDialogu::Kliknout(vstup, tlacitko);
    return RidicDialogu::PockatNaZavreni(vstup);
}

// Waits until the list dialog is usable again (its nested dialogs closed).
HWND ZpetVSeznamu(const RidicDialogu& r)
{
    return r.NajitOkno(L"Tonbar", 10000, [](HWND w) { return GetDlgItem(w, IDC_FTP_SEZNAM) != nullptr; });
}

class FtpMista : public ::testing::Test {
protected:
    tonbar::test::TestModul modul;
    tonbar::test::TestFolder slozka;
    PresmerovaneUloziste presmerovani{slozka.Path()};
    std::wstring Soubor() const { return slozka.File(L"ftp_mista.rxml"); }
};

} // namespace

TEST_F(FtpMista, SavedFileIsTheRxmlFormLineByLine)
{
    FtpPlaceList l;
    EXPECT_EQ(l.Save(), S_OK);
    EXPECT_EQ(TextSouboru(Soubor()), L"<rxml_data>\r\n <nazev>ftp_mista</nazev>\r\n</rxml_data>\r\n");

    l.Append(Misto(L"Archiv", L"ftp.example.cz", L"/zaznamy", L"nahravky", L"", true));
    l.Append(Misto(L"A<b&c", L"srv", L"a\\b", L"u", L"tajné heslo \"x\"", false));
    EXPECT_EQ(l.Save(), S_OK);
    EXPECT_EQ(TextSouboru(Soubor()),
              L"<rxml_data>\r\n <nazev>ftp_mista</nazev>\r\n</rxml_data>\r\n"
              L"<ftp_misto>\r\n <heslo></heslo>\r\n <nazev>Archiv</nazev>\r\n <pasivni_rezim>1</pasivni_rezim>\r\n"
              L" <server>ftp.example.cz</server>\r\n <slozka>/zaznamy</slozka>\r\n <uzivatel>nahravky</uzivatel>\r\n"
              L"</ftp_misto>\r\n"
              L"<ftp_misto>\r\n <heslo>tajné heslo \"x\"</heslo>\r\n <nazev>A<b&c</nazev>\r\n"
              L" <pasivni_rezim>0</pasivni_rezim>\r\n <server>srv</server>\r\n <slozka>a\\b</slozka>\r\n"
              L" <uzivatel>u</uzivatel>\r\n</ftp_misto>\r\n");

    FtpPlaceList zpet;
    EXPECT_EQ(zpet.Load(), S_OK);
    ASSERT_EQ(zpet.Count(), 2);
    // Sorted by name on loading: "A<b&c" before "Archiv".
    EXPECT_EQ(zpet.At(0).nazev, L"A<b&c");
    EXPECT_EQ(zpet.At(0).heslo, L"tajné heslo \"x\"");
    EXPECT_EQ(zpet.At(0).slozka, L"a\\b");
    EXPECT_FALSE(zpet.At(0).pasivni_rezim);
    EXPECT_EQ(zpet.At(1).nazev, L"Archiv");
    EXPECT_TRUE(zpet.At(1).pasivni_rezim);
}

TEST_F(FtpMista, LoadingStartsEveryPlaceFromAnEmptyRecord)
{
    // The second place lacks its password and passive mode; the third is
    // "true", which is not "1".
    ZapsatText(Soubor(), L"\xFEFF<ftp_misto>\r\n <nazev>beta</nazev>\r\n <heslo>tajne</heslo>\r\n"
                         L" <pasivni_rezim>1</pasivni_rezim>\r\n <slozka>x</slozka>\r\n</ftp_misto>\r\n"
                         L"<ftp_misto>\r\n <nazev>Alfa</nazev>\r\n <neznamy>?</neznamy>\r\n</ftp_misto>\r\n"
                         L"<ftp_misto>\r\n <nazev>alfa2</nazev>\r\n <pasivni_rezim>true</pasivni_rezim>\r\n</ftp_misto>\r\n"
                         L"<ftp_misto>\r\n <nazev>useknuty</nazev>\r\n");
    FtpPlaceList l;
    EXPECT_EQ(l.Load(), S_OK);
    EXPECT_EQ(Nazvy(l), (std::vector<std::wstring>{L"Alfa", L"alfa2", L"beta"}));
    EXPECT_EQ(l.At(0).heslo, L"");
    EXPECT_EQ(l.At(0).slozka, L"");
    EXPECT_FALSE(l.At(0).pasivni_rezim);
    EXPECT_FALSE(l.At(1).pasivni_rezim);
    EXPECT_EQ(l.At(2).heslo, L"tajne");
    EXPECT_TRUE(l.At(2).pasivni_rezim);
}

TEST_F(FtpMista, MissingOrUnreadableStoreLeavesTheListEmpty)
{
    FtpPlaceList l;
    l.Append(Misto(L"stary"));
    EXPECT_EQ(l.Load(), S_FALSE);
    EXPECT_EQ(l.Count(), 0);

    ZapsatText(Soubor(), L"<ftp_misto>\r\n <nazev>a</nazev>\r\n</ftp_misto>\r\n");
    // Held open without sharing by another program.
    HANDLE h = CreateFileW(Soubor().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    l.Append(Misto(L"stary"));
    EXPECT_LT(l.Load(), 0);
    EXPECT_EQ(l.Count(), 0);
    CloseHandle(h);
    EXPECT_EQ(l.Load(), S_OK);
    EXPECT_EQ(l.Count(), 1);
}

TEST_F(FtpMista, ListOperationsFindIgnoringCaseAndRefuseBadIndexes)
{
    FtpPlaceList l;
    l.Append(Misto(L"Archiv"));
    l.Append(Misto(L"Žluťoučký"));
    EXPECT_EQ(l.FindByName(L"ARCHIV"), 0);
    EXPECT_EQ(l.FindByName(L"žluťoučký"), 1);
    EXPECT_EQ(l.FindByName(L"Archi"), -1);
    EXPECT_EQ(l.RemoveAt(2), E_INVALIDARG);
    EXPECT_EQ(l.RemoveAt(-1), E_INVALIDARG);
    EXPECT_EQ(l.ReplaceAt(2, Misto(L"x")), E_INVALIDARG);
    EXPECT_EQ(l.ReplaceAt(1, Misto(L"Jiny", L"s2", L"f2", L"u2", L"h2", false)), S_OK);
    EXPECT_EQ(l.At(1).heslo, L"h2");
    EXPECT_EQ(l.At(1).server, L"s2");
    EXPECT_FALSE(l.At(1).pasivni_rezim);
    EXPECT_EQ(l.RemoveAt(0), S_OK);
    EXPECT_EQ(Nazvy(l), std::vector<std::wstring>{L"Jiny"});
}

TEST_F(FtpMista, DialogAddsRefusesDuplicatesRenamesEditsAndRemoves)
{
    FtpPlaceList mista;
    mista.Append(Misto(L"Archiv", L"ftp.archiv.cz", L"zaznamy", L"archivar"));
    mista.Append(Misto(L"Zaloha", L"ftp.zaloha.cz", L"zaloha\\2024", L"zalohar"));
    ASSERT_EQ(mista.Save(), S_OK);

    struct {
        std::vector<std::wstring> naZacatku;
        std::wstring server, slozka, uzivatel;
        bool odstranitPovoleno = false;
        std::vector<std::wstring> poPridani;
        std::wstring vybranoPoPridani;
        std::wstring souborPoZruseni;
        std::vector<std::wstring> poOdstraneni;
        std::wstring vybranoPoOdstraneni;
        std::wstring titulekMista;
    } videno;
    std::wstring souborNaZacatku = TextSouboru(Soubor());
    modul.odpoved = IDYES;

    RidicDialogu ridic([&](RidicDialogu& r) {
        HWND dlg = ZpetVSeznamu(r);
        if (!dlg)
            return;
        videno.naZacatku = PolozkySeznamu(dlg);
        Vybrat(dlg, 1);
        videno.server = RidicDialogu::Text(dlg, IDC_FTP_SERVER);
        videno.slozka = RidicDialogu::Text(dlg, IDC_FTP_SLOZKA);
        videno.uzivatel = RidicDialogu::Text(dlg, IDC_FTP_UZIVATEL);
        videno.odstranitPovoleno = IsWindowEnabled(GetDlgItem(dlg, IDC_FTP_ODSTRANIT));
        SnimekObrazovky(dlg, L"DlgFtpMista.png");

        // A name that exists in other capitals is refused.
        RidicDialogu::Kliknout(dlg, IDC_FTP_PRIDAT);
        OdpovedetVstupu(r, L"archiv");
        dlg = ZpetVSeznamu(r);
        // An empty name is refused.
        RidicDialogu::Kliknout(dlg, IDC_FTP_PRIDAT);
        OdpovedetVstupu(r, L"");
        dlg = ZpetVSeznamu(r);

        // A new place: name, then its parameters.
        RidicDialogu::Kliknout(dlg, IDC_FTP_PRIDAT);
        OdpovedetVstupu(r, L"Nove misto");
        if (HWND misto = r.NajitOkno(L"Tonbar - FTP místo - ")) {
            wchar_t t[256] = {};
            GetWindowTextW(misto, t, 256);
            videno.titulekMista = t;
            SetDlgItemTextW(misto, IDC_FTP_SERVER, L"127.0.0.1");
            SetDlgItemTextW(misto, IDC_FTP_UZIVATEL, L"novak");
            SetDlgItemTextW(misto, IDC_FTP_HESLO, L"h<es>lo &1");
            SetDlgItemTextW(misto, IDC_FTP_SLOZKA, L"nove\\slozka");
            SendDlgItemMessageW(misto, IDC_FTP_PASIVNI, BM_SETCHECK, BST_CHECKED, 0);
            SnimekObrazovky(misto, L"DlgFtpMisto.png");
            RidicDialogu::Kliknout(misto, IDOK);
            RidicDialogu::PockatNaZavreni(misto);
        }
        dlg = ZpetVSeznamu(r);
        videno.poPridani = PolozkySeznamu(dlg);
        videno.vybranoPoPridani = VybranaPolozka(dlg);

        // Renaming to the same name in other capitals does nothing.
        Vybrat(dlg, 0);
        RidicDialogu::Kliknout(dlg, IDC_FTP_PREJMENOVAT);
        OdpovedetVstupu(r, L"ARCHIV");
        dlg = ZpetVSeznamu(r);
        // Renaming to another place's name is refused.
        RidicDialogu::Kliknout(dlg, IDC_FTP_PREJMENOVAT);
        OdpovedetVstupu(r, L"zaloha");
        dlg = ZpetVSeznamu(r);
        // A real rename keeps the position.
        RidicDialogu::Kliknout(dlg, IDC_FTP_PREJMENOVAT);
        OdpovedetVstupu(r, L"Archiv 2");
        dlg = ZpetVSeznamu(r);

        // Editing and cancelling changes nothing.
        std::wstring predUpravou = TextSouboru(Soubor());
        Vybrat(dlg, 1);
        RidicDialogu::Kliknout(dlg, IDC_FTP_UPRAVIT);
        if (HWND misto = r.NajitOkno(L"Tonbar - FTP místo - Zaloha")) {
            SetDlgItemTextW(misto, IDC_FTP_SERVER, L"jiny.server");
            RidicDialogu::Kliknout(misto, IDCANCEL);
            RidicDialogu::PockatNaZavreni(misto);
        }
        dlg = ZpetVSeznamu(r);
        videno.souborPoZruseni = TextSouboru(Soubor()) == predUpravou ? L"same" : L"changed";

        // Removing the selected place (the question answered Yes) selects the first.
        Vybrat(dlg, 2);
        RidicDialogu::Kliknout(dlg, IDC_FTP_ODSTRANIT);
        Sleep(300);
        dlg = ZpetVSeznamu(r);
        videno.poOdstraneni = PolozkySeznamu(dlg);
        videno.vybranoPoOdstraneni = VybranaPolozka(dlg);
        RidicDialogu::Kliknout(dlg, IDOK);
    });
    DlgFtpMista dialog(mista);
    EXPECT_EQ(ridic.Spustit([&] { return dialog.DoModal(nullptr); }), IDOK);

    EXPECT_EQ(videno.naZacatku, (std::vector<std::wstring>{L"Archiv", L"Zaloha"}));
    EXPECT_EQ(videno.server, L"ftp.zaloha.cz");
    EXPECT_EQ(videno.slozka, L"zaloha\\2024");
    EXPECT_EQ(videno.uzivatel, L"zalohar");
    EXPECT_TRUE(videno.odstranitPovoleno);
    EXPECT_EQ(videno.titulekMista, L"Tonbar - FTP místo - Nove misto");
    // Added at the end, not in alphabetical order, and selected.
    EXPECT_EQ(videno.poPridani, (std::vector<std::wstring>{L"Archiv", L"Zaloha", L"Nove misto"}));
    EXPECT_EQ(videno.vybranoPoPridani, L"Nove misto");
    EXPECT_EQ(videno.souborPoZruseni, L"same");
    EXPECT_EQ(videno.poOdstraneni, (std::vector<std::wstring>{L"Archiv 2", L"Zaloha"}));
    EXPECT_EQ(videno.vybranoPoOdstraneni, L"Archiv 2");

    // The messages: duplicate on add, empty name, duplicate on rename, the question.
    std::vector<std::wstring> zpravy;
    for (const auto& z : modul.zpravy)
        zpravy.push_back(z.text);
    ASSERT_EQ(zpravy.size(), 4u);
    EXPECT_EQ(zpravy[0], STeckou(NacistRetezec(20074)));
    EXPECT_EQ(zpravy[1], STeckou(NacistRetezec(20076)));
    EXPECT_EQ(zpravy[2], STeckou(NacistRetezec(20074)));
    EXPECT_EQ(zpravy[3], L"Opravdu chcete odebrat toto FTP místo?\n\n127.0.0.1\nnovak");

    // Every change was saved at once; the password verbatim.
    FtpPlaceList ulozene;
    EXPECT_EQ(ulozene.Load(), S_OK);
    EXPECT_EQ(Nazvy(ulozene), (std::vector<std::wstring>{L"Archiv 2", L"Zaloha"}));
    EXPECT_NE(souborNaZacatku, TextSouboru(Soubor()));
    EXPECT_EQ(Nazvy(mista), (std::vector<std::wstring>{L"Archiv 2", L"Zaloha"}));
}

TEST_F(FtpMista, NewPlaceIsStoredWithItsPasswordVerbatim)
{
    FtpPlaceList mista;
    RidicDialogu ridic([&](RidicDialogu& r) {
        HWND dlg = ZpetVSeznamu(r);
        if (!dlg)
            return;
        RidicDialogu::Kliknout(dlg, IDC_FTP_PRIDAT);
        OdpovedetVstupu(r, L"Heslo");
        if (HWND misto = r.NajitOkno(L"Tonbar - FTP místo - Heslo")) {
            SetDlgItemTextW(misto, IDC_FTP_HESLO, L" <b>&amp; žluť ");
            RidicDialogu::Kliknout(misto, IDOK);
            RidicDialogu::PockatNaZavreni(misto);
        }
        dlg = ZpetVSeznamu(r);
        RidicDialogu::Kliknout(dlg, IDOK);
    });
    DlgFtpMista dialog(mista);
    ridic.Spustit([&] { return dialog.DoModal(nullptr); });
    EXPECT_NE(TextSouboru(Soubor()).find(L" <heslo> <b>&amp; žluť </heslo>\r\n"), std::wstring::npos);
}

TEST_F(FtpMista, EmptyListDisablesRemoveAndEdit)
{
    FtpPlaceList mista;
    bool odstranit = true, upravit = true, prejmenovat = false;
    std::wstring hodnoty = L"?";
    RidicDialogu ridic([&](RidicDialogu& r) {
        HWND dlg = ZpetVSeznamu(r);
        if (!dlg)
            return;
        odstranit = IsWindowEnabled(GetDlgItem(dlg, IDC_FTP_ODSTRANIT));
        upravit = IsWindowEnabled(GetDlgItem(dlg, IDC_FTP_UPRAVIT));
        prejmenovat = IsWindowEnabled(GetDlgItem(dlg, IDC_FTP_PREJMENOVAT));
        hodnoty = RidicDialogu::Text(dlg, IDC_FTP_SERVER) + RidicDialogu::Text(dlg, IDC_FTP_SLOZKA) +
                  RidicDialogu::Text(dlg, IDC_FTP_UZIVATEL);
        // Rename with nothing selected only beeps.
        RidicDialogu::Kliknout(dlg, IDC_FTP_PREJMENOVAT);
        Sleep(200);
        RidicDialogu::Kliknout(dlg, 2);
    });
    DlgFtpMista dialog(mista);
    EXPECT_EQ(ridic.Spustit([&] { return dialog.DoModal(nullptr); }), 2);
    EXPECT_FALSE(odstranit);
    EXPECT_FALSE(upravit);
    EXPECT_TRUE(prejmenovat);
    EXPECT_EQ(hodnoty, L"");
    EXPECT_TRUE(modul.zpravy.empty());
    // Nothing changed, nothing saved.
    EXPECT_EQ(GetFileAttributesW(Soubor().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DlgFtpMistoTest, ShowsTheRecordTogglesThePasswordAndCancelLeavesItUntouched)
{
    FtpPlace m = Misto(L"Archiv", L"ftp.archiv.cz", L"a\\b", L"archivar", L"tajne", true);
    FtpPlace puvodni = m;
    std::wstring server, uzivatel, heslo, slozka;
    bool pasivni = false;
    WPARAM skryty = 0, zobrazeny = 1, znovuSkryty = 0;
    RidicDialogu ridic([&](RidicDialogu& r) {
        HWND dlg = r.NajitOkno(L"Tonbar - FTP místo - Archiv");
        if (!dlg)
            return;
        server = RidicDialogu::Text(dlg, IDC_FTP_SERVER);
        uzivatel = RidicDialogu::Text(dlg, IDC_FTP_UZIVATEL);
        heslo = RidicDialogu::Text(dlg, IDC_FTP_HESLO);
        slozka = RidicDialogu::Text(dlg, IDC_FTP_SLOZKA);
        pasivni = IsDlgButtonChecked(dlg, IDC_FTP_PASIVNI) == BST_CHECKED;
        HWND h = GetDlgItem(dlg, IDC_FTP_HESLO);
        skryty = SendMessageW(h, EM_GETPASSWORDCHAR, 0, 0);
        SendDlgItemMessageW(dlg, IDC_FTP_ZOBRAZIT_HESLO, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_FTP_ZOBRAZIT_HESLO, BN_CLICKED), 0);
        zobrazeny = SendMessageW(h, EM_GETPASSWORDCHAR, 0, 0);
        SendDlgItemMessageW(dlg, IDC_FTP_ZOBRAZIT_HESLO, BM_SETCHECK, BST_UNCHECKED, 0);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_FTP_ZOBRAZIT_HESLO, BN_CLICKED), 0);
        znovuSkryty = SendMessageW(h, EM_GETPASSWORDCHAR, 0, 0);
        SetDlgItemTextW(dlg, IDC_FTP_SERVER, L"zmeneno");
        RidicDialogu::Kliknout(dlg, IDCANCEL);
    });
    DlgFtpMisto dialog(&m);
    EXPECT_EQ(ridic.Spustit([&] { return dialog.DoModal(nullptr); }), IDCANCEL);
    EXPECT_EQ(server, L"ftp.archiv.cz");
    EXPECT_EQ(uzivatel, L"archivar");
    EXPECT_EQ(heslo, L"tajne");
    EXPECT_EQ(slozka, L"a\\b");
    EXPECT_TRUE(pasivni);
    EXPECT_NE(skryty, 0u);
    EXPECT_EQ(zobrazeny, 0u);
    EXPECT_EQ(znovuSkryty, skryty);
    EXPECT_EQ(m.server, puvodni.server);
    EXPECT_EQ(m.slozka, puvodni.slozka);

    DlgFtpMisto bezZaznamu(nullptr);
    EXPECT_EQ(bezZaznamu.DoModal(nullptr), -1);
}

TEST(DlgOdeslaniNaFtpTest, ShowsThePlacesAndReturnsTheChoice)
{
    tonbar::test::TestModul modul;
    FtpPlaceList mista;
    mista.Append(Misto(L"Prvni", L"s1", L"f1", L"u1"));
    mista.Append(Misto(L"Druhe", L"s2", L"f2\\g", L"u2"));
    std::wstring titulek, odkaz, jmeno, server1, server2, slozka2, uzivatel2;
    RidicDialogu ridic([&](RidicDialogu& r) {
        HWND dlg = r.NajitOkno(L"Odeslání na FTP");
        if (!dlg)
            return;
        wchar_t t[256] = {};
        GetWindowTextW(dlg, t, 256);
        titulek = t;
        odkaz = RidicDialogu::Text(dlg, IDC_FTP_ODKAZ);
        jmeno = RidicDialogu::Text(dlg, IDC_FTP_JMENO_SOUBORU);
        server1 = RidicDialogu::Text(dlg, IDC_FTP_HODNOTA_SERVER);
        HWND combo = GetDlgItem(dlg, IDC_FTP_MISTO);
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_FTP_MISTO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        server2 = RidicDialogu::Text(dlg, IDC_FTP_HODNOTA_SERVER);
        slozka2 = RidicDialogu::Text(dlg, IDC_FTP_SLOZKA);
        uzivatel2 = RidicDialogu::Text(dlg, IDC_FTP_HODNOTA_UZIVATEL);
        SetDlgItemTextW(dlg, IDC_FTP_JMENO_SOUBORU, L"jinak.wma");
        SnimekObrazovky(dlg, L"DlgOdeslaniNaFtp.png");
        RidicDialogu::Kliknout(dlg, IDOK);
    });
    mirvak::ftp::DlgOdeslaniNaFtp dialog(mista, L"C:\\nahravky\\Záznam 7.wma");
    EXPECT_EQ(ridic.Spustit([&] { return dialog.DoModal(nullptr); }), IDOK);
    EXPECT_EQ(titulek, L"Odeslání na FTP - Tonbar");
    EXPECT_EQ(jmeno, L"Záznam 7.wma");
    EXPECT_NE(odkaz.find(L"Záznam 7.wma"), std::wstring::npos);
    EXPECT_EQ(server1, L"s1");
    EXPECT_EQ(server2, L"s2");
    EXPECT_EQ(slozka2, L"f2\\g");
    EXPECT_EQ(uzivatel2, L"u2");
    EXPECT_EQ(dialog.VybraneMisto(), 1);
    EXPECT_EQ(dialog.VzdaleneJmeno(), L"jinak.wma");
}

TEST(DlgOdeslaniNaFtpTest, WithoutPlacesTheComboIsEmptyAndNothingIsChosen)
{
    tonbar::test::TestModul modul;
    FtpPlaceList mista;
    LRESULT polozek = -1;
    std::wstring server = L"?";
    RidicDialogu ridic([&](RidicDialogu& r) {
        HWND dlg = r.NajitOkno(L"Odeslání na FTP");
        if (!dlg)
            return;
        polozek = SendDlgItemMessageW(dlg, IDC_FTP_MISTO, CB_GETCOUNT, 0, 0);
        server = RidicDialogu::Text(dlg, IDC_FTP_HODNOTA_SERVER);
        RidicDialogu::Kliknout(dlg, IDOK);
    });
    mirvak::ftp::DlgOdeslaniNaFtp dialog(mista, L"C:\\x\\a.wma");
    EXPECT_EQ(ridic.Spustit([&] { return dialog.DoModal(nullptr); }), IDOK);
    EXPECT_EQ(polozek, 0);
    EXPECT_EQ(server, L"");
    EXPECT_EQ(dialog.VybraneMisto(), -1);
    EXPECT_FALSE(mista.Contains(dialog.VybraneMisto()));
}
