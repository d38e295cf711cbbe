// FTP places, the upload and the server folder browser: the stored form and the dialogs, then (FtpServer*)
// against the real server of servers.sh ftp, in passive and active mode.
#include "harness/Dialogy.h"
#include "harness/Servery.h"
#include "harness/TestFolder.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "app/TestModul.h"
#include "ftp/DlgOdeslaniNaFtp.h"
#include "ftp/FtpPripojeni.h"
#include "ftp/OdeslaniNaFtp.h"
#include "resources/resource.h"
#include "stores/DlgFtpMista.h"
#include "stores/DlgFtpMisto.h"
#include "stores/FtpPlace.h"

#include <commctrl.h>

#include <functional>
#include <map>
#include <vector>

using namespace tonbar::test;
using mirvak::ftp::FtpUploadBezi;
using mirvak::ftp::StartFtpUpload;

namespace {

std::vector<std::wstring> Nazvy(const FtpPlaceList& l)
{
    std::vector<std::wstring> v;
    for (int i = 0; i < l.Count(); ++i)
        v.push_back(l.At(i).nazev);
    return v;
}

// Answers the text-input dialog a command opened; returns once the list dialog has gone on.
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

class FtpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Bezi()) << "no FTP server: run through tests/harness/servers.sh ftp (ctest -R ftp_server)";
        CreateDirectoryW(server.Cesta(slozka).c_str(), nullptr);
    }

    FtpPlace Misto(const std::wstring& podslozka, bool pasivni = true) const
    {
        return {.heslo = server.heslo, .nazev = L"Archiv nahrávek", .pasivni_rezim = pasivni, .server = L"127.0.0.1",
                .slozka = podslozka, .uzivatel = server.uzivatel};
    }

    // Runs one upload to completion; the balloon it reported, told once.
    IkonaOznameni::Bublina Odeslat(const FtpPlace& misto, const std::wstring& lokalni, const std::wstring& vzdalene)
    {
        FtpPlaceList mista;
        mista.Append(misto);
        unsigned long predtim = ikona.Posledni().poradi;
        EXPECT_EQ(StartFtpUpload(mista, lokalni, 0, vzdalene), S_OK);
        EXPECT_TRUE(IkonaTestu::Pockat([] { return !FtpUploadBezi(); }));
        EXPECT_EQ(ikona.Posledni().poradi, predtim + 1);
        return ikona.Posledni();
    }
    std::wstring Neuspech(const FtpPlace& m) const { return NacistText(20079, m.nazev.c_str()); }

    FtpServer server;
    IkonaTestu ikona;
    TestFolder mistni;
    std::wstring slozka = L"nahravani";  // of this test's own, in the server's root
};

// The children of `rodic` (the roots for null) by name; a name listed twice appears twice.
std::multimap<std::wstring, HTREEITEM> Deti(HWND strom, HTREEITEM rodic)
{
    std::multimap<std::wstring, HTREEITEM> deti;
    for (HTREEITEM p = rodic ? TreeView_GetChild(strom, rodic) : TreeView_GetRoot(strom); p;
         p = TreeView_GetNextSibling(strom, p)) {
        wchar_t text[MAX_PATH] = {};
        TVITEMW it{TVIF_TEXT | TVIF_HANDLE, p, 0, 0, text, MAX_PATH};
        TreeView_GetItem(strom, &it);
        deti.emplace(text, p);
    }
    return deti;
}

// The names of `rodic`'s children, sorted, once `rozbalit` has selected or expanded it.
std::wstring Nazvy(HWND strom, HTREEITEM rodic, bool rozbalit = false)
{
    if (rozbalit)
        TreeView_Expand(strom, rodic, TVE_EXPAND);
    else
        TreeView_SelectItem(strom, rodic);
    std::wstring nazvy;
    for (auto& [nazev, uzel] : Deti(strom, rodic))
        nazvy += nazev + L" ";
    return nazvy;
}

HTREEITEM Najit(HWND strom, HTREEITEM rodic, const std::wstring& nazev)
{
    auto deti = Deti(strom, rodic);
    auto it = deti.find(nazev);
    return it == deti.end() ? nullptr : it->second;
}

