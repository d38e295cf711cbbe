// The portable e-mail core: encoders against Python's base64, quopri and email packages, the encoding choice,
// the composed structure and the reply reader.
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
#include <functional>
#include <random>

using namespace mirvak::email;
namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path_ = [] {
        char tmpl[] = "/tmp/tonbar-email-XXXXXX";
        return fs::path(mkdtemp(tmpl));
    }();
    ~TempDir() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
};

void WriteFile(const std::string& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::string ReadFile(const std::string& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a Python script, given on its standard input, with the arguments; its standard output.
std::string Python(const std::string& code, const std::string& args)
{
    std::string cmd = "/usr/bin/python3 - " + args + " <<'PY'\n" + code + "\nPY\n", out;
    FILE* p = popen(cmd.c_str(), "r");
    EXPECT_NE(p, nullptr);
    char buf[4096];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    if (p) {
        EXPECT_EQ(pclose(p), 0) << code;
    }
    return out;
}

std::string RandomBytes(std::mt19937& rng, size_t n)
{
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(rng());
    return s;
}

// A platform with a fixed clock for the composed-structure tests.
class FixedPlatform : public MimePlatform {
    const MimePlatform& p_ = PortableMimePlatform();

public:
    std::string ToCodePage(const std::wstring& t) const override { return p_.ToCodePage(t); }
    std::wstring FromCodePage(const std::string& b) const override { return p_.FromCodePage(b); }
    std::wstring CharsetName() const override { return L"iso-8859-1"; }
    std::wstring ContentTypeOf(const std::wstring& e) const override { return p_.ContentTypeOf(e); }
    uint32_t Milliseconds() const override { return 0x1234ABCD; }
    void Now(MimeTime& t, int32_t& off) const override { t = MimeTime{2026, 12, 6, 5, 9, 5, 7, 0}, off = 100; }
    int32_t ReadWholeFile(const std::wstring& p, std::string& b, uint64_t cap) const override
    {
        return p_.ReadWholeFile(p, b, cap);
    }
};

} // namespace

// Python reads back what we wrote: base64 of random data, in one piece and in lines of 76 with CR LF, and
// quoted-printable of text-like data (whose line rules are the MIME fuzzer's).
TEST(Encoders, AgreeWithPythonsBase64AndQuopri)
{
    std::mt19937 rng(20261205);
    TempDir d;
    std::string sizes;
    for (size_t n : {0u, 1u, 2u, 3u, 4u, 57u, 58u, 1000u, 65537u}) {
        std::string data = RandomBytes(rng, n), lines, k = std::to_string(n);
        Base64 b;
        b.Encode(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        Base64::AppendLines(reinterpret_cast<const uint8_t*>(data.data()), data.size(), lines);
        Base64 back;
        back.Decode(b.EncodedText().data(), b.EncodedLength());
        EXPECT_EQ(back.DecodedText(), data) << n;
        WriteFile(d / ("in" + k), data);
        WriteFile(d / ("one" + k), b.EncodedText());
        WriteFile(d / ("lines" + k), lines);
        sizes += " " + k;
    }
    for (int round = 0; round < 30; ++round) {
        // Printable bytes, high bytes, '=', blanks, CR LF; some with trailing blanks at the very end.
        std::string data;
        for (size_t i = 0, n = 1 + rng() % 3000; i < n; ++i) {
            int k = static_cast<int>(rng() % 100);
            data += k < 5 ? "\r\n" : k < 12 ? " " : k < 14 ? "=" : k < 16 ? "\t"
                  : std::string(1, static_cast<char>(k < 22 ? 0x80 + rng() % 128 : k < 23 ? rng() % 32 : 33 + rng() % 94));
        }
        data += round % 3 ? "" : "  ";
        WriteFile(d / ("text" + std::to_string(round)), data);
        WriteFile(d / ("qp" + std::to_string(round)), EncodeQuotedPrintable(data));
    }
    // quopri turns our CR LF line ends into LF: compared on that form.
    EXPECT_EQ(Python(R"(
import base64, os, quopri, sys
r = lambda n: open(os.path.join(sys.argv[1], n), 'rb').read()
for n in sys.argv[2:]:
    data, lines = r('in' + n), r('lines' + n)
    if base64.b64encode(data) != r('one' + n) or base64.b64decode(lines.replace(b'\r\n', b'')) != data \
            or any(len(l) > 76 for l in lines.split(b'\r\n')) or (data and not lines.endswith(b'\r\n')):
        print('base64 differs at', n)
for i in range(30):
    if quopri.decodestring(r('qp%d' % i)).replace(b'\r\n', b'\n') != r('text%d' % i).replace(b'\r\n', b'\n'):
        print('quoted-printable differs at', i)
)",
                     d / "" + sizes),
              "");

    Base64 b;
    EXPECT_STREQ(b.EncodeString("Username:"), "VXNlcm5hbWU6");
    // Blanks and line breaks inside the text are skipped, padding ends it.
    EXPECT_STREQ(reinterpret_cast<const char*>(b.DecodeString("VXNl cm5h\r\nbWU6")), "Username:");
    EXPECT_EQ(b.DecodedLength(), 9u);
    b.DecodeString("YQ==");
    EXPECT_EQ(b.DecodedText(), "a");
    // Buffers are reused and stay terminated.
    b.EncodeString("abc");
    EXPECT_EQ(b.EncodedLength(), 4u);
    EXPECT_EQ(b.Encoded()[4], '\0');
    // "č" in code page 1250 is 0xE8; it must never become a control byte.
    EXPECT_EQ(EncodeQuotedPrintable("\xE8" "a=b"), "=E8a=3Db");
    EXPECT_EQ(EncodeQuotedPrintable("end \r\nx\t"), "end=20\r\nx=09");
    // Soft breaks never split an escape.
    EXPECT_EQ(EncodeQuotedPrintable(std::string(73, 'a') + "\xE9\xE9\xE9").substr(0, 76), std::string(73, 'a') + "=\r\n");
}

TEST(Encoders, ChoiceOfTransferEncodingWrappingAndLeadingPeriods)
{
    std::string binary;
    for (int i = 1; i < 256; ++i)
        binary += static_cast<char>(i == '\r' || i == '\n' ? 'x' : i);
    // NUL, bare CR and bare LF cannot travel as text.
    const std::pair<std::string, int32_t> pripady[] = {
        {"", kEncodingBase64},
        {"abc", kEncoding7bit},
        {"Tonbar odeslan\xFD z aplikace \"Tonbar\"", kEncoding8bit},
        {std::string(77, 'a'), kEncodingQuotedPrintable},
        {std::string(76, 'a') + "\r\n" + std::string(76, 'b'), kEncoding7bit},
        {"x\r\n" + std::string(77, 'a'), kEncodingQuotedPrintable},
        {std::string("text with a \0 inside", 20), kEncodingBase64},
        {"line\nline", kEncodingBase64},
        {"line\rline", kEncodingBase64},
        {"line\r", kEncodingBase64},
        {binary, kEncodingBase64}};
    for (auto& [text, kodovani] : pripady)
        EXPECT_EQ(ChooseEncoding(text), kodovani) << text.substr(0, 40);

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

TEST(Checks, AddressesServersRecipientListsAndCommandArguments)
{
    std::string out;
    EXPECT_TRUE(BuildCommand("MAIL FROM: <", "a@b.cz", ">", 264, out));
    EXPECT_EQ(out, "MAIL FROM: <a@b.cz>\r\n");
    for (const std::string& zly : {std::string("a@b.cz>\r\nRCPT TO: <c@d.cz"), std::string("a\nb"),
                                   std::string("a\0b", 3), std::string(260, 'a')}) {
        EXPECT_FALSE(BuildCommand("RCPT TO: <", zly, ">", 264, out)) << zly.substr(0, 20);
        EXPECT_TRUE(out.empty());
    }
    // "ab@c.cz": name, @, letter, period, two letters; "a@b.c" has five characters.
    const std::pair<const wchar_t*, int32_t> adresy[] = {
        {L"", kEInvalidArg}, {L"a@b.c", 1},    {L"ab@c.cz", 0},  {L"abcdef", 1},   {L"abc@.cz", 1},
        {L"abcd@ef.", 1},    {L"a b@c.cz", 1}, {L"a>b@c.cz", 1}, {L"a@b.cz\r\nRCPT TO:<x@y.cz>", 1}};
    for (auto& [adresa, vysledek] : adresy)
        EXPECT_EQ(CheckEmailAddress(adresa), vysledek) << adresa;
    for (auto& [server, vysledek] : {std::pair{L"smtp.cz", 0}, {L"mail.c", 1}, {L"mail.cz\n", 1}})
        EXPECT_EQ(CheckSmtpServer(server), vysledek) << server;

    using V = std::vector<std::wstring>;
    EXPECT_EQ(ParseRecipientList(L"a@b.cz;c@d.cz"), (V{L"a@b.cz", L"c@d.cz"}));
    EXPECT_EQ(ParseRecipientList(L"a@b.cz\r\n\r\nc@d.cz\r\n"), (V{L"a@b.cz", L"c@d.cz"}));
    EXPECT_TRUE(ParseRecipientList(L"a@b.c").empty());
    EXPECT_EQ(ParseRecipientList(L" a@b.cz ;\tx; \r\n"), (V{L"a@b.cz", L"x"}));
    for (auto& [bias, posun] : {std::pair{-60, 100}, {300, -500}, {210, -330}, {0, 0}})
        EXPECT_EQ(UtcOffsetFromBias(bias), posun) << bias;
}

TEST(SmtpMessage, OneTextPartHasNoBoundaryAndHeaderInjectionIsRefused)
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

    // A line break in any header's text refuses the message.
    const std::function<void(SmtpMessage&)> pokusy[] = {
        [](SmtpMessage& m) { m.subject = L"Hi\r\nBcc: victim@x.cz"; },
        [](SmtpMessage& m) { m.to.name = L"Eva\nX-Evil: 1"; },
        [](SmtpMessage& m) { m.headers.Add(L"X-Test", L"a\rb"); },
        [](SmtpMessage& m) {
            m.attachments.push_back({});
            m.attachments[0].fileName = L"x.wma\r\nContent-Type: text/html";
        },
    };
    for (const auto& pokus : pokusy) {
        SmtpMessage z(p);
        z.from.address = L"a@b.cz";
        pokus(z);
        out = "x";
        EXPECT_EQ(z.ComposeBytes(out), kEInvalidArg);
        EXPECT_TRUE(out.empty());
    }
}

// Python's email package (strict) reads the composed text as the server stores it, periods undoubled; the
// content type comes from the extension after the last ".".
TEST(SmtpMessage, StructuresParseWithPythonEmail)
{
    TempDir d;
    std::mt19937 rng(3);
    std::string binary = RandomBytes(rng, 100000);
    WriteFile(d / "5.12.2026 09-07-03.wma", binary);
    FixedPlatform p;
    SmtpMessage m(p);
    m.from = {L"Jan Novák", L"jan@example.cz"};
    m.to = {L"Eva", L"eva@example.cz"};
    m.toList.push_back({L"", L"petr@example.cz"});
    m.subject = L"Záznam";
    m.textParts.push_back({});
    m.textParts[0].text = L"Tonbar odeslaný z aplikace \"Tonbar\"";
    m.attachments.push_back({});
    m.attachments[0].filePath = fs::path(d / "5.12.2026 09-07-03.wma").wstring();
    m.attachments[0].isInline = 1;
    std::string out, stored;
    ASSERT_EQ(m.ComposeBytes(out), kOk);
    for (size_t i = 0, start = 1; i < out.size(); start = out[i++] == '\n')
        if (!(start && out[i] == '.' && i + 1 < out.size() && out[i + 1] == '.'))
            stored += out[i];
    WriteFile(d / "m.eml", stored);
    EXPECT_EQ(Python(R"(
import email, email.policy, email.utils, os, sys
m = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=email.policy.strict)
print('type', m.get_content_type())
print('subject', m['subject'])
print('to', m['to'])
k = 0
for p in m.walk():
    if p.is_multipart():
        continue
    k += 1
    name = p.get_param('name')
    print('part', k, p.get_content_type(), p.get_content_disposition(), p.get_filename(),
          name and email.utils.collapse_rfc2231_value(name), p['content-transfer-encoding'])
    open(os.path.join(os.path.dirname(sys.argv[1]), 'part%d' % k), 'wb').write(p.get_payload(decode=True))
)",
                     d / "m.eml"),
              "type multipart/mixed\nsubject Záznam\nto Eva <eva@example.cz>, petr@example.cz\n"
              "part 1 text/plain None None None 8bit\n"
              "part 2 audio/x-ms-wma inline 5.12.2026 09-07-03.wma 5.12.2026 09-07-03.wma base64\n");
    EXPECT_EQ(ReadFile(d / "part2"), binary);
    EXPECT_EQ(m.multipartKind, 1);

    // An attachment that cannot be read refuses the message: it never goes without the file it was to carry.
    m.attachments[0].filePath = fs::path(d / "missing.wma").wstring();
    out = "x";
    EXPECT_EQ(m.ComposeBytes(out), kEFileNotFound);
    EXPECT_TRUE(out.empty());
}
