// The SMTP client and the sending of a recording under Wine, against real
// servers on 127.0.0.1 (smtp_test.sh): aiosmtpd with AUTH LOGIN, and
// scripted servers for greetings, refusals, garbage and split replies.
#include "SmtpTestServer.h"

#include "app/Konfigurace.h"
#include "email/OdeslaniEmailem.h"
#include "email/Smtp.h"
#include "email/SmtpUcty.h"
#include "app/Chyby.h"
#include "app/Pracovnici.h"
#include "harness/TestFolder.h"
#include "mainwindow/IkonaOznameni.h"
#include "resources/resource.h"
#include "settings/NastaveniTest.h"
#include "stores/DatovaSlozka.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <thread>

using namespace mirvak::email;
using tonbar::test::SmtpServers;
using tonbar::test::TestFolder;

namespace {

const wchar_t kCzech[] = L"Příliš žluťoučký kůň úpěl ďábelské ódy";

// Remembers what the client reported.
class Zapisovac : public Smtp {
public:
    struct Udalost {
        std::string druh;
        int kod;
        std::wstring text;
    };
    std::vector<Udalost> udalosti;
    std::vector<std::wstring> prikazy;
    std::vector<uint64_t> prubeh;
    int odpovedNa535 = 0;

    int OnRejected(int code, const std::wstring& reply) override
    {
        udalosti.push_back({"rejected", code, reply});
        return code == 535 ? odpovedNa535 : 0;
    }
    void OnError(int code, const std::wstring& reply) override { udalosti.push_back({"error", code, reply}); }
    void OnReply(const wchar_t* command, int code, const std::wstring& reply) override
    {
        prikazy.push_back(command ? command : L"<greeting>");
        udalosti.push_back({"reply", code, reply});
    }
    int OnProgress(const char*, uint64_t sent, uint64_t) override
    {
        prubeh.push_back(sent);
        return 1;
    }
    bool Had(const std::string& druh, int kod) const
    {
        for (auto& u : udalosti)
            if (u.druh == druh && u.kod == kod)
                return true;
        return false;
    }
    std::string Dump() const
    {
        std::string out;
        for (size_t i = 0; i < udalosti.size(); ++i)
            out += udalosti[i].druh + " " + std::to_string(udalosti[i].kod) + " " +
                   tonbar::test::Narrow(udalosti[i].text) + "\n";
        return out;
    }
    bool Sent(const std::wstring& prefix) const
    {
        for (auto& p : prikazy)
            if (p.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        ASSERT_TRUE(WriteFile(f, bytes.data() + done, piece, &written, nullptr));
        done += written;
    }
    CloseHandle(f);
}

std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (size_t i = 0; i + 4 <= n; i += 4) {
        uint32_t v = rng();
        memcpy(&s[i], &v, 4);
    }
    return s;
}

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
        if (!SmtpServers::Available())
            GTEST_SKIP() << "run through smtp_test.sh (no TONBAR_SMTP_SPOOL)";
    }
    // A client pointed at one of the servers through the services file.
    void Use(const std::string& server) { ASSERT_TRUE(SmtpServers::UseService(SmtpServers::Port(server))) << server; }

    SmtpMessage Zprava(const std::wstring& to = L"eva@example.cz")
    {
        SmtpMessage m;
        m.from = {L"Jan Novák", L"jan@tonbar.test"};
        m.to.address = to;
        m.subject = L"Tonbar";
        SmtpTextPart p;
        p.text = L"abc";
        m.textParts.push_back(p);
        return m;
    }
};

} // namespace

TEST_F(SmtpTest, CzechTextGoesOutInCodePage1250AndDecodesInAMailClient)
{
    ASSERT_EQ(GetACP(), 1250u) << "smtp_test.sh runs the tests in a Czech locale";
    Use("auth");
    int before = SmtpServers::Count();
    Zapisovac smtp;
    smtp.userName = L"nahravky";
    smtp.password = L"heslo-123";
    ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
    EXPECT_EQ(smtp.esmtp, 1);
    EXPECT_TRUE(smtp.Sent(L"AUTH LOGIN"));
    // The credentials never reach what the client reports.
    for (auto& c : smtp.prikazy)
        EXPECT_EQ(c.find(L"aGVzbG8tMTIz"), std::wstring::npos);
    SmtpMessage m = Zprava();
    m.subject = L"Zkouška češtiny";
    std::wstring text = std::wstring(kCzech) + L"\r\n.\r\n.tečka na začátku\r\n";
    m.textParts[0].text = text;
    ASSERT_EQ(smtp.SendMail(m), 0) << smtp.Dump();
    smtp.Disconnect();
    ASSERT_TRUE(SmtpServers::WaitCount(before + 1));
    auto s = SmtpServers::Summary(before + 1);
    EXPECT_EQ(SmtpServers::One(s, "part1.charset"), "windows-1250");
    EXPECT_EQ(tonbar::test::Widen(SmtpServers::One(s, "header.Subject")), L"Zkouška češtiny");
    EXPECT_EQ(tonbar::test::Widen(SmtpServers::One(s, "header.From")), L"Jan Novák <jan@tonbar.test>");
    EXPECT_EQ(SmtpServers::PartText(before + 1, 1), text.substr(0, text.size() - 2));
}