// The folder browser when one opens within `ms`.
HWND Prohlizec(DWORD ms) { return CekatNaDialog(L"Tonbar", IDC_FTP_STROM, ms); }

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

// An empty list: nothing to edit or remove; an empty name or another place's refused, the password kept
// verbatim, a rename in other capitals does nothing, a real one keeps the position, a cancelled edit nothing.
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
    EXPECT_EQ(modul.Zpravy(),
              (std::vector<std::wstring>{STeckou(NacistRetezec(20076)), STeckou(NacistRetezec(20074))}));
    FtpPlaceList ulozene;
    EXPECT_EQ(ulozene.Load(), S_OK);
    EXPECT_EQ(Nazvy(ulozene), (std::vector<std::wstring>{L"Archiv 2", L"Zaloha"}));
    EXPECT_EQ(ulozene.At(0).heslo, L" <b>&amp; žluť ");
    EXPECT_EQ(ulozene.At(1).server, L"127.0.0.1");
}

// With places: each shown as chosen, the choice and the typed name returned; without: no choice.
TEST(DlgOdeslaniNaFtpTest, ShowsThePlacesAndReturnsTheChoice)
{
    TestModul modul;
    FtpPlaceList mista, zadna;
    mista.Append({L"", L"Prvni", true, L"s1", L"f1", L"u1"});
    mista.Append({L"", L"Druhe", true, L"s2", L"f2\\g", L"u2"});
    const struct {
        FtpPlaceList& mista;
        const wchar_t* videno;  // title, file name, server, places; then the second place as chosen
        int vybrane;
        const wchar_t* jmeno;   // the remote name returned, typed when there are places
    } pripady[] = {{mista, L"Odeslání na FTP - Tonbar|Záznam 7.wma|s1|2|s2|f2\\g|u2", 1, L"jinak.wma"},
                   {zadna, L"Odeslání na FTP - Tonbar|Záznam 7.wma||0", -1, L"Záznam 7.wma"}};
    for (auto& p : pripady) {
        mirvak::ftp::DlgOdeslaniNaFtp dialog(p.mista, L"C:\\nahravky\\Záznam 7.wma");
        std::wstring videno, odkaz;
        INT_PTR r = Ridit([&] { return dialog.DoModal(nullptr); }, [&] {
            HWND dlg = CekatNaDialog(L"Odeslání na FTP", IDC_FTP_MISTO);
            if (!dlg)
                return;
            videno = Text(dlg) + L"|" + Text(dlg, IDC_FTP_JMENO_SOUBORU) + L"|" + Text(dlg, IDC_FTP_HODNOTA_SERVER) +
                     L"|" + std::to_wstring(SendDlgItemMessageW(dlg, IDC_FTP_MISTO, CB_GETCOUNT, 0, 0));
            odkaz = Text(dlg, IDC_FTP_ODKAZ);
            if (p.vybrane >= 0) {
                Vybrat(dlg, IDC_FTP_MISTO, 1, true);
                videno += L"|" + Text(dlg, IDC_FTP_HODNOTA_SERVER) + L"|" + Text(dlg, IDC_FTP_SLOZKA) + L"|" +
                          Text(dlg, IDC_FTP_HODNOTA_UZIVATEL);
                Napsat(dlg, IDC_FTP_JMENO_SOUBORU, p.jmeno);
            }
            Kliknout(dlg, IDOK);
        });
        EXPECT_EQ(r, IDOK);
        EXPECT_NE(odkaz.find(L"Záznam 7.wma"), std::wstring::npos);
        EXPECT_EQ(videno, p.videno);
        EXPECT_EQ(dialog.VybraneMisto(), p.vybrane);
        EXPECT_EQ(dialog.VzdaleneJmeno(), p.jmeno);
    }
}

