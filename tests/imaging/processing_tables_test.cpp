// Golden checksums of the processing tables. Brightness curves and resize
// division tables are built with floating point; every pixel later depends
// on them, so the native and the Windows build must produce them bit for
// bit alike. The same constants are asserted in both builds.
#include <gtest/gtest.h>

#include <memory>

#include "imaging/colour_corrections.h"
#include "imaging/hue_saturation.h"
#include "imaging/resize.h"
#include "imaging/sharpen.h"
#include "processing_test_images.h"

namespace pixlane {
namespace {

template <typename... Arrays>
uint64_t ChecksumOf(const Arrays&... arrays) {
  uint64_t hash = 14695981039346656037ull;
  ((hash = test::Fnv1a(arrays.data(), sizeof(arrays), hash)), ...);
  return hash;
}

uint64_t DivisionChecksum(int32_t n, int32_t m, uint64_t hash) {
  DivisionTable table;
  EXPECT_TRUE(BuildDivisionTable(n, m, table)) << n << " to " << m;
  hash = test::Fnv1a(&table.span, sizeof table.span, hash);
  hash = test::Fnv1a(&table.size, sizeof table.size, hash);
  return test::Fnv1a(table.entries.get(), static_cast<size_t>(table.size), hash);
}

TEST(ProcessingTablesTest, FloatingPointTablesMatchTheirGoldenChecksums) {
  auto brightness = std::make_unique<BrightnessTables>();
  BuildBrightnessTables(*brightness);
  EXPECT_EQ(ChecksumOf(brightness->curves), 0xcae70bb19957d8fbull);

  // Every reduction of up to 160 samples, and the long and odd ones.
  uint64_t small = 14695981039346656037ull;
  for (int32_t n = 2; n <= 160; ++n) {
    for (int32_t m = 1; m < n; ++m) small = DivisionChecksum(n, m, small);
  }
  EXPECT_EQ(small, 0xa2e680aa827b528full);
  uint64_t large = 14695981039346656037ull;
  const int32_t pairs[][2] = {{6000, 800}, {4000, 533}, {25000, 1},  {25000, 24999},
                              {9999, 7},   {1000, 100}, {401, 100},  {24999, 3},
                              {4032, 640}, {3024, 480}, {12345, 678}, {25000, 12501}};
  for (const auto& pair : pairs) large = DivisionChecksum(pair[0], pair[1], large);
  EXPECT_EQ(large, 0x7f263a732985ae82ull);
}

TEST(ProcessingTablesTest, IntegerTablesMatchTheirGoldenChecksums) {
  auto stretch = std::make_unique<StretchTables>();
  BuildStretchTables(*stretch);
  EXPECT_EQ(ChecksumOf(stretch->rows), 0x517cf371058dcf24ull);
  auto sharpen = std::make_unique<SharpenTables>();
  BuildSharpenTables(*sharpen);
  EXPECT_EQ(ChecksumOf(sharpen->divide25, sharpen->gain, sharpen->clamp), 0x4131b0a5c9ea313full);
  auto hls = std::make_unique<HlsTables>();
  BuildHlsTables(*hls);
  EXPECT_EQ(ChecksumOf(hls->hueQuotient, hls->saturation, hls->upper, hls->ramp, hls->wrap,
                       hls->clampSaturation),
            0x8807b483fa8995d0ull);
}

TEST(ProcessingTablesTest, DivisionTableHoldsTruncatedQuotients) {
  DivisionTable table;
  ASSERT_TRUE(BuildDivisionTable(3, 2, table));
  EXPECT_EQ(table.span, 49152);
  EXPECT_EQ(table.entries[20], 13);
  EXPECT_EQ(table.entries[30], 20);  // 30 / 1.5 exactly
  EXPECT_EQ(table.entries[40], 26);
  ASSERT_TRUE(BuildDivisionTable(25000, 1, table));
  EXPECT_EQ(table.span, 819200000);
  EXPECT_EQ(table.size, 6375002);  // only the sums a pass can reach
  EXPECT_EQ(table.entries[static_cast<size_t>(table.size - 1)], 255);
  EXPECT_FALSE(BuildDivisionTable(5, 5, table));
  EXPECT_FALSE(BuildDivisionTable(5, 6, table));
  EXPECT_FALSE(BuildDivisionTable(25001, 2, table));
}

}  // namespace
}  // namespace pixlane
