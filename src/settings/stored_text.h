// Strings in the settings file, protected against the INI rules that would
// change them: a value that begins or ends with a blank, or that begins and
// ends with the same quote character, is stored inside double quotes, which
// the reading side strips again. Every other value is stored as it is, so
// ordinary files look exactly as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace pixlane {

// The stored form of `value` (quoted when needed).
std::u16string ProtectStoredText(std::u16string_view value);

// Reads a string written by WriteStoredText: at most `maxChars` characters
// of the unquoted value, `defaultValue` when the key is missing.
std::u16string ReadStoredText(const IniDocument& ini, std::u16string_view section,
                              std::u16string_view key, std::u16string_view defaultValue,
                              size_t maxChars);

// Writes a string so that ReadStoredText gives it back unchanged. False
// when the text cannot be stored (a line break or NUL) or the write failed.
bool WriteStoredText(IniDocument& ini, std::u16string_view section,
                     std::u16string_view key, std::u16string_view value);

// Writes an integer in decimal ("%d").
bool WriteStoredInt(IniDocument& ini, std::u16string_view section,
                    std::u16string_view key, int32_t value);

}  // namespace pixlane
