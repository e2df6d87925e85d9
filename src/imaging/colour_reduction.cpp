// Black and white, exact palettes, histogram palettes and Floyd–Steinberg
// diffusion over the converter's work image. Pixels are visited in memory
// order; each pixel's neighbour set (first/last column, one-pixel-wide
// image, last row) is chosen by position, never tested per neighbour. Every
// work block (gray image, 24-bit copy, cells) is released on every path.
#include "imaging/colour_reduction.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace pixlane {
namespace {

// ---------------------------------------------------------------------------
// Fixed seed palettes.

// Every combination of `levels`, blue varying fastest, then green, then red.
template <size_t N>
constexpr std::array<Bgr, N * N * N> Cube(const std::array<uint8_t, N>& levels) {
  std::array<Bgr, N * N * N> cube{};
  size_t i = 0;
  for (uint8_t red : levels) {
    for (uint8_t green : levels) {
      for (uint8_t blue : levels) cube[i++] = Bgr{blue, green, red};
    }
  }
  return cube;
}

constexpr std::array<Bgr, 4> kPalette4 = {{{0, 0, 0}, {255, 64, 0}, {0, 64, 255}, {255, 255, 255}}};
constexpr auto kPalette8 = Cube<2>({0, 255});
constexpr std::array<Bgr, 15> kPalette15 = {{{0, 0, 0},
                                             {255, 0, 0},
                                             {255, 128, 0},
                                             {0, 255, 0},
                                             {128, 255, 0},
                                             {255, 255, 0},
                                             {255, 0, 128},
                                             {128, 128, 128},
                                             {0, 255, 128},
                                             {0, 0, 255},
                                             {128, 0, 255},
                                             {255, 0, 255},
                                             {0, 128, 255},
                                             {0, 255, 255},
                                             {255, 255, 255}}};
constexpr auto kPalette27 = Cube<3>({0, 128, 255});
constexpr auto kPalette64 = Cube<4>({0, 85, 170, 255});
constexpr auto kPalette125 = Cube<5>({0, 85, 140, 195, 255});
constexpr auto kPalette216 = Cube<6>({0, 85, 135, 175, 215, 255});

// Histogram palette parameters for 2 … 8 index bits, indexed by bits − 2.
constexpr PaletteParams kPaletteParams[7] = {
    {4, 4, 34560}, {8, 8, 32512}, {15, 16, 16129}, {27, 32, 8064},
    {64, 64, 3612}, {125, 128, 1512}, {216, 256, 800},
};

// ---------------------------------------------------------------------------
// Helpers.

// Releases a converter work block when the conversion leaves, on any path.
class ScopedRelease {
 public:
  explicit ScopedRelease(PixelBlock& block) : block_(block) {}
  ~ScopedRelease() { block_.Release(); }
  ScopedRelease(const ScopedRelease&) = delete;
  ScopedRelease& operator=(const ScopedRelease&) = delete;

 private:
  PixelBlock& block_;
};

size_t WorkStrideFor(int32_t width) { return (3 * static_cast<size_t>(width) + 3) & ~size_t{3}; }

int SumOf(Bgr c) { return c.blue + c.green + c.red; }

// Writes indices of kBits bits (1, 2, 4 or 8) row by row, most significant
// bits first; EndRow flushes a partial byte and zeroes the rest of the row
// up to the stride.
template <int kBits>
class IndexWriter {
 public:
  explicit IndexWriter(const IndexTarget& target)
      : row_(target.pixels), out_(target.pixels), stride_(target.stride) {}

  void Put(uint32_t index) {
    if constexpr (kBits == 8) {
      *out_++ = static_cast<uint8_t>(index);
    } else {
      acc_ = (acc_ << kBits) | index;
      if (++pending_ == kPerByte) {
        *out_++ = static_cast<uint8_t>(acc_);
        acc_ = 0;
        pending_ = 0;
      }
    }
  }

