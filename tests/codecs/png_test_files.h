// Builds small PNG files in memory for the reader and writer tests: chunks
// with correct (or deliberately wrong) CRCs, zlib streams of given raw rows,
// and a parse of a file's chunk list and inflated image data.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pixlane::test {

using Bytes = std::vector<uint8_t>;

inline void PutU32(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

inline uint32_t GetU32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// One chunk; `crcDelta` is added to the correct CRC (non-zero breaks it).
inline Bytes Chunk(const std::string& type, const Bytes& data, uint32_t crcDelta = 0) {
  Bytes out;
  PutU32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  PutU32(out, static_cast<uint32_t>(crc) + crcDelta);
  return out;
}

inline Bytes IhdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour,
                      uint8_t interlace = 0) {
  Bytes d;
  PutU32(d, width);
  PutU32(d, height);
  d.push_back(depth);
  d.push_back(colour);
  d.push_back(0);
  d.push_back(0);
  d.push_back(interlace);
  return d;
}

inline Bytes Signature() { return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

// A complete zlib stream of `raw`.
inline Bytes Deflate(const Bytes& raw, int level = 6) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level);
  out.resize(size);
  return out;
}

// The zlib header and the deflate data of `raw` flushed to a byte boundary,
// without the final block or the Adler-32: a stream that just stops.
inline Bytes DeflateUnfinished(const Bytes& raw) {
  z_stream z{};
  deflateInit(&z, 6);
  Bytes out(compressBound(static_cast<uLong>(raw.size())) + 64);
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_SYNC_FLUSH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

inline Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Signature, IHDR, the given middle chunks, IEND.
inline Bytes PngFile(const Bytes& ihdr, const std::vector<Bytes>& chunks) {
  std::vector<Bytes> parts{Signature(), Chunk("IHDR", ihdr)};
  parts.insert(parts.end(), chunks.begin(), chunks.end());
  parts.push_back(Chunk("IEND", {}));
  return Join(parts);
}

struct ParsedChunk {
  std::string type;
  Bytes data;
};

// The chunks of a well-formed file, in order.
inline std::vector<ParsedChunk> ParseChunks(const Bytes& file) {
  std::vector<ParsedChunk> chunks;
  size_t pos = 8;
  while (pos + 12 <= file.size()) {
    const uint32_t length = GetU32(&file[pos]);
    if (pos + 12 + length > file.size()) break;
    ParsedChunk c;
    c.type.assign(reinterpret_cast<const char*>(&file[pos + 4]), 4);
    c.data.assign(file.begin() + static_cast<ptrdiff_t>(pos + 8),
                  file.begin() + static_cast<ptrdiff_t>(pos + 8 + length));
    chunks.push_back(std::move(c));
    pos += 12 + length;
  }
  return chunks;
}

// The inflated IDAT data of a file (empty when it does not inflate).
inline Bytes InflatedImageData(const Bytes& file) {
  Bytes compressed;
  for (const ParsedChunk& c : ParseChunks(file)) {
    if (c.type == "IDAT") compressed.insert(compressed.end(), c.data.begin(), c.data.end());
  }
  Bytes out(1 << 20);
  uLongf size = static_cast<uLongf>(out.size());
  if (uncompress(out.data(), &size, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

}  // namespace pixlane::test
