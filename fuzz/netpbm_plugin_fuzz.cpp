// libFuzzer target for the Netpbm plug-in's decoder: any broken promise
// aborts the run.
#include <cstdlib>

#include "netpbm_plugin_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckNetpbmInput(data, size)) std::abort();
  return 0;
}
