// Stable names of CodecError values.
#include "codecs/codec_error.h"

namespace pixlane {

const char* CodecErrorName(CodecError error) {
  switch (error) {
    case CodecError::None: return "None";
    case CodecError::CannotOpen: return "CannotOpen";
    case CodecError::Truncated: return "Truncated";
    case CodecError::BadHeader: return "BadHeader";
    case CodecError::BadDimensions: return "BadDimensions";
    case CodecError::UnsupportedDepth: return "UnsupportedDepth";
    case CodecError::UnsupportedCompression: return "UnsupportedCompression";
    case CodecError::SizeOverflow: return "SizeOverflow";
    case CodecError::OutOfMemory: return "OutOfMemory";
    case CodecError::ConversionFailed: return "ConversionFailed";
    case CodecError::WriteFailed: return "WriteFailed";
    case CodecError::UnsupportedFormat: return "UnsupportedFormat";
    case CodecError::BadChecksum: return "BadChecksum";
    case CodecError::PluginFailed: return "PluginFailed";
  }
  return "Unknown";
}

}  // namespace pixlane
