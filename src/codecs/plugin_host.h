// The image input plug-in host: lists the `.spi` libraries of the plug-in
// folder (names, or the file patterns they declare), lets the first that
// accepts a file decode it and turns the bitmap it returns into an
// ImageBuffer, describes a plug-in for the plug-in page and opens its
// settings dialog. Every system call goes through a PluginLoader; nothing
// stays loaded between calls, and every library, block and lock is released
// on every path. A plug-in is treated as hostile input.
//
// Supports: BI_RGB bitmaps of 1, 4, 8 or 24 bits, bottom-up, 1..25000
//   pixels a side, any header of 40 bytes or more; 1 and 4-bit images are
//   delivered as 8 bits (sourceBitCount keeps the plug-in's depth).
// Rejects: compression, 16 and 32 bits, top-down rows, a header block
//   shorter than its header or than the palette it announces, an empty
//   pixel block.
// Limits: 100 libraries and 100 patterns listed; a pixel block shorter than
//   the image gives its bytes and zero rows after them (never shorter rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"
#include "platform/plugin_loader.h"

namespace pixlane {

inline constexpr size_t kMaxPlugins = 100;
inline constexpr size_t kMaxPluginPatterns = 100;
// The first bytes of a file given to IsSupported: 2048 of them at offset 0
// and again past a 128-byte header.
inline constexpr size_t kPluginHeadBytes = 2176;
inline constexpr int32_t kPluginHeaderSkip = 128;

enum class PluginListMode { Names, Extensions };

// Names mode: the file names of the first 100 libraries in `folder` that
// are input plug-ins, in enumeration order. Extensions mode: the distinct
// lower-cased patterns ("*.pic") those libraries declare, without the
// extensions the program reads itself, at most 100.
std::vector<std::u16string> ListInputPlugins(PluginLoader& loader, std::u16string_view folder,
                                             PluginListMode mode);

struct PluginDescription {
  std::u16string extensions;  // patterns joined with ";"
  std::u16string formats;     // format names joined with "/"
};

// The patterns and format names of one library (both empty when it cannot
// be loaded or declares none), each text within 259 bytes.
PluginDescription DescribePlugin(PluginLoader& loader, std::u16string_view libraryPath);

// Calls the library's ConfigurationDlg(parentWindow, 1). False when the
// library cannot be loaded or has no such export.
bool ShowPluginSettings(PluginLoader& loader, std::u16string_view libraryPath, void* parentWindow);

// The host's state for one load, kept with the other codec objects.
struct PluginHost {
  ImageBuffer image;
  DepthConverter converter;  // unpacks 1 and 4-bit images to 8 bits
  // None unless a plug-in accepted the file: then why it failed.
  CodecError error = CodecError::None;
  int32_t offset = 0;  // 0, or 128 when the file was accepted past a header
};

// Decodes `path` with the first of the first 100 input plug-ins in
// `folder` whose IsSupported accepts the file's first bytes (then the same
// bytes past a 128-byte header). Returns the host's image, or null: no
// plug-in accepted the file (error None), or the one that did failed
// (error says why; no other plug-in is tried). No pixels remain on failure.
ImageBuffer* LoadImageWithPlugin(PluginLoader& loader, std::u16string_view folder,
                                 std::u16string_view path, PluginHost& host);

}  // namespace pixlane
