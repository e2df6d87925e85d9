// Replays every file of one fuzz corpus (fuzz/corpus/<name>: seeds and past
// crashes) through a fuzz target's own entry, so that the sanitizer build
// checks them in every test run. Failures are reported per file.
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

// Returns how many files were replayed.
inline size_t ReplayFuzzCorpus(const char* corpus, bool (*check)(const uint8_t*, size_t)) {
  const std::u16string folder = TestDataPath(std::string("../../fuzz/corpus/") + corpus);
  std::vector<DirectoryEntry> entries;
  EXPECT_TRUE(ListDirectory(folder, entries));
  size_t replayed = 0;
  for (const DirectoryEntry& e : entries) {
    if (e.isDirectory) continue;
    SCOPED_TRACE(Utf16ToUtf8(e.name));
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadWholeFile(JoinPath(folder, e.name), bytes));
    EXPECT_TRUE(check(bytes.data(), bytes.size()));
    ++replayed;
  }
  return replayed;
}

}  // namespace pixlane::test