TEST_F(SmtpTest, RefusedRecipientDoesNotStopTheMessageAndNoLoginMeansNoAuth)
{
    Use("plain");
    int before = SmtpServers::Count();
    Zapisovac smtp;
    ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
    SmtpMessage m = Zprava(L"refuse@example.cz");
    m.bccList.push_back({L"", L"petr@example.cz"});
    EXPECT_EQ(smtp.SendMail(m), 0);
    EXPECT_TRUE(smtp.Had("rejected", 550));
    EXPECT_FALSE(smtp.Sent(L"AUTH"));
    smtp.Disconnect();
    ASSERT_TRUE(SmtpServers::WaitCount(before + 1));
    auto s = SmtpServers::Summary(before + 1);
    EXPECT_EQ(s.count("rcpt"), 1u);
    EXPECT_EQ(SmtpServers::One(s, "rcpt"), "petr@example.cz");
    EXPECT_EQ(SmtpServers::One(s, "header.Bcc"), "<missing>");

    // Nobody accepted: the last refusal is the result and nothing is sent.
    Zapisovac druhy;
    ASSERT_EQ(druhy.Connect(L"127.0.0.1"), 1);
    SmtpMessage nikdo = Zprava(L"refuse1@example.cz");
    EXPECT_EQ(druhy.SendMail(nikdo), 550);
    EXPECT_FALSE(druhy.Sent(L"DATA"));
}

TEST_F(SmtpTest, LongMessageGoesInPiecesWithProgress)
{
    Use("plain");
    int before = SmtpServers::Count();
    Zapisovac smtp;
    smtp.pieceSize = 1024;
    ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
    ASSERT_EQ(smtp.MailFrom(L"jan@tonbar.test"), 0);
    ASSERT_EQ(smtp.RcptTo(L"eva@example.cz"), 0);
    std::string text = "Subject: pieces\r\n\r\n";
    while (text.size() < 3000)
        text += "0123456789abcdef0123456789abcdef0123456789abcdef0123456789\r\n";
    text.resize(3000);
    ASSERT_EQ(smtp.Data(text), 0);
    EXPECT_EQ(smtp.prubeh, (std::vector<uint64_t>{1024, 2048, 3000}));
    smtp.Disconnect();
    EXPECT_TRUE(SmtpServers::WaitCount(before + 1));
}

TEST_F(SmtpTest, InjectedAddressesAreRefusedBeforeAnythingIsSent)
{
    Use("plain");
    Zapisovac smtp;
    ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
    SmtpMessage m = Zprava(L"eva@example.cz>\r\nRCPT TO: <evil@example.cz");
    EXPECT_EQ(smtp.SendMail(m), -1);
    SmtpMessage z = Zprava();
    z.from.address = L"jan@tonbar.test>\r\nDATA";
    EXPECT_NE(smtp.SendMail(z), 0);
    EXPECT_FALSE(smtp.Sent(L"DATA"));
    EXPECT_FALSE(smtp.Sent(L"RCPT"));
}

