// Writes the HTML tag file. The lines are built in memory, written to a
// temporary file in the output folder, flushed, and given the tag file's
// name by a rename that never replaces; when no output qualifies, no file is
// created at all (the old one has been recycled by then, as it would be by
// any run with tags on). Only a regular file is taken for an old tag file.
#include "engine/html_tags.h"

#include <string>

#include "platform/file_system.h"
#include "platform/temporary_files.h"
#include "platform/text.h"

namespace pixlane {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

size_t CharacterLength(std::u16string_view text, size_t i) {
  return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

// The longest prefix of `name`, in whole characters, whose ANSI form fits in
// `maxBytes`.
std::u16string_view PrefixWithinBytes(std::u16string_view name, size_t maxBytes) {
  if (Utf16ToAnsi(name).size() <= maxBytes) return name;
  size_t bytes = 0;
  size_t i = 0;
  while (i < name.size()) {
    const size_t length = CharacterLength(name, i);
    const size_t pieceBytes = Utf16ToAnsi(name.substr(i, length)).size();
    if (bytes + pieceBytes > maxBytes) break;
    bytes += pieceBytes;
    i += length;
  }
  return name.substr(0, i);
}

void AppendPercentEncoded(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    out.push_back('%');
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
  }
}

// The name as it goes between the quotes of src="...", in the ANSI code
// page: characters that would start a fragment or query or a percent escape
// are percent-encoded, the result is made safe inside a double-quoted
// attribute, and a character the code page cannot hold (which would become
// a bare "?" and name another file) is written as its percent-encoded UTF-8
// bytes, which browsers resolve to the same file.
std::string EscapeForSource(std::u16string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    const size_t length = CharacterLength(name, i);
    const std::u16string_view piece = name.substr(i, length);
    i += length;
    switch (piece.front()) {
      case u'%': out += "%25"; continue;
      case u'#': out += "%23"; continue;
      case u'?': out += "%3F"; continue;
      case u'&': out += "&amp;"; continue;
      case u'"': out += "&quot;"; continue;
      case u'<': out += "&lt;"; continue;
      case u'>': out += "&gt;"; continue;
      default: break;
    }
    const std::string ansi = Utf16ToAnsi(piece);
    if (AnsiToUtf16(ansi) == piece) {
      out += ansi;
    } else {
      AppendPercentEncoded(out, Utf16ToUtf8(piece));
    }
  }
  return out;
}

bool Qualifies(const HtmlTagEntry& entry) {
  return !entry.fileName.empty() && entry.width >= 1 && entry.height >= 1 &&
         entry.width <= kMaxTaggedDimension && entry.height <= kMaxTaggedDimension;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

std::u16string HtmlTagFilePath(std::u16string_view outputFolder) {
  std::u16string_view trimmed = outputFolder;
  while (trimmed.size() > 1 && FileNamePart(trimmed).empty()) trimmed.remove_suffix(1);
  std::u16string name(FileNamePart(trimmed));
  if (name.size() == 2 && IsAsciiLetter(name[0]) && name[1] == u':' && trimmed.size() == 2) {
    name.resize(1);  // "D:\" → "D"
  } else if (name.empty()) {
    name = u"root";
  }
  name += u".html";
  return JoinPath(outputFolder, name);
}

std::string HtmlTagLine(const HtmlTagEntry& entry) {
  std::string line = "<img src=\"";
  line += EscapeForSource(PrefixWithinBytes(entry.fileName, kMaxTagNameBytes));
  line += "\" width=\"";
  line += std::to_string(entry.width);
  line += "\" height=\"";
  line += std::to_string(entry.height);
  line += "\" alt=\"\">\r\n";
  return line;
}

HtmlTagResult WriteHtmlTags(std::u16string_view outputFolder, std::span<const HtmlTagEntry> entries,
                            const RecycleFileFunction& recycleFile) {
  if (entries.empty()) return HtmlTagResult::NoLine;
  const std::u16string path = HtmlTagFilePath(outputFolder);
  if (PathTaken(path)) {
    // A folder, a link (also one that points nowhere) or anything else of
    // that name is the user's, not an old tag file: never followed, never
    // removed.
    FileIdentity existing;
    if (!GetFileIdentity(path, false, existing) || !existing.isRegularFile) {
      return HtmlTagResult::CreateFailed;
    }
    if (!(recycleFile && recycleFile(path))) return HtmlTagResult::RecycleFailed;
  }

  std::string text;
  for (const HtmlTagEntry& entry : entries) {
    if (Qualifies(entry)) text += HtmlTagLine(entry);
  }
  if (text.empty()) return HtmlTagResult::NoLine;

  const std::u16string temp = MakeTemporaryName(outputFolder);
  OutputFile file;
  if (!file.Create(temp)) return HtmlTagResult::CreateFailed;
  bool written = file.Write(text.data(), text.size()) && file.Flush();
  written = file.Close() && written;
  if (!written) {
    DeleteOwnFile(temp);
    return HtmlTagResult::WriteFailed;
  }
  if (RenameNoReplace(temp, path) != RenameResult::Renamed) {
    // Someone created that name meanwhile: theirs stays.
    DeleteOwnFile(temp);
    return HtmlTagResult::CreateFailed;
  }
  FlushFolder(outputFolder);
  return HtmlTagResult::Written;
}

}  // namespace pixlane
