// Win32 implementation of the INI layer over the private-profile functions,
// with three additions: a new file is created as UTF-16LE with a byte-order
// mark before the first write (WritePrivateProfileStringW would create it in
// the ANSI code page and turn every character outside it into "?"; an
// existing ANSI file is still read and written as it is); relative paths are
// made absolute (the functions would look in the Windows folder); deleting
// a section removes every section of that name, not only the first. An
// IniDocument saves by replaying its changes with the same functions on a
// temporary copy of the file and then replacing the file with that copy.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/temporary_files.h"
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


struct IniDocument::Impl {
  struct Change {
    bool deletesSection = false;
    std::u16string section;
    std::u16string key;
    std::u16string value;
  };
  std::u16string file;  // absolute
  IniFileState state = IniFileState::Missing;
  std::vector<Change> changes;
};

IniDocument::IniDocument() : impl_(std::make_unique<Impl>()) {}
IniDocument::~IniDocument() = default;

IniFileState IniDocument::Load(std::u16string_view file) {
  Impl& d = *impl_;
  d.changes.clear();
  d.file.clear();
  std::wstring path;
  if (!FullPath(file, path)) {
    d.state = IniFileState::Unreadable;
    return d.state;
  }
  d.file = std::u16string(reinterpret_cast<const char16_t*>(path.data()), path.size());
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    const DWORD error = ::GetLastError();
    d.state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                  ? IniFileState::Missing
                  : IniFileState::Unreadable;
    return d.state;
  }
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    d.state = IniFileState::Unreadable;
  } else if (size > kMaxIniFileBytes) {
    d.state = IniFileState::TooLarge;
  } else {
    InputFile probe;
    d.state = probe.Open(d.file) ? IniFileState::Loaded : IniFileState::Unreadable;
  }
  return d.state;
}

IniFileState IniDocument::state() const { return impl_->state; }

int32_t IniDocument::ReadInt(std::u16string_view section, std::u16string_view key,
                             int32_t defaultValue) const {
  if (impl_->state != IniFileState::Loaded) return defaultValue;
  return ReadIniInt(impl_->file, section, key, defaultValue);
}

std::u16string IniDocument::ReadString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, size_t capacity) const {
  if (impl_->state != IniFileState::Loaded) return DefaultString(defaultValue, capacity);
  return ReadIniString(impl_->file, section, key, defaultValue, capacity);
}

bool IniDocument::WriteString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view value) {
  Impl& d = *impl_;
  section = TrimIniBlanks(section);
  key = TrimIniBlanks(key);
  value = TrimIniBlanks(value);
  if (!IsUsableIniSectionName(section) || !IsUsableIniKeyName(key) || !IsStorableIniValue(value) ||
      d.file.empty() || d.state == IniFileState::TooLarge || d.state == IniFileState::Unreadable) {
    return false;
  }
  d.changes.push_back({false, std::u16string(section), std::u16string(key), std::u16string(value)});
  return true;
}

void IniDocument::DeleteSection(std::u16string_view section) {
  section = TrimIniBlanks(section);
  // A missing file has nothing to delete (and is not created for it).
  if (!IsUsableIniSectionName(section) || impl_->state == IniFileState::Missing) return;
  impl_->changes.push_back({true, std::u16string(section), {}, {}});
}

bool IniDocument::Save() {
  Impl& d = *impl_;
  if (d.state == IniFileState::TooLarge || d.state == IniFileState::Unreadable || d.file.empty()) {
    return false;
  }
  if (d.changes.empty()) return true;
  const std::u16string_view folder = FolderPart(d.file);
  RemoveStaleTemporaryFiles(folder);
  // The copy starts as the file is now (its encoding included), or as a new
  // UTF-16LE file.
  std::vector<uint8_t> bytes;
  if (d.state == IniFileState::Loaded) {
    InputFile in;
    if (!in.Open(d.file) || in.Size() > kMaxIniFileBytes) return false;
    bytes.resize(static_cast<size_t>(in.Size()));
    if (in.Read(bytes.data(), bytes.size()) != bytes.size()) return false;
  } else {
    bytes = {0xFF, 0xFE};
  }
  const std::u16string temp = MakeTemporaryName(folder);
  OutputFile out;
  if (!out.Create(temp)) return false;
  bool ok = out.Write(bytes.data(), bytes.size());
  ok = out.Close() && ok;
  for (const Impl::Change& change : d.changes) {
    if (!ok) break;
    ok = change.deletesSection ? DeleteIniSection(temp, change.section)
                               : WriteIniString(temp, change.section, change.key, change.value);
  }
  ok = ok && FlushFileToDisk(temp) && ReplaceWithFile(temp, d.file);
  if (!ok) {
    DeleteOwnFile(temp);
    return false;
  }
  d.state = IniFileState::Loaded;
  d.changes.clear();
  return true;
}

}  // namespace pixlane
