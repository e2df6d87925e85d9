// The plug-in host's rules over the loader's calls. A plug-in is another
// program's code running in ours: its texts are read only within the length
// we told it (into buffers with room to spare), its entry lists are walked a
// bounded number of times, and the blocks it hands over are measured before
// they are read. Libraries, locks and blocks are owned by small RAII types
// so that every path releases them.
#include "codecs/plugin_host.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "codecs/format_sniff.h"
#include "platform/byte_reader.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane {
namespace {

using Library = PluginLoader::Library;
using Memory = PluginLoader::Memory;

constexpr int32_t kVersionBufferLength = 8;
constexpr int32_t kTextBufferLength = 260;
// Room past the length a plug-in is told, so that one that writes a little
// too far (or forgets the terminator) does not reach our other data.
constexpr size_t kBufferSlack = 256;
// Pattern entries read from one library; a plug-in that answers every entry
// number would otherwise be asked for ever.
constexpr int32_t kMaxPatternEntries = 128;
constexpr size_t kMaxDescriptionBytes = 259;
constexpr size_t kBitmapInfoHeaderBytes = 40;

// A library loaded for the length of one scope.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(PluginLoader& loader) : loader_(&loader), library_(nullptr) {}
  LoadedLibrary(PluginLoader& loader, std::u16string_view path) : loader_(&loader), library_(loader.Load(path)) {}
  ~LoadedLibrary() { loader_->Free(library_); }
  LoadedLibrary(LoadedLibrary&& other) noexcept
      : loader_(other.loader_), library_(std::exchange(other.library_, nullptr)) {}
  LoadedLibrary& operator=(LoadedLibrary&& other) noexcept {
    std::swap(loader_, other.loader_);
    std::swap(library_, other.library_);
    return *this;
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  Library get() const { return library_; }
  explicit operator bool() const { return library_ != nullptr; }

 private:
  PluginLoader* loader_;
  Library library_;
};

// A block a plug-in handed over: locked at most once, unlocked and freed
// when the scope ends.
class PluginBlock {
 public:
  PluginBlock(PluginLoader& loader, Memory memory) : loader_(loader), memory_(memory) {}
  ~PluginBlock() {
    if (data_ != nullptr) loader_.Unlock(memory_);
    if (memory_ != nullptr) loader_.Release(memory_);
  }
  PluginBlock(const PluginBlock&) = delete;
  PluginBlock& operator=(const PluginBlock&) = delete;

  size_t Size() const { return memory_ != nullptr ? loader_.Size(memory_) : 0; }
  const uint8_t* Lock() {
    if (data_ == nullptr && memory_ != nullptr) data_ = loader_.Lock(memory_);
    return data_;
  }

