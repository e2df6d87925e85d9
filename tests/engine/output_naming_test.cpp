// Output naming: the three modes with prefix, suffix and extension, the
// collision suffix against the disk, and the name preview with its taken
// names and delete mode.
#include "engine/output_naming.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

void Touch(const std::u16string& path) {
  OutputFile file;
  ASSERT_TRUE(file.Create(path)) << Utf16ToUtf8(path);
}

ExifDate MakeExifDate(const char* text) {
  ExifDate date;
  date.present = true;
  std::memcpy(date.text.data(), text, std::min(std::strlen(text), date.text.size() - 1));
  return date;
}

ConversionParameters Params(int32_t nameSet) {
  ConversionParameters params;
  params.NameSet = nameSet;
  return params;
}

TEST(OutputNamingTest, BuildsNamesFromPrefixStemSuffixAndExtension) {
  struct Case {
    const char* input;
    const char* prefix;  // nullptr: TopAdd clear
    const char* suffix;  // nullptr: EndAdd clear
    const char16_t* extension;
    const char* expected;
  };
  const Case cases[] = {
      {"IMG_0001.JPG", "a_", "_b", u".png", "a_IMG_0001_b.png"},
      {"photo.jpeg", "s_", nullptr, u".jpg", "s_photo.jpg"},
      {"archive.tar.bmp", nullptr, nullptr, u".jpg", "archive.tar.jpg"},
      {"README", nullptr, "-x", u".tif", "README-x.tif"},
      {"trailing.", nullptr, nullptr, u".gif", "trailing.gif"},
      {"写真.bmp", "", "", u".jpg", "写真.jpg"},  // set but empty
  };
  for (const Case& c : cases) {
    ConversionParameters params = Params(0);
    params.TopStr = u"unused_";
    params.EndStr = u"_unused";
    if (c.prefix != nullptr) {
      params.TopAdd = 1;
      params.TopStr = Utf8ToUtf16(c.prefix);
    }
    if (c.suffix != nullptr) {
      params.EndAdd = 1;
      params.EndStr = Utf8ToUtf16(c.suffix);
    }
    const NamingState state = MakeNamingState(params, u"out", c.extension);
    EXPECT_EQ(Utf16ToUtf8(MakeOutputName(state, Utf8ToUtf16(c.input))), c.expected);
  }
}

TEST(OutputNamingTest, SerialNumbersPadToTheDigitCountAndNeverCut) {
  ConversionParameters params = Params(2);
  params.StartNum = 9998;
  params.DigitNum = 2;
  NamingState state = MakeNamingState(params, u"out", u".jpg");
  const char* expected[] = {"9998.jpg", "9999.jpg", "10000.jpg"};
  for (int i = 0; i < 3; ++i) {
    state.processedCount = i;
    EXPECT_EQ(Utf16ToUtf8(MakeOutputName(state, u"ignored.bmp")), expected[i]);
  }
  EXPECT_EQ(SerialNumberText(7, 3), u"007");
  EXPECT_EQ(SerialNumberText(1234, 3), u"1234");
  EXPECT_EQ(SerialNumberText(0, 5), u"00000");
  EXPECT_EQ(SerialNumberText(-5, 3), u"-005");
  // DigitNum outside 1..5 (an edited INI file) is held to that range.
  params.DigitNum = 0;
  EXPECT_EQ(MakeNamingState(params, u"", u"").digitCount, 1);
  params.DigitNum = 40;
  EXPECT_EQ(MakeNamingState(params, u"", u"").digitCount, 5);
}

