// The per-file pipeline. Processing steps are called in the fixed order
// rotation → colour corrections → reduction → sharpening → save; rotation
// comes first so every later step sees the final orientation, and reduction
// precedes sharpening so that sharpening acts on the output size.
#include "engine/conversion_pipeline.h"

#include "codecs/jpeg_comment.h"
#include "codecs/jpeg_transform.h"
#include "engine/exif_lookup.h"
#include "engine/load_save_dispatch.h"
#include "imaging/colour_corrections.h"
#include "imaging/hue_saturation.h"
#include "imaging/processing_image.h"
#include "imaging/resize.h"
#include "imaging/rotation.h"
#include "imaging/sharpen.h"
#include "platform/file_system.h"
#include "platform/temporary_files.h"

namespace pixlane {
namespace {

ProcessingImage ImageOf(const CurrentImage& current) {
  return {current.record, current.width, current.height, current.bitCount};
}

// Takes over what a step did to the image, whether it succeeded or not (a
// failed reduction may already have expanded the pixels to 24 bits).
void Adopt(CurrentImage& current, const ProcessingImage& image) {
  current.width = image.width;
  current.height = image.height;
  current.bitCount = image.bitCount;
}

bool StepFailed(EngineContext& context) {
  const int32_t bits = context.current.bitCount;
  context.lastError =
      bits == 8 || bits == 24 ? CodecError::OutOfMemory : CodecError::UnsupportedDepth;
  return false;
}

// The hand-over to a colour step: the current geometry, pixels and palette
// as both source and target, and the batch's tables.
const CorrectionParams& CorrectionFor(EngineContext& context) {
  WorkObjects& work = *context.work;
  const CurrentImage& current = context.current;
  CorrectionParams& params = work.correction;
  SetCorrectionImage(params, *current.record, current.width, current.height, current.bitCount);
  params.stretch = work.tables.stretch.get();
  params.brightness = work.tables.brightness.get();
  params.contrast = work.tables.contrast.get();
  params.hls = work.tables.hls.get();
  return params;
}

}  // namespace

bool ConvertFile(EngineContext& context, const ConversionParameters& params,
                 std::u16string_view inputPath, std::u16string_view temporaryFolder,
                 std::u16string& tempPath) {
  tempPath.clear();
  if (!LoadImageFile(context, params, inputPath)) return false;
  std::u16string path = MakeTemporaryName(temporaryFolder);
  const bool ok = ProcessAndSave(context, params, path);
  if (ok) {
    tempPath = std::move(path);
  } else {
    DeleteOwnFile(path);
  }
  ReleaseCurrentImage(context);
  return ok;
}

// The transform writes one temporary file; a comment pass reads it and
// writes a second one, and the first is deleted. Whatever fails, no
// temporary file is left behind.
bool TransformFile(EngineContext& context, const ConversionParameters& params,
                   std::u16string_view inputPath, std::u16string_view temporaryFolder,
                   std::u16string& tempPath) {
  tempPath.clear();
  context.exifDate.Clear();
  context.inputIdentity = FileIdentity{};
  context.inputPartial = false;
  context.lastError = CodecError::CannotOpen;
  FileIdentity before;
  if (!context.work || !GetFileIdentity(inputPath, true, before)) return false;
  if (!before.isRegularFile) {
    context.lastError = CodecError::NotRegularFile;
    return false;
  }
  std::u16string path = MakeTemporaryName(temporaryFolder);

  JpegTransformer& transformer = context.work->jpegTransformer;
  transformer.options.Reset();
  SetJpegTransformOptions(transformer.options, params.TurOpt, params.Marker, params.Progressive);
  transformer.options.forceGrayscale = context.saver.grayscale;
  bool ok = TransformJpegFile(transformer, inputPath, path);
  transformer.file.Release();
  context.lastError = transformer.error;
  FileIdentity after;
  if (ok && (!GetFileIdentity(inputPath, true, after) || after != before)) {
    context.lastError = CodecError::InputChanged;
    ok = false;
  }
  if (ok) {
    context.inputIdentity = before;
    context.inputPartial = transformer.isPartial;
    // No pixels: only the size, which the HTML tag output uses.
    context.current.record = nullptr;
    context.current.width = transformer.outputWidth;
    context.current.height = transformer.outputHeight;
    if (params.NameSet == 1) LookUpExifDate(context.work->exifReader, inputPath, context.exifDate);
  }
  if (ok && params.CmtOpt != 0 && !params.CmtStr1.empty()) {
    std::u16string commented = MakeTemporaryName(temporaryFolder);
    CodecError error = CodecError::None;
    ok = InsertJpegComment(path, commented, JpegCommentBytes(params.CmtStr1, true), error);
    context.lastError = error;
    DeleteOwnFile(path);
    path = std::move(commented);
  }
  if (ok) {
    tempPath = std::move(path);
  } else {
    DeleteOwnFile(path);
  }
  return ok;
}

bool ConvertOrTransformFile(EngineContext& context, const ConversionParameters& params,
                            std::u16string_view inputPath, std::u16string_view temporaryFolder,
                            std::u16string& tempPath) {
  if (context.saver.saver == SaverKind::JpegTransform) {
    return TransformFile(context, params, inputPath, temporaryFolder, tempPath);
  }
  return ConvertFile(context, params, inputPath, temporaryFolder, tempPath);
}

bool ProcessAndSave(EngineContext& context, const ConversionParameters& params,
                    std::u16string_view tempPath) {
  if (context.current.record == nullptr || !context.work) return false;
  WorkObjects& work = *context.work;
  // Normally prepared with the WorkObjects; built here only when this run's
  // switches differ from those the batch was allocated for.
  if (!PrepareProcessingTables(work, params)) {
    context.lastError = CodecError::OutOfMemory;
    return false;
  }
  CurrentImage& current = context.current;
  ProcessingImage image = ImageOf(current);
  if (!HoldsImage(image)) {
    context.lastError = CodecError::BadDimensions;
    return false;
  }

  if (params.TurOpt != 0) {
    const bool ok = RotateImage(image, params.TurOpt, work.geometry);
    Adopt(current, image);
    if (!ok) return StepFailed(context);
  }
  if (params.HgmOpt != 0) AutoLevels(CorrectionFor(context));
  if (params.GamOpt != 0) ApplyBrightness(CorrectionFor(context), params.GamVal);
  if (params.CrtOpt != 0) ApplyContrast(CorrectionFor(context), params.CrtVal);
  if (params.HlsSOpt != 0 || params.HlsHOpt != 0) {
    ApplyHueSaturation(CorrectionFor(context), params.HlsHOpt != 0 ? params.HlsHVal : 0,
                       params.HlsSOpt != 0 ? params.HlsSVal : 0);
  }
  if (params.RszOpt != 0) {
    const bool ok = ReduceImage(image, params.RszOpt, params.RszSize, work.geometry, work.converter);
    Adopt(current, image);
    if (!ok) return StepFailed(context);
  }
  if (params.UsmOpt != 0) {
    const bool ok = SharpenImage(image, params.UsmOpt, *work.tables.sharpen, work.sharpen,
                                 work.converter);
    Adopt(current, image);
    if (!ok) return StepFailed(context);
  }
  return SaveImageFile(context, params, tempPath);
}

bool ExpandTo24(EngineContext& context) {
  if (context.current.record == nullptr || !context.work) return false;
  ProcessingImage image = ImageOf(context.current);
  if (!ExpandImageTo24(image, context.work->converter)) {
    context.lastError = CodecError::ConversionFailed;
    return false;
  }
  Adopt(context.current, image);
  return true;
}

}  // namespace pixlane
