// The INI layer's private-profile rules. The same cases run natively (our
// own reader and writer) and under Wine (the real Win32 functions), so the
// two implementations are held to one behaviour. Input files are written as
// UTF-16LE with a byte-order mark, which both read; written files are
// compared as decoded text with LF line ends.
#include "platform/ini_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

using namespace std::literals;

// A fresh folder named after a temporary file that is kept until the
// folder is gone: test processes share the temporary folder (under Wine
// too) and must never be handed the same folder.
class Scratch {
 public:
  Scratch() {
    if (MakeTemporaryFile(TemporaryFolder(), u"pxi", reservation_)) {
      path_ = reservation_ + u".d";
      CreateFolder(path_);
    }
    EXPECT_TRUE(IsDirectory(path_));
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path_), ignored);
    DeleteFilePath(reservation_);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::u16string File(std::string_view name) const { return JoinPath(path_, Utf8ToUtf16(name)); }

 private:
  std::u16string reservation_;
  std::u16string path_;
};

void WriteUtf16File(const std::u16string& path, std::u16string_view text) {
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  ASSERT_TRUE(test::WriteWholeFile(path, bytes));
}

// The file's text whatever its encoding, with CR LF turned into LF.
std::u16string DecodedText(const std::u16string& path, bool* isUtf16 = nullptr) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(test::ReadWholeFile(path, bytes));
  std::u16string text;
  const bool utf16 = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  if (isUtf16 != nullptr) *isUtf16 = utf16;
  if (utf16) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
  } else {
    text = Utf8ToUtf16(std::string(bytes.begin(), bytes.end()));
  }
  std::u16string lf;
  for (char16_t c : text) {
    if (c != u'\r') lf.push_back(c);
  }
  return lf;
}

TEST(IniFileTest, MissingFileGivesDefaultsAndIsNotCreatedByDeletes) {
  Scratch dir;
  const std::u16string ini = dir.File("missing.ini");
  EXPECT_EQ(ReadIniInt(ini, u"S", u"k", -5), -5);
  EXPECT_EQ(ReadIniString(ini, u"S", u"k", u"fallback", 260), u"fallback");
  // The default loses its trailing spaces and is bounded like a value.
  EXPECT_EQ(ReadIniString(ini, u"S", u"k", u"ab  ", 260), u"ab");
  EXPECT_EQ(ReadIniString(ini, u"S", u"k", u"abcdef", 4), u"abc");
  EXPECT_TRUE(DeleteIniSection(ini, u"S"));
  EXPECT_TRUE(DeleteIniKey(ini, u"S", u"k"));
  EXPECT_FALSE(PathExists(ini));
}

TEST(IniFileTest, WritesKeepOrderAndCompareNamesCaseInsensitively) {
  Scratch dir;
  const std::u16string ini = dir.File("order.ini");
  ASSERT_TRUE(WriteIniString(ini, u"First", u"a", u"1"));
  EXPECT_TRUE(PathExists(ini));
  ASSERT_TRUE(WriteIniString(ini, u"First", u"b", u"2"));
  ASSERT_TRUE(WriteIniString(ini, u"Second", u"c", u"3"));
  ASSERT_TRUE(WriteIniString(ini, u"first", u"A", u"10"));  // replaced where it is
  ASSERT_TRUE(WriteIniString(ini, u"FIRST", u"d", u"4"));   // added to its section
  ASSERT_TRUE(WriteIniString(ini, u"Second", u"e", u"  padded  "));
  EXPECT_EQ(ReadIniInt(ini, u"FIRST", u"a", 0), 10);
  EXPECT_EQ(ReadIniString(ini, u"second", u"C", u"", 260), u"3");
  EXPECT_EQ(DecodedText(ini), u"[First]\na=10\nb=2\nd=4\n[Second]\nc=3\ne=padded\n");
}

