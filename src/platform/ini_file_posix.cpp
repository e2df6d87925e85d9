// POSIX implementation of the INI layer: each call reads the whole file,
// and each change rewrites it as UTF-8 with LF line ends. Lines that are
// neither section headers nor keys (comments, blank lines, anything else)
// are kept where they are. Files with a UTF-8 or UTF-16LE byte-order mark
// are read too (a copied Windows file); they are rewritten as UTF-8.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace pixlane {
namespace {

// A settings file larger than this is not ours: treated as unreadable.
constexpr uint64_t kMaxIniBytes = 64u << 20;
// GetPrivateProfileIntW reads the value into a buffer of this size.
constexpr size_t kIntegerBufferChars = 30;

enum class LineKind { Other, Section, Key };

struct Line {
  std::u16string text;  // as read, without the line end
  LineKind kind = LineKind::Other;
  std::u16string name;   // trimmed section or key name
  std::u16string value;  // trimmed value of a key
};

enum class LoadState { Missing, Loaded, Unreadable };

struct Document {
  LoadState state = LoadState::Missing;
  std::vector<Line> lines;
};

Line ClassifyLine(std::u16string text) {
  Line line;
  const std::u16string_view trimmed = TrimIniBlanks(text);
  if (!trimmed.empty() && trimmed.front() == u'[') {
    const size_t close = trimmed.rfind(u']');
    if (close != std::u16string_view::npos && close > 0) {
      line.kind = LineKind::Section;
      line.name = std::u16string(TrimIniBlanks(trimmed.substr(1, close - 1)));
    }
  } else if (!trimmed.empty() && trimmed.front() != u';') {
    const size_t eq = trimmed.find(u'=');
    if (eq != std::u16string_view::npos) {
      line.kind = LineKind::Key;
      line.name = std::u16string(TrimIniBlanks(trimmed.substr(0, eq)));
      line.value = std::u16string(TrimIniBlanks(trimmed.substr(eq + 1)));
    }
  }
  line.text = std::move(text);
  return line;
}

std::u16string DecodeFile(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return text;
  }
  size_t start = 0;
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) start = 3;
  return Utf8ToUtf16(
      std::string_view(reinterpret_cast<const char*>(bytes.data()) + start, bytes.size() - start));
}

Document LoadDocument(std::u16string_view file) {
  Document doc;
  InputFile in;
  if (!in.Open(file)) {
    doc.state = PathExists(file) ? LoadState::Unreadable : LoadState::Missing;
    return doc;
  }
  const uint64_t size = in.Size();
  if (size > kMaxIniBytes) {
    doc.state = LoadState::Unreadable;
    return doc;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (in.Read(bytes.data(), bytes.size()) != bytes.size()) {
    doc.state = LoadState::Unreadable;
    return doc;
  }
  doc.state = LoadState::Loaded;
  const std::u16string text = DecodeFile(bytes);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    size_t lineEnd = end;
    if (lineEnd > start && text[lineEnd - 1] == u'\r') --lineEnd;
    doc.lines.push_back(ClassifyLine(text.substr(start, lineEnd - start)));
    start = end + 1;
  }
  return doc;
}

bool SaveDocument(std::u16string_view file, const Document& doc) {
  std::string bytes;
  for (const Line& line : doc.lines) {
    bytes += Utf16ToUtf8(line.text);
    bytes.push_back('\n');
  }
  OutputFile out;
  return out.Create(file) && out.Write(bytes.data(), bytes.size()) && out.Close();
}

bool IsSection(const Line& line, std::u16string_view name) {
  return line.kind == LineKind::Section && EqualsIgnoreCaseAscii(line.name, name);
}

bool IsKey(const Line& line, std::u16string_view name) {
  return line.kind == LineKind::Key && EqualsIgnoreCaseAscii(line.name, name);
}

// Index of the first header named `section`, or lines.size().
size_t FindSection(const Document& doc, std::u16string_view section) {
  size_t i = 0;
  while (i < doc.lines.size() && !IsSection(doc.lines[i], section)) ++i;
  return i;
}

// One past the last line of the section whose header is at `header`.
size_t SectionEnd(const Document& doc, size_t header) {
  size_t i = header + 1;
  while (i < doc.lines.size() && doc.lines[i].kind != LineKind::Section) ++i;
  return i;
}

// The stored value of the key, or null when the key is missing.
const std::u16string* FindValue(const Document& doc, std::u16string_view section,
                                std::u16string_view key) {
  const size_t header = FindSection(doc, section);
  if (header == doc.lines.size()) return nullptr;
  const size_t end = SectionEnd(doc, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (IsKey(doc.lines[i], key)) return &doc.lines[i].value;
  }
  return nullptr;
}

