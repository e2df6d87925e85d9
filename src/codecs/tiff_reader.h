// TIFF reader.
// Supports: uncompressed files in either byte order ("II", "MM"), first
//   image file directory only: bilevel and 4/8-bit grayscale (WhiteIsZero,
//   BlackIsZero), 1/4/8-bit palette (ColorMap, high byte of each value), RGB
//   with 8 or 16 bits per sample (16-bit samples keep their high byte); any
//   number of strips, SHORT or LONG, joined in order; XResolution and
//   YResolution with ResolutionUnit inch or centimetre become pixels per
//   metre. Delivers 8-bit palette/gray-ramp or 24-bit images.
// Rejects: bad byte-order mark or magic number, directories, strips or a
//   ColorMap outside the file, sizes outside 1..25000, compression other
//   than 1, samples or bit depths outside the kinds above (alpha, 16-bit
//   gray, planar RGB), missing or inconsistent strip tags, files whose strips
//   hold no bytes.
// Limits: strips shorter than the image leave the missing pixels zero (index
//   0, black for RGB); RowsPerStrip, FillOrder and Orientation are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/codec_error.h"
#include "imaging/image_buffer.h"
#include "platform/file_map.h"
#include "platform/pixel_memory.h"

namespace pixlane {

// A StripOffsets or StripByteCounts entry: its values are read from the
// file where they stand, never copied.
struct TiffStripTable {
  bool isPresent = false;
  bool isShort = false;   // SHORT (else LONG) values
  uint32_t count = 0;
  size_t valuesAt = 0;    // file offset of the first value
};

struct TiffReader {
  CodecFileState file;
  ImageBuffer image;
  int32_t width = 0;
  int32_t height = 0;
  int32_t photometric = 4;  // 4 until read, so that a missing tag fails
  uint32_t colourMapOffset = 0;
  uint32_t xResolutionOffset = 0;
  uint32_t yResolutionOffset = 0;
  bool isLittleEndian = true;
  int32_t bitsPerSample = 1;
  int32_t outputBitCount = 0;   // 8 or 24
  int32_t compression = 1;
  int32_t samples = 1;          // values in BitsPerSample (SamplesPerPixel wins)
  int32_t samplesPerPixel = 0;  // 0 when the tag is absent
  int32_t planarConfiguration = 1;
  int32_t resolutionUnit = 2;   // inch
  TiffStripTable stripOffsets;
  TiffStripTable stripByteCounts;
  PixelBlock stripData;  // the strips joined, at most the bytes the rows need
  CodecError error = CodecError::None;
};

// Reads the first image of a TIFF file into the reader's image. Returns null
// on failure (the reason is in reader.error and no pixel buffer is left);
// the returned image belongs to the reader and stays valid until its next
// read. The file is unmapped before returning.
ImageBuffer* ReadTiff(TiffReader& reader, std::u16string_view path);

// The same over a whole file already in memory (tests and fuzzing);
// lastWriteTime stays 0.
ImageBuffer* ReadTiffMemory(TiffReader& reader, const uint8_t* data, size_t size);

}  // namespace pixlane
