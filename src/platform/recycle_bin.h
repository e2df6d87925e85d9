// Moving a file to the user's recycle bin: the shell's recycle bin on
// Windows, the freedesktop.org trash (through GIO) on POSIX. A failed move
// leaves the file where it was; it never falls back to deleting it.
#pragma once

#include <string_view>

namespace pixlane {

// True when the file is no longer at `path` and can be restored from the
// recycle bin.
bool MoveToRecycleBin(std::u16string_view path);

}  // namespace pixlane
