// End-to-end batches in scratch folders with BMP files: counts, serial
// numbers with gaps, collisions, subfolders, input deletion, abort, HTML
// tags, folder checks and the summary texts.
#include <gtest/gtest.h>

#include <algorithm>

#include "codecs/bmp_writer.h"
#include "engine/batch_driver.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

class RecordingHost : public BatchHost {
 public:
  std::vector<ErrorMessage> messages;
  std::vector<std::u16string> titles;
  std::vector<std::u16string> recycled;
  std::vector<std::u16string> createdFolders;  // told to the folder tree
  std::u16string summary;
  int progressSteps = 0;
  int abortAfter = -1;  // CheckAbort reports a request once this many steps are done
  bool answerYes = true;
  int questions = 0;

  bool CheckAbort() override { return abortAfter >= 0 && progressSteps >= abortAfter; }
  bool ConfirmAbort() override {
    ++questions;
    return answerYes;
  }
  void StepProgress() override { ++progressSteps; }
  void SetTitle(std::u16string_view title) override { titles.emplace_back(title); }
  void ShowMessage(ErrorMessage code) override { messages.push_back(code); }
  void ShowSummaryBox(std::u16string_view, std::u16string_view text) override { summary = text; }
  void RefreshFolderTree(std::u16string_view createdFolder) override { createdFolders.emplace_back(createdFolder); }
  bool RecycleFile(std::u16string_view path) override {
    recycled.emplace_back(path);
    return DeleteFilePath(path);
  }
};

void WriteBmp(const std::u16string& path, int32_t width, int32_t height) {
  ImageBuffer image;
  test::MakePatternImage(image, width, height, 24);
  BmpWriter writer;
  writer.converter.width = width;
  writer.converter.height = height;
  writer.converter.sourceBitCount = 24;
  writer.converter.targetBitCount = 24;
  ASSERT_TRUE(WriteBmp(writer, path, image.palette.data(), image.pixels.data()));
}

