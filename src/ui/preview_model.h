// The arithmetic of the preview windows, kept free of window handles so
// that the Linux tests reach it: where a picture goes inside a preview area
// (natural size centred, or fitted in 14-bit fixed point), how large the
// output preview opens on a work area and what its caption says, and the
// size line under the input preview.
#pragma once

#include <cstdint>
#include <string>

namespace pixlane::ui {

// The picture's rectangle inside a client area.
struct FittedRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const FittedRect&, const FittedRect&) = default;
};

// Where an image of imageWidth × imageHeight is drawn in a client area of
// clientWidth × clientHeight. An image that fits is drawn at its natural
// size, centred. A larger one is scaled by the smaller of the factors
// client · 16384 / image (integer division) per direction: when the width
// limits, it spans the width from the left and is centred vertically;
// otherwise it spans the height from the top and is centred horizontally.
// The scaled side is (factor · side) >> 14, at least 1. A 4000 × 3000 image
// in 200 × 200 is drawn 200 × 149 at (0, 25). Empty areas or images give an
// empty rectangle.
FittedRect FitImageRect(int32_t clientWidth, int32_t clientHeight, int32_t imageWidth,
                        int32_t imageHeight);

// The size the output preview shows an image at, and the scale in percent.
struct OutputPreviewSize {
  int32_t width = 0;
  int32_t height = 0;
  int32_t percent = 100;
  friend bool operator==(const OutputPreviewSize&, const OutputPreviewSize&) = default;
};

// An image that fits the available area is shown at 100 %. A larger one
// is scaled by f = min(available · 10000 / side) + 1 ten-thousandths (so the
// percentage, f / 100, is rounded down after adding one ten-thousandth):
// side · f / 10000, at least 1 and never beyond the available area.
OutputPreviewSize ScaleOutputPreview(int32_t imageWidth, int32_t imageHeight,
                                     int32_t availableWidth, int32_t availableHeight);

// "37% / 1,234KB": the percentage, then the file size in whole kilobytes
// (bytes / 1024, rounded down) with a comma every three digits.
std::u16string OutputPreviewCaption(int32_t percent, uint64_t fileBytes);

// The line under the input preview: "1024 x 768    24bit".
std::u16string InputPreviewInfoText(int32_t width, int32_t height, int32_t bitCount);

// `value` in decimal with a comma every three digits: 1234567 → "1,234,567".
std::u16string GroupedDecimal(uint64_t value);

}  // namespace pixlane::ui
