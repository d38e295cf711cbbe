// The portable e-mail core: encoders against Python's base64, quopri and
// email packages, the encoding choice, the composed structure and the
// reply reader.
#include "email/mime/Base64.h"
#include "email/mime/Checks.h"
#include "email/mime/Encoders.h"
#include "email/mime/SmtpMessage.h"
#include "email/mime/SmtpReply.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace mirvak::email;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/tonbar-email-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a Python snippet with the argument list; its standard output.
std::string Python(const std::string& code, const std::string& args)
{
    TempDir d;
    WriteFile(d / "s.py", code);
    std::string cmd = "/usr/bin/python3 " + (d / "s.py").string() + " " + args;
    FILE* p = popen(cmd.c_str(), "r");
    EXPECT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    if (p)
        EXPECT_EQ(pclose(p), 0) << cmd;
    return out;
}

std::string RandomBytes(std::mt19937& rng, size_t n, int lo = 0, int hi = 255)
{
    std::uniform_int_distribution<int> d(lo, hi);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(d(rng));
    return s;
}

// A platform with a fixed clock for the composed-structure tests.
class FixedPlatform : public MimePlatform {
public:
    std::string ToCodePage(const std::wstring& t) const override { return PortableMimePlatform().ToCodePage(t); }
    std::wstring FromCodePage(const std::string& b) const override { return PortableMimePlatform().FromCodePage(b); }
    std::wstring CharsetName() const override { return L"iso-8859-1"; }
    std::wstring ContentTypeOf(const std::wstring& e) const override { return PortableMimePlatform().ContentTypeOf(e); }
    uint32_t Milliseconds() const override { return 0x1234ABCD; }
    void Now(MimeTime& t, int32_t& off) const override
    {
        t = MimeTime{2026, 12, 6, 5, 9, 5, 7, 0};
        off = 100;
    }
    int32_t ReadWholeFile(const std::wstring& p, std::string& b, uint64_t cap) const override
    {
        return PortableMimePlatform().ReadWholeFile(p, b, cap);
    }
};

std::wstring Wide(const fs::path& p)
{
    std::string s = p.string();
    return std::wstring(s.begin(), s.end());
}

} // namespace

