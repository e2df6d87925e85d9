// The plug-in host's fuzz entry, shared by the libFuzzer target and by the
// test that replays its corpus: what a hostile plug-in hands back from
// GetPicture (the BITMAPINFO block and the pixel block, both from the
// input) goes through the host's checks and copies.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::fuzz {

// Input: a 16-bit little-endian length, that many bytes of BITMAPINFO
// block, then the pixel block. False when the host broke a promise: an
// image that is not sound, pixels left after a failure, or a library,
// lock or memory block not released.
bool CheckPluginHostInput(const uint8_t* data, size_t size);

}  // namespace pixlane::fuzz