TEST(IniFileTest, ReadsIntegersLikeGetPrivateProfileInt) {
  Scratch dir;
  const std::u16string ini = dir.File("ints.ini");
  WriteUtf16File(ini,
                 u"[N]\r\nplain=42\r\nnegative=-17\r\nplus=+8\r\ntrailing=12px\r\n"
                 u"word=abc\r\nempty=\r\nspaced =  -3  \r\nsigns=+-3\r\n");
  struct Case {
    const char16_t* key;
    int32_t expected;
  };
  const Case cases[] = {
      {u"plain", 42}, {u"negative", -17}, {u"plus", 8},  {u"trailing", 12}, {u"word", 0},
      {u"empty", 99}, {u"spaced", -3},    {u"signs", 0}, {u"absent", 99},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadIniInt(ini, u"N", c.key, 99), c.expected) << Utf16ToUtf8(c.key);
  }
  EXPECT_EQ(ReadIniInt(ini, u"Other", u"plain", 7), 7);
}

TEST(IniFileTest, ReadsStringsTrimmedUnquotedAndBounded) {
  Scratch dir;
  const std::u16string ini = dir.File("strings.ini");
  WriteUtf16File(ini,
                 u"; leading comment\r\n"
                 u"[ S ]\r\n"
                 u"  blanks  =  a b  \t\r\n"
                 u"double=\"  kept  \"\r\n"
                 u"single='x'\r\n"
                 u"unmatched=\"y'\r\n"
                 u"open=\"z\r\n"
                 u"emptyquotes=\"\"\r\n"
                 u"wide=\u3000w\u3000\r\n"
                 u"long=abcdefgh\r\n"
                 u";hidden=1\r\n"
                 u"nul=ab\0cd\r\n"
                 u"[s]\r\n"
                 u"second=only in the second section\r\n"sv);  // sv: the text holds a NUL
  struct Case {
    const char16_t* key;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {u"blanks", u"a b"},         {u"double", u"  kept  "}, {u"single", u"x"},
      {u"unmatched", u"\"y'"},     {u"open", u"\"z"},        {u"emptyquotes", u""},
      {u"wide", u"\u3000w\u3000"},                     // only ASCII blanks are trimmed
      {u";hidden", u"-"},          {u"second", u"-"},  // first matching section only
      {u"nul", u"ab"},                                 // a value ends at a NUL
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadIniString(ini, u"S", c.key, u"-", 260), c.expected) << Utf16ToUtf8(c.key);
  }
  EXPECT_EQ(ReadIniString(ini, u"S", u"long", u"", 5), u"abcd");
  EXPECT_EQ(ReadIniString(ini, u"S", u"long", u"", 9), u"abcdefgh");
  EXPECT_EQ(ReadIniString(ini, u"S", u"long", u"", 1), u"");
}

TEST(IniFileTest, DeletesKeysAndWholeSectionsKeepingOtherLines) {
  Scratch dir;
  const std::u16string ini = dir.File("delete.ini");
  WriteUtf16File(ini,
                 u"[Keep]\r\n; note\r\nk=1\r\n"
                 u"[Gone]\r\nx=1\r\ny=2\r\n"
                 u"[Mixed]\r\nm=1\r\nn=2\r\n"
                 u"[gone]\r\nz=3\r\n");
  ASSERT_TRUE(DeleteIniSection(ini, u"GONE"));  // every section of that name
  ASSERT_TRUE(DeleteIniKey(ini, u"mixed", u"M"));
  ASSERT_TRUE(DeleteIniKey(ini, u"Mixed", u"absent"));
  ASSERT_TRUE(DeleteIniSection(ini, u"Absent"));
  EXPECT_EQ(ReadIniString(ini, u"Gone", u"x", u"-", 260), u"-");
  EXPECT_EQ(ReadIniString(ini, u"Mixed", u"m", u"-", 260), u"-");
  EXPECT_EQ(ReadIniString(ini, u"Mixed", u"n", u"-", 260), u"2");
  EXPECT_EQ(DecodedText(ini), u"[Keep]\n; note\nk=1\n[Mixed]\nn=2\n");
}

