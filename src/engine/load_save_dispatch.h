// Load and save dispatch: the reader chosen by a file's first bytes, the
// saver chosen by the output format and depth settings, and the
// once-per-batch allocation of the codec objects.
#pragma once

#include <string_view>

#include "engine/engine_context.h"
#include "settings/conversion_parameters.h"

namespace pixlane {

// Allocates the batch's codec objects. False when memory is short; the
// caller then calls ReleaseWorkObjects, which is safe after a partial
// allocation.
bool AllocateWorkObjects(EngineContext& context);
void ReleaseWorkObjects(EngineContext& context);

// Loads `path` into the current image through the reader its first bytes
// select. False when the file is missing, unreadable or rejected; no pixel
// buffer of the file is left behind then.
bool LoadImageFile(EngineContext& context, std::u16string_view path);

// Frees the current image's pixels and clears the current-image state.
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
