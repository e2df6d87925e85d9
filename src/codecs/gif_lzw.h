// The variable-code-size LZW of GIF: one code-table layout shared by the
// decoder (DecodeLzw) and the streaming encoder (LzwEncoder). Codes are
// packed least significant bit first, 3 to 12 bits wide. Neither side
// allocates: the table, the encoder's hash chains and its output buffer are
// owned by the caller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pixlane {

inline constexpr int32_t kLzwMaxCodes = 4096;
inline constexpr int32_t kLzwMaxCodeBits = 12;
inline constexpr int32_t kLzwNoCode = -1;

// One string of the code table: the string of `prefix` followed by
// `lastByte`. Codes 0 … 2^m − 1 are the one-byte roots {i, none, 1}.
struct LzwEntry {
  int32_t lastByte = 0;
  int32_t prefix = kLzwNoCode;
  int32_t length = 0;  // bytes in the string
  // Encoder only: lastByte << 24 | prefix's last byte << 16 | length, a
  // quick filter before the prefix is compared.
  uint32_t key = 0;
};

using LzwTable = std::array<LzwEntry, kLzwMaxCodes>;

// What DecodeLzw did with a stream.
struct LzwDecodeResult {
  size_t pixels = 0;       // frame bytes written, from the start
  bool reachedEnd = false; // stopped at an end code
};

// Decodes the joined sub-blocks `data` of one image with minimum code size
// `minCodeSize` (2..8) into `frame` (frameSize bytes, zero-filled by the
// caller). A stream that is damaged (ends early, holds a code that no entry
// defines yet, a string that would not fit in the frame) stops the decoding;
// the pixels decoded so far stay and the rest keep their value. A stream
// that does not begin with a clear code decodes as if it did. Never reads or
// writes outside `data`, `frame` or `table`.
LzwDecodeResult DecodeLzw(const uint8_t* data, size_t size, int32_t minCodeSize, LzwTable& table,
                          uint8_t* frame, size_t frameSize);

// Upper bound of the bytes LzwEncoder writes for `pixels` pixels: the code
// stream in sub-blocks of at most 255 bytes, each after its size byte, and
// the zero-size terminator.
size_t LzwEncodedBound(size_t pixels);

// Streaming encoder: Begin, Encode for each run of pixels in file order,
// Finish. The output goes straight into sub-blocks. Strings are found
// through 511 hash chains (on the prefix code and the appended pixel) whose
// links come from a fixed pool of 4096; a full table (next free code 4096)
// emits a clear code and starts over.
class LzwEncoder {
 public:
  // Starts a stream with minimum code size `minCodeSize` (2..8) into `out`
  // of `capacity` bytes (LzwEncodedBound of the pixel count is enough).
  void Begin(int32_t minCodeSize, uint8_t* out, size_t capacity);
  // Appends pixels; each must be below 2^minCodeSize.
  void Encode(const uint8_t* pixels, size_t count);
  // Emits the last string and the end code, pads the last byte with zero
  // bits and writes the terminator. Returns the bytes written, or 0 when
  // the output did not fit (the capacity was too small) or no pixel came.
  size_t Finish();

 private:
  static constexpr int32_t kHashHeads = 511;

  void EmitCode(int32_t code);
  void PutByte(uint8_t value);
  void ResetTable();
  // The chain of the string `prefix` + `pixel`: (prefix × 256 + pixel)
  // mod 511, which spreads the strings of one table evenly over the heads.
  static size_t Head(int32_t prefix, int32_t pixel) {
    return static_cast<size_t>((static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(pixel)) %
                               kHashHeads);
  }
  int32_t Find(int32_t prefix, int32_t pixel) const;
  void Add(int32_t prefix, int32_t pixel);

  LzwTable table_{};
  std::array<int16_t, kHashHeads> heads_{};
  struct Link {
    int16_t code = 0;
    int16_t next = -1;
  };
  std::array<Link, kLzwMaxCodes> links_{};
  int32_t linkCount_ = 0;

  int32_t minCodeSize_ = 2;
  int32_t clearCode_ = 4;
  int32_t endCode_ = 5;
  int32_t nextFree_ = 6;
  int32_t codeSize_ = 3;
  int32_t current_ = kLzwNoCode;  // code of the string being extended
  uint32_t bitBuffer_ = 0;
  int32_t bitCount_ = 0;

  uint8_t* out_ = nullptr;
  size_t capacity_ = 0;
  size_t position_ = 0;
  size_t blockStart_ = 0;  // the size byte of the open sub-block
  size_t blockBytes_ = 0;  // data bytes in the open sub-block
  bool overflow_ = false;
};

}  // namespace pixlane