std::vector<std::u16string> FileNames(const std::u16string& folder) {
  std::vector<DirectoryEntry> entries;
  std::vector<std::u16string> names;
  if (ListDirectory(folder, entries)) {
    for (const DirectoryEntry& e : entries) names.push_back(e.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class BatchDriverTest : public ::testing::Test {
 protected:
  BatchDriverTest() {
    params.OFmt = 0;  // BMP output
    window.EndMes = 1;
  }
  std::u16string In(const char* name) const { return in.File(name); }

  BatchResult RunList(const std::vector<std::u16string>& names) {
    return RunListBatch(context, params, window, in.path(), out.path(), names, host);
  }

  test::ScratchFolder in;
  test::ScratchFolder out;
  EngineContext context;
  ConversionParameters params;
  WindowSettings window;
  RecordingHost host;
};

TEST_F(BatchDriverTest, CountsFailuresAndKeepsGapsInSerialNumbers) {
  std::vector<std::u16string> names;
  for (int i = 0; i < 10; ++i) {
    const std::string name = "f" + std::to_string(i) + ".bmp";
    names.push_back(Utf8ToUtf16(name));
    if (i == 2 || i == 5 || i == 6) {
      ASSERT_TRUE(test::WriteWholeFile(in.File(name), {'B', 'M', 0, 0}));
    } else {
      WriteBmp(in.File(name), 3, 2);
    }
  }
  params.NameSet = 2;
  params.DigitNum = 3;
  params.StartNum = 1;
  const BatchResult r = RunList(names);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.targetCount, 10);
  EXPECT_EQ(r.processedCount, 10);
  EXPECT_EQ(r.successCount, 7);
  EXPECT_EQ(FileNames(out.path()),
            (std::vector<std::u16string>{u"001.bmp", u"002.bmp", u"004.bmp", u"005.bmp",
                                         u"008.bmp", u"009.bmp", u"010.bmp"}));
  EXPECT_EQ(host.summary, u"入力ファイル数  10\n出力ファイル数  7\n    ");
  EXPECT_EQ(host.titles.front(), kBusyTitle);
  EXPECT_EQ(host.titles.back(), kIdleTitle);
  EXPECT_EQ(context.work, nullptr);  // released with the summary
}

TEST_F(BatchDriverTest, ConvertingIntoTheInputFolderNeverOverwrites) {
  WriteBmp(In("a.bmp"), 2, 2);
  std::vector<uint8_t> before;
  ASSERT_TRUE(test::ReadWholeFile(In("a.bmp"), before));
  const BatchResult r = RunListBatch(context, params, window, in.path(), in.path(), {u"a.bmp"}, host);
  EXPECT_EQ(r.successCount, 1);
  EXPECT_TRUE(PathExists(In("a+1.bmp")));
  std::vector<uint8_t> after;
  ASSERT_TRUE(test::ReadWholeFile(In("a.bmp"), after));
  EXPECT_EQ(before, after);
}

TEST_F(BatchDriverTest, RemovesOnlyASubfolderItCreatedAndThatStayedEmpty) {
  ASSERT_TRUE(test::WriteWholeFile(In("bad.bmp"), {'B', 'M'}));
  params.MkDirAdd = 1;
  params.MkDirStr = u"変換後";
  RunList({u"bad.bmp"});
  EXPECT_FALSE(PathExists(out.File("変換後")));
  // The folder tree hears only of a created subfolder that stays.
  EXPECT_TRUE(host.createdFolders.empty());

  ASSERT_TRUE(CreateFolder(out.File("変換後")));
  RunList({u"bad.bmp"});
  EXPECT_TRUE(IsDirectory(out.File("変換後")));
  EXPECT_TRUE(host.createdFolders.empty());

  WriteBmp(In("good.bmp"), 2, 2);
  ASSERT_TRUE(DeleteFilePath(In("bad.bmp")));
  RemoveEmptyFolder(out.File("変換後"));
  RunList({u"good.bmp"});
  EXPECT_TRUE(PathExists(JoinPath(out.File("変換後"), u"good.bmp")));
  EXPECT_EQ(host.createdFolders, std::vector<std::u16string>{out.File("変換後")});
}

TEST_F(BatchDriverTest, DeletesOrRecyclesInputsOnlyAfterTheirOutputExists) {
  WriteBmp(In("ok.bmp"), 2, 2);
  ASSERT_TRUE(test::WriteWholeFile(In("bad.bmp"), {'B', 'M'}));
  params.IFileDel = 1;
  params.Recycle = 0;
  RunList({u"ok.bmp", u"bad.bmp"});
  EXPECT_FALSE(PathExists(In("ok.bmp")));
  EXPECT_TRUE(PathExists(In("bad.bmp")));
  EXPECT_TRUE(PathExists(out.File("ok.bmp")));
  EXPECT_TRUE(host.recycled.empty());

  WriteBmp(In("again.bmp"), 2, 2);
  params.Recycle = 1;
  RunList({u"again.bmp"});
  ASSERT_EQ(host.recycled.size(), 1u);
  EXPECT_EQ(host.recycled[0], In("again.bmp"));
}

TEST_F(BatchDriverTest, AbortsAfterTheAnsweredQuestion) {
  std::vector<std::u16string> names;
  for (int i = 0; i < 6; ++i) {
    names.push_back(Utf8ToUtf16("p" + std::to_string(i) + ".bmp"));
    WriteBmp(in.File("p" + std::to_string(i) + ".bmp"), 2, 2);
  }
  host.abortAfter = 4;
  BatchResult r = RunList(names);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.processedCount, 4);
  EXPECT_EQ(r.successCount, 4);
  EXPECT_EQ(host.summary, u"入力ファイル数  6\n出力ファイル数  4\n    ");

  host.answerYes = false;  // "No" goes on with the next file
  host.progressSteps = 0;
  r = RunList(names);
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.processedCount, 6);
  EXPECT_GE(host.questions, 2);
}

