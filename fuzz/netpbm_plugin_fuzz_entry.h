// The Netpbm plug-in decoder's fuzz entry, shared by the libFuzzer target
// and by the test that replays the seed corpus: runs the plug-in's support
// test on the input's first bytes, parses the header and decodes the raster
// twice, checking what the decoder promises.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::fuzz {

// Headers claiming more pixels than this are skipped, so that no input makes
// the harness allocate more than a few tens of MB.
inline constexpr int64_t kNetpbmFuzzMaxPixels = 4096 * 4096;

// False when the decoder broke one of its promises for this input.
bool CheckNetpbmInput(const uint8_t* data, size_t size);

}  // namespace pixlane::fuzz
