// Replays the plug-in host fuzz corpus (fuzz/corpus/plugin_host) through
// the fuzz target's own entry.
#include <gtest/gtest.h>

#include "fuzz_corpus_replay.h"
#include "plugin_host_fuzz_entry.h"

namespace pixlane {
namespace {

TEST(PluginHostFuzzCorpus, EveryReturnedBitmapIsHandledSoundly) {
  EXPECT_GE(test::ReplayFuzzCorpus("plugin_host", fuzz::CheckPluginHostInput), 5u);
}

}  // namespace
}  // namespace pixlane