  void EndRow() {
    if constexpr (kBits != 8) {
      if (pending_ != 0) {
        *out_++ = static_cast<uint8_t>(acc_ << ((kPerByte - pending_) * kBits));
        acc_ = 0;
        pending_ = 0;
      }
    }
    uint8_t* end = row_ + stride_;
    if (out_ < end) std::memset(out_, 0, static_cast<size_t>(end - out_));
    row_ = end;
    out_ = end;
  }

 private:
  static constexpr int kPerByte = 8 / kBits;
  uint8_t* row_;
  uint8_t* out_;
  size_t stride_;
  uint32_t acc_ = 0;
  int pending_ = 0;
};

// Calls body(IndexWriter<n>) for the target's index width.
template <typename Body>
bool WithIndexWriter(const IndexTarget& target, Body&& body) {
  switch (target.bitsPerIndex) {
    case 1: { IndexWriter<1> w(target); body(w); return true; }
    case 2: { IndexWriter<2> w(target); body(w); return true; }
    case 4: { IndexWriter<4> w(target); body(w); return true; }
    case 8: { IndexWriter<8> w(target); body(w); return true; }
    default: return false;
  }
}

// ---------------------------------------------------------------------------
// Floyd–Steinberg diffusion.

// Adds one share of the error e (one value per channel) to the pixel at px,
// clamped to 0 … 255.
template <int kChannels>
inline void AddShare(uint8_t* px, const int16_t* share, const int* e) {
  const uint8_t* clamp = kClampTable.data() + 255;
  for (int c = 0; c < kChannels; ++c) px[c] = clamp[px[c] + share[e[c]]];
}

// Visits the pixels of a work image of kChannels bytes per pixel in memory
// order: sink.Quantize(px, e) picks the output for the pixel (which already
// holds the errors diffused into it) and returns its error per channel,
// which goes 7/16 to (x + 1, same row), 3/16 to (x − 1, next row), 5/16 to
// (x, next row) and 1/16 to (x + 1, next row), skipping neighbours outside
// the image. sink.EndRow() follows every row.
template <int kChannels, typename Sink>
void DiffuseImage(uint8_t* pixels, size_t stride, int32_t width, int32_t height, Sink& sink) {
  constexpr size_t kStep = kChannels;
  const int16_t* d1 = kDitherTables[0].data() + 255;
  const int16_t* d3 = kDitherTables[1].data() + 255;
  const int16_t* d5 = kDitherTables[2].data() + 255;
  const int16_t* d7 = kDitherTables[3].data() + 255;
  const size_t last = static_cast<size_t>(width - 1) * kStep;
  int e[kChannels];
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = pixels + static_cast<size_t>(y) * stride;
    if (y == height - 1) {
      // Last row: only the right neighbour exists.
      for (size_t x = 0; x < last; x += kStep) {
        sink.Quantize(row + x, e);
        AddShare<kChannels>(row + x + kStep, d7, e);
      }
      sink.Quantize(row + last, e);
    } else if (width == 1) {
      sink.Quantize(row, e);
      AddShare<kChannels>(row + stride, d5, e);
    } else {
      uint8_t* next = row + stride;
      sink.Quantize(row, e);
      AddShare<kChannels>(row + kStep, d7, e);
      AddShare<kChannels>(next, d5, e);
      AddShare<kChannels>(next + kStep, d1, e);
      for (size_t x = kStep; x < last; x += kStep) {
        sink.Quantize(row + x, e);
        AddShare<kChannels>(row + x + kStep, d7, e);
        AddShare<kChannels>(next + x - kStep, d3, e);
        AddShare<kChannels>(next + x, d5, e);
        AddShare<kChannels>(next + x + kStep, d1, e);
      }
      sink.Quantize(row + last, e);
      AddShare<kChannels>(next + last - kStep, d3, e);
      AddShare<kChannels>(next + last, d5, e);
    }
    sink.EndRow();
  }
}

template <typename Writer>
class BlackWhiteSink {
 public:
  explicit BlackWhiteSink(Writer& writer) : writer_(writer) {}
  void Quantize(uint8_t* px, int* e) {
    const int gray = *px;
    const int bit = gray >> 7;  // 1 for 128 … 255
    e[0] = gray - 255 * bit;
    writer_.Put(static_cast<uint32_t>(bit));
  }
  void EndRow() { writer_.EndRow(); }

