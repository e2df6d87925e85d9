// The program's glue over libjpeg's 6b interface, shared by the JPEG reader,
// writer and lossless transform: the error manager (error_exit keeps the text
// and jumps back), the memory source over a mapped file (a fake EOI past its
// end), the 1 MiB file destination and the growable memory destination.
// Internal to the codecs library: only codec sources include it.
// Ordering rule: every libjpeg call runs inside RunJpegGuarded's body, whose
// frames (and those of its callees) hold only trivially destructible locals.
#pragma once

#include <cstdio>  // jpeglib.h needs size_t and FILE declared first

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

#include "codecs/codec_error.h"
#include "platform/file_system.h"
#include "platform/pixel_memory.h"

namespace pixlane {

// One per libjpeg operation (shared by both objects of a transform). The
// libjpeg objects point at `pub`; error_exit finds the rest through it.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int errorCode = 0;              // libjpeg's msg_code of the error, 0 when none
  char message[JMSG_LENGTH_MAX];  // the error text, "" when none
  char warning[JMSG_LENGTH_MAX];  // the first warning's text, "" when none
  // A warning said the data was damaged or ended early (corrupt data, a
  // premature end, a bad Huffman code, …): what was decoded is not the
  // whole image. Warnings about unusual but intact files do not count.
  bool dataDamaged = false;
};

// Installs the standard error manager with error_exit replaced (it formats
// the message and longjmps to `errors.jump`) and warnings kept silently
// instead of printed (and sorted into `dataDamaged`). Returns the pointer
// to store in cinfo.err.
jpeg_error_mgr* AttachErrorManager(JpegErrorManager& errors);

// Runs body(job) after setting the jump point. False when body returned
// false or libjpeg reported an error (body was then left by longjmp). The
// caller owns the libjpeg objects and destroys them afterwards either way.
bool RunJpegGuardedRaw(JpegErrorManager& errors, bool (*body)(void*), void* job);

template <typename Job>
bool RunJpegGuarded(JpegErrorManager& errors, bool (*body)(Job&), Job& job) {
  struct Thunk {
    bool (*body)(Job&);
    Job* job;
    static bool Call(void* p) {
      Thunk* t = static_cast<Thunk*>(p);
      return t->body(*t->job);
    }
  };
  Thunk thunk{body, &job};
  return RunJpegGuardedRaw(errors, &Thunk::Call, &thunk);
}

// The CodecError a libjpeg error maps to: write errors, memory errors,
// unsupported conversions; every other library error is malformed input.
CodecError JpegErrorToCodecError(int msgCode);

// Reads a whole file held in memory. Past its end libjpeg is handed an EOI
// marker, so that a truncated file ends as if it were complete.
struct JpegMemorySource {
  jpeg_source_mgr pub;
  JOCTET fakeEoi[2];
};
void AttachMemorySource(j_decompress_ptr cinfo, JpegMemorySource& source, const uint8_t* data,
                        size_t size);

// Writes through a 1 MiB buffer from the library's image pool into an open
// output file; a short write is the library's JERR_FILE_WRITE.
inline constexpr size_t kJpegFileBufferBytes = size_t{1} << 20;
struct JpegFileDestination {
  jpeg_destination_mgr pub;
  OutputFile* file;
  JOCTET* buffer;
};
void AttachFileDestination(j_compress_ptr cinfo, JpegFileDestination& destination,
                           OutputFile& file);

// Writes into a caller's block from its start. A full block is doubled
// (contents kept) instead of failing, so that any image encodes whatever
// capacity the caller chose; a failed growth is JERR_OUT_OF_MEMORY. After
// jpeg_finish_compress `produced` holds the number of bytes written.
struct JpegMemoryDestination {
  jpeg_destination_mgr pub;
  PixelBlock* block;
  size_t produced;
};
void AttachMemoryDestination(j_compress_ptr cinfo, JpegMemoryDestination& destination,
                             PixelBlock& block);

// RAII owners: destroy the libjpeg object once jpeg_create_* was called,
// also after a failed or interrupted operation.
struct JpegDecompressOwner {
  jpeg_decompress_struct cinfo;
  bool created = false;
  JpegDecompressOwner() { std::memset(&cinfo, 0, sizeof cinfo); }
  JpegDecompressOwner(const JpegDecompressOwner&) = delete;
  JpegDecompressOwner& operator=(const JpegDecompressOwner&) = delete;
  ~JpegDecompressOwner() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

struct JpegCompressOwner {
  jpeg_compress_struct cinfo;
  bool created = false;
  JpegCompressOwner() { std::memset(&cinfo, 0, sizeof cinfo); }
  JpegCompressOwner(const JpegCompressOwner&) = delete;
  JpegCompressOwner& operator=(const JpegCompressOwner&) = delete;
  ~JpegCompressOwner() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

// Creates the objects inside a guarded body (creation may itself fail with
// a library error); `created` is set first so that the owner cleans up.
void CreateDecompress(JpegDecompressOwner& owner, JpegErrorManager& errors);
void CreateCompress(JpegCompressOwner& owner, JpegErrorManager& errors);

// Caps the memory of the object's virtual arrays (max_memory_to_use); 0
// leaves the library's default (no limit).
void SetJpegMemoryLimit(j_common_ptr cinfo, size_t bytes);

// After jpeg_read_header over a memory source: whether the coded data that
// follows the first scan's header could fill at least 1/1000 of the image.
// Huffman codes spend at least one bit on every block of a sequential scan
// or of a progressive DC scan; arithmetic coding, and a progressive file
// that opens with an AC scan, get a pixel budget per byte instead. Checked
// before anything that allocates for the whole image.
bool JpegDataCanFillImage(const jpeg_decompress_struct& cinfo);

// The error text of `errors` as a string ("" when there was none).
std::string JpegErrorText(const JpegErrorManager& errors);

}  // namespace pixlane
