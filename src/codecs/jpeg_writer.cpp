// JPEG encoding: indexed images are expanded to a 24-bit copy first, then one
// guarded body makes every libjpeg call for one encode into a file or into
// the automatic-quality block. The caller's frames own the compressor, the
// copy, the block and the file, so a library error unwinds only plain data.
#include "codecs/jpeg_writer.h"

#include <algorithm>
#include <cstring>

#include "codecs/jpeg_glue.h"
#include "platform/byte_reader.h"

namespace pixlane {
namespace {

// Bottom-up 24-bit blue-green-red rows to encode.
struct SourceRows {
  const uint8_t* bottom = nullptr;
  size_t stride = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct EncodeJob {
  const JpegEncoderOptions* options;
  SourceRows rows;
  int32_t quality;
  JpegCompressOwner* owner;
  JpegErrorManager* errors;
  OutputFile* file;  // file mode when set
  JpegFileDestination* fileDestination;
  PixelBlock* block;  // memory mode when set
  JpegMemoryDestination* memoryDestination;
};

size_t CommentLength(const std::string& comment) {
  const size_t capped = std::min(comment.size(), kJpegCommentMaxBytes);
  const void* zero = std::memchr(comment.data(), '\0', capped);
  return zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - comment.data())
                         : capped;
}

bool EncodeBody(EncodeJob& job) {
  CreateCompress(*job.owner, *job.errors);
  jpeg_compress_struct* cinfo = &job.owner->cinfo;
  if (job.file != nullptr) {
    AttachFileDestination(cinfo, *job.fileDestination, *job.file);
  } else {
    AttachMemoryDestination(cinfo, *job.memoryDestination, *job.block);
  }
  const JpegEncoderOptions& options = *job.options;
  cinfo->image_width = static_cast<JDIMENSION>(job.rows.width);
  cinfo->image_height = static_cast<JDIMENSION>(job.rows.height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  cinfo->optimize_coding = TRUE;
  if (options.grayscale) {
    jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
  } else {
    cinfo->comp_info[0].h_samp_factor = options.lumaHorizontal;
    cinfo->comp_info[0].v_samp_factor = options.lumaVertical;
  }
  jpeg_set_quality(cinfo, job.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(cinfo);
  jpeg_start_compress(cinfo, TRUE);
  // Written here, the COM segment follows the JFIF APP0 segment directly.
  const size_t commentLength = CommentLength(options.comment);
  if (commentLength != 0) {
    jpeg_write_marker(cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(options.comment.data()),
                      static_cast<unsigned>(commentLength));
  }
  const uint8_t* top = job.rows.bottom + job.rows.stride * static_cast<size_t>(job.rows.height - 1);
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(top - job.rows.stride * cinfo->next_scanline);
    if (jpeg_write_scanlines(cinfo, &row, 1) != 1) return false;
  }
  jpeg_finish_compress(cinfo);
  return true;
}

bool Fail(JpegWriter& writer, CodecError error) {
  writer.error = error;
  return false;
}

// One encode at `quality` into the file or the block; records the failure.
bool Encode(JpegWriter& writer, const SourceRows& rows, int32_t quality, OutputFile* file,
            PixelBlock* block, size_t& produced) {
  JpegCompressOwner owner;
  JpegErrorManager errors;
  JpegFileDestination fileDestination;
  JpegMemoryDestination memoryDestination;
  AttachErrorManager(errors);
  EncodeJob job{};
  job.options = &writer.options;
  job.rows = rows;
  job.quality = quality;
  job.owner = &owner;
  job.errors = &errors;
  job.file = file;
  job.fileDestination = &fileDestination;
  job.block = block;
  job.memoryDestination = &memoryDestination;
  if (!RunJpegGuarded(errors, &EncodeBody, job)) {
    writer.lastErrorText = JpegErrorText(errors);
    return Fail(writer, errors.errorCode != 0 ? JpegErrorToCodecError(errors.errorCode)
                                              : CodecError::WriteFailed);
  }
  produced = block != nullptr ? memoryDestination.produced : 0;
  return true;
}

// The 24-bit rows of the image: the pixels themselves, or an expanded copy
// of an indexed image in writer.expanded.
bool PrepareRows(JpegWriter& writer, const RgbQuad* palette, const uint8_t* pixels,
                 SourceRows& rows) {
  DepthConverter& converter = writer.converter;
  const int32_t source = converter.sourceBitCount;
  if (pixels == nullptr) return Fail(writer, CodecError::BadHeader);
  if (source != 1 && source != 4 && source != 8 && source != 24) {
    return Fail(writer, CodecError::UnsupportedDepth);
  }
  converter.targetBitCount = 24;
  if (!ComputeRowGeometry(converter)) return Fail(writer, CodecError::BadDimensions);
  rows.width = converter.width;
  rows.height = converter.height;
  rows.stride = static_cast<size_t>(converter.rowStride);
  if (source == 24) {
    rows.bottom = pixels;
    return true;
  }
  if (palette == nullptr) return Fail(writer, CodecError::BadHeader);
  if (!writer.expanded.Allocate(converter.imageBytes)) return Fail(writer, CodecError::OutOfMemory);
  Palette unused{};  // expansion writes no palette
  const bool converted =
      ConvertDepth(converter, palette, pixels, unused.data(), writer.expanded.data());
  converter.sourcePalette = nullptr;
  converter.targetPalette = nullptr;
  converter.sourcePixels = nullptr;
  converter.targetPixels = nullptr;
  if (!converted) return Fail(writer, CodecError::ConversionFailed);
  rows.bottom = writer.expanded.data();
  return true;
}

bool SaveFile(JpegWriter& writer, std::u16string_view path, const RgbQuad* palette,
              const uint8_t* pixels) {
  SourceRows rows;
  if (!PrepareRows(writer, palette, pixels, rows)) return false;
  OutputFile& out = writer.file.output;
  if (!out.Create(path)) return Fail(writer, CodecError::CannotOpen);
  size_t unused = 0;
  if (!Encode(writer, rows, writer.options.quality, &out, nullptr, unused)) return false;
  if (!out.Close()) return Fail(writer, CodecError::WriteFailed);
  return true;
}

bool SaveWithinSize(JpegWriter& writer, std::u16string_view path, int32_t limitKilobytes,
                    const RgbQuad* palette, const uint8_t* pixels) {
  SourceRows rows;
  if (!PrepareRows(writer, palette, pixels, rows)) return false;
  size_t limit = 0;
  if (limitKilobytes > 0 && !CheckedMul(static_cast<size_t>(limitKilobytes), 1024, limit)) {
    return Fail(writer, CodecError::SizeOverflow);
  }
  // Sized like the uncompressed image (only the bytes an encoding produced
  // are ever read); the destination grows it when an encoding needs more
  // (tiny images: headers and tables alone take hundreds of bytes).
  if (!writer.trialBlock.AllocateForOverwrite(rows.stride * static_cast<size_t>(rows.height))) {
    return Fail(writer, CodecError::OutOfMemory);
  }
  size_t produced = 0;
  auto trial = [&](int32_t quality) {
    writer.qualitiesTried.push_back(quality);
    return Encode(writer, rows, quality, nullptr, &writer.trialBlock, produced);
  };
  if (!trial(100)) return false;
  if (produced > limit) {
    int32_t upper = 100;
    int32_t quality = 69;
    int32_t step = 31;
    for (;;) {
      if (!trial(quality)) return false;
      int32_t next = 0;
      if (produced > limit) {
        upper = quality;
        if (quality == 7) step = 1;
        next = quality - step;
      } else {
        if (step == 1) break;
        step /= 2;
        next = upper - step;
      }
      if (next < 1) break;  // quality 1 did not fit: it is written all the same
      quality = next;
    }
  }
  writer.producedBytes = produced;
  OutputFile& out = writer.file.output;
  if (!out.Create(path)) return Fail(writer, CodecError::CannotOpen);
  if (!out.Write(writer.trialBlock.data(), produced) || !out.Close()) {
    return Fail(writer, CodecError::WriteFailed);
  }
  return true;
}

void Finish(JpegWriter& writer) {
  writer.expanded.Release();
  writer.trialBlock.Release();
  writer.file.Release();
}

void Start(JpegWriter& writer) {
  writer.error = CodecError::None;
  writer.lastErrorText.clear();
  writer.qualitiesTried.clear();
  writer.producedBytes = 0;
  writer.file.Release();
}

}  // namespace

void SetJpegEncoderOptions(JpegEncoderOptions& options, int32_t quality, int32_t progressive,
                           int32_t sampling) {
  options.quality = quality > 100 ? 75 : quality;
  options.progressive = progressive != 0;
  switch (sampling) {
    case 0:
      options.lumaHorizontal = 2;
      options.lumaVertical = 2;
      break;
    case 1:
      options.lumaHorizontal = 2;
      options.lumaVertical = 1;
      break;
    default:
      options.lumaHorizontal = 1;
      options.lumaVertical = 1;
      break;
  }
}

bool SaveJpegImage(JpegWriter& writer, std::u16string_view path, const RgbQuad* palette,
                   const uint8_t* pixels) {
  Start(writer);
  const bool ok = SaveFile(writer, path, palette, pixels);
  Finish(writer);
  return ok;
}

bool SaveJpegWithinSize(JpegWriter& writer, std::u16string_view path, int32_t limitKilobytes,
                        const RgbQuad* palette, const uint8_t* pixels) {
  Start(writer);
  const bool ok = SaveWithinSize(writer, path, limitKilobytes, palette, pixels);
  Finish(writer);
  return ok;
}

}  // namespace pixlane