TEST_F(SmtpTest, ServerFaultsNeverCountAsSuccess)
{
    {
        // 554 greeting: no introduction, no QUIT.
        Use("greet554");
        Zapisovac smtp;
        EXPECT_EQ(smtp.Connect(L"127.0.0.1"), 0);
        EXPECT_TRUE(smtp.Had("error", 554));
        EXPECT_EQ(smtp.socket, INVALID_SOCKET);
        Sleep(300);
        std::string log = SmtpServers::Log("greet554");
        EXPECT_EQ(log.find("EHLO"), std::string::npos) << log;
        EXPECT_EQ(log.find("QUIT"), std::string::npos) << log;
    }
    {
        // 502 to EHLO: HELO on the same connection, no authentication.
        Use("ehlo502");
        int before = SmtpServers::Count();
        Zapisovac smtp;
        smtp.userName = L"nahravky";
        smtp.password = L"heslo-123";
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
        EXPECT_EQ(smtp.esmtp, 0);
        SmtpMessage m = Zprava();
        EXPECT_EQ(smtp.SendMail(m), 0);
        smtp.Disconnect();
        EXPECT_TRUE(SmtpServers::WaitCount(before + 1));
        std::string log = SmtpServers::Log("ehlo502");
        size_t ehlo = log.find("EHLO "), helo = log.find("HELO ");
        EXPECT_NE(ehlo, std::string::npos);
        EXPECT_NE(helo, std::string::npos);
        EXPECT_LT(ehlo, helo);
        EXPECT_EQ(log.find("AUTH"), std::string::npos) << log;
    }
    {
        // Garbage instead of replies: code 0 is no success anywhere.
        Use("garbage");
        Zapisovac smtp;
        EXPECT_EQ(smtp.Connect(L"127.0.0.1"), 0);
        EXPECT_TRUE(smtp.Had("reply", 0));
    }
    {
        Use("garbagemail");
        Zapisovac smtp;
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
        SmtpMessage m = Zprava();
        EXPECT_NE(smtp.SendMail(m), 0);
        EXPECT_FALSE(smtp.Sent(L"RCPT"));
        EXPECT_FALSE(smtp.Sent(L"DATA"));
    }
    {
        // 421 and a closed connection in the middle of DATA.
        Use("data421");
        Zapisovac smtp;
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
        SmtpMessage m = Zprava();
        m.textParts[0].text = std::wstring(200000, L'x');
        EXPECT_NE(smtp.SendMail(m), 0);
        EXPECT_EQ(smtp.greeted, 0);
    }
    {
        // The server closes while a reply is awaited: -1 at once.
        Use("closing");
        Zapisovac smtp;
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(smtp.Connect(L"127.0.0.1"), 0);
        EXPECT_LT(GetTickCount64() - start, 10000u);
        EXPECT_EQ(smtp.greeted, 0);
    }
    {
        // A challenge other than "Username:" or "Password:": the exchange is
        // cancelled with "*" before anything else is said, and it fails.
        Use("authodd");
        int before = SmtpServers::Count();
        Zapisovac smtp;
        smtp.userName = L"nahravky";
        smtp.password = L"heslo-123";
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
        EXPECT_TRUE(smtp.Had("error", 501)) << smtp.Dump();
        SmtpMessage m = Zprava();
        EXPECT_EQ(smtp.SendMail(m), 530) << smtp.Dump();
        smtp.Disconnect();
        std::string log = SmtpServers::Log("authodd");
        EXPECT_NE(log.find("answer=*\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("answer=MAIL"), std::string::npos) << log;
        EXPECT_EQ(SmtpServers::Count(), before);
    }
    {
        // Wrong password: 535, then MAIL FROM meets 530 and gives up.
        Use("auth");
        Zapisovac smtp;
        smtp.userName = L"nahravky";
        smtp.password = L"spatne";
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
        EXPECT_TRUE(smtp.Had("rejected", 535)) << smtp.Dump();
        SmtpMessage m = Zprava();
        EXPECT_EQ(smtp.SendMail(m), 530) << smtp.Dump();
    }
}

TEST_F(SmtpTest, SplitAndLongMultiLineRepliesAreReadWhole)
{
    for (const char* server : {"split", "multiline"}) {
        Use(server);
        int before = SmtpServers::Count();
        Zapisovac smtp;
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1) << server;
        EXPECT_EQ(smtp.esmtp, 1);
        SmtpMessage m = Zprava();
        EXPECT_EQ(smtp.SendMail(m), 0) << server;
        EXPECT_EQ(smtp.Quit(), 0);
        smtp.Disconnect();
        ASSERT_TRUE(SmtpServers::WaitCount(before + 1)) << server;
        // Every reply belonged to its own command.
        for (size_t i = 0; i < smtp.prikazy.size(); ++i) {
            if (smtp.prikazy[i].rfind(L"MAIL", 0) == 0 || smtp.prikazy[i].rfind(L"RCPT", 0) == 0)
                EXPECT_EQ(smtp.udalosti[i].kod, 250) << server;
        }
    }
}

TEST_F(SmtpTest, EightBitOnlyToServersThatOfferItAndLongNamesParseStrictly)
{
    TestFolder folder;
    const std::wstring jmenoSouboru = L"Záznam porady o rozpočtu na příští rok, část první a druhá (čistopis).wma";
    std::wstring file = folder.File(jmenoSouboru);
    WriteFileBytes(file, RandomBytes(3000, 8));
    const std::wstring predmet = std::wstring(kCzech) + L" – " + kCzech;
    const std::wstring odesilatel = L"Jan Novák z oddělení záznamů a archivace zvukových nahrávek";
    struct Pripad {
        const char* server;
        const char* kodovani;
        const char* volby;
    } pripady[] = {{"plain", "8bit", "BODY=8BITMIME"}, {"ehlo502", "quoted-printable", ""}};
    for (const Pripad& p : pripady) {
        SCOPED_TRACE(p.server);
        Use(p.server);
        int before = SmtpServers::Count();
        Zapisovac smtp;
        ASSERT_EQ(smtp.Connect(L"127.0.0.1"), 1);
        SmtpMessage m = Zprava();
        m.from.name = odesilatel;
        m.subject = predmet;
        m.textParts[0].text = NacistRetezec(IDS_EMAIL_TEXT_ZPRAVY);  // a few letters above 126: 8bit
        SmtpAttachment a;
        a.filePath = file;
        m.attachments.push_back(a);
        ASSERT_EQ(smtp.SendMail(m), 0) << smtp.Dump();
        smtp.Disconnect();
        ASSERT_TRUE(SmtpServers::WaitCount(before + 1));
        auto s = SmtpServers::Summary(before + 1);
        EXPECT_EQ(SmtpServers::One(s, "strict"), "ok");
        EXPECT_EQ(SmtpServers::One(s, "part1.encoding"), p.kodovani);
        EXPECT_EQ(SmtpServers::One(s, "mail_options"), p.volby);
        EXPECT_EQ(SmtpServers::PartText(before + 1, 1), NacistRetezec(IDS_EMAIL_TEXT_ZPRAVY));
        EXPECT_EQ(tonbar::test::Widen(SmtpServers::One(s, "header.Subject")), predmet);
        EXPECT_EQ(tonbar::test::Widen(SmtpServers::One(s, "rfc2047.From")), odesilatel + L" <jan@tonbar.test>");
        EXPECT_EQ(tonbar::test::Widen(SmtpServers::One(s, "part2.filename")), jmenoSouboru);
        EXPECT_EQ(tonbar::test::Widen(SmtpServers::One(s, "part2.name")), jmenoSouboru);
        // Lines that hold encoded words keep within 76 characters; the Date
        // has a two-digit hour; without 8BITMIME no byte has its top bit set.
        std::string raw = SmtpServers::Raw(before + 1);
        std::istringstream radky(raw.substr(0, raw.find("\r\n\r\n")));
        std::string radek;
        while (std::getline(radky, radek)) {
            if (!radek.empty() && radek.back() == '\r')
                radek.pop_back();
            if (radek.find("=?") != std::string::npos) {
                EXPECT_LE(radek.size(), 76u) << radek;
            }
            if (radek.rfind("Date: ", 0) == 0) {
                std::istringstream slova(radek);
                std::string w[6];
                for (auto& x : w)
                    slova >> x;
                EXPECT_EQ(w[5].size(), 8u) << radek;  // HH:MM:SS
            }
        }
        EXPECT_EQ(raw.find("name=\"=?"), std::string::npos);
        if (std::string(p.volby).empty()) {
            for (char c : raw)
                ASSERT_LT(static_cast<unsigned char>(c), 128u);
        }
    }
}

// --- the sending of a recording ----------------------------------------------

class SendEmailTest : public SmtpTest {
protected:
    void SetUp() override
    {
        SmtpTest::SetUp();
        if (IsSkipped())
            return;
        // Stands in for the main window: the workers' reports arrive here and
        // go to its icon.
        WNDCLASSW trida{};
        trida.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == pracovnici::WM_HLASENI_PRACOVNIKU) {
                pracovnici::ZobrazitHlaseni();
                return 0;
            }
            return DefWindowProcW(h, m, w, l);
        };
        trida.hInstance = GetModuleHandleW(nullptr);
        trida.lpszClassName = L"TonbarSmtpTestOkno";
        RegisterClassW(&trida);
        okno_ = CreateWindowExW(0, trida.lpszClassName, L"Tonbar", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                trida.hInstance, nullptr);
        SendMessageW(okno_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconW(nullptr, IDI_APPLICATION)));
        ikona_.Pridat(okno_, 1, false, false);
        NastavitIkonuHlavnihoOkna(&ikona_);
        pracovnici::NastavitOkno(okno_);
    }
    void TearDown() override
    {
        pracovnici::NastavitOkno(nullptr);
        NastavitIkonuHlavnihoOkna(nullptr);
        ikona_.Odebrat();
        if (okno_)
            DestroyWindow(okno_);
    }
    EmailSendTask Task(const std::wstring& file)
    {
        EmailSendTask t;
        t.account = {L"jan@tonbar.test", L"heslo-123", L"Jan Novák", L"nahravky", L"127.0.0.1"};
        t.recipient = L"eva@example.cz";
        t.filePath = file;
        t.ulozitZobrazeni = false;
        return t;
    }
    // The worker's body on this thread; what it reported is in hlaseni_.
    HRESULT Odeslat(const EmailSendTask& t)
    {
        hlaseni_.clear();
        return SendEmail(t, [this](pracovnici::Hlaseni h) { hlaseni_.push_back(std::move(h)); });
    }
    pracovnici::Hlaseni Posledni() const { return hlaseni_.empty() ? pracovnici::Hlaseni{} : hlaseni_.back(); }
    IkonaOznameni::Bublina Last() { return ikona_.PosledniBublina(); }

    // Command 40031 as the main window runs it, the dialog answered with OK
    // (with `dalsi` as the further recipients) from another thread.
    HRESULT Prikaz(const std::wstring& file, const std::wstring& dalsi, const std::wstring& server)
    {
        static bool inicializovana = false;
        if (!inicializovana) {
            InicializovatKonfiguraci(g_konfigurace);
            inicializovana = true;
        }
        g_konfigurace.smtp_ucet = {L"jan@tonbar.test", L"", L"Jan", L"", server};
        g_konfigurace.prijemci_email = L"eva@example.cz";
        g_konfigurace.prijemci_dalsi_emaily = L"";
        g_konfigurace.zprava_ikona = 2;
        std::thread uzivatel([dalsi] {
            for (int i = 0; i < 200; ++i) {
                HWND dlg = FindWindowW(L"#32770", NacistText(20080, L"Tonbar").c_str());
                if (dlg) {
                    SetDlgItemTextW(dlg, IDC_EMAIL_DALSI, dalsi.c_str());
                    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
                    return;
                }
                Sleep(50);
            }
        });
        HRESULT hr = StartEmailSend(nullptr, file);
        uzivatel.join();
        return hr;
    }
    // Waits for the sending, delivering the reports posted to this thread.
    bool CekatNaKonec(DWORD ms)
    {
        bool konec = tonbar::test::Cekat([] { return !EmailSendRunning(); }, static_cast<int>(ms));
        tonbar::test::Cekat([] { return false; }, 50);  // what was posted last
        return konec;
    }

    TestFolder folder_;
    HWND okno_ = nullptr;
    IkonaOznameni ikona_;
    std::vector<pracovnici::Hlaseni> hlaseni_;
};

