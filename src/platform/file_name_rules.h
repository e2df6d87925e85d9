// What may stand in a file name that the program makes up from settings and
// input names: no path separators, no drive or stream colon, none of the
// characters Windows refuses (* ? " < > |), no control characters, not "."
// or "..", no trailing dot or space, no device name (CON, NUL, COM1, ...
// with any extension). Settings are held to these rules on every platform,
// so that a settings file shared between systems never writes outside its
// folder; names built from input names are held to the host's own rules.
#pragma once

#include <string_view>

namespace pixlane {

enum class NameProblem {
  None,
  Empty,
  PathSeparator,      // '/' or '\\'
  Colon,              // a drive or an NTFS stream
  ReservedCharacter,  // * ? " < > |
  ControlCharacter,   // U+0000..U+001F, U+007F
  DotName,            // "." or ".."
  TrailingDotOrSpace,
  DeviceName,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension
};

// A piece of a name (a prefix or a suffix): may be empty, may not hold any
// character that is refused anywhere in a name.
NameProblem CheckNamePiece(std::u16string_view piece);

// A whole file or folder name (one component).
NameProblem CheckFileName(std::u16string_view name);

// A name this program is about to create in a folder of this system: the
// whole of CheckFileName on Windows. On POSIX only what would leave the
// folder or name no file ('/', NUL, "." and ".."): an input named
// "12:00:00.png" there is a valid file whose output must keep working.
NameProblem CheckHostFileName(std::u16string_view name);

// A short English description for messages: "contains a path separator".
const char* NameProblemText(NameProblem problem);

}  // namespace pixlane
