// POSIX file-name comparison: the portable table order for the list, and
// exact names for sameness (POSIX file systems are case-sensitive).
#include "platform/name_order.h"

namespace pixlane {

int CompareFileNames(std::u16string_view a, std::u16string_view b) {
  return CompareFileNamesPortable(a, b);
}

std::u16string FileNameKey(std::u16string_view name) { return std::u16string(name); }

}  // namespace pixlane
