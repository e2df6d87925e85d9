// The JPEG transform's fuzz entry, shared by the libFuzzer target and by the
// test that replays the seed corpus: transforms the input with options
// taken from its last byte, decodes the result, and inserts a comment.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::fuzz {

// False when the transform or the comment insertion broke a promise.
bool CheckJpegTransformInput(const uint8_t* data, size_t size);

}  // namespace pixlane::fuzz