// Byte-identical in both modes, into the login folder, a new last folder level, over an existing file, from a
// file the player holds open; failures; one upload at a time.
TEST_F(FtpServerTest, UploadsArriveByteIdenticalAndFailuresCreateNothing)
{
    struct Pripad {
        const wchar_t* lokalni;
        size_t velikost;
        std::wstring podslozka;  // below the test's folder; "/" is the login folder
        bool pasivni;
        const wchar_t* vzdalene;
        std::wstring naServeru, ocekavaneJmeno;
    } pripady[] = {
        // The parent exists, the last level does not: it is created.
        {L"Záznam 1.wma", 700 * 1024 + 3, L"\\2024", true, L"nahravka.wma", L"2024\\nahravka.wma", L"nahravka.wma"},
        {L"aktivni.wma", 256 * 1024, L"", false, L"", L"aktivni.wma", L"aktivni.wma"},
        // A remote name of one character is no name: the local one is used.
        {L"mistni.wma", 1000, L"", true, L"x", L"mistni.wma", L"mistni.wma"},
        {L"mistni.wma", 1000, L"", true, L"ab", L"ab", L"ab"},
        {L"do kořene.wma", 300 * 1024 + 7, L"/", true, L"koren.wma", L"koren.wma", L"koren.wma"},
    };
    // An existing file is replaced.
    WriteBytes(server.Cesta(slozka + L"\\ab"), RandomBytes(5000, 4));
    unsigned seed = 1;
    for (const Pripad& p : pripady) {
        SCOPED_TRACE(Narrow(p.naServeru));
        std::wstring lokalni = mistni.File(p.lokalni);
        WriteBytes(lokalni, RandomBytes(p.velikost, ++seed));
        // Held the way the player holds a recording it plays.
        mirvak::winapi::FileHandle prehravac(
            CreateFileW(lokalni.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(prehravac);
        bool koren = p.podslozka == L"/";
        std::wstring naServeru = koren ? server.Cesta(p.naServeru) : server.Cesta(slozka + L"\\" + p.naServeru);
        if (koren)
            DeleteFileW(naServeru.c_str());
        IkonaOznameni::Bublina b = Odeslat(Misto(koren ? L"" : slozka + p.podslozka, p.pasivni), lokalni, p.vzdalene);
        EXPECT_EQ(b.text, NacistText(20078, p.ocekavaneJmeno.c_str(), L"127.0.0.1"));
        EXPECT_EQ(b.druh, kBublinaInformace);
        EXPECT_EQ(Sha256(ReadBytes(naServeru)), Sha256(ReadBytes(lokalni)));
        EXPECT_EQ(ReadBytes(naServeru).size(), p.velikost);
    }
    EXPECT_FALSE(Existuje(server.Cesta(slozka + L"\\x")));
    EXPECT_FALSE(FtpUploadBezi());

    // Every failure ends in the failure balloon, leaves nothing and frees the marker; no line break is sent.
    std::wstring lokalni = mistni.File(L"chyba.wma");
    WriteBytes(lokalni, RandomBytes(1000, 6));
    struct Selhani {
        const char* co;
        std::function<void(FtpPlace&)> zmena;
        std::wstring vzdalene;
    } selhani[] = {
        {"wrong password", [](FtpPlace& m) { m.heslo = L"spatne"; }, L""},
        {"two missing folder levels", [this](FtpPlace& m) { m.slozka = slozka + L"\\a\\b"; }, L""},
        // Nothing listens there: what a stopped server gives.
        {"no server", [](FtpPlace& m) { m.server = L"127.0.0.2"; }, L""},
        {"line break in the folder", [this](FtpPlace& m) { m.slozka = slozka + L"\r\nMKD injekce"; }, L""},
        {"line break in the user", [](FtpPlace& m) { m.uzivatel += L"\nDELE x"; }, L""},
        {"line break in the password", [](FtpPlace& m) { m.heslo += L"\rMKD injekce2"; }, L""},
        {"line break in the remote name", [](FtpPlace&) {}, L"a.wma\r\nMKD injekce3"},
    };
    for (const Selhani& p : selhani) {
        SCOPED_TRACE(p.co);
        FtpPlace m = Misto(slozka);
        p.zmena(m);
        IkonaOznameni::Bublina b = Odeslat(m, lokalni, p.vzdalene);
        EXPECT_EQ(b.text, Neuspech(m));
        EXPECT_EQ(b.druh, kBublinaChyba);
    }
    for (const wchar_t* jmeno : {L"MKD injekce", L"injekce", L"injekce2", L"injekce3", L"chyba.wma", L"a.wma", L"a"}) {
        EXPECT_FALSE(Existuje(server.Cesta(slozka + L"\\" + jmeno))) << Narrow(jmeno);
        EXPECT_FALSE(Existuje(server.Cesta(jmeno))) << Narrow(jmeno);
    }
    // The marker is free again: the next upload goes through.
    EXPECT_EQ(Odeslat(Misto(slozka), lokalni, L"").druh, kBublinaInformace);
    // Refused before anything connects.
    mirvak::ftp::FtpPripojeni spojeni;
    EXPECT_EQ(mirvak::ftp::FtpConnect(spojeni, L"127.0.0.1", L"u\nQUIT", L"p", true), E_INVALIDARG);
    EXPECT_EQ(mirvak::ftp::FtpConnect(spojeni, L"127.0.0.1", L"u", L"p\rQUIT", true), E_INVALIDARG);
    EXPECT_EQ(spojeni.Spojeni(), nullptr);

    // A second upload while one runs (the server delays a failed login) is ignored.
    FtpPlaceList mista;
    FtpPlace pomale = Misto(slozka);
    pomale.heslo = L"spatne";
    mista.Append(pomale);
    mista.Append(Misto(slozka));
    unsigned long predtim = ikona.Posledni().poradi;
    ASSERT_EQ(StartFtpUpload(mista, lokalni, 0, L""), S_OK);
    EXPECT_TRUE(FtpUploadBezi());
    EXPECT_EQ(StartFtpUpload(mista, lokalni, 1, L"druhy.wma"), S_FALSE);
    ASSERT_TRUE(IkonaTestu::Pockat([] { return !FtpUploadBezi(); }));
    EXPECT_EQ(ikona.Posledni().poradi, predtim + 1);
    EXPECT_EQ(ikona.Posledni().text, Neuspech(pomale));
    EXPECT_FALSE(Existuje(server.Cesta(slozka + L"\\druhy.wma")));
}

// The record shown, the password's mask toggled; wrong credentials or a click on the folder's text open
// nothing; "..." browses with what is typed: two levels, each folder once, the path; a cancel keeps the text.
TEST_F(FtpServerTest, FolderButtonBrowsesTheServerWithWhatIsTyped)
{
    // A tree of the test's own under the login folder, which holds what other tests left there too.
    const std::wstring koren = L"prochazeni";
    for (const wchar_t* s : {L"", L"\\alfa", L"\\alfa\\a1", L"\\alfa\\a2", L"\\alfa\\a2\\hluboko", L"\\beta",
                             L"\\beta\\b1", L"\\.skryta", L"\\prazdna"})
        CreateDirectoryW(server.Cesta(koren + s).c_str(), nullptr);
    WriteBytes(server.Cesta(koren + L"\\soubor.txt"), RandomBytes(10, 1));
    WriteBytes(server.Cesta(koren + L"\\alfa\\soubor2.txt"), RandomBytes(10, 2));

    FtpPlace misto{L"tajne", L"Archiv", true, L"ftp.archiv.cz", L"a\\b", L"archivar"};
    std::wstring v;  // what the driver saw, a line each
    LRESULT skryto = 0;  // the mask character first shown
    auto maska = [&](HWND dlg) {
        LRESULT c = SendDlgItemMessageW(dlg, IDC_FTP_HESLO, EM_GETPASSWORDCHAR, 0, 0);
        skryto = skryto ? skryto : c;
        v += !c ? L"a" : c == skryto ? L"*" : L"?";
    };
    INT_PTR r = Ridit([&] { return DlgFtpMisto(&misto).DoModal(nullptr); }, [&] {
        HWND dlg = CekatNaDialog(L"Tonbar - FTP místo - Archiv");
        if (!dlg)
            return;
        for (int id : {IDC_FTP_SERVER, IDC_FTP_UZIVATEL, IDC_FTP_HESLO, IDC_FTP_SLOZKA})
            v += Text(dlg, id) + L"|";
        v += IsDlgButtonChecked(dlg, IDC_FTP_PASIVNI) == BST_CHECKED ? L"pasivni\n" : L"aktivni\n";
        maska(dlg);  // hidden, shown, hidden again
        for (WPARAM stav : {BST_CHECKED, BST_UNCHECKED}) {
            SendDlgItemMessageW(dlg, IDC_FTP_ZOBRAZIT_HESLO, BM_SETCHECK, stav, 0);
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_FTP_ZOBRAZIT_HESLO, BN_CLICKED), 0);
            maska(dlg);
        }
        // What is typed counts, not what is stored.
        Napsat(dlg, IDC_FTP_SERVER, L"127.0.0.1");
        Napsat(dlg, IDC_FTP_UZIVATEL, server.uzivatel);
        Napsat(dlg, IDC_FTP_HESLO, L"spatne");
        PostMessageW(dlg, WM_APP + 2005, 0, 0);
        v += Prohlizec(3000) ? L"\nse spatnym heslem" : L"\n";
        Napsat(dlg, IDC_FTP_HESLO, server.heslo);
        HWND edit = GetDlgItem(dlg, IDC_FTP_SLOZKA);
        RECT rc{};
        GetClientRect(edit, &rc);
        for (int x : {5, static_cast<int>(rc.right) - 5}) {
            PostMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, rc.bottom / 2));
            PostMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(x, rc.bottom / 2));
            if (x == 5 && Prohlizec(2000))
                v += L"po kliknuti na text";
        }
        if (HWND prohlizec = Prohlizec(10000)) {
            HWND strom = GetDlgItem(prohlizec, IDC_FTP_STROM);
            v += L"\n" + std::to_wstring(Deti(strom, nullptr).count(koren)) + L"\n";
            HTREEITEM vetev = Najit(strom, nullptr, koren);
            // Selecting lists a folder's children, once; expanding lists too.
            v += Nazvy(strom, vetev) + L"\n";
            HTREEITEM alfa = Najit(strom, vetev, L"alfa");
            Nazvy(strom, alfa);
            Nazvy(strom, vetev);
            v += Nazvy(strom, alfa) + L"\n" + Nazvy(strom, vetev, true) + L"\n";
            v += Nazvy(strom, Najit(strom, vetev, L"beta"), true) + L"\n";
            v += Nazvy(strom, Najit(strom, vetev, L"prazdna"), true) + L"\n";
            TreeView_SelectItem(strom, Najit(strom, alfa, L"a2"));
            v += Text(prohlizec, IDC_FTP_VYBER) + L"\n";
            Kliknout(prohlizec, IDOK);
            CekatNaZavreni(prohlizec);
        }
        v += Text(dlg, IDC_FTP_SLOZKA) + L"\n";
        CheckDlgButton(dlg, IDC_FTP_PASIVNI, BST_UNCHECKED);
        PostMessageW(dlg, WM_APP + 2005, 0, 0);
        if (HWND w = Prohlizec(10000)) {
            HWND strom = GetDlgItem(w, IDC_FTP_STROM);
            TreeView_SelectItem(strom, Najit(strom, nullptr, koren));
            Kliknout(w, IDCANCEL);
            CekatNaZavreni(w);
        }
        v += Text(dlg, IDC_FTP_SLOZKA);
        Kliknout(dlg, IDOK);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(v, L"ftp.archiv.cz|archivar|tajne|a\\b|pasivni\n*a*\n"
                 L"\n1\nalfa beta prazdna \na1 a2 \nalfa beta prazdna \nb1 \n\n"
                 L"prochazeni\\alfa\\a2\nprochazeni\\alfa\\a2\nprochazeni\\alfa\\a2");
    EXPECT_EQ(misto.slozka, L"prochazeni\\alfa\\a2");
    EXPECT_EQ(misto.server, L"127.0.0.1");
}
