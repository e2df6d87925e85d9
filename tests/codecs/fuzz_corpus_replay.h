// Replays every file of one fuzz corpus (fuzz/corpus/<name>: seeds and past
// crashes) and of its regressions (fuzz/regressions/<name>: the minimised
// findings of scripts/fuzz, when there are any) through a fuzz target's own
// entry, so that the sanitizer build checks them in every test run.
// Failures are reported per file.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane::test {

// Returns how many files of the corpus were replayed.
inline size_t ReplayFuzzCorpus(const char* corpus, bool (*check)(const uint8_t*, size_t)) {
  size_t replayed = 0;
  for (const char* kind : {"corpus/", "regressions/"}) {
    const std::u16string folder = TestDataPath(std::string("../../fuzz/") + kind + corpus);
    std::vector<DirectoryEntry> entries;
    const bool listed = ListDirectory(folder, entries);
    const bool seeds = std::string(kind) == "corpus/";
    if (seeds) {
      EXPECT_TRUE(listed);
    }
    for (const DirectoryEntry& e : entries) {
      if (e.isDirectory) continue;
      SCOPED_TRACE(Utf16ToUtf8(JoinPath(folder, e.name)));
      std::vector<uint8_t> bytes;
      EXPECT_TRUE(ReadWholeFile(JoinPath(folder, e.name), bytes));
      EXPECT_TRUE(check(bytes.data(), bytes.size()));
      if (seeds) ++replayed;
    }
  }
  return replayed;
}

}  // namespace pixlane::test
