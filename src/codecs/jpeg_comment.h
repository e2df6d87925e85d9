// Comments of JPEG files: the comment setting as the bytes a COM segment
// holds, and the insertion of a COM segment into an existing JPEG file
// (replacing its first COM, or after its last APP0/APP1 segment) without
// decoding it.
// Rejects: files that do not start with SOI, have a broken marker structure
//   (a length below 2 or past the end) or have no APP0, APP1 or COM segment.
// Limits: at most 10000 comment bytes; carriage returns are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/codec_error.h"

namespace pixlane {

// The comment text in the ANSI code page, cut at the first zero character
// and to at most 10000 bytes without splitting a character. With
// dropCarriageReturns every CR is removed first (line breaks become single
// line feeds); otherwise line breaks stay as stored (CR LF).
std::string JpegCommentBytes(std::u16string_view text, bool dropCarriageReturns);

// Where a new COM segment goes: the bytes [spanBegin, spanEnd) of the file
// are replaced by it (an empty span inserts).
struct JpegCommentSpan {
  size_t spanBegin = 0;
  size_t spanEnd = 0;
};

// Finds the span; false for a file the comment cannot be put into.
bool FindJpegCommentSpan(const uint8_t* data, size_t size, JpegCommentSpan& span);

// The file's bytes with the comment put in (CR bytes dropped, at most the
// first 10000 bytes examined, cut at a zero byte). False as above.
bool InsertJpegCommentMemory(const uint8_t* data, size_t size, std::string_view comment,
                             std::vector<uint8_t>& output);

// Reads `sourcePath` and writes it with the comment to `outputPath`, which
// must be another file. False (reason in `error`) when the source cannot be
// read or is refused, or the output cannot be written; a partly written
// output is left for the caller to delete.
bool InsertJpegComment(std::u16string_view sourcePath, std::u16string_view outputPath,
                       std::string_view comment, CodecError& error);

}  // namespace pixlane