std::u16string Bounded(std::u16string_view text, size_t capacity) {
  const size_t most = capacity == 0 ? 0 : capacity - 1;
  return std::u16string(text.substr(0, std::min(text.size(), most)));
}

uint32_t DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10u;
  if (c >= u'a' && c <= u'z') return c - u'a' + 10u;
  return 99;
}

int32_t ParseProfileInteger(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] <= u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == u'0') {
    if (text[i + 1] == u'x') base = 16;
    if (text[i + 1] == u'o') base = 8;
    if (text[i + 1] == u'b') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t total = 0;  // wraps like the Windows parser
  for (; i < text.size(); ++i) {
    const uint32_t digit = DigitValue(text[i]);
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (negative) total = 0u - total;
  return static_cast<int32_t>(total);
}

}  // namespace

std::u16string ReadIniString(std::u16string_view file, std::u16string_view section,
                             std::u16string_view key, std::u16string_view defaultValue,
                             size_t capacity) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  const bool usable = IsUsableIniSectionName(section) && IsUsableIniKeyName(key);
  const Document doc = usable ? LoadDocument(file) : Document{};
  const std::u16string* stored = FindValue(doc, section, key);
  if (stored == nullptr) {
    while (!defaultValue.empty() && defaultValue.back() == u' ') defaultValue.remove_suffix(1);
    return Bounded(defaultValue, capacity);
  }
  std::u16string_view value = *stored;
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return Bounded(value, capacity);
}

int32_t ReadIniInt(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                   int32_t defaultValue) {
  const std::u16string text = ReadIniString(file, section, key, u"", kIntegerBufferChars);
  if (text.empty()) return defaultValue;
  return ParseProfileInteger(text);
}

bool WriteIniString(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                    std::u16string_view value) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  value = TrimIniBlanks(value);
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key) || !IsStorableIniValue(value)) {
    return false;
  }
  Document doc = LoadDocument(file);
  if (doc.state == LoadState::Unreadable) return false;

  const size_t header = FindSection(doc, section);
  if (header == doc.lines.size()) {
    doc.lines.push_back(ClassifyLine(u"[" + std::u16string(section) + u"]"));
    doc.lines.push_back(ClassifyLine(std::u16string(key) + u"=" + std::u16string(value)));
    return SaveDocument(file, doc);
  }
  const size_t end = SectionEnd(doc, header);
  size_t insertAt = header + 1;
  for (size_t i = header + 1; i < end; ++i) {
    Line& line = doc.lines[i];
    if (IsKey(line, key)) {
      if (line.value == value) return true;
      line = ClassifyLine(line.name + u"=" + std::u16string(value));
      return SaveDocument(file, doc);
    }
    if (!TrimIniBlanks(line.text).empty()) insertAt = i + 1;
  }
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   ClassifyLine(std::u16string(key) + u"=" + std::u16string(value)));
  return SaveDocument(file, doc);
}

bool DeleteIniKey(std::u16string_view file, std::u16string_view section, std::u16string_view key) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key)) return true;
  Document doc = LoadDocument(file);
  if (doc.state == LoadState::Missing) return true;
  if (doc.state == LoadState::Unreadable) return false;
  bool inSection = false;
  bool changed = false;
  std::vector<Line> kept;
  kept.reserve(doc.lines.size());
  for (Line& line : doc.lines) {
    if (line.kind == LineKind::Section) inSection = IsSection(line, section);
    if (inSection && IsKey(line, key)) {
      changed = true;
      continue;
    }
    kept.push_back(std::move(line));
  }
  if (!changed) return true;
  doc.lines = std::move(kept);
  return SaveDocument(file, doc);
}

bool DeleteIniSection(std::u16string_view file, std::u16string_view section) {
  section = TrimIniBlanks(section);
  if (!IsUsableIniSectionName(section)) return true;
  Document doc = LoadDocument(file);
  if (doc.state == LoadState::Missing) return true;
  if (doc.state == LoadState::Unreadable) return false;
  bool inSection = false;
  bool changed = false;
  std::vector<Line> kept;
  kept.reserve(doc.lines.size());
  for (Line& line : doc.lines) {
    if (line.kind == LineKind::Section) inSection = IsSection(line, section);
    if (inSection) {
      changed = true;
      continue;
    }
    kept.push_back(std::move(line));
  }
  if (!changed) return true;
  doc.lines = std::move(kept);
  return SaveDocument(file, doc);
}

}  // namespace pixlane
