// libFuzzer target for the JPEG reader and the Exif date reader: any broken
// promise aborts the run.
#include <cstdlib>

#include "jpeg_reader_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckJpegInput(data, size)) std::abort();
  return 0;
}
