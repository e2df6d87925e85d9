// How file names compare: the order of the input list (Windows' case-
// insensitive "string sort", CompareStringW with NORM_IGNORECASE |
// SORT_STRINGSORT in the user's locale) and whether two names denote the same
// file in one folder. Windows asks the system; POSIX reproduces the measured
// order of the ASCII characters from a table (see name_order.cpp), and puts
// every other code unit after them, by code unit value.
#pragma once

#include <string>
#include <string_view>

namespace pixlane {

// Negative, zero or positive like strcmp. Zero only for identical names:
// names that the collation ranks equal (they differ only in letter case) are
// ordered by UTF-16 code unit, upper case first, in every build, so that a
// list of names sorts the same way everywhere.
int CompareFileNames(std::u16string_view a, std::u16string_view b);

// The table-driven order that the POSIX build uses, compiled into every
// build so that the Windows tests can hold it against the system's.
int CompareFileNamesPortable(std::u16string_view a, std::u16string_view b);

inline bool FileNameLess(std::u16string_view a, std::u16string_view b) {
  return CompareFileNames(a, b) < 0;
}

// A key that two names share exactly when they denote the same entry of a
// folder: upper-cased on Windows (case-insensitive file systems), the name
// itself on POSIX.
std::u16string FileNameKey(std::u16string_view name);

}  // namespace pixlane
