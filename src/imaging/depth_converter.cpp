// Placeholder until the converter lands.
#include "imaging/depth_converter.h"
namespace pixlane {
size_t SourceRowStride(int32_t width, int32_t bitCount) { return RowStride(width, bitCount); }
bool ComputeRowGeometry(DepthConverter&) { return false; }
bool ConvertDepth(DepthConverter&, const RgbQuad*, const uint8_t*, RgbQuad*, uint8_t*) { return false; }
bool ConvertToGray(DepthConverter&, const RgbQuad*, const uint8_t*, uint8_t*) { return false; }
bool ReduceForGif(DepthConverter&, const RgbQuad*, const uint8_t*, RgbQuad*, uint8_t*) { return false; }
uint32_t CountColours(const DepthConverter&) { return 0; }
}  // namespace pixlane