TEST(IniFileTest, RefusesTextThatWouldBreakTheLineStructure) {
  Scratch dir;
  const std::u16string ini = dir.File("refuse.ini");
  ASSERT_TRUE(WriteIniString(ini, u"S", u"k", u"ok"));
  EXPECT_FALSE(WriteIniString(ini, u"S", u"k", u"two\nlines"));
  EXPECT_FALSE(WriteIniString(ini, u"S", u"k", u"cr\rhere"));
  EXPECT_FALSE(WriteIniString(ini, u"S", u"a=b", u"1"));
  EXPECT_FALSE(WriteIniString(ini, u"S", u"[T]", u"1"));
  EXPECT_FALSE(WriteIniString(ini, u"S", u"", u"1"));
  EXPECT_FALSE(WriteIniString(ini, u"", u"k", u"1"));
  EXPECT_FALSE(WriteIniString(ini, u"S\nT", u"k", u"1"));
  EXPECT_EQ(DecodedText(ini), u"[S]\nk=ok\n");
  // A file in a folder that does not exist cannot be written.
  EXPECT_FALSE(WriteIniString(JoinPath(dir.File("no-such-folder"), u"x.ini"), u"S", u"k", u"1"));
}

TEST(IniFileTest, JapaneseTextSurvivesWhateverTheCodePage) {
  Scratch dir;
  const std::u16string ini = dir.File("japanese.ini");
  const std::u16string folder = u"C:\\写真\\2024年 旅行";
  const std::u16string comment = u"コメント①";
  ASSERT_TRUE(WriteIniString(ini, u"MWin", u"ISPath", folder));
  ASSERT_TRUE(WriteIniString(ini, u"CvtPrms", u"CmtStr1", comment));
  EXPECT_EQ(ReadIniString(ini, u"MWin", u"ISPath", u"", 260), folder);
  EXPECT_EQ(ReadIniString(ini, u"CvtPrms", u"CmtStr1", u"", 260), comment);
  bool isUtf16 = false;
  EXPECT_EQ(DecodedText(ini, &isUtf16),
            u"[MWin]\nISPath=" + folder + u"\n[CvtPrms]\nCmtStr1=" + comment + u"\n");
#ifdef _WIN32
  EXPECT_TRUE(isUtf16) << "a new file must be created as UTF-16LE";
#else
  EXPECT_FALSE(isUtf16);
#endif
}

TEST(IniFileTest, ReadsAndUpdatesAnExistingEightBitFile) {
  Scratch dir;
  const std::u16string ini = dir.File("ascii.ini");
  const std::string text = "[CvtPrms]\r\nOFmt=1\r\nTopStr=img_\r\n";
  ASSERT_TRUE(test::WriteWholeFile(ini, std::vector<uint8_t>(text.begin(), text.end())));
  EXPECT_EQ(ReadIniInt(ini, u"CvtPrms", u"OFmt", 2), 1);
  EXPECT_EQ(ReadIniString(ini, u"CvtPrms", u"TopStr", u"", 260), u"img_");
  ASSERT_TRUE(WriteIniString(ini, u"CvtPrms", u"OFmt", u"4"));
  EXPECT_EQ(DecodedText(ini), u"[CvtPrms]\nOFmt=4\nTopStr=img_\n");
}

// Entries of the scratch folder other than the INI file itself: a save
// must leave no temporary file behind.
size_t OtherEntries(const std::u16string& ini) {
  std::vector<DirectoryEntry> entries;
  EXPECT_TRUE(ListDirectory(FolderPart(ini), entries));
  size_t others = 0;
  for (const DirectoryEntry& e : entries) others += e.name != FileNamePart(ini) ? 1 : 0;
  return others;
}

