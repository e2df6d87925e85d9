// Windows file-name comparison: CompareStringW(NORM_IGNORECASE |
// SORT_STRINGSORT) in the user's default locale for the list order, with
// code-unit order breaking its ties; invariant upper-casing for sameness.
#include <windows.h>

#include <climits>

#include "platform/name_order.h"

namespace pixlane {
namespace {

const wchar_t* Wide(std::u16string_view text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}

}  // namespace

int CompareFileNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() > static_cast<size_t>(INT_MAX) || b.size() > static_cast<size_t>(INT_MAX)) {
    return CompareFileNamesPortable(a, b);
  }
  const int result =
      CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, Wide(a),
                     static_cast<int>(a.size()), Wide(b), static_cast<int>(b.size()));
  if (result == CSTR_LESS_THAN) return -1;
  if (result == CSTR_GREATER_THAN) return 1;
  if (result != CSTR_EQUAL) return CompareFileNamesPortable(a, b);  // the call failed
  const int ordinal = a.compare(b);
  return ordinal < 0 ? -1 : (ordinal > 0 ? 1 : 0);
}

std::u16string FileNameKey(std::u16string_view name) {
  if (name.empty() || name.size() > static_cast<size_t>(INT_MAX)) return std::u16string(name);
  // Upper-casing maps each code unit to one code unit, so the result has the
  // same length; on failure fall back to ASCII upper case.
  std::u16string key(name.size(), u'\0');
  const int size = static_cast<int>(name.size());
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, Wide(name), size,
                    reinterpret_cast<wchar_t*>(key.data()), size, nullptr, nullptr,
                    0) != size) {
    key.assign(name);
    for (char16_t& c : key) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    }
  }
  return key;
}

}  // namespace pixlane
