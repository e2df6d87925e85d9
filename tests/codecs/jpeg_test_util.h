// Helpers of the JPEG tests: the segments and frame header of a JPEG file
// read independently of the units under test, and small JPEG files made
// with the writer from generated images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/jpeg_writer.h"
#include "imaging/image_buffer.h"

namespace pixlane::test {

struct JpegSegmentCopy {
  uint8_t code = 0;
  std::vector<uint8_t> payload;
};

// The segments between SOI and the first SOS, in file order (SOFn, DQT and
// DHT included); empty when the file does not start with SOI.
std::vector<JpegSegmentCopy> ListJpegSegments(const std::vector<uint8_t>& file);

// Only the APPn and COM segments.
std::vector<JpegSegmentCopy> ListJpegMetadata(const std::vector<uint8_t>& file);

struct JpegFrameInfo {
  uint8_t marker = 0;  // 0xC0 baseline, 0xC1 extended, 0xC2 progressive
  int width = 0;
  int height = 0;
  struct Component {
    int id = 0;
    int h = 0;
    int v = 0;
  };
  std::vector<Component> components;
};

bool ReadJpegFrame(const std::vector<uint8_t>& file, JpegFrameInfo& frame);

// Encodes a pattern image (24-bit, smooth with some detail) with `options`
// and returns the file's bytes; empty on failure.
std::vector<uint8_t> MakeTestJpeg(int32_t width, int32_t height, const JpegEncoderOptions& options,
                                  uint32_t seed = 1);

// A 24-bit image of smooth gradients plus a little deterministic noise,
// compressible like a photograph.
void MakePhotoImage(ImageBuffer& image, int32_t width, int32_t height, uint32_t seed = 1);

// A JPEG segment: FF code, 16-bit length, payload.
std::vector<uint8_t> JpegSegmentBytes(uint8_t code, const std::vector<uint8_t>& payload);

}  // namespace pixlane::test
