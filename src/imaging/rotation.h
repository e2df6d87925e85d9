// Clockwise rotation by quarter turns: 1 (90°), 2 (180°), 3 (270°). An
// exact pixel copy for 8-bit (palette untouched) and 24-bit images; rows
// are bottom-up and padded to 4 bytes, and the fill bytes of the target
// rows are never written.
#pragma once

#include <cstdint>

#include "imaging/processing_image.h"
#include "imaging/resize.h"

namespace pixlane {

// Copies params' source (width × height, `bitCount` 8 or 24) into its
// target turned by `turn`: H × W for turns 1 and 3, W × H for turn 2, with
// the stride of the turned width. In picture coordinates (x from the left,
// y from the top) target (x', y') takes source (y', H − 1 − x') for turn 1,
// (W − 1 − x', H − 1 − y') for turn 2 and (W − 1 − y', x') for turn 3.
// False for another bit count or turn, a bad size or missing buffers.
bool RotateBuffer(const GeometryParams& params, int32_t turn, int32_t bitCount);

// The pipeline step for TurOpt: turns 1 … 3 replace the record's pixels
// with a new block and swap width and height for quarter turns; any other
// value returns true and changes nothing. False (image unchanged) for a
// depth other than 8 or 24, a bad image or short memory.
bool RotateImage(ProcessingImage& image, int32_t turn, GeometryParams& params);

}  // namespace pixlane
