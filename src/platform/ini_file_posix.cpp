// POSIX implementation of the INI layer: a document is the file's lines in
// memory; every change is written as a whole new UTF-8 file with LF line
// ends that replaces the old one in one rename. Lines that are neither
// section headers nor keys (comments, blank lines, anything else) are kept
// where they are. Files with a UTF-8 or UTF-16LE byte-order mark are read
// too (a copied Windows file); they are rewritten as UTF-8.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/temporary_files.h"
#include "platform/text.h"

namespace pixlane {
namespace {
// GetPrivateProfileIntW reads the value into a buffer of this size.
constexpr size_t kIntegerBufferChars = 30;

enum class LineKind { Other, Section, Key };

struct Line {
  std::u16string text;  // as read, without the line end
  LineKind kind = LineKind::Other;
  std::u16string name;   // trimmed section or key name
  std::u16string value;  // trimmed value of a key
};

struct Document {
  IniFileState state = IniFileState::Missing;
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
    doc.state = PathTaken(file) ? IniFileState::Unreadable : IniFileState::Missing;
    return doc;
  }
  const uint64_t size = in.Size();
  if (size > kMaxIniFileBytes) {
    doc.state = IniFileState::TooLarge;
    return doc;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (in.Read(bytes.data(), bytes.size()) != bytes.size()) {
    doc.state = IniFileState::Unreadable;
    return doc;
  }
  doc.state = IniFileState::Loaded;
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

// Writes the document beside `file` under a temporary name, flushes it and
// renames it over `file`; the old file stays as it was when any step fails.
bool SaveDocument(std::u16string_view file, const Document& doc) {
  if (doc.state == IniFileState::TooLarge || doc.state == IniFileState::Unreadable) return false;
  std::string bytes;
  for (const Line& line : doc.lines) {
    bytes += Utf16ToUtf8(line.text);
    bytes.push_back('\n');
  }
  const std::u16string_view folder = FolderPart(file);
  const std::u16string temp = MakeTemporaryName(folder.empty() ? std::u16string_view(u".") : folder);
  OutputFile out;
  if (!out.Create(temp)) return false;
  bool ok = out.Write(bytes.data(), bytes.size()) && out.Flush();
  ok = out.Close() && ok;
  // The new file keeps the permissions of the one it replaces.
  struct stat old {};
  if (ok && ::stat(Utf16ToUtf8(file).c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::chmod(Utf16ToUtf8(temp).c_str(), old.st_mode & 07777);
  }
  if (ok) ok = ReplaceWithFile(temp, file);
  if (!ok) DeleteOwnFile(temp);
  return ok;
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

std::u16string ReadFrom(const Document& doc, std::u16string_view section, std::u16string_view key,
                        std::u16string_view defaultValue, size_t capacity) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  const bool usable = IsUsableIniSectionName(section) && IsUsableIniKeyName(key);
  const std::u16string* stored = usable ? FindValue(doc, section, key) : nullptr;
  if (stored == nullptr) {
    while (!defaultValue.empty() && defaultValue.back() == u' ') defaultValue.remove_suffix(1);
    return Bounded(defaultValue, capacity);
  }
  std::u16string_view value = *stored;
  // A value ends at a NUL, as the system's profile reader hands it out (a
  // C string): what follows could never be written back.
  value = value.substr(0, value.find(u'\0'));
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return Bounded(value, capacity);
}

int32_t ReadIntFrom(const Document& doc, std::u16string_view section, std::u16string_view key,
                    int32_t defaultValue) {
  const std::u16string text = ReadFrom(doc, section, key, u"", kIntegerBufferChars);
  if (text.empty()) return defaultValue;
  return ParseProfileInteger(text);
}

enum class Edit { Refused, Unchanged, Changed };

Edit WriteInto(Document& doc, std::u16string_view section, std::u16string_view key,
               std::u16string_view value) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  value = TrimIniBlanks(value);
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key) || !IsStorableIniValue(value)) {
    return Edit::Refused;
  }
  if (doc.state == IniFileState::TooLarge || doc.state == IniFileState::Unreadable) {
    return Edit::Refused;
  }
  const size_t header = FindSection(doc, section);
  if (header == doc.lines.size()) {
    doc.lines.push_back(ClassifyLine(u"[" + std::u16string(section) + u"]"));
    doc.lines.push_back(ClassifyLine(std::u16string(key) + u"=" + std::u16string(value)));
    return Edit::Changed;
  }
  const size_t end = SectionEnd(doc, header);
  size_t insertAt = header + 1;
  for (size_t i = header + 1; i < end; ++i) {
    Line& line = doc.lines[i];
    if (IsKey(line, key)) {
      if (line.value == value) return Edit::Unchanged;
      line = ClassifyLine(line.name + u"=" + std::u16string(value));
      return Edit::Changed;
    }
    if (!TrimIniBlanks(line.text).empty()) insertAt = i + 1;
  }
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   ClassifyLine(std::u16string(key) + u"=" + std::u16string(value)));
  return Edit::Changed;
}

