// Replays the settings file fuzz corpus (fuzz/corpus/ini_reader) through
// the fuzz target's own entry.
#include <gtest/gtest.h>

#include "fuzz_corpus_replay.h"
#include "ini_reader_fuzz_entry.h"

namespace pixlane {
namespace {

TEST(IniFuzzCorpus, EveryFileLoadsInRangeAndSurvivesASaveAndReload) {
  EXPECT_GE(test::ReplayFuzzCorpus("ini_reader", fuzz::CheckIniInput), 5u);
}

}  // namespace
}  // namespace pixlane
