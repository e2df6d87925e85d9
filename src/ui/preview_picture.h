// A decoded picture held by a preview window, and PaintFitted, the drawing
// routine the input preview box and the output preview share.
#pragma once

#include <windows.h>

#include "engine/engine_context.h"
#include "imaging/image_buffer.h"
#include "platform/pixel_memory.h"

namespace pixlane::ui {

// The header directly followed by the palette (1064 bytes, the layout of
// BITMAPINFO with 256 colours), and the pixel rows, bottom-up.
struct PreviewPicture {
  struct Info {
    BitmapInfoHeader header;
    Palette palette{};
  } info;
  PixelBlock pixels;

  bool empty() const { return pixels.empty(); }
  int32_t width() const { return info.header.width; }
  int32_t height() const { return info.header.height; }
  // Takes the current image of `context` over: header and palette are
  // copied, the pixel rows move here. False (nothing changed) when there is
  // no current image with pixels.
  bool TakeCurrentImage(EngineContext& context);
  void Release();
};

// Paints `picture` into `dc` over the client area of `window`: at its
// natural size and centred when it fits, otherwise fitted (FitImageRect),
// with HALFTONE stretching; the margins, or the whole area when there is no
// picture, in the button face colour.
void PaintFitted(HWND window, HDC dc, const PreviewPicture* picture);

}  // namespace pixlane::ui
