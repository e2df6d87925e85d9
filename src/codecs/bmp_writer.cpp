// Placeholder until the BMP writer lands.
#include "codecs/bmp_writer.h"
namespace pixlane {
bool WriteBmp(BmpWriter&, std::u16string_view, const RgbQuad*, const uint8_t*) { return false; }
}  // namespace pixlane
