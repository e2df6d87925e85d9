// The "ANSI code page" of the Windows build is the system code page
// (CP_ACP). Characters it cannot represent become the code page's default
// character; invalid byte sequences become replacement characters.
#include <windows.h>

#include <climits>

#include "platform/text.h"

namespace pixlane {
namespace {

static_assert(sizeof(wchar_t) == 2, "UTF-16 strings are passed to the W functions as they are");

}  // namespace

std::string Utf16ToAnsi(std::u16string_view text) {
  // The conversion functions take int lengths; longer texts are not text.
  if (text.empty() || text.size() > INT_MAX) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<size_t>(bytes), '\0');
  const int written =
      ::WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), bytes, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out;
}

std::u16string AnsiToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::u16string out(static_cast<size_t>(units), u'\0');
  const int written = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length,
                                            reinterpret_cast<wchar_t*>(out.data()), units);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out;
}

}  // namespace pixlane
