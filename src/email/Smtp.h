// SMTP client: one composed message over one blocking Windows Sockets
// connection, with EHLO (HELO as fallback) and AUTH LOGIN. No user interface:
// every step reports a number (0 success, else the server's reply code, or
// -1 when the connection failed) and tells a derived class about rejections,
// errors, replies and progress.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "email/mime/SmtpMessage.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace mirvak::email {

class Smtp {
public:
    Smtp();
    virtual ~Smtp();
    Smtp(const Smtp&) = delete;
    Smtp& operator=(const Smtp&) = delete;

    // A recipient or the login was refused. Its result counts only after
    // 535 (Authenticate): 0 gives up, 1 starts the login again.
    virtual int OnRejected(int code, const std::wstring& reply) { return 0; }
    virtual void OnError(int code, const std::wstring& reply) {}
    // Every reply read; `command` is what was sent (null for the greeting).
    // The text of a credential line is never passed (shown as "****").
    virtual void OnReply(const wchar_t* command, int code, const std::wstring& reply) {}
    // After each piece of a long command; 0 aborts the sending.
    virtual int OnProgress(const char* data, uint64_t sent, uint64_t total) { return 1; }

    // 1 connected and introduced, 0 failed.
    int Connect(const std::wstring& server);
    // 0, the failing reply code, or -1 (also for a message that cannot be
    // composed or an address that cannot go into a command).
    int SendMail(SmtpMessage& message);
    // The same with `text`, what message.ComposeBytes gave; composed again
    // without 8bit parts when the server does not offer 8BITMIME.
    int SendMail(SmtpMessage& message, std::string& text);
    int Quit();
    void Disconnect();

    // Sends `command` (nothing when null) and reads one whole reply.
    int Exchange(const std::string* command, const wchar_t* shown = nullptr);
    int Greet();
    int Authenticate();
    // `parameters` follow the address (" BODY=8BITMIME").
    int MailFrom(const std::wstring& address, const char* parameters = "");
    int RcptTo(const std::wstring& address);
    // Sends DATA, then `text` (the composed bytes) followed by CR LF . CR LF.
    int Data(const std::string& text);
    int Data(SmtpMessage& message);

    int32_t tryEhlo = 1;
    int32_t timeoutSeconds = 30;
    uint16_t port;  // network byte order
    std::wstring userName;
    std::wstring password;
    SOCKET socket = INVALID_SOCKET;
    std::wstring lastReply;
    int32_t greeted = 0;
    int32_t esmtp = 0;
    // Bytes handed to one send call of a long command.
    uint32_t pieceSize = 64 * 1024;
    // A connect, send or receive that makes no progress for this long fails.
    int32_t ioTimeoutSeconds = 60;
    // Set from another thread to stop: the step under way fails (-1) within
    // a tenth of a second, whatever the server does.
    const std::atomic<bool>* cancel = nullptr;
    // Set when the server's EHLO reply lists 8BITMIME.
    int32_t eightBitMime = 0;
    // After SendMail: the recipients the server accepted and refused.
    std::vector<std::wstring> accepted;
    std::vector<std::wstring> refused;
    // A step's result for a reply without a three-digit code: never 0, so
    // garbage is never taken for success.
    static constexpr int kGarbledReply = -2;
    static int Failure(int code) { return code == 0 ? kGarbledReply : code; }

    // How often MAIL FROM is tried again after 530 (authentication required).
    int32_t maxAuthRetries = 2;
    // Code of the last failing step's reply (what lastReply belongs to).
    int32_t lastCode = 0;

private:
    // 1 ready, 0 time-out, -1 cancelled or failed; polls in short slices so
    // that `cancel` is seen.
    int Wait(bool write, ULONGLONG until);
    bool Cancelled() const { return cancel && cancel->load(); }
    int CancelAuthentication();
    bool SendAll(const char* data, uint64_t length, bool progress);
    void Drain();
    int Fail(int code);  // -1 clears greeted; OnError; returns code
    std::string Ansi(const std::wstring& text) const;
    std::wstring FromAnsi(const std::string& bytes) const;
    std::string finalLine_;
};

} // namespace mirvak::email
