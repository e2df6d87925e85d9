// Load and save dispatch over the codecs that exist: format sniffing picks
// the reader, SelectSaver's table picks the writer and the target depth.
#include "engine/load_save_dispatch.h"

#include <algorithm>
#include <new>

#include "codecs/format_sniff.h"
#include "codecs/jpeg_comment.h"
#include "engine/exif_lookup.h"
#include "platform/file_system.h"

namespace pixlane {
namespace {

// Target depth by DepOpt 1..6 for each saver; 0 keeps the image's depth
// (the combinations that select no depth of their own).
constexpr int32_t kDepthTable[5][6] = {
    /* BMP  */ {24, 8, 4, 0, 1, 0},
    /* PNG  */ {24, 8, 4, 2, 1, 8},
    /* JPEG */ {24, 24, 24, 24, 24, 24},
    /* TIFF */ {24, 8, 4, 0, 1, 8},
    /* GIF  */ {0, 8, 4, 2, 1, 0},
};

bool SaveBmp(EngineContext& context, std::u16string_view outputPath) {
  BmpWriter& writer = context.work->bmpWriter;
  const CurrentImage& image = context.current;
  writer.converter.width = image.width;
  writer.converter.height = image.height;
  writer.converter.sourceBitCount = image.bitCount;
  writer.converter.targetBitCount =
      context.saver.targetDepth == 0 ? image.bitCount : context.saver.targetDepth;
  context.lastSaveDepth = writer.converter.targetBitCount;
  const bool ok = WriteBmp(writer, outputPath, image.record->palette.data(),
                           image.record->pixels.data());
  context.lastError = writer.error;
  return ok;
}

// PNG saver: level min(Level, 9), the grayscale flag of SelectSaver,
// Interlace, and the comment in the ANSI code page (at most 10000 bytes).
bool SavePng(EngineContext& context, const ConversionParameters& params,
             std::u16string_view outputPath) {
  PngWriter& writer = context.work->pngWriter;
  const CurrentImage& image = context.current;
  writer.converter.width = image.width;
  writer.converter.height = image.height;
  writer.converter.sourceBitCount = image.bitCount;
  writer.converter.targetBitCount =
      context.saver.targetDepth == 0 ? image.bitCount : context.saver.targetDepth;
  writer.level = std::min<int32_t>(params.Level, 9);
  writer.filterMode = 0;
  writer.grayscale = context.saver.grayscale;
  writer.interlace = params.Interlace != 0;
  writer.comment.clear();
  if (params.CmtOpt != 0 && !params.CmtStr1.empty()) {
    writer.comment = PngCommentBytes(params.CmtStr1);
  }
  context.lastSaveDepth = writer.converter.targetBitCount;
  const bool ok = WritePng(writer, outputPath, image.record->palette.data(),
                           image.record->pixels.data());
  context.lastError = writer.error;
  return ok;
}

// JPEG saver: quality, progressive and sampling settings, the grayscale
// flag of SelectSaver, the comment (line breaks as stored), and the size
// limit's automatic quality when "Limit" is on.
bool SaveJpeg(EngineContext& context, const ConversionParameters& params,
              std::u16string_view outputPath) {
  JpegWriter& writer = context.work->jpegWriter;
  const CurrentImage& image = context.current;
  writer.options.Reset();
  SetJpegEncoderOptions(writer.options, params.Quality, params.Progressive, params.Sampling);
  writer.options.grayscale = context.saver.grayscale;
  if (params.CmtOpt != 0 && !params.CmtStr1.empty()) {
    writer.options.comment = JpegCommentBytes(params.CmtStr1, false);
  }
  writer.converter.width = image.width;
  writer.converter.height = image.height;
  writer.converter.sourceBitCount = image.bitCount;
  context.lastSaveDepth = 24;
  const RgbQuad* palette = image.record->palette.data();
  const uint8_t* pixels = image.record->pixels.data();
  const bool ok = params.Limit != 0
                      ? SaveJpegWithinSize(writer, outputPath, params.LmtVal, palette, pixels)
                      : SaveJpegImage(writer, outputPath, palette, pixels);
  context.lastError = writer.error;
  return ok;
}

// TIFF saver: the depth as for BMP, the grayscale flag of SelectSaver,
// pixels per metre 0.
bool SaveTiff(EngineContext& context, std::u16string_view outputPath) {
  TiffWriter& writer = context.work->tiffWriter;
  const CurrentImage& image = context.current;
  writer.converter.width = image.width;
  writer.converter.height = image.height;
  writer.converter.sourceBitCount = image.bitCount;
  writer.converter.targetBitCount =
      context.saver.targetDepth == 0 ? image.bitCount : context.saver.targetDepth;
  writer.isGrayscale = context.saver.grayscale;
  writer.xPelsPerMetre = 0;
  writer.yPelsPerMetre = 0;
  context.lastSaveDepth = writer.converter.targetBitCount;
  const bool ok = WriteTiff(writer, outputPath, image.record->palette.data(),
                            image.record->pixels.data());
  context.lastError = writer.error;
  return ok;
}

// GIF saver: 8 bits unless DepOpt selects fewer, and Interlace.
bool SaveGif(EngineContext& context, const ConversionParameters& params,
             std::u16string_view outputPath) {
  GifWriter& writer = context.work->gifWriter;
  const CurrentImage& image = context.current;
  writer.converter.width = image.width;
  writer.converter.height = image.height;
  writer.converter.sourceBitCount = image.bitCount;
  writer.converter.targetBitCount = context.saver.targetDepth == 0 ? 8 : context.saver.targetDepth;
  writer.isInterlaced = params.Interlace != 0;
  context.lastSaveDepth = writer.converter.targetBitCount;
  const bool ok = WriteGif(writer, outputPath, image.record->palette.data(),
                           image.record->pixels.data());
  context.lastError = writer.error;
  return ok;
}

}  // namespace

bool AllocateWorkObjects(EngineContext& context, const ConversionParameters& params) {
  context.work.reset(new (std::nothrow) WorkObjects());
  if (context.work == nullptr) return false;
  BuildBlendTable(context.work->pngBlend);
  return PrepareProcessingTables(*context.work, params);
}

bool PrepareProcessingTables(WorkObjects& work, const ConversionParameters& params) {
  ProcessingTables& t = work.tables;
  if (params.UsmOpt != 0 && !t.sharpen) {
    t.sharpen.reset(new (std::nothrow) SharpenTables());
    if (!t.sharpen) return false;
    BuildSharpenTables(*t.sharpen);
  }
  if (params.HgmOpt != 0 && !t.stretch) {
    t.stretch.reset(new (std::nothrow) StretchTables());
    if (!t.stretch) return false;
    BuildStretchTables(*t.stretch);
  }
  if (params.GamOpt != 0 && !t.brightness) {
    t.brightness.reset(new (std::nothrow) BrightnessTables());
    if (!t.brightness) return false;
    BuildBrightnessTables(*t.brightness);
  }
  if (params.CrtOpt != 0 && !t.contrast) {
    // The lines depend on each image's mean luminance; ApplyContrast fills them.
    t.contrast.reset(new (std::nothrow) ContrastTables());
    if (!t.contrast) return false;
  }
  if ((params.HlsSOpt != 0 || params.HlsHOpt != 0) && !t.hls) {
    t.hls.reset(new (std::nothrow) HlsTables());
    if (!t.hls) return false;
    BuildHlsTables(*t.hls);
  }
  return true;
}

void ReleaseWorkObjects(EngineContext& context) {
  if (context.work) {
    context.work->bmpReader.file.Release();
    context.work->bmpWriter.file.Release();
    context.work->pngReader.file.Release();
    context.work->pngWriter.file.Release();
    context.work->jpegReader.file.Release();
    context.work->jpegWriter.file.Release();
    context.work->jpegTransformer.file.Release();
    context.work->exifReader.file.Release();
    context.work->tiffReader.file.Release();
    context.work->tiffWriter.file.Release();
    context.work->gifReader.file.Release();
    context.work->gifWriter.file.Release();
  }
  context.current = CurrentImage{};
  context.work.reset();
}

bool LoadImageFile(EngineContext& context, std::u16string_view path) {
  static const ConversionParameters kDefaults;
  return LoadImageFile(context, kDefaults, path);
}

bool LoadImageFile(EngineContext& context, const ConversionParameters& params,
                   std::u16string_view path) {
  ReleaseCurrentImage(context);
  context.current = CurrentImage{};
  context.lastError = CodecError::None;
  context.exifDate.Clear();
  if (!context.work || !PathExists(path)) {
    context.lastError = CodecError::CannotOpen;
    return false;
  }
  ImageBuffer* record = nullptr;
  switch (SniffFormat(path)) {
    case FormatCode::Bmp: {
      BmpReader& reader = context.work->bmpReader;
      record = ReadBmp(reader, path);
      reader.file.Release();
      context.lastError = reader.error;
      break;
    }
    case FormatCode::Png: {
      PngReader& reader = context.work->pngReader;
      reader.blendTable = &context.work->pngBlend;
      record = ReadPng(reader, path);
      reader.file.Release();
      context.lastError = reader.error;
      break;
    }
    case FormatCode::Jpeg: {
      JpegReader& reader = context.work->jpegReader;
      record = LoadJpegImage(reader, path, JpegTargetBoxFromResize(params.RszOpt, params.RszSize));
      reader.file.Release();
      context.lastError = reader.error;
      if (record != nullptr && params.NameSet == 1) {
        LookUpExifDate(context.work->exifReader, path, context.exifDate);
      }
      break;
    }
    case FormatCode::Tiff: {
      TiffReader& reader = context.work->tiffReader;
      record = ReadTiff(reader, path);
      reader.file.Release();
      context.lastError = reader.error;
      break;
    }
    case FormatCode::Gif: {
      GifReader& reader = context.work->gifReader;
      record = ReadGif(reader, path);
      reader.file.Release();
      context.lastError = reader.error;
      break;
    }
    case FormatCode::Unreadable:
      context.lastError = CodecError::Truncated;
      return false;
    default:
      // Formats whose readers are not built yet, and unknown files.
      context.lastError = CodecError::UnsupportedFormat;
      break;
  }
  if (record == nullptr || record->pixels.empty()) {
    if (record != nullptr) record->pixels.Release();
    return false;
  }
  context.current.record = record;
  context.current.width = record->header.width;
  context.current.height = record->header.height;
  context.current.bitCount = record->header.bitCount;
  return true;
}

void ReleaseCurrentImage(EngineContext& context) {
  if (context.current.record != nullptr) context.current.record->pixels.Release();
  // Width and height stay: the batch records them for the HTML tags after
  // the pixels are gone.
  context.current.record = nullptr;
}

void SelectSaver(EngineContext& context, const ConversionParameters& params) {
  SaverSelection& s = context.saver;
  s.grayscale = false;
  s.targetDepth = 0;
  const int32_t dep = params.DepOpt;
  int row = 0;
  if (params.JTrans != 0) {
    s.saver = SaverKind::JpegTransform;
    s.extension = u".jpg";
    s.grayscale = dep == 6;
    return;
  }
  switch (params.OFmt) {
    case 1: s.saver = SaverKind::Png; s.extension = u".png"; row = 1; break;
    case 2: s.saver = SaverKind::Jpeg; s.extension = u".jpg"; row = 2; break;
    case 3: s.saver = SaverKind::Tiff; s.extension = u".tif"; row = 3; break;
    case 4: s.saver = SaverKind::Gif; s.extension = u".gif"; row = 4; break;
    default: s.saver = SaverKind::Bmp; s.extension = u".bmp"; row = 0; break;
  }
  if (dep >= 1 && dep <= 6) s.targetDepth = kDepthTable[row][dep - 1];
  // 8-bit grayscale where the format writes gray levels.
  if (dep == 6 && (s.saver == SaverKind::Png || s.saver == SaverKind::Jpeg ||
                   s.saver == SaverKind::Tiff)) {
    s.grayscale = true;
  }
}

bool SaveImageFile(EngineContext& context, const ConversionParameters& params,
                   std::u16string_view outputPath) {
  if (!context.work || context.current.record == nullptr) return false;
  switch (context.saver.saver) {
    case SaverKind::Bmp:
      return SaveBmp(context, outputPath);
    case SaverKind::Png:
      return SavePng(context, params, outputPath);
    case SaverKind::Jpeg:
      return SaveJpeg(context, params, outputPath);
    case SaverKind::Tiff:
      return SaveTiff(context, outputPath);
    case SaverKind::Gif:
      return SaveGif(context, params, outputPath);
    default:
      // The writers of the other formats are not built yet.
      context.lastError = CodecError::UnsupportedFormat;
      return false;
  }
}

}  // namespace pixlane