 private:
  Writer& writer_;
};

template <typename Writer>
class PaletteDitherSink {
 public:
  PaletteDitherSink(Writer& writer, NearestSearch& search, const Bgr* palette)
      : writer_(writer), search_(search), palette_(palette) {}
  void Quantize(uint8_t* px, int* e) {
    const int index = search_.Find(Bgr{px[0], px[1], px[2]});
    const Bgr& p = palette_[index];
    e[0] = px[0] - p.blue;
    e[1] = px[1] - p.green;
    e[2] = px[2] - p.red;
    writer_.Put(static_cast<uint32_t>(index));
  }
  void EndRow() { writer_.EndRow(); }

 private:
  Writer& writer_;
  NearestSearch& search_;
  const Bgr* palette_;
};

// ---------------------------------------------------------------------------
// Exact palettes.

uint32_t ColourKey(const uint8_t* px) {
  return static_cast<uint32_t>(px[0]) | (static_cast<uint32_t>(px[1]) << 8) |
         (static_cast<uint32_t>(px[2]) << 16);
}

// Open-addressed map from a 24-bit colour to a palette index, for at most
// 256 colours (load ≤ 1/4).
class SmallColourMap {
 public:
  // Slot holding `colour`, or the empty slot where it would go.
  size_t Find(uint32_t colour) const {
    const uint32_t key = colour | kPresent;
    size_t slot = (key * 2654435761u) >> (32 - kSlotBits);
    while (keys_[slot] != 0 && keys_[slot] != key) slot = (slot + 1) & (kSlots - 1);
    return slot;
  }
  bool Holds(size_t slot) const { return keys_[slot] != 0; }
  uint8_t Value(size_t slot) const { return values_[slot]; }
  void Set(size_t slot, uint32_t colour, uint8_t value) {
    keys_[slot] = colour | kPresent;
    values_[slot] = value;
  }

 private:
  static constexpr uint32_t kPresent = 0x01000000;
  static constexpr int kSlotBits = 10;
  static constexpr size_t kSlots = size_t{1} << kSlotBits;
  std::array<uint32_t, kSlots> keys_{};
  std::array<uint8_t, kSlots> values_{};
};

// Collects the first `count` distinct colours of the work copy in memory
// order, sorts them by blue + green + red (selection: the first entry of
// least sum among i … count − 1 is swapped into i) and maps each colour to
// its sorted position.
void CollectExactPalette(const DepthConverter& converter, uint32_t count, Bgr* palette,
                         SmallColourMap& map) {
  const size_t stride = WorkStrideFor(converter.width);
  const uint8_t* work = converter.workPixels.data();
  uint32_t found = 0;
  for (int32_t y = 0; y < converter.height && found < count; ++y) {
    const uint8_t* px = work + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < converter.width && found < count; ++x, px += 3) {
      const uint32_t colour = ColourKey(px);
      const size_t slot = map.Find(colour);
      if (!map.Holds(slot)) {
        map.Set(slot, colour, 0);
        palette[found++] = Bgr{px[0], px[1], px[2]};
      }
    }
  }
  for (uint32_t i = 0; i < found; ++i) {
    uint32_t least = i;
    for (uint32_t j = i + 1; j < found; ++j) {
      if (SumOf(palette[j]) < SumOf(palette[least])) least = j;
    }
    std::swap(palette[i], palette[least]);
  }
  for (uint32_t i = 0; i < found; ++i) {
    const uint8_t bytes[3] = {palette[i].blue, palette[i].green, palette[i].red};
    const uint32_t colour = ColourKey(bytes);
    map.Set(map.Find(colour), colour, static_cast<uint8_t>(i));
  }
}

