// Marker scanning over a byte span; every read is checked against the end.
#include "codecs/jpeg_markers.h"

namespace pixlane {

JpegScanStep JpegMarkerScanner::Next(JpegSegment& segment) {
  segment = JpegSegment{};
  while (pos_ < size_ && data_[pos_] != 0xFF) ++pos_;
  while (pos_ < size_ && data_[pos_] == 0xFF) ++pos_;
  if (pos_ >= size_) return JpegScanStep::OutOfData;
  const uint8_t code = data_[pos_++];
  segment.code = code;
  // The marker proper is the last 0xFF before the code (fill bytes precede it).
  segment.markerOffset = pos_ - 2;
  if (code == kJpegSoi) return JpegScanStep::Soi;
  if (code == kJpegEoi || code == kJpegSos) return JpegScanStep::End;
  if (size_ - pos_ < 2) {
    pos_ = size_;
    return JpegScanStep::OutOfData;
  }
  const size_t length = (static_cast<size_t>(data_[pos_]) << 8) | data_[pos_ + 1];
  if (length < 2) return JpegScanStep::Broken;
  segment.dataOffset = pos_ + 2;
  const size_t available = size_ - segment.dataOffset;
  segment.complete = length - 2 <= available;
  segment.dataLength = segment.complete ? length - 2 : available;
  segment.endOffset = segment.dataOffset + segment.dataLength;
  pos_ = segment.complete ? segment.endOffset : size_;
  return JpegScanStep::Segment;
}

}  // namespace pixlane
