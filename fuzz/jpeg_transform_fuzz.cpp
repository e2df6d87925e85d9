// libFuzzer target for the lossless JPEG transform and the comment
// insertion: any broken promise aborts the run.
#include <cstdlib>

#include "jpeg_transform_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckJpegTransformInput(data, size)) std::abort();
  return 0;
}
