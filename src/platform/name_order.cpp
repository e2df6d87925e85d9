// The portable file-name order: ASCII by a table measured from Windows'
// CompareStringW(NORM_IGNORECASE | SORT_STRINGSORT), everything else after
// it by code unit; ties between names equal but for case by code unit.
#include "platform/name_order.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace pixlane {
namespace {

// ASCII code units in ascending collation order; letters appear once (upper
// case) and their lower-case twins share the rank. Measured under Wine 8.0
// with the ja-JP and en-US locales, which differ only in the backslash (no
// Windows file name holds one; ja-JP's place is used). Every character but
// NUL has a primary weight of its own there and case is ignored, so
// comparing rank by rank is exact for ASCII names. Other code units rank
// after ASCII by value: an approximation (Windows puts accented letters
// beside their base letter and interleaves hiragana with katakana), kept
// simple and stable on purpose.
constexpr char kAsciiOrder[] =
    // Control characters, then DEL.
    "\x01\x02\x03\x04\x05\x06\x07\x08\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17"
    "\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F\x7F"
    // Apostrophe and hyphen first, then blank, then the blank-like controls.
    "'- \t\n\v\f\r"
    // Punctuation and symbols.
    "!\"#$%&()*,./:;?@[]^_`{|}~\\+<=>"
    "0123456789"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

constexpr std::array<uint8_t, 128> MakeRankTable() {
  std::array<uint8_t, 128> rank{};  // NUL keeps rank 0
  uint8_t next = 1;
  for (const char c : kAsciiOrder) {
    if (c == '\0') break;
    const auto u = static_cast<uint8_t>(c);
    rank[u] = next;
    if (u >= 'A' && u <= 'Z') rank[u + 32u] = next;
    ++next;
  }
  return rank;
}

constexpr std::array<uint8_t, 128> kRank = MakeRankTable();

// Collation weight of one code unit: ASCII by the table, everything else
// after it by value.
constexpr uint32_t Weight(char16_t c) {
  return c < 128 ? kRank[c] : 128u + static_cast<uint32_t>(c);
}

// Every ASCII code unit but the lower-case letters must have a rank of its
// own; a typo in the order string would break that.
constexpr bool RanksAreComplete() {
  std::array<int, 128> seen{};
  for (unsigned c = 1; c < 128; ++c) {
    if (kRank[c] == 0) return false;
    if (c >= 'a' && c <= 'z') continue;
    if (++seen[kRank[c]] != 1) return false;
  }
  return true;
}
static_assert(RanksAreComplete(), "the ASCII order must list every character once");

}  // namespace

int CompareFileNamesPortable(std::u16string_view a, std::u16string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    const uint32_t wa = Weight(a[i]);
    const uint32_t wb = Weight(b[i]);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  // Equal under the collation: fall back to code units.
  const int ordinal = a.compare(b);
  return ordinal < 0 ? -1 : (ordinal > 0 ? 1 : 0);
}

}  // namespace pixlane
