// Exif look-up: the codec's byte-level reader into the naming's ExifDate.
#include "engine/exif_lookup.h"

#include "codecs/format_sniff.h"

namespace pixlane {

void LookUpExifDate(ExifReader& reader, std::u16string_view path, ExifDate& date) {
  date.Clear();
  if (!ReadExifDateFile(reader, path)) return;
  date.text = reader.date;
  date.present = true;
}

void ReadPreviewExifDate(std::u16string_view path, ExifDate& date) {
  date.Clear();
  if (SniffFormat(path) != FormatCode::Jpeg) return;
  ExifReader reader;
  LookUpExifDate(reader, path, date);
}

}  // namespace pixlane
