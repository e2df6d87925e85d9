// The Win32 plug-in loader: FindFirstFileW over "*.spi", LoadLibraryW,
// GetProcAddress and the exports called with the Windows API calling
// convention, LocalLock/LocalUnlock/LocalSize/LocalFree on the blocks a
// plug-in returns. A 64-bit program loads 64-bit builds of the interface
// (a 32-bit library fails to load there and is skipped like any other).
#include <windows.h>

#include <climits>
#include <cstring>

#include "platform/plugin_loader.h"

namespace pixlane {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 strings are passed to the W functions");
static_assert(sizeof(HLOCAL) == sizeof(PluginLoader::Memory));
static_assert(sizeof(HMODULE) == sizeof(PluginLoader::Library));

// Characters of the interface's file name buffers, terminator included.
constexpr int kAnsiPathBytes = 260;

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

const char* ExportName(PluginExport which) {
  switch (which) {
    case PluginExport::GetPluginInfo: return "GetPluginInfo";
    case PluginExport::IsSupported: return "IsSupported";
    case PluginExport::GetPictureInfo: return "GetPictureInfo";
    case PluginExport::GetPicture: return "GetPicture";
    case PluginExport::ConfigurationDlg: return "ConfigurationDlg";
  }
  return "";
}

template <typename Function>
Function Find(PluginLoader::Library library, PluginExport which) {
  // GetProcAddress returns a generic function pointer; the export has the
  // interface's type.
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), ExportName(which))));
}

// The host's progress callback: always go on.
int PIXLANE_PLUGIN_CALL KeepGoing(int, int, PluginUserData) { return 0; }

// The exact ANSI form of `path`, or false when a character has none or the
// result does not fit the interface's 260 bytes.
bool ExactAnsi(const std::wstring& path, std::string& out) {
  if (path.empty() || path.size() >= static_cast<size_t>(INT_MAX)) return false;
  char buffer[kAnsiPathBytes] = {};
  BOOL lossy = FALSE;
  // A UTF-8 code page spells everything and takes neither the flag nor the
  // default-character report.
  const bool utf8 = GetACP() == CP_UTF8;
  const int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, path.c_str(), -1, buffer,
                                          kAnsiPathBytes, nullptr, utf8 ? nullptr : &lossy);
  if (written <= 0 || lossy) return false;
  out.assign(buffer);
  return true;
}

class Win32PluginLoader final : public PluginLoader {
 public:
  std::vector<std::u16string> FindLibraries(std::u16string_view folder) override {
    std::vector<std::u16string> names;
    std::u16string pattern(folder);
    if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
    pattern += u"*.spi";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(Wide(pattern), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        names.emplace_back(reinterpret_cast<const char16_t*>(found.cFileName));
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }

  bool AnsiFileName(std::u16string_view path, std::string& name) override {
    const std::wstring wide(reinterpret_cast<const wchar_t*>(path.data()), path.size());
    if (ExactAnsi(wide, name)) return true;
    // A name the code page cannot spell may still have a short (8.3) form
    // that it can.
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(wide.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    return ExactAnsi(shortPath, name);
  }

  Library Load(std::u16string_view path) override {
    const std::u16string text(path);
    // No "cannot load" boxes from the system for a broken library.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(Wide(text));
    SetErrorMode(previous);
    return module;
  }

  void Free(Library library) override {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
  }

  bool HasExport(Library library, PluginExport which) override {
    return library != nullptr && Find<FARPROC>(library, which) != nullptr;
  }

  int32_t GetPluginInfo(Library library, int32_t infoNumber, char* buffer, int32_t bufferLength) override {
    const auto function = Find<GetPluginInfoFunction>(library, PluginExport::GetPluginInfo);
    return function ? function(infoNumber, buffer, bufferLength) : 0;
  }

  int32_t IsSupported(Library library, char* fileName, uint8_t* head) override {
    const auto function = Find<IsSupportedFunction>(library, PluginExport::IsSupported);
    return function ? function(fileName, reinterpret_cast<PluginAddress>(head)) : 0;
  }

  int32_t GetPictureInfo(Library library, char* fileName, int32_t offset, PluginPictureInfo& info) override {
    const auto function = Find<GetPictureInfoFunction>(library, PluginExport::GetPictureInfo);
    if (!function) return -1;
    // A plug-in built with a wider record (a pointer-sized handle, or no
    // packing: up to 32 bytes) writes into spare room, not past our record.
    alignas(8) unsigned char room[64] = {};
    const int32_t result = function(fileName, offset, 0, reinterpret_cast<PluginPictureInfo*>(room));
    std::memcpy(&info, room, sizeof info);
    return result;
  }

  int32_t GetPicture(Library library, char* fileName, int32_t offset, Memory& bitmapInfo,
                     Memory& bitmapBits) override {
    const auto function = Find<GetPictureFunction>(library, PluginExport::GetPicture);
    return function ? function(fileName, offset, 0, &bitmapInfo, &bitmapBits, KeepGoing, 0) : -1;
  }

  int32_t ConfigurationDlg(Library library, void* parentWindow, int32_t function) override {
    const auto dialog = Find<ConfigurationDlgFunction>(library, PluginExport::ConfigurationDlg);
    return dialog ? dialog(parentWindow, function) : -1;
  }

  const uint8_t* Lock(Memory memory) override {
    return memory != nullptr ? static_cast<const uint8_t*>(LocalLock(static_cast<HLOCAL>(memory))) : nullptr;
  }

  void Unlock(Memory memory) override {
    if (memory != nullptr) LocalUnlock(static_cast<HLOCAL>(memory));
  }

  size_t Size(Memory memory) override {
    return memory != nullptr ? LocalSize(static_cast<HLOCAL>(memory)) : 0;
  }

  void Release(Memory memory) override {
    if (memory != nullptr) LocalFree(static_cast<HLOCAL>(memory));
  }

  void FreeInfoText(uint32_t handle) override {
    if constexpr (sizeof(void*) == 4) {
      if (handle != 0) GlobalFree(reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(handle)));
    } else {
      (void)handle;
    }
  }
};

}  // namespace

PluginLoader& SystemPluginLoader() {
  static Win32PluginLoader loader;
  return loader;
}

}  // namespace pixlane
