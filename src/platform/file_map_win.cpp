// Win32 file mapping: the file is opened share-read, mapped read-only as a
// whole, and the file and mapping handles stay open until Release, which
// unmaps the view before closing them. While mapped, other processes can
// read the file but not write, replace or delete it.
#include <windows.h>

#include <string>

#include "platform/file_map.h"

namespace pixlane {
namespace {

static_assert(sizeof(wchar_t) == 2, "UTF-16 strings are passed to the W functions as they are");

// A NUL-terminated copy for the W functions. False for an empty path or one
// with an embedded NUL, which the system would silently cut short.
bool ToWidePath(std::u16string_view path, std::wstring& wide) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return false;
  wide.assign(reinterpret_cast<const wchar_t*>(path.data()), path.size());
  return true;
}

}  // namespace

bool FileMapping::Map(std::u16string_view path) {
  Release();
  lackedMemory_ = false;
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = file;

  LARGE_INTEGER size{};
  FILETIME written{};
  // An empty file cannot be mapped; a file larger than the address space
  // cannot be viewed whole.
  if (!::GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
      static_cast<uint64_t>(size.QuadPart) > SIZE_MAX || !::GetFileTime(file, nullptr, nullptr, &written)) {
    Release();
    return false;
  }
  mapping_ = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping_ == nullptr) {
    Release();
    return false;
  }
  const void* view = ::MapViewOfFile(static_cast<HANDLE>(mapping_), FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) {
    const DWORD mapError = ::GetLastError();
    Release();
    lackedMemory_ = mapError == ERROR_NOT_ENOUGH_MEMORY || mapError == ERROR_COMMITMENT_LIMIT;
    return false;
  }
  view_ = static_cast<const uint8_t*>(view);
  size_ = static_cast<size_t>(size.QuadPart);
  lastWriteTime_ = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  return true;
}

void FileMapping::Release() {
  if (view_ != nullptr) ::UnmapViewOfFile(view_);
  if (mapping_ != nullptr) ::CloseHandle(static_cast<HANDLE>(mapping_));
  if (file_ != nullptr) ::CloseHandle(static_cast<HANDLE>(file_));
  view_ = nullptr;
  mapping_ = nullptr;
  file_ = nullptr;
  size_ = 0;
  lastWriteTime_ = 0;
}

}  // namespace pixlane
