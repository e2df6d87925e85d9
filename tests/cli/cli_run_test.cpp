// The CLI's runs: a folder batch and a path batch through the batch
// driver, output folder rules, the dry run's names, fixed messages and exit
// status, and parallel runs (-j) that leave exactly what sequential ones
// leave: the same outputs byte for byte, names, messages and inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "cli/cli_text.h"
#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane::cli {
namespace {

void WritePatternBmp(const std::u16string& path, int32_t w, int32_t h, int bits) {
  ImageBuffer image;
  test::MakePatternImage(image, w, h, bits);
  BmpWriter writer;
  writer.converter.width = w;
  writer.converter.height = h;
  writer.converter.sourceBitCount = bits;
  writer.converter.targetBitCount = bits;
  ASSERT_TRUE(WriteBmp(writer, path, image.palette.data(), image.pixels.data()));
}

class CliRunTest : public testing::Test {
 protected:
  CliRunTest() {
    params.OFmt = 0;
    output.out = [this](const std::string& line) { out.push_back(line); };
    output.err = [this](const std::string& line) { err.push_back(line); };
    output.status = [](const std::string&) {};
  }
  int Run(CliOptions options) { return RunCli(options, params, window, output, nullptr); }

  test::ScratchFolder in;
  test::ScratchFolder dest;
  ConversionParameters params;
  WindowSettings window;
  CliOutput output;
  std::vector<std::string> out;
  std::vector<std::string> err;
};

TEST_F(CliRunTest, ConvertsAFolderInNameOrderAndReportsFailures) {
  WritePatternBmp(in.File("b.bmp"), 9, 4, 24);
  WritePatternBmp(in.File("A.bmp"), 3, 3, 8);
  ASSERT_TRUE(test::WriteWholeFile(in.File("broken.bmp"), {'B', 'M', 0}));
  ASSERT_TRUE(test::WriteWholeFile(in.File("notes.txt"), {'x'}));  // not listed
  ASSERT_TRUE(test::WriteWholeFile(dest.File("b.bmp"), {'k', 'e', 'e', 'p'}));
  params.DepOpt = 5;  // 1 bit
  params.NameSet = 2;
  CliOptions options;
  options.inputs = {in.path()};
  options.outputFolder = dest.path();
  EXPECT_EQ(Run(options), kExitSomeFailed);
  // Serial numbers follow the list order: A.bmp, b.bmp, broken.bmp.
  EXPECT_TRUE(PathExists(dest.File("00.bmp")));
  EXPECT_TRUE(PathExists(dest.File("01.bmp")));
  EXPECT_FALSE(PathExists(dest.File("02.bmp")));
  std::vector<uint8_t> kept;
  ASSERT_TRUE(test::ReadWholeFile(dest.File("b.bmp"), kept));
  EXPECT_EQ(kept.size(), 4u);
  BmpReader reader;
  const ImageBuffer* first = ReadBmp(reader, dest.File("01.bmp"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->sourceBitCount, 1);
  EXPECT_EQ(first->header.width, 9);
  ASSERT_EQ(err.size(), 1u);
  EXPECT_NE(err[0].find("broken.bmp"), std::string::npos);
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out[out.size() - 2], "変換完了");
  EXPECT_EQ(out.back(), "入力ファイル数  3\n出力ファイル数  2");
}

TEST_F(CliRunTest, FilesGoBesideTheFirstOneUnlessAnOutputFolderIsGiven) {
  WritePatternBmp(in.File("a.bmp"), 2, 2, 24);
  CliOptions options;
  options.inputs = {in.File("a.bmp")};
  EXPECT_EQ(Run(options), kExitAllConverted);
  EXPECT_TRUE(PathExists(in.File("a+1.bmp")));

  options.outputFolder = dest.File("new");  // created on demand
  EXPECT_EQ(Run(options), kExitAllConverted);
  EXPECT_TRUE(PathExists(JoinPath(dest.File("new"), u"a.bmp")));
}

TEST_F(CliRunTest, FolderErrorsUseTheFixedMessages) {
  CliOptions options;
  options.inputs = {in.path()};  // empty folder: nothing to convert
  options.outputFolder = dest.path();
  EXPECT_EQ(Run(options), kExitUsageOrFolderError);
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(err.back(), "pixlane: 対象ファイルがありません。");

  ASSERT_TRUE(test::WriteWholeFile(dest.File("file"), {}));
  options.outputFolder = JoinPath(dest.File("file"), u"sub");  // cannot be created
  EXPECT_EQ(Run(options), kExitUsageOrFolderError);
  EXPECT_EQ(err.back(), "pixlane: 出力フォルダが無効です。");
}

TEST_F(CliRunTest, DryRunPrintsNamesAndWritesNothing) {
  WritePatternBmp(in.File("x.bmp"), 2, 2, 24);
  WritePatternBmp(in.File("y.bmp"), 2, 2, 24);
  ASSERT_TRUE(test::WriteWholeFile(dest.File("x.bmp"), {}));
  params.EndAdd = 1;
  params.EndStr = u"_s";
  CliOptions options;
  options.inputs = {in.path()};
  options.outputFolder = dest.path();
  options.dryRun = true;
  ASSERT_TRUE(test::WriteWholeFile(dest.File("x_s.bmp"), {}));
  EXPECT_EQ(Run(options), kExitAllConverted);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_NE(out[0].find("x_s+1.bmp"), std::string::npos);
  EXPECT_NE(out[1].find("y_s.bmp"), std::string::npos);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(dest.path(), entries));
  EXPECT_EQ(entries.size(), 2u);  // the two files made above, nothing new
}

