// The image a processing step reads and replaces: the record that owns the
// pixel block and palette, with the width, height and bit count that go with
// the pixels (steps update these, never the record's header). Also the
// expansion of an indexed image to 24 bits that reduction and sharpening
// start with.
#pragma once

#include <cstdint>

#include "imaging/depth_converter.h"
#include "imaging/image_buffer.h"

namespace pixlane {

struct ProcessingImage {
  ImageBuffer* record = nullptr;  // not owned; its pixels may be replaced
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitCount = 0;
};

// True when width and height are 1..kMaxDimension, the bit count is 1, 2,
// 4, 8 or 24 and the record's pixel block holds every row of that geometry.
// Every step checks this before it touches the pixels.
bool HoldsImage(const ProcessingImage& image);

// Converts an indexed image (1, 4 or 8 bits) to 24-bit BGR through its
// palette, replacing the record's pixel block, and sets bitCount to 24. A
// 24-bit image succeeds unchanged. False (image unchanged) when the memory
// cannot be had or the converter refuses the geometry or depth.
bool ExpandImageTo24(ProcessingImage& image, DepthConverter& converter);

// Bytes from one row to the next of a 24-bit image: (3 × width + 3) & ~3.
constexpr size_t Stride24(int32_t width) {
  return (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
}

// Bytes from one row to the next of an 8-bit image: (width + 3) & ~3.
constexpr size_t Stride8(int32_t width) {
  return (static_cast<size_t>(width) + 3) & ~size_t{3};
}

}  // namespace pixlane
