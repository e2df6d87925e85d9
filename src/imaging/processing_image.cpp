// Expansion of the image being processed to 24 bits with the depth
// converter; the new block replaces the old one only once it is filled.
#include "imaging/processing_image.h"

#include "platform/pixel_memory.h"

namespace pixlane {

bool HoldsImage(const ProcessingImage& image) {
  if (image.record == nullptr || image.record->pixels.empty()) return false;
  if (image.width < 1 || image.width > kMaxDimension) return false;
  if (image.height < 1 || image.height > kMaxDimension) return false;
  const int32_t bits = image.bitCount;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 24) return false;
  return image.record->pixels.size() >=
         RowStride(image.width, bits) * static_cast<size_t>(image.height);
}

bool ExpandImageTo24(ProcessingImage& image, DepthConverter& converter) {
  if (!HoldsImage(image)) return false;
  if (image.bitCount == 24) return true;
  converter.width = image.width;
  converter.height = image.height;
  converter.sourceBitCount = image.bitCount;
  converter.targetBitCount = 24;
  if (!ComputeRowGeometry(converter)) return false;
  PixelBlock expanded;
  if (!expanded.Allocate(converter.imageBytes)) return false;
  Palette unused{};  // expansion writes no palette
  if (!ConvertDepth(converter, image.record->palette.data(), image.record->pixels.data(),
                    unused.data(), expanded.data())) {
    return false;
  }
  image.record->pixels = std::move(expanded);
  image.bitCount = 24;
  return true;
}

}  // namespace pixlane
