// The scripted plug-in loader: libraries are indexes into the file list,
// blocks are heap objects that must come back through Release.
#include "support/fake_plugin_loader.h"

#include <algorithm>
#include <cstring>

#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane::test {
namespace {

void PutU16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}
void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  PutU16(out, at, value & 0xFFFF);
  PutU16(out, at + 2, value >> 16);
}

}  // namespace

std::vector<uint8_t> MakeBitmapInfo(int32_t width, int32_t height, int bitCount, uint32_t compression,
                                    uint32_t clrUsed, size_t paletteEntries) {
  std::vector<uint8_t> block(40 + 4 * paletteEntries, 0);
  PutU32(block, 0, 40);
  PutU32(block, 4, static_cast<uint32_t>(width));
  PutU32(block, 8, static_cast<uint32_t>(height));
  PutU16(block, 12, 1);
  PutU16(block, 14, static_cast<uint32_t>(bitCount));
  PutU32(block, 16, compression);
  PutU32(block, 32, clrUsed);
  for (size_t i = 0; i < paletteEntries; ++i) {
    // Entry i: blue i, green 2i, red 3i (mod 256).
    block[40 + 4 * i] = static_cast<uint8_t>(i);
    block[41 + 4 * i] = static_cast<uint8_t>(2 * i);
    block[42 + 4 * i] = static_cast<uint8_t>(3 * i);
  }
  return block;
}

FakePlugin& FakePluginLoader::Add(std::u16string name, FakePlugin plugin) {
  files_.emplace_back(std::move(name), std::move(plugin));
  return files_.back().second;
}

FakePluginLoader::~FakePluginLoader() {
  for (Block* block : liveBlocks_) delete block;
}

bool FakePluginLoader::Balanced() const {
  return loads_ == frees_ && liveBlocks_.empty() && unbalancedLocks_ == 0 && badReleases_ == 0;
}

FakePlugin& FakePluginLoader::PluginOf(Library library) {
  return files_[reinterpret_cast<uintptr_t>(library) - 1].second;
}

std::vector<std::u16string> FakePluginLoader::FindLibraries(std::u16string_view) {
  std::vector<std::u16string> names;
  for (const auto& file : files_) names.push_back(file.first);
  return names;
}

bool FakePluginLoader::AnsiFileName(std::u16string_view path, std::string& name) {
  name = Utf16ToUtf8(path);
  return true;
}

PluginLoader::Library FakePluginLoader::Load(std::u16string_view path) {
  const std::u16string_view name = FileNamePart(path);
  for (size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].first != name) continue;
    if (!files_[i].second.loads) return nullptr;
    ++loads_;
    return reinterpret_cast<Library>(i + 1);
  }
  return nullptr;
}

void FakePluginLoader::Free(Library library) {
  if (library != nullptr) ++frees_;
}

bool FakePluginLoader::HasExport(Library library, PluginExport which) {
  const FakePlugin& p = PluginOf(library);
  switch (which) {
    case PluginExport::GetPluginInfo: return p.hasGetPluginInfo;
    case PluginExport::IsSupported: return p.hasIsSupported;
    case PluginExport::GetPictureInfo: return p.hasGetPictureInfo;
    case PluginExport::GetPicture: return p.hasGetPicture;
    case PluginExport::ConfigurationDlg: return p.hasConfigurationDlg;
  }
  return false;
}

int32_t FakePluginLoader::GetPluginInfo(Library library, int32_t infoNumber, char* buffer, int32_t bufferLength) {
  const FakePlugin& p = PluginOf(library);
  const std::string* text = nullptr;
  if (infoNumber == 0) {
    text = &p.version;
  } else if (infoNumber >= 2 && p.hasEveryEntry) {
    text = &p.everyEntry;
  } else if (infoNumber >= 2 && static_cast<size_t>(infoNumber - 2) < p.info.size()) {
    text = &p.info[static_cast<size_t>(infoNumber - 2)];
  }
  if (text == nullptr) return 0;
  if (p.overrunInfoBy != 0 && infoNumber >= 2) {
    // Ignores the length and leaves no terminator.
    std::memset(buffer, 'x', p.overrunInfoBy);
    return static_cast<int32_t>(p.overrunInfoBy);
  }
  const size_t n = std::min(text->size(), static_cast<size_t>(bufferLength) - 1);
  std::memcpy(buffer, text->data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

int32_t FakePluginLoader::IsSupported(Library library, char* fileName, uint8_t* head) {
  FakePlugin& p = PluginOf(library);
  ++p.isSupportedCalls;
  p.lastFileName = fileName;
  return p.accepts && p.accepts(head) ? 1 : 0;
}

int32_t FakePluginLoader::GetPictureInfo(Library library, char* fileName, int32_t offset, PluginPictureInfo& info) {
  FakePlugin& p = PluginOf(library);
  p.lastOffset = offset;
  p.lastFileName = fileName;
  if (p.pictureInfoResult != 0) return p.pictureInfoResult;
  info.colourDepth = p.colourDepth;
  info.infoText = p.infoText;
  return 0;
}

PluginLoader::Memory FakePluginLoader::HandOut(const std::vector<uint8_t>& bytes, bool lockFails) {
  auto* block = new Block{bytes, lockFails, 0};
  liveBlocks_.push_back(block);
  ++blocksHandedOut_;
  return block;
}

int32_t FakePluginLoader::GetPicture(Library library, char* fileName, int32_t offset, Memory& bitmapInfo,
                                     Memory& bitmapBits) {
  FakePlugin& p = PluginOf(library);
  ++p.pictureCalls;
  p.lastOffset = offset;
  p.lastFileName = fileName;
  if (p.pictureResult != 0) return p.pictureResult;
  bitmapInfo = HandOut(p.bitmapInfo, false);
  bitmapBits = p.nullBits ? nullptr : HandOut(p.bitmapBits, p.lockFails);
  return 0;
}

int32_t FakePluginLoader::ConfigurationDlg(Library library, void* parentWindow, int32_t function) {
  FakePlugin& p = PluginOf(library);
  ++p.configurationCalls;
  p.lastParent = parentWindow;
  p.lastFunction = function;
  return 0;
}

const uint8_t* FakePluginLoader::Lock(Memory memory) {
  auto* block = static_cast<Block*>(memory);
  if (block->lockFails) return nullptr;
  ++block->locks;
  ++unbalancedLocks_;
  // An empty block still locks (LocalLock of a zero-size block succeeds).
  static const uint8_t kNothing = 0;
  return block->bytes.empty() ? &kNothing : block->bytes.data();
}

void FakePluginLoader::Unlock(Memory memory) {
  auto* block = static_cast<Block*>(memory);
  --block->locks;
  --unbalancedLocks_;
}

size_t FakePluginLoader::Size(Memory memory) { return static_cast<Block*>(memory)->bytes.size(); }

void FakePluginLoader::Release(Memory memory) {
  auto* block = static_cast<Block*>(memory);
  const auto found = std::find(liveBlocks_.begin(), liveBlocks_.end(), block);
  if (found == liveBlocks_.end()) {
    ++badReleases_;
    return;
  }
  liveBlocks_.erase(found);
  delete block;
}

void FakePluginLoader::FreeInfoText(uint32_t handle) {
  if (handle != 0) ++infoTextsFreed_;
}

}  // namespace pixlane::test
