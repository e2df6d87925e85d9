// Why a reader or writer failed. The names are stable: the CLI prints them
// and tests assert on them.
#pragma once

namespace pixlane {

enum class CodecError {
  None,
  CannotOpen,          // the file could not be opened, mapped or created
  Truncated,           // the file ends inside a header or table
  BadHeader,           // a header field is malformed or contradictory
  BadDimensions,       // width or height outside 1..25000
  UnsupportedDepth,    // a bit depth the format or this codec does not handle
  UnsupportedCompression,
  SizeOverflow,        // a size product does not fit
  OutOfMemory,
  ConversionFailed,    // the depth converter refused or failed
  WriteFailed,
  UnsupportedFormat,   // no reader or writer for this format
  BadChecksum,         // a checksum over part of the file does not match
  PluginFailed,        // an input plug-in accepted the file, then failed
};

const char* CodecErrorName(CodecError error);

}  // namespace pixlane
