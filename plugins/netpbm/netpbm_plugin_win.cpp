// The Netpbm image input plug-in (pixlane_netpbm.spi): PBM, PGM and PPM,
// plain and raw, for any host of the `.spi` input interface, 32 or 64-bit.
// Exports, undecorated: GetPluginInfo, IsSupported, GetPictureInfo,
// GetPicture, ConfigurationDlg. Only file input (flags 0) is supported.
// Results of GetPictureInfo and GetPicture: 0 done, -1 not supported,
// 1 stopped by the progress callback, 2 not a Netpbm file, 3 broken data,
// 4 out of memory, 6 the file cannot be read.
#include <windows.h>

#include <cstring>
#include <type_traits>
#include <utility>

#include "netpbm_decode.h"
#include "platform/plugin_interface.h"

namespace {

using pixlane::PluginAddress;
using pixlane::PluginLong;
using pixlane::PluginPictureInfo;
using pixlane::PluginUserData;
using pixlane::ProgressFunction;
namespace netpbm = pixlane::netpbm;

constexpr const char* kInfo[] = {
    "00IN",
    "Pixlane Netpbm reader 1.0 (PBM, PGM, PPM; plain and raw; up to 16 bits a sample)",
    "*.pbm", "Portable Bitmap",
    "*.pgm", "Portable Graymap",
    "*.ppm", "Portable Pixmap",
    "*.pnm", "Portable Anymap",
};
constexpr int kInfoCount = static_cast<int>(sizeof kInfo / sizeof kInfo[0]);

constexpr int kDone = 0;
constexpr int kNotSupported = -1;
constexpr int kStopped = 1;
constexpr int kNotNetpbm = 2;
constexpr int kBrokenData = 3;
constexpr int kNoMemory = 4;
constexpr int kCannotRead = 6;
// IsSupported is given this many bytes of the file.
constexpr size_t kHeadBytes = 2048;
constexpr size_t kBitmapInfoHeaderBytes = 40;

// The whole file mapped read-only, as seen past `offset` bytes.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const char* name, PluginLong offset) {
    if (name == nullptr || offset < 0) return false;
    file_ = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_, &size) || size.QuadPart <= offset) return false;
    mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping_ == nullptr) return false;
    // A file larger than the address space cannot be mapped whole, so a
    // mapped size fits size_t.
    view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
    if (view_ == nullptr) return false;
    data_ = static_cast<const uint8_t*>(view_) + offset;
    size_ = static_cast<size_t>(size.QuadPart) - static_cast<size_t>(offset);
    return true;
  }

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// A zero-filled local-memory block, freed unless handed over.
class LocalBlock {
 public:
  explicit LocalBlock(size_t bytes) : memory_(LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes)) {}
  ~LocalBlock() {
    if (memory_ != nullptr) LocalFree(memory_);
  }
  LocalBlock(const LocalBlock&) = delete;
  LocalBlock& operator=(const LocalBlock&) = delete;

  HLOCAL get() const { return memory_; }
  HLOCAL Release() { return std::exchange(memory_, nullptr); }

 private:
  HLOCAL memory_;
};

