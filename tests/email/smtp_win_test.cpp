// The SMTP client and the sending of a recording under Wine, against aiosmtpd and scripted fault servers
// on 127.0.0.1 (harness/servers.sh smtp).
#include "harness/Dialogy.h"
#include "harness/Servery.h"
#include "harness/TestFolder.h"

#include "app/Chyby.h"
#include "app/Konfigurace.h"
#include "email/OdeslaniEmailem.h"
#include "email/Smtp.h"
#include "email/SmtpUcty.h"
#include "resources/resource.h"
#include "settings/NastaveniTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

using namespace mirvak::email;
using namespace tonbar::test;

namespace {

const wchar_t kCzech[] = L"Příliš žluťoučký kůň úpěl ďábelské ódy";

// A client that remembers what it reported, a line "kind code text" an event, and each reply's code.
struct Zapisovac : Smtp {
    std::string udalosti;
    std::vector<std::pair<std::wstring, int>> odpovedi;  // command (or the greeting), code
    std::vector<uint64_t> prubeh;

    explicit Zapisovac(const wchar_t* heslo = nullptr)
    {
        if (heslo)
            userName = L"nahravky", password = heslo;
    }
    void Zapsat(const std::string& druh, int kod, const std::wstring& text)
    {
        udalosti += druh + " " + std::to_string(kod) + " " + Narrow(text) + "\n";
    }
    int OnRejected(int code, const std::wstring& r) override { return Zapsat("rejected", code, r), 0; }
    void OnError(int code, const std::wstring& r) override { Zapsat("error", code, r); }
    void OnReply(const wchar_t* command, int code, const std::wstring& reply) override
    {
        odpovedi.emplace_back(command ? command : L"<greeting>", code);
        Zapsat("reply", code, reply);
    }
    int OnProgress(const char*, uint64_t sent, uint64_t) override { return prubeh.push_back(sent), 1; }
    bool Had(const std::string& druh, int kod) const
    {
        return ("\n" + udalosti).find("\n" + druh + " " + std::to_string(kod) + " ") != std::string::npos;
    }
    bool Sent(const std::wstring& prefix) const
    {
        return std::any_of(odpovedi.begin(), odpovedi.end(), [&](auto& o) { return o.first.rfind(prefix, 0) == 0; });
    }
};

class SmtpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 0), &wsa);
    }
    static void TearDownTestSuite() { WSACleanup(); }
    void SetUp() override
    {
        ASSERT_TRUE(SmtpServers::Available()) << "no SMTP servers: run through tests/harness/servers.sh smtp";
    }
    // Points the clients at one of the servers (the services file); the number its next message gets.
    static int Use(const std::string& server)
    {
        EXPECT_TRUE(SmtpServers::UseService(SmtpServers::Port(server))) << server;
        return SmtpServers::Count() + 1;
    }
    static SmtpMessage Zprava(const std::wstring& to = L"eva@example.cz")
    {
        SmtpMessage m;
        m.from = {L"Jan Novák", L"jan@tonbar.test"};
        m.to.address = to;
        m.subject = L"Tonbar";
        m.textParts.push_back({});
        m.textParts[0].text = L"abc";
        return m;
    }
};

} // namespace

