// The platform steps of a safe commit: exclusive creation that never
// follows or truncates, "taken" as any directory entry, the rename that
// never replaces, deleting only this thread's own files, file identities,
// special files that never block, temporary names and the stale-file sweep.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>
#include <thread>
#include <vector>

#include "platform/file_map.h"
#include "platform/file_system.h"
#include "platform/process_info.h"
#include "platform/temporary_files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string Contents(const std::u16string& path) {
  std::vector<uint8_t> bytes;
  if (!test::ReadWholeFile(path, bytes)) return "<missing>";
  return {bytes.begin(), bytes.end()};
}

bool WriteNew(const std::u16string& path, const std::string& text) {
  OutputFile out;
  return out.Create(path) && out.Write(text.data(), text.size()) && out.Flush() && out.Close();
}

#ifndef _WIN32
void Link(const std::u16string& target, const std::u16string& link) {
  ASSERT_EQ(::symlink(Utf16ToUtf8(target).c_str(), Utf16ToUtf8(link).c_str()), 0);
}
#endif

TEST(ExclusiveCreateTest, NeverOpensWhatIsThereAndSaysWhyItFailed) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteWholeFile(folder.File("old"), Bytes("keep")));
  EXPECT_FALSE(WriteNew(folder.File("old"), "x"));
  EXPECT_EQ(Contents(folder.File("old")), "keep");
  EXPECT_FALSE(WriteNew(folder.path(), "x"));  // a folder

  ClearLastFileError();
  EXPECT_FALSE(WriteNew(JoinPath(folder.File("missing"), u"x"), "x"));
  EXPECT_FALSE(LastFileErrorText().empty());
  // Copies follow the same rule.
  EXPECT_FALSE(CopyFilePath(folder.File("old"), folder.File("old")));
  EXPECT_TRUE(CopyFilePath(folder.File("old"), folder.File("copy")));
  EXPECT_FALSE(CopyFilePath(folder.File("copy"), folder.File("old")));
  EXPECT_EQ(Contents(folder.File("old")), "keep");
}

#ifndef _WIN32
TEST(ExclusiveCreateTest, ALinkAtTheNameIsNeverFollowedNorReplaced) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteWholeFile(folder.File("victim"), Bytes("precious")));
  Link(folder.File("victim"), folder.File("to-victim"));
  Link(folder.File("nowhere"), folder.File("dangling"));

  EXPECT_FALSE(WriteNew(folder.File("to-victim"), "evil"));
  EXPECT_FALSE(WriteNew(folder.File("dangling"), "evil"));
  EXPECT_EQ(Contents(folder.File("victim")), "precious");
  EXPECT_FALSE(PathTaken(folder.File("nowhere")));  // the target was not created

  // A link that points nowhere does not exist, but its name is taken.
  EXPECT_FALSE(PathExists(folder.File("dangling")));
  EXPECT_TRUE(PathTaken(folder.File("dangling")));

  ASSERT_TRUE(WriteNew(folder.File("temp"), "new"));
  EXPECT_EQ(RenameNoReplace(folder.File("temp"), folder.File("to-victim")), RenameResult::NameTaken);
  EXPECT_EQ(RenameNoReplace(folder.File("temp"), folder.File("dangling")), RenameResult::NameTaken);
  EXPECT_EQ(Contents(folder.File("victim")), "precious");
  EXPECT_FALSE(PathTaken(folder.File("nowhere")));
  EXPECT_EQ(Contents(folder.File("temp")), "new");

  // Flushing or deleting by name never goes through a link either.
  EXPECT_FALSE(FlushFileToDisk(folder.File("to-victim")));
  EXPECT_FALSE(DeleteOwnFile(folder.File("to-victim")));
  EXPECT_FALSE(DeleteUnusedFile(folder.File("to-victim")));
  EXPECT_TRUE(PathTaken(folder.File("to-victim")));
  // Nor does the replacement of a settings file.
  EXPECT_FALSE(ReplaceWithFile(folder.File("temp"), folder.File("to-victim")));
  EXPECT_EQ(Contents(folder.File("victim")), "precious");
}

TEST(SpecialFileTest, AMappedFileCutShortByAnotherProgramCannotCrashTheReader) {
  test::ScratchFolder folder;
  const std::u16string path = folder.File("photo.jpg");
  ASSERT_TRUE(test::WriteWholeFile(path, std::vector<uint8_t>(1 << 20, 0x5A)));
  FileMapping mapping;
  ASSERT_TRUE(mapping.Map(path));
  ASSERT_EQ(::truncate(Utf16ToUtf8(path).c_str(), 0), 0);
  // Every byte stays readable (a shared mapping would raise SIGBUS here).
  size_t sum = 0;
  for (size_t i = 0; i < mapping.size(); i += 4096) sum += mapping.data()[i];
  EXPECT_EQ(sum, size_t{0x5A} * 256);
}