TEST(OutputNamingTest, ExifModeUsesAUsableDateAndOtherwiseTheInputName) {
  const NamingState exif = MakeNamingState(Params(1), u"out", u".jpg");
  EXPECT_EQ(MakeOutputName(exif, u"DSC1.JPG", MakeExifDate("2009:03:14 15:26:53")),
            u"20090314_152653.jpg");
  EXPECT_EQ(MakeOutputName(exif, u"DSC1.JPG", ExifDate{}), u"DSC1.jpg");
  // Unknown dates written as blanks, cut-off text and separators in digit
  // places would give useless or invalid names.
  for (const char* bad : {"    :  :     :  :  ", "2009:03:14 15:26", "2009:03:14 15:2/:53"}) {
    EXPECT_EQ(MakeOutputName(exif, u"DSC1.JPG", MakeExifDate(bad)), u"DSC1.jpg") << bad;
  }
  // Other layouts are read position by position.
  EXPECT_EQ(MakeOutputName(exif, u"a.jpg", MakeExifDate("2009-03-14T15.26.53")),
            u"20090314_152653.jpg");
  // Only Exif mode looks at the date.
  EXPECT_EQ(MakeOutputName(MakeNamingState(Params(0), u"out", u".jpg"), u"DSC1.JPG",
                           MakeExifDate("2009:03:14 15:26:53")),
            u"DSC1.jpg");
  EXPECT_EQ(NamingModeFromNameSet(7), NamingMode::InputName);
}

TEST(OutputNamingTest, UniquePathSkipsNamesTakenOnDisk) {
  test::ScratchFolder folder;
  std::u16string path = folder.File("x.jpg");
  EXPECT_TRUE(MakeUniquePath(path, u".jpg"));
  EXPECT_EQ(path, folder.File("x.jpg"));

  Touch(folder.File("x.jpg"));
  Touch(folder.File("x+1.jpg"));
  ASSERT_TRUE(CreateFolder(folder.File("x+2.jpg")));  // a folder takes the name too
  EXPECT_TRUE(MakeUniquePath(path, u".jpg"));
  EXPECT_EQ(path, folder.File("x+3.jpg"));
  std::error_code ignored;  // ScratchFolder removes files only
  std::filesystem::remove(std::filesystem::path(folder.File("x+2.jpg")), ignored);
}

TEST(OutputNamingTest, UniqueNameGivesUpAfter9999) {
  int asked = 0;
  std::u16string lastAsked;
  auto takenBelow = [&](int limit) {
    return [&, limit](const std::u16string& name) {
      ++asked;
      lastAsked = name;
      if (name == u"a.b.png") return true;
      return std::stoi(Utf16ToUtf8(name.substr(4))) < limit;  // "a.b+<k>.png"
    };
  };
  std::u16string name = u"a.b.png";
  EXPECT_TRUE(MakeUniqueName(name, u".png", takenBelow(9999)));
  EXPECT_EQ(name, u"a.b+9999.png");
  asked = 0;
  name = u"a.b.png";
  EXPECT_FALSE(MakeUniqueName(name, u".png", takenBelow(10000)));
  EXPECT_EQ(name, u"a.b.png");
  EXPECT_EQ(asked, 10000);
  EXPECT_EQ(lastAsked, u"a.b+9999.png");
}

class PreviewNamesTest : public ::testing::Test {
 protected:
  std::vector<std::string> Preview(const NamingState& naming, std::vector<std::u16string> names,
                                   bool deleteInputs = false) {
    PreviewRequest request;
    request.inputFolder = input_.path();
    request.entryNames = std::move(names);
    request.deleteInputs = deleteInputs;
    request.readExifDate = [this](std::u16string_view, ExifDate& date) {
      ++exifLookups_;
      date = MakeExifDate("2009:03:14 15:26:53");
    };
    std::vector<std::string> rows;
    for (const PreviewRow& row : PreviewNames(naming, request)) {
      rows.push_back(Utf16ToUtf8(row.inputName) + ">" + Utf16ToUtf8(row.outputName));
    }
    return rows;
  }

  test::ScratchFolder input_;
  test::ScratchFolder output_;
  int exifLookups_ = 0;
};