TEST_F(CliRunTest, DryRunListsFilesGivenByAbsolutePath) {
  WritePatternBmp(in.File("x.bmp"), 2, 2, 24);
  CliOptions options;
  options.inputs = {in.File("x.bmp")};  // ScratchFolder paths are absolute
  options.outputFolder = dest.path();
  options.dryRun = true;
  EXPECT_EQ(Run(options), kExitAllConverted);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], PrintableText(in.File("x.bmp")) + " -> " + PrintableText(dest.File("x.bmp")));
}

TEST_F(CliRunTest, NamesReachTheTerminalWithControlCharactersEscaped) {
  EXPECT_EQ(PrintableText(u"a\u001b]0;owned\u0007b\u009bc\u007f.jpg"),
            "a\\x1B]0;owned\\x07b\\u009Bc\\x7F.jpg");
  EXPECT_EQ(PrintableText(u"写真 1.jpg"), "写真 1.jpg");
  params.EndAdd = 1;
  params.EndStr = u"\u001b]0;x\u0007";
  CliOptions options;
  options.inputs = {in.path()};
  options.outputFolder = dest.path();
  EXPECT_EQ(Run(options), kExitUsageOrFolderError);
  ASSERT_EQ(err.size(), 1u);
  EXPECT_EQ(err[0], "pixlane: setting EndStr (\"\\x1B]0;x\\x07\") cannot be part of a file name: "
                    "it contains a control character");
}

TEST_F(CliRunTest, NamingTextsFromTheSettingsFileNeverReachAPath) {
  WritePatternBmp(in.File("a.bmp"), 2, 2, 24);
  params.TopAdd = 1;
  params.TopStr = u"../../";
  for (bool dryRun : {false, true}) {
    CliOptions options;
    options.inputs = {in.path()};
    options.outputFolder = dest.path();
    options.dryRun = dryRun;
    EXPECT_EQ(Run(options), kExitUsageOrFolderError);
    EXPECT_NE(err.back().find("TopStr"), std::string::npos);
  }
  EXPECT_TRUE(out.empty());
}

TEST_F(CliRunTest, StopRequestEndsTheBatchAfterTheCurrentFile) {
  for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) WritePatternBmp(in.File(name), 2, 2, 24);
  std::atomic<bool> stop{true};
  CliOptions options;
  options.inputs = {in.path()};
  options.outputFolder = dest.path();
  EXPECT_EQ(RunCli(options, params, window, output, &stop), kExitSomeFailed);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(dest.path(), entries));
  EXPECT_EQ(entries.size(), 1u);
}