TEST(SpecialFileTest, AFifoIsRefusedWithoutWaiting) {
  test::ScratchFolder folder;
  const std::u16string fifo = folder.File("pipe.jpg");
  ASSERT_EQ(::mkfifo(Utf16ToUtf8(fifo).c_str(), 0600), 0);
  InputFile in;
  EXPECT_FALSE(in.Open(fifo));
  FileMapping mapping;
  EXPECT_FALSE(mapping.Map(fifo));
  FileIdentity id;
  ASSERT_TRUE(GetFileIdentity(fifo, true, id));
  EXPECT_FALSE(id.isRegularFile);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(folder.path(), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_FALSE(entries[0].isRegularFile);
  EXPECT_FALSE(entries[0].isDirectory);
}
#endif

TEST(RenameNoReplaceTest, ClaimsAFreeNameAndNeverReplacesATakenOne) {
  test::ScratchFolder folder;
  ASSERT_TRUE(WriteNew(folder.File("a.tmp"), "A"));
  ASSERT_TRUE(WriteNew(folder.File("b.tmp"), "B"));
  EXPECT_EQ(RenameNoReplace(folder.File("a.tmp"), folder.File("out.jpg")), RenameResult::Renamed);
  EXPECT_FALSE(PathTaken(folder.File("a.tmp")));
  EXPECT_EQ(RenameNoReplace(folder.File("b.tmp"), folder.File("out.jpg")), RenameResult::NameTaken);
  EXPECT_EQ(Contents(folder.File("out.jpg")), "A");
  EXPECT_EQ(Contents(folder.File("b.tmp")), "B");
  ASSERT_TRUE(CreateFolder(folder.File("sub")));
  EXPECT_EQ(RenameNoReplace(folder.File("b.tmp"), folder.File("sub")), RenameResult::NameTaken);
  EXPECT_EQ(RenameNoReplace(folder.File("gone.tmp"), folder.File("x.jpg")), RenameResult::Failed);
  EXPECT_TRUE(FlushFolder(folder.path()));
  RemoveEmptyFolder(folder.File("sub"));
}

TEST(OwnFileTest, OnlyFilesThisProcessCreatedAreDeleted) {
  test::ScratchFolder folder;
  ASSERT_TRUE(WriteNew(folder.File("mine"), "m"));
  EXPECT_TRUE(FlushFileToDisk(folder.File("mine")));
  EXPECT_TRUE(DeleteOwnFile(folder.File("mine")));
  EXPECT_FALSE(PathTaken(folder.File("mine")));

  // A worker thread's file is the committing thread's to delete too.
  bool written = false;
  std::thread([&] { written = WriteNew(folder.File("worker"), "w"); }).join();
  ASSERT_TRUE(written);
  EXPECT_TRUE(DeleteOwnFile(folder.File("worker")));
  EXPECT_FALSE(PathTaken(folder.File("worker")));

  // Someone else's file under a name this thread never created.
  std::u16string theirs;
  ASSERT_TRUE(MakeTemporaryFile(folder.path(), u"t", theirs));
  EXPECT_FALSE(DeleteOwnFile(theirs));
  EXPECT_TRUE(PathTaken(theirs));

  // Our file was swapped for another one under the same name: left alone.
  ASSERT_TRUE(WriteNew(folder.File("swapped"), "ours"));
  ASSERT_TRUE(ReplaceWithFile(theirs, folder.File("swapped")));
  EXPECT_FALSE(DeleteOwnFile(folder.File("swapped")));
  EXPECT_TRUE(PathTaken(folder.File("swapped")));

  // A renamed file is no longer ours under its new name.
  ASSERT_TRUE(WriteNew(folder.File("t2"), "x"));
  ASSERT_EQ(RenameNoReplace(folder.File("t2"), folder.File("final")), RenameResult::Renamed);
  EXPECT_FALSE(DeleteOwnFile(folder.File("final")));
  EXPECT_TRUE(PathTaken(folder.File("final")));
}

TEST(FileIdentityTest, TellsFilesApartAndSeesChanges) {
  test::ScratchFolder folder;
  ASSERT_TRUE(WriteNew(folder.File("a"), "one"));
  ASSERT_TRUE(WriteNew(folder.File("b"), "one"));
  FileIdentity a, again, b;
  ASSERT_TRUE(GetFileIdentity(folder.File("a"), true, a));
  ASSERT_TRUE(GetFileIdentity(folder.File("a"), true, again));
  ASSERT_TRUE(GetFileIdentity(folder.File("b"), true, b));
  EXPECT_TRUE(a.isRegularFile);
  EXPECT_EQ(a, again);
  EXPECT_FALSE(a.SameFile(b));
  EXPECT_EQ(a.size, 3u);
  // Replaced by another file of the same size under the same name.
  ASSERT_TRUE(DeleteFilePath(folder.File("a")));
  ASSERT_EQ(RenameNoReplace(folder.File("b"), folder.File("a")), RenameResult::Renamed);
  ASSERT_TRUE(GetFileIdentity(folder.File("a"), true, again));
  EXPECT_NE(a, again);
  FileIdentity dir;
  ASSERT_TRUE(GetFileIdentity(folder.path(), true, dir));
  EXPECT_FALSE(dir.isRegularFile);
  EXPECT_FALSE(GetFileIdentity(folder.File("missing"), true, dir));
}

// A process id no system hands out (Linux stops at 2^22, Windows ids are
// multiples of 4 far below this).
constexpr uint32_t kDeadProcess = 4000000001u;

std::u16string StaleName(uint32_t tag, uint32_t pid, const char* random = "0123456789abcdef") {
  char text[96];
  std::snprintf(text, sizeof text, ".pixlane-%08x-%u-%s.tmp", tag, pid, random);
  return Utf8ToUtf16(text);
}

TEST(TemporaryNameTest, NamesHaveTheOneRecognisedForm) {
  test::ScratchFolder folder;
  const std::u16string a = MakeTemporaryName(folder.path());
  const std::u16string b = MakeTemporaryName(folder.path());
  EXPECT_NE(a, b);
  EXPECT_EQ(FolderPart(a), folder.path());
  TemporaryNameParts parts;
  ASSERT_TRUE(ParseTemporaryName(FileNamePart(a), parts));
  EXPECT_EQ(parts.processId, CurrentProcessId());
  EXPECT_EQ(parts.machineTag, MachineTag());
  EXPECT_FALSE(PathTaken(a));  // a name only: the writer creates the file

  for (const char16_t* near : {u".pixlane-0000000g-12-0123456789abcdef.tmp",
                               u".pixlane-00000000-012-0123456789abcdef.tmp",
                               u".pixlane-00000000--0123456789abcdef.tmp",
                               u".pixlane-00000000-12-0123456789abcde.tmp",
                               u".pixlane-00000000-12-0123456789ABCDEF.tmp",
                               u".pixlane-00000000-12-0123456789abcdef.tmp.jpg",
                               u"pixlane-00000000-12-0123456789abcdef.tmp",
                               u".pixlane-00000000-99999999999-0123456789abcdef.tmp"}) {
    EXPECT_FALSE(ParseTemporaryName(near, parts)) << Utf16ToUtf8(near);
  }
  EXPECT_TRUE(ParseTemporaryName(StaleName(0xdeadbeef, 12), parts));
  EXPECT_EQ(parts.machineTag, 0xdeadbeefu);
  EXPECT_EQ(parts.processId, 12u);
}

TEST(StaleTemporaryFileTest, RemovesOnlyFilesItCanProveAreLeftOver) {
  test::ScratchFolder folder;
  const std::u16string stale = folder.File(Utf16ToUtf8(StaleName(MachineTag(), kDeadProcess)));
  ASSERT_TRUE(test::WriteWholeFile(stale, Bytes("half a jpeg")));
  // Same form but not provably stale, or not the form at all: kept.
  const std::vector<std::u16string> kept = {
      folder.File(Utf16ToUtf8(StaleName(MachineTag() ^ 1u, kDeadProcess))),  // another machine
      folder.File(Utf16ToUtf8(StaleName(MachineTag(), CurrentProcessId()))),  // this process
      folder.File("pixlane-tmp.tmp"),
      folder.File("photo.jpg"),
  };
  for (const std::u16string& path : kept) ASSERT_TRUE(test::WriteWholeFile(path, Bytes("x")));
  EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 1);
  EXPECT_FALSE(PathTaken(stale));
  for (const std::u16string& path : kept) EXPECT_TRUE(PathTaken(path)) << Utf16ToUtf8(path);
  EXPECT_EQ(RemoveStaleTemporaryFiles(folder.File("missing")), 0);
}

