// Uploads against the real FTP server of servers.sh ftp: the file that
// arrives, the balloon that tells the outcome, and the busy marker.
#include "harness/Servery.h"

#include "app/Chyby.h"
#include "app/Handles.h"
#include "ftp/FtpPripojeni.h"
#include "ftp/OdeslaniNaFtp.h"
#include "harness/TestFolder.h"

#include <functional>

using namespace tonbar::test;
using mirvak::ftp::FtpUploadBezi;
using mirvak::ftp::StartFtpUpload;

namespace {

class FtpServerUpload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Bezi()) << "no FTP server: run through tests/harness/servers.sh ftp (ctest -R ftp_server)";
        ASSERT_EQ(server.Prikaz("ping"), "ok");
        CreateDirectoryW(server.Cesta(slozka).c_str(), nullptr);
    }

    FtpPlace Misto(const std::wstring& podslozka, bool pasivni = true) const
    {
        FtpPlace m;
        m.nazev = L"Archiv nahrávek";
        m.server = L"127.0.0.1";
        m.uzivatel = server.uzivatel;
        m.heslo = server.heslo;
        m.slozka = podslozka;
        m.pasivni_rezim = pasivni;
        return m;
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

} // namespace

// Byte-identical in both modes, into the login folder, a new last folder level, over an existing
// file, from a file the player holds open; failures; one upload at a time.
TEST_F(FtpServerUpload, UploadsArriveByteIdenticalAndFailuresCreateNothing)
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

    // Every failure ends in the failure balloon, leaves nothing on the server and frees the marker;
    // line breaks in any argument never reach the wire.
    std::wstring lokalni = mistni.File(L"chyba.wma");
    WriteBytes(lokalni, RandomBytes(1000, 6));
    struct Selhani {
        const char* co;
        std::function<void(FtpPlace&)> zmena;
        std::wstring vzdalene;
        bool zastavit = false;
    } selhani[] = {
        {"wrong password", [](FtpPlace& m) { m.heslo = L"spatne"; }, L""},
        {"two missing folder levels", [this](FtpPlace& m) { m.slozka = slozka + L"\\a\\b"; }, L""},
        {"stopped server", [](FtpPlace&) {}, L"", true},
        {"line break in the folder", [this](FtpPlace& m) { m.slozka = slozka + L"\r\nMKD injekce"; }, L""},
        {"line break in the user", [](FtpPlace& m) { m.uzivatel += L"\nDELE x"; }, L""},
        {"line break in the password", [](FtpPlace& m) { m.heslo += L"\rMKD injekce2"; }, L""},
        {"line break in the remote name", [](FtpPlace&) {}, L"a.wma\r\nMKD injekce3"},
    };
    for (const Selhani& p : selhani) {
        SCOPED_TRACE(p.co);
        FtpPlace m = Misto(slozka);
        p.zmena(m);
        ASSERT_EQ(server.Prikaz(p.zastavit ? "stop" : "ping"), "ok");
        IkonaOznameni::Bublina b = Odeslat(m, lokalni, p.vzdalene);
        ASSERT_EQ(server.Prikaz(p.zastavit ? "start" : "ping"), "ok");
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
