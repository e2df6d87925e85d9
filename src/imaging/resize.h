// Size reduction by area averaging: the side chosen by RszOpt is brought
// down to at most RszSize pixels, keeping the aspect ratio. Two separable
// passes (vertical, then horizontal) weigh every source sample by its
// coverage in 1/32768 units and divide through a table. Images are only
// ever made smaller; enlargements are refused.
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/depth_converter.h"
#include "imaging/processing_image.h"

namespace pixlane {

// The record shared by the scaling passes and by rotation. Buffers are
// 24-bit BGR rows for scaling (8 or 24-bit for rotation), bottom row first,
// each row padded to 4 bytes; the caller allocates the target.
struct GeometryParams {
  int32_t width = 0;   // of the source
  int32_t height = 0;  // of the source
  const uint8_t* sourcePixels = nullptr;
  uint8_t* targetPixels = nullptr;
};

// Division table of one pass reducing n samples to m: x = n / m (double),
// span = trunc(x × 32768) is the footprint of one output sample in 1/32768
// source samples, and entry i is trunc(i / x). A pass only looks up
// weighted sums below 255 × span / 32768 + 1, so only those entries are
// held (size = min(span, (255 × span >> 15) + 2)); the values are those of
// the full table.
struct DivisionTable {
  int32_t span = 0;
  int32_t size = 0;
  std::unique_ptr<uint8_t[]> entries;
};

// Builds the table for n → m with 2 ≤ n ≤ kMaxDimension and 1 ≤ m < n.
// False for other sizes or when memory is short.
bool BuildDivisionTable(int32_t n, int32_t m, DivisionTable& table);

// The size a reduction by `rszOpt` (1 width, 2 height, 3 longer side; a
// square is limited by its height) to `rszSize` gives. False when nothing
// is to be done: rszOpt ≤ 0, rszSize ≤ 0, or the limited side already
// within the limit. The other side is trunc(side × rszSize / limited + 0.5),
// at least 1.
bool ComputeReducedSize(int32_t width, int32_t height, int32_t rszOpt, int32_t rszSize,
                        int32_t& newWidth, int32_t& newHeight);

// The pipeline step. When a reduction is due, expands an indexed image to
// 24 bits with `converter`, scales it into a new block that replaces the
// record's pixels, and sets width, height and bitCount (24). An image
// within the limit is left exactly as it is, bit depth included. False on
// a bad image or short memory; the image then keeps its pixels (already
// expanded to 24 bits if the expansion ran).
bool ReduceImage(ProcessingImage& image, int32_t rszOpt, int32_t rszSize, GeometryParams& params,
                 DepthConverter& converter);

// Scales params' 24-bit source (width × height) into its target (newWidth
// × newHeight, stride (3 × newWidth + 3) & ~3). Only reductions: false when
// a new side is ≤ 0, above kMaxDimension or larger than the source's, when
// the size does not change, or when memory is short.
bool ScaleImage(const GeometryParams& params, int32_t newWidth, int32_t newHeight);

// The two passes. ScaleVertical writes newHeight rows of the source's
// stride; ScaleHorizontal writes height rows of newWidth pixels. Each needs
// a reduction along its axis (1 ≤ new < old).
bool ScaleVertical(const GeometryParams& params, int32_t newHeight);
bool ScaleHorizontal(const GeometryParams& params, int32_t newWidth);

}  // namespace pixlane
