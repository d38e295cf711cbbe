#include "email/Smtp.h"

#include "email/mime/Base64.h"
#include "email/mime/SmtpReply.h"

#include <vector>

namespace mirvak::email {

namespace {

// Longest command line a server must accept (RFC 5321, 4.5.3.1.4).
constexpr size_t kMaxCommand = 512;
// Longest AUTH LOGIN answer line we send (RFC 4954 allows 12288).
constexpr size_t kMaxCredentialLine = 2048;
constexpr int kMaxChallenges = 8;
constexpr int kMaxLoginRestarts = 3;

bool IsNoCase(const std::string& a, const char* b)
{
    size_t n = strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool HasEightBitBytes(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) > 127)
            return true;
    return false;
}

// The server closes the channel after 421, as after a dropped connection (-1).
bool EndsSession(int code)
{
    return code == -1 || code == 421;
}

} // namespace

Smtp::Smtp()
{
    servent* s = getservbyname("SMTP", "tcp");
    port = s ? static_cast<uint16_t>(s->s_port) : htons(25);
}

Smtp::~Smtp()
{
    Disconnect();
}

std::string Smtp::Ansi(const std::wstring& text) const
{
    return DefaultMimePlatform().ToCodePage(text);
}

std::wstring Smtp::FromAnsi(const std::string& bytes) const
{
    return DefaultMimePlatform().FromCodePage(bytes);
}

int Smtp::Fail(int code)
{
    if (EndsSession(code))
        greeted = 0;
    lastCode = code;
    OnError(code, lastReply);
    return Failure(code);
}

void Smtp::Drain()
{
    // Throws away what an earlier reply left; stops at a closed connection.
    char scratch[1024];
    for (int rounds = 0; rounds < 1024; ++rounds) {
        fd_set r;
        FD_ZERO(&r);
        FD_SET(socket, &r);
        timeval zero{0, 0};
        if (select(0, &r, nullptr, nullptr, &zero) <= 0)
            return;
        int n = recv(socket, scratch, sizeof scratch, 0);
        if (n <= 0)
            return;
    }
}

int Smtp::Wait(bool write, ULONGLONG until)
{
    for (;;) {
        if (Cancelled())
            return -1;
        ULONGLONG now = GetTickCount64();
        if (now >= until)
            return 0;
        ULONGLONG slice = until - now < 100 ? until - now : 100;
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_SET(socket, &ready);
        FD_ZERO(&failed);
        FD_SET(socket, &failed);
        timeval wait{0, static_cast<long>(slice * 1000)};
        int r = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &wait);
        if (r < 0)
            return -1;
        if (r > 0)
            return FD_ISSET(socket, &failed) ? -1 : 1;
    }
}

bool Smtp::SendAll(const char* data, uint64_t length, bool progress)
{
    uint64_t sent = 0;
    uint32_t piece = pieceSize ? pieceSize : 1024;
    const ULONGLONG limit = static_cast<ULONGLONG>(ioTimeoutSeconds > 0 ? ioTimeoutSeconds : 1) * 1000;
    while (sent < length) {
        uint64_t want = length - sent < piece ? length - sent : piece;
        // A piece may go out in parts; a server that takes nothing for the
        // whole time-out ends the sending.
        uint64_t done = 0;
        ULONGLONG until = GetTickCount64() + limit;
        while (done < want) {
            if (Cancelled())
                return false;
            int n = send(socket, data + sent + done, static_cast<int>(want - done), 0);
            if (n > 0) {
                done += static_cast<uint64_t>(n);
                until = GetTickCount64() + limit;
            } else if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
                if (Wait(true, until) != 1)
                    return false;
            } else {
                return false;
            }
        }
        sent += want;
        if (progress && OnProgress(data, sent, length) == 0)
            return false;
    }
    return true;
}

int Smtp::Exchange(const std::string* command, const wchar_t* shown)
{
    if (socket == INVALID_SOCKET)
        return -1;
    if (command) {
        Drain();
        if (!SendAll(command->data(), command->size(), command->size() > 1024))
            return -1;
    }
    SmtpReplyReader reader;
    ULONGLONG until =
        GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds > 0 ? timeoutSeconds : 1) * 1000;
    bool ok = false;
    char buffer[4096];
    for (;;) {
        if (Wait(false, until) != 1)
            break;
        int n = recv(socket, buffer, sizeof buffer, 0);
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            continue;
        if (n <= 0)
            break;  // closed or failed: at once, not after the time-out
        SmtpReplyReader::State s = reader.Feed(buffer, static_cast<size_t>(n));
        if (s == SmtpReplyReader::kTooLong)
            break;
        if (s == SmtpReplyReader::kComplete) {
            ok = true;
            break;
        }
    }
    lastReply = FromAnsi(reader.Text());
    if (!ok)
        return -1;
    finalLine_ = reader.FinalLine();
    int code = reader.Code();
    std::wstring what;
    if (command)
        what = shown ? std::wstring(shown) : FromAnsi(*command);
    OnReply(command ? what.c_str() : nullptr, code, lastReply);
    return code;
}

