// Replays every file of the GIF and TIFF fuzz corpora (fuzz/corpus/gif_reader,
// fuzz/corpus/tiff_reader: seeds and past crashes) through the fuzz targets'
// own entries, so that the sanitizer build checks them in every test run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif_reader_fuzz_entry.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "tiff_reader_fuzz_entry.h"

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

TEST(GifTiffFuzzCorpus, EveryGifKeepsTheReadersPromises) {
  EXPECT_GE(Replay("gif_reader", fuzz::CheckGifInput), 10u);
}

TEST(GifTiffFuzzCorpus, EveryTiffKeepsTheReadersPromises) {
  EXPECT_GE(Replay("tiff_reader", fuzz::CheckTiffInput), 10u);
}

}  // namespace
}  // namespace pixlane