template <typename Writer>
void MapExact(const DepthConverter& converter, const SmallColourMap& map, Writer& writer) {
  const size_t stride = WorkStrideFor(converter.width);
  const uint8_t* work = converter.workPixels.data();
  uint32_t lastColour = ColourKey(work);
  uint32_t lastIndex = map.Value(map.Find(lastColour));
  for (int32_t y = 0; y < converter.height; ++y) {
    const uint8_t* px = work + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < converter.width; ++x, px += 3) {
      const uint32_t colour = ColourKey(px);
      if (colour != lastColour) {
        lastColour = colour;
        lastIndex = map.Value(map.Find(colour));
      }
      writer.Put(lastIndex);
    }
    writer.EndRow();
  }
}

// Writes the filled palette entries (blue, green, red) and zeroes the
// entries from `filled` up to `capacity`.
void WriteTargetPalette(RgbQuad* target, const Bgr* palette, int filled, int capacity) {
  for (int i = 0; i < filled; ++i) {
    target[i].blue = palette[i].blue;
    target[i].green = palette[i].green;
    target[i].red = palette[i].red;
  }
  for (int i = filled; i < capacity; ++i) target[i] = RgbQuad{};
}

// ---------------------------------------------------------------------------
// Histogram palette.

// One histogram cell: channel sums, pixel count, and after averaging the
// truncated mean colour. 64-bit sums: a 25000 × 25000 image of one colour
// sums to 1.6e11 in one cell.
struct Cell {
  uint64_t sumBlue;
  uint64_t sumGreen;
  uint64_t sumRed;
  uint32_t count;
  Bgr average;
  uint8_t unused;
};
static_assert(sizeof(Cell) == 32);

constexpr size_t kMaxCells = 32768;  // 5 bits per channel
constexpr size_t kCellBytes = kMaxCells * sizeof(Cell) + kMaxCells * sizeof(uint16_t);

// Bits per channel of the histogram: 5 when the colours fall in at most
// `capacity` cells of 4 bits, else 4 when they fit at 3 bits, else 3 when
// they fit at 2 bits, else 2.
int ChooseCellBits(const DepthConverter& converter, int capacity) {
  const size_t stride = WorkStrideFor(converter.width);
  const uint8_t* work = converter.workPixels.data();
  std::array<uint8_t, 4096> seen4{};
  for (int32_t y = 0; y < converter.height; ++y) {
    const uint8_t* px = work + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < converter.width; ++x, px += 3) {
      seen4[(static_cast<size_t>(px[2] >> 4) << 8) | (static_cast<size_t>(px[1] >> 4) << 4) |
            static_cast<size_t>(px[0] >> 4)] = 1;
    }
  }
  const auto count = [](const auto& seen) {
    return static_cast<int>(std::count(seen.begin(), seen.end(), uint8_t{1}));
  };
  if (count(seen4) <= capacity) return 5;
  std::array<uint8_t, 512> seen3{};
  for (size_t i = 0; i < seen4.size(); ++i) {
    if (seen4[i] == 0) continue;
    const size_t r = i >> 8, g = (i >> 4) & 15, b = i & 15;
    seen3[((r >> 1) << 6) | ((g >> 1) << 3) | (b >> 1)] = 1;
  }
  if (count(seen3) <= capacity) return 4;
  std::array<uint8_t, 64> seen2{};
  for (size_t i = 0; i < seen3.size(); ++i) {
    if (seen3[i] == 0) continue;
    const size_t r = i >> 6, g = (i >> 3) & 7, b = i & 7;
    seen2[((r >> 1) << 4) | ((g >> 1) << 2) | (b >> 1)] = 1;
  }
  return count(seen2) <= capacity ? 3 : 2;
}

}  // namespace

// ---------------------------------------------------------------------------

bool NearestSearch::Init(const Bgr* palette, int count) {
  assert(count >= 1 && count <= 256);
  palette_ = palette;
  count_ = count;
  poolUsed_ = 0;
  listSize_.fill(kUnbuilt);
  return pool_.Allocate(kPoolCandidates * sizeof(Candidate));
}

