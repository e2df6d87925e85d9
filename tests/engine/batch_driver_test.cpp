// End-to-end batches in scratch folders with BMP files: counts, serial
// numbers with gaps, collisions, subfolders, input deletion, abort, HTML
// tags, folder checks and the summary texts; and the faults a batch must
// survive without losing anything: damaged inputs, inputs replaced or
// folders removed during the run, a full disk, leftovers of killed runs,
// links and FIFOs where files are expected.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <system_error>

#include "codecs/bmp_writer.h"
#include "engine/batch_driver.h"
#include "platform/file_system.h"
#include "platform/process_info.h"
#include "platform/temporary_files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

class RecordingHost : public BatchHost {
 public:
  std::vector<ErrorMessage> messages;
  std::vector<std::u16string> titles;
  std::vector<std::u16string> recycled;
  std::vector<std::u16string> refusedKeys;
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
  void ShowRefusedSetting(const RefusedSetting& refused) override {
    refusedKeys.emplace_back(refused.key);
  }
  void ShowSummaryBox(std::u16string_view, std::u16string_view text) override { summary = text; }
  void RefreshFolderTree(std::u16string_view createdFolder) override { createdFolders.emplace_back(createdFolder); }
  bool RecycleFile(std::u16string_view path) override {
    recycled.emplace_back(path);
    return DeleteFilePath(path);
  }
  std::vector<BatchFileReport> reports;
  std::function<void()> beforeCommit;          // runs as each commit starts
  std::function<void(size_t)> afterFile;      // with the number of files done
  void CommitStarting() override {
    if (beforeCommit) beforeCommit();
  }
  void FileFinished(const BatchFileReport& report) override {
    reports.push_back(report);
    if (afterFile) afterFile(reports.size());
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

TEST_F(BatchDriverTest, NamingTextsThatLeaveTheOutputFolderStopTheBatchFirst) {
  // Values as a shared settings file or an edit box may hold them.
  test::ScratchFolder outer;
  const std::u16string nested = JoinPath(outer.path(), u"out");
  ASSERT_TRUE(CreateFolder(nested));
  WriteBmp(In("a.bmp"), 2, 2);
  const struct {
    int32_t ConversionParameters::*flag;
    std::u16string ConversionParameters::*text;
    std::u16string value;
  } cases[] = {
      {&ConversionParameters::TopAdd, &ConversionParameters::TopStr, u"../"},
      {&ConversionParameters::EndAdd, &ConversionParameters::EndStr, u"\\..\\x"},
      {&ConversionParameters::MkDirAdd, &ConversionParameters::MkDirStr, u".."},
  };
  for (const auto& c : cases) {
    ConversionParameters p;
    p.OFmt = 0;
    p.*c.flag = 1;
    p.*c.text = c.value;
    host.refusedKeys.clear();
    const BatchResult r = RunListBatch(context, p, window, in.path(), nested, {u"a.bmp"}, host);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(host.refusedKeys.size(), 1u);
  }
  EXPECT_EQ(FileNames(outer.path()), std::vector<std::u16string>{u"out"});
  EXPECT_TRUE(FileNames(nested).empty());
}

#ifdef _WIN32
TEST_F(BatchDriverTest, AnOutputNameThatSpellsADeviceFailsThatFileOnly) {
  WriteBmp(In("a.bmp"), 2, 2);
  WriteBmp(In("b.bmp"), 2, 2);
  params.NameSet = 2;
  params.DigitNum = 1;
  params.StartNum = 9;
  params.TopAdd = 1;
  params.TopStr = u"COM";  // COM9.bmp, then COM10.bmp
  const BatchResult r = RunList({u"a.bmp", u"b.bmp"});
  EXPECT_EQ(r.successCount, 1);
  ASSERT_EQ(host.reports.size(), 2u);
  EXPECT_FALSE(host.reports[0].converted);
  EXPECT_NE(host.reports[0].reason.find("device"), std::string::npos);
  EXPECT_EQ(FileNames(out.path()), std::vector<std::u16string>{u"COM10.bmp"});
}
#endif

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

// A 24-bit BMP of `width` × `height` cut after `keep` bytes.
void WriteCutBmp(const std::u16string& path, int32_t width, int32_t height, size_t keep) {
  WriteBmp(path, width, height);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(test::ReadWholeFile(path, bytes));
  bytes.resize(keep);
  ASSERT_TRUE(test::WriteWholeFile(path, bytes));
}

TEST_F(BatchDriverTest, ADamagedInputIsConvertedButNeverDeleted) {
  WriteCutBmp(In("cut.bmp"), 16, 16, 54 + 16 * 48 / 3);
  WriteBmp(In("whole.bmp"), 4, 4);
  params.IFileDel = 1;
  params.Recycle = 0;
  const BatchResult r = RunList({u"cut.bmp", u"whole.bmp"});
  EXPECT_EQ(r.successCount, 2);
  EXPECT_EQ(r.partialCount, 1);
  EXPECT_EQ(r.inputsKept, 1);
  EXPECT_TRUE(PathExists(In("cut.bmp")));
  EXPECT_FALSE(PathExists(In("whole.bmp")));
  EXPECT_TRUE(PathExists(out.File("cut.bmp")));
  ASSERT_EQ(host.reports.size(), 2u);
  EXPECT_TRUE(host.reports[0].partial);
  EXPECT_FALSE(host.reports[0].inputKeptReason.empty());
  EXPECT_FALSE(host.reports[1].partial);
  EXPECT_TRUE(host.reports[1].inputKeptReason.empty());
  // The summary counts stay as they are: both were converted.
  EXPECT_EQ(host.summary, u"入力ファイル数  2\n出力ファイル数  2\n    ");
}

TEST_F(BatchDriverTest, AnInputReplacedBeforeItsCommitIsKept) {
  WriteBmp(In("a.bmp"), 2, 2);
  params.IFileDel = 1;
  params.Recycle = 1;
  host.beforeCommit = [this] {
    DeleteFilePath(In("a.bmp"));
    WriteBmp(In("a.bmp"), 3, 3);
  };
  const BatchResult r = RunList({u"a.bmp"});
  EXPECT_EQ(r.successCount, 1);
  EXPECT_EQ(r.inputsKept, 1);
  EXPECT_TRUE(host.recycled.empty());
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(In("a.bmp"), size));
  EXPECT_EQ(size, 54u + 3 * 12);  // the new file, untouched
}

TEST_F(BatchDriverTest, SweepsLeftoversOfKilledRunsAndLeavesNoneOfItsOwn) {
  // The name a killed run's process 4000000001 left on this machine.
  char name[64];
  std::snprintf(name, sizeof name, ".pixlane-%08x-4000000001-00000000000000ff.tmp", MachineTag());
  const std::u16string stale = out.File(name);
  ASSERT_TRUE(test::WriteWholeFile(stale, {'B', 'M'}));
  for (int i = 0; i < 3; ++i) WriteBmp(in.File("p" + std::to_string(i) + ".bmp"), 5, 3);
  ASSERT_TRUE(test::WriteWholeFile(In("bad.bmp"), {'B', 'M', 1}));
  const BatchResult r = RunList({u"p0.bmp", u"bad.bmp", u"p1.bmp", u"p2.bmp"});
  EXPECT_EQ(r.staleFilesRemoved, 1);
  EXPECT_EQ(FileNames(out.path()),
            (std::vector<std::u16string>{u"p0.bmp", u"p1.bmp", u"p2.bmp"}));
}

TEST_F(BatchDriverTest, AnOutputFolderRemovedDuringTheRunFailsTheRestClearly) {
  for (int i = 0; i < 3; ++i) WriteBmp(in.File("p" + std::to_string(i) + ".bmp"), 2, 2);
  params.IFileDel = 1;
  params.Recycle = 0;
  host.afterFile = [this](size_t done) {
    if (done != 1) return;
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(out.path()), ignored);
  };
  const BatchResult r = RunList({u"p0.bmp", u"p1.bmp", u"p2.bmp"});
  EXPECT_EQ(r.processedCount, 3);
  EXPECT_EQ(r.successCount, 1);
  ASSERT_EQ(host.reports.size(), 3u);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_FALSE(host.reports[i].converted);
    // The codec's reason and the system's.
    EXPECT_EQ(host.reports[i].reason.rfind("CannotOpen: ", 0), 0u) << host.reports[i].reason;
  }
  EXPECT_FALSE(PathExists(In("p0.bmp")));
  EXPECT_TRUE(PathExists(In("p1.bmp")));
  EXPECT_TRUE(PathExists(In("p2.bmp")));
  ASSERT_TRUE(CreateFolder(out.path()));  // for the scratch folder's clean-up
}

