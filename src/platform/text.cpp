// Portable UTF-8 <-> UTF-16 conversion and ASCII case folding.
#include "platform/text.h"

#include <algorithm>
#include <cstdint>

namespace pixlane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;  // unpaired surrogate
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<uint8_t>(text[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
      c = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      c = b0 & 0x1Fu;
      extra = 1;
      minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      c = b0 & 0x0Fu;
      extra = 2;
      minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      c = b0 & 0x07u;
      extra = 3;
      minimum = 0x10000;
    } else {
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + static_cast<size_t>(k) >= text.size()) {
        valid = false;
        break;
      }
      const auto b = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
      if ((b & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (b & 0x3Fu);
    }
    if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      AppendUtf16(out, kReplacement);
      ++i;  // resynchronise on the next byte
      continue;
    }
    AppendUtf16(out, c);
    i += 1 + static_cast<size_t>(extra);
  }
  return out;
}

std::string Utf16ToAnsiWithin(std::u16string_view text, size_t maxBytes) {
  text = text.substr(0, std::min(text.find(u'\0'), text.size()));
  std::string bytes = Utf16ToAnsi(text);
  if (bytes.size() <= maxBytes) return bytes;
  // The conversion of a prefix grows with the prefix: search the longest
  // one that fits (no character yields zero bytes, so at most maxBytes).
  size_t low = 0;
  size_t high = std::min(text.size(), maxBytes);
  while (low < high) {
    const size_t mid = low + (high - low + 1) / 2;
    if (Utf16ToAnsi(text.substr(0, mid)).size() <= maxBytes) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  if (low > 0 && text[low - 1] >= 0xD800 && text[low - 1] <= 0xDBFF) --low;
  return Utf16ToAnsi(text.substr(0, low));
}

char16_t ToLowerAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace pixlane
