// UTF-8/UTF-16 conversion, including what the POSIX layer relies on for
// non-ASCII file names, and ASCII case folding.
#include <gtest/gtest.h>

#include "platform/text.h"

namespace pixlane {
namespace {

TEST(TextTest, RoundTripsJapaneseAndSupplementaryCharacters) {
  const std::u16string samples[] = {u"", u"abc", u"変換処理後に終了", u"8bitグレイスケール",
                                    u"\U0001F600 x", u"caf\u00e9"};
  for (const std::u16string& s : samples) {
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
  }
  EXPECT_EQ(Utf16ToUtf8(u"\u00e9"), "\xC3\xA9");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(TextTest, ReplacesMalformedInputInsteadOfDroppingIt) {
  // Truncated sequence, stray continuation byte, overlong encoding, encoded
  // surrogate, lone UTF-16 surrogate.
  EXPECT_EQ(Utf8ToUtf16("a\xE3\x81"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\x80z"), u"\uFFFDz");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), "\xEF\xBF\xBDx");
}

TEST(TextTest, AnsiRoundTripsAscii) {
  EXPECT_EQ(Utf16ToAnsi(u"Comment 1"), "Comment 1");
  EXPECT_EQ(AnsiToUtf16("Comment 1"), u"Comment 1");
}

TEST(TextTest, BoundedAnsiConversionStopsAtZeroAndWholeCharacters) {
  EXPECT_EQ(Utf16ToAnsiWithin(u"abc", 3), "abc");
  EXPECT_EQ(Utf16ToAnsiWithin(u"abcdef", 4), "abcd");
  EXPECT_EQ(Utf16ToAnsiWithin(std::u16string(u"ab") + u'\0' + u"cd", 10), "ab");
  EXPECT_EQ(Utf16ToAnsiWithin(u"", 0), "");
#ifndef _WIN32
  // UTF-8 here: a three-byte character is never cut, nor a surrogate pair.
  EXPECT_EQ(Utf16ToAnsiWithin(u"a変換", 5), "a\xE5\xA4\x89");
  EXPECT_EQ(Utf16ToAnsiWithin(u"ab\U0001F600", 5), "ab");
#endif
}

TEST(TextTest, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsIgnoreCaseAscii(u".JPEG", u".jpeg"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii(u".jpg", u".jpeg"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii(u"\u00c9", u"\u00e9"));
}

}  // namespace
}  // namespace pixlane
