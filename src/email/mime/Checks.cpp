#include "email/mime/Checks.h"

#include "email/mime/MimePlatform.h"

namespace mirvak::email {

namespace {

bool HasForbidden(const std::wstring& s, bool angleBrackets)
{
    for (wchar_t c : s)
        if (c < 32 || c == 127 || c == L' ' || (angleBrackets && (c == L'<' || c == L'>')))
            return true;
    return false;
}

} // namespace

int32_t CheckEmailAddress(const wchar_t* text)
{
    if (!text || !*text)
        return kEInvalidArg;
    std::wstring s = text;
    if (s.size() < 6 || HasForbidden(s, true))
        return 1;
    size_t at = s.find(L'@');
    if (at == std::wstring::npos)
        return 1;
    size_t dot = s.find(L'.', at + 2);
    if (dot == std::wstring::npos || dot + 1 == s.size())
        return 1;
    return 0;
}

int32_t CheckSmtpServer(const wchar_t* text)
{
    if (!text || !*text)
        return kEInvalidArg;
    std::wstring s = text;
    if (s.size() < 7 || HasForbidden(s, false))
        return 1;
    return 0;
}

std::vector<std::wstring> ParseRecipientList(const std::wstring& text)
{
    std::vector<std::wstring> out;
    if (text.size() < 6)
        return out;
    std::wstring piece;
    // Blanks around an address ("a@x.cz; b@y.cz") are no part of it.
    auto add = [&] {
        size_t first = piece.find_first_not_of(L" \t");
        if (first != std::wstring::npos)
            out.push_back(piece.substr(first, piece.find_last_not_of(L" \t") - first + 1));
        piece.clear();
    };
    for (wchar_t c : text) {
        if (c == L'\n' || c == L'\r' || c == L';')
            add();
        else
            piece += c;
    }
    add();
    return out;
}

} // namespace mirvak::email