TEST(Base64, RoundTripsAgainstPythonOnRandomData)
{
    std::mt19937 rng(20261205);
    TempDir d;
    for (size_t n : {0u, 1u, 2u, 3u, 4u, 57u, 58u, 1000u, 65537u}) {
        std::string data = RandomBytes(rng, n);
        WriteFile(d / "in.bin", data);
        Base64 b;
        b.Encode(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        std::string py = Python("import base64,sys;sys.stdout.write(base64.b64encode(open(sys.argv[1],'rb').read()).decode())",
                                (d / "in.bin").string());
        EXPECT_EQ(b.EncodedText(), py) << n;
        // Ours decodes Python's; its line form (76 + CR LF) decodes too.
        Base64 back;
        back.Decode(py.data(), py.size());
        EXPECT_EQ(back.DecodedText(), data) << n;
        std::string lines;
        Base64::AppendLines(reinterpret_cast<const uint8_t*>(data.data()), data.size(), lines);
        WriteFile(d / "lines.txt", lines);
        std::string decoded = Python("import base64,sys;sys.stdout.buffer.write(base64.b64decode(open(sys.argv[1],'rb').read().replace(b'\\r\\n',b'')))",
                                     (d / "lines.txt").string());
        EXPECT_EQ(decoded, data) << n;
        for (size_t pos = 0; pos < lines.size();) {
            size_t end = lines.find("\r\n", pos);
            ASSERT_NE(end, std::string::npos);
            EXPECT_LE(end - pos, 76u);
            pos = end + 2;
        }
    }
}

TEST(Base64, CredentialsAndChallenges)
{
    Base64 b;
    EXPECT_STREQ(b.EncodeString("Username:"), "VXNlcm5hbWU6");
    EXPECT_STREQ(reinterpret_cast<const char*>(b.DecodeString("UGFzc3dvcmQ6")), "Password:");
    // Blanks and line breaks inside the text are skipped, padding ends it.
    EXPECT_STREQ(reinterpret_cast<const char*>(b.DecodeString("VXNl cm5h\r\nbWU6")), "Username:");
    EXPECT_EQ(b.DecodedLength(), 9u);
    b.DecodeString("YQ==");
    EXPECT_EQ(b.DecodedText(), "a");
    // Buffers are reused and stay terminated.
    b.EncodeString("abc");
    EXPECT_EQ(b.EncodedLength(), 4u);
    EXPECT_EQ(b.Encoded()[4], '\0');
}

TEST(QuotedPrintable, RoundTripsAgainstPythonQuopri)
{
    std::mt19937 rng(7);
    TempDir d;
    for (int round = 0; round < 30; ++round) {
        // Text-like data: printable bytes, high bytes, '=', blanks, CR LF.
        std::string data;
        size_t n = 1 + rng() % 3000;
        for (size_t i = 0; i < n; ++i) {
            int k = static_cast<int>(rng() % 100);
            if (k < 5)
                data += "\r\n";
            else if (k < 12)
                data += ' ';
            else if (k < 14)
                data += '=';
            else if (k < 16)
                data += '\t';
            else if (k < 22)
                data += static_cast<char>(0x80 + rng() % 128);
            else if (k < 23)
                data += static_cast<char>(rng() % 32);
            else
                data += static_cast<char>(33 + rng() % 94);
        }
        if (round % 3 == 0)
            data += "  ";  // trailing blanks at the very end
        std::string qp = EncodeQuotedPrintable(data);
        for (size_t pos = 0; pos <= qp.size();) {
            size_t end = qp.find("\r\n", pos);
            if (end == std::string::npos)
                end = qp.size();
            std::string_view line(qp.data() + pos, end - pos);
            EXPECT_LE(line.size(), 76u);
            if (!line.empty())
                EXPECT_TRUE(line.back() != ' ' && line.back() != '\t') << line;
            for (char c : line)
                EXPECT_TRUE((c >= 32 && c < 127) || c == '\t') << static_cast<int>(c);
            pos = end + 2;
        }
        WriteFile(d / "qp.txt", qp);
        std::string back = Python("import quopri,sys;sys.stdout.buffer.write(quopri.decodestring(open(sys.argv[1],'rb').read()))",
                                  (d / "qp.txt").string());
        // quopri turns our CR LF line ends into LF; compare on that form.
        std::string expected;
        for (size_t i = 0; i < data.size(); ++i) {
            if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
                continue;
            expected += data[i];
        }
        std::string got;
        for (size_t i = 0; i < back.size(); ++i) {
            if (back[i] == '\r' && i + 1 < back.size() && back[i + 1] == '\n')
                continue;
            got += back[i];
        }
        ASSERT_EQ(got, expected) << "round " << round;
    }
}

TEST(QuotedPrintable, EscapesAnsiBytesNotWideCharacters)
{
    // "č" in code page 1250 is 0xE8; it must never become a control byte.
    EXPECT_EQ(EncodeQuotedPrintable("\xE8" "a=b"), "=E8a=3Db");
    EXPECT_EQ(EncodeQuotedPrintable("end \r\nx\t"), "end=20\r\nx=09");
    // Soft breaks never split an escape.
    std::string s(73, 'a');
    s += "\xE9\xE9\xE9";
    std::string qp = EncodeQuotedPrintable(s);
    EXPECT_EQ(qp.substr(0, 76), std::string(73, 'a') + "=\r\n");
}

TEST(Encoders, ChoiceOfTransferEncoding)
{
    EXPECT_EQ(ChooseEncoding(""), kEncodingBase64);
    EXPECT_EQ(ChooseEncoding("abc"), kEncoding7bit);
    EXPECT_EQ(ChooseEncoding("Tonbar odeslan\xFD z aplikace \"Tonbar\""), kEncoding8bit);
    EXPECT_EQ(ChooseEncoding(std::string(77, 'a')), kEncodingQuotedPrintable);
    EXPECT_EQ(ChooseEncoding(std::string(76, 'a') + "\r\n" + std::string(76, 'b')), kEncoding7bit);
    EXPECT_EQ(ChooseEncoding("x\r\n" + std::string(77, 'a')), kEncodingQuotedPrintable);
    // NUL, bare CR and bare LF cannot travel as text.
    EXPECT_EQ(ChooseEncoding(std::string("text with a \0 inside", 20)), kEncodingBase64);
    EXPECT_EQ(ChooseEncoding("line\nline"), kEncodingBase64);
    EXPECT_EQ(ChooseEncoding("line\rline"), kEncodingBase64);
    EXPECT_EQ(ChooseEncoding("line\r"), kEncodingBase64);
    std::string binary;
    for (int i = 1; i < 256; ++i)
        binary += static_cast<char>(i == '\r' || i == '\n' ? 'x' : i);
    EXPECT_EQ(ChooseEncoding(binary), kEncodingBase64);
}

TEST(Encoders, WrappingAndLeadingPeriods)
{
    std::string letters(100, 'x');
    EXPECT_EQ(WrapLines(letters), std::string(76, 'x') + "\r\n" + std::string(24, 'x'));
    std::string spaced = std::string(60, 'a') + " " + std::string(39, 'b');
    EXPECT_EQ(WrapLines(spaced), std::string(60, 'a') + " \r\n" + std::string(39, 'b'));
    EXPECT_EQ(WrapLines("short\r\nlines"), "short\r\nlines");

    EXPECT_EQ(DoubleLeadingPeriods(".\r\nx\r\n.end\r\n..\r\na.b"), "..\r\nx\r\n..end\r\n...\r\na.b");
    int32_t used = 0;
    EXPECT_EQ(EncodeBody(".\r\n", kEncodingAuto, used), "..\r\n");
    EXPECT_EQ(used, kEncoding7bit);
    // A period at a soft break's start is doubled too.
    std::string qp = EncodeBody(std::string(75, 'a') + ".b" + std::string(10, 'c'), kEncodingAuto, used);
    EXPECT_EQ(used, kEncodingQuotedPrintable);
    EXPECT_NE(qp.find("=\r\n..b"), std::string::npos) << qp;
    EXPECT_EQ(EncodeBody("caf\xE9", kEncoding7bit, used), "caf?");
}

TEST(SmtpReplyReader, ReadsUntilTheFinalLineHoweverItArrives)
{
    SmtpReplyReader r;
    const std::string ehlo = "250-mail.example\r\n250-AUTH LOGIN PLAIN\r\n250-SIZE 1000\r\n250 HELP\r\n";
    // Byte by byte: only the last byte completes it.
    for (size_t i = 0; i + 1 < ehlo.size(); ++i)
        ASSERT_EQ(r.Feed(&ehlo[i], 1), SmtpReplyReader::kIncomplete) << i;
    EXPECT_EQ(r.Feed(&ehlo.back(), 1), SmtpReplyReader::kComplete);
    EXPECT_EQ(r.Code(), 250);
    EXPECT_EQ(r.FinalLine(), "250 HELP");
    EXPECT_EQ(r.Text(), ehlo.substr(0, ehlo.size() - 2));

    r.Reset();
    EXPECT_EQ(r.Feed("33", 2), SmtpReplyReader::kIncomplete);
    EXPECT_EQ(r.Feed("4 VXNlcm5hbWU6\r\n250 extra", 25), SmtpReplyReader::kComplete);
    EXPECT_EQ(r.Code(), 334);
    EXPECT_EQ(r.Excess(), 9u);

    // Garbage is a complete reply with code 0, never a success.
    for (const char* bad : {"hello there\r\n", "25 ok\r\n", "2500 ok\r\n", "abc\n", "\r\n"}) {
        r.Reset();
        EXPECT_EQ(r.Feed(bad, strlen(bad)), SmtpReplyReader::kComplete) << bad;
        EXPECT_EQ(r.Code(), 0) << bad;
    }
    // Lines of one reply that disagree on the code.
    r.Reset();
    r.Feed("250-a\r\n550 b\r\n", 14);
    EXPECT_EQ(r.Code(), 0);
    // A reply without an end is refused once it passes the limit.
    SmtpReplyReader small(16);
    EXPECT_EQ(small.Feed("250-aaaaaaaaaaaaaaaaaaaa", 24), SmtpReplyReader::kTooLong);
    EXPECT_EQ(ReplyCode("221"), 221);
    EXPECT_EQ(ReplyCode("2x1 ok"), 0);

    // Service extensions of an EHLO reply: whole keywords after the first line.
    const std::string rozsireni = "250-mail.8bitmime.example\r\n250-8BITMIMEX\r\n250-size 1000\r\n250 8bitmime";
    EXPECT_TRUE(HasExtension(rozsireni, "8BITMIME"));
    EXPECT_TRUE(HasExtension(rozsireni, "SIZE"));
    EXPECT_FALSE(HasExtension("250-mail.example\r\n250-8BITMIMEX\r\n250 HELP", "8BITMIME"));
    EXPECT_FALSE(HasExtension("250 8BITMIME", "8BITMIME"));  // the first line names the server
}

TEST(SmtpCommands, RefuseLineBreaksAndOverlongArguments)
{
    std::string out;
    EXPECT_TRUE(BuildCommand("MAIL FROM: <", "a@b.cz", ">", 264, out));
    EXPECT_EQ(out, "MAIL FROM: <a@b.cz>\r\n");
    EXPECT_FALSE(BuildCommand("RCPT TO: <", "a@b.cz>\r\nRCPT TO: <c@d.cz", ">", 264, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(BuildCommand("RCPT TO: <", "a\nb", ">", 264, out));
    EXPECT_FALSE(BuildCommand("RCPT TO: <", std::string("a\0b", 3), ">", 264, out));
    EXPECT_FALSE(BuildCommand("RCPT TO: <", std::string(260, 'a'), ">", 264, out));
}

TEST(Checks, AddressesServersAndRecipientLists)
{
    EXPECT_EQ(CheckEmailAddress(nullptr), kEInvalidArg);
    EXPECT_EQ(CheckEmailAddress(L""), kEInvalidArg);
    EXPECT_EQ(CheckEmailAddress(L"a@b.c"), 1);        // five characters
    EXPECT_EQ(CheckEmailAddress(L"ab@c.cz"), 0);      // name, @, letter, period, two letters
    EXPECT_EQ(CheckEmailAddress(L"abcdef"), 1);
    EXPECT_EQ(CheckEmailAddress(L"abc@.cz"), 1);      // period right behind "@"
    EXPECT_EQ(CheckEmailAddress(L"abcd@ef."), 1);     // period last
    EXPECT_EQ(CheckEmailAddress(L"a@b.cz\r\nRCPT TO:<x@y.cz>"), 1);
    EXPECT_EQ(CheckEmailAddress(L"a b@c.cz"), 1);
    EXPECT_EQ(CheckEmailAddress(L"a>b@c.cz"), 1);
    EXPECT_EQ(CheckSmtpServer(nullptr), kEInvalidArg);
    EXPECT_EQ(CheckSmtpServer(L"smtp.cz"), 0);
    EXPECT_EQ(CheckSmtpServer(L"mail.c"), 1);
    EXPECT_EQ(CheckSmtpServer(L"mail.cz\n"), 1);

    EXPECT_EQ(ParseRecipientList(L"a@b.cz;c@d.cz"), (std::vector<std::wstring>{L"a@b.cz", L"c@d.cz"}));
    EXPECT_EQ(ParseRecipientList(L"a@b.cz\r\n\r\nc@d.cz\r\n"), (std::vector<std::wstring>{L"a@b.cz", L"c@d.cz"}));
    EXPECT_TRUE(ParseRecipientList(L"a@b.c").empty());
    EXPECT_EQ(ParseRecipientList(L" a@b.cz ;\tx; \r\n"), (std::vector<std::wstring>{L"a@b.cz", L"x"}));
    EXPECT_EQ(UtcOffsetFromBias(-60), 100);
    EXPECT_EQ(UtcOffsetFromBias(300), -500);
    EXPECT_EQ(UtcOffsetFromBias(210), -330);
    EXPECT_EQ(UtcOffsetFromBias(0), 0);
}

TEST(SmtpMessage, OneTextPartHasNoBoundary)
{
    FixedPlatform p;
    SmtpMessage m(p);
    m.from = {L"Jan", L"jan@example.cz"};
    m.to = {L"", L"eva@example.cz"};
    m.subject = L"Tonbar";
    m.textParts.push_back({});
    m.textParts[0].text = L"abc";
    std::string out;
    ASSERT_EQ(m.ComposeBytes(out), kOk);
    EXPECT_EQ(out,
              "From: \"Jan\" <jan@example.cz>\r\n"
              "To: <eva@example.cz>\r\n"
              "Subject: Tonbar\r\n"
              "Date: Sat, 5 Dec 2026 09:05:07 +0100\r\n"
              "Importance: Normal\r\n"
              "X-Mailer: ZUviv Class (www.mirvak.example.org)\r\n"
              "X-MSMail-Priority: Normal\r\n"
              "X-Priority: 3 (Normal)\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n\r\nabc");
    EXPECT_EQ(m.headers.Find(L"Content-Type"), nullptr);
    EXPECT_EQ(FormatDate(MimeTime{2026, 1, 4, 1, 23, 0, 0, 0}, 0), "Thu, 1 Jan 2026 23:00:00 -0000");
    EXPECT_EQ(FormatDate(MimeTime{2026, 1, 4, 1, 23, 0, 0, 0}, -500), "Thu, 1 Jan 2026 23:00:00 -0500");
}

TEST(SmtpMessage, RefusesHeaderInjection)
{
    FixedPlatform p;
    std::string out;
    {
        SmtpMessage m(p);
        m.from.address = L"a@b.cz";
        m.subject = L"Hi\r\nBcc: victim@x.cz";
        EXPECT_EQ(m.ComposeBytes(out), kEInvalidArg);
        EXPECT_TRUE(out.empty());
    }
    {
        SmtpMessage m(p);
        m.to.name = L"Eva\nX-Evil: 1";
        EXPECT_EQ(m.ComposeBytes(out), kEInvalidArg);
    }
    {
        SmtpMessage m(p);
        m.headers.Add(L"X-Test", L"a\rb");
        EXPECT_EQ(m.ComposeBytes(out), kEInvalidArg);
    }
    {
        SmtpMessage m(p);
        m.attachments.push_back({});
        m.attachments[0].fileName = L"x.wma\r\nContent-Type: text/html";
        EXPECT_EQ(m.ComposeBytes(out), kEInvalidArg);
    }
}

// The composed text, parsed by Python's email package.
TEST(SmtpMessage, StructuresParseWithPythonEmail)
{
    TempDir d;
    std::mt19937 rng(3);
    std::string binary = RandomBytes(rng, 100000);
    WriteFile(d / "5.12.2026 09-07-03.wma", binary);
    WriteFile(d / "note.txt", "line one\r\n.dot line\r\n");
    const std::string checker = R"(
import email, email.policy, hashlib, sys
m = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=email.policy.default)
print('type', m.get_content_type())
print('subject', m['subject'])
print('to', m['to'])
for p in m.walk():
    if p.is_multipart():
        print('multi', p.get_content_type())
        continue
    data = p.get_payload(decode=True)
    print('part', p.get_content_type(), p.get_content_disposition(), p.get_filename(), p['content-transfer-encoding'], hashlib.sha256(data).hexdigest())
)";
    auto sha = [&](const std::string& s) {
        WriteFile(d / "h.bin", s);
        return Python("import hashlib,sys;print(hashlib.sha256(open(sys.argv[1],'rb').read()).hexdigest())",
                      (d / "h.bin").string());
    };
    auto compose = [&](SmtpMessage& m) {
        std::string out;
        EXPECT_EQ(m.ComposeBytes(out), kOk);
        // What the server stores: the periods undoubled.
        std::string stored;
        bool start = true;
        for (size_t i = 0; i < out.size(); ++i) {
            if (start && out[i] == '.' && i + 1 < out.size() && out[i + 1] == '.')
                continue;
            stored += out[i];
            start = out[i] == '\n';
        }
        WriteFile(d / "m.eml", stored);
        return Python(checker, (d / "m.eml").string());
    };
    FixedPlatform p;
    {
        SmtpMessage m(p);
        m.from = {L"Jan Novák", L"jan@example.cz"};
        m.to = {L"Eva", L"eva@example.cz"};
        m.toList.push_back({L"", L"petr@example.cz"});
        m.subject = L"Záznam";
        m.textParts.push_back({});
        m.textParts[0].text = L"Tonbar odeslaný z aplikace \"Tonbar\"";
        m.attachments.push_back({});
        m.attachments[0].filePath = Wide(d / "5.12.2026 09-07-03.wma");
        m.attachments[0].isInline = 1;
        std::string r = compose(m);
        EXPECT_NE(r.find("type multipart/mixed"), std::string::npos) << r;
        EXPECT_NE(r.find("subject Záznam"), std::string::npos) << r;
        EXPECT_NE(r.find("to Eva <eva@example.cz>, petr@example.cz"), std::string::npos) << r;
        EXPECT_NE(r.find("part text/plain None None 8bit"), std::string::npos) << r;
        // The extension is taken from the last ".".
        std::string h = sha(binary);
        h.pop_back();
        EXPECT_NE(r.find("part audio/x-ms-wma inline 5.12.2026 09-07-03.wma base64 " + h), std::string::npos) << r;
        EXPECT_EQ(m.multipartKind, 1);
    }
    {
        SmtpMessage m(p);
        m.from.address = L"jan@example.cz";
        m.to.address = L"eva@example.cz";
        m.textParts.resize(2);
        m.textParts[0].text = L"plain";
        m.textParts[1].contentType = L"text/html";
        m.textParts[1].text = L"<p>html</p>";
        std::string r = compose(m);
        EXPECT_NE(r.find("type multipart/alternative"), std::string::npos) << r;
        m.attachments.push_back({});
        m.attachments[0].filePath = Wide(d / "note.txt");
        m.attachments[0].fileName = L"poznámka.txt";
        m.multipartKind = 0;
        r = compose(m);
        EXPECT_NE(r.find("type multipart/mixed"), std::string::npos) << r;
        EXPECT_NE(r.find("multi multipart/alternative"), std::string::npos) << r;
        std::string h = sha("line one\r\n.dot line\r\n");
        h.pop_back();
        EXPECT_NE(r.find("part text/plain attachment poznámka.txt 7bit " + h), std::string::npos) << r;
    }
    {
        // An attachment that cannot be read refuses the message: it never
        // goes without the file it was to carry.
        SmtpMessage m(p);
        m.from.address = L"jan@example.cz";
        m.textParts.push_back({});
        m.textParts[0].text = L"only text";
        m.attachments.push_back({});
        m.attachments[0].filePath = Wide(d / "missing.wma");
        std::string out;
        EXPECT_EQ(m.ComposeBytes(out), kEFileNotFound);
        EXPECT_TRUE(out.empty());
    }
}

TEST(SmtpMessage, EncodedWordsKeepTheirLimitsAndAvoidQuotedParameters)
{
    FixedPlatform p;
    TempDir d;
    const std::wstring nazev = L"Aufnahme der Sitzung über das Budget für das nächste Jahr, Teil eins und zwei (Reinschrift).wma";
    WriteFile(d / "z.wma", "abc");
    SmtpMessage m(p);
    m.from = {L"José Müller-Lüdenscheidt aus Großbritannien und Nordirland, Abteilung Überwachung", L"jan@example.cz"};
    m.to = {L"Éva Ödön, Leiterin der Aufnahmeabteilung für Tonträger und Überspielungen", L"eva@example.cz"};
    m.subject = L"Mañana à la française: über die Änderung des Äußeren, späte Grüße aus Zürich und Málaga";
    m.textParts.push_back({});
    m.textParts[0].text = L"Tonbar odeslaný z aplikace";
    m.attachments.push_back({});
    m.attachments[0].filePath = Wide(d / "z.wma");
    m.attachments[0].fileName = nazev;
    std::string out;
    ASSERT_EQ(m.ComposeBytes(out), kOk);
    std::istringstream lines(out);
    std::string line;
    int words = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find("=?") == std::string::npos)
            continue;
        EXPECT_LE(line.size(), 76u) << line;
        for (size_t a = line.find("=?"); a != std::string::npos; a = line.find("=?", a + 2)) {
            size_t e = line.find("?=", line.find('?', line.find('?', a + 2) + 1) + 1);
            ASSERT_NE(e, std::string::npos) << line;
            EXPECT_LE(e + 2 - a, 75u) << line;
            a = e;
            ++words;
        }
    }
    EXPECT_GT(words, 6);
    // No encoded word inside a quoted parameter: RFC 2231 sections instead.
    EXPECT_EQ(out.find("=\"=?"), std::string::npos);
    EXPECT_NE(out.find("name*0*=iso-8859-1''Aufnahme%20der%20Sitzung%20%FCber"), std::string::npos) << out;
    // Python's parser reads everything back, in strict mode.
    WriteFile(d / "m.eml", out);
    std::string r = Python(R"(
import email, email.policy, email.header, sys
raw = open(sys.argv[1], 'rb').read()
m = email.message_from_bytes(raw, policy=email.policy.strict)
old = email.message_from_bytes(raw, policy=email.policy.compat32)
print('subject', m['subject'])
print('from', email.header.make_header(email.header.decode_header(old['from'])))
print('to', email.header.make_header(email.header.decode_header(old['to'])))
for part in m.walk():
    if part.get_filename():
        print('filename', part.get_filename())
        print('name', email.utils.collapse_rfc2231_value(part.get_param('name')))
)",
                           (d / "m.eml").string());
    EXPECT_NE(r.find("subject Mañana à la française: über die Änderung des Äußeren, späte Grüße aus Zürich und Málaga\n"),
              std::string::npos)
        << r;
    EXPECT_NE(r.find("from José Müller-Lüdenscheidt aus Großbritannien und Nordirland, Abteilung Überwachung <jan@example.cz>\n"),
              std::string::npos)
        << r;
    EXPECT_NE(r.find("to Éva Ödön, Leiterin der Aufnahmeabteilung für Tonträger und Überspielungen <eva@example.cz>\n"),
              std::string::npos)
        << r;
    EXPECT_NE(r.find("filename Aufnahme der Sitzung über das Budget für das nächste Jahr, Teil eins und zwei (Reinschrift).wma\n"),
              std::string::npos)
        << r;
    EXPECT_NE(r.find("name Aufnahme der Sitzung über das Budget für das nächste Jahr, Teil eins und zwei (Reinschrift).wma\n"),
              std::string::npos)
        << r;

    // Without 8BITMIME nothing goes out as 8bit.
    SmtpMessage sedm(p);
    sedm.from.address = L"jan@example.cz";
    sedm.textParts.push_back({});
    sedm.textParts[0].text = L"Tonbar odeslaný z aplikace";
    sedm.allow8bit = false;
    ASSERT_EQ(sedm.ComposeBytes(out), kOk);
    EXPECT_NE(out.find("Content-Transfer-Encoding: quoted-printable\r\n\r\nTonbar odeslan=FD z aplikace"),
              std::string::npos)
        << out;
}
