// The commit of one converted file: the "+n" names claimed without ever
// replacing or following anything, the temporary file gone afterwards, and
// the input deleted only when its image was whole and the file is still the
// one that was read.
#include "engine/output_commit.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "platform/temporary_files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

std::string Contents(const std::u16string& path) {
  std::vector<uint8_t> bytes;
  if (!test::ReadWholeFile(path, bytes)) return "<missing>";
  return {bytes.begin(), bytes.end()};
}

class OutputCommitTest : public ::testing::Test {
 protected:
  // A converted file under a temporary name and a request to commit it as
  // out/photo.jpg, the input being in/photo.bmp.
  CommitRequest Request(const std::string& contents = "converted") {
    CommitRequest request;
    request.temporaryPath = MakeTemporaryName(out.path());
    OutputFile file;
    EXPECT_TRUE(file.Create(request.temporaryPath));
    EXPECT_TRUE(file.Write(contents.data(), contents.size()));
    EXPECT_TRUE(file.Close());
    request.outputPath = out.File("photo.jpg");
    request.extension = u".jpg";
    request.inputPath = in.File("photo.bmp");
    EXPECT_TRUE(test::WriteWholeFile(request.inputPath, {'B', 'M'}));
    EXPECT_TRUE(GetFileIdentity(request.inputPath, true, request.inputIdentity));
    return request;
  }

  std::vector<std::u16string> recycled;
  bool recycleWorks = true;
  RecycleFunction recycle = [this](std::u16string_view path) {
    recycled.emplace_back(path);
    return recycleWorks && DeleteFilePath(path);
  };
  test::ScratchFolder in;
  test::ScratchFolder out;
};

TEST_F(OutputCommitTest, TakesTheFirstFreeNameAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(test::WriteWholeFile(out.File("photo.jpg"), {'o', 'l', 'd'}));
  ASSERT_TRUE(CreateFolder(out.File("photo+1.jpg")));
  const CommitRequest request = Request();
  const CommitResult result = CommitConvertedFile(request, recycle);
  ASSERT_TRUE(result.committed) << result.reason;
  EXPECT_EQ(result.outputPath, out.File("photo+2.jpg"));
  EXPECT_EQ(Contents(out.File("photo+2.jpg")), "converted");
  EXPECT_EQ(Contents(out.File("photo.jpg")), "old");
  EXPECT_FALSE(PathTaken(request.temporaryPath));
  EXPECT_EQ(result.input, InputOutcome::Kept);
  EXPECT_TRUE(PathExists(request.inputPath));
  RemoveEmptyFolder(out.File("photo+1.jpg"));
}

#ifndef _WIN32
TEST_F(OutputCommitTest, LinksPlantedAtTheNamesAreNeitherFollowedNorDeleted) {
  ASSERT_TRUE(test::WriteWholeFile(in.File("victim"), {'v'}));
  const std::string victim = Utf16ToUtf8(in.File("victim"));
  const std::string nowhere = Utf16ToUtf8(in.File("nowhere"));
  ASSERT_EQ(::symlink(victim.c_str(), Utf16ToUtf8(out.File("photo.jpg")).c_str()), 0);
  ASSERT_EQ(::symlink(nowhere.c_str(), Utf16ToUtf8(out.File("photo+1.jpg")).c_str()), 0);
  const CommitResult result = CommitConvertedFile(Request(), recycle);
  ASSERT_TRUE(result.committed);
  EXPECT_EQ(result.outputPath, out.File("photo+2.jpg"));
  EXPECT_EQ(Contents(in.File("victim")), "v");
  EXPECT_FALSE(PathTaken(in.File("nowhere")));
  EXPECT_TRUE(PathTaken(out.File("photo.jpg")));
  EXPECT_TRUE(PathTaken(out.File("photo+1.jpg")));
}
#endif

TEST_F(OutputCommitTest, DeletesOrRecyclesTheInputOnlyWhenItIsWholeAndUnchanged) {
  CommitRequest request = Request();
  request.disposal = InputDisposal::Delete;
  CommitResult result = CommitConvertedFile(request, recycle);
  ASSERT_TRUE(result.committed);
  EXPECT_EQ(result.input, InputOutcome::Deleted);
  EXPECT_FALSE(PathExists(request.inputPath));

  // A partial image: the output is there, the input stays.
  request = Request();
  request.disposal = InputDisposal::Delete;
  request.inputPartial = true;
  result = CommitConvertedFile(request, recycle);
  ASSERT_TRUE(result.committed);
  EXPECT_EQ(result.input, InputOutcome::KeptPartial);
  EXPECT_TRUE(PathExists(request.inputPath));
  EXPECT_STRNE(InputKeptReason(result.input), "");

  // Replaced since it was read.
  request = Request();
  request.disposal = InputDisposal::Recycle;
  ASSERT_TRUE(test::WriteWholeFile(request.inputPath, {'B', 'M', '2'}));
  result = CommitConvertedFile(request, recycle);
  EXPECT_EQ(result.input, InputOutcome::KeptChanged);
  EXPECT_TRUE(PathExists(request.inputPath));
  EXPECT_TRUE(recycled.empty());

  // Gone since it was read.
  request = Request();
  request.disposal = InputDisposal::Delete;
  ASSERT_TRUE(DeleteFilePath(request.inputPath));
  EXPECT_EQ(CommitConvertedFile(request, recycle).input, InputOutcome::KeptChanged);

  // The recycle bin refuses it.
  request = Request();
  request.disposal = InputDisposal::Recycle;
  recycleWorks = false;
  result = CommitConvertedFile(request, recycle);
  EXPECT_EQ(result.input, InputOutcome::KeptDeleteFailed);
  EXPECT_TRUE(PathExists(request.inputPath));
  recycleWorks = true;
  request = Request();
  request.disposal = InputDisposal::Recycle;
  EXPECT_EQ(CommitConvertedFile(request, recycle).input, InputOutcome::Recycled);
  EXPECT_FALSE(PathExists(request.inputPath));
  EXPECT_EQ(InputKeptReason(InputOutcome::Recycled), std::string());
}

TEST_F(OutputCommitTest, AFailedCommitRemovesItsTemporaryFileAndKeepsTheInput) {
  CommitRequest request = Request();
  request.disposal = InputDisposal::Delete;
  // The output name is in a folder that no longer exists.
  request.outputPath = JoinPath(out.File("gone"), u"photo.jpg");
  ClearLastFileError();
  const CommitResult result = CommitConvertedFile(request, recycle);
  EXPECT_FALSE(result.committed);
  EXPECT_NE(result.reason.find("cannot name the output: "), std::string::npos) << result.reason;
  EXPECT_FALSE(PathTaken(request.temporaryPath));
  EXPECT_TRUE(PathExists(request.inputPath));

  // The temporary file itself vanished: nothing to commit, nothing deleted.
  request = Request();
  request.disposal = InputDisposal::Delete;
  ASSERT_TRUE(DeleteFilePath(request.temporaryPath));
  EXPECT_FALSE(CommitConvertedFile(request, recycle).committed);
  EXPECT_TRUE(PathExists(request.inputPath));
  std::vector<DirectoryEntry> left;
  ASSERT_TRUE(ListDirectory(out.path(), left));
  EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace pixlane