// The same message through each kind of server: Czech text in code page 1250, encoded words within 76
// columns, 8-bit only where offered, replies split or slow read whole, credentials never reported.
TEST_F(SmtpTest, MessagesArriveWholeThroughEveryKindOfServer)
{
    ASSERT_EQ(GetACP(), 1250u) << "servers.sh runs the tests in a Czech locale";
    TestFolder folder;
    const std::wstring jmenoSouboru = L"Záznam porady o rozpočtu na příští rok, část první a druhá (čistopis).wma";
    std::wstring file = folder.File(jmenoSouboru);
    WriteBytes(file, RandomBytes(3001, 8));  // all three base64 paddings
    const std::wstring predmet = std::wstring(kCzech) + L" – " + kCzech;
    const std::wstring odesilatel = L"Jan Novák z oddělení záznamů a archivace zvukových nahrávek";
    const std::wstring cesky = std::wstring(kCzech) + L"\r\n.\r\n.tečka na začátku\r\n";
    const std::wstring zprava = NacistRetezec(IDS_EMAIL_TEXT_ZPRAVY);  // a few letters above 126: 8bit
    struct {
        const char* server;
        const wchar_t *heslo, *text;
        int esmtp;
        const char *kodovani, *volby;  // null: not judged
    } pripady[] = {{"auth", L"heslo-123", cesky.c_str(), 1, "base64", nullptr},
                   {"plain", nullptr, zprava.c_str(), 1, "8bit", "BODY=8BITMIME"},
                   // 502 to EHLO: HELO on the same connection, no authentication.
                   {"ehlo502", L"heslo-123", zprava.c_str(), 0, "quoted-printable", ""},
                   {"split", nullptr, zprava.c_str(), 1, "quoted-printable", ""},
                   {"multiline", nullptr, cesky.c_str(), 1, "base64", ""}};
    for (auto& p : pripady) {
        SCOPED_TRACE(p.server);
        int n = Use(p.server);
        Zapisovac smtp(p.heslo);
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
        EXPECT_EQ(smtp.esmtp, p.esmtp);
        EXPECT_EQ(smtp.Sent(L"AUTH LOGIN"), std::string(p.server) == "auth");
        SmtpMessage m = Zprava();
        m.from.name = odesilatel;
        m.subject = predmet;
        m.textParts[0].text = p.text;
        m.attachments.push_back({});
        m.attachments[0].filePath = file;
        ASSERT_EQ(smtp.SendMail(m), 0) << smtp.udalosti;
        EXPECT_EQ(smtp.Quit(), 0);
        smtp.Disconnect();
        auto s = SmtpServers::Summary(n);
        EXPECT_EQ(s["strict"], "ok");
        EXPECT_EQ(s["part1.charset"], "windows-1250");
        EXPECT_EQ(s["part1.encoding"], p.kodovani);
        if (p.volby) {
            EXPECT_EQ(s["mail_options"], p.volby);
        }
        std::wstring text = p.text;
        EXPECT_EQ(SmtpServers::PartText(n, 1), text.substr(0, text.find_last_not_of(L"\r\n") + 1));
        EXPECT_EQ(Widen(s["header.Subject"]), predmet);
        EXPECT_EQ(Widen(s["rfc2047.From"]), odesilatel + L" <jan@tonbar.test>");
        EXPECT_EQ(Widen(s["part2.filename"]), jmenoSouboru);
        EXPECT_EQ(Widen(s["part2.name"]), jmenoSouboru);
        EXPECT_EQ(s["part2.sha256"], Sha256(ReadBytes(file)));
        // No command shows the password; every reply belonged to its own command.
        for (auto& [c, kod] : smtp.odpovedi) {
            EXPECT_EQ(c.find(L"aGVzbG8tMTIz"), std::wstring::npos);  // "heslo-123"
            EXPECT_TRUE(kod == 250 || (c.rfind(L"MAIL", 0) != 0 && c.rfind(L"RCPT", 0) != 0)) << Narrow(c);
        }
        // Lines that hold encoded words keep within 76 characters (77 with the CR); without 8BITMIME no byte
        // has its top bit set.
        std::string raw = SmtpServers::Raw(n);
        std::istringstream radky(raw.substr(0, raw.find("\r\n\r\n")));
        for (std::string radek; std::getline(radky, radek);)
            EXPECT_TRUE(radek.find("=?") == std::string::npos || radek.size() <= 77u) << radek;
        EXPECT_EQ(raw.find("name=\"=?"), std::string::npos);
        EXPECT_TRUE(!p.volby || *p.volby ||
                    std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 128; }));
    }
}

