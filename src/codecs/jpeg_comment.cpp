// Comment insertion works on the marker structure only: the file is copied
// in three pieces (bytes before the span, the new COM segment, bytes after
// it). The comment conversion searches the longest prefix of the text whose
// ANSI form fits, so no multibyte character is cut in half.
#include "codecs/jpeg_comment.h"

#include <algorithm>

#include "codecs/codec_support.h"
#include "codecs/jpeg_markers.h"
#include "platform/file_map.h"
#include "platform/text.h"

namespace pixlane {
namespace {

constexpr size_t kMaxCommentBytes = 10000;

// The COM segment's data: CR bytes removed from the first 10000 bytes, cut
// at a zero byte.
std::string CommentData(std::string_view comment) {
  comment = comment.substr(0, std::min(comment.size(), kMaxCommentBytes));
  comment = comment.substr(0, std::min(comment.find('\0'), comment.size()));
  std::string data;
  data.reserve(comment.size());
  for (char c : comment) {
    if (c != '\r') data.push_back(c);
  }
  return data;
}

void AppendComSegment(const std::string& data, std::vector<uint8_t>& out) {
  const size_t length = data.size() + 2;
  out.push_back(0xFF);
  out.push_back(kJpegCom);
  out.push_back(static_cast<uint8_t>(length >> 8));
  out.push_back(static_cast<uint8_t>(length));
  out.insert(out.end(), data.begin(), data.end());
}

}  // namespace

std::string JpegCommentBytes(std::u16string_view text, bool dropCarriageReturns) {
  if (!dropCarriageReturns) return Utf16ToAnsiWithin(text, kMaxCommentBytes);
  std::u16string kept;
  kept.reserve(text.size());
  for (char16_t c : text) {
    if (c != u'\r') kept.push_back(c);
  }
  return Utf16ToAnsiWithin(kept, kMaxCommentBytes);
}

bool FindJpegCommentSpan(const uint8_t* data, size_t size, JpegCommentSpan& span) {
  if (data == nullptr || size < 2 || data[0] != 0xFF || data[1] != kJpegSoi) return false;
  JpegMarkerScanner scanner(data, size);
  JpegSegment segment;
  bool found = false;
  for (;;) {
    const JpegScanStep step = scanner.Next(segment);
    if (step == JpegScanStep::Soi) continue;
    if (step == JpegScanStep::Broken) return false;
    if (step != JpegScanStep::Segment) break;  // SOS, EOI or no more data
    if (!segment.complete) return false;
    if (segment.code == kJpegApp0 || segment.code == kJpegApp1) {
      span.spanBegin = span.spanEnd = segment.endOffset;
      found = true;
    } else if (segment.code == kJpegCom) {
      span.spanBegin = segment.markerOffset;
      span.spanEnd = segment.endOffset;
      return true;
    }
  }
  return found;
}

bool InsertJpegCommentMemory(const uint8_t* data, size_t size, std::string_view comment,
                             std::vector<uint8_t>& output) {
  output.clear();
  JpegCommentSpan span;
  if (!FindJpegCommentSpan(data, size, span)) return false;
  const std::string com = CommentData(comment);
  output.reserve(size + com.size() + 4);
  output.insert(output.end(), data, data + span.spanBegin);
  AppendComSegment(com, output);
  output.insert(output.end(), data + span.spanEnd, data + size);
  return true;
}

bool InsertJpegComment(std::u16string_view sourcePath, std::u16string_view outputPath,
                       std::string_view comment, CodecError& error) {
  error = CodecError::None;
  CodecFileState source;
  const uint32_t size = MapInputFile(sourcePath, source);
  if (size == 0) {
    error = MapFailureError(source);
    return false;
  }
  const uint8_t* data = source.input.begin;
  JpegCommentSpan span;
  if (!FindJpegCommentSpan(data, size, span)) {
    error = CodecError::BadHeader;
    return false;
  }
  std::vector<uint8_t> com;
  AppendComSegment(CommentData(comment), com);
  OutputFile out;
  if (!out.Create(outputPath)) {
    error = CodecError::CannotOpen;
    return false;
  }
  if (!out.Write(data, span.spanBegin) || !out.Write(com.data(), com.size()) ||
      !out.Write(data + span.spanEnd, size - span.spanEnd) || !out.Close()) {
    error = CodecError::WriteFailed;
    return false;
  }
  return true;
}

}  // namespace pixlane