 private:
  PluginLoader& loader_;
  Memory memory_;
  const uint8_t* data_ = nullptr;
};

// One GetPluginInfo entry as text, read within `length` bytes whatever the
// plug-in returned. False when the entry does not exist.
bool ReadInfo(PluginLoader& loader, Library library, int32_t infoNumber, int32_t length, std::string& text) {
  std::array<char, kTextBufferLength + kBufferSlack> buffer{};
  if (loader.GetPluginInfo(library, infoNumber, buffer.data(), length) <= 0) return false;
  const size_t limit = static_cast<size_t>(length);
  text.assign(buffer.data(), strnlen(buffer.data(), limit));
  return true;
}

bool IsInputPlugin(PluginLoader& loader, Library library) {
  if (!loader.HasExport(library, PluginExport::GetPluginInfo)) return false;
  std::array<char, kVersionBufferLength + kBufferSlack> buffer{};
  loader.GetPluginInfo(library, 0, buffer.data(), kVersionBufferLength);
  return std::memcmp(buffer.data(), kInputPluginVersion, sizeof kInputPluginVersion) == 0;
}

bool HasPluginExtension(std::u16string_view name) {
  return name.size() > 4 && EqualsIgnoreCaseAscii(name.substr(name.size() - 4), u".spi");
}

std::u16string LowerCase(std::u16string text) {
  for (char16_t& c : text) c = ToLowerAscii(c);
  return text;
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Adds the patterns of one entry text ("*.pic;*.pi2") that are new and not
// read natively. False once `patterns` holds the maximum.
bool AddPatterns(std::string_view text, std::vector<std::u16string>& patterns) {
  while (true) {
    const size_t end = text.find(';');
    const std::string_view token = TrimSpaces(text.substr(0, end));
    if (!token.empty()) {
      std::u16string pattern = LowerCase(AnsiToUtf16(token));
      const bool known = FormatFromExtension(pattern) != FormatCode::Unknown ||
                         std::any_of(patterns.begin(), patterns.end(), [&](const std::u16string& kept) {
                           return EqualsIgnoreCaseAscii(kept, pattern);
                         });
      if (!pattern.empty() && !known) {
        patterns.push_back(std::move(pattern));
        if (patterns.size() == kMaxPluginPatterns) return false;
      }
    }
    if (end == std::string_view::npos) return true;
    text.remove_prefix(end + 1);
  }
}

// Calls `visit(name, library)` for each of the first 100 input plug-ins of
// `folder` in enumeration order, the library loaded; stops early when
// `visit` returns false, handing that library back (still loaded).
template <typename Visit>
LoadedLibrary VisitInputPlugins(PluginLoader& loader, std::u16string_view folder, Visit visit) {
  size_t accepted = 0;
  for (const std::u16string& name : loader.FindLibraries(folder)) {
    if (accepted == kMaxPlugins) break;
    if (!HasPluginExtension(name)) continue;  // "*.spi" also finds "x.spi2" through short names
    LoadedLibrary library(loader, JoinPath(folder, name));
    if (!library || !IsInputPlugin(loader, library.get())) continue;
    ++accepted;
    if (!visit(name, library.get())) return library;
  }
  return LoadedLibrary(loader);
}

struct PluginBitmap {
  uint32_t headerSize = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitCount = 0;
  int32_t xPelsPerMetre = 0;
  int32_t yPelsPerMetre = 0;
  size_t paletteEntries = 0;
};

// Checks the BITMAPINFO block a plug-in returned: a whole header, no
// compression, 1..25000 pixels a side (top-down rows have a negative
// height), 1, 4, 8 or 24 bits, and the palette the header announces inside
// the block.
CodecError CheckBitmapInfo(const uint8_t* block, size_t size, PluginBitmap& bitmap) {
  if (block == nullptr || size < kBitmapInfoHeaderBytes) return CodecError::BadHeader;
  ByteReader reader(block, size);
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  uint32_t xPels = 0;
  uint32_t yPels = 0;
  uint32_t clrUsed = 0;
  reader.ReadU32LE(bitmap.headerSize);
  reader.ReadU32LE(width);
  reader.ReadU32LE(height);
  reader.ReadU16LE(planes);
  reader.ReadU16LE(bitCount);
  reader.ReadU32LE(compression);
  reader.ReadU32LE(sizeImage);
  reader.ReadU32LE(xPels);
  reader.ReadU32LE(yPels);
  reader.ReadU32LE(clrUsed);
  if (reader.overrun()) return CodecError::BadHeader;
  if (bitmap.headerSize < kBitmapInfoHeaderBytes || bitmap.headerSize > size) return CodecError::BadHeader;
  if (compression != 0) return CodecError::UnsupportedCompression;
  bitmap.width = static_cast<int32_t>(width);
  bitmap.height = static_cast<int32_t>(height);
  if (bitmap.width < 1 || bitmap.width > kMaxDimension || bitmap.height < 1 || bitmap.height > kMaxDimension) {
    return CodecError::BadDimensions;
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) return CodecError::UnsupportedDepth;
  bitmap.bitCount = bitCount;
  bitmap.xPelsPerMetre = static_cast<int32_t>(xPels);
  bitmap.yPelsPerMetre = static_cast<int32_t>(yPels);
  if (bitCount <= 8) {
    const size_t full = size_t{1} << bitCount;
    bitmap.paletteEntries = clrUsed != 0 && clrUsed < full ? clrUsed : full;
    if ((size - bitmap.headerSize) / sizeof(RgbQuad) < bitmap.paletteEntries) return CodecError::BadHeader;
  }
  return CodecError::None;
}

// Fills the host's image from the two blocks of a successful GetPicture;
// `pluginBits` is the depth the plug-in delivered.
CodecError CopyBitmap(PluginBlock& headerBlock, PluginBlock& pixelBlock, PluginHost& host, int32_t& pluginBits) {
  const size_t headerSize = headerBlock.Size();
  if (headerSize == 0) return CodecError::BadHeader;
  PluginBitmap bitmap;
  const CodecError headerError = CheckBitmapInfo(headerBlock.Lock(), headerSize, bitmap);
  if (headerError != CodecError::None) return headerError;
  pluginBits = bitmap.bitCount;

  Palette palette{};
  std::memcpy(palette.data(), headerBlock.Lock() + bitmap.headerSize, bitmap.paletteEntries * sizeof(RgbQuad));

  const size_t stride = RowStride(bitmap.width, bitmap.bitCount);
  size_t imageBytes = 0;
  if (!CheckedMul(stride, static_cast<size_t>(bitmap.height), imageBytes)) return CodecError::SizeOverflow;
  const size_t pixelSize = pixelBlock.Size();
  if (pixelSize == 0) return CodecError::Truncated;
  const uint8_t* pixels = pixelBlock.Lock();
  if (pixels == nullptr) return CodecError::PluginFailed;

  // A short block gives the rows it holds; the rest stay zero.
  PixelBlock rows;
  if (!rows.Allocate(imageBytes)) return CodecError::OutOfMemory;
  std::memcpy(rows.data(), pixels, std::min(pixelSize, imageBytes));

  ImageBuffer& image = host.image;
  if (bitmap.bitCount < 8) {
    // Indexed images travel as 8 bits through the rest of the program.
    DepthConverter& converter = host.converter;
    converter.width = bitmap.width;
    converter.height = bitmap.height;
    converter.sourceBitCount = bitmap.bitCount;
    converter.targetBitCount = 8;
    if (!ComputeRowGeometry(converter)) return CodecError::BadDimensions;
    if (!image.pixels.Allocate(converter.imageBytes)) return CodecError::OutOfMemory;
    if (!ConvertDepth(converter, palette.data(), rows.data(), image.palette.data(), image.pixels.data())) {
      image.pixels.Release();
      return CodecError::ConversionFailed;
    }
    SetImageHeader(image, bitmap.width, bitmap.height, 8, bitmap.xPelsPerMetre, bitmap.yPelsPerMetre);
  } else {
    image.pixels = std::move(rows);
    image.palette = palette;
    SetImageHeader(image, bitmap.width, bitmap.height, bitmap.bitCount, bitmap.xPelsPerMetre,
                   bitmap.yPelsPerMetre);
  }
  return CodecError::None;
}

// Reads the first kPluginHeadBytes of the file into `head` (zero-filled
// past the end). False when nothing could be read.
bool ReadHead(std::u16string_view path, std::array<uint8_t, kPluginHeadBytes>& head, uint64_t& fileSize) {
  InputFile file;
  if (!file.Open(path)) return false;
  fileSize = file.Size();
  size_t got = 0;
  while (got < head.size()) {
    const size_t n = file.Read(head.data() + got, head.size() - got);
    if (n == 0) break;
    got += n;
  }
  return got > 0;
}

// The file name for one call: a fresh zero-padded copy in a 260-byte
// buffer and more, since the interface passes it writable.
class CallName {
 public:
  explicit CallName(const std::string& name) { std::memcpy(bytes_.data(), name.data(), name.size()); }
  char* get() { return bytes_.data(); }

 private:
  std::array<char, kTextBufferLength + kBufferSlack> bytes_{};
};

// IsSupported on a fresh copy of the head (a plug-in may write to it),
// with zeros past it for one that reads further than the 2048 bytes.
bool Accepts(PluginLoader& loader, Library library, const std::string& name,
             const std::array<uint8_t, kPluginHeadBytes>& head, size_t skip) {
  std::array<uint8_t, kPluginHeadBytes + 2048> copy{};
  std::copy(head.begin(), head.end(), copy.begin());
  return loader.IsSupported(library, CallName(name).get(), copy.data() + skip) != 0;
}

}  // namespace

std::vector<std::u16string> ListInputPlugins(PluginLoader& loader, std::u16string_view folder, PluginListMode mode) {
  std::vector<std::u16string> list;
  VisitInputPlugins(loader, folder, [&](const std::u16string& name, Library library) {
    if (mode == PluginListMode::Names) {
      list.push_back(name);
      return true;
    }
    std::string text;
    for (int32_t entry = 0; entry < kMaxPatternEntries; ++entry) {
      if (!ReadInfo(loader, library, 2 + 2 * entry, kTextBufferLength, text)) break;
      if (!AddPatterns(text, list)) return false;
    }
    return true;
  });
  return list;
}

PluginDescription DescribePlugin(PluginLoader& loader, std::u16string_view libraryPath) {
  PluginDescription description;
  LoadedLibrary library(loader, libraryPath);
  if (!library || !loader.HasExport(library.get(), PluginExport::GetPluginInfo)) return description;
  std::string patterns;
  std::string formats;
  if (ReadInfo(loader, library.get(), 2, kTextBufferLength, patterns) &&
      ReadInfo(loader, library.get(), 3, kTextBufferLength, formats)) {
    std::string pattern;
    std::string format;
    for (int32_t entry = 1; entry < kMaxPatternEntries; ++entry) {
      if (!ReadInfo(loader, library.get(), 2 + 2 * entry, kTextBufferLength, pattern) ||
          !ReadInfo(loader, library.get(), 3 + 2 * entry, kTextBufferLength, format)) {
        break;
      }
      if (patterns.size() + 1 + pattern.size() > kMaxDescriptionBytes ||
          formats.size() + 1 + format.size() > kMaxDescriptionBytes) {
        break;
      }
      patterns += ';' + pattern;
      formats += '/' + format;
    }
  }
  description.extensions = AnsiToUtf16(patterns);
  description.formats = AnsiToUtf16(formats);
  return description;
}

bool ShowPluginSettings(PluginLoader& loader, std::u16string_view libraryPath, void* parentWindow) {
  LoadedLibrary library(loader, libraryPath);
  if (!library || !loader.HasExport(library.get(), PluginExport::ConfigurationDlg)) return false;
  loader.ConfigurationDlg(library.get(), parentWindow, 1);
  return true;
}

ImageBuffer* LoadImageWithPlugin(PluginLoader& loader, std::u16string_view folder, std::u16string_view path,
                                 PluginHost& host) {
  host.image.Reset();
  host.error = CodecError::None;
  host.offset = 0;
  std::array<uint8_t, kPluginHeadBytes> head{};
  uint64_t fileSize = 0;
  std::string name;
  if (!ReadHead(path, head, fileSize) || !loader.AnsiFileName(path, name) ||
      name.size() >= static_cast<size_t>(kTextBufferLength)) {
    return nullptr;
  }

  int32_t offset = 0;
  LoadedLibrary chosen = VisitInputPlugins(loader, folder, [&](const std::u16string&, Library library) {
    if (!loader.HasExport(library, PluginExport::IsSupported)) return true;
    if (Accepts(loader, library, name, head, 0)) return false;
    if (Accepts(loader, library, name, head, kPluginHeaderSkip)) {
      offset = kPluginHeaderSkip;
      return false;
    }
    return true;
  });
  if (!chosen) return nullptr;
  host.offset = offset;

  int32_t colourDepth = 0;
  if (loader.HasExport(chosen.get(), PluginExport::GetPictureInfo)) {
    PluginPictureInfo info{};
    if (loader.GetPictureInfo(chosen.get(), CallName(name).get(), offset, info) == 0) {
      if (info.infoText != 0) loader.FreeInfoText(info.infoText);
      colourDepth = info.colourDepth;
    }
  }
  if (!loader.HasExport(chosen.get(), PluginExport::GetPicture)) {
    host.error = CodecError::PluginFailed;
    return nullptr;
  }
  Memory infoMemory = nullptr;
  Memory bitsMemory = nullptr;
  const int32_t result = loader.GetPicture(chosen.get(), CallName(name).get(), offset, infoMemory, bitsMemory);
  if (result != 0) {
    // What a failed call left in the handles is not ours to free.
    host.error = CodecError::PluginFailed;
    return nullptr;
  }
  PluginBlock headerBlock(loader, infoMemory);
  PluginBlock pixelBlock(loader, bitsMemory);
  int32_t pluginBits = 0;
  host.error = CopyBitmap(headerBlock, pixelBlock, host, pluginBits);
  if (host.error != CodecError::None) {
    host.image.Reset();
    return nullptr;
  }
  ImageBuffer& image = host.image;
  image.sourceFormat = FormatCode::Unknown;
  image.sourceBitCount = colourDepth > 0 ? colourDepth : pluginBits;
  image.fileSize = static_cast<uint32_t>(std::min<uint64_t>(fileSize, UINT32_MAX));
  FileTime lastWrite = 0;
  if (GetLastWriteTime(path, lastWrite)) image.lastWriteTime = lastWrite;
  return &image;
}

}  // namespace pixlane
