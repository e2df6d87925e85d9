// Quoting of settings strings whose edges the INI rules would change.
#include "settings/stored_text.h"

#include <string>

#include "platform/ini_file.h"
#include "platform/text.h"

namespace pixlane {
namespace {

bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

}  // namespace

std::u16string ProtectStoredText(std::u16string_view value) {
  if (value.empty()) return {};
  const bool blankEdge = IsIniBlank(value.front()) || IsIniBlank(value.back());
  const bool quotedEdge =
      value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
  if (!blankEdge && !quotedEdge) return std::u16string(value);
  std::u16string quoted;
  quoted.reserve(value.size() + 2);
  quoted.push_back(u'"');
  quoted.append(value);
  quoted.push_back(u'"');
  return quoted;
}

std::u16string ReadStoredText(const IniDocument& ini, std::u16string_view section,
                              std::u16string_view key, std::u16string_view defaultValue,
                              size_t maxChars) {
  // Room for the two quotes of a protected value and the terminator, so
  // that a value of exactly maxChars characters comes back whole.
  std::u16string text = ini.ReadString(section, key, defaultValue, maxChars + 3);
  // A damaged file can put a lone carriage return (or a NUL) into a value;
  // no value can be written back with one, so the text ends there and the
  // setting survives the next save.
  const size_t end = text.find_first_of(std::u16string_view(u"\r\n\0", 3));
  if (end != std::u16string::npos) text.resize(end);
  if (text.size() > maxChars) text.resize(maxChars);
  // Nor can a half surrogate pair be stored: it reads as U+FFFD, as the
  // next save would write it.
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // a whole pair
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      text[i] = u'\uFFFD';
    }
  }
  return text;
}

bool WriteStoredText(IniDocument& ini, std::u16string_view section,
                     std::u16string_view key, std::u16string_view value) {
  if (!IsStorableIniValue(value)) return false;
  return ini.WriteString(section, key, ProtectStoredText(value));
}

bool WriteStoredInt(IniDocument& ini, std::u16string_view section,
                    std::u16string_view key, int32_t value) {
  return ini.WriteString(section, key, Utf8ToUtf16(std::to_string(value)));
}

}  // namespace pixlane
