// Replays the GIF and TIFF fuzz corpora (fuzz/corpus/gif_reader,
// fuzz/corpus/tiff_reader) through the fuzz targets' own entries.
#include <gtest/gtest.h>

#include "fuzz_corpus_replay.h"
#include "gif_reader_fuzz_entry.h"
#include "tiff_reader_fuzz_entry.h"

namespace pixlane {
namespace {

TEST(GifTiffFuzzCorpus, EveryGifKeepsTheReadersPromises) {
  EXPECT_GE(test::ReplayFuzzCorpus("gif_reader", fuzz::CheckGifInput), 10u);
}

TEST(GifTiffFuzzCorpus, EveryTiffKeepsTheReadersPromises) {
  EXPECT_GE(test::ReplayFuzzCorpus("tiff_reader", fuzz::CheckTiffInput), 10u);
}

}  // namespace
}  // namespace pixlane
