// Windows recycle bin: a silent shell delete with undo (FO_DELETE with
// FOF_ALLOWUNDO), which moves the file into the recycle bin.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/recycle_bin.h"

namespace pixlane {

bool MoveToRecycleBin(std::u16string_view path) {
  static_assert(sizeof(wchar_t) == 2);
  // The shell wants a list of paths ending in two zero characters.
  std::wstring from(reinterpret_cast<const wchar_t*>(path.data()), path.size());
  from.push_back(L'\0');
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = nullptr;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  if (SHFileOperationW(&op) != 0 || op.fAnyOperationsAborted) return false;
  return GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace pixlane
