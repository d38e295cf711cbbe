// Uploads against the real FTP server of the fixture (ftp_test.sh): the file
// that arrives, the balloon that tells the outcome, and the busy marker.
#include "ftp/FtpTest.h"

#include "app/Chyby.h"
#include "ftp/FtpPripojeni.h"
#include "ftp/OdeslaniNaFtp.h"
#include "harness/TestFolder.h"

using namespace tonbar::ftptest;
using mirvak::ftp::FtpUploadBezi;
using mirvak::ftp::StartFtpUpload;

namespace {

class FtpServerUpload : public ::testing::Test {
protected:
    void SetUp() override
    {
        TONBAR_NEEDS_FTP_SERVER(server);
        ASSERT_EQ(server.Prikaz("ping"), "ok");
    }

    FtpPlace Misto(const std::wstring& slozka, bool pasivni = true) const
    {
        FtpPlace m;
        m.nazev = L"Archiv nahrávek";
        m.server = L"127.0.0.1";
        m.uzivatel = server.uzivatel;
        m.heslo = server.heslo;
        m.slozka = slozka;
        m.pasivni_rezim = pasivni;
        return m;
    }

    // Runs one upload to completion; the balloon it reported.
    IkonaOznameni::Bublina Odeslat(const FtpPlace& misto, const std::wstring& lokalni, const std::wstring& vzdalene,
                                   HRESULT ocekavany = S_OK)
    {
        FtpPlaceList mista;
        mista.Append(misto);
        unsigned long predtim = ikona.Posledni().poradi;
        EXPECT_EQ(StartFtpUpload(mista, lokalni, 0, vzdalene), ocekavany);
        EXPECT_TRUE(PockatNaKonecOdeslani());
        IkonaOznameni::Bublina b = ikona.Posledni();
        // One outcome, told once.
        EXPECT_EQ(b.poradi, predtim + (ocekavany == S_OK ? 1 : 0));
        return b;
    }

    std::wstring Uspech(const std::wstring& vzdalene) const
    {
        return NacistText(20078, vzdalene.c_str(), L"127.0.0.1");
    }
    std::wstring Neuspech(const FtpPlace& m) const { return NacistText(20079, m.nazev.c_str()); }

    FtpServer server;
    IkonaTestu ikona;
    tonbar::test::TestFolder mistni;
    // A folder of the server root of this test's own.
    std::wstring SlozkaTestu()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::wstring jmeno;
        for (const char* z = info->name(); *z; ++z)
            jmeno += static_cast<wchar_t>(*z);
        CreateDirectoryW(server.Cesta(jmeno).c_str(), nullptr);
        return jmeno;
    }
};

} // namespace

TEST_F(FtpServerUpload, PassiveUploadIsByteIdenticalAndCreatesTheLastFolderLevel)
{
    std::wstring slozka = SlozkaTestu();
    auto data = NahodnaData(700 * 1024 + 3, 1);
    std::wstring lokalni = mistni.File(L"Záznam 1.wma");
    ZapsatSoubor(lokalni, data);

    // The parent exists, the last level does not: it is created.
    FtpPlace m = Misto(slozka + L"\\2024", true);
    IkonaOznameni::Bublina b = Odeslat(m, lokalni, L"nahravka.wma");
    EXPECT_EQ(b.text, Uspech(L"nahravka.wma"));
    EXPECT_EQ(b.druh, kBublinaInformace);
    std::wstring naServeru = server.Cesta(slozka + L"\\2024\\nahravka.wma");
    EXPECT_EQ(Sha256(naServeru), Sha256(lokalni));
    EXPECT_EQ(NacistSoubor(naServeru).size(), data.size());
    EXPECT_FALSE(FtpUploadBezi());
}

TEST_F(FtpServerUpload, EmptyFolderIsTheLoginFolderAndAFileOpenInThePlayerIsSent)
{
    std::wstring lokalni = mistni.File(L"do kořene.wma");
    ZapsatSoubor(lokalni, NahodnaData(300 * 1024 + 7, 11));
    // Held the way the player holds a recording it plays.
    mirvak::winapi::FileHandle prehravac(
        CreateFileW(lokalni.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(prehravac);
    const std::wstring vzdalene = L"koren-" + std::to_wstring(GetCurrentProcessId()) + L".wma";
    IkonaOznameni::Bublina b = Odeslat(Misto(L""), lokalni, vzdalene);
    EXPECT_EQ(b.text, Uspech(vzdalene));
    EXPECT_EQ(b.druh, kBublinaInformace);
    EXPECT_EQ(Sha256(server.Cesta(vzdalene)), Sha256(lokalni));
    DeleteFileW(server.Cesta(vzdalene).c_str());
}

TEST_F(FtpServerUpload, ActiveModeUploadIsByteIdentical)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"aktivni.wma");
    ZapsatSoubor(lokalni, NahodnaData(256 * 1024, 2));
    IkonaOznameni::Bublina b = Odeslat(Misto(slozka, false), lokalni, L"");
    EXPECT_EQ(b.text, Uspech(L"aktivni.wma"));
    EXPECT_EQ(Sha256(server.Cesta(slozka + L"\\aktivni.wma")), Sha256(lokalni));
}

