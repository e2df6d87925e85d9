// Placement and scaling of the preview pictures, the output preview's
// caption and the input preview's size line. Products are formed in 64 bits:
// a client area may be wider than any image and the fixed-point factors
// reach 2^14 × its width.
#include "ui/preview_model.h"

#include <algorithm>
#include <string>

namespace pixlane::ui {
namespace {

constexpr int64_t kFitOne = 16384;          // 1.0 in the fit's 14-bit fixed point
constexpr int64_t kScaleOne = 10000;        // 1.0 in the output preview's factor

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

int32_t AtLeastOne(int64_t value) { return static_cast<int32_t>(std::max<int64_t>(value, 1)); }

}  // namespace

FittedRect FitImageRect(int32_t clientWidth, int32_t clientHeight, int32_t imageWidth,
                        int32_t imageHeight) {
  if (clientWidth <= 0 || clientHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return {};
  if (imageWidth <= clientWidth && imageHeight <= clientHeight) {
    return {(clientWidth - imageWidth) / 2, (clientHeight - imageHeight) / 2, imageWidth,
            imageHeight};
  }
  const int64_t sx = clientWidth * kFitOne / imageWidth;
  const int64_t sy = clientHeight * kFitOne / imageHeight;
  if (sx < sy) {
    const int32_t height = std::min(AtLeastOne((sx * imageHeight) >> 14), clientHeight);
    return {0, (clientHeight - height) / 2, clientWidth, height};
  }
  const int32_t width = std::min(AtLeastOne((imageWidth * sy) >> 14), clientWidth);
  return {(clientWidth - width) / 2, 0, width, clientHeight};
}

OutputPreviewSize ScaleOutputPreview(int32_t imageWidth, int32_t imageHeight,
                                     int32_t availableWidth, int32_t availableHeight) {
  if (imageWidth <= 0 || imageHeight <= 0) return {0, 0, 100};
  availableWidth = std::max(availableWidth, 1);
  availableHeight = std::max(availableHeight, 1);
  if (imageWidth <= availableWidth && imageHeight <= availableHeight) {
    return {imageWidth, imageHeight, 100};
  }
  const int64_t f = std::min(availableWidth * kScaleOne / imageWidth,
                             availableHeight * kScaleOne / imageHeight) +
                    1;
  // The added ten-thousandth can make a side of more than 10000 pixels one
  // or two pixels larger than the area; the window must stay on it.
  OutputPreviewSize size;
  size.width = std::min(AtLeastOne(imageWidth * f / kScaleOne), availableWidth);
  size.height = std::min(AtLeastOne(imageHeight * f / kScaleOne), availableHeight);
  size.percent = static_cast<int32_t>(f / 100);
  return size;
}

std::u16string GroupedDecimal(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return Ascii(grouped);
}

std::u16string OutputPreviewCaption(int32_t percent, uint64_t fileBytes) {
  return Ascii(std::to_string(percent)) + u"% / " + GroupedDecimal(fileBytes / 1024) + u"KB";
}

std::u16string InputPreviewInfoText(int32_t width, int32_t height, int32_t bitCount) {
  return Ascii(std::to_string(width) + " x " + std::to_string(height) + "    " +
               std::to_string(bitCount) + "bit");
}

}  // namespace pixlane::ui
