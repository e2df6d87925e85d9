// Exif shooting date reader.
// Supports: JPEG files whose first Exif APP1 segment ("Exif\0\0") in front of
//   the first scan holds a TIFF structure in either byte order, with IFD0 →
//   Exif IFD (tag 34665) → DateTimeOriginal (tag 36867). APP1 segments of
//   other kinds (XMP) are passed over.
// Rejects: (no date) a broken marker structure, offsets or entries outside
//   the Exif segment, a missing or zero Exif IFD pointer.
// Limits: the 20 raw bytes at the value's offset are returned as stored
//   (normally "YYYY:MM:DD HH:MM:SS" and a zero); the type and count fields
//   are not checked. Never reads outside the given bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/file_map.h"

namespace pixlane {

inline constexpr size_t kExifDateBytes = 20;
using ExifDateBytes = std::array<char, kExifDateBytes>;

// Fills `date` and returns true when the file's bytes hold a
// DateTimeOriginal value; otherwise returns false and leaves `date` zeroed.
bool ReadExifDate(const uint8_t* data, size_t size, ExifDateBytes& date);

// The Exif reader object of a batch: maps the file, reads the date and
// releases the mapping before it returns.
struct ExifReader {
  CodecFileState file;
  ExifDateBytes date{};
  bool present = false;
};

// Clears the reader's date, then reads it from the file at `path`. False
// when the file cannot be mapped or holds no date.
bool ReadExifDateFile(ExifReader& reader, std::u16string_view path);

}  // namespace pixlane
