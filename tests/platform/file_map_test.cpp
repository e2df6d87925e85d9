// Whole-file mappings, the codec handle block and the cursor readers.
#include <gtest/gtest.h>

#include "platform/byte_reader.h"
#include "platform/file_map.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

TEST(FileMapTest, MapsAWholeFileAndReadsBothByteOrders) {
  test::ScratchFolder folder;
  const std::u16string path = folder.File("bytes");
  ASSERT_TRUE(test::WriteWholeFile(path, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x01,
                                          0x02, 0x03, 0x04}));
  CodecFileState state;
  ASSERT_EQ(MapInputFile(path, state), 12u);
  MappedInput& in = state.input;
  EXPECT_EQ(in.Size(), 12u);
  EXPECT_EQ(ReadU16LE(in), 0x3412);
  EXPECT_EQ(ReadU16BE(in), 0x5678);
  EXPECT_EQ(ReadU32LE(in), 0xF0DEBC9Au);
  EXPECT_EQ(ReadU32BE(in), 0x01020304u);
  EXPECT_EQ(in.Remaining(), 0u);
  state.Release();
  EXPECT_EQ(state.mapping.data(), nullptr);
  EXPECT_EQ(state.input.cursor, nullptr);
}

TEST(FileMapTest, EmptyAndMissingFilesAreNormalFailures) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteWholeFile(folder.File("empty"), {}));
  CodecFileState state;
  EXPECT_EQ(MapInputFile(folder.File("empty"), state), 0u);
  EXPECT_EQ(MapInputFile(folder.File("missing"), state), 0u);
  EXPECT_EQ(state.input.cursor, nullptr);
}

TEST(FileMapTest, WritesBigEndianWordsToTheOutputFile) {
  test::ScratchFolder folder;
  CodecFileState state;
  ASSERT_TRUE(state.output.Create(folder.File("out")));
  EXPECT_TRUE(WriteU32BE(state, 0x89504E47u));
  state.Release();
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(test::ReadWholeFile(folder.File("out"), bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x89, 0x50, 0x4E, 0x47}));
  EXPECT_FALSE(WriteU32BE(state, 1));  // no output open
}

TEST(ByteOrderTest, SwapsAndCheckedArithmetic) {
  EXPECT_EQ(Swap16(0x1234), 0x3412);
  EXPECT_EQ(Swap32(0x12345678u), 0x78563412u);
  size_t out = 0;
  EXPECT_TRUE(CheckedMul(25000, 75000, out));
  EXPECT_EQ(out, 1875000000u);
  EXPECT_FALSE(CheckedMul(SIZE_MAX / 2, 3, out));
  EXPECT_FALSE(CheckedAdd(SIZE_MAX, 1, out));
  EXPECT_TRUE(CheckedMul(0, SIZE_MAX, out));
  EXPECT_EQ(out, 0u);
}

TEST(ByteReaderTest, NeverReadsPastTheEnd) {
  const uint8_t data[] = {1, 2, 3, 4, 5};
  ByteReader r(data, sizeof data);
  uint32_t v32 = 0xDEADBEEF;
  uint16_t v16 = 0;
  EXPECT_TRUE(r.ReadU16BE(v16));
  EXPECT_EQ(v16, 0x0102);
  EXPECT_FALSE(r.ReadU32LE(v32));  // only 3 bytes left
  EXPECT_EQ(v32, 0xDEADBEEFu);     // output untouched
  EXPECT_TRUE(r.overrun());
  EXPECT_EQ(r.position(), 2u);
  EXPECT_FALSE(r.Seek(6));
  EXPECT_TRUE(r.Seek(5));
  EXPECT_EQ(r.Take(1), nullptr);
  EXPECT_TRUE(r.Seek(1));
  EXPECT_FALSE(r.Skip(5));
  EXPECT_TRUE(r.Skip(4));
  EXPECT_EQ(r.remaining(), 0u);
}

}  // namespace
}  // namespace pixlane