TEST_F(SendEmailTest, RecordingArrivesByteIdenticalAndTheBalloonNamesOnlyAcceptedRecipients)
{
    Use("auth");
    std::wstring file = folder_.File(L"5.12.2026 09-07-03.wma");
    std::string bytes = RandomBytes(300000, 1);
    WriteFileBytes(file, bytes);
    int before = SmtpServers::Count();
    EmailSendTask t = Task(file);
    t.further = {L"petr@example.cz", L"refuse@example.cz"};
    EXPECT_EQ(Odeslat(t), S_OK);
    EXPECT_EQ(Posledni().druh, kBublinaInformace);
    EXPECT_EQ(Posledni().text, NacistText(20083, file.c_str(), L"eva@example.cz, petr@example.cz") + L"\n" +
                                   NacistText(IDS_EMAIL_ODMITNUTI, L"refuse@example.cz"));
    ASSERT_TRUE(SmtpServers::WaitCount(before + 1));
    EXPECT_EQ(SmtpServers::Count(), before + 1);  // one message for the whole list
    auto s = SmtpServers::Summary(before + 1);
    EXPECT_EQ(SmtpServers::One(s, "mail_from"), "jan@tonbar.test");
    EXPECT_EQ(s.count("rcpt"), 2u);
    EXPECT_EQ(SmtpServers::One(s, "type"), "multipart/mixed");
    EXPECT_EQ(SmtpServers::One(s, "header.To"), "eva@example.cz");
    EXPECT_EQ(SmtpServers::One(s, "header.Subject"), "Tonbar");
    EXPECT_EQ(SmtpServers::One(s, "header.MIME-Version"), "1.0");
    EXPECT_EQ(SmtpServers::One(s, "header.X-Mailer"), "ZUviv Class (www.mirvak.example.org)");
    EXPECT_NE(SmtpServers::One(s, "header.Date"), "<missing>");
    EXPECT_EQ(SmtpServers::One(s, "strict"), "ok");
    EXPECT_EQ(SmtpServers::One(s, "part1.type"), "text/plain");
    EXPECT_EQ(SmtpServers::PartText(before + 1, 1), L"Tonbar odeslaný z aplikace \"Tonbar\"");
    EXPECT_EQ(SmtpServers::One(s, "part2.encoding"), "base64");
    EXPECT_EQ(SmtpServers::One(s, "part2.disposition"), "inline");
    EXPECT_EQ(SmtpServers::One(s, "part2.filename"), "5.12.2026 09-07-03.wma");
    EXPECT_EQ(SmtpServers::One(s, "part2.sha256"), tonbar::test::Sha256(bytes));

    // The main recipient refused, a copy accepted: the balloon does not
    // claim the recording reached the main recipient.
    t.recipient = L"refuse@example.cz";
    t.further = {L"petr@example.cz"};
    EXPECT_EQ(Odeslat(t), S_OK);
    EXPECT_EQ(Posledni().text, NacistText(20083, file.c_str(), L"petr@example.cz") + L"\n" +
                                   NacistText(IDS_EMAIL_ODMITNUTI, L"refuse@example.cz"));
    ASSERT_TRUE(SmtpServers::WaitCount(before + 2));
    auto druha = SmtpServers::Summary(before + 2);
    EXPECT_EQ(druha.count("rcpt"), 1u);
    EXPECT_EQ(SmtpServers::One(druha, "rcpt"), "petr@example.cz");
}