TEST_F(FtpServerUpload, RemoteNameOfOneCharacterFallsBackToTheLocalName)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"mistni.wma");
    ZapsatSoubor(lokalni, NahodnaData(1000, 3));

    EXPECT_EQ(Odeslat(Misto(slozka), lokalni, L"x").text, Uspech(L"mistni.wma"));
    EXPECT_EQ(Sha256(server.Cesta(slozka + L"\\mistni.wma")), Sha256(lokalni));
    EXPECT_EQ(GetFileAttributesW(server.Cesta(slozka + L"\\x").c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(Odeslat(Misto(slozka), lokalni, L"ab").text, Uspech(L"ab"));
    EXPECT_EQ(Sha256(server.Cesta(slozka + L"\\ab")), Sha256(lokalni));
}

TEST_F(FtpServerUpload, AnExistingFileIsReplaced)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"novy.wma");
    ZapsatSoubor(server.Cesta(slozka + L"\\novy.wma"), NahodnaData(5000, 4));
    ZapsatSoubor(lokalni, NahodnaData(1234, 5));
    EXPECT_EQ(Odeslat(Misto(slozka), lokalni, L"").druh, kBublinaInformace);
    EXPECT_EQ(Sha256(server.Cesta(slozka + L"\\novy.wma")), Sha256(lokalni));
}

TEST_F(FtpServerUpload, WrongPasswordEndsWithTheFailureBalloonAndFreesTheMarker)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"heslo.wma");
    ZapsatSoubor(lokalni, NahodnaData(1000, 6));
    FtpPlace m = Misto(slozka);
    m.heslo = L"spatne";
    IkonaOznameni::Bublina b = Odeslat(m, lokalni, L"");
    EXPECT_EQ(b.text, Neuspech(m));
    EXPECT_EQ(b.druh, kBublinaChyba);
    EXPECT_EQ(GetFileAttributesW(server.Cesta(slozka + L"\\heslo.wma").c_str()), INVALID_FILE_ATTRIBUTES);

    // The marker is free again: the next upload goes through.
    EXPECT_EQ(Odeslat(Misto(slozka), lokalni, L"").druh, kBublinaInformace);
}

