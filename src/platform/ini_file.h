// INI ("private profile") files with the Windows GetPrivateProfileIntW /
// GetPrivateProfileStringW / WritePrivateProfileStringW rules. The Win32
// build calls those functions; the POSIX build reads and rewrites a UTF-8
// file itself with the same observable behaviour. The single-value
// functions open the file anew on every call; IniDocument reads it once for
// a whole load and replaces it in one step for a whole save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pixlane {

// A settings file larger than this is not read, and never overwritten.
inline constexpr uint64_t kMaxIniFileBytes = uint64_t{1} << 20;

enum class IniFileState {
  Missing,     // no file: every key has its default; a save creates it
  Loaded,
  TooLarge,    // over kMaxIniFileBytes: not read, and a save refuses
  Unreadable,  // not a regular file, or it could not be read: as TooLarge
};

// One settings file for one load or one save. Load reads it once (the
// Win32 build checks it and lets the private-profile functions read it);
// reads answer from what was loaded. Writes and section deletions collect
// in memory until Save, which writes the whole new file to a sibling
// temporary file (created exclusively), flushes it and renames it over the
// old one: a failure at any point leaves the old file as it was.
class IniDocument {
 public:
  IniDocument();
  ~IniDocument();
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  IniFileState Load(std::u16string_view file);
  IniFileState state() const;

  int32_t ReadInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue) const;
  std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                            std::u16string_view defaultValue, size_t capacity) const;

  // Same rules and results as WriteIniString and DeleteIniSection, applied
  // to the document in memory.
  bool WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  void DeleteSection(std::u16string_view section);

  // Writes the document to the file it was loaded from. False (the old file
  // unchanged) when the file was too large or unreadable at load, when it is
  // no longer a regular file, or when any step fails.
  bool Save();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The characters trimmed from both ends of section names, key names and
// values: tab, line feed, vertical tab, form feed, carriage return, 0x1A
// (DOS end of file) and space. Other spaces (U+00A0, U+3000) are kept.
bool IsIniBlank(char16_t c);

// Whether `text` can be stored as a value: no carriage return, line feed or
// NUL, which would end or cut the line.
bool IsStorableIniValue(std::u16string_view text);

// Reads an integer: section and key names are compared case-insensitively
// (ASCII letters), the first matching section is searched. A missing key or
// an empty value gives `defaultValue`; otherwise the value (its first 29
// characters) is parsed as an optional sign followed by digits — "0x", "0o"
// and "0b" select base 16, 8 and 2 — stopping at the first character that
// is not a digit, with 32-bit wrap-around; no digits gives 0.
int32_t ReadIniInt(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                   int32_t defaultValue);

// Reads a string into a buffer of `capacity` characters (terminator
// included, capacity >= 1): at most capacity - 1 characters are returned.
// The stored value has its surrounding blanks trimmed, and one pair of
// matching surrounding quotes ('…' or "…") is removed. A missing key gives
// `defaultValue` without its trailing spaces, cut to the same bound. A file
// that cannot be read counts as empty.
std::u16string ReadIniString(std::u16string_view file, std::u16string_view section,
                             std::u16string_view key, std::u16string_view defaultValue,
                             size_t capacity);

// Writes `value` (leading and trailing blanks are not stored) under `key`,
// replacing an existing value in place or adding the key at the end of its
// section, or the section at the end of the file. The file is created when
// missing: UTF-16LE with a byte-order mark on Windows (so that any text
// survives whatever the ANSI code page is), UTF-8 on POSIX. False when the
// value is not storable, a name is empty, contains a line break or NUL (or
// the key contains '=' or starts with '[' or ';'), or the file cannot be
// written.
bool WriteIniString(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                    std::u16string_view value);

// Removes `key` from the sections named `section`. True when there was
// nothing to remove; a missing file is not created.
bool DeleteIniKey(std::u16string_view file, std::u16string_view section, std::u16string_view key);

// Removes every section named `section` with all its lines. True when there
// was nothing to remove; a missing file is not created.
bool DeleteIniSection(std::u16string_view file, std::u16string_view section);

// Name checks shared by both implementations (exposed for them, not for
// callers): trimmed names that the file format can hold.
bool IsUsableIniSectionName(std::u16string_view trimmedName);
bool IsUsableIniKeyName(std::u16string_view trimmedName);
std::u16string_view TrimIniBlanks(std::u16string_view text);

}  // namespace pixlane