TEST_F(SendEmailTest, RecordingOpenElsewhereIsSentAndAnUnreadableOneStopsTheMessage)
{
    Use("plain");
    std::wstring file = folder_.File(L"otevřený záznam.wma");
    std::string bytes = RandomBytes(200000, 5);
    WriteFileBytes(file, bytes);
    // How the player, the list of recordings and a writer hold a recording.
    struct Drzitel {
        const char* kdo;
        DWORD pristup;
        DWORD sdileni;
    } drzitele[] = {{"player", GENERIC_READ, FILE_SHARE_READ},
                    {"list", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
                    {"writer", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ}};
    for (const Drzitel& d : drzitele) {
        HANDLE h = CreateFileW(file.c_str(), d.pristup, d.sdileni, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << d.kdo;
        int before = SmtpServers::Count();
        EXPECT_EQ(Odeslat(Task(file)), S_OK) << d.kdo;
        CloseHandle(h);
        EXPECT_EQ(Posledni().druh, kBublinaInformace) << d.kdo;
        ASSERT_TRUE(SmtpServers::WaitCount(before + 1)) << d.kdo;
        EXPECT_EQ(SmtpServers::One(SmtpServers::Summary(before + 1), "part2.sha256"), tonbar::test::Sha256(bytes))
            << d.kdo;
    }

    // Held by someone who shares nothing, or deleted after the dialog
    // closed: the failure balloon says why and no message goes out.
    HANDLE zamek = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(zamek, INVALID_HANDLE_VALUE);
    struct Pripad {
        const char* co;
        HRESULT hr;
    } pripady[] = {{"locked", HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)},
                   {"deleted", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)}};
    for (const Pripad& p : pripady) {
        if (std::string(p.co) == "deleted") {
            CloseHandle(zamek);
            ASSERT_TRUE(DeleteFileW(file.c_str()));
        }
        int before = SmtpServers::Count();
        EXPECT_EQ(Odeslat(Task(file)), p.hr) << p.co;
        EXPECT_EQ(Posledni().druh, kBublinaChyba) << p.co;
        EXPECT_NE(Posledni().text.find(L"Soubor záznamu nelze přečíst ("), std::wstring::npos)
            << p.co << ": " << tonbar::test::Narrow(Posledni().text);
        EXPECT_EQ(Posledni().text.find(L"úspěšně"), std::wstring::npos) << p.co;
        Sleep(300);
        EXPECT_EQ(SmtpServers::Count(), before) << p.co;
    }
}

