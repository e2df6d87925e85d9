// JPEG decoding: one guarded body makes every libjpeg call (header, scale,
// start, rows, finish); the caller's frame owns the decompressor, the pixel
// block and the mapping, so a library error unwinds nothing but plain data.
// Rows arrive top first and are stored bottom-up in blue-green-red order.
#include "codecs/jpeg_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "codecs/codec_support.h"
#include "codecs/jpeg_glue.h"

namespace pixlane {
namespace {

struct DecodeJob {
  JpegReader* reader;
  const uint8_t* data;
  size_t size;
  JpegTargetBox box;
  JpegDecompressOwner* owner;
  JpegErrorManager* errors;
  JpegMemorySource* source;
  CodecError failure;  // set by the body when it refuses the file itself
};

void BuildCmykTable(std::array<uint8_t, 256 * 256>& table) {
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned k = 0; k < 256; ++k) table[a * 256 + k] = static_cast<uint8_t>(a * k / 255);
  }
}

// Pixels per metre from a JFIF density: dots per inch are rounded
// (density / 0.0254), dots per centimetre times 100; unit 0 gives 0.
int32_t PelsPerMetre(int unit, unsigned density) {
  if (unit == 1) return static_cast<int32_t>((density * 10000u + 127u) / 254u);
  if (unit == 2) return static_cast<int32_t>(density * 100u);
  return 0;
}

bool DecodeBody(DecodeJob& job) {
  JpegReader& reader = *job.reader;
  CreateDecompress(*job.owner, *job.errors);
  jpeg_decompress_struct* cinfo = &job.owner->cinfo;
  SetJpegMemoryLimit(reinterpret_cast<j_common_ptr>(cinfo), reader.maxMemory);
  AttachMemorySource(cinfo, *job.source, job.data, job.size);
  jpeg_read_header(cinfo, TRUE);
  reader.nominalWidth = static_cast<int32_t>(std::min<JDIMENSION>(cinfo->image_width, 0x7FFFFFFF));
  reader.nominalHeight =
      static_cast<int32_t>(std::min<JDIMENSION>(cinfo->image_height, 0x7FFFFFFF));
  if (!JpegDataCanFillImage(*cinfo)) {
    job.failure = CodecError::DataTooSmall;
    return false;
  }

  const int components = cinfo->num_components;
  if (components == 1) {
    cinfo->out_color_space = JCS_GRAYSCALE;
  } else if (components == 3) {
    cinfo->out_color_space = JCS_EXT_BGR;
  } else if (components == 4) {
    cinfo->out_color_space = JCS_CMYK;
  } else {
    job.failure = CodecError::UnsupportedDepth;
    return false;
  }
  reader.scaleDenominator = JpegScaleDenominator(cinfo->image_width, cinfo->image_height, job.box);
  cinfo->scale_num = 1;
  cinfo->scale_denom = static_cast<unsigned>(reader.scaleDenominator);
  jpeg_calc_output_dimensions(cinfo);
  // Checked before jpeg_start_decompress, which allocates whole-image
  // buffers for progressive files.
  const auto limit = static_cast<JDIMENSION>(reader.maxDimension);
  if (cinfo->output_width == 0 || cinfo->output_height == 0 || cinfo->output_width > limit ||
      cinfo->output_height > limit) {
    job.failure = CodecError::BadDimensions;
    return false;
  }
  jpeg_start_decompress(cinfo);
  const int outComponents = cinfo->output_components;
  if (outComponents != 1 && outComponents != 3 && outComponents != 4) {
    job.failure = CodecError::UnsupportedDepth;
    return false;
  }

  ImageBuffer& image = reader.image;
  const auto width = static_cast<int32_t>(cinfo->output_width);
  const auto height = static_cast<int32_t>(cinfo->output_height);
  const int bitCount = outComponents == 1 ? 8 : 24;
  int32_t xPels = 0;
  int32_t yPels = 0;
  if (cinfo->saw_JFIF_marker) {
    xPels = PelsPerMetre(cinfo->density_unit, cinfo->X_density);
    yPels = PelsPerMetre(cinfo->density_unit, cinfo->Y_density);
  }
  SetImageHeader(image, width, height, bitCount, xPels, yPels);
  if (bitCount == 8) {
    for (unsigned i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      image.palette[i] = RgbQuad{v, v, v, 0};
    }
  }
  const size_t stride = RowStride(width, bitCount);
  // Every row is decoded into place; only the row padding and rows the
  // decoder never delivered are zeroed.
  if (!image.pixels.AllocateForOverwrite(stride * static_cast<size_t>(height))) {
    job.failure = CodecError::OutOfMemory;
    return false;
  }

  const uint8_t* table = nullptr;
  JSAMPARRAY cmykRow = nullptr;
  if (outComponents == 4) {
    table = reader.cmykTable->data();
    cmykRow = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                          cinfo->output_width * 4u, 1);
  }
  uint8_t* const bottom = image.pixels.data();
  const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bitCount / 8);
  while (cinfo->output_scanline < cinfo->output_height) {
    const JDIMENSION y = cinfo->output_scanline;
    uint8_t* row = bottom + stride * static_cast<size_t>(cinfo->output_height - 1 - y);
    std::memset(row + rowBytes, 0, stride - rowBytes);
    if (cmykRow == nullptr) {
      JSAMPROW target = row;
      if (jpeg_read_scanlines(cinfo, &target, 1) != 1) break;
      continue;
    }
    if (jpeg_read_scanlines(cinfo, cmykRow, 1) != 1) break;
    const JSAMPLE* p = cmykRow[0];
    for (JDIMENSION x = 0; x < cinfo->output_width; ++x, p += 4, row += 3) {
      const unsigned k = p[3];
      row[0] = table[p[2] * 256u + k];
      row[1] = table[p[1] * 256u + k];
      row[2] = table[p[0] * 256u + k];
    }
  }
  // Scanlines that never came are the picture's bottom rows, which sit
  // first in memory: zero, as a short image reads.
  const size_t missing = cinfo->output_height - cinfo->output_scanline;
  std::memset(bottom, 0, stride * missing);
  jpeg_finish_decompress(cinfo);

  reader.isGrayscale = outComponents == 1;
  reader.isProgressive = cinfo->progressive_mode != 0;
  image.sourceFormat = FormatCode::Jpeg;
  image.sourceBitCount = bitCount;
  return true;
}

