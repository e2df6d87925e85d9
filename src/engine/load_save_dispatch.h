// Load and save dispatch: the reader chosen by a file's first bytes, the
// saver chosen by the output format and depth settings, and the
// once-per-batch allocation of the codec objects.
#pragma once

#include <string_view>

#include "engine/engine_context.h"
#include "settings/conversion_parameters.h"

namespace pixlane {

// Allocates the batch's codec objects and processing records and prepares
// the tables of the processing switches that are on in `params`. False when
// memory is short; the caller then calls ReleaseWorkObjects, which is safe
// after a partial allocation.
bool AllocateWorkObjects(EngineContext& context, const ConversionParameters& params);
void ReleaseWorkObjects(EngineContext& context);

// Builds the tables that the switches on in `params` need and that are not
// built yet (sharpening; auto-levels; brightness; contrast; hue and
// saturation). False when memory is short.
bool PrepareProcessingTables(WorkObjects& work, const ConversionParameters& params);

// Loads `path` into the current image through the reader its first bytes
// select. False when the file is missing, unreadable or rejected; no pixel
// buffer of the file is left behind then. The engine's Exif date is cleared
// first; a JPEG is decoded at a reduced scale when the resize box of
// "RszOpt"/"RszSize" allows, and with "NameSet" 1 its Exif date is read.
bool LoadImageFile(EngineContext& context, const ConversionParameters& params,
                   std::u16string_view path);
// The same with the default settings: full-size decoding, no Exif date.
bool LoadImageFile(EngineContext& context, std::u16string_view path);

// The image input plug-in fallback: the image a plug-in of the folder
// "SPI" (context.pluginFolder) decoded, or null; no library is loaded when
// the folder is empty or not a directory. When a plug-in accepted the file
// and failed, lastError says why. The record belongs to the plug-in host.
ImageBuffer* LoadImageWithPlugin(EngineContext& context, std::u16string_view path);

// Frees the current image's pixels; its width, height and bit count stay
// until the next load.
void ReleaseCurrentImage(EngineContext& context);

// Chooses saver, target depth, grayscale flag and output extension from
// OFmt, DepOpt and JTrans. Combinations that have no depth of their own keep
// the image's depth.
void SelectSaver(EngineContext& context, const ConversionParameters& params);

// Writes the current image with the selected saver. False on failure (a
// partly written file may remain; the caller deletes it).
bool SaveImageFile(EngineContext& context, const ConversionParameters& params,
                   std::u16string_view outputPath);

}  // namespace pixlane
