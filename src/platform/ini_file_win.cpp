// Win32 implementation of the INI layer over the private-profile functions,
// with three additions: a new file is created as UTF-16LE with a byte-order
// mark before the first write (WritePrivateProfileStringW would create it in
// the ANSI code page and turn every character outside it into "?"; an
// existing ANSI file is still read and written as it is); relative paths are
// made absolute (the functions would look in the Windows folder); deleting
// a section removes every section of that name, not only the first.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "platform/text.h"

namespace pixlane {
namespace {

static_assert(sizeof(wchar_t) == 2, "UTF-16 strings are passed to the W functions as they are");

constexpr size_t kMaxCapacity = 0x7FFFFFFF;

std::wstring Wide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

bool HasNul(std::u16string_view text) { return text.find(u'\0') != std::u16string_view::npos; }

bool FullPath(std::u16string_view file, std::wstring& full) {
  if (file.empty() || HasNul(file)) return false;
  const std::wstring wide = Wide(file);
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return false;
  full.assign(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return false;
  full.resize(length);
  return true;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// An empty UTF-16LE file: the private-profile functions keep the encoding
// of an existing file, so every later write stays UTF-16.
bool CreateUnicodeIniFile(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_EXISTS;
  static const BYTE kByteOrderMark[2] = {0xFF, 0xFE};
  DWORD written = 0;
  const bool ok = ::WriteFile(h, kByteOrderMark, sizeof kByteOrderMark, &written, nullptr) &&
                  written == sizeof kByteOrderMark;
  return ::CloseHandle(h) && ok;
}

// How many sections of the file carry `section` as their name. The
// private-profile functions delete one section per call; a file edited by
// hand can hold the same section twice.
size_t CountSections(const std::wstring& path, std::u16string_view section) {
  std::vector<wchar_t> names(4096);
  DWORD length = 0;
  for (;;) {
    length = ::GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()),
                                              path.c_str());
    if (length + 2 < names.size() || names.size() >= (size_t{1} << 24)) break;
    names.resize(names.size() * 2);
  }
  size_t count = 0;
  const std::u16string_view list(reinterpret_cast<const char16_t*>(names.data()), length);
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(u'\0', start);
    if (end == std::u16string_view::npos) end = list.size();
    if (EqualsIgnoreCaseAscii(list.substr(start, end - start), section)) ++count;
    start = end + 1;
  }
  return count;
}

std::u16string DefaultString(std::u16string_view defaultValue, size_t capacity) {
  while (!defaultValue.empty() && defaultValue.back() == u' ') defaultValue.remove_suffix(1);
  const size_t most = capacity == 0 ? 0 : capacity - 1;
  return std::u16string(defaultValue.substr(0, std::min(defaultValue.size(), most)));
}

}  // namespace

std::u16string ReadIniString(std::u16string_view file, std::u16string_view section,
                             std::u16string_view key, std::u16string_view defaultValue,
                             size_t capacity) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  std::wstring path;
  if (capacity == 0 || !IsUsableIniSectionName(section) || !IsUsableIniKeyName(key) ||
      HasNul(defaultValue) || !FullPath(file, path)) {
    return DefaultString(defaultValue, capacity);
  }
  capacity = std::min(capacity, kMaxCapacity);
  std::vector<wchar_t> buffer(capacity, L'\0');
  const DWORD length = ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                                  Wide(defaultValue).c_str(), buffer.data(),
                                                  static_cast<DWORD>(capacity), path.c_str());
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()),
                        std::min<size_t>(length, capacity - 1));
}

int32_t ReadIniInt(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                   int32_t defaultValue) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  std::wstring path;
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key) || !FullPath(file, path)) {
    return defaultValue;
  }
  return static_cast<int32_t>(::GetPrivateProfileIntW(Wide(section).c_str(), Wide(key).c_str(),
                                                      defaultValue, path.c_str()));
}

bool WriteIniString(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                    std::u16string_view value) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  value = TrimIniBlanks(value);
  std::wstring path;
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key) || !IsStorableIniValue(value) ||
      !FullPath(file, path)) {
    return false;
  }
  if (!FileExists(path) && !CreateUnicodeIniFile(path)) return false;
  return ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(),
                                      path.c_str()) != 0;
}

bool DeleteIniKey(std::u16string_view file, std::u16string_view section, std::u16string_view key) {
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  std::wstring path;
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key) || !FullPath(file, path)) {
    return true;  // no such key can be stored
  }
  if (!FileExists(path)) return true;
  return ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), nullptr,
                                      path.c_str()) != 0;
}

bool DeleteIniSection(std::u16string_view file, std::u16string_view section) {
  section = TrimIniBlanks(section);
  std::wstring path;
  if (!IsUsableIniSectionName(section) || !FullPath(file, path)) return true;
  if (!FileExists(path)) return true;
  const std::wstring name = Wide(section);
  for (size_t n = CountSections(path, section); n > 0; --n) {
    if (!::WritePrivateProfileStringW(name.c_str(), nullptr, nullptr, path.c_str())) return false;
  }
  return true;
}

}  // namespace pixlane