void NearestSearch::BuildBox(size_t box) {
  if (kPoolCandidates - poolUsed_ < static_cast<size_t>(count_)) {
    listSize_[box] = kFullSearch;
    return;
  }
  const int low[3] = {static_cast<int>(box & 15) << 4, static_cast<int>((box >> 4) & 15) << 4,
                      static_cast<int>(box >> 8) << 4};
  std::array<int32_t, 256> nearDistance{};
  int32_t bound = kDistanceStart;  // least farthest-corner distance
  for (int i = 0; i < count_; ++i) {
    const int value[3] = {palette_[i].blue, palette_[i].green, palette_[i].red};
    int32_t nearSum = 0, farSum = 0;
    for (int c = 0; c < 3; ++c) {
      const int lo = low[c], hi = low[c] + 15;
      const int nearGap = value[c] < lo ? lo - value[c] : (value[c] > hi ? value[c] - hi : 0);
      const int farGap = value[c] - lo > hi - value[c] ? value[c] - lo : hi - value[c];
      nearSum += nearGap * nearGap;
      farSum += farGap * farGap;
    }
    nearDistance[static_cast<size_t>(i)] = nearSum;
    if (farSum < bound) bound = farSum;
  }
  Candidate* list = reinterpret_cast<Candidate*>(pool_.data()) + poolUsed_;
  uint16_t size = 0;
  for (int i = 0; i < count_; ++i) {
    const int32_t near = nearDistance[static_cast<size_t>(i)];
    if (near > bound) continue;
    // Insertion by distance; equal distances stay in index order.
    const Candidate entry{static_cast<uint16_t>(near < 65535 ? near : 65535), static_cast<uint8_t>(i), 0};
    uint16_t k = size++;
    for (; k > 0 && list[k - 1].nearDistance > entry.nearDistance; --k) list[k] = list[k - 1];
    list[k] = entry;
  }
  listStart_[box] = static_cast<uint32_t>(poolUsed_);
  listSize_[box] = size;
  poolUsed_ += size;
}

int NearestSearch::Find(Bgr colour) {
  const size_t box = (static_cast<size_t>(colour.red >> 4) << 8) | (static_cast<size_t>(colour.green >> 4) << 4) |
                     static_cast<size_t>(colour.blue >> 4);
  if (listSize_[box] == kUnbuilt) BuildBox(box);
  if (listSize_[box] == kFullSearch) return NearestIndex(palette_, count_, colour);
  const Candidate* list = reinterpret_cast<const Candidate*>(pool_.data()) + listStart_[box];
  const int size = listSize_[box];
  int32_t best = kDistanceStart;
  int bestIndex = 0;
  for (int k = 0; k < size; ++k) {
    // No later candidate can come nearer than this one's distance to the box.
    if (list[k].nearDistance > best) break;
    const int i = list[k].index;
    const int32_t d = SquaredDistance(palette_[i], colour);
    if (d < best || (d == best && i < bestIndex)) {
      best = d;
      bestIndex = i;
    }
  }
  return bestIndex;
}

std::span<const Bgr> FixedPalette(int size) {
  switch (size) {
    case 4: return kPalette4;
    case 8: return kPalette8;
    case 15: return kPalette15;
    case 27: return kPalette27;
    case 64: return kPalette64;
    case 125: return kPalette125;
    case 216: return kPalette216;
    default: return {};
  }
}

PaletteParams PaletteParamsForBits(int bits) {
  if (bits < 2 || bits > 8) return {};
  return kPaletteParams[bits - 2];
}

int NearestIndex(const Bgr* palette, int count, Bgr colour) {
  int32_t best = kDistanceStart;
  int bestIndex = 0;
  for (int i = 0; i < count; ++i) {
    const int32_t d = SquaredDistance(palette[i], colour);
    if (d < best) {
      best = d;
      bestIndex = i;
    }
  }
  return bestIndex;
}

