// GIF LZW decoding and encoding over the shared code table. The decoder
// writes each string backwards from its last byte, after checking that it
// fits in what is left of the frame; the encoder frames its bytes into
// 255-byte sub-blocks as it goes.
#include "codecs/gif_lzw.h"

#include <cassert>

namespace pixlane {
namespace {

void InitialiseRoots(LzwTable& table, int32_t clearCode) {
  for (int32_t i = 0; i < clearCode; ++i) {
    LzwEntry& e = table[static_cast<size_t>(i)];
    e.lastByte = i;
    e.prefix = kLzwNoCode;
    e.length = 1;
    e.key = static_cast<uint32_t>(i) << 24 | 1u;
  }
}

// Writes the string of `code` (length bytes) at `out`, last byte first.
// The table is consistent by construction: every entry's length is its
// prefix's plus one, and every chain ends at a root.
void WriteString(const LzwTable& table, int32_t code, int32_t length, uint8_t* out) {
  uint8_t* p = out + length;
  do {
    const LzwEntry& e = table[static_cast<size_t>(code)];
    assert(p > out);
    *--p = static_cast<uint8_t>(e.lastByte);
    code = e.prefix;
  } while (code != kLzwNoCode);
  assert(p == out);
}

}  // namespace

LzwDecodeResult DecodeLzw(const uint8_t* data, size_t size, int32_t minCodeSize, LzwTable& table,
                          uint8_t* frame, size_t frameSize) {
  assert(minCodeSize >= 2 && minCodeSize <= 8);
  LzwDecodeResult result;
  const int32_t clearCode = 1 << minCodeSize;
  const int32_t endCode = clearCode + 1;
  InitialiseRoots(table, clearCode);

  int32_t codeSize = minCodeSize + 1;
  int32_t nextFree = clearCode + 2;
  // The previous code and the first byte of its string; none right after a
  // clear code (and at the start, which is treated as one).
  int32_t prev = kLzwNoCode;
  int32_t prevFirst = 0;
  size_t position = 0;
  uint32_t bitBuffer = 0;
  int32_t bitCount = 0;
  size_t input = 0;

  for (;;) {
    while (bitCount < codeSize) {
      if (input == size) {
        result.pixels = position;
        return result;
      }
      bitBuffer |= static_cast<uint32_t>(data[input++]) << bitCount;
      bitCount += 8;
    }
    const int32_t code = static_cast<int32_t>(bitBuffer & ((1u << codeSize) - 1u));
    bitBuffer >>= codeSize;
    bitCount -= codeSize;

    if (code == clearCode) {
      codeSize = minCodeSize + 1;
      nextFree = clearCode + 2;
      prev = kLzwNoCode;
      continue;
    }
    if (code == endCode) {
      result.reachedEnd = true;
      break;
    }
    if (prev == kLzwNoCode) {
      // Only a root can follow a clear code: nothing else is defined yet.
      if (code >= clearCode || position == frameSize) break;
      frame[position++] = static_cast<uint8_t>(code);
      prev = code;
      prevFirst = code;
      continue;
    }

    const size_t room = frameSize - position;
    const int32_t prevLength = table[static_cast<size_t>(prev)].length;
    int32_t first = 0;
    if (code < nextFree) {
      const int32_t length = table[static_cast<size_t>(code)].length;
      if (static_cast<size_t>(length) > room) break;
      WriteString(table, code, length, frame + position);
      first = frame[position];
      position += static_cast<size_t>(length);
    } else if (code == nextFree) {
      // The string being defined right now: prev's string plus its own
      // first byte.
      const int32_t length = prevLength + 1;
      if (static_cast<size_t>(length) > room) break;
      WriteString(table, prev, prevLength, frame + position);
      frame[position + static_cast<size_t>(prevLength)] = static_cast<uint8_t>(prevFirst);
      first = prevFirst;
      position += static_cast<size_t>(length);
    } else {
      break;  // a code no entry defines: the stream is damaged
    }

    if (nextFree < kLzwMaxCodes) {
      // A full table keeps decoding without new entries until a clear code.
      LzwEntry& e = table[static_cast<size_t>(nextFree)];
      e.lastByte = first;
      e.prefix = prev;
      e.length = prevLength + 1;
      ++nextFree;
      if (nextFree == (1 << codeSize) && codeSize < kLzwMaxCodeBits) ++codeSize;
    }
    prev = code;
    prevFirst = first;
  }
  result.pixels = position;
  return result;
}

size_t LzwEncodedBound(size_t pixels) {
  // Every code covers at least one pixel and is at most 12 bits; a clear
  // code follows at most every 3838 codes; plus the first clear and the end.
  const size_t codes = pixels + pixels / 1024 + 4;
  const size_t raw = (codes * kLzwMaxCodeBits + 7) / 8;
  return raw + (raw + 254) / 255 + 2;
}

void LzwEncoder::Begin(int32_t minCodeSize, uint8_t* out, size_t capacity) {
  assert(minCodeSize >= 2 && minCodeSize <= 8);
  minCodeSize_ = minCodeSize;
  clearCode_ = 1 << minCodeSize;
  endCode_ = clearCode_ + 1;
  InitialiseRoots(table_, clearCode_);
  ResetTable();
  current_ = kLzwNoCode;
  bitBuffer_ = 0;
  bitCount_ = 0;
  out_ = out;
  capacity_ = capacity;
  overflow_ = capacity == 0;
  // The first byte is the size byte of the first sub-block.
  blockStart_ = 0;
  blockBytes_ = 0;
  position_ = 1;
  EmitCode(clearCode_);
}

void LzwEncoder::ResetTable() {
  codeSize_ = minCodeSize_ + 1;
  nextFree_ = clearCode_ + 2;
  heads_.fill(-1);
  linkCount_ = 0;
}

int32_t LzwEncoder::Find(int32_t prefix, int32_t pixel) const {
  const LzwEntry& base = table_[static_cast<size_t>(prefix)];
  const uint32_t key = static_cast<uint32_t>(pixel) << 24 |
                       static_cast<uint32_t>(base.lastByte) << 16 |
                       static_cast<uint32_t>(base.length + 1);
  for (int32_t link = heads_[Head(prefix, pixel)]; link >= 0;
       link = links_[static_cast<size_t>(link)].next) {
    const int32_t code = links_[static_cast<size_t>(link)].code;
    const LzwEntry& e = table_[static_cast<size_t>(code)];
    if (e.key == key && e.prefix == prefix) return code;
  }
  return kLzwNoCode;
}

void LzwEncoder::Add(int32_t prefix, int32_t pixel) {
  const LzwEntry& base = table_[static_cast<size_t>(prefix)];
  const int32_t code = nextFree_++;
  LzwEntry& e = table_[static_cast<size_t>(code)];
  e.lastByte = pixel;
  e.prefix = prefix;
  e.length = base.length + 1;
  e.key = static_cast<uint32_t>(pixel) << 24 | static_cast<uint32_t>(base.lastByte) << 16 |
          static_cast<uint32_t>(e.length);
  const size_t head = Head(prefix, pixel);
  assert(linkCount_ < kLzwMaxCodes);
  Link& link = links_[static_cast<size_t>(linkCount_)];
  link.code = static_cast<int16_t>(code);
  link.next = heads_[head];
  heads_[head] = static_cast<int16_t>(linkCount_++);
}

void LzwEncoder::Encode(const uint8_t* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const int32_t pixel = pixels[i];
    assert(pixel < clearCode_);
    if (current_ == kLzwNoCode) {
      current_ = pixel;
      continue;
    }
    const int32_t found = Find(current_, pixel);
    if (found != kLzwNoCode) {
      current_ = found;
      continue;
    }
    EmitCode(current_);
    if (nextFree_ == kLzwMaxCodes) {
      EmitCode(clearCode_);
      ResetTable();
    } else {
      if (nextFree_ > (1 << codeSize_) - 1 && codeSize_ < kLzwMaxCodeBits) ++codeSize_;
      Add(current_, pixel);
    }
    current_ = pixel;
  }
}