TEST_F(SendEmailTest, FiftyMegabyteAttachment)
{
    Use("auth");
    std::wstring file = folder_.File(L"Záznam 50.wma");
    std::string bytes = RandomBytes(50u * 1024 * 1024, 2);
    WriteFileBytes(file, bytes);
    int before = SmtpServers::Count();
    EXPECT_EQ(Odeslat(Task(file)), S_OK);
    ASSERT_TRUE(SmtpServers::WaitCount(before + 1, 60000));
    auto s = SmtpServers::Summary(before + 1);
    EXPECT_EQ(SmtpServers::One(s, "part2.size"), std::to_string(bytes.size()));
    EXPECT_EQ(SmtpServers::One(s, "part2.sha256"), tonbar::test::Sha256(bytes));
    EXPECT_EQ(tonbar::test::Widen(SmtpServers::One(s, "part2.filename")), L"Záznam 50.wma");
}

TEST_F(SendEmailTest, FailuresEndInTheErrorBalloonWithoutThePassword)
{
    std::wstring file = folder_.File(L"a.wma");
    WriteFileBytes(file, RandomBytes(5000, 3));
    struct Pripad {
        const char* server;
        HRESULT hr;
        const wchar_t* heslo;
    } pripady[] = {{"greet554", E_FAIL, L"heslo-123"},
                   {"garbage", E_FAIL, L"heslo-123"},
                   {"auth", E_INVALIDARG, L"tajne-spatne"},
                   {"data421", E_INVALIDARG, L"heslo-123"},
                   {"garbagemail", E_INVALIDARG, L"heslo-123"}};
    for (auto& p : pripady) {
        Use(p.server);
        int before = SmtpServers::Count();
        EmailSendTask t = Task(file);
        t.account.heslo = p.heslo;
        EXPECT_EQ(Odeslat(t), p.hr) << p.server;
        auto b = Posledni();
        EXPECT_EQ(b.druh, kBublinaChyba) << p.server;
        EXPECT_NE(b.text.find(file), std::wstring::npos) << p.server;
        EXPECT_EQ(b.text.find(p.heslo), std::wstring::npos) << p.server;
        EXPECT_EQ(b.text.find(L"úspěšně"), std::wstring::npos) << p.server;
        Sleep(200);
        EXPECT_EQ(SmtpServers::Count(), before) << p.server;
    }
}

TEST_F(SendEmailTest, AttachmentAboveTheCapIsRefusedBeforeConnecting)
{
    Use("plain");
    std::wstring file = folder_.File(L"huge.wma");
    HANDLE f = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(kMaxAttachmentBytes) + 1;
    SetFilePointerEx(f, size, nullptr, FILE_BEGIN);
    SetEndOfFile(f);
    CloseHandle(f);
    int before = SmtpServers::Count();
    EXPECT_EQ(Odeslat(Task(file)), kEFileTooLarge);
    EXPECT_EQ(Posledni().druh, kBublinaChyba);
    EXPECT_NE(Posledni().text.find(L"100 MB"), std::wstring::npos) << tonbar::test::Narrow(Posledni().text);
    EXPECT_EQ(SmtpServers::Count(), before);
}

TEST_F(SendEmailTest, CommandRunsOneWorkerAtATimeFromTheDialog)
{
    tonbar::test::ZaznamZprav boxy;
    Use("plain");
    std::wstring file = folder_.File(L"b.wma");
    std::string bytes = RandomBytes(20000, 4);
    WriteFileBytes(file, bytes);
    int before = SmtpServers::Count();
    EXPECT_EQ(Prikaz(file, L"petr@example.cz; refuse@example.cz", L"127.0.0.1"), S_OK);
    ASSERT_TRUE(CekatNaKonec(30000));
    EXPECT_EQ(Last().druh, kBublinaInformace);
    ASSERT_TRUE(SmtpServers::WaitCount(before + 1));
    auto s = SmtpServers::Summary(before + 1);
    EXPECT_EQ(s.count("rcpt"), 2u);
    EXPECT_EQ(SmtpServers::One(s, "part2.sha256"), tonbar::test::Sha256(bytes));
    // Blanks around the further recipients are no part of them.
    EXPECT_EQ(g_emailSendJob.furtherList, (std::vector<std::wstring>{L"petr@example.cz", L"refuse@example.cz"}));
}

