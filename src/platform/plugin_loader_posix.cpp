// Image input plug-ins are Windows libraries: on other systems the loader
// finds none, so the host lists nothing and decodes nothing, and the rest of
// the program behaves as with an empty plug-in folder.
#include "platform/plugin_loader.h"

namespace pixlane {
namespace {

class NoPluginLoader final : public PluginLoader {
 public:
  std::vector<std::u16string> FindLibraries(std::u16string_view) override { return {}; }
  bool AnsiFileName(std::u16string_view, std::string&) override { return false; }
  Library Load(std::u16string_view) override { return nullptr; }
  void Free(Library) override {}
  bool HasExport(Library, PluginExport) override { return false; }
  int32_t GetPluginInfo(Library, int32_t, char*, int32_t) override { return 0; }
  int32_t IsSupported(Library, char*, uint8_t*) override { return 0; }
  int32_t GetPictureInfo(Library, char*, int32_t, PluginPictureInfo&) override { return -1; }
  int32_t GetPicture(Library, char*, int32_t, Memory&, Memory&) override { return -1; }
  int32_t ConfigurationDlg(Library, void*, int32_t) override { return -1; }
  const uint8_t* Lock(Memory) override { return nullptr; }
  void Unlock(Memory) override {}
  size_t Size(Memory) override { return 0; }
  void Release(Memory) override {}
  void FreeInfoText(uint32_t) override {}
};

}  // namespace

PluginLoader& SystemPluginLoader() {
  static NoPluginLoader loader;
  return loader;
}

}  // namespace pixlane
