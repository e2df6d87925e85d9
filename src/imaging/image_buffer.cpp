// ImageBuffer reset and header set-up.
#include "imaging/image_buffer.h"

namespace pixlane {

void ImageBuffer::Reset() {
  header = BitmapInfoHeader{};
  palette.fill(RgbQuad{});
  sourceFormat = FormatCode::Unknown;
  pixels.Release();
  fileSize = 0;
  sourceBitCount = 0;
  lastWriteTime = 0;
  isPartial = false;
}

void SetImageHeader(ImageBuffer& image, int32_t width, int32_t height, int bitCount,
                    int32_t xPelsPerMetre, int32_t yPelsPerMetre) {
  BitmapInfoHeader& h = image.header;
  h.size = 40;
  h.width = width;
  h.height = height;
  h.planes = 1;
  h.bitCount = static_cast<uint16_t>(bitCount);
  h.compression = 0;
  h.sizeImage = 0;
  h.xPelsPerMetre = xPelsPerMetre;
  h.yPelsPerMetre = yPelsPerMetre;
  h.clrUsed = 0;
  h.clrImportant = 0;
}

}  // namespace pixlane
