// On POSIX the "ANSI code page" is UTF-8.
#include "platform/text.h"

namespace pixlane {

std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToUtf8(text); }
std::u16string AnsiToUtf16(std::string_view text) { return Utf8ToUtf16(text); }

}  // namespace pixlane
