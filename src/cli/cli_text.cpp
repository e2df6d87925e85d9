// Escaping of outside text for the terminal, and the refused-setting line.
#include "cli/cli_text.h"

#include <cstdio>

#include "platform/text.h"

namespace pixlane::cli {

std::string PrintableText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t plainStart = 0;
  auto flushPlain = [&](size_t end) {
    if (end > plainStart) out += Utf16ToUtf8(text.substr(plainStart, end - plainStart));
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool control = c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
    if (!control) continue;
    flushPlain(i);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, c < 0x80 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c));
    out += escaped;
    plainStart = i + 1;
  }
  flushPlain(text.size());
  return out;
}

std::string RefusedSettingText(const RefusedSetting& refused) {
  return "setting " + Utf16ToUtf8(refused.key) + " (\"" + PrintableText(refused.value) +
         "\") cannot be part of a file name: it " + NameProblemText(refused.problem);
}

}  // namespace pixlane::cli
