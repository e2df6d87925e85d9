// Page-granular, zero-filled memory blocks for whole images (VirtualAlloc on
// Windows, anonymous mmap on POSIX), owned by a move-only RAII type. Small
// arrays use ordinary containers; only pixel buffers live here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane {

class PixelBlock {
 public:
  PixelBlock() = default;
  ~PixelBlock() { Release(); }
  PixelBlock(const PixelBlock&) = delete;
  PixelBlock& operator=(const PixelBlock&) = delete;
  PixelBlock(PixelBlock&& other) noexcept;
  PixelBlock& operator=(PixelBlock&& other) noexcept;

  // Replaces any block held with a new zero-filled one of `bytes` bytes.
  // False (and nothing held) when `bytes` is 0 or the system refuses.
  bool Allocate(size_t bytes);
  void Release();

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace pixlane
