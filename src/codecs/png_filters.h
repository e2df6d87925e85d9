// The PNG writer's row filters: the five filter types of the format run on
// one row into preallocated buffers, and the adaptive choice between them.
// A row set is six buffers of the same length: previous row, None (holding
// the raw row), Sub, Up, Average and Paeth; byte 0 of each filter buffer is
// its type number and bytes 1..n the row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::png {

enum RowBuffer { kPrevious = 0, kNone = 1, kSub = 2, kUp = 3, kAverage = 4, kPaeth = 5 };

struct FilterRows {
  uint8_t* rows[6] = {};  // indexed by RowBuffer
};

// Runs filter `type` (0-4) over bytes 1..n of the raw row with the given
// filter distance; writes the type byte too.
void FilterRow(const FilterRows& set, size_t n, int distance, int type);

// Runs all five filters and returns the type whose row scores highest; ties
// go to the lower type. A row's score counts the positions i = 1..n whose
// byte equals the one before it (the type byte for i = 1) and is one of 0,
// 1, 2, 3, 252, 253, 254 or 255.
int ChooseRowFilter(const FilterRows& set, size_t n, int distance);

// The score described above for one filtered buffer (type byte included).
uint32_t FilterScore(const uint8_t* row, size_t n);

}  // namespace pixlane::png
