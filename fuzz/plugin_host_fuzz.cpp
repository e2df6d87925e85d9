// libFuzzer target for the plug-in host's handling of what a plug-in
// returns: any broken promise aborts the run.
#include <cstdlib>

#include "plugin_host_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!pixlane::fuzz::CheckPluginHostInput(data, size)) std::abort();
  return 0;
}
