// Load and save dispatch over the codecs that exist: format sniffing picks
// the reader, SelectSaver's table picks the writer and the target depth.
#include "engine/load_save_dispatch.h"

#include <algorithm>
#include <mutex>
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

// Gives a writer's converter the current image's size and depth.
void DescribeCurrentImage(DepthConverter& converter, const CurrentImage& image) {
  converter.width = image.width;
  converter.height = image.height;
  converter.sourceBitCount = image.bitCount;
}

// Sets the target depth chosen by SelectSaver, or `keptDepth` where it
// chose none, and records it as the depth of the saved file.
void SetTargetDepth(EngineContext& context, DepthConverter& converter, int32_t keptDepth) {
  converter.targetBitCount =
      context.saver.targetDepth == 0 ? keptDepth : context.saver.targetDepth;
  context.lastSaveDepth = converter.targetBitCount;
}

// Runs a writer's entry point (writer, path, palette, pixels, extra
// arguments first) on the current image and records the writer's error.
template <typename Writer, typename Write, typename... Extra>
bool WriteCurrentImage(EngineContext& context, Writer& writer, std::u16string_view outputPath,
                       Write write, Extra... extra) {
  const ImageBuffer& record = *context.current.record;
  const bool ok = write(writer, outputPath, extra..., record.palette.data(), record.pixels.data());
  context.lastError = writer.error;
  return ok;
}

bool SaveBmp(EngineContext& context, std::u16string_view outputPath) {
  BmpWriter& writer = context.work->bmpWriter;
  DescribeCurrentImage(writer.converter, context.current);
  SetTargetDepth(context, writer.converter, context.current.bitCount);
  return WriteCurrentImage(context, writer, outputPath, WriteBmp);
}

// PNG saver: level min(Level, 9), the grayscale flag of SelectSaver,
// Interlace, and the comment in the ANSI code page (at most 10000 bytes).
bool SavePng(EngineContext& context, const ConversionParameters& params,
             std::u16string_view outputPath) {
  PngWriter& writer = context.work->pngWriter;
  DescribeCurrentImage(writer.converter, context.current);
  SetTargetDepth(context, writer.converter, context.current.bitCount);
  writer.level = std::min<int32_t>(params.Level, 9);
  writer.filterMode = 0;
  writer.grayscale = context.saver.grayscale;
  writer.interlace = params.Interlace != 0;
  writer.comment.clear();
  if (params.CmtOpt != 0 && !params.CmtStr1.empty()) {
    writer.comment = PngCommentBytes(params.CmtStr1);
  }
  return WriteCurrentImage(context, writer, outputPath, WritePng);
}

// JPEG saver: quality, progressive and sampling settings, the grayscale
// flag of SelectSaver, the comment (line breaks as stored), and the size
// limit's automatic quality when "Limit" is on.
bool SaveJpeg(EngineContext& context, const ConversionParameters& params,
              std::u16string_view outputPath) {
  JpegWriter& writer = context.work->jpegWriter;
  writer.options.Reset();
  SetJpegEncoderOptions(writer.options, params.Quality, params.Progressive, params.Sampling);
  writer.options.grayscale = context.saver.grayscale;
  if (params.CmtOpt != 0 && !params.CmtStr1.empty()) {
    writer.options.comment = JpegCommentBytes(params.CmtStr1, false);
  }
  DescribeCurrentImage(writer.converter, context.current);
  context.lastSaveDepth = 24;
  if (params.Limit != 0) {
    return WriteCurrentImage(context, writer, outputPath, SaveJpegWithinSize, params.LmtVal);
  }
  return WriteCurrentImage(context, writer, outputPath, SaveJpegImage);
}

// TIFF saver: the depth as for BMP, the grayscale flag of SelectSaver,
// pixels per metre 0.
bool SaveTiff(EngineContext& context, std::u16string_view outputPath) {
  TiffWriter& writer = context.work->tiffWriter;
  DescribeCurrentImage(writer.converter, context.current);
  SetTargetDepth(context, writer.converter, context.current.bitCount);
  writer.isGrayscale = context.saver.grayscale;
  writer.xPelsPerMetre = 0;
  writer.yPelsPerMetre = 0;
  return WriteCurrentImage(context, writer, outputPath, WriteTiff);
}

