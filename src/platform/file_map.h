// Read-only mappings of whole input files, the handle block every codec
// object embeds (CodecFileState), and the read cursor over a mapped file
// (MappedInput). The cursor helpers ReadU16LE … ReadU32BE do not check the
// end: a caller compares Remaining() first. Readers that want every read
// checked use ByteReader (byte_reader.h) over the same span.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/file_system.h"
#include "platform/pixel_memory.h"

namespace pixlane {

// A read cursor and the end of the most recently mapped file (one byte past
// its last byte).
struct MappedInput {
  const uint8_t* begin = nullptr;
  const uint8_t* cursor = nullptr;
  const uint8_t* end = nullptr;

  size_t Remaining() const { return static_cast<size_t>(end - cursor); }
  size_t Size() const { return static_cast<size_t>(end - begin); }
};

uint16_t ReadU16LE(MappedInput& in);
uint16_t ReadU16BE(MappedInput& in);
uint32_t ReadU32LE(MappedInput& in);
uint32_t ReadU32BE(MappedInput& in);

constexpr uint16_t Swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
constexpr uint32_t Swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// A read-only view of a whole file: a mapping on Windows (writers are locked
// out meanwhile), a private copy on POSIX (where a mapped file truncated by
// another program would raise SIGBUS). Unmaps on destruction.
class FileMapping {
 public:
  FileMapping() = default;
  ~FileMapping() { Release(); }
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  // Opens `path` share-read and maps all of it. False for a missing,
  // unreadable or empty file (an empty file cannot be mapped), or when the
  // address space has no room for it (then lackedMemory() is true).
  bool Map(std::u16string_view path);
  bool lackedMemory() const { return lackedMemory_; }
  // Unmaps the view, then closes the mapping and file handles.
  void Release();

  const uint8_t* data() const { return view_; }
  size_t size() const { return size_; }
  FileTime lastWriteTime() const { return lastWriteTime_; }

 private:
  const uint8_t* view_ = nullptr;
  size_t size_ = 0;
  FileTime lastWriteTime_ = 0;
  bool lackedMemory_ = false;
#ifdef _WIN32
  void* file_ = nullptr;
  void* mapping_ = nullptr;
#else
  PixelBlock copy_;  // write-protected; from the batch's pool when there is one
#endif
};

// The file handles of one codec object: at most one input mapping and one
// output file at a time.
struct CodecFileState {
  bool plainMemory = true;  // pixel buffers come from PixelBlock
  OutputFile output;
  FileMapping mapping;
  MappedInput input;

  // Resets to the initial state, in the release order: view, mapping,
  // input handle, output handle.
  void Release();
};

// Maps the whole file into `state`, points its cursor at the first byte and
// returns the file size; 0 on any failure (including an empty file or one of
// 4 GiB or more).
uint32_t MapInputFile(std::u16string_view path, CodecFileState& state);

// Writes `value` as four big-endian bytes to the state's output file.
bool WriteU32BE(CodecFileState& state, uint32_t value);

}  // namespace pixlane
