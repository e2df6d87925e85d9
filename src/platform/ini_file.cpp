// The INI rules shared by the POSIX and Win32 layers: which characters are
// blanks, and which names and values a line of the file can hold.
#include "platform/ini_file.h"

namespace pixlane {
namespace {

bool HasLineBreakOrNul(std::u16string_view text) {
  for (char16_t c : text) {
    if (c == u'\r' || c == u'\n' || c == u'\0') return true;
  }
  return false;
}

}  // namespace

bool IsIniBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == u' '; }

std::u16string_view TrimIniBlanks(std::u16string_view text) {
  while (!text.empty() && IsIniBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsIniBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsStorableIniValue(std::u16string_view text) { return !HasLineBreakOrNul(text); }

bool IsUsableIniSectionName(std::u16string_view trimmedName) {
  return !trimmedName.empty() && !HasLineBreakOrNul(trimmedName);
}

bool IsUsableIniKeyName(std::u16string_view trimmedName) {
  if (trimmedName.empty() || HasLineBreakOrNul(trimmedName)) return false;
  if (trimmedName.front() == u'[' || trimmedName.front() == u';') return false;
  return trimmedName.find(u'=') == std::u16string_view::npos;
}

}  // namespace pixlane