// Locks a block for the length of a scope.
class Locked {
 public:
  explicit Locked(HLOCAL memory) : memory_(memory), data_(static_cast<uint8_t*>(LocalLock(memory))) {}
  ~Locked() {
    if (data_ != nullptr) LocalUnlock(memory_);
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  uint8_t* data() const { return data_; }

 private:
  HLOCAL memory_;
  uint8_t* data_;
};

int ResultOf(netpbm::Error error) {
  switch (error) {
    case netpbm::Error::None: return kDone;
    case netpbm::Error::NotNetpbm: return kNotNetpbm;
    case netpbm::Error::Cancelled: return kStopped;
    default: return kBrokenData;
  }
}

// Opens the file and parses its header; a plug-in result on failure.
int OpenImage(const char* fileName, PluginLong offset, unsigned int flags, MappedFile& file,
              netpbm::Header& header) {
  // Bits 0-2 of flags name the input: 0 is a file, anything else memory.
  if ((flags & 7) != 0) return kNotSupported;
  if (!file.Open(fileName, offset)) return kCannotRead;
  return ResultOf(netpbm::ParseHeader(file.data(), file.size(), header));
}

void PutU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
void PutU32(uint8_t* at, uint32_t value) {
  PutU16(at, value & 0xFFFF);
  PutU16(at + 2, value >> 16);
}

struct ProgressTarget {
  ProgressFunction function;
  PluginUserData userData;
};

bool ForwardProgress(int32_t done, int32_t total, void* context) {
  const auto* target = static_cast<const ProgressTarget*>(context);
  return target->function == nullptr || target->function(done, total, target->userData) == 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) int PIXLANE_PLUGIN_CALL GetPluginInfo(int infoNumber, char* buffer, int bufferLength) {
  if (infoNumber < 0 || infoNumber >= kInfoCount || buffer == nullptr || bufferLength <= 0) return 0;
  const size_t length = std::strlen(kInfo[infoNumber]);
  const size_t n = length < static_cast<size_t>(bufferLength) ? length : static_cast<size_t>(bufferLength) - 1;
  std::memcpy(buffer, kInfo[infoNumber], n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

__declspec(dllexport) int PIXLANE_PLUGIN_CALL IsSupported(char* /*fileName*/, PluginAddress data) {
  if (data == 0) return 0;
  return netpbm::LooksLikeNetpbm(reinterpret_cast<const uint8_t*>(data), kHeadBytes) ? 1 : 0;
}

__declspec(dllexport) int PIXLANE_PLUGIN_CALL GetPictureInfo(char* fileName, PluginLong offset, unsigned int flags,
                                                             PluginPictureInfo* info) {
  if (info == nullptr) return kNotSupported;
  MappedFile file;
  netpbm::Header header;
  const int result = OpenImage(fileName, offset, flags, file, header);
  if (result != kDone) return result;
  PluginPictureInfo filled{};
  filled.width = static_cast<uint32_t>(header.width);
  filled.height = static_cast<uint32_t>(header.height);
  filled.colourDepth = static_cast<int16_t>(netpbm::StoredBitCount(header));
  std::memcpy(info, &filled, sizeof filled);
  return kDone;
}

__declspec(dllexport) int PIXLANE_PLUGIN_CALL GetPicture(char* fileName, PluginLong offset, unsigned int flags,
                                                         void** bitmapInfo, void** bitmapBits,
                                                         ProgressFunction progress, PluginUserData userData) {
  if (bitmapInfo == nullptr || bitmapBits == nullptr) return kNotSupported;
  *bitmapInfo = nullptr;
  *bitmapBits = nullptr;
  MappedFile file;
  netpbm::Header header;
  const int result = OpenImage(fileName, offset, flags, file, header);
  if (result != kDone) return result;
  netpbm::Layout layout;
  if (!netpbm::ComputeLayout(header, layout)) return kBrokenData;

  LocalBlock info(kBitmapInfoHeaderBytes + 4 * layout.paletteEntries);
  LocalBlock bits(layout.imageBytes);
  if (info.get() == nullptr || bits.get() == nullptr) return kNoMemory;
  {
    Locked head(info.get());
    if (head.data() == nullptr) return kNoMemory;
    uint8_t* h = head.data();
    PutU32(h, kBitmapInfoHeaderBytes);
    PutU32(h + 4, static_cast<uint32_t>(header.width));
    PutU32(h + 8, static_cast<uint32_t>(header.height));
    PutU16(h + 12, 1);
    PutU16(h + 14, static_cast<uint32_t>(layout.bitCount));
    PutU32(h + 16, BI_RGB);
    PutU32(h + 20, static_cast<uint32_t>(layout.imageBytes));
    PutU32(h + 32, static_cast<uint32_t>(layout.paletteEntries));
    netpbm::WritePalette(header, h + kBitmapInfoHeaderBytes);
  }
  {
    Locked rows(bits.get());
    if (rows.data() == nullptr) return kNoMemory;
    ProgressTarget target{progress, userData};
    const netpbm::Error error = netpbm::DecodeRaster(file.data(), file.size(), header, layout, rows.data(),
                                                     layout.imageBytes, ForwardProgress, &target);
    if (error != netpbm::Error::None) return ResultOf(error);
  }
  *bitmapInfo = info.Release();
  *bitmapBits = bits.Release();
  return kDone;
}

__declspec(dllexport) int PIXLANE_PLUGIN_CALL ConfigurationDlg(void* parentWindow, int function) {
  if (function != 1) return kNotSupported;
  MessageBoxW(static_cast<HWND>(parentWindow),
              L"このプラグインに設定項目はありません。\n"
              L"PBM、PGM、PPM（テキスト形式とバイナリ形式、1サンプル16ビットまで）を読み込みます。",
              L"Pixlane Netpbm プラグイン", MB_OK | MB_ICONINFORMATION);
  return kDone;
}

}  // extern "C"

// The exports have exactly the interface's types.
static_assert(std::is_same_v<decltype(&GetPluginInfo), pixlane::GetPluginInfoFunction>);
static_assert(std::is_same_v<decltype(&IsSupported), pixlane::IsSupportedFunction>);
static_assert(std::is_same_v<decltype(&GetPictureInfo), pixlane::GetPictureInfoFunction>);
static_assert(std::is_same_v<decltype(&GetPicture), pixlane::GetPictureFunction>);
static_assert(std::is_same_v<decltype(&ConfigurationDlg), pixlane::ConfigurationDlgFunction>);
