// The input-list name order: one fixed expected order that the POSIX table
// and Windows' CompareStringW must both produce, and on Windows the table
// checked against the system over every two-character ASCII name and many
// random ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/name_order.h"
#include "platform/text.h"

namespace pixlane {
namespace {

std::vector<std::u16string> ToUtf16(const std::vector<std::string>& names) {
  std::vector<std::u16string> out;
  for (const std::string& name : names) out.push_back(Utf8ToUtf16(name));
  return out;
}

TEST(NameOrderTest, SortsNamesAsWindowsStringSortDoes) {
  // Apostrophe and hyphen before blank, blank before the other punctuation,
  // "+" after "~", then digits, then letters without regard to case (ties by
  // code unit, upper case first), then everything beyond ASCII.
  const std::vector<std::u16string> expected = ToUtf16({
      "'q.bmp", "(1).bmp", "~x.bmp", "0.bmp", "a-b.bmp", "a b.bmp", "a,b.bmp", "a.b.bmp",
      "A.bmp", "a_b.bmp", "A1.bmp", "a10.bmp", "a2.bmp", "ab.bmp", "ABC.bmp", "Abc.bmp",
      "abc.bmp", "x-1.bmp", "x 1.bmp", "x.bmp", "x_1.bmp", "x+1.bmp", "x+2.bmp", "X1.bmp",
      "x10.bmp", "x2.bmp", "あ.jpg", "いろ.jpg", "カメラ.jpg", "写真.jpg", "写真+1.jpg",
  });
  std::vector<std::u16string> names = expected;
  std::mt19937 random(7);
  for (int round = 0; round < 5; ++round) {
    std::shuffle(names.begin(), names.end(), random);
    std::sort(names.begin(), names.end(), FileNameLess);
    ASSERT_EQ(names, expected);
  }
}

TEST(NameOrderTest, IsATotalOrderWithCaseTiesByCodeUnit) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"x.bmp", "x+1.bmp", -1}, {"a-b", "ab", -1}, {"a_b", "ab", -1}, {"a-b", "a_b", -1},
      {"A1", "a10", -1},        {"a10", "a2", -1}, {"ABC", "abc", -1}, {"abc", "ABC", 1},
      {"abc", "abc", 0},        {"ab", "ab-", -1}, {"", "a", -1},      {"~", "あ", -1},
  };
  for (const Case& c : cases) {
    const std::u16string a = Utf8ToUtf16(c.a);
    const std::u16string b = Utf8ToUtf16(c.b);
    for (const auto compare : {&CompareFileNames, &CompareFileNamesPortable}) {
      const int result = compare(a, b);
      EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
    }
  }
}

TEST(NameOrderTest, FileNameKeyFollowsTheFileSystemsCaseRule) {
  EXPECT_EQ(FileNameKey(u"photo.jpg"), FileNameKey(u"photo.jpg"));
  EXPECT_NE(FileNameKey(u"photo.jpg"), FileNameKey(u"photo+1.jpg"));
#ifdef _WIN32
  EXPECT_EQ(FileNameKey(u"Photo.JPG"), FileNameKey(u"photo.jpg"));
  EXPECT_EQ(FileNameKey(u"\u00C9t\u00E9.jpg"), FileNameKey(u"\u00E9T\u00C9.JPG"));
#else
  EXPECT_NE(FileNameKey(u"Photo.JPG"), FileNameKey(u"photo.jpg"));
#endif
}

// Sorts with the system's order and checks that the portable order agrees on
// every neighbouring pair; two total orders that agree there agree
// everywhere.
void ExpectPortableOrderMatchesSystem(std::vector<std::u16string> names) {
  std::sort(names.begin(), names.end(), FileNameLess);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (size_t i = 1; i < names.size(); ++i) {
    ASSERT_LT(CompareFileNamesPortable(names[i - 1], names[i]), 0)
        << Utf16ToUtf8(names[i - 1]) << " | " << Utf16ToUtf8(names[i]);
  }
}

// Every character that a Windows file name can hold, excluding the
// backslash, whose place depends on the locale (and which no name holds).
std::u16string PrintableAscii() {
  std::u16string chars;
  for (char16_t c = 0x20; c <= 0x7E; ++c) {
    if (c != u'\\') chars.push_back(c);
  }
  return chars;
}

TEST(NameOrderTest, PortableTableMatchesTheSystemForTwoCharacterNames) {
#ifndef _WIN32
  GTEST_SKIP() << "the system order is Windows'";
#endif
  const std::u16string chars = PrintableAscii();
  std::vector<std::u16string> names;
  for (const char16_t first : chars) {
    names.push_back(std::u16string(1, first));
    for (const char16_t second : chars) names.push_back(std::u16string{first, second});
  }
  ExpectPortableOrderMatchesSystem(std::move(names));
}

TEST(NameOrderTest, PortableTableMatchesTheSystemForRandomNames) {
#ifndef _WIN32
  GTEST_SKIP() << "the system order is Windows'";
#endif
  // A small alphabet makes long common prefixes and case-only differences.
  const std::u16string alphabet = u"aAbB01+-_. ~'(";
  std::mt19937 random(11);
  std::vector<std::u16string> names;
  for (int i = 0; i < 4000; ++i) {
    std::u16string name;
    const size_t length = 1 + random() % 8;
    for (size_t k = 0; k < length; ++k) name.push_back(alphabet[random() % alphabet.size()]);
    names.push_back(std::move(name));
  }
  ExpectPortableOrderMatchesSystem(std::move(names));
}

}  // namespace
}  // namespace pixlane
