// A scripted PluginLoader for the plug-in host's tests: a list of library
// files in enumeration order, each a FakePlugin that says what its exports
// answer. It counts every load, free, lock, unlock and block so that a test
// can check that the host released everything on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/plugin_loader.h"

namespace pixlane::test {

struct FakePlugin {
  bool loads = true;
  std::string version = "00IN";
  bool hasGetPluginInfo = true;
  bool hasIsSupported = true;
  bool hasGetPictureInfo = true;
  bool hasGetPicture = true;
  bool hasConfigurationDlg = false;
  // Entries 2, 3, 4, …: pattern, format name, pattern, format name, …
  std::vector<std::string> info;
  // When set, every entry number from 2 on answers this text.
  std::string everyEntry;
  bool hasEveryEntry = false;
  // Writes this many bytes of 'x' whatever the buffer length (0: behave).
  size_t overrunInfoBy = 0;
  // Decides IsSupported from the 2048 bytes it is given.
  std::function<bool(const uint8_t* head)> accepts;
  int32_t pictureInfoResult = 0;
  int16_t colourDepth = 0;
  uint32_t infoText = 0;
  int32_t pictureResult = 0;
  std::vector<uint8_t> bitmapInfo;  // header and palette as returned
  std::vector<uint8_t> bitmapBits;  // the rows as returned
  bool nullBits = false;            // GetPicture succeeds with no pixel block
  bool lockFails = false;           // LocalLock of its pixel block fails

  // What the plug-in saw.
  int isSupportedCalls = 0;
  int pictureCalls = 0;
  int configurationCalls = 0;
  int32_t lastOffset = -1;
  std::string lastFileName;
  void* lastParent = nullptr;
  int32_t lastFunction = 0;
};

// A 40-byte BITMAPINFOHEADER followed by `palette` BGRA entries.
std::vector<uint8_t> MakeBitmapInfo(int32_t width, int32_t height, int bitCount, uint32_t compression = 0,
                                    uint32_t clrUsed = 0, size_t paletteEntries = 0);

class FakePluginLoader final : public PluginLoader {
 public:
  FakePluginLoader() = default;
  ~FakePluginLoader() override;
  FakePluginLoader(const FakePluginLoader&) = delete;
  FakePluginLoader& operator=(const FakePluginLoader&) = delete;

  // Adds a library file; returns it for further scripting (the reference
  // stays valid as more are added).
  FakePlugin& Add(std::u16string name, FakePlugin plugin = {});
  FakePlugin& operator[](size_t index) { return files_[index].second; }

  int loads() const { return loads_; }
  int frees() const { return frees_; }
  int infoTextsFreed() const { return infoTextsFreed_; }
  int blocksHandedOut() const { return blocksHandedOut_; }
  // Every library freed, every block unlocked as often as locked and freed.
  bool Balanced() const;

  std::vector<std::u16string> FindLibraries(std::u16string_view folder) override;
  bool AnsiFileName(std::u16string_view path, std::string& name) override;
  Library Load(std::u16string_view path) override;
  void Free(Library library) override;
  bool HasExport(Library library, PluginExport which) override;
  int32_t GetPluginInfo(Library library, int32_t infoNumber, char* buffer, int32_t bufferLength) override;
  int32_t IsSupported(Library library, char* fileName, uint8_t* head) override;
  int32_t GetPictureInfo(Library library, char* fileName, int32_t offset, PluginPictureInfo& info) override;
  int32_t GetPicture(Library library, char* fileName, int32_t offset, Memory& bitmapInfo,
                     Memory& bitmapBits) override;
  int32_t ConfigurationDlg(Library library, void* parentWindow, int32_t function) override;
  const uint8_t* Lock(Memory memory) override;
  void Unlock(Memory memory) override;
  size_t Size(Memory memory) override;
  void Release(Memory memory) override;
  void FreeInfoText(uint32_t handle) override;

 private:
  struct Block {
    std::vector<uint8_t> bytes;
    bool lockFails = false;
    int locks = 0;
  };
  FakePlugin& PluginOf(Library library);
  Memory HandOut(const std::vector<uint8_t>& bytes, bool lockFails);

  std::deque<std::pair<std::u16string, FakePlugin>> files_;  // references stay valid
  std::vector<Block*> liveBlocks_;
  int loads_ = 0;
  int frees_ = 0;
  int unbalancedLocks_ = 0;
  int badReleases_ = 0;
  int infoTextsFreed_ = 0;
  int blocksHandedOut_ = 0;
};

}  // namespace pixlane::test
