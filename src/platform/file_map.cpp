// The portable half of file access: the cursor readers, the codec handle
// block and MapInputFile on top of FileMapping.
#include "platform/file_map.h"

#include <limits>

namespace pixlane {

uint16_t ReadU16LE(MappedInput& in) {
  assert(in.Remaining() >= 2);
  const uint8_t* p = in.cursor;
  in.cursor += 2;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint16_t ReadU16BE(MappedInput& in) {
  assert(in.Remaining() >= 2);
  const uint8_t* p = in.cursor;
  in.cursor += 2;
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t ReadU32LE(MappedInput& in) {
  assert(in.Remaining() >= 4);
  const uint8_t* p = in.cursor;
  in.cursor += 4;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t ReadU32BE(MappedInput& in) {
  assert(in.Remaining() >= 4);
  const uint8_t* p = in.cursor;
  in.cursor += 4;
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

void CodecFileState::Release() {
  input = MappedInput{};
  mapping.Release();
  output.Close();
  plainMemory = true;
}

uint32_t MapInputFile(std::u16string_view path, CodecFileState& state) {
  state.input = MappedInput{};
  if (!state.mapping.Map(path)) return 0;
  if (state.mapping.size() > std::numeric_limits<uint32_t>::max()) {
    state.mapping.Release();
    return 0;
  }
  state.input.begin = state.mapping.data();
  state.input.cursor = state.input.begin;
  state.input.end = state.input.begin + state.mapping.size();
  return static_cast<uint32_t>(state.mapping.size());
}

bool WriteU32BE(CodecFileState& state, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return state.output.Write(bytes, sizeof bytes);
}

}  // namespace pixlane