TEST(StaleTemporaryFileTest, AFileBeingWrittenIsNeverRemoved) {
  test::ScratchFolder folder;
  const std::u16string busy = folder.File(Utf16ToUtf8(StaleName(MachineTag(), kDeadProcess, "00000000000000aa")));
  OutputFile writing;
  ASSERT_TRUE(writing.Create(busy));  // held open (locked, or unshared) while written
  EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 0);
  EXPECT_TRUE(PathTaken(busy));
  writing.Close();
  EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 1);
}

#ifndef _WIN32
TEST(StaleTemporaryFileTest, LinksAndFoldersWithTheNameAndLiveProcessesAreKept) {
  test::ScratchFolder folder;
  ASSERT_TRUE(test::WriteWholeFile(folder.File("victim"), Bytes("precious")));
  const std::u16string link = folder.File(Utf16ToUtf8(StaleName(MachineTag(), kDeadProcess, "00000000000000bb")));
  Link(folder.File("victim"), link);
  const std::u16string dir = folder.File(Utf16ToUtf8(StaleName(MachineTag(), kDeadProcess, "00000000000000cc")));
  ASSERT_TRUE(CreateFolder(dir));
  // Process 1 always runs.
  const std::u16string live = folder.File(Utf16ToUtf8(StaleName(MachineTag(), 1)));
  ASSERT_TRUE(test::WriteWholeFile(live, Bytes("x")));
  EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 0);
  EXPECT_TRUE(PathTaken(link));
  EXPECT_TRUE(IsDirectory(dir));
  EXPECT_TRUE(PathTaken(live));
  EXPECT_EQ(Contents(folder.File("victim")), "precious");
  RemoveEmptyFolder(dir);
}
#endif

}  // namespace
}  // namespace pixlane
