// Page-granular memory blocks for whole images (VirtualAlloc on Windows,
// anonymous mmap on POSIX), owned by a move-only RAII type, and the batch's
// pool that keeps released blocks for the next file instead of handing them
// back to the system (fresh pages cost a page fault each). Small arrays use
// ordinary containers; only pixel buffers and whole-file copies live here.
// The pool is process-wide and thread-safe; it exists while a PixelPoolScope
// does and gives its blocks back when the last scope ends.
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

  // Replaces any block held with a zero-filled one of `bytes` bytes.
  // False (and nothing held) when `bytes` is 0 or the system refuses.
  bool Allocate(size_t bytes);
  // The same without the zero fill: the contents are unspecified (a reused
  // block holds an earlier file's bytes), so the caller must write every
  // byte it or anyone after it reads. Checked builds fill it with 0xA5.
  bool AllocateForOverwrite(size_t bytes);
  // Hands the block back: to the pool while one exists, else to the system.
  void Release();
  // Write-protects the block (a whole-file copy that readers must not
  // change); Release lifts it. False when the system refused.
  bool MakeReadOnly();

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  bool Obtain(size_t bytes, bool zeroFilled);

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;  // the bytes mapped, a whole number of pages
  bool readOnly_ = false;
};

// Keeps the pool alive: released blocks stay mapped and are handed out
// again (the smallest free block that fits, when it is not more than four
// times the request). Free blocks are capped in total (kPixelPoolLimit);
// a block larger than a quarter of that — an exceptionally large image — is
// given back at once, and the least recently used free blocks go first
// when the cap is passed. When the last scope ends every free block is
// given back; blocks still in use go back to the system when released.
class PixelPoolScope {
 public:
  PixelPoolScope();
  ~PixelPoolScope();
  PixelPoolScope(const PixelPoolScope&) = delete;
  PixelPoolScope& operator=(const PixelPoolScope&) = delete;
};

// The most bytes the pool keeps free.
inline constexpr size_t kPixelPoolLimit =
    sizeof(void*) >= 8 ? size_t{1} << 30 : size_t{192} << 20;

// What the pool holds and did, for tests and benchmarks.
struct PixelPoolStats {
  size_t freeBlocks = 0;
  size_t freeBytes = 0;
  uint64_t reused = 0;  // allocations served from the pool since it began
  uint64_t mapped = 0;  // allocations that mapped fresh pages meanwhile
};
PixelPoolStats GetPixelPoolStats();

// The system's side (pixel_memory_posix.cpp, pixel_memory_win.cpp): fresh
// zero-filled pages, their release, and write protection.
namespace pixel_pages {
size_t Granularity();
void* Map(size_t bytes);
void Unmap(void* data, size_t bytes);
bool Protect(void* data, size_t bytes, bool readOnly);
}  // namespace pixel_pages

}  // namespace pixlane