TEST_F(CliRunTest, ADamagedInputIsKeptSaidSoAndMakesTheStatusOne) {
  WritePatternBmp(in.File("cut.bmp"), 16, 16, 24);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(test::ReadWholeFile(in.File("cut.bmp"), bytes));
  bytes.resize(bytes.size() / 2);
  ASSERT_TRUE(test::WriteWholeFile(in.File("cut.bmp"), bytes));
  params.IFileDel = 1;
  params.Recycle = 0;
  int holds = 0;
  output.holdStop = [&holds](bool hold) { holds += hold ? 1 : -1; };
  CliOptions options;
  options.inputs = {in.File("cut.bmp")};
  options.outputFolder = dest.path();
  EXPECT_EQ(Run(options), kExitSomeFailed);
  EXPECT_EQ(holds, 0);  // every hold released
  EXPECT_TRUE(PathExists(in.File("cut.bmp")));
  EXPECT_TRUE(PathExists(dest.File("cut.bmp")));
  ASSERT_EQ(err.size(), 1u);
  EXPECT_NE(err[0].find("partial"), std::string::npos) << err[0];
  EXPECT_NE(err[0].find("input kept"), std::string::npos) << err[0];

  // Without deletion the output is all there is to say: status 0.
  params.IFileDel = 0;
  err.clear();
  EXPECT_EQ(Run(options), kExitAllConverted);
  ASSERT_EQ(err.size(), 1u);
  EXPECT_NE(err[0].find("partial"), std::string::npos);
}

// One run of a mixed batch in its own scratch folder ("in" and "out" inside
// it, so that paths and the tag file's name are the same for every run),
// and everything it left.
struct RunRecord {
  int status = -1;
  std::vector<std::string> out;
  std::vector<std::string> err;
  std::map<std::u16string, std::vector<uint8_t>> outputs;
  std::vector<std::u16string> inputsLeft;
};

std::map<std::u16string, std::vector<uint8_t>> FolderContents(const std::u16string& folder) {
  std::map<std::u16string, std::vector<uint8_t>> contents;
  std::vector<DirectoryEntry> entries;
  EXPECT_TRUE(ListDirectory(folder, entries));
  for (const DirectoryEntry& e : entries) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(test::ReadWholeFile(JoinPath(folder, e.name), bytes));
    contents[e.name] = std::move(bytes);
  }
  return contents;
}

// The mixed folder: images of many sizes and depths, names that collide
// ("c.bmp" and "c.gif" both give "c", "keep" is taken in the output folder),
// broken and cut files, a file that is not an image.
void WriteMixedInputs(const std::u16string& in, const std::u16string& out) {
  const auto file = [&in](const char* name) { return JoinPath(in, Utf8ToUtf16(name)); };
  WritePatternBmp(file("a.bmp"), 120, 90, 24);
  WritePatternBmp(file("b.bmp"), 33, 17, 8);
  WritePatternBmp(file("c.bmp"), 64, 48, 24);
  WritePatternBmp(file("c.gif"), 48, 64, 24);  // a BMP under another name
  WritePatternBmp(file("d.bmp"), 1, 1, 24);
  WritePatternBmp(file("keep.bmp"), 200, 150, 24);
  WritePatternBmp(file("m.bmp"), 7, 300, 4);
  WritePatternBmp(file("n.bmp"), 300, 7, 1);
  WritePatternBmp(file("cut.bmp"), 80, 80, 24);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(test::ReadWholeFile(file("cut.bmp"), bytes));
  bytes.resize(bytes.size() / 3);
  ASSERT_TRUE(test::WriteWholeFile(file("cut.bmp"), bytes));
  ASSERT_TRUE(test::WriteWholeFile(file("broken.bmp"), {'B', 'M', 0}));
  ASSERT_TRUE(test::WriteWholeFile(file("empty.bmp"), {}));
  ASSERT_TRUE(test::WriteWholeFile(file("text.txt"), {'h', 'i'}));
  for (int i = 0; i < 12; ++i) {
    WritePatternBmp(file(("s" + std::to_string(i) + ".bmp").c_str()), 10 + 13 * i, 5 + 7 * i, 24);
  }
  ASSERT_TRUE(test::WriteWholeFile(JoinPath(out, u"keep.jpg"), {'k', 'e', 'e', 'p'}));
}

