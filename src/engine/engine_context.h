// The engine's state for one front end: the current image, the objects of
// the running batch (WorkObjects) and the saver chosen for it. Tests make
// fresh contexts; nothing here is global.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "codecs/codec_error.h"
#include "codecs/exif_date.h"
#include "codecs/gif_reader.h"
#include "codecs/gif_writer.h"
#include "codecs/jpeg_reader.h"
#include "codecs/jpeg_transform.h"
#include "codecs/jpeg_writer.h"
#include "codecs/plugin_host.h"
#include "codecs/png_reader.h"
#include "codecs/png_writer.h"
#include "codecs/tiff_reader.h"
#include "codecs/tiff_writer.h"
#include "engine/output_naming.h"
#include "imaging/colour_corrections.h"
#include "imaging/depth_converter.h"
#include "imaging/hue_saturation.h"
#include "imaging/image_buffer.h"
#include "imaging/resize.h"
#include "imaging/sharpen.h"

namespace pixlane {

// The image between its load and the end of its save. Processing steps that
// replace the pixels update width, height and bit count here, not the
// record's header.
struct CurrentImage {
  ImageBuffer* record = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitCount = 0;
};

enum class SaverKind { Bmp, Png, Jpeg, Tiff, Gif, JpegTransform };

struct SaverSelection {
  SaverKind saver = SaverKind::Bmp;
  std::u16string extension = u".bmp";
  int32_t targetDepth = 0;  // 0: keep the image's depth
  bool grayscale = false;
};

// The processing steps' tables, each built (once per batch) only while a
// switch that needs it is on; the contrast lines are rebuilt per image.
struct ProcessingTables {
  std::unique_ptr<SharpenTables> sharpen;        // UsmOpt
  std::unique_ptr<StretchTables> stretch;        // HgmOpt
  std::unique_ptr<BrightnessTables> brightness;  // GamOpt
  std::unique_ptr<ContrastTables> contrast;      // CrtOpt
  std::unique_ptr<HlsTables> hls;                // HlsSOpt or HlsHOpt
};

// Codec objects and processing records, allocated once per batch or preview.
struct WorkObjects {
  DepthConverter converter;     // the engine's own, for ExpandTo24
  GeometryParams geometry;      // reduction and rotation
  CorrectionParams correction;  // the colour steps, refilled before each
  SharpenParams sharpen;
  ProcessingTables tables;
  BmpReader bmpReader;
  BmpWriter bmpWriter;
  PngReader pngReader;
  PngWriter pngWriter;
  // The PNG reader's flattening table, built by AllocateWorkObjects.
  BlendTable pngBlend{};
  JpegReader jpegReader;
  JpegWriter jpegWriter;
  JpegTransformer jpegTransformer;
  ExifReader exifReader;
  TiffReader tiffReader;
  TiffWriter tiffWriter;
  GifReader gifReader;
  GifWriter gifWriter;
  PluginHost pluginHost;
};

struct EngineContext {
  CurrentImage current;
  std::unique_ptr<WorkObjects> work;
  SaverSelection saver;
  int32_t lastSaveDepth = 0;  // the depth the last save actually wrote
  // Why the last load or save failed, for front ends that report it.
  CodecError lastError = CodecError::None;
  // "SPI": the folder of the image input plug-ins, tried when no native
  // reader takes a file (empty: none).
  std::u16string pluginFolder;
  // The calls into plug-in libraries; null: the system's. Tests set a fake.
  PluginLoader* pluginLoader = nullptr;
  // The Exif date of the last JPEG loaded or transformed (NameSet 1).
  ExifDate exifDate;
};

}  // namespace pixlane
