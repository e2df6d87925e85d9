// PixelBlock over the system's pages, and the batch's pool of free blocks
// (one mutex; the pool is touched once per allocation and release, never
// per pixel). Under AddressSanitizer the pages come from the heap and the
// unused tail of a reused block, and every free block, are poisoned, so
// that reads past the requested size or after a release are still caught.
#include "platform/pixel_memory.h"

#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PIXLANE_POISON_POOL 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIXLANE_POISON_POOL 1
#endif
#endif
#ifdef PIXLANE_POISON_POOL
#include <sanitizer/asan_interface.h>
#endif

namespace pixlane {
namespace {

// A reused block may be at most this many times the request, so that a
// small image does not hold the block a large one will want next.
constexpr size_t kMaxWaste = 4;

void Poison([[maybe_unused]] void* data, [[maybe_unused]] size_t bytes) {
#ifdef PIXLANE_POISON_POOL
  ASAN_POISON_MEMORY_REGION(data, bytes);
#endif
}

void Unpoison([[maybe_unused]] void* data, [[maybe_unused]] size_t bytes) {
#ifdef PIXLANE_POISON_POOL
  ASAN_UNPOISON_MEMORY_REGION(data, bytes);
#endif
}

struct FreeBlock {
  uint8_t* data;
  size_t capacity;
  uint64_t lastUse;
};

struct Pool {
  std::mutex mutex;
  int scopes = 0;
  std::vector<FreeBlock> free;
  size_t freeBytes = 0;
  uint64_t clock = 0;
  uint64_t reused = 0;
  uint64_t mapped = 0;
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

size_t RoundUp(size_t bytes) {
  const size_t unit = pixel_pages::Granularity();
  return bytes > SIZE_MAX - unit ? 0 : (bytes + unit - 1) / unit * unit;
}

// The free block that best fits `bytes`, taken out of the pool; null when
// none does.
uint8_t* TakeFree(Pool& pool, size_t bytes, size_t& capacity) {
  size_t best = pool.free.size();
  for (size_t i = 0; i < pool.free.size(); ++i) {
    const size_t c = pool.free[i].capacity;
    if (c < bytes || c / kMaxWaste > bytes) continue;
    if (best == pool.free.size() || c < pool.free[best].capacity) best = i;
  }
  if (best == pool.free.size()) return nullptr;
  const FreeBlock block = pool.free[best];
  pool.free.erase(pool.free.begin() + static_cast<std::ptrdiff_t>(best));
  pool.freeBytes -= block.capacity;
  capacity = block.capacity;
  ++pool.reused;
  return block.data;
}

// Gives back the least recently used free blocks until the pool is within
// its limit. Called with the mutex held; the unmapping happens after.
void TrimTo(Pool& pool, size_t limit, std::vector<FreeBlock>& evicted) {
  while (pool.freeBytes > limit && !pool.free.empty()) {
    size_t oldest = 0;
    for (size_t i = 1; i < pool.free.size(); ++i) {
      if (pool.free[i].lastUse < pool.free[oldest].lastUse) oldest = i;
    }
    evicted.push_back(pool.free[oldest]);
    pool.freeBytes -= pool.free[oldest].capacity;
    pool.free.erase(pool.free.begin() + static_cast<std::ptrdiff_t>(oldest));
  }
}

void UnmapAll(const std::vector<FreeBlock>& blocks) {
  for (const FreeBlock& b : blocks) {
    Unpoison(b.data, b.capacity);
    pixel_pages::Unmap(b.data, b.capacity);
  }
}

}  // namespace

PixelBlock::PixelBlock(PixelBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      readOnly_(std::exchange(other.readOnly_, false)) {}

PixelBlock& PixelBlock::operator=(PixelBlock&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    readOnly_ = std::exchange(other.readOnly_, false);
  }
  return *this;
}

bool PixelBlock::Allocate(size_t bytes) { return Obtain(bytes, true); }

bool PixelBlock::AllocateForOverwrite(size_t bytes) { return Obtain(bytes, false); }

bool PixelBlock::Obtain(size_t bytes, bool zeroFilled) {
  Release();
  const size_t capacity = RoundUp(bytes);
  if (bytes == 0 || capacity == 0) return false;
  uint8_t* data = nullptr;
  size_t taken = 0;
  {
    Pool& pool = ThePool();
    const std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.scopes > 0) data = TakeFree(pool, bytes, taken);
    if (data == nullptr) ++pool.mapped;
  }
  const bool fresh = data == nullptr;
  if (fresh) {
    data = static_cast<uint8_t*>(pixel_pages::Map(capacity));
    if (data == nullptr) {
      // What the address space lacks may be held by the pool's free
      // blocks: give them all back and try once more, so that reuse never
      // makes a file fail that would convert without it.
      std::vector<FreeBlock> evicted;
      {
        Pool& pool = ThePool();
        const std::lock_guard<std::mutex> lock(pool.mutex);
        TrimTo(pool, 0, evicted);
      }
      if (evicted.empty()) return false;
      UnmapAll(evicted);
      data = static_cast<uint8_t*>(pixel_pages::Map(capacity));
      if (data == nullptr) return false;
    }
    taken = capacity;
  }
  Unpoison(data, bytes);
  Poison(data + bytes, taken - bytes);
  // Fresh pages are zero already; only a reused block needs the fill.
  if (zeroFilled && !fresh) std::memset(data, 0, bytes);
#ifndef NDEBUG
  if (!zeroFilled) std::memset(data, 0xA5, bytes);
#endif
  data_ = data;
  size_ = bytes;
  capacity_ = taken;
  return true;
}

void PixelBlock::Release() {
  if (data_ == nullptr) return;
  uint8_t* const data = std::exchange(data_, nullptr);
  const size_t capacity = std::exchange(capacity_, 0);
  size_ = 0;
  if (std::exchange(readOnly_, false) && !pixel_pages::Protect(data, capacity, false)) {
    // Pages that cannot be made writable again are not handed out again.
    pixel_pages::Unmap(data, capacity);
    return;
  }
  std::vector<FreeBlock> evicted;
  bool pooled = false;
  {
    Pool& pool = ThePool();
    const std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.scopes > 0 && capacity <= kPixelPoolLimit / 4) {
      Poison(data, capacity);
      pool.free.push_back({data, capacity, ++pool.clock});
      pool.freeBytes += capacity;
      pooled = true;
      TrimTo(pool, kPixelPoolLimit, evicted);
    }
  }
  if (!pooled) pixel_pages::Unmap(data, capacity);
  UnmapAll(evicted);
}

bool PixelBlock::MakeReadOnly() {
  if (data_ == nullptr) return false;
  if (!pixel_pages::Protect(data_, capacity_, true)) return false;
  readOnly_ = true;
  return true;
}

PixelPoolScope::PixelPoolScope() {
  Pool& pool = ThePool();
  const std::lock_guard<std::mutex> lock(pool.mutex);
  if (pool.scopes++ == 0) {
    pool.reused = 0;
    pool.mapped = 0;
  }
}

PixelPoolScope::~PixelPoolScope() {
  std::vector<FreeBlock> evicted;
  {
    Pool& pool = ThePool();
    const std::lock_guard<std::mutex> lock(pool.mutex);
    if (--pool.scopes == 0) TrimTo(pool, 0, evicted);
  }
  UnmapAll(evicted);
}

PixelPoolStats GetPixelPoolStats() {
  Pool& pool = ThePool();
  const std::lock_guard<std::mutex> lock(pool.mutex);
  return {pool.free.size(), pool.freeBytes, pool.reused, pool.mapped};
}

}  // namespace pixlane