#ifndef _WIN32
TEST_F(BatchDriverTest, AFullDiskFailsOneFileAndTheRestGoOn) {
  WriteBmp(In("big.bmp"), 300, 300);  // 270 KB
  WriteBmp(In("small.bmp"), 8, 8);
  params.IFileDel = 1;
  params.Recycle = 0;
  BatchResult r;
  {
    test::FileSizeLimit limit(100000);
    r = RunList({u"big.bmp", u"small.bmp"});
  }
  EXPECT_EQ(r.successCount, 1);
  ASSERT_EQ(host.reports.size(), 2u);
  EXPECT_EQ(host.reports[0].reason.rfind("WriteFailed: ", 0), 0u) << host.reports[0].reason;
  EXPECT_TRUE(PathExists(In("big.bmp")));
  EXPECT_FALSE(PathExists(In("small.bmp")));
  // Nothing partial under any name, and no temporary file.
  EXPECT_EQ(FileNames(out.path()), std::vector<std::u16string>{u"small.bmp"});
}

TEST_F(BatchDriverTest, LinksAtTheTagFileNameAreLeftAlone) {
  ASSERT_TRUE(test::WriteWholeFile(In("victim.txt"), {'v'}));
  const std::u16string tagFile =
      JoinPath(out.path(), std::u16string(FileNamePart(out.path())) + u".html");
  ASSERT_EQ(::symlink(Utf16ToUtf8(In("victim.txt")).c_str(), Utf16ToUtf8(tagFile).c_str()), 0);
  WriteBmp(In("small.bmp"), 4, 4);
  params.HtmlTag = 1;
  RunList({u"small.bmp"});
  EXPECT_EQ(host.messages, std::vector<ErrorMessage>{ErrorMessage::HtmlTagWriteFailed});
  EXPECT_TRUE(host.recycled.empty());
  std::vector<uint8_t> victim;
  ASSERT_TRUE(test::ReadWholeFile(In("victim.txt"), victim));
  EXPECT_EQ(victim, std::vector<uint8_t>{'v'});
  EXPECT_TRUE(PathTaken(tagFile));
  EXPECT_EQ(FileNames(out.path()), (std::vector<std::u16string>{std::u16string(FileNamePart(tagFile)), u"small.bmp"}));
}

TEST_F(BatchDriverTest, AFifoNamedLikeAnImageFailsAtOnce) {
  ASSERT_EQ(::mkfifo(Utf16ToUtf8(In("pipe.bmp")).c_str(), 0600), 0);
  WriteBmp(In("a.bmp"), 2, 2);
  const BatchResult r =
      RunPathBatch(context, params, window, {In("pipe.bmp"), In("a.bmp")}, true, out.path(), host);
  EXPECT_EQ(r.successCount, 1);
  ASSERT_EQ(host.reports.size(), 2u);
  EXPECT_EQ(host.reports[0].reason, "NotRegularFile");
}
#endif

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
