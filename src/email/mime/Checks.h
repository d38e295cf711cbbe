// Plausibility checks of what the user types for sending by e-mail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirvak::email {

// 0 plausible, 1 not, kEInvalidArg for no text: at least six characters, an
// "@", a "." at or after the second character behind the first "@" that is
// not the last character, and no control character, blank or angle bracket
// (they would break the command line or the header it goes into).
int32_t CheckEmailAddress(const wchar_t* text);
// 0 plausible, 1 not, kEInvalidArg for no text: at least seven characters,
// no control character or blank.
int32_t CheckSmtpServer(const wchar_t* text);
// Further recipients as typed: split at line breaks and ";", each piece
// trimmed of blanks, empty pieces dropped; a text shorter than six
// characters gives none.
std::vector<std::wstring> ParseRecipientList(const std::wstring& text);

} // namespace mirvak::email