RunRecord RunMixedBatch(int32_t jobs, bool folderBatch, const ConversionParameters& base) {
  test::ScratchFolder scratch;
  const std::u16string in = scratch.File("in");
  const std::u16string out = scratch.File("out");
  EXPECT_TRUE(CreateFolder(in));
  EXPECT_TRUE(CreateFolder(out));
  WriteMixedInputs(in, out);
  RunRecord record;
  CliOutput output;
  const auto relative = [&scratch](std::string line) {
    const std::string root = Utf16ToUtf8(scratch.path());
    for (size_t at = line.find(root); at != std::string::npos; at = line.find(root)) {
      line.replace(at, root.size(), "<root>");
    }
    return line;
  };
  output.out = [&](const std::string& line) { record.out.push_back(relative(line)); };
  output.err = [&](const std::string& line) { record.err.push_back(relative(line)); };
  output.status = [](const std::string&) {};
  CliOptions options;
  options.jobs = jobs;
  options.outputFolder = out;
  if (folderBatch) {
    options.inputs = {in};
  } else {
    // Given twice: once deleted, the second time it is gone.
    for (const char* name : {"a.bmp", "c.gif", "broken.bmp", "a.bmp", "c.bmp", "cut.bmp",
                             "missing.bmp", "keep.bmp", "c.gif", "s3.bmp", "s4.bmp"}) {
      options.inputs.push_back(JoinPath(in, Utf8ToUtf16(name)));
    }
  }
  ConversionParameters params = base;
  WindowSettings window;
  record.status = RunCli(options, params, window, output, nullptr);
  record.outputs = FolderContents(out);
  for (const auto& [name, bytes] : FolderContents(in)) record.inputsLeft.push_back(name);
  return record;
}

void ExpectSameRuns(const RunRecord& sequential, const RunRecord& parallel) {
  EXPECT_EQ(parallel.status, sequential.status);
  EXPECT_EQ(parallel.out, sequential.out);
  EXPECT_EQ(parallel.err, sequential.err);
  EXPECT_EQ(parallel.inputsLeft, sequential.inputsLeft);
  ASSERT_EQ(parallel.outputs.size(), sequential.outputs.size());
  for (const auto& [name, bytes] : sequential.outputs) {
    const auto it = parallel.outputs.find(name);
    ASSERT_NE(it, parallel.outputs.end()) << Utf16ToUtf8(name);
    EXPECT_TRUE(it->second == bytes) << Utf16ToUtf8(name);
  }
}

TEST(CliParallelRunTest, FourJobsLeaveExactlyWhatOneLeaves) {
  ConversionParameters params;
  params.OFmt = 2;  // JPEG
  params.RszOpt = 1;
  params.RszSize = 50;
  params.HtmlTag = 1;
  params.IFileDel = 1;
  params.Recycle = 0;
  const RunRecord sequential = RunMixedBatch(1, true, params);
  // The run did what the comparison is about: outputs, collisions,
  // failures, an input kept.
  EXPECT_EQ(sequential.status, kExitSomeFailed);
  EXPECT_EQ(sequential.outputs.size(), 23u);
  EXPECT_EQ(sequential.outputs.count(u"keep+1.jpg"), 1u);
  EXPECT_EQ(sequential.outputs.count(u"c+1.jpg"), 1u);
  EXPECT_EQ(sequential.inputsLeft,
            (std::vector<std::u16string>{u"broken.bmp", u"cut.bmp", u"empty.bmp", u"text.txt"}));
  EXPECT_GE(sequential.err.size(), 3u);
  const RunRecord parallel = RunMixedBatch(4, true, params);
  ExpectSameRuns(sequential, parallel);

  // Serial numbers (with the gaps failures leave) and PNG output.
  params.OFmt = 1;
  params.NameSet = 2;
  params.DigitNum = 3;
  params.IFileDel = 0;
  ExpectSameRuns(RunMixedBatch(1, true, params), RunMixedBatch(3, true, params));
}

TEST(CliParallelRunTest, AFileGivenTwiceIsGoneTheSecondTimeAsInASequentialRun) {
  ConversionParameters params;
  params.OFmt = 0;
  params.IFileDel = 1;
  params.Recycle = 0;
  const RunRecord sequential = RunMixedBatch(1, false, params);
  EXPECT_EQ(std::count(sequential.inputsLeft.begin(), sequential.inputsLeft.end(), u"a.bmp"), 0);
  const RunRecord parallel = RunMixedBatch(4, false, params);
  ExpectSameRuns(sequential, parallel);
}

}  // namespace
}  // namespace pixlane::cli
