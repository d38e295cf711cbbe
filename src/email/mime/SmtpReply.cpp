#include "email/mime/SmtpReply.h"

#include <cctype>

namespace mirvak::email {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int ReplyCode(std::string_view line)
{
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return 0;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-' && line[3] != '\r' && line[3] != '\n')
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

void SmtpReplyReader::Reset()
{
    buffer_.clear();
    scanned_ = finalStart_ = textEnd_ = replyEnd_ = 0;
    firstCode_ = -1;
    code_ = 0;
    state_ = kIncomplete;
}

SmtpReplyReader::State SmtpReplyReader::Feed(const char* data, size_t length)
{
    if (state_ != kIncomplete) {
        if (state_ == kComplete)
            buffer_.append(data, length);  // kept only as excess
        return state_;
    }
    buffer_.append(data, length);
    for (;;) {
        size_t lf = buffer_.find('\n', scanned_);
        if (lf == std::string::npos)
            break;
        std::string_view line(buffer_.data() + scanned_, lf - scanned_);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        int code = ReplyCode(line);
        bool continuation = code != 0 && line.size() > 3 && line[3] == '-';
        if (firstCode_ < 0)
            firstCode_ = code;
        else if (code != firstCode_)
            firstCode_ = 0;  // lines of one reply must agree
        if (!continuation) {
            finalStart_ = scanned_;
            textEnd_ = scanned_ + line.size();
            replyEnd_ = lf + 1;
            code_ = firstCode_ == code ? code : 0;
            state_ = kComplete;
            return state_;
        }
        scanned_ = lf + 1;
    }
    if (buffer_.size() > limit_)
        state_ = kTooLong;
    return state_;
}

bool HasExtension(std::string_view ehloReply, std::string_view keyword)
{
    size_t start = ehloReply.find('\n');  // the first line names the server
    while (start != std::string_view::npos) {
        ++start;
        size_t end = ehloReply.find('\n', start);
        std::string_view line = ehloReply.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() >= 4 + keyword.size()) {
            std::string_view text = line.substr(4);
            bool same = true;
            for (size_t i = 0; i < keyword.size() && same; ++i)
                same = std::tolower(static_cast<unsigned char>(text[i])) == std::tolower(static_cast<unsigned char>(keyword[i]));
            if (same && (text.size() == keyword.size() || text[keyword.size()] == ' '))
                return true;
        }
        start = end;
    }
    return false;
}

bool BuildCommand(std::string_view verb, std::string_view argument, std::string_view tail, size_t maxLength,
                  std::string& out)
{
    out.clear();
    if (argument.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return false;
    size_t length = verb.size() + argument.size() + tail.size() + 2;
    if (length > maxLength)
        return false;
    out.reserve(length);
    out.append(verb).append(argument).append(tail).append("\r\n");
    return true;
}

} // namespace mirvak::email
