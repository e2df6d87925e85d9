// Row filters for the PNG writer. The adaptive choice computes the four
// predicting filters in one pass over the row and scores each buffer while
// it is written; the raw row itself is the None candidate.
#include "codecs/png_filters.h"

#include <cassert>
#include <cstring>

#include "codecs/png_format.h"

namespace pixlane::png {
namespace {

// 0, 1, 2, 3, 252, 253, 254, 255: the values within 4 of 0 modulo 256.
inline uint32_t IsSmall(uint8_t v) { return static_cast<uint8_t>(v + 4) < 8 ? 1u : 0u; }

}  // namespace

uint32_t FilterScore(const uint8_t* row, size_t n) {
  uint32_t score = 0;
  for (size_t i = 1; i <= n; ++i) score += (row[i] == row[i - 1]) & IsSmall(row[i]);
  return score;
}

void FilterRow(const FilterRows& set, size_t n, int distance, int type) {
  assert(type >= 0 && type <= 4 && distance >= 1);
  const uint8_t* raw = set.rows[kNone];
  const uint8_t* prev = set.rows[kPrevious];
  const size_t d = static_cast<size_t>(distance);
  uint8_t* out = set.rows[kNone + type];
  out[0] = static_cast<uint8_t>(type);
  switch (type) {
    case 0:
      break;  // the raw row is already in place
    case 1:
      for (size_t i = 1; i <= n; ++i) out[i] = static_cast<uint8_t>(raw[i] - (i > d ? raw[i - d] : 0));
      break;
    case 2:
      for (size_t i = 1; i <= n; ++i) out[i] = static_cast<uint8_t>(raw[i] - prev[i]);
      break;
    case 3:
      for (size_t i = 1; i <= n; ++i) {
        const int a = i > d ? raw[i - d] : 0;
        out[i] = static_cast<uint8_t>(raw[i] - ((a + prev[i]) >> 1));
      }
      break;
    default:
      for (size_t i = 1; i <= n; ++i) {
        const int a = i > d ? raw[i - d] : 0;
        const int c = i > d ? prev[i - d] : 0;
        out[i] = static_cast<uint8_t>(raw[i] - PaethPredictor(a, prev[i], c));
      }
      break;
  }
}

int ChooseRowFilter(const FilterRows& set, size_t n, int distance) {
  const uint8_t* raw = set.rows[kNone];
  const uint8_t* prev = set.rows[kPrevious];
  uint8_t* sub = set.rows[kSub];
  uint8_t* up = set.rows[kUp];
  uint8_t* avg = set.rows[kAverage];
  uint8_t* paeth = set.rows[kPaeth];
  set.rows[kNone][0] = 0;
  sub[0] = 1;
  up[0] = 2;
  avg[0] = 3;
  paeth[0] = 4;

  uint32_t scores[5] = {0, 0, 0, 0, 0};
  const size_t d = static_cast<size_t>(distance);
  const size_t head = n < d ? n : d;
  // The first pixel has no left or upper-left neighbour.
  for (size_t i = 1; i <= head; ++i) {
    const uint8_t x = raw[i];
    const uint8_t b = prev[i];
    sub[i] = x;
    up[i] = static_cast<uint8_t>(x - b);
    avg[i] = static_cast<uint8_t>(x - (b >> 1));
    paeth[i] = static_cast<uint8_t>(x - b);  // the predictor picks b when a = c = 0
  }
  for (size_t i = head + 1; i <= n; ++i) {
    const uint8_t x = raw[i];
    const uint8_t a = raw[i - d];
    const uint8_t b = prev[i];
    const uint8_t c = prev[i - d];
    sub[i] = static_cast<uint8_t>(x - a);
    up[i] = static_cast<uint8_t>(x - b);
    avg[i] = static_cast<uint8_t>(x - ((a + b) >> 1));
    paeth[i] = static_cast<uint8_t>(x - PaethPredictor(a, b, c));
  }
  scores[0] = FilterScore(raw, n);
  scores[1] = FilterScore(sub, n);
  scores[2] = FilterScore(up, n);
  scores[3] = FilterScore(avg, n);
  scores[4] = FilterScore(paeth, n);
  int best = 0;
  for (int t = 1; t < 5; ++t) {
    if (scores[t] > scores[best]) best = t;
  }
  return best;
}

}  // namespace pixlane::png
