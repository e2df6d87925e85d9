// Compares zlib and libdeflate on the PNG writer's one whole-image deflate.
// For every PNG given, the filtered scanlines are recovered by inflating its
// IDAT chunks, then compressed again with zlib (window 15, memory level 9,
// strategy "filtered", or default for palette images, as the writer calls
// it) at levels 1-9 and with libdeflate at levels 1-12. Prints one line per
// file, library and level: "file library level bytes cpu_ms" (CPU time, best
// of --runs). With --write DIR every result is also written as a PNG (the
// file's own chunks with the new IDAT) so that independent decoders can
// check it.
// Usage: deflate_study [--runs N] [--write DIR] FILE.png...
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t LoadU32BE(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void AppendU32BE(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

struct Chunk {
  std::string type;
  Bytes data;
};

// The file's chunks, or none when it is not a well-formed PNG.
std::vector<Chunk> ReadChunks(const Bytes& file) {
  static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  std::vector<Chunk> chunks;
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) return {};
  size_t at = 8;
  while (file.size() - at >= 12) {
    const uint32_t length = LoadU32BE(&file[at]);
    if (length > file.size() - at - 12) return {};
    Chunk c;
    c.type.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
    c.data.assign(file.begin() + static_cast<ptrdiff_t>(at + 8),
                  file.begin() + static_cast<ptrdiff_t>(at + 8 + length));
    at += 12 + length;
    const bool end = c.type == "IEND";
    chunks.push_back(std::move(c));
    if (end) return chunks;
  }
  return {};
}

bool Inflate(const Bytes& in, Bytes& out) {
  z_stream s{};
  if (inflateInit(&s) != Z_OK) return false;
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  uint8_t buffer[1 << 16];
  int result = Z_OK;
  while (result == Z_OK) {
    s.next_out = buffer;
    s.avail_out = sizeof buffer;
    result = inflate(&s, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - s.avail_out));
  }
  inflateEnd(&s);
  return result == Z_STREAM_END;
}

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

size_t ZlibCompress(const Bytes& in, Bytes& out, int level, bool palette) {
  z_stream s{};
  if (deflateInit2(&s, level, Z_DEFLATED, 15, 9, palette ? Z_DEFAULT_STRATEGY : Z_FILTERED) != Z_OK) return 0;
  out.resize(deflateBound(&s, static_cast<uLong>(in.size())));
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&s, Z_FINISH);
  const size_t bytes = out.size() - s.avail_out;
  deflateEnd(&s);
  return result == Z_STREAM_END ? bytes : 0;
}

size_t LibdeflateCompress(const Bytes& in, Bytes& out, int level) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  if (c == nullptr) return 0;
  out.resize(libdeflate_zlib_compress_bound(c, in.size()));
  const size_t bytes = libdeflate_zlib_compress(c, in.data(), in.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  return bytes;
}

void AppendChunk(Bytes& png, const std::string& type, const uint8_t* data, size_t bytes) {
  AppendU32BE(png, static_cast<uint32_t>(bytes));
  const size_t start = png.size();
  png.insert(png.end(), type.begin(), type.end());
  png.insert(png.end(), data, data + bytes);
  AppendU32BE(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

bool WritePng(const std::string& path, const std::vector<Chunk>& chunks, const Bytes& idat, size_t bytes) {
  static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  Bytes png(kSignature, kSignature + 8);
  bool idatWritten = false;
  for (const Chunk& c : chunks) {
    if (c.type == "IDAT") {
      if (!idatWritten) AppendChunk(png, "IDAT", idat.data(), bytes);
      idatWritten = true;
    } else {
      AppendChunk(png, c.type, c.data.data(), c.data.size());
    }
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::string writeDir;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--write" && i + 1 < argc) {
      writeDir = argv[++i];
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: deflate_study [--runs N] [--write DIR] FILE.png...\n");
    return 2;
  }
  int status = 0;
  for (const std::string& path : files) {
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<Chunk> chunks = ReadChunks(file);
    Bytes compressed;
    for (const Chunk& c : chunks) {
      if (c.type == "IDAT") compressed.insert(compressed.end(), c.data.begin(), c.data.end());
    }
    Bytes filtered;
    if (chunks.empty() || chunks[0].type != "IHDR" || chunks[0].data.size() != 13 || !Inflate(compressed, filtered)) {
      std::fprintf(stderr, "%s: not a readable PNG\n", path.c_str());
      status = 1;
      continue;
    }
    const bool palette = chunks[0].data[9] == 3;
    Bytes out;
    for (int library = 0; library < 2; ++library) {
      const int maxLevel = library == 0 ? 9 : 12;
      for (int level = 1; level <= maxLevel; ++level) {
        double best = 1e300;
        size_t bytes = 0;
        for (int r = 0; r < runs; ++r) {
          const double start = CpuMs();
          bytes = library == 0 ? ZlibCompress(filtered, out, level, palette) : LibdeflateCompress(filtered, out, level);
          best = std::min(best, CpuMs() - start);
        }
        const char* name = library == 0 ? "zlib" : "libdeflate";
        if (bytes == 0) {
          std::fprintf(stderr, "%s: %s level %d failed\n", path.c_str(), name, level);
          status = 1;
          continue;
        }
        std::printf("%s %s %d %zu %.1f\n", path.c_str(), name, level, bytes, best);
        std::fflush(stdout);
        if (!writeDir.empty() &&
            !WritePng(writeDir + "/" + BaseName(path) + "-" + name + "-" + std::to_string(level) + ".png", chunks, out,
                      bytes)) {
          std::fprintf(stderr, "%s: cannot write the result\n", path.c_str());
          status = 1;
        }
      }
    }
  }
  return status;
}