int Smtp::Connect(const std::wstring& server)
{
    if (socket != INVALID_SOCKET)
        Disconnect();
    std::string name = Ansi(server);
    if (name.empty() || name.find_first_of(std::string("\r\n\0 ", 4)) != std::string::npos)
        return 0;
    in_addr address{};
    address.s_addr = inet_addr(name.c_str());
    if (address.s_addr == INADDR_NONE) {
        hostent* h = gethostbyname(name.c_str());
        if (!h || h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0])
            return 0;
        memcpy(&address, h->h_addr_list[0], sizeof address);
    }
    socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET)
        return 0;
    // Never blocking: a call blocked in the system cannot be ended from
    // another thread, so every wait is ours and watches `cancel`.
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = port;
    to.sin_addr = address;
    bool connected = connect(socket, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK &&
        Wait(true, GetTickCount64() + static_cast<ULONGLONG>(ioTimeoutSeconds > 0 ? ioTimeoutSeconds : 1) * 1000) ==
            1) {
        int error = 0;
        int size = sizeof error;
        connected = getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
                    error == 0;
    }
    if (connected) {
        // The greeting is waited for with the reply time-out.
        int code = Exchange(nullptr);
        if (code != 220) {
            Fail(code);
            greeted = 0;  // no QUIT to a server that did not greet
        } else if (Greet() == 0) {
            return 1;
        }
    }
    Disconnect();
    return 0;
}

int Smtp::Greet()
{
    wchar_t computer[64] = {};
    DWORD size = 64;
    if (!GetComputerNameW(computer, &size) || !computer[0])
        wcscpy(computer, L"localhost");
    std::string ehlo;
    if (!BuildCommand("EHLO ", Ansi(computer), "", kMaxCommand, ehlo))
        BuildCommand("EHLO ", "localhost", "", kMaxCommand, ehlo);
    if (tryEhlo) {
        int code = Exchange(&ehlo);
        if (code == 250) {
            esmtp = 1;
            greeted = 1;
            eightBitMime = HasExtension(Ansi(lastReply), "8BITMIME") ? 1 : 0;
            Authenticate();  // a failure meets MAIL FROM again
            return 0;
        }
        if (code == -1)
            return Fail(code);
    }
    std::string helo = ehlo;
    helo[0] = 'H';
    helo[1] = 'E';
    esmtp = 0;
    eightBitMime = 0;
    int code = Exchange(&helo);
    if (code == 250) {
        greeted = 1;
        return 0;
    }
    return Fail(code);
}

int Smtp::Authenticate()
{
    for (int restart = 0; restart < kMaxLoginRestarts; ++restart) {
        if (userName.empty() || !esmtp)
            return 0;
        const std::string auth = "AUTH LOGIN\r\n";
        int code = Exchange(&auth);
        if (code != 334) {
            lastCode = code;
            OnRejected(code, lastReply);
            if (EndsSession(code))
                greeted = 0;
            return Failure(code);
        }
        int result = code;
        for (int round = 0; result == 334 && round < kMaxChallenges; ++round) {
            Base64 challenge;
            std::string c = finalLine_.size() > 4 ? finalLine_.substr(4) : std::string();
            challenge.Decode(c.data(), c.size());
            std::string question = challenge.DecodedText();
            std::string answer;
            if (IsNoCase(question, "Username:"))
                answer = Ansi(userName);
            else if (IsNoCase(question, "Password:"))
                answer = Ansi(password);
            else
                return CancelAuthentication();
            Base64 b;
            b.Encode(reinterpret_cast<const uint8_t*>(answer.data()), answer.size());
            std::string line;
            if (!BuildCommand("", b.EncodedText(), "", kMaxCredentialLine, line)) {
                result = -1;
                break;
            }
            // The credential never appears in what OnReply is told.
            result = Exchange(&line, L"****");
            SecureZeroMemory(line.data(), line.size());
            SecureZeroMemory(answer.data(), answer.size());
            if (result == 535) {
                lastCode = 535;
                int again = OnRejected(535, lastReply);
                if (again == 0)
                    return Fail(535);
                result = again;
            }
        }
        if (result == 1)
            continue;
        if (result == 235)
            return 0;
        return Fail(result);
    }
    return Fail(535);
}

