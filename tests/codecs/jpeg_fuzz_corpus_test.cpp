// Replays the JPEG fuzz corpora (fuzz/corpus/jpeg_reader and
// fuzz/corpus/jpeg_transform) through the fuzz targets' own entries.
#include <gtest/gtest.h>

#include "fuzz_corpus_replay.h"
#include "jpeg_reader_fuzz_entry.h"
#include "jpeg_transform_fuzz_entry.h"

namespace pixlane {
namespace {

TEST(JpegFuzzCorpus, ReaderKeepsItsPromises) {
  EXPECT_GE(test::ReplayFuzzCorpus("jpeg_reader", &fuzz::CheckJpegInput), 10u);
}

TEST(JpegFuzzCorpus, TransformKeepsItsPromises) {
  EXPECT_GE(test::ReplayFuzzCorpus("jpeg_transform", &fuzz::CheckJpegTransformInput), 10u);
}

}  // namespace
}  // namespace pixlane
