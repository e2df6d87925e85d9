// Lossless JPEG-to-JPEG transform on libjpeg's coefficient interface.
// Supports: mirror left-right, mirror top-bottom, rotation by 90, 180 and
//   270 degrees clockwise of any sampling layout, baseline or progressive
//   input; progressive output; forced grayscale (luminance only) for YCbCr
//   and gray inputs; copying COM segments, or COM and APP0-APP15 segments,
//   in input order without duplicating the JFIF APP0 or Adobe APP14 that
//   the output writes itself. Huffman tables are recomputed.
// Rejects: files libjpeg refuses, width or height above 25000, forced
//   grayscale on CMYK, YCCK or RGB input.
// Limits: with trim (always on in the program) partial MCUs at the edges a
//   transform moves are dropped; an image smaller than one MCU in that
//   direction keeps them and its edge blocks are transposed or copied
//   without mirroring. Block operations are this unit's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

enum class JpegTransformKind {
  None,
  MirrorLeftRight,
  MirrorTopBottom,
  Rotate90,  // clockwise
  Rotate180,
  Rotate270,  // clockwise
};

// Which APPn and COM segments of the input go to the output ("Marker").
enum class JpegMarkerCopy : int32_t {
  None = 0,      // "すべて破棄"
  Comments = 1,  // "コメントのみ保持": COM segments
  All = 2,       // "すべて保持": COM and APP0-APP15
};

struct JpegTransformOptions {
  JpegTransformKind transform = JpegTransformKind::None;
  JpegMarkerCopy markerCopy = JpegMarkerCopy::All;
  bool trim = true;
  bool forceGrayscale = false;
  bool progressive = false;

  void Reset() { *this = JpegTransformOptions{}; }
};

// "TurOpt" 1 → rotate 90, 2 → 180, 3 → 270, 4 → mirror left-right,
// 5 → mirror top-bottom, else none; "Marker" 0, 1, 2 (else 2);
// "Progressive". Trim and force grayscale are left as they are.
void SetJpegTransformOptions(JpegTransformOptions& options, int32_t turOpt, int32_t marker,
                             int32_t progressive);

struct JpegTransformer {
  CodecFileState file;
  JpegTransformOptions options;
  // The transformed image's size after a successful transform.
  int32_t outputWidth = 0;
  int32_t outputHeight = 0;
  CodecError error = CodecError::None;
  std::string lastErrorText;  // libjpeg's message for the last failure
  // After a successful transform: the input's data was damaged or ended
  // early, so the output holds blank blocks where it was lost.
  bool isPartial = false;
  // Tests and fuzzing lower these; the program keeps the defaults.
  int32_t maxDimension = kMaxDimension;
  size_t maxMemory = 0;  // libjpeg's max_memory_to_use; 0 = no limit
};

// Transforms the JPEG file `inputPath` into a new file `outputPath` with the
// transformer's options. False on failure (reason in transformer.error); a
// partly written output is left for the caller to delete. The input mapping
// and output handle are released before it returns.
bool TransformJpegFile(JpegTransformer& transformer, std::u16string_view inputPath,
                       std::u16string_view outputPath);

// The same from memory into `output` (any capacity; it grows as needed),
// `produced` bytes long (tests and fuzzing).
bool TransformJpegMemory(JpegTransformer& transformer, const uint8_t* data, size_t size,
                         PixelBlock& output, size_t& produced);

}  // namespace pixlane