int Smtp::CancelAuthentication()
{
    // RFC 4954: "*" ends the exchange, so that the server does not take the
    // next command for an answer.
    const std::string cancelLine = "*\r\n";
    int code = Exchange(&cancelLine);
    lastCode = code;
    OnRejected(code, lastReply);
    return Fail(code == 0 || code == 235 ? kGarbledReply : code);
}

int Smtp::MailFrom(const std::wstring& address, const char* parameters)
{
    std::string command;
    if (!BuildCommand("MAIL FROM: <", Ansi(address), std::string(">") + (parameters ? parameters : ""), kMaxCommand,
                      command))
        return Fail(-1);
    int code = Exchange(&command);
    for (int retry = 0; code == 530 && retry < maxAuthRetries; ++retry) {
        Authenticate();
        code = Exchange(&command);
    }
    if (code == 250)
        return 0;
    return Fail(code);
}

int Smtp::RcptTo(const std::wstring& address)
{
    std::string command;
    if (!BuildCommand("RCPT TO: <", Ansi(address), ">", kMaxCommand, command)) {
        lastCode = -1;
        OnRejected(-1, L"");
        return -1;
    }
    int code = Exchange(&command);
    if (code == 250 || code == 251)
        return 0;
    lastCode = code;
    OnRejected(code, lastReply);
    return Failure(code);
}

int Smtp::Data(const std::string& text)
{
    const std::string data = "DATA\r\n";
    int code = Exchange(&data);
    if (code != 354)
        return Fail(code);
    // The text and its end go out as one long command.
    static const char kEnd[] = "\r\n.\r\n";
    Drain();
    bool sent = SendAll(text.data(), text.size(), text.size() + 5 > 1024) && SendAll(kEnd, 5, false);
    if (!sent)
        return Fail(-1);
    code = Exchange(nullptr);
    if (code == 250)
        return 0;
    return Fail(code);
}

int Smtp::Data(SmtpMessage& message)
{
    std::string text;
    if (message.ComposeBytes(text) != kOk)
        return Fail(-1);
    return Data(text);
}

int Smtp::SendMail(SmtpMessage& message)
{
    if (message.from.address.empty() || (message.to.address.empty() && message.toList.empty()))
        return -1;
    // Composed before anything is sent, so a message that cannot be built
    // never leaves a half-open transaction behind.
    std::string text;
    if (message.ComposeBytes(text) != kOk)
        return -1;
    return SendMail(message, text);
}

int Smtp::SendMail(SmtpMessage& message, std::string& text)
{
    accepted.clear();
    refused.clear();
    if (message.from.address.empty() || (message.to.address.empty() && message.toList.empty()))
        return -1;
    bool eightBit = HasEightBitBytes(text);
    if (eightBit && !eightBitMime) {
        // RFC 6152: 8bit bodies only to a server that offers 8BITMIME.
        message.allow8bit = false;
        if (message.ComposeBytes(text) != kOk || HasEightBitBytes(text))
            return -1;
        eightBit = false;
    }
    int code = MailFrom(message.from.address, eightBit ? " BODY=8BITMIME" : "");
    if (code != 0)
        return code;
    int last = 0;
    auto rcpt = [&](const std::wstring& a) {
        last = RcptTo(a);
        (last == 0 ? accepted : refused).push_back(a);
    };
    if (!message.to.address.empty())
        rcpt(message.to.address);
    for (auto& a : message.toList)
        rcpt(a.address);
    for (auto& a : message.bccList)
        rcpt(a.address);
    if (!accepted.empty())
        return Data(text);
    return Fail(last);
}

int Smtp::Quit()
{
    if (!greeted)
        return 0;
    const std::string quit = "QUIT\r\n";
    int code = Exchange(&quit);
    if (code != 221)
        code = Fail(code);
    greeted = 0;
    return code == 221 ? 0 : code;
}

void Smtp::Disconnect()
{
    if (socket != INVALID_SOCKET) {
        if (greeted)
            Quit();
        shutdown(socket, SD_BOTH);
        closesocket(socket);
    }
    socket = INVALID_SOCKET;
    greeted = 0;
}

} // namespace mirvak::email
