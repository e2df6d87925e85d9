// The preview picture record and the fitted drawing of it.
#include "ui/preview_picture.h"

#include <cstddef>
#include <utility>

#include "ui/preview_model.h"

namespace pixlane::ui {

static_assert(sizeof(PreviewPicture::Info) == sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD),
              "header and palette must lie as in BITMAPINFO");
static_assert(offsetof(PreviewPicture::Info, palette) == sizeof(BITMAPINFOHEADER));

bool PreviewPicture::TakeCurrentImage(EngineContext& context) {
  ImageBuffer* record = context.current.record;
  if (record == nullptr || record->pixels.empty()) return false;
  const CurrentImage& current = context.current;
  info.header = record->header;
  info.header.width = current.width;
  info.header.height = current.height;
  info.header.bitCount = static_cast<uint16_t>(current.bitCount);
  info.palette = record->palette;
  pixels = std::move(record->pixels);
  return !pixels.empty();
}

void PreviewPicture::Release() {
  pixels.Release();
  info = Info{};
}

void PaintFitted(HWND window, HDC dc, const PreviewPicture* picture) {
  RECT client{};
  GetClientRect(window, &client);
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  if (picture == nullptr || picture->empty()) {
    FillRect(dc, &client, face);
    return;
  }
  const FittedRect r = FitImageRect(client.right, client.bottom, picture->width(), picture->height());
  const RECT margins[] = {
      {0, 0, client.right, r.y},
      {0, r.y + r.height, client.right, client.bottom},
      {0, r.y, r.x, r.y + r.height},
      {r.x + r.width, r.y, client.right, r.y + r.height},
  };
  for (const RECT& margin : margins) {
    if (margin.right > margin.left && margin.bottom > margin.top) FillRect(dc, &margin, face);
  }
  if (r.width <= 0 || r.height <= 0) return;
  // HALFTONE needs the brush origin set again after the mode changes.
  const int oldMode = SetStretchBltMode(dc, HALFTONE);
  POINT oldOrigin{};
  SetBrushOrgEx(dc, 0, 0, &oldOrigin);
  StretchDIBits(dc, r.x, r.y, r.width, r.height, 0, 0, picture->width(), picture->height(),
                picture->pixels.data(), reinterpret_cast<const BITMAPINFO*>(&picture->info), DIB_RGB_COLORS,
                SRCCOPY);
  SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  if (oldMode != 0) SetStretchBltMode(dc, oldMode);
}

}  // namespace pixlane::ui
