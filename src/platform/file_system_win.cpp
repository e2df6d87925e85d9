// Win32 implementation of the file-system layer: UTF-16 paths go to the W
// functions unchanged (paths with an embedded NUL are refused rather than
// cut short); times are FILETIMEs as the system reports them. Files are
// created with CREATE_NEW and FILE_FLAG_OPEN_REPARSE_POINT only, and kept
// unshared while written; renames never replace unless asked to and are
// written through.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "platform/text.h"

#include "platform/file_system.h"
#include "platform/own_files.h"

namespace pixlane {
namespace {

using namespace own_files;

static_assert(sizeof(wchar_t) == 2, "UTF-16 strings are passed to the W functions as they are");

// Largest single ReadFile/WriteFile request (the count is a DWORD).
constexpr size_t kMaxIoChunk = size_t{1} << 30;

thread_local DWORD tLastError = 0;

bool Fail(DWORD error = ::GetLastError()) {
  tLastError = error;
  return false;
}

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

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity id;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  id.lastWriteTime = ToFileTime(info.ftLastWriteTime);
  id.isRegularFile =
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                FILE_ATTRIBUTE_DEVICE)) == 0;
  return id;
}

// Opens `path` for attribute queries or flushing without following a final
// reparse point (link) unless asked to; folders open too.
HANDLE OpenForQuery(std::u16string_view path, DWORD access, bool followLinks) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) {
    Fail(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!followLinks) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  HANDLE h = ::CreateFileW(wide.c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail();
  return h;
}

}  // namespace

std::string LastFileErrorText() {
  if (tLastError == 0) return std::string();
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, tLastError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message;
  if (length != 0 && text != nullptr) message = FromWide(text, length);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' ||
                              message.back() == u' ' || message.back() == u'.')) {
    message.pop_back();
  }
  if (message.empty()) return "system error " + std::to_string(tLastError);
  return Utf16ToUtf8(message);
}

void ClearLastFileError() { tLastError = 0; }

InputFile::~InputFile() { Close(); }

bool InputFile::Open(std::u16string_view path) {
  Close();
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened: only
  // plain files, as on POSIX.
  HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail();
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return Fail(ERROR_INVALID_FUNCTION);
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
    if (!::ReadFile(static_cast<HANDLE>(handle_), out + done, request, &got, nullptr)) {
      Fail();
      break;
    }
    if (got == 0) break;
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
  // Created and remembered under the list's lock, so that a file is either
  // refused or known to DeleteUnfinishedOwnFiles.
  OwnFileList& list = OwnFiles();
  const std::lock_guard<std::mutex> lock(list.mutex);
  if (list.sealed) return Fail(ERROR_OPERATION_ABORTED);
  // CREATE_NEW fails on any existing entry; with FILE_FLAG_OPEN_REPARSE_POINT
  // a link at the name is not followed to create its target.
  HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail();
  handle_ = h;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(h, &info)) RememberOwnFile(list, path, IdentityOf(info));
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
    if (!::WriteFile(static_cast<HANDLE>(handle_), in + done, request, &written, nullptr)) {
      return Fail();
    }
    if (written == 0) return Fail(ERROR_DISK_FULL);
    done += written;
  }
  return true;
}

bool OutputFile::Flush() {
  if (handle_ == nullptr) return false;
  return ::FlushFileBuffers(static_cast<HANDLE>(handle_)) != 0 || Fail();
}

bool OutputFile::Close() {
  if (handle_ == nullptr) return true;
  const bool ok = ::CloseHandle(static_cast<HANDLE>(handle_)) != 0 || Fail();
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

bool PathTaken(std::u16string_view path) {
  // The attributes of the entry itself: a link is reported, not followed.
  std::wstring wide;
  return ToWidePath(path, wide) && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
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
  if (!ToWidePath(path, wide)) return false;
  if (!::DeleteFileW(wide.c_str())) return Fail();
  ForgetOwnFile(path);
  return true;
}

bool CreateFolder(std::u16string_view path) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  if (::CreateDirectoryW(wide.c_str(), nullptr)) return true;
  const DWORD error = ::GetLastError();
  return (error == ERROR_ALREADY_EXISTS && IsDirectory(path)) || Fail(error);
}

bool RemoveEmptyFolder(std::u16string_view path) {
  std::wstring wide;
  return ToWidePath(path, wide) && (::RemoveDirectoryW(wide.c_str()) != 0 || Fail());
}

bool CopyFilePath(std::u16string_view from, std::u16string_view to) {
  InputFile in;
  if (!in.Open(from)) return false;
  OutputFile out;
  if (!out.Create(to)) return false;
  std::vector<char> buffer(size_t{1} << 16);
  bool ok = true;
  for (;;) {
    const size_t n = in.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    if (!out.Write(buffer.data(), n)) {
      ok = false;
      break;
    }
  }
  ok = out.Close() && ok;
  if (!ok) DeleteOwnFile(to);
  return ok;
}

bool GetFileIdentity(std::u16string_view path, bool followLinks, FileIdentity& identity) {
  HANDLE h = OpenForQuery(path, FILE_READ_ATTRIBUTES, followLinks);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0 || Fail();
  ::CloseHandle(h);
  if (ok) identity = IdentityOf(info);
  return ok;
}

bool FlushFileToDisk(std::u16string_view path) {
  HANDLE h = OpenForQuery(path, GENERIC_WRITE, false);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool ok = ::GetFileInformationByHandle(h, &info) != 0 || Fail();
  if (ok && !IdentityOf(info).isRegularFile) ok = Fail(ERROR_INVALID_FUNCTION);
  if (ok) ok = ::FlushFileBuffers(h) != 0 || Fail();
  ::CloseHandle(h);
  return ok;
}

bool FlushFolder(std::u16string_view /*folder*/) {
  // Renames are made with MOVEFILE_WRITE_THROUGH, which returns only once
  // the new entry is on the disk.
  return true;
}

RenameResult RenameNoReplace(std::u16string_view from, std::u16string_view to) {
  std::wstring wideFrom;
  std::wstring wideTo;
  if (!ToWidePath(from, wideFrom) || !ToWidePath(to, wideTo)) {
    Fail(ERROR_INVALID_NAME);
    return RenameResult::Failed;
  }
  if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH)) {
    ForgetOwnFile(from);
    return RenameResult::Renamed;
  }
  const DWORD error = ::GetLastError();
  // A folder of that name gives "access denied" rather than "exists".
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS || PathTaken(to)) {
    return RenameResult::NameTaken;
  }
  Fail(error);
  return RenameResult::Failed;
}

bool ReplaceWithFile(std::u16string_view from, std::u16string_view to) {
  std::wstring wideFrom;
  std::wstring wideTo;
  if (!ToWidePath(from, wideFrom) || !ToWidePath(to, wideTo)) return Fail(ERROR_INVALID_NAME);
  const DWORD attributes = ::GetFileAttributesW(wideTo.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  if (!::MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return Fail();
  }
  ForgetOwnFile(from);
  return true;
}

bool DeleteUnusedFile(std::u16string_view path) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail();
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  // A file being written is open without FILE_SHARE_DELETE: the delete then
  // fails with a sharing violation.
  return ::DeleteFileW(wide.c_str()) != 0 || Fail();
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
  // Creates the file with CREATE_NEW.
  if (::GetTempFileNameW(wideFolder.c_str(), widePrefix.c_str(), 0, name) == 0) return Fail();
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
    entry.isRegularFile = (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY |
                                                     FILE_ATTRIBUTE_DEVICE)) == 0;
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