TEST_F(SendEmailTest, TheCloseStopsASendingStalledInDataAtOnce)
{
    // What the program's close does to the e-mail worker: told to stop and
    // waited for, with nothing claimed about the sending.
    Use("datastall");
    std::wstring file = folder_.File(L"zavreni.wma");
    WriteFileBytes(file, RandomBytes(30u * 1024 * 1024, 9));
    auto pocet = [] {
        std::string log = SmtpServers::Log("datastall");
        size_t n = 0;
        for (size_t i = log.find("-- stalled"); i != std::string::npos; i = log.find("-- stalled", i + 1))
            ++n;
        return n;
    };
    const size_t predtim = pocet();
    pracovnici::Vlastnik vlastnik;
    std::mutex zamek;
    std::vector<pracovnici::Hlaseni> hlaseni;
    HRESULT hr = S_OK;
    EmailSendTask t = Task(file);
    ASSERT_EQ(vlastnik.Spustit(pracovnici::Druh::Email,
                               [&](const pracovnici::Zruseni& zruseni) {
                                   hr = SendEmail(
                                       t,
                                       [&](pracovnici::Hlaseni h) {
                                           std::lock_guard<std::mutex> z(zamek);
                                           hlaseni.push_back(std::move(h));
                                       },
                                       zruseni.Priznak());
                               }),
              S_OK);
    for (int i = 0; i < 300 && pocet() == predtim; ++i)
        Sleep(100);
    ASSERT_GT(pocet(), predtim) << "the server never stalled";
    Sleep(300);
    ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(vlastnik.Ukoncit(pracovnici::kCekaniNaKonec));
    EXPECT_LT(GetTickCount64() - start, 1000u);
    EXPECT_FALSE(vlastnik.Bezi(pracovnici::Druh::Email));
    EXPECT_EQ(hr, E_ABORT);
    ASSERT_EQ(hlaseni.size(), 1u);  // the start, no outcome
    EXPECT_EQ(hlaseni[0].text, NacistText(20082, L"zavreni.wma", L"eva@example.cz"));
    // After the close nothing starts.
    EXPECT_EQ(vlastnik.Spustit(pracovnici::Druh::Email, [](const pracovnici::Zruseni&) {}), S_FALSE);
}

TEST_F(SendEmailTest, StalledServerFailsWithinSeventySecondsAndTheNextSendingWorks)
{
    tonbar::test::ZaznamZprav boxy;
    // More than the connection's buffers hold, so that the sending blocks.
    std::wstring file = folder_.File(L"dlouhy.wma");
    WriteFileBytes(file, RandomBytes(30u * 1024 * 1024, 6));
    Use("datastall");
    unsigned long predtim = Last().poradi;
    ULONGLONG start = GetTickCount64();
    ASSERT_EQ(Prikaz(file, L"", L"127.0.0.1"), S_OK);
    // A second command while it runs says so, without a dialog.
    ASSERT_TRUE(EmailSendRunning());
    EXPECT_EQ(StartEmailSend(nullptr, file), S_FALSE);
    const std::vector<std::wstring> probiha{STeckou(NacistRetezec(IDS_EMAIL_PROBIHA))};
    EXPECT_EQ(boxy.Zpravy(), probiha);
    ASSERT_TRUE(CekatNaKonec(75000));
    EXPECT_LT(GetTickCount64() - start, 70000u);
    EXPECT_EQ(Last().druh, kBublinaChyba);
    EXPECT_GT(Last().poradi, predtim);
    EXPECT_NE(SmtpServers::Log("datastall").find("-- stalled"), std::string::npos);

    // The marker is free again: the next sending goes out.
    Use("plain");
    std::wstring maly = folder_.File(L"maly.wma");
    WriteFileBytes(maly, RandomBytes(10000, 7));
    int before = SmtpServers::Count();
    ASSERT_EQ(Prikaz(maly, L"", L"127.0.0.1"), S_OK);
    ASSERT_TRUE(CekatNaKonec(30000));
    EXPECT_EQ(Last().druh, kBublinaInformace);
    EXPECT_TRUE(SmtpServers::WaitCount(before + 1));
    EXPECT_EQ(boxy.Zpravy(), probiha);
}

TEST_F(SmtpTest, TestMessageOfAnAccount)
{
    Use("auth");
    int before = SmtpServers::Count();
    SmtpTestData d;
    d.account = {L"jan@tonbar.test", L"heslo-123", L"Jan", L"nahravky", L"127.0.0.1"};
    d.recipient = L"eva@example.cz";
    d.subject = L"Tonbar";
    d.text = NacistText(IDS_SMTPU_TEST_TEXT, L"Tonbar");
    EXPECT_EQ(SendTestMessage(d), 0);
    ASSERT_TRUE(SmtpServers::WaitCount(before + 1));
    EXPECT_EQ(SmtpServers::PartText(before + 1, 1), L"Toto je testovací zpráva odeslaná z aplikace Tonbar");
    d.account.heslo = L"spatne";
    EXPECT_NE(SendTestMessage(d), 0);
    d.account.server = L"127.0.0.1";
    Use("greet554");
    EXPECT_NE(SendTestMessage(d), 0);
}

