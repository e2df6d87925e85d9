// Text conversions between the core's UTF-16 strings and byte encodings.
// UTF-8 conversion is portable; the "ANSI code page" is the system code page
// on Windows and UTF-8 on POSIX. Invalid input is replaced (U+FFFD), never
// rejected, so that a file name with broken encoding still round-trips to
// something printable.
#pragma once

#include <string>
#include <string_view>

namespace pixlane {

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// The system code page of the Windows build; UTF-8 on POSIX.
std::string Utf16ToAnsi(std::u16string_view text);
std::u16string AnsiToUtf16(std::string_view text);

// The ANSI bytes of `text` up to its first zero character, cut to at most
// `maxBytes`: the longest prefix whose conversion fits, never splitting a
// surrogate pair or a multibyte character (comments stored in files).
std::string Utf16ToAnsiWithin(std::u16string_view text, size_t maxBytes);

// ASCII-only case folding, as used for extensions and INI names.
char16_t ToLowerAscii(char16_t c);
bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b);

}  // namespace pixlane