TEST(IniDocumentTest, ReadsOnceAndReplacesTheFileInOneStep) {
  Scratch dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  WriteUtf16File(ini, u"[Old]\r\ngone=1\r\n[Keep]\r\nk=v\r\n[A]\r\nx=1\r\n");
  IniDocument doc;
  ASSERT_EQ(doc.Load(ini), IniFileState::Loaded);
  // The file may change or go; the document answers from what it read
  // (the Win32 layer reads through the system, which keeps its own copy).
  EXPECT_EQ(doc.ReadInt(u"A", u"x", 7), 1);
  EXPECT_EQ(doc.ReadString(u"Keep", u"k", u"", 10), u"v");
  doc.DeleteSection(u"Old");
  EXPECT_TRUE(doc.WriteString(u"A", u"x", u"2"));
  EXPECT_TRUE(doc.WriteString(u"B", u"y", u"日本"));
  EXPECT_FALSE(doc.WriteString(u"B", u"bad", u"line\nbreak"));
  ASSERT_TRUE(doc.Save());
  EXPECT_EQ(DecodedText(ini), u"[Keep]\nk=v\n[A]\nx=2\n[B]\ny=日本\n");
  EXPECT_EQ(OtherEntries(ini), 0u);

  // A document of a missing file creates it; one that changes nothing does not.
  const std::u16string fresh = dir.File("fresh.ini");
  IniDocument nothing;
  EXPECT_EQ(nothing.Load(fresh), IniFileState::Missing);
  nothing.DeleteSection(u"A");
  EXPECT_TRUE(nothing.Save());
  EXPECT_FALSE(PathTaken(fresh));
  IniDocument created;
  created.Load(fresh);
  EXPECT_TRUE(created.WriteString(u"S", u"k", u"1"));
  ASSERT_TRUE(created.Save());
  EXPECT_EQ(ReadIniInt(fresh, u"S", u"k", 0), 1);
}

TEST(IniDocumentTest, AFileOverOneMebibyteIsNeitherReadNorOverwritten) {
  Scratch dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  std::string text = "[CvtPrms]\nOFmt=4\n;";
  text.append(static_cast<size_t>(kMaxIniFileBytes), 'x');
  ASSERT_TRUE(test::WriteWholeFile(ini, std::vector<uint8_t>(text.begin(), text.end())));
  IniDocument doc;
  EXPECT_EQ(doc.Load(ini), IniFileState::TooLarge);
  EXPECT_EQ(doc.ReadInt(u"CvtPrms", u"OFmt", 2), 2);
  EXPECT_FALSE(doc.WriteString(u"CvtPrms", u"OFmt", u"1"));
  EXPECT_FALSE(doc.Save());
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(ini, size));
  EXPECT_EQ(size, text.size());
  EXPECT_EQ(OtherEntries(ini), 0u);
}

#ifndef _WIN32
TEST(IniDocumentTest, AFailedSaveLeavesTheOldFileWhole) {
  Scratch dir;
  const std::u16string ini = dir.File("Pixlane.ini");
  WriteUtf16File(ini, u"[CvtPrms]\r\nOFmt=4\r\n");
  std::vector<uint8_t> before;
  ASSERT_TRUE(test::ReadWholeFile(ini, before));
  IniDocument doc;
  ASSERT_EQ(doc.Load(ini), IniFileState::Loaded);
  for (int i = 0; i < 200; ++i) {
    EXPECT_TRUE(doc.WriteString(u"CvtPrms", Utf8ToUtf16("Key" + std::to_string(i)), u"value"));
  }
  {
    test::FileSizeLimit limit(1000);  // the new file does not fit
    EXPECT_FALSE(doc.Save());
  }
  std::vector<uint8_t> after;
  ASSERT_TRUE(test::ReadWholeFile(ini, after));
  EXPECT_EQ(after, before);
  EXPECT_EQ(OtherEntries(ini), 0u);
  EXPECT_TRUE(doc.Save());  // and goes through once there is room
  EXPECT_EQ(ReadIniString(ini, u"CvtPrms", u"Key199", u"", 10), u"value");
}

TEST(IniDocumentTest, ALinkInTheFilesPlaceIsNotWrittenThrough) {
  Scratch dir;
  const std::u16string target = dir.File("elsewhere.ini");
  WriteUtf16File(target, u"[A]\r\nx=1\r\n");
  const std::u16string ini = dir.File("Pixlane.ini");
  ASSERT_EQ(::symlink(Utf16ToUtf8(target).c_str(), Utf16ToUtf8(ini).c_str()), 0);
  IniDocument doc;
  ASSERT_EQ(doc.Load(ini), IniFileState::Loaded);  // reading through it is harmless
  EXPECT_TRUE(doc.WriteString(u"A", u"x", u"2"));
  EXPECT_FALSE(doc.Save());
  EXPECT_EQ(ReadIniInt(target, u"A", u"x", 0), 1);
  FileIdentity id;
  ASSERT_TRUE(GetFileIdentity(ini, false, id));
  EXPECT_FALSE(id.isRegularFile);  // still the link
}
#endif

}  // namespace
}  // namespace pixlane
