// The TIFF reader's fuzz entry, shared by the libFuzzer target and by the
// test that replays the seed corpus: sniffs the input, reads it from memory
// twice with one reader and checks what the reader promises about its result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::fuzz {

// False when the reader broke one of its promises for this input.
bool CheckTiffInput(const uint8_t* data, size_t size);

}  // namespace pixlane::fuzz
