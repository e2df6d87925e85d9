// libFuzzer target for the TIFF reader: any broken promise aborts the run.
#include <cstdlib>

#include "tiff_reader_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckTiffInput(data, size)) std::abort();
  return 0;
}