// Removes every section named `section`; false when there was none.
bool DeleteSectionFrom(Document& doc, std::u16string_view section) {
  section = TrimIniBlanks(section);
  if (!IsUsableIniSectionName(section)) return false;
  if (FindSection(doc, section) == doc.lines.size()) return false;
  bool inSection = false;
  std::vector<Line> kept;
  kept.reserve(doc.lines.size());
  for (Line& line : doc.lines) {
    if (line.kind == LineKind::Section) inSection = IsSection(line, section);
    if (!inSection) kept.push_back(std::move(line));
  }
  doc.lines = std::move(kept);
  return true;
}

}  // namespace

std::u16string ReadIniString(std::u16string_view file, std::u16string_view section,
                             std::u16string_view key, std::u16string_view defaultValue,
                             size_t capacity) {
  return ReadFrom(LoadDocument(file), section, key, defaultValue, capacity);
}

int32_t ReadIniInt(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                   int32_t defaultValue) {
  return ReadIntFrom(LoadDocument(file), section, key, defaultValue);
}

bool WriteIniString(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                    std::u16string_view value) {
  Document doc = LoadDocument(file);
  switch (WriteInto(doc, section, key, value)) {
    case Edit::Refused: return false;
    case Edit::Unchanged: return true;
    case Edit::Changed: break;
  }
  return SaveDocument(file, doc);
}

bool DeleteIniKey(std::u16string_view file, std::u16string_view section, std::u16string_view key) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key)) return true;
  Document doc = LoadDocument(file);
  if (doc.state == IniFileState::Missing) return true;
  if (doc.state != IniFileState::Loaded) return false;
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
  if (!IsUsableIniSectionName(TrimIniBlanks(section))) return true;
  Document doc = LoadDocument(file);
  if (doc.state == IniFileState::Missing) return true;
  if (doc.state != IniFileState::Loaded) return false;
  if (!DeleteSectionFrom(doc, section)) return true;
  return SaveDocument(file, doc);
}

struct IniDocument::Impl {
  std::u16string file;
  Document doc;
  bool changed = false;
};

IniDocument::IniDocument() : impl_(std::make_unique<Impl>()) {}
IniDocument::~IniDocument() = default;

IniFileState IniDocument::Load(std::u16string_view file) {
  impl_->file.assign(file);
  impl_->doc = LoadDocument(file);
  impl_->changed = false;
  return impl_->doc.state;
}

IniFileState IniDocument::state() const { return impl_->doc.state; }

int32_t IniDocument::ReadInt(std::u16string_view section, std::u16string_view key,
                             int32_t defaultValue) const {
  return ReadIntFrom(impl_->doc, section, key, defaultValue);
}

std::u16string IniDocument::ReadString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, size_t capacity) const {
  return ReadFrom(impl_->doc, section, key, defaultValue, capacity);
}

bool IniDocument::WriteString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view value) {
  const Edit edit = WriteInto(impl_->doc, section, key, value);
  if (edit == Edit::Changed) impl_->changed = true;
  return edit != Edit::Refused;
}

void IniDocument::DeleteSection(std::u16string_view section) {
  if (DeleteSectionFrom(impl_->doc, section)) impl_->changed = true;
}

bool IniDocument::Save() {
  const Document& doc = impl_->doc;
  if (doc.state == IniFileState::TooLarge || doc.state == IniFileState::Unreadable) return false;
  if (!impl_->changed) return true;  // a missing file stays missing
  const std::u16string_view folder = FolderPart(impl_->file);
  RemoveStaleTemporaryFiles(folder.empty() ? std::u16string_view(u".") : folder);
  if (!SaveDocument(impl_->file, doc)) return false;
  impl_->doc.state = IniFileState::Loaded;
  impl_->changed = false;
  return true;
}

}  // namespace pixlane
