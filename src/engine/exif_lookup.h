// The Exif date look-up of the conversion engine ("NameSet" 1): fills the
// engine's ExifDate from the DateTimeOriginal value of a JPEG file. Used
// after a JPEG load, after a lossless transform (on its input) and, through
// ReadPreviewExifDate, by the name preview, which reads only the Exif data.
#pragma once

#include <string_view>

#include "codecs/exif_date.h"
#include "engine/output_naming.h"

namespace pixlane {

// Clears `date`, then fills it from the Exif data of the file at `path`
// with `reader` (the mapping is released before returning). The file's
// format is not checked; ReadExifDate finds no date outside a JPEG.
void LookUpExifDate(ExifReader& reader, std::u16string_view path, ExifDate& date);

// The PreviewRequest::readExifDate hook: files whose first bytes identify
// JPEG get their Exif date; other files are left with a cleared date.
void ReadPreviewExifDate(std::u16string_view path, ExifDate& date);

}  // namespace pixlane