size_t LzwEncoder::Finish() {
  if (current_ == kLzwNoCode) return 0;
  EmitCode(current_);
  // The decoder adds an entry for the code just emitted (unless it was the
  // first after a clear code) and may widen its codes for the end code.
  if (nextFree_ < kLzwMaxCodes && nextFree_ > (1 << codeSize_) - 1 &&
      codeSize_ < kLzwMaxCodeBits) {
    ++codeSize_;
  }
  EmitCode(endCode_);
  if (bitCount_ > 0) PutByte(static_cast<uint8_t>(bitBuffer_));
  bitBuffer_ = 0;
  bitCount_ = 0;
  if (overflow_) return 0;
  out_[blockStart_] = static_cast<uint8_t>(blockBytes_);
  if (blockBytes_ > 0) {
    if (position_ >= capacity_) return 0;
    out_[position_++] = 0;  // terminator
  }
  current_ = kLzwNoCode;
  return position_;
}

void LzwEncoder::EmitCode(int32_t code) {
  bitBuffer_ |= static_cast<uint32_t>(code) << bitCount_;
  bitCount_ += codeSize_;
  while (bitCount_ >= 8) {
    PutByte(static_cast<uint8_t>(bitBuffer_));
    bitBuffer_ >>= 8;
    bitCount_ -= 8;
  }
}

void LzwEncoder::PutByte(uint8_t value) {
  if (overflow_) return;
  if (blockBytes_ == 255) {
    out_[blockStart_] = 255;
    if (position_ >= capacity_) {
      overflow_ = true;
      return;
    }
    blockStart_ = position_++;
    blockBytes_ = 0;
  }
  if (position_ >= capacity_) {
    overflow_ = true;
    return;
  }
  out_[position_++] = value;
  ++blockBytes_;
}

}  // namespace pixlane
