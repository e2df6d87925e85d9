// Replays every file of the PNG fuzz corpus (fuzz/corpus/png_reader: seeds
// and past crashes) through the fuzz target's own entry, so that the
// sanitizer build checks them in every test run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "png_reader_fuzz_entry.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

TEST(PngFuzzCorpus, EveryFileKeepsTheReadersPromises) {
  const std::u16string folder = test::TestDataPath("../../fuzz/corpus/png_reader");
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(folder, entries));
  size_t replayed = 0;
  for (const DirectoryEntry& e : entries) {
    if (e.isDirectory) continue;
    SCOPED_TRACE(Utf16ToUtf8(e.name));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(test::ReadWholeFile(JoinPath(folder, e.name), bytes));
    EXPECT_TRUE(fuzz::CheckPngInput(bytes.data(), bytes.size()));
    ++replayed;
  }
  EXPECT_GE(replayed, 10u);
}

}  // namespace
}  // namespace pixlane
