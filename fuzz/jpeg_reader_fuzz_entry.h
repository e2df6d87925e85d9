// The JPEG reader's fuzz entry, shared by the libFuzzer target and by the
// test that replays the seed corpus: reads the Exif date and decodes the
// input (at full size and through a small target box) and checks what the
// units promise about their results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::fuzz {

// Width and height cap of the harness, so that no input makes it allocate
// more than a few tens of MB of pixels; libjpeg's own arrays are capped too.
inline constexpr int32_t kJpegFuzzMaxDimension = 4096;
inline constexpr size_t kJpegFuzzMaxMemory = size_t{96} << 20;

// False when the reader or the Exif date reader broke a promise.
bool CheckJpegInput(const uint8_t* data, size_t size);

}  // namespace pixlane::fuzz