ImageBuffer* Decode(JpegReader& reader, const uint8_t* data, size_t size, JpegTargetBox box) {
  if (!reader.cmykTable) {
    reader.cmykTable.reset(new (std::nothrow) std::array<uint8_t, 256 * 256>());
    if (!reader.cmykTable) {
      reader.error = CodecError::OutOfMemory;
      return nullptr;
    }
    BuildCmykTable(*reader.cmykTable);
  }
  JpegDecompressOwner owner;
  JpegErrorManager errors;
  JpegMemorySource source;
  AttachErrorManager(errors);
  DecodeJob job{&reader, data, size, box, &owner, &errors, &source, CodecError::None};
  if (RunJpegGuarded(errors, &DecodeBody, job)) {
    reader.image.isPartial = errors.dataDamaged;
    return &reader.image;
  }
  reader.image.pixels.Release();
  if (job.failure != CodecError::None) {
    reader.error = job.failure;
  } else {
    reader.error = JpegErrorToCodecError(errors.errorCode);
    reader.lastErrorText = JpegErrorText(errors);
  }
  return nullptr;
}

void ResetReader(JpegReader& reader) {
  reader.image.Reset();
  reader.nominalWidth = 0;
  reader.nominalHeight = 0;
  reader.scaleDenominator = 1;
  reader.isGrayscale = false;
  reader.isProgressive = false;
  reader.error = CodecError::None;
  reader.lastErrorText.clear();
}

}  // namespace

JpegTargetBox JpegTargetBoxFromResize(int32_t rszOpt, int32_t rszSize) {
  if (rszSize <= 0) return {};
  switch (rszOpt) {
    case 1: return {rszSize, 1};
    case 2: return {1, rszSize};
    case 3: return {rszSize, rszSize};
    default: return {};
  }
}

int JpegScaleDenominator(uint32_t imageWidth, uint32_t imageHeight, JpegTargetBox box) {
  if (!box.IsSet()) return 1;
  const uint32_t n = std::min(imageWidth / static_cast<uint32_t>(box.width),
                              imageHeight / static_cast<uint32_t>(box.height));
  if (n >= 8) return 8;
  if (n >= 4) return 4;
  if (n >= 2) return 2;
  return 1;
}

ImageBuffer* LoadJpegImage(JpegReader& reader, std::u16string_view path, JpegTargetBox box) {
  ResetReader(reader);
  reader.file.Release();
  const uint32_t size = MapInputFile(path, reader.file);
  if (size == 0) {
    reader.error = MapFailureError(reader.file);
    return nullptr;
  }
  ImageBuffer* image = Decode(reader, reader.file.input.begin, size, box);
  if (image != nullptr) {
    image->fileSize = size;
    image->lastWriteTime = reader.file.mapping.lastWriteTime();
  }
  reader.file.Release();
  return image;
}

ImageBuffer* LoadJpegImageMemory(JpegReader& reader, const uint8_t* data, size_t size,
                                 JpegTargetBox box) {
  ResetReader(reader);
  if (data == nullptr || size == 0) {
    reader.error = CodecError::Truncated;
    return nullptr;
  }
  ImageBuffer* image = Decode(reader, data, size, box);
  if (image != nullptr) {
    image->fileSize = static_cast<uint32_t>(std::min<size_t>(size, 0xFFFFFFFFu));
  }
  return image;
}

}  // namespace pixlane
