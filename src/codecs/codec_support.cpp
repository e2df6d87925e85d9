// Depth conversion into a writer's buffer and the checked create-write-close
// shared by the BMP and TIFF writers.
#include "codecs/codec_support.h"

namespace pixlane {

CodecError ConvertIntoBuffer(DepthConverter& converter, const RgbQuad* palette,
                             const uint8_t* pixels, RgbQuad* targetPalette,
                             PixelBlock& converted) {
  if (!converted.Allocate(converter.imageBytes)) return CodecError::OutOfMemory;
  const Palette noPalette{};
  const bool ok = ConvertDepth(converter, palette != nullptr ? palette : noPalette.data(), pixels,
                               targetPalette, converted.data());
  converter.sourcePalette = nullptr;
  converter.sourcePixels = nullptr;
  converter.targetPalette = nullptr;
  converter.targetPixels = nullptr;
  return ok ? CodecError::None : CodecError::ConversionFailed;
}

CodecError WriteHeadAndBody(OutputFile& out, std::u16string_view path, const void* head,
                            size_t headBytes, const void* body, size_t bodyBytes) {
  if (!out.Create(path)) return CodecError::CannotOpen;
  if (!out.Write(head, headBytes) || !out.Write(body, bodyBytes) || !out.Close()) {
    return CodecError::WriteFailed;
  }
  return CodecError::None;
}

}  // namespace pixlane
