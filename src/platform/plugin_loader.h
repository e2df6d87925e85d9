// The system calls the image input plug-in host makes, behind one small
// interface: finding `.spi` files, loading and freeing libraries, calling
// their exports, and the local-memory calls on the blocks a plug-in hands
// over. The Win32 implementation (plugin_loader_win.cpp) makes the real
// calls; on other systems no library is ever found. Tests give the host a
// fake. The rules (limits, checks, order) are the host's, in
// codecs/plugin_host.cpp; nothing here decides anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plugin_interface.h"

namespace pixlane {

enum class PluginExport { GetPluginInfo, IsSupported, GetPictureInfo, GetPicture, ConfigurationDlg };

class PluginLoader {
 public:
  using Library = void*;  // a loaded library (HMODULE); null: none
  using Memory = void*;   // a local-memory block from GetPicture (HLOCAL)

  virtual ~PluginLoader() = default;

  // File names (without the folder) matching "*.spi" in `folder`, in the
  // system's enumeration order; empty when the folder cannot be searched.
  virtual std::vector<std::u16string> FindLibraries(std::u16string_view folder) = 0;
  // `path` as the plug-in calls take it: ANSI code page bytes, shorter than
  // 260. False when the path has no such form (characters the code page
  // lacks, with no short name to fall back on, or too long).
  virtual bool AnsiFileName(std::u16string_view path, std::string& name) = 0;

  // Null when the library cannot be loaded. Every library loaded is freed.
  virtual Library Load(std::u16string_view path) = 0;
  virtual void Free(Library library) = 0;
  virtual bool HasExport(Library library, PluginExport which) = 0;

  // The exports; called only when HasExport says they exist. The host's
  // progress callback always answers 0 and its user data is 0; flags are 0.
  virtual int32_t GetPluginInfo(Library library, int32_t infoNumber, char* buffer,
                                int32_t bufferLength) = 0;
  virtual int32_t IsSupported(Library library, char* fileName, uint8_t* head) = 0;
  virtual int32_t GetPictureInfo(Library library, char* fileName, int32_t offset,
                                 PluginPictureInfo& info) = 0;
  virtual int32_t GetPicture(Library library, char* fileName, int32_t offset, Memory& bitmapInfo,
                             Memory& bitmapBits) = 0;
  virtual int32_t ConfigurationDlg(Library library, void* parentWindow, int32_t function) = 0;

  // LocalLock, LocalUnlock, LocalSize and LocalFree on a block a plug-in
  // handed over. Lock gives null and Size 0 on failure.
  virtual const uint8_t* Lock(Memory memory) = 0;
  virtual void Unlock(Memory memory) = 0;
  virtual size_t Size(Memory memory) = 0;
  virtual void Release(Memory memory) = 0;
  // Releases PictureInfo's information text (GlobalFree) where the handle
  // can be trusted: in 32-bit builds. A 64-bit handle cannot fit the 32-bit
  // field, so a 64-bit build leaves a non-zero value alone rather than free
  // a truncated handle.
  virtual void FreeInfoText(uint32_t handle) = 0;
};

// The loader of this system: the real calls on Windows, none elsewhere.
PluginLoader& SystemPluginLoader();

}  // namespace pixlane
