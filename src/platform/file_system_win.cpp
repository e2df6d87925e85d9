// Win32 implementation of the file-system layer: UTF-16 paths go to the W
// functions unchanged (paths with an embedded NUL are refused rather than
// cut short); times are FILETIMEs as the system reports them.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "platform/file_system.h"

namespace pixlane {
namespace {

static_assert(sizeof(wchar_t) == 2, "UTF-16 strings are passed to the W functions as they are");

// Largest single ReadFile/WriteFile request (the count is a DWORD).
constexpr size_t kMaxIoChunk = size_t{1} << 30;

bool ToWidePath(std::u16string_view path, std::wstring& wide) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return false;
  wide.assign(reinterpret_cast<const wchar_t*>(path.data()), path.size());
  return true;
}

std::u16string FromWide(const wchar_t* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

FileTime ToFileTime(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

bool GetAttributes(std::u16string_view path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  std::wstring wide;
  return ToWidePath(path, wide) && ::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

InputFile::~InputFile() { Close(); }

bool InputFile::Open(std::u16string_view path) {
  Close();
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened: only
  // plain files, as on POSIX.
  HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return false;
  }
  handle_ = h;
  return true;
}

bool InputFile::IsOpen() const { return handle_ != nullptr; }

size_t InputFile::Read(void* buffer, size_t bytes) {
  if (handle_ == nullptr) return 0;
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < bytes) {
    const auto request = static_cast<DWORD>(std::min(bytes - done, kMaxIoChunk));
    DWORD got = 0;
    if (!::ReadFile(static_cast<HANDLE>(handle_), out + done, request, &got, nullptr) || got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

bool InputFile::Seek(uint64_t offset) {
  if (handle_ == nullptr || offset > static_cast<uint64_t>(INT64_MAX)) return false;
  LARGE_INTEGER distance{};
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(static_cast<HANDLE>(handle_), distance, nullptr, FILE_BEGIN) != 0;
}

uint64_t InputFile::Size() const {
  LARGE_INTEGER size{};
  if (handle_ == nullptr || !::GetFileSizeEx(static_cast<HANDLE>(handle_), &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

FileTime InputFile::LastWriteTime() const {
  FILETIME written{};
  if (handle_ == nullptr || !::GetFileTime(static_cast<HANDLE>(handle_), nullptr, nullptr, &written)) {
    return 0;
  }
  return ToFileTime(written);
}

void InputFile::Close() {
  if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(std::u16string_view path) {
  Close();
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool OutputFile::IsOpen() const { return handle_ != nullptr; }

bool OutputFile::Write(const void* data, size_t bytes) {
  if (handle_ == nullptr) return false;
  const auto* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < bytes) {
    const auto request = static_cast<DWORD>(std::min(bytes - done, kMaxIoChunk));
    DWORD written = 0;
    if (!::WriteFile(static_cast<HANDLE>(handle_), in + done, request, &written, nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

bool OutputFile::Close() {
  if (handle_ == nullptr) return true;
  const bool ok = ::CloseHandle(static_cast<HANDLE>(handle_)) != 0;
  handle_ = nullptr;
  return ok;
}

bool PathExists(std::u16string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetAttributes(path, data);
}

bool IsDirectory(std::u16string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetAttributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool GetFileSize(std::u16string_view path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetAttributes(path, data)) return false;
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool GetLastWriteTime(std::u16string_view path, FileTime& time) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetAttributes(path, data)) return false;
  time = ToFileTime(data.ftLastWriteTime);
  return true;
}

bool DeleteFilePath(std::u16string_view path) {
  std::wstring wide;
  return ToWidePath(path, wide) && ::DeleteFileW(wide.c_str()) != 0;
}

bool CreateFolder(std::u16string_view path) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  if (::CreateDirectoryW(wide.c_str(), nullptr)) return true;
  return ::GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path);
}

bool RemoveEmptyFolder(std::u16string_view path) {
  std::wstring wide;
  return ToWidePath(path, wide) && ::RemoveDirectoryW(wide.c_str()) != 0;
}

bool CopyFilePath(std::u16string_view from, std::u16string_view to) {
  std::wstring wideFrom;
  std::wstring wideTo;
  return ToWidePath(from, wideFrom) && ToWidePath(to, wideTo) &&
         ::CopyFileW(wideFrom.c_str(), wideTo.c_str(), FALSE) != 0;
}

std::u16string TemporaryFolder() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length > buffer.size()) {
    // Too small: the return value is the size needed, terminator included.
    buffer.assign(length, L'\0');
    length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length >= buffer.size()) return {};
  }
  buffer.resize(length);
  // Drop the trailing separator, but keep a drive root such as "C:\".
  while (buffer.size() > 1 && IsSeparator(buffer.back()) &&
         !(buffer.size() == 3 && buffer[1] == L':')) {
    buffer.pop_back();
  }
  return FromWide(buffer.data(), buffer.size());
}

bool MakeTemporaryFile(std::u16string_view folder, std::u16string_view prefix,
                       std::u16string& path) {
  std::wstring wideFolder;
  if (!ToWidePath(folder, wideFolder)) return false;
  // GetTempFileNameW uses at most the first three characters of the prefix.
  std::wstring widePrefix;
  if (!prefix.empty() && !ToWidePath(prefix, widePrefix)) return false;
  wchar_t name[MAX_PATH] = {};
  if (::GetTempFileNameW(wideFolder.c_str(), widePrefix.c_str(), 0, name) == 0) return false;
  path = FromWide(name, wcslen(name));
  return true;
}

bool ListDirectory(std::u16string_view folder, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  std::wstring pattern;
  if (!ToWidePath(JoinPath(folder, u"*"), pattern) || folder.empty()) return false;
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    // An empty drive root has no "." entry, so nothing matches at all.
    return ::GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(folder);
  }
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    DirectoryEntry entry;
    entry.name = FromWide(name.data(), name.size());
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isHidden = (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entry.lastWriteTime = ToFileTime(found.ftLastWriteTime);
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(find, &found));
  const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
  ::FindClose(find);
  return complete;
}

}  // namespace pixlane
