// A scratch folder of the fuzzing process, for entries that must hand the
// code under test a real file: made once under the temporary folder, with a
// helper that writes a file anew. Header only, so that the fuzz targets and
// the corpus replay tests compile it alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace pixlane::fuzz {

// Empty when no folder could be made.
inline const std::u16string& ScratchFolder() {
  static const std::u16string folder = [] {
    std::u16string probe;
    if (!MakeTemporaryFile(TemporaryFolder(), u"pixlane-fuzz", probe)) return std::u16string();
    const std::u16string made = probe + u".d";
    DeleteFilePath(probe);
    return CreateFolder(made) ? made : std::u16string();
  }();
  return folder;
}

// Replaces `path` with a file holding exactly `data`.
inline bool WriteFreshFile(const std::u16string& path, const uint8_t* data, size_t size) {
  DeleteFilePath(path);
  OutputFile file;
  if (!file.Create(path)) return false;
  const bool written = size == 0 || file.Write(data, size);
  return file.Close() && written;
}

}  // namespace pixlane::fuzz