TEST_F(SmtpTest, PlainServerRefusalPiecesAndInjectedAddresses)
{
    int n = Use("plain");
    Zapisovac druhy, treti, ctvrty;
    // Nobody accepted: the last refusal is the result and nothing is sent.
    ASSERT_EQ(druhy.Connect(L"127.0.0.1"), 1);
    SmtpMessage nikdo = Zprava(L"refuse1@example.cz");
    EXPECT_EQ(druhy.SendMail(nikdo), 550);
    EXPECT_FALSE(druhy.Sent(L"DATA"));

    // A long message goes in pieces, reporting its progress.
    treti.pieceSize = 1024;
    ASSERT_EQ(treti.Connect(L"127.0.0.1"), 1);
    ASSERT_EQ(treti.MailFrom(L"jan@tonbar.test"), 0);
    ASSERT_EQ(treti.RcptTo(L"eva@example.cz"), 0);
    std::string text = "Subject: pieces\r\n\r\n";
    while (text.size() < 3000)
        text += "0123456789abcdef0123456789abcdef0123456789abcdef0123456789\r\n";
    text.resize(3000);
    ASSERT_EQ(treti.Data(text), 0);
    EXPECT_EQ(treti.prubeh, (std::vector<uint64_t>{1024, 2048, 3000}));
    treti.Disconnect();
    EXPECT_TRUE(SmtpServers::WaitCount(n));

    // Addresses carrying a command: neither RCPT nor DATA goes out.
    ASSERT_EQ(ctvrty.Connect(L"127.0.0.1"), 1);
    SmtpMessage vlozeny = Zprava(L"eva@example.cz>\r\nRCPT TO: <evil@example.cz");
    EXPECT_EQ(ctvrty.SendMail(vlozeny), -1);
    SmtpMessage z = Zprava();
    z.from.address = L"jan@tonbar.test>\r\nDATA";
    EXPECT_NE(ctvrty.SendMail(z), 0);
    EXPECT_FALSE(ctvrty.Sent(L"DATA"));
    EXPECT_FALSE(ctvrty.Sent(L"RCPT"));
}

