// Recognises an input file's format from its first bytes (SniffFormat) or
// from its extension (FormatFromExtension). Only a few bytes are checked:
// the reader chosen from the answer validates the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "imaging/image_buffer.h"

namespace pixlane {

// Unknown when the file cannot be opened, Unreadable when it opened but its
// first bytes could not be read, otherwise the format the bytes announce.
FormatCode SniffFormat(std::u16string_view path);

// The same decision over bytes already in memory (`size` is the whole file).
FormatCode SniffFormatBytes(const uint8_t* data, size_t size);

// Case-insensitive extension match (from the last dot): .jpg .jpe .jpeg,
// .png, .gif, .bmp, .tif .tiff; anything else Unknown.
FormatCode FormatFromExtension(std::u16string_view fileName);

}  // namespace pixlane