bool MakeWorkCopy(DepthConverter& converter) {
  const int32_t width = converter.width;
  const int32_t height = converter.height;
  const size_t stride = WorkStrideFor(width);
  converter.workStride = static_cast<int32_t>(stride);
  if (converter.sourceBitCount == 8 && converter.sourcePalette == nullptr) return false;
  if (converter.sourceBitCount != 8 && converter.sourceBitCount != 24) return false;
  if (!converter.workPixels.Allocate(stride * static_cast<size_t>(height))) return false;
  uint8_t* work = converter.workPixels.data();
  if (converter.sourceBitCount == 24) {
    std::memcpy(work, converter.sourcePixels, stride * static_cast<size_t>(height));
    return true;
  }
  const size_t sourceStride = SourceRowStride(width, 8);
  const RgbQuad* palette = converter.sourcePalette;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = converter.sourcePixels + static_cast<size_t>(y) * sourceStride;
    uint8_t* out = work + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < width; ++x, out += 3) {
      const RgbQuad& c = palette[in[x]];
      out[0] = c.blue;
      out[1] = c.green;
      out[2] = c.red;
    }
  }
  return true;
}

int BuildPalette(DepthConverter& converter, int seeds, int capacity, int32_t threshold,
                 Bgr* palette) {
  ScopedRelease releaseCells(converter.cells);
  assert(capacity >= 1 && capacity <= 256);
  if (!converter.cells.Allocate(kCellBytes)) return 0;
  Cell* cells = reinterpret_cast<Cell*>(converter.cells.data());
  uint16_t* occupied = reinterpret_cast<uint16_t*>(converter.cells.data() + kMaxCells * sizeof(Cell));

  const int bits = ChooseCellBits(converter, capacity);
  const int q = 8 - bits;
  const size_t cellCount = size_t{1} << (3 * bits);

  // Histogram: channel sums and pixel counts per cell.
  const size_t stride = WorkStrideFor(converter.width);
  const uint8_t* work = converter.workPixels.data();
  for (int32_t y = 0; y < converter.height; ++y) {
    const uint8_t* px = work + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < converter.width; ++x, px += 3) {
      Cell& cell = cells[(static_cast<size_t>(px[2] >> q) << (2 * bits)) |
                         (static_cast<size_t>(px[1] >> q) << bits) | static_cast<size_t>(px[0] >> q)];
      cell.sumBlue += px[0];
      cell.sumGreen += px[1];
      cell.sumRed += px[2];
      ++cell.count;
    }
  }
  size_t occupiedCount = 0;
  for (size_t i = 0; i < cellCount; ++i) {
    Cell& cell = cells[i];
    if (cell.count == 0) continue;
    cell.average = Bgr{static_cast<uint8_t>(cell.sumBlue / cell.count),
                       static_cast<uint8_t>(cell.sumGreen / cell.count),
                       static_cast<uint8_t>(cell.sumRed / cell.count)};
    occupied[occupiedCount++] = static_cast<uint16_t>(i);
  }

  // Seeding: each fixed colour takes the nearest cell of enough pixels that
  // lies within the threshold. An empty cell never seeds, whatever the
  // image size, so a colour the image lacks never enters the palette.
  const uint64_t pixelCount = static_cast<uint64_t>(converter.width) * static_cast<uint64_t>(converter.height);
  const uint32_t minCount = std::max<uint32_t>(static_cast<uint32_t>(pixelCount >> 16), 1);
  int filled = 0;
  for (const Bgr& seed : FixedPalette(seeds)) {
    if (filled == capacity) break;
    int32_t best = threshold;
    Cell* chosen = nullptr;
    for (size_t k = 0; k < occupiedCount; ++k) {
      Cell& cell = cells[occupied[k]];
      if (cell.count < minCount) continue;
      const int32_t d = SquaredDistance(cell.average, seed);
      if (d < best) {
        best = d;
        chosen = &cell;
      }
    }
    if (chosen != nullptr) {
      palette[filled++] = chosen->average;
      chosen->count = 0;
    }
  }

  // Filling: the most populated remaining cells, lower index on ties.
  while (filled < capacity) {
    Cell* chosen = nullptr;
    uint32_t most = 0;
    for (size_t k = 0; k < occupiedCount; ++k) {
      Cell& cell = cells[occupied[k]];
      if (cell.count > most) {
        most = cell.count;
        chosen = &cell;
      }
    }
    if (chosen == nullptr) break;
    palette[filled++] = chosen->average;
    chosen->count = 0;
  }

  // Stable insertion sort of the filled entries by blue + green + red.
  for (int i = 1; i < filled; ++i) {
    const Bgr c = palette[i];
    int j = i;
    for (; j > 0 && SumOf(palette[j - 1]) > SumOf(c); --j) palette[j] = palette[j - 1];
    palette[j] = c;
  }
  return filled;
}

