// libFuzzer target for the BMP reader: any broken promise aborts the run.
#include <cstdlib>

#include "bmp_reader_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckBmpInput(data, size)) std::abort();
  return 0;
}
