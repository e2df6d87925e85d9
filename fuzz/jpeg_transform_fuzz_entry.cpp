// One input through TransformJpegMemory (transform, grayscale, progressive
// and marker copy chosen by the input's last byte) and
// InsertJpegCommentMemory. A failed transform names a reason; a successful
// one writes a JPEG file that our reader decodes at the size the
// transformer reported (unless the input does not decode either), also
// after a comment is put into it.
#include "jpeg_transform_fuzz_entry.h"

#include <vector>

#include "codecs/jpeg_comment.h"
#include "codecs/jpeg_reader.h"
#include "codecs/jpeg_transform.h"
#include "jpeg_reader_fuzz_entry.h"

namespace pixlane::fuzz {

bool CheckJpegTransformInput(const uint8_t* data, size_t size) {
  const uint8_t selector = size > 0 ? data[size - 1] : 0;
  JpegTransformer transformer;
  transformer.maxDimension = kJpegFuzzMaxDimension;
  transformer.maxMemory = kJpegFuzzMaxMemory;
  SetJpegTransformOptions(transformer.options, selector % 6, (selector / 6) % 3, selector & 0x40);
  transformer.options.forceGrayscale = (selector & 0x80) != 0;
  PixelBlock output;
  size_t produced = 0;
  if (!TransformJpegMemory(transformer, data, size, output, produced)) {
    if (transformer.error == CodecError::None) return false;
  } else {
    if (produced == 0 || produced > output.size()) return false;
    JpegReader reader;
    reader.maxDimension = kJpegFuzzMaxDimension;
    reader.maxMemory = kJpegFuzzMaxMemory;
    const ImageBuffer* image = LoadJpegImageMemory(reader, output.data(), produced);
    if (image == nullptr) {
      // Coefficients can be moved where pixels cannot be made (fractional
      // sampling factors, for one): then the input does not decode either.
      return LoadJpegImageMemory(reader, data, size) == nullptr;
    }
    if (image->header.width != transformer.outputWidth ||
        image->header.height != transformer.outputHeight) {
      return false;
    }
    // A comment put into our own output keeps it decodable.
    std::vector<uint8_t> commented;
    if (InsertJpegCommentMemory(output.data(), produced, "fuzz\r\ncomment", commented)) {
      const ImageBuffer* again = LoadJpegImageMemory(reader, commented.data(), commented.size());
      if (again == nullptr || again->header.width != transformer.outputWidth) return false;
    }
  }
  // On the raw input: the span lies inside the file and the result is the
  // file with the span replaced by a 5-byte COM segment.
  JpegCommentSpan span;
  std::vector<uint8_t> commented;
  const bool placed = InsertJpegCommentMemory(data, size, "c", commented);
  if (placed != FindJpegCommentSpan(data, size, span)) return false;
  if (placed && (span.spanBegin > span.spanEnd || span.spanEnd > size ||
                 commented.size() != size - (span.spanEnd - span.spanBegin) + 5)) {
    return false;
  }
  return true;
}

}  // namespace pixlane::fuzz