TEST_F(BatchDriverTest, WritesHtmlTagsForSmallOutputsOnly) {
  WriteBmp(In("small.bmp"), 400, 300);
  WriteBmp(In("wide.bmp"), 401, 100);
  params.HtmlTag = 1;
  RunList({u"small.bmp", u"wide.bmp"});
  const std::u16string tagFile =
      JoinPath(out.path(), std::u16string(FileNamePart(out.path())) + u".html");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(test::ReadWholeFile(tagFile, bytes));
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("small.bmp"), std::string::npos);
  EXPECT_EQ(text.find("wide.bmp"), std::string::npos);
  EXPECT_NE(text.find("width=\"400\" height=\"300\""), std::string::npos);
}

TEST_F(BatchDriverTest, ChecksFoldersAndTargetsBeforeStarting) {
  window.FileMes = 1;
  EXPECT_FALSE(RunListBatch(context, params, window, in.File("nope"), out.path(), {u"a"}, host).started);
  EXPECT_FALSE(RunListBatch(context, params, window, in.path(), out.File("nope"), {u"a"}, host).started);
  EXPECT_FALSE(RunList({}).started);
  EXPECT_EQ(host.messages, (std::vector<ErrorMessage>{ErrorMessage::InvalidInputFolder,
                                                      ErrorMessage::InvalidOutputFolder,
                                                      ErrorMessage::NoTargetFiles}));
  EXPECT_EQ(window.IH[0], in.path());
  EXPECT_EQ(window.OH[0], out.path());

  params.MkDirAdd = 1;
  params.MkDirStr = u"x";
  ASSERT_TRUE(test::WriteWholeFile(out.File("x"), {}));  // a file where the subfolder goes
  WriteBmp(In("a.bmp"), 1, 1);
  host.messages.clear();
  EXPECT_FALSE(RunList({u"a.bmp"}).started);
  EXPECT_EQ(host.messages, std::vector<ErrorMessage>{ErrorMessage::FolderCreationFailed});
}

TEST_F(BatchDriverTest, PathBatchWritesBesideTheFirstFileWithoutSendToFolder) {
  test::ScratchFolder other;
  WriteBmp(In("one.bmp"), 2, 2);
  WriteBmp(other.File("two.bmp"), 2, 2);
  window.EndMes = 0;
  const BatchResult r = RunPathBatch(context, params, window, {In("one.bmp"), other.File("two.bmp")},
                                     false, u"", host);
  EXPECT_EQ(r.successCount, 2);
  EXPECT_TRUE(PathExists(In("one+1.bmp")));
  EXPECT_TRUE(PathExists(In("two.bmp")));
  EXPECT_EQ(host.titles.back(), u"変換完了    2/2 （出力ファイル数/入力ファイル数）");

  window.SdToPath = out.path();
  RunPathBatch(context, params, window, {other.File("two.bmp")}, false, u"", host);
  EXPECT_TRUE(PathExists(out.File("two.bmp")));

  window.SdToPath = out.File("missing");
  host.messages.clear();
  EXPECT_FALSE(RunPathBatch(context, params, window, {other.File("two.bmp")}, false, u"", host).started);
  EXPECT_EQ(host.messages, std::vector<ErrorMessage>{ErrorMessage::InvalidOutputFolder});
}

TEST(FolderHistoryTest, MovesTheFolderToTheFrontAndKeepsEight) {
  std::array<std::u16string, kFolderHistoryLength> h{u"a", u"b", u"c", u"d",
                                                      u"e", u"f", u"g", u"h"};
  PushFolderHistory(h, u"c");
  EXPECT_EQ(h[0], u"c");
  EXPECT_EQ(h[1], u"a");
  EXPECT_EQ(h[3], u"d");
  PushFolderHistory(h, u"new");
  EXPECT_EQ(h[0], u"new");
  EXPECT_EQ(h[7], u"g");
}

}  // namespace
}  // namespace pixlane
