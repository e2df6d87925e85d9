// libFuzzer target for the GIF reader: any broken promise aborts the run.
#include <cstdlib>

#include "gif_reader_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckGifInput(data, size)) std::abort();
  return 0;
}
