// Placeholder until the BMP reader lands.
#include "codecs/bmp_reader.h"
namespace pixlane {
ImageBuffer* ReadBmp(BmpReader&, std::u16string_view) { return nullptr; }
ImageBuffer* ReadBmpMemory(BmpReader&, const uint8_t*, size_t) { return nullptr; }
}  // namespace pixlane
