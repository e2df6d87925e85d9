// The character and whole-name rules for names the program builds.
#include "platform/file_name_rules.h"

#include <array>

namespace pixlane {
namespace {

NameProblem CheckCharacter(char16_t c) {
  if (c == u'/' || c == u'\\') return NameProblem::PathSeparator;
  if (c == u':') return NameProblem::Colon;
  if (c < 0x20 || c == 0x7F) return NameProblem::ControlCharacter;
  switch (c) {
    case u'*': case u'?': case u'"': case u'<': case u'>': case u'|':
      return NameProblem::ReservedCharacter;
    default:
      return NameProblem::None;
  }
}

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool EqualsUpper(std::u16string_view text, std::u16string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (AsciiUpper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Windows reserves these names in every folder, whatever follows the first
// dot, and ignores trailing spaces before it ("nul .txt" is NUL too).
bool IsDeviceName(std::u16string_view name) {
  std::u16string_view base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  for (std::u16string_view device : kPlain) {
    if (EqualsUpper(base, device)) return true;
  }
  if (base.size() != 4) return false;
  const std::u16string_view stem = base.substr(0, 3);
  // COM1-COM9 and LPT1-LPT9, also with the superscript digits Windows
  // treats the same way.
  const char16_t digit = base[3];
  const bool isDigit = (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' ||
                       digit == u'\u00B2' || digit == u'\u00B3';
  return isDigit && (EqualsUpper(stem, u"COM") || EqualsUpper(stem, u"LPT"));
}

}  // namespace

NameProblem CheckNamePiece(std::u16string_view piece) {
  for (char16_t c : piece) {
    const NameProblem problem = CheckCharacter(c);
    if (problem != NameProblem::None) return problem;
  }
  return NameProblem::None;
}

NameProblem CheckFileName(std::u16string_view name) {
  if (name.empty()) return NameProblem::Empty;
  const NameProblem piece = CheckNamePiece(name);
  if (piece != NameProblem::None) return piece;
  if (name == u"." || name == u"..") return NameProblem::DotName;
  if (name.back() == u'.' || name.back() == u' ') return NameProblem::TrailingDotOrSpace;
  if (IsDeviceName(name)) return NameProblem::DeviceName;
  return NameProblem::None;
}

NameProblem CheckHostFileName(std::u16string_view name) {
#ifdef _WIN32
  return CheckFileName(name);
#else
  if (name.empty()) return NameProblem::Empty;
  for (char16_t c : name) {
    if (c == u'/') return NameProblem::PathSeparator;
    if (c == 0) return NameProblem::ControlCharacter;
  }
  if (name == u"." || name == u"..") return NameProblem::DotName;
  return NameProblem::None;
#endif
}

const char* NameProblemText(NameProblem problem) {
  switch (problem) {
    case NameProblem::None: return "valid";
    case NameProblem::Empty: return "is empty";
    case NameProblem::PathSeparator: return "contains a path separator";
    case NameProblem::Colon: return "contains a colon";
    case NameProblem::ReservedCharacter: return "contains one of * ? \" < > |";
    case NameProblem::ControlCharacter: return "contains a control character";
    case NameProblem::DotName: return "is \".\" or \"..\"";
    case NameProblem::TrailingDotOrSpace: return "ends in a dot or a space";
    case NameProblem::DeviceName: return "is a reserved device name";
  }
  return "invalid";
}

}  // namespace pixlane