TEST_F(PreviewNamesTest, AvoidsNamesInTheFolderAndThoseChosenEarlier) {
  for (const char* name : {"x.bmp", "x.png", "y.bmp"}) Touch(input_.File(name));
  Touch(output_.File("x.jpg"));
  Touch(output_.File("x+1.jpg"));
  Touch(output_.File("y.png"));  // another extension: no conflict
  const NamingState naming = MakeNamingState(Params(0), output_.path(), u".jpg");
  EXPECT_EQ(Preview(naming, {u"x.bmp", u"x.png", u"y.bmp"}),
            (std::vector<std::string>{"x.bmp>x+2.jpg", "x.png>x+3.jpg", "y.bmp>y.jpg"}));
  EXPECT_EQ(exifLookups_, 0);
}

TEST_F(PreviewNamesTest, SkipsMissingInputsButCountsThemForSerialNumbers) {
  Touch(input_.File("a.bmp"));
  Touch(input_.File("c.bmp"));
  ConversionParameters params = Params(2);
  params.DigitNum = 3;
  params.StartNum = 1;
  const NamingState naming = MakeNamingState(params, output_.path(), u".png");
  EXPECT_EQ(Preview(naming, {u"a.bmp", u"gone.bmp", u"c.bmp"}),
            (std::vector<std::string>{"a.bmp>001.png", "c.bmp>003.png"}));
}

TEST_F(PreviewNamesTest, ExifModeDisambiguatesPhotosOfTheSameSecond) {
  Touch(input_.File("a.jpg"));
  Touch(input_.File("b.jpg"));
  const NamingState naming = MakeNamingState(Params(1), output_.path(), u".jpg");
  EXPECT_EQ(Preview(naming, {u"a.jpg", u"b.jpg"}),
            (std::vector<std::string>{"a.jpg>20090314_152653.jpg", "b.jpg>20090314_152653+1.jpg"}));
  EXPECT_EQ(exifLookups_, 2);
}

TEST_F(PreviewNamesTest, DeleteModeFreesAnInputsNameForLaterEntries) {
  // Converting 1.bmp and 2.bmp into their own folder as serial numbers from
  // 0: the first becomes 0.bmp; the second wants 1.bmp, which is free only
  // if 1.bmp is deleted after its conversion.
  Touch(input_.File("1.bmp"));
  Touch(input_.File("2.bmp"));
  ConversionParameters params = Params(2);
  params.DigitNum = 1;
  const std::u16string sameFolder = input_.path() + kPathSeparator;
  const NamingState naming = MakeNamingState(params, sameFolder, u".bmp");
  EXPECT_EQ(Preview(naming, {u"1.bmp", u"2.bmp"}, true),
            (std::vector<std::string>{"1.bmp>0.bmp", "2.bmp>1.bmp"}));
  EXPECT_EQ(Preview(naming, {u"1.bmp", u"2.bmp"}, false),
            (std::vector<std::string>{"1.bmp>0.bmp", "2.bmp>1+1.bmp"}));
  // The input itself still exists when its own name is chosen.
  const NamingState byName = MakeNamingState(Params(0), input_.path(), u".bmp");
  EXPECT_EQ(Preview(byName, {u"1.bmp"}, true), (std::vector<std::string>{"1.bmp>1+1.bmp"}));
  // Another output folder: deleting inputs frees nothing there.
  Touch(output_.File("1.bmp"));
  const NamingState elsewhere = MakeNamingState(params, output_.path(), u".bmp");
  EXPECT_EQ(Preview(elsewhere, {u"1.bmp", u"2.bmp"}, true),
            (std::vector<std::string>{"1.bmp>0.bmp", "2.bmp>1+1.bmp"}));
}

TEST_F(PreviewNamesTest, NameCaseMattersOnlyWhereTheFileSystemSaysSo) {
  Touch(input_.File("x.bmp"));
  Touch(output_.File("X.JPG"));
  const NamingState naming = MakeNamingState(Params(0), output_.path(), u".jpg");
#ifdef _WIN32
  EXPECT_EQ(Preview(naming, {u"x.bmp"}), (std::vector<std::string>{"x.bmp>x+1.jpg"}));
#else
  EXPECT_EQ(Preview(naming, {u"x.bmp"}), (std::vector<std::string>{"x.bmp>x.jpg"}));
#endif
}

}  // namespace
}  // namespace pixlane
