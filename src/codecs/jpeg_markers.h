// The JPEG marker scanner shared by the Exif date reader and the comment
// insertion: walks the segments in front of the first scan of a file held in
// memory, checking every length against the end. It does not look inside
// segments and never reads entropy-coded data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane {

inline constexpr uint8_t kJpegSoi = 0xD8;
inline constexpr uint8_t kJpegEoi = 0xD9;
inline constexpr uint8_t kJpegSos = 0xDA;
inline constexpr uint8_t kJpegApp0 = 0xE0;
inline constexpr uint8_t kJpegApp1 = 0xE1;
inline constexpr uint8_t kJpegCom = 0xFE;

enum class JpegScanStep {
  Soi,        // a start-of-image marker (no length)
  Segment,    // a marker with a length field; see JpegSegment
  End,        // EOI or SOS: the headers are over
  Broken,     // a length below 2
  OutOfData,  // no further marker before the end of the data
};

struct JpegSegment {
  uint8_t code = 0;
  size_t markerOffset = 0;  // the 0xFF that introduces the marker
  size_t dataOffset = 0;    // first byte after the 16-bit length
  size_t dataLength = 0;    // bytes of data present (clipped at the end)
  size_t endOffset = 0;     // one past the segment (clipped at the end)
  bool complete = false;    // false when the segment runs past the end
};

class JpegMarkerScanner {
 public:
  JpegMarkerScanner(const uint8_t* data, size_t size)
      : data_(data), size_(data != nullptr ? size : 0) {}

  // Moves to the next marker: skips to the next 0xFF, any further 0xFF fill
  // bytes, and reads the code. A Segment step fills `segment` (for End and
  // Soi only its code and markerOffset) and continues after the segment; a
  // segment that runs past the end is reported incomplete and the scan is
  // over afterwards.
  JpegScanStep Next(JpegSegment& segment);

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace pixlane
