// Steps several codecs take the same way: a reader's parse over a mapped
// file, a writer's depth conversion into its own buffer, and a writer's
// create-write-close of a head and a body. Internal to the codecs; the
// callers keep their own reset and release rules around these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/depth_converter.h"
#include "platform/file_map.h"
#include "platform/file_system.h"
#include "platform/pixel_memory.h"

namespace pixlane {

// Why a file did not map: OutOfMemory when the address space had no room
// for it, else CannotOpen.
inline CodecError MapFailureError(const CodecFileState& file) {
  return file.mapping.lackedMemory() ? CodecError::OutOfMemory : CodecError::CannotOpen;
}

// Maps `path` into reader.file and returns parse(data, size) over it; a
// successful parse stamps reader.image with the file's last write time. The
// mapping is released on every path; a file that does not map sets
// MapFailureError and returns false.
template <typename Reader, typename Parse>
bool ParseMappedFile(Reader& reader, std::u16string_view path, Parse parse) {
  const uint32_t size = MapInputFile(path, reader.file);
  if (size == 0) {
    reader.error = MapFailureError(reader.file);
    reader.file.Release();
    return false;
  }
  const bool ok = parse(reader.file.input.begin, size);
  if (ok) reader.image.lastWriteTime = reader.file.mapping.lastWriteTime();
  reader.file.Release();
  return ok;
}

// Converts `pixels` to the converter's target depth into `converted`
// (allocated here, converter.imageBytes, so ComputeRowGeometry must have run)
// and the new palette into `targetPalette`. A null `palette` (24-bit source)
// is replaced by a zero one the converter never reads. The converter's
// palette and pixel pointers are cleared afterwards. Returns None,
// OutOfMemory or ConversionFailed.
CodecError ConvertIntoBuffer(DepthConverter& converter, const RgbQuad* palette,
                             const uint8_t* pixels, RgbQuad* targetPalette,
                             PixelBlock& converted);

// Creates `path` and writes `head` then `body`, checking both writes and the
// close. Returns None, CannotOpen or WriteFailed; the caller releases `out`.
CodecError WriteHeadAndBody(OutputFile& out, std::u16string_view path, const void* head,
                            size_t headBytes, const void* body, size_t bodyBytes);

}  // namespace pixlane
