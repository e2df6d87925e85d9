// Bounds-checked reading of a byte span, and checked size arithmetic. Every
// read either succeeds entirely inside the span or fails and leaves the
// output untouched; a failed read also marks the reader as overrun so that a
// parser may check once after a run of reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace pixlane {

// a * b without overflow; false when the product does not fit.
inline bool CheckedMul(size_t a, size_t b, size_t& out) {
  if (a != 0 && b > std::numeric_limits<size_t>::max() / a) return false;
  out = a * b;
  return true;
}

inline bool CheckedAdd(size_t a, size_t b, size_t& out) {
  if (b > std::numeric_limits<size_t>::max() - a) return false;
  out = a + b;
  return true;
}

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t size() const { return size_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool overrun() const { return overrun_; }
  const uint8_t* data() const { return data_; }
  // Pointer to the current position; valid for remaining() bytes.
  const uint8_t* current() const { return data_ + pos_; }

  bool Seek(size_t offset) {
    if (offset > size_) return Fail();
    pos_ = offset;
    return true;
  }
  bool Skip(size_t bytes) {
    if (bytes > remaining()) return Fail();
    pos_ += bytes;
    return true;
  }
  bool ReadBytes(void* out, size_t bytes) {
    if (bytes > remaining()) return Fail();
    if (bytes != 0) std::memcpy(out, data_ + pos_, bytes);
    pos_ += bytes;
    return true;
  }
  // Returns a pointer to `bytes` bytes at the position and advances; null
  // when fewer remain.
  const uint8_t* Take(size_t bytes) {
    if (bytes > remaining()) {
      Fail();
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += bytes;
    return p;
  }
  bool ReadU8(uint8_t& v) { return ReadBytes(&v, 1); }
  bool ReadU16LE(uint16_t& v) {
    uint8_t b[2];
    if (!ReadBytes(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool ReadU16BE(uint16_t& v) {
    uint8_t b[2];
    if (!ReadBytes(b, 2)) return false;
    v = static_cast<uint16_t>((b[0] << 8) | b[1]);
    return true;
  }
  bool ReadU32LE(uint32_t& v) {
    uint8_t b[4];
    if (!ReadBytes(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
        (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
  bool ReadU32BE(uint32_t& v) {
    uint8_t b[4];
    if (!ReadBytes(b, 4)) return false;
    v = (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
        (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
    return true;
  }

 private:
  bool Fail() {
    overrun_ = true;
    return false;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool overrun_ = false;
};

}  // namespace pixlane
