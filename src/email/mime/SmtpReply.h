// Protocol pieces of the SMTP client that need no socket: reading one reply
// (single- or multi-line, in however many pieces it arrives) and building
// command lines that cannot carry a second command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirvak::email {

// The code of a reply line: its first three characters as a number when
// they are digits followed by a blank, a hyphen or the end; else 0.
int ReplyCode(std::string_view line);

class SmtpReplyReader {
public:
    enum State { kIncomplete, kComplete, kTooLong };

    explicit SmtpReplyReader(size_t limit = 64 * 1024) : limit_(limit) {}

    // Appends received bytes and looks for the reply's last line: the first
    // complete line that is not "ddd-..." (a continuation).
    State Feed(const char* data, size_t length);
    State state() const { return state_; }
    // Code of the last line; 0 when that line does not start with a code,
    // and also when the lines of a multi-line reply disagree.
    int Code() const { return code_; }
    // The whole reply without its final line break.
    std::string Text() const { return buffer_.substr(0, textEnd_); }
    // The last line without its line break.
    std::string FinalLine() const { return buffer_.substr(finalStart_, textEnd_ - finalStart_); }
    // Bytes that arrived after the reply.
    size_t Excess() const { return state_ == kComplete ? buffer_.size() - replyEnd_ : 0; }
    void Reset();

private:
    size_t limit_;
    std::string buffer_;
    size_t scanned_ = 0;      // lines before this index are examined
    size_t finalStart_ = 0;
    size_t textEnd_ = 0;
    size_t replyEnd_ = 0;
    int firstCode_ = -1;
    int code_ = 0;
    State state_ = kIncomplete;
};

// True when an EHLO reply (all its lines) lists the service extension
// `keyword` (case-insensitive): a line after the first whose text begins
// with the keyword followed by a blank or its end.
bool HasExtension(std::string_view ehloReply, std::string_view keyword);

// "<verb><argument>\r\n". False (and nothing built) when the argument holds
// a CR, LF or NUL, or the line would be longer than `maxLength` bytes.
bool BuildCommand(std::string_view verb, std::string_view argument, std::string_view tail, size_t maxLength,
                  std::string& out);

} // namespace mirvak::email
