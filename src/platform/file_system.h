// Files and folders of the host system, addressed by UTF-16 paths: plain
// input and output files behind RAII handles, attribute queries, deletion,
// temporary files, directory listing, and the steps of a durable commit
// (flush, rename that never replaces, folder flush). Files are only ever
// created exclusively and never through a link. POSIX and Win32
// implementations live in file_system_posix.cpp and file_system_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pixlane {

// Windows FILETIME semantics on every platform: 100-nanosecond intervals
// since 1601-01-01 UTC.
using FileTime = uint64_t;

#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// Joins a folder and a name with exactly one separator between them; with
// no folder, the name unchanged.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);
// The part after the last separator (either '/' or '\\' on Windows).
std::u16string_view FileNamePart(std::u16string_view path);
// The part before the last separator, keeping a root's own separator ("/a"
// gives "/"); empty when there is none.
std::u16string_view FolderPart(std::u16string_view path);

// Why the last failed file operation of the calling thread failed, in the
// system's words ("No space left on device"); empty when none was recorded.
// Every function below that fails because of the system records its reason.
std::string LastFileErrorText();
void ClearLastFileError();

// A file opened for reading, shared for reading with other processes.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens a regular file (a link to one is followed). Anything else — a
  // folder, a FIFO, a device — is refused without blocking.
  bool Open(std::u16string_view path);
  bool IsOpen() const;
  // Reads up to `bytes` bytes; returns how many were read (0 at the end or
  // on an error).
  size_t Read(void* buffer, size_t bytes);
  bool Seek(uint64_t offset);
  uint64_t Size() const;
  FileTime LastWriteTime() const;
  void Close();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// A new file, not shared while open.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file exclusively: fails when any entry already has that
  // name (a file, a folder, a link, also one that points nowhere), so that
  // nothing is ever truncated, replaced or written through a link. The new
  // file is remembered as this process's own (see DeleteOwnFile).
  bool Create(std::u16string_view path);
  bool IsOpen() const;
  // Writes all `bytes` bytes or returns false.
  bool Write(const void* data, size_t bytes);
  // Hands the data written so far to the storage device (fsync,
  // FlushFileBuffers).
  bool Flush();
  // Closes the file; false when the close reported an error.
  bool Close();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// PathExists and IsDirectory follow links: a link that points nowhere does
// not exist for them. PathTaken is true for any directory entry at all.
bool PathExists(std::u16string_view path);
bool IsDirectory(std::u16string_view path);
bool PathTaken(std::u16string_view path);
bool GetFileSize(std::u16string_view path, uint64_t& size);
bool GetLastWriteTime(std::u16string_view path, FileTime& time);
bool DeleteFilePath(std::u16string_view path);
// Creates one folder; true when it exists afterwards.
bool CreateFolder(std::u16string_view path);
// Removes a folder that is empty; false when it is not empty or missing.
bool RemoveEmptyFolder(std::u16string_view path);
// Copies into a new file `to` (created exclusively); a failed copy removes
// what it created.
bool CopyFilePath(std::u16string_view from, std::u16string_view to);

// Which file a path names, and the state it was in: the volume and file
// number tell the file apart from any other; size and last-write time tell
// whether it changed.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  FileTime lastWriteTime = 0;
  bool isRegularFile = false;

  bool SameFile(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of what `path` names; with `followLinks` false a link is
// described itself. False when nothing is there.
bool GetFileIdentity(std::u16string_view path, bool followLinks, FileIdentity& identity);

// Deletes `path` only when it is a file this process (any of its threads)
// created with OutputFile::Create (the same name and the same file, not
// renamed since).
// Anything else found under that name is left alone.
bool DeleteOwnFile(std::u16string_view path);

// For a process that is about to end: from now on OutputFile::Create
// refuses every file, and the own files (as DeleteOwnFile knows them) that
// `unfinished` picks are deleted. Returns how many were. On Windows a file
// still open for writing cannot be deleted and stays behind.
int DeleteUnfinishedOwnFiles(bool (*unfinished)(std::u16string_view path));

// Hands the contents of the regular file `path` to the storage device. A
// link is not followed.
bool FlushFileToDisk(std::u16string_view path);
// Makes the entries of `folder` (new names, removed names) durable where
// the system allows it (fsync of the folder on POSIX; Windows writes
// renames through with MOVEFILE_WRITE_THROUGH instead).
bool FlushFolder(std::u16string_view folder);

enum class RenameResult {
  Renamed,    // `from` now has the name `to`
  NameTaken,  // some entry already has the name `to`; nothing changed
  Failed,     // the reason is in LastFileErrorText
};

// Gives the file `from` the name `to` on the same volume without ever
// replacing an existing entry: renameat2 with RENAME_NOREPLACE, else a
// hard link and unlink, else a reservation created exclusively (POSIX);
// MoveFileExW without MOVEFILE_REPLACE_EXISTING, written through (Windows).
RenameResult RenameNoReplace(std::u16string_view from, std::u16string_view to);

// Replaces the regular file (or nothing) at `to` with `from` in one step,
// written through: the reader sees the old or the new file, never a mix.
// Refuses when `to` is anything but a regular file (a link, a folder).
bool ReplaceWithFile(std::u16string_view from, std::u16string_view to);

// Deletes a regular file (never a link) that no process is writing: on
// POSIX one whose lock (held by OutputFile while it is open) is free, on
// Windows one that no process keeps open. For stale temporary files.
bool DeleteUnusedFile(std::u16string_view path);

// The folder for temporary files, without a trailing separator.
std::u16string TemporaryFolder();
// Creates a new empty file (exclusively) with a unique name beginning with
// `prefix` in `folder` and returns its path in `path`.
bool MakeTemporaryFile(std::u16string_view folder, std::u16string_view prefix,
                       std::u16string& path);

struct DirectoryEntry {
  std::u16string name;
  bool isDirectory = false;
  // A regular file, or a link to one: not a folder, FIFO, socket or device,
  // and not a link that points nowhere.
  bool isRegularFile = false;
  // The hidden attribute on Windows; a leading dot on POSIX.
  bool isHidden = false;
  uint64_t size = 0;
  FileTime lastWriteTime = 0;
};

// Lists the entries of `folder` except "." and "..", in the order the
// system returns them. False when the folder cannot be read.
bool ListDirectory(std::u16string_view folder, std::vector<DirectoryEntry>& entries);

}  // namespace pixlane
