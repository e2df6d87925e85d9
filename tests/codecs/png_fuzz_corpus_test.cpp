// Replays the PNG fuzz corpus (fuzz/corpus/png_reader) through the fuzz
// target's own entry.
#include <gtest/gtest.h>

#include "fuzz_corpus_replay.h"
#include "png_reader_fuzz_entry.h"

namespace pixlane {
namespace {

TEST(PngFuzzCorpus, EveryFileKeepsTheReadersPromises) {
  EXPECT_GE(test::ReplayFuzzCorpus("png_reader", fuzz::CheckPngInput), 10u);
}

}  // namespace
}  // namespace pixlane