TEST(SmtpAccountList, SavesSortedAndFindsWithoutRegardToCase)
{
    std::wstring path;
    ASSERT_GE(ResolveStoreFile(Uloziste::SmtpUcty, path), 0);
    std::string puvodni = tonbar::test::ReadBytes(path);
    bool existoval = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;

    SmtpAccountList list;
    list.items.push_back({L"zora@example.cz", L"h1", L"Zora", L"zora", L"smtp.example.cz"});
    list.items.push_back({L"Adam@example.cz", L"h<&>2", L"Adam Černý", L"", L"mail.example.cz"});
    ASSERT_EQ(list.Save(), S_OK);
    SmtpAccountList loaded;
    ASSERT_EQ(loaded.Load(), S_OK);
    ASSERT_EQ(loaded.items.size(), 2u);
    EXPECT_EQ(loaded.items[0].email, L"Adam@example.cz");
    EXPECT_EQ(loaded.items[0].heslo, L"h<&>2");
    EXPECT_EQ(loaded.items[0].jmeno, L"Adam Černý");
    EXPECT_EQ(loaded.items[1].server, L"smtp.example.cz");
    EXPECT_EQ(loaded.Find(L"ZORA@example.CZ"), 1);
    EXPECT_EQ(loaded.Find(L"nikdo@example.cz"), -1);
    // Fields in the store's order: email, heslo, id, jmeno, server.
    std::string bytes = tonbar::test::ReadBytes(path);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(text.rfind(L"<rxml_data>\r\n <nazev>smtp_ucty</nazev>\r\n</rxml_data>\r\n<smtp_ucet>\r\n <email>", 0), 0u);
    EXPECT_LT(text.find(L"<heslo>"), text.find(L"<id>"));
    EXPECT_LT(text.find(L"<id>"), text.find(L"<jmeno>"));
    EXPECT_LT(text.find(L"<jmeno>"), text.find(L"<server>"));

    if (existoval) {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD w = 0;
        WriteFile(f, puvodni.data(), static_cast<DWORD>(puvodni.size()), &w, nullptr);
        CloseHandle(f);
    } else {
        DeleteFileW(path.c_str());
    }
}

TEST(SmtpAccountsDialog, ARefusedAddressKeepsTheAccountDialogOpenWithTheEdit)
{
    tonbar::test::ZaznamZprav boxy;
    std::wstring path;
    ASSERT_GE(ResolveStoreFile(Uloziste::SmtpUcty, path), 0);
    std::string puvodni = tonbar::test::ReadBytes(path);
    bool existoval = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    SmtpAccountList list;
    list.items.push_back({L"a@example.cz", L"h1", L"Adam", L"adam", L"smtp.example.cz"});
    list.items.push_back({L"b@example.cz", L"h2", L"Božena", L"bozena", L"smtp.example.cz"});
    ASSERT_EQ(list.Save(), S_OK);

    // Finds this thread's dialog that has control `id`.
    const DWORD vlakno = GetCurrentThreadId();
    auto najit = [vlakno](int id) {
        for (int i = 0; i < 200; ++i) {
            std::pair<int, HWND> h{id, nullptr};
            EnumThreadWindows(
                vlakno,
                [](HWND w, LPARAM l) -> BOOL {
                    auto* h = reinterpret_cast<std::pair<int, HWND>*>(l);
                    if (IsWindowEnabled(w) && GetDlgItem(w, h->first))
                        h->second = w;
                    return h->second == nullptr;
                },
                reinterpret_cast<LPARAM>(&h));
            if (h.second)
                return h.second;
            Sleep(50);
        }
        return static_cast<HWND>(nullptr);
    };
    auto text = [](HWND dlg, int id) {
        wchar_t t[256] = {};
        GetDlgItemTextW(dlg, id, t, 256);
        return std::wstring(t);
    };
    bool zustalOtevreny = false;
    std::wstring jmenoPoOdmitnuti;
    std::thread uzivatel([&] {
        HWND seznam = najit(IDC_SMTPU_SEZNAM);
        if (!seznam)
            return;
        // The first account is selected; edit it.
        PostMessageW(seznam, WM_COMMAND, MAKEWPARAM(IDC_SMTPU_UPRAVIT, BN_CLICKED), 0);
        HWND ucet = najit(IDC_SMTPU_HESLO);
        if (ucet) {
            SetDlgItemTextW(ucet, IDC_SMTPU_JMENO, L"Adam Nový");
            SetDlgItemTextW(ucet, IDC_SMTPU_EMAIL, L"B@example.cz");  // the other account's address
            PostMessageW(ucet, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 100 && boxy.Zpravy().empty(); ++i)
                Sleep(50);
            Sleep(200);
            zustalOtevreny = IsWindow(ucet) != FALSE;
            jmenoPoOdmitnuti = text(ucet, IDC_SMTPU_JMENO);
            SetDlgItemTextW(ucet, IDC_SMTPU_EMAIL, L"c@example.cz");
            PostMessageW(ucet, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 100 && IsWindow(ucet); ++i)
                Sleep(50);
        }
        PostMessageW(seznam, WM_COMMAND, IDOK, 0);
    });
    DlgSmtpUcty dialog;
    dialog.DoModal(nullptr);
    uzivatel.join();

    EXPECT_EQ(boxy.Zpravy(), std::vector<std::wstring>{STeckou(NacistRetezec(20072))});
    EXPECT_TRUE(zustalOtevreny);
    EXPECT_EQ(jmenoPoOdmitnuti, L"Adam Nový");
    SmtpAccountList loaded;
    ASSERT_EQ(loaded.Load(), S_OK);
    ASSERT_EQ(loaded.items.size(), 2u);
    EXPECT_EQ(loaded.items[0].email, L"b@example.cz");
    EXPECT_EQ(loaded.items[0].jmeno, L"Božena");
    EXPECT_EQ(loaded.items[1].email, L"c@example.cz");
    EXPECT_EQ(loaded.items[1].jmeno, L"Adam Nový");
    EXPECT_EQ(loaded.items[1].heslo, L"h1");

    if (existoval) {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD w = 0;
        WriteFile(f, puvodni.data(), static_cast<DWORD>(puvodni.size()), &w, nullptr);
        CloseHandle(f);
    } else {
        DeleteFileW(path.c_str());
    }
}
