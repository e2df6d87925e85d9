// Replays the BMP fuzz corpus (fuzz/corpus/bmp_reader) through the fuzz
// target's own entry.
#include <gtest/gtest.h>

#include "bmp_reader_fuzz_entry.h"
#include "fuzz_corpus_replay.h"

namespace pixlane {
namespace {

TEST(BmpFuzzCorpus, EveryFileKeepsTheReadersPromises) {
  EXPECT_GE(test::ReplayFuzzCorpus("bmp_reader", fuzz::CheckBmpInput), 10u);
}

}  // namespace
}  // namespace pixlane