// GIF saver: 8 bits unless DepOpt selects fewer, and Interlace.
bool SaveGif(EngineContext& context, const ConversionParameters& params,
             std::u16string_view outputPath) {
  GifWriter& writer = context.work->gifWriter;
  DescribeCurrentImage(writer.converter, context.current);
  SetTargetDepth(context, writer.converter, 8);
  writer.isInterlaced = params.Interlace != 0;
  return WriteCurrentImage(context, writer, outputPath, WriteGif);
}

// Runs a reader's entry point (reader, path, extra arguments), releases the
// reader's file handles and records its error. Returns the reader's record.
template <typename Reader, typename Read, typename... Extra>
ImageBuffer* ReadWithReader(EngineContext& context, Reader& reader, std::u16string_view path,
                            Read read, Extra... extra) {
  ImageBuffer* record = read(reader, path, extra...);
  reader.file.Release();
  context.lastError = reader.error;
  return record;
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

ImageBuffer* LoadImageWithPlugin(EngineContext& context, std::u16string_view path) {
  // Plug-ins are tried only when their folder is set and exists. When none
  // takes the file, the native reader's reason for the failure stands.
  if (!context.work || context.pluginFolder.empty() || !IsDirectory(context.pluginFolder)) return nullptr;
  PluginLoader& loader = context.pluginLoader != nullptr ? *context.pluginLoader : SystemPluginLoader();
  PluginHost& host = context.work->pluginHost;
  // Plug-ins were written for one caller at a time: the workers of a
  // parallel batch take turns.
  static std::mutex pluginCalls;
  const std::lock_guard<std::mutex> lock(pluginCalls);
  ImageBuffer* record = LoadImageWithPlugin(loader, context.pluginFolder, path, host);
  if (host.error != CodecError::None) context.lastError = host.error;
  return record;
}

bool LoadImageFile(EngineContext& context, const ConversionParameters& params,
                   std::u16string_view path) {
  ReleaseCurrentImage(context);
  context.current = CurrentImage{};
  context.lastError = CodecError::None;
  context.exifDate.Clear();
  context.inputIdentity = FileIdentity{};
  context.inputPartial = false;
  FileIdentity before;
  if (!context.work || !GetFileIdentity(path, true, before)) {
    context.lastError = CodecError::CannotOpen;
    return false;
  }
  // Only regular files are opened: a FIFO would block, a device never end.
  if (!before.isRegularFile) {
    context.lastError = CodecError::NotRegularFile;
    return false;
  }
  ImageBuffer* record = nullptr;
  WorkObjects& work = *context.work;
  switch (SniffFormat(path)) {
    case FormatCode::Bmp:
      record = ReadWithReader(context, work.bmpReader, path, ReadBmp);
      break;
    case FormatCode::Png:
      work.pngReader.blendTable = &work.pngBlend;
      record = ReadWithReader(context, work.pngReader, path, ReadPng);
      break;
    case FormatCode::Jpeg:
      record = ReadWithReader(context, work.jpegReader, path, LoadJpegImage,
                              JpegTargetBoxFromResize(params.RszOpt, params.RszSize));
      if (record != nullptr && params.NameSet == 1) {
        LookUpExifDate(work.exifReader, path, context.exifDate);
      }
      break;
    case FormatCode::Tiff:
      record = ReadWithReader(context, work.tiffReader, path, ReadTiff);
      break;
    case FormatCode::Gif:
      record = ReadWithReader(context, work.gifReader, path, ReadGif);
      break;
    case FormatCode::Unreadable:
      context.lastError = CodecError::Truncated;
      return false;
    default:
      // Unknown files (and files that could not be opened) go to the
      // image input plug-ins only.
      context.lastError = CodecError::UnsupportedFormat;
      break;
  }
  if (record == nullptr || record->pixels.empty()) {
    // A native reader that failed leaves no pixels behind; then the
    // plug-ins get their chance.
    if (record != nullptr) record->pixels.Release();
    record = LoadImageWithPlugin(context, path);
    if (record == nullptr || record->pixels.empty()) return false;
  }
  // What was decoded must be the file that is there now: otherwise its
  // deletion after the conversion could remove data that was never read.
  FileIdentity after;
  if (!GetFileIdentity(path, true, after) || after != before) {
    record->pixels.Release();
    context.lastError = CodecError::InputChanged;
    return false;
  }
  context.inputIdentity = before;
  context.inputPartial = record->isPartial;
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
