// libFuzzer target for the PNG reader: any broken promise aborts the run.
#include <cstdlib>

#include "png_reader_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckPngInput(data, size)) std::abort();
  return 0;
}
