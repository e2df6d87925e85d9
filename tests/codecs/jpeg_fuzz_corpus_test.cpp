// Replays the JPEG fuzz corpora (fuzz/corpus/jpeg_reader and
// fuzz/corpus/jpeg_transform: seeds and past crashes) through the fuzz
// targets' own entries, so that the sanitizer build checks them in every
// test run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jpeg_reader_fuzz_entry.h"
#include "jpeg_transform_fuzz_entry.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

size_t Replay(const char* corpus, bool (*check)(const uint8_t*, size_t)) {
  const std::u16string folder = test::TestDataPath(std::string("../../fuzz/corpus/") + corpus);
  std::vector<DirectoryEntry> entries;
  EXPECT_TRUE(ListDirectory(folder, entries));
  size_t replayed = 0;
  for (const DirectoryEntry& e : entries) {
    if (e.isDirectory) continue;
    SCOPED_TRACE(Utf16ToUtf8(e.name));
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(test::ReadWholeFile(JoinPath(folder, e.name), bytes));
    EXPECT_TRUE(check(bytes.data(), bytes.size()));
    ++replayed;
  }
  return replayed;
}

TEST(JpegFuzzCorpus, ReaderKeepsItsPromises) {
  EXPECT_GE(Replay("jpeg_reader", &fuzz::CheckJpegInput), 10u);
}

TEST(JpegFuzzCorpus, TransformKeepsItsPromises) {
  EXPECT_GE(Replay("jpeg_transform", &fuzz::CheckJpegTransformInput), 10u);
}

}  // namespace
}  // namespace pixlane
