// One input file to one temporary output file: load, the enabled
// processing steps in their fixed order, and the run's saver. The temporary
// file gets a name of the stale-file pattern (temporary_files.h) and is
// created exclusively by the writer; every failure deletes it (only when it
// is the file this run created) and leaves no pixel buffer behind.
#pragma once

#include <string>
#include <string_view>

#include "engine/engine_context.h"
#include "settings/conversion_parameters.h"

namespace pixlane {

// The ordinary per-file routine: LoadImageFile, a fresh temporary file in
// `temporaryFolder` (the batch passes its output folder, so that the commit
// is a rename), ProcessAndSave, then the pixels are released. On success
// `tempPath` names the written file, which the caller commits or deletes.
bool ConvertFile(EngineContext& context, const ConversionParameters& params,
                 std::u16string_view inputPath, std::u16string_view temporaryFolder,
                 std::u16string& tempPath);

// The lossless JPEG routine used when JTrans is set: TransformJpegFile with
// "TurOpt", "Marker", "Progressive" and SelectSaver's grayscale flag into a
// fresh temporary file; the input's identity and partial flag are recorded
// as by LoadImageFile; on success the current width and height are the
// output's, the Exif date is read with "NameSet" 1, and with "CmtOpt" the
// comment is put in through a second temporary file. On failure no
// temporary file remains.
bool TransformFile(EngineContext& context, const ConversionParameters& params,
                   std::u16string_view inputPath, std::u16string_view temporaryFolder,
                   std::u16string& tempPath);

// The per-file routine SelectSaver chose for the run.
bool ConvertOrTransformFile(EngineContext& context, const ConversionParameters& params,
                            std::u16string_view inputPath, std::u16string_view temporaryFolder,
                            std::u16string& tempPath);

// Runs the enabled steps on the current image in the fixed order rotation
// (TurOpt), auto-levels (HgmOpt), brightness (GamOpt), contrast (CrtOpt),
// hue and saturation (HlsHOpt/HlsSOpt), reduction (RszOpt), sharpening
// (UsmOpt), and saves it to `tempPath`. The colour steps work in place (an
// 8-bit image through its palette); rotation, reduction and sharpening
// replace the pixels, and a reduction or sharpening that runs leaves 24
// bits. False when a step or the save fails.
bool ProcessAndSave(EngineContext& context, const ConversionParameters& params,
                    std::u16string_view tempPath);

// Converts the current image to 24 bits in place (a new pixel block
// replaces the old one); succeeds without change when it is 24-bit already.
bool ExpandTo24(EngineContext& context);

}  // namespace pixlane