TEST_F(FtpServerUpload, MissingFoldersOfTwoLevelsFailAndCreateNothing)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"hluboko.wma");
    ZapsatSoubor(lokalni, NahodnaData(1000, 7));
    FtpPlace m = Misto(slozka + L"\\a\\b");
    IkonaOznameni::Bublina b = Odeslat(m, lokalni, L"");
    EXPECT_EQ(b.text, Neuspech(m));
    EXPECT_EQ(b.druh, kBublinaChyba);
    EXPECT_EQ(GetFileAttributesW(server.Cesta(slozka + L"\\a").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FtpServerUpload, StoppedServerEndsWithTheFailureBalloon)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"zastaveny.wma");
    ZapsatSoubor(lokalni, NahodnaData(1000, 8));
    ASSERT_EQ(server.Prikaz("stop"), "ok");
    FtpPlace m = Misto(slozka);
    IkonaOznameni::Bublina b = Odeslat(m, lokalni, L"");
    ASSERT_EQ(server.Prikaz("start"), "ok");
    EXPECT_EQ(b.text, Neuspech(m));
    EXPECT_EQ(b.druh, kBublinaChyba);
    EXPECT_EQ(GetFileAttributesW(server.Cesta(slozka + L"\\zastaveny.wma").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FtpServerUpload, LineBreaksInAnyFtpArgumentAreRefused)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"radky.wma");
    ZapsatSoubor(lokalni, NahodnaData(1000, 9));
    struct Pripad {
        const char* co;
        FtpPlace misto;
        std::wstring vzdalene;
    };
    FtpPlace slozkaCr = Misto(slozka + L"\r\nMKD injekce");
    FtpPlace uzivatelLf = Misto(slozka);
    uzivatelLf.uzivatel += L"\nDELE x";
    FtpPlace hesloCr = Misto(slozka);
    hesloCr.heslo += L"\rMKD injekce2";
    std::vector<Pripad> pripady = {
        {"folder", slozkaCr, L""},
        {"user", uzivatelLf, L""},
        {"password", hesloCr, L""},
        {"remote name", Misto(slozka), L"a.wma\r\nMKD injekce3"},
    };
    for (const Pripad& p : pripady) {
        SCOPED_TRACE(p.co);
        IkonaOznameni::Bublina b = Odeslat(p.misto, lokalni, p.vzdalene);
        EXPECT_EQ(b.text, Neuspech(p.misto));
        EXPECT_EQ(b.druh, kBublinaChyba);
    }
    // Nothing of the injected commands reached the server.
    for (const wchar_t* jmeno : {L"MKD injekce", L"injekce", L"injekce2", L"injekce3", L"radky.wma", L"a.wma"}) {
        EXPECT_EQ(GetFileAttributesW(server.Cesta(slozka + L"\\" + jmeno).c_str()), INVALID_FILE_ATTRIBUTES)
            << std::string(jmeno, jmeno + wcslen(jmeno));
        EXPECT_EQ(GetFileAttributesW(server.Cesta(jmeno).c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(FtpServerUpload, SecondUploadWhileOneRunsIsIgnored)
{
    std::wstring slozka = SlozkaTestu();
    std::wstring lokalni = mistni.File(L"dvakrat.wma");
    ZapsatSoubor(lokalni, NahodnaData(1000, 10));
    FtpPlaceList mista;
    FtpPlace pomale = Misto(slozka);
    pomale.heslo = L"spatne";  // the server delays a failed login
    mista.Append(pomale);
    mista.Append(Misto(slozka));
    unsigned long predtim = ikona.Posledni().poradi;
    ASSERT_EQ(StartFtpUpload(mista, lokalni, 0, L""), S_OK);
    EXPECT_TRUE(FtpUploadBezi());
    EXPECT_EQ(StartFtpUpload(mista, lokalni, 1, L"druhy.wma"), S_FALSE);
    ASSERT_TRUE(PockatNaKonecOdeslani());
    EXPECT_EQ(ikona.Posledni().poradi, predtim + 1);
    EXPECT_EQ(ikona.Posledni().text, Neuspech(pomale));
    EXPECT_EQ(GetFileAttributesW(server.Cesta(slozka + L"\\druhy.wma").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Without a server: what is refused before anything connects.
TEST(FtpUpload, IndexOutsideTheListIsAnError)
{
    FtpPlaceList mista;
    EXPECT_EQ(StartFtpUpload(mista, L"C:\\x.wma", 0, L""), E_INVALIDARG);
    FtpPlace m;
    m.nazev = L"a";
    mista.Append(m);
    EXPECT_EQ(StartFtpUpload(mista, L"C:\\x.wma", 1, L""), E_INVALIDARG);
    EXPECT_EQ(StartFtpUpload(mista, L"C:\\x.wma", -1, L""), E_INVALIDARG);
    EXPECT_FALSE(FtpUploadBezi());
}

TEST(FtpUpload, WireFormOfFoldersUsesSlashesAndLineBreaksAreFound)
{
    using mirvak::ftp::CestaNaServeru;
    using mirvak::ftp::ObsahujeKonecRadku;
    EXPECT_EQ(CestaNaServeru(L"zaznamy\\2024\\leden"), L"zaznamy/2024/leden");
    EXPECT_EQ(CestaNaServeru(L"/abs/cesta"), L"/abs/cesta");
    EXPECT_EQ(CestaNaServeru(L""), L"");
    EXPECT_FALSE(ObsahujeKonecRadku(L"obycejny text"));
    EXPECT_TRUE(ObsahujeKonecRadku(L"a\rb"));
    EXPECT_TRUE(ObsahujeKonecRadku(L"a\n"));
}

TEST(FtpUpload, ConnectRefusesLineBreaksBeforeConnecting)
{
    mirvak::ftp::FtpPripojeni p;
    EXPECT_EQ(mirvak::ftp::FtpConnect(p, L"127.0.0.1", L"u\r\nQUIT", L"p", true), E_INVALIDARG);
    EXPECT_EQ(mirvak::ftp::FtpConnect(p, L"127.0.0.1", L"u", L"p\n", true), E_INVALIDARG);
    EXPECT_EQ(p.Spojeni(), nullptr);
}