bool ToBlackWhite(DepthConverter& converter, const IndexTarget& target) {
  ScopedRelease releaseWork(converter.workPixels);
  const int32_t width = converter.width;
  const int32_t height = converter.height;
  const int32_t sourceBits = converter.sourceBitCount;
  if (sourceBits != 8 && sourceBits != 24) return false;
  if (sourceBits == 8 && converter.sourcePalette == nullptr) return false;
  if (target.bitsPerIndex != 1 && target.bitsPerIndex != 8) return false;
  if (!converter.workPixels.Allocate(static_cast<size_t>(width) * static_cast<size_t>(height))) {
    return false;
  }

  // Gray work image, width bytes per row.
  uint8_t* gray = converter.workPixels.data();
  const size_t sourceStride = SourceRowStride(width, sourceBits);
  if (sourceBits == 8) {
    std::array<uint8_t, 256> levels{};
    for (size_t i = 0; i < 256; ++i) levels[i] = GrayOfPaletteColour(converter.sourcePalette[i]);
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* in = converter.sourcePixels + static_cast<size_t>(y) * sourceStride;
      uint8_t* out = gray + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int32_t x = 0; x < width; ++x) out[x] = levels[in[x]];
    }
  } else {
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* in = converter.sourcePixels + static_cast<size_t>(y) * sourceStride;
      uint8_t* out = gray + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int32_t x = 0; x < width; ++x, in += 3) out[x] = GrayOfPixel(in[0], in[1], in[2]);
    }
  }

  converter.targetPalette[0].blue = converter.targetPalette[0].green = converter.targetPalette[0].red = 0;
  converter.targetPalette[1].blue = converter.targetPalette[1].green = converter.targetPalette[1].red = 255;

  return WithIndexWriter(target, [&](auto& writer) {
    BlackWhiteSink sink(writer);
    DiffuseImage<1>(gray, static_cast<size_t>(width), width, height, sink);
  });
}

bool ToPalette(DepthConverter& converter, int bits, const IndexTarget& target) {
  ScopedRelease releaseWork(converter.workPixels);
  if (bits < 2 || bits > 8 || bits > target.bitsPerIndex) return false;
  if (!MakeWorkCopy(converter)) return false;
  const uint32_t colours = CountColours(converter);
  if (colours == 0) return false;

  const int capacity = 1 << bits;
  std::array<Bgr, 256> palette{};
  if (colours <= static_cast<uint32_t>(capacity)) {
    SmallColourMap map;
    CollectExactPalette(converter, colours, palette.data(), map);
    WriteTargetPalette(converter.targetPalette, palette.data(), static_cast<int>(colours), capacity);
    return WithIndexWriter(target, [&](auto& writer) { MapExact(converter, map, writer); });
  }

  const PaletteParams params = PaletteParamsForBits(bits);
  const int filled = BuildPalette(converter, params.seeds, params.capacity, params.threshold, palette.data());
  if (filled == 0) return false;
  WriteTargetPalette(converter.targetPalette, palette.data(), filled, capacity);
  NearestSearch search;
  if (!search.Init(palette.data(), filled)) return false;
  return WithIndexWriter(target, [&](auto& writer) {
    PaletteDitherSink sink(writer, search, palette.data());
    DiffuseImage<3>(converter.workPixels.data(), WorkStrideFor(converter.width), converter.width,
                    converter.height, sink);
  });
}

}  // namespace pixlane
