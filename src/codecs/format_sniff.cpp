// Format recognition from the first bytes of a file and from its extension.
#include "codecs/format_sniff.h"

#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane {

FormatCode SniffFormatBytes(const uint8_t* data, size_t size) {
  if (size < 2) return FormatCode::Unreadable;
  const uint8_t a = data[0];
  const uint8_t b = data[1];
  if (a == 'G' && b == 'I') {
    if (size < 3) return FormatCode::Unreadable;
    return data[2] == 'F' ? FormatCode::Gif : FormatCode::Unknown;
  }
  if (a == 'B' && b == 'M') return FormatCode::Bmp;
  if (a == 'M' && b == 'M') {
    // Big-endian TIFF: the magic 42 is in the fourth byte.
    if (size < 4) return FormatCode::Unreadable;
    return data[3] == 0x2A ? FormatCode::Tiff : FormatCode::Unknown;
  }
  if (a == 'I' && b == 'I') {
    // Little-endian TIFF: the magic 42 is in the third byte.
    if (size < 3) return FormatCode::Unreadable;
    return data[2] == 0x2A ? FormatCode::Tiff : FormatCode::Unknown;
  }
  if (a == 0x89 && b == 'P') {
    // Two reads, of 2 and then 4 bytes: only a read that finds no byte at
    // all makes the file unreadable; a short one simply fails to match.
    if (size < 5) return FormatCode::Unreadable;
    if (size < 8) return FormatCode::Unknown;
    static constexpr uint8_t kRest[6] = {'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (size_t i = 0; i < 6; ++i) {
      if (data[2 + i] != kRest[i]) return FormatCode::Unknown;
    }
    return FormatCode::Png;
  }
  if (a == 0xFF && b == 0xD8) return FormatCode::Jpeg;
  return FormatCode::Unknown;
}

FormatCode SniffFormat(std::u16string_view path) {
  InputFile file;
  if (!file.Open(path)) return FormatCode::Unknown;
  uint8_t head[8];
  const size_t n = file.Read(head, sizeof head);
  return SniffFormatBytes(head, n);
}

FormatCode FormatFromExtension(std::u16string_view fileName) {
  const size_t dot = fileName.rfind(u'.');
  if (dot == std::u16string_view::npos) return FormatCode::Unknown;
  const std::u16string_view ext = fileName.substr(dot);
  struct Entry {
    std::u16string_view ext;
    FormatCode code;
  };
  static constexpr Entry kTable[] = {
      {u".jpg", FormatCode::Jpeg}, {u".png", FormatCode::Png},   {u".gif", FormatCode::Gif},
      {u".bmp", FormatCode::Bmp},  {u".tif", FormatCode::Tiff},  {u".tiff", FormatCode::Tiff},
      {u".jpe", FormatCode::Jpeg}, {u".jpeg", FormatCode::Jpeg},
  };
  for (const Entry& e : kTable) {
    if (EqualsIgnoreCaseAscii(ext, e.ext)) return e.code;
  }
  return FormatCode::Unknown;
}

}  // namespace pixlane
