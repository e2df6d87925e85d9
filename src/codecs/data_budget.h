// The decompression-bomb guard every reader applies before it allocates the
// image: a file whose data, expanded as far as its coding can possibly go,
// could fill less than 1/1000 of the declared image is refused as
// DataTooSmall. Damaged real files still decode their rows: they hold far
// more than that fraction. Counts are 64-bit and saturate instead of
// overflowing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace pixlane {

// The share of the declared image that the data must be able to fill.
inline constexpr uint64_t kMinFillDivisor = 1000;

inline uint64_t SaturatingMul(uint64_t a, uint64_t b) {
  if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) {
    return std::numeric_limits<uint64_t>::max();
  }
  return a * b;
}

// True when `producible` units (bytes, pixels, blocks) can fill at least
// 1/1000 of `declared` units.
inline bool DataCanFill(uint64_t producible, uint64_t declared) {
  return SaturatingMul(producible, kMinFillDivisor) >= declared;
}

// Deflate's best case is a 258-byte match in about two bits: at most 1032
// output bytes per input byte (plus the few bytes of one stored block).
inline uint64_t DeflateMaxOutput(uint64_t inputBytes) {
  return SaturatingMul(inputBytes, 1032) + 64;
}

// LZW with codes of at least `minCodeBits` bits: the k-th code after a clear
// stands for at most k symbols (each new string is one longer than the
// previous), and no string is longer than the 4096-entry table allows.
inline uint64_t LzwMaxOutput(uint64_t inputBytes, int minCodeBits) {
  constexpr uint64_t kLongestString = 4096;
  const uint64_t codes = SaturatingMul(inputBytes, 8) / static_cast<uint64_t>(minCodeBits);
  const uint64_t rising = std::min(codes, kLongestString);
  const uint64_t risingOutput = rising * (rising + 1) / 2;
  return risingOutput + SaturatingMul(codes - rising, kLongestString);
}

// Arithmetic-coded JPEG data (and progressive files that open with an AC
// scan, whose end-of-band runs cover thousands of blocks in a few bits) has
// no bound per bit; this many pixels per byte of coded data is about 2000
// times what real photos reach, yet refuses a few hundred bytes that claim
// a 25000 x 25000 image.
inline constexpr uint64_t kUnboundedCodingPixelsPerByte = 262144;

}  // namespace pixlane
