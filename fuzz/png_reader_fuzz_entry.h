// The PNG reader's fuzz entry, shared by the libFuzzer target and by the
// test that replays the seed corpus: sniffs the input, reads it from memory
// twice with one reader (CRCs and Adler-32 not checked, so that mutations
// reach the decoder) and checks what the reader promises about its result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::fuzz {

// Inputs whose IHDR claims a width or height above this are skipped, so
// that no input makes the harness allocate more than a few tens of MB.
inline constexpr uint32_t kPngFuzzMaxDimension = 2048;

// False when the reader broke one of its promises for this input.
bool CheckPngInput(const uint8_t* data, size_t size);

}  // namespace pixlane::fuzz
