// libFuzzer target for the settings file reader: any broken promise
// aborts the run.
#include <cstdlib>

#include "ini_reader_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckIniInput(data, size)) std::abort();
  return 0;
}