TEST_F(SmtpTest, ServerFaultsNeverCountAsSuccess)
{
    // No connection: a 554 greeting (no introduction, no QUIT), garbage instead of replies (code 0 is no
    // success anywhere), a server that closes while a reply is awaited (-1 at once).
    const std::pair<const char*, int> nepripojeni[] = {{"greet554", 554}, {"garbage", 0}, {"closing", -1}};
    for (auto& [server, kod] : nepripojeni) {
        Use(server);
        Zapisovac smtp;
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(smtp.Connect(L"127.0.0.1"), 0) << server;
        EXPECT_LT(GetTickCount64() - start, 10000u) << server;
        EXPECT_EQ(smtp.greeted, 0) << server;
        EXPECT_EQ(smtp.socket, INVALID_SOCKET) << server;
        EXPECT_TRUE(kod < 0 || smtp.Had(kod ? "error" : "reply", kod)) << smtp.udalosti;
    }
    Sleep(300);
    std::string log = SmtpServers::Log("greet554");
    EXPECT_EQ(log.find("EHLO"), std::string::npos) << log;
    EXPECT_EQ(log.find("QUIT"), std::string::npos);
    // 421 and a closed connection in DATA end the session.
    Use("data421");
    Zapisovac konec;
    ASSERT_EQ(konec.Connect(L"127.0.0.1"), 1);
    SmtpMessage m = Zprava();
    m.textParts[0].text = std::wstring(200000, L'x');
    EXPECT_NE(konec.SendMail(m), 0);
    EXPECT_EQ(konec.greeted, 0);
    // An unknown challenge is cancelled with "*" before anything else (501), a wrong password gets 535;
    // either way MAIL FROM meets 530 and gives up.
    struct {
        const char* server;
        const wchar_t* heslo;
        const char* druh;
        int kod;
    } prihlaseni[] = {{"authodd", L"heslo-123", "error", 501}, {"auth", L"spatne", "rejected", 535}};
    for (auto& p : prihlaseni) {
        int n = Use(p.server);
        Zapisovac smtp(p.heslo);
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1) << p.server;
        EXPECT_TRUE(smtp.Had(p.druh, p.kod)) << smtp.udalosti;
        m = Zprava();
        EXPECT_EQ(smtp.SendMail(m), 530) << smtp.udalosti;
        smtp.Disconnect();
        EXPECT_EQ(SmtpServers::Count(), n - 1);
    }
    log = SmtpServers::Log("authodd");
    EXPECT_NE(log.find("answer=*\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("answer=MAIL"), std::string::npos);
}

// --- the sending of a recording ----------------------------------------------

class SendEmailTest : public SmtpTest {
protected:
    EmailSendTask Task(const std::wstring& file)
    {
        EmailSendTask t;
        t.account = {L"jan@tonbar.test", L"heslo-123", L"Jan Novák", L"nahravky", L"127.0.0.1"};
        t.recipient = L"eva@example.cz";
        t.filePath = file;
        t.ulozitZobrazeni = false;
        return t;
    }
    // The worker's body on this thread; what it reported last goes to posledni_.
    HRESULT Odeslat(const EmailSendTask& t)
    {
        posledni_ = {};
        return SendEmail(t, [this](pracovnici::Hlaseni h) { posledni_ = std::move(h); });
    }

    // Command 40031 as the main window runs it, the dialog answered with OK from another thread.
    HRESULT Prikaz(const std::wstring& file, const std::wstring& dalsi = L"")
    {
        [[maybe_unused]] static bool inicializovana = (InicializovatKonfiguraci(g_konfigurace), true);
        g_konfigurace.smtp_ucet = {L"jan@tonbar.test", L"", L"Jan", L"", L"127.0.0.1"};
        g_konfigurace.prijemci_email = L"eva@example.cz";
        g_konfigurace.prijemci_dalsi_emaily = L"";
        g_konfigurace.zprava_ikona = 2;
        return static_cast<HRESULT>(Ridit([&] { return StartEmailSend(nullptr, file); }, [&] {
            if (HWND dlg = CekatNaDialog(NacistText(20080, L"Tonbar"), IDC_EMAIL_DALSI)) {
                Napsat(dlg, IDC_EMAIL_DALSI, dalsi);
                Kliknout(dlg, IDOK);
            }
        }));
    }
    // Waits for the sending, delivering the reports posted to this thread.
    static bool CekatNaKonec(DWORD ms) { return IkonaTestu::Pockat([] { return !EmailSendRunning(); }, ms); }

    TestFolder folder_;
    IkonaTestu ikona_;
    pracovnici::Hlaseni posledni_;
};

// Also sent while the player, the list of recordings or a writer holds it open.
TEST_F(SendEmailTest, RecordingsUpToFiftyMegabytesArriveWholeAndTheBalloonNamesOnlyAcceptedRecipients)
{
    int n = Use("auth");
    std::wstring file = folder_.File(L"5.12.2026 09-07-03.wma");
    std::string bytes = RandomBytes(300000, 1);
    WriteBytes(file, bytes);
    EmailSendTask t = Task(file);
    t.further = {L"petr@example.cz", L"refuse@example.cz"};
    EXPECT_EQ(Odeslat(t), S_OK);
    EXPECT_EQ(posledni_.druh, kBublinaInformace);
    EXPECT_EQ(posledni_.text, NacistText(20083, file.c_str(), L"eva@example.cz, petr@example.cz") + L"\n" +
                                  NacistText(IDS_EMAIL_ODMITNUTI, L"refuse@example.cz"));
    auto s = SmtpServers::Summary(n);
    EXPECT_EQ(SmtpServers::Count(), n);  // one message for the whole list
    EXPECT_EQ(s["mail_from"], "jan@tonbar.test");
    EXPECT_EQ(s.count("rcpt"), 2u);
    EXPECT_EQ(s["header.To"], "eva@example.cz");
    EXPECT_EQ(s["header.Subject"], "Tonbar");
    EXPECT_EQ(SmtpServers::PartText(n, 1), L"Tonbar odeslaný z aplikace \"Tonbar\"");
    EXPECT_EQ(s["part2.disposition"], "inline");
    EXPECT_EQ(s["part2.filename"], "5.12.2026 09-07-03.wma");
    EXPECT_EQ(s["part2.sha256"], Sha256(bytes));

    // The main recipient refused, a copy accepted: the balloon names only the copy.
    t.recipient = L"refuse@example.cz";
    t.further = {L"petr@example.cz"};
    EXPECT_EQ(Odeslat(t), S_OK);
    EXPECT_EQ(posledni_.text, NacistText(20083, file.c_str(), L"petr@example.cz") + L"\n" +
                                  NacistText(IDS_EMAIL_ODMITNUTI, L"refuse@example.cz"));
    s = SmtpServers::Summary(n + 1);
    EXPECT_EQ(s.count("rcpt"), 1u);
    EXPECT_EQ(s["rcpt"], "petr@example.cz");
    EXPECT_EQ(s["header.Bcc"], "<missing>");

    std::wstring velky = folder_.File(L"Záznam 50.wma");
    std::string velke = RandomBytes(50u * 1024 * 1024, 2);
    WriteBytes(velky, velke);
    EXPECT_EQ(Odeslat(Task(velky)), S_OK);
    s = SmtpServers::Summary(n + 2, 60000);
    EXPECT_EQ(s["part2.size"], std::to_string(velke.size()));
    EXPECT_EQ(s["part2.sha256"], Sha256(velke));
    EXPECT_EQ(Widen(s["part2.filename"]), L"Záznam 50.wma");

    const std::pair<DWORD, DWORD> drzitele[] = {{GENERIC_READ, FILE_SHARE_READ},
                                                {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
                                                {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ}};
    for (int i = 0; i < 3; ++i) {
        HANDLE h = CreateFileW(file.c_str(), drzitele[i].first, drzitele[i].second, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << i;
        EXPECT_EQ(Odeslat(Task(file)), S_OK) << i;
        CloseHandle(h);
        EXPECT_EQ(posledni_.druh, kBublinaInformace) << i;
        EXPECT_EQ(SmtpServers::Summary(n + 3 + i)["part2.sha256"], Sha256(bytes)) << i;
    }
}

// Over the cap, held without sharing or deleted after the dialog closed: refused before connecting.
TEST_F(SendEmailTest, FailuresEndInTheErrorBalloonWithoutThePassword)
{
    std::wstring file = folder_.File(L"a.wma"), huge = folder_.File(L"huge.wma");
    std::wstring zamceny = folder_.File(L"zamčený.wma"), smazany = folder_.File(L"smazaný.wma");
    WriteBytes(file, RandomBytes(5000, 3));
    WriteBytes(zamceny, RandomBytes(5000, 4));
    HANDLE zamek = CreateFileW(zamceny.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(zamek, INVALID_HANDLE_VALUE);
    WriteBytes(huge, "");
    std::filesystem::resize_file(huge, kMaxAttachmentBytes + 1);
    const wchar_t* kNecitelny = L"Soubor záznamu nelze přečíst (";
    struct {
        const char* server;
        HRESULT hr;
        const std::wstring& soubor;
        const wchar_t* text;
    } pripady[] = {{"greet554", E_FAIL, file, L""},
                   {"garbage", E_FAIL, file, L""},
                   {"auth", E_INVALIDARG, file, L""},  // a wrong password
                   {"data421", E_INVALIDARG, file, L""},
                   {"garbagemail", E_INVALIDARG, file, L""},
                   {"plain", kEFileTooLarge, huge, L"100 MB"},
                   {"plain", HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), zamceny, kNecitelny},
                   {"plain", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), smazany, kNecitelny}};
    for (auto& p : pripady) {
        SCOPED_TRACE(p.server + (" " + Narrow(p.soubor)));
        int n = Use(p.server);
        EmailSendTask t = Task(p.soubor);
        t.account.heslo = std::string(p.server) == "auth" ? L"tajne-spatne" : L"heslo-123";
        EXPECT_EQ(Odeslat(t), p.hr);
        EXPECT_EQ(posledni_.druh, kBublinaChyba);
        const std::wstring& text = posledni_.text;
        EXPECT_NE(text.find(p.soubor), std::wstring::npos) << Narrow(text);
        EXPECT_NE(text.find(p.text), std::wstring::npos) << Narrow(text);
        EXPECT_EQ(text.find(t.account.heslo), std::wstring::npos);
        EXPECT_EQ(text.find(L"úspěšně"), std::wstring::npos);
        Sleep(200);
        EXPECT_EQ(SmtpServers::Count(), n - 1);
    }
    CloseHandle(zamek);
}

// Command 40031 from the dialog: the further recipients without blanks, one worker at a time; a sending
// stalled in DATA fails within 70 s and the next goes out; the close stops one at once.
TEST_F(SendEmailTest, OneWorkerAtATimeAndAStalledSendingFailsOrStopsAtTheClose)
{
    ZaznamZprav boxy;
    int n = Use("plain");
    std::wstring file = folder_.File(L"b.wma");
    std::string bytes = RandomBytes(20000, 4);
    WriteBytes(file, bytes);
    EXPECT_EQ(Prikaz(file, L"petr@example.cz; refuse@example.cz"), S_OK);
    ASSERT_TRUE(CekatNaKonec(30000));
    EXPECT_EQ(ikona_.Posledni().druh, kBublinaInformace);
    auto s = SmtpServers::Summary(n);
    EXPECT_EQ(s.count("rcpt"), 2u);
    EXPECT_EQ(s["part2.sha256"], Sha256(bytes));
    EXPECT_EQ(g_emailSendJob.furtherList, (std::vector<std::wstring>{L"petr@example.cz", L"refuse@example.cz"}));

    // More than the connection's buffers hold, so that the sending blocks.
    std::wstring dlouhy = folder_.File(L"zavreni.wma");
    WriteBytes(dlouhy, RandomBytes(30u * 1024 * 1024, 6));
    Use("datastall");
    size_t log = SmtpServers::Log("datastall").size();
    auto zastavil = [&log] { return SmtpServers::Log("datastall").find("-- stalled", log) != std::string::npos; };
    unsigned long predtim = ikona_.Posledni().poradi;
    ULONGLONG start = GetTickCount64();
    ASSERT_EQ(Prikaz(dlouhy), S_OK);
    // A second command while it runs says so, without a dialog.
    ASSERT_TRUE(EmailSendRunning());
    EXPECT_EQ(StartEmailSend(nullptr, dlouhy), S_FALSE);
    const std::vector<std::wstring> probiha{STeckou(NacistRetezec(IDS_EMAIL_PROBIHA))};
    EXPECT_EQ(boxy.Zpravy(), probiha);
    ASSERT_TRUE(CekatNaKonec(75000));
    EXPECT_LT(GetTickCount64() - start, 70000u);
    EXPECT_EQ(ikona_.Posledni().druh, kBublinaChyba);
    EXPECT_GT(ikona_.Posledni().poradi, predtim);
    EXPECT_TRUE(zastavil());

    // The marker is free again: the next sending goes out.
    Use("plain");
    ASSERT_EQ(Prikaz(file), S_OK);
    ASSERT_TRUE(CekatNaKonec(30000));
    EXPECT_EQ(ikona_.Posledni().druh, kBublinaInformace);
    EXPECT_TRUE(SmtpServers::WaitCount(n + 1));
    EXPECT_EQ(boxy.Zpravy(), probiha);

    // The program's close: the worker stops at once and claims nothing about the sending.
    Use("datastall");
    log = SmtpServers::Log("datastall").size();
    pracovnici::Vlastnik vlastnik;
    std::mutex zamek;
    std::vector<pracovnici::Hlaseni> hlaseni;
    HRESULT hr = S_OK;
    EmailSendTask t = Task(dlouhy);
    auto hlasit = [&](pracovnici::Hlaseni h) {
        std::lock_guard<std::mutex> z(zamek);
        hlaseni.push_back(std::move(h));
    };
    auto prace = [&](const pracovnici::Zruseni& zruseni) { hr = SendEmail(t, hlasit, zruseni.Priznak()); };
    ASSERT_EQ(vlastnik.Spustit(pracovnici::Druh::Email, prace), S_OK);
    ASSERT_TRUE(PockatNa(zastavil, 30000)) << "the server never stalled";
    Sleep(300);
    start = GetTickCount64();
    EXPECT_TRUE(vlastnik.Ukoncit(pracovnici::kCekaniNaKonec));
    EXPECT_LT(GetTickCount64() - start, 1000u);
    EXPECT_FALSE(vlastnik.Bezi(pracovnici::Druh::Email));
    EXPECT_EQ(hr, E_ABORT);
    ASSERT_EQ(hlaseni.size(), 1u);  // the start, no outcome
    EXPECT_EQ(hlaseni[0].text, NacistText(20082, L"zavreni.wma", L"eva@example.cz"));
    // After the close nothing starts.
    EXPECT_EQ(vlastnik.Spustit(pracovnici::Druh::Email, [](const pracovnici::Zruseni&) {}), S_FALSE);
}

TEST_F(SmtpTest, TestMessageOfAnAccount)
{
    int n = Use("auth");
    SmtpTestData d{{L"jan@tonbar.test", L"heslo-123", L"Jan", L"nahravky", L"127.0.0.1"}, L"eva@example.cz",
                   L"Tonbar", NacistText(IDS_SMTPU_TEST_TEXT, L"Tonbar")};
    EXPECT_EQ(SendTestMessage(d), 0);
    ASSERT_TRUE(SmtpServers::WaitCount(n));
    EXPECT_EQ(SmtpServers::PartText(n, 1), L"Toto je testovací zpráva odeslaná z aplikace Tonbar");
    d.account.heslo = L"spatne";
    EXPECT_NE(SendTestMessage(d), 0);
    Use("greet554");
    EXPECT_NE(SendTestMessage(d), 0);
}

// The accounts' file in field order, loaded back sorted; an edit to another account's address is refused
// and keeps the account dialog open with what was typed.
TEST(SmtpAccounts, StoredInFieldOrderAndAnEditToAHeldAddressIsRefused)
{
    ZaznamZprav boxy;
    TestFolder slozka;
    PresmerovaniUloziste presmerovani(Uloziste::SmtpUcty, slozka.Path());
    SmtpAccountList list;
    list.items.push_back({L"b@example.cz", L"h2", L"Božena", L"bozena", L"smtp.example.cz"});
    list.items.push_back({L"a@example.cz", L"h<&>1", L"Adam", L"adam", L"mail.example.cz"});
    ASSERT_EQ(list.Save(), S_OK);
    std::string bytes = ReadBytes(slozka.File(L"smtp_ucty.rxml"));
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(text.rfind(L"<rxml_data>\r\n <nazev>smtp_ucty</nazev>\r\n</rxml_data>\r\n<smtp_ucet>\r\n <email>", 0), 0u);
    const wchar_t* pole[] = {L"<heslo>", L"<id>", L"<jmeno>", L"<server>"};
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(text.find(pole[i]), text.find(pole[i + 1])) << i;
    SmtpAccountList loaded;
    ASSERT_EQ(loaded.Load(), S_OK);
    EXPECT_EQ(loaded.Find(L"B@EXAMPLE.cz"), 1);
    EXPECT_EQ(loaded.Find(L"nikdo@example.cz"), -1);

    bool zustalOtevreny = false;
    std::wstring jmenoPoOdmitnuti;
    Ridit([] { return DlgSmtpUcty().DoModal(nullptr); }, [&] {
        HWND seznam = CekatNaDialog(L"", IDC_SMTPU_SEZNAM);
        if (!seznam)
            return;
        // The first account is selected; edit it.
        Kliknout(seznam, IDC_SMTPU_UPRAVIT);
        if (HWND ucet = CekatNaDialog(L"", IDC_SMTPU_HESLO)) {
            Napsat(ucet, IDC_SMTPU_JMENO, L"Adam Nový");
            Napsat(ucet, IDC_SMTPU_EMAIL, L"B@example.cz");  // the other account's address
            Kliknout(ucet, IDOK);
            PockatNa([&] { return !boxy.Zpravy().empty(); });
            Synchronizovat(ucet);
            zustalOtevreny = IsWindow(ucet) != FALSE;
            jmenoPoOdmitnuti = Text(ucet, IDC_SMTPU_JMENO);
            Napsat(ucet, IDC_SMTPU_EMAIL, L"c@example.cz");
            Kliknout(ucet, IDOK);
            CekatNaZavreni(ucet);
        }
        Kliknout(seznam, IDOK);
    });
    EXPECT_EQ(boxy.Zpravy(), std::vector<std::wstring>{STeckou(NacistRetezec(20072))});
    EXPECT_TRUE(zustalOtevreny);
    EXPECT_EQ(jmenoPoOdmitnuti, L"Adam Nový");
    ASSERT_EQ(loaded.Load(), S_OK);
    ASSERT_EQ(loaded.items.size(), 2u);
    EXPECT_EQ(loaded.items[0].email + L"|" + loaded.items[0].jmeno, L"b@example.cz|Božena");
    EXPECT_EQ(loaded.items[1].email + L"|" + loaded.items[1].jmeno + L"|" + loaded.items[1].heslo,
              L"c@example.cz|Adam Nový|h<&>1");
}
