// Files and folders of the host system, addressed by UTF-16 paths: plain
// input and output files behind RAII handles, attribute queries, deletion,
// temporary files and directory listing. POSIX and Win32 implementations
// live in file_system_posix.cpp and file_system_win.cpp.
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

// A file opened for reading, shared for reading with other processes.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

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

// A file created anew (an existing file is truncated), not shared while open.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(std::u16string_view path);
  bool IsOpen() const;
  // Writes all `bytes` bytes or returns false.
  bool Write(const void* data, size_t bytes);
  // Closes the file; false when the close reported an error.
  bool Close();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

bool PathExists(std::u16string_view path);
bool IsDirectory(std::u16string_view path);
bool GetFileSize(std::u16string_view path, uint64_t& size);
bool GetLastWriteTime(std::u16string_view path, FileTime& time);
bool DeleteFilePath(std::u16string_view path);
// Creates one folder; true when it exists afterwards.
bool CreateFolder(std::u16string_view path);
// Removes a folder that is empty; false when it is not empty or missing.
bool RemoveEmptyFolder(std::u16string_view path);
bool CopyFilePath(std::u16string_view from, std::u16string_view to);

// The folder for temporary files, without a trailing separator.
std::u16string TemporaryFolder();
// Creates a new empty file with a unique name beginning with `prefix` in
// `folder` and returns its path in `path`.
bool MakeTemporaryFile(std::u16string_view folder, std::u16string_view prefix,
                       std::u16string& path);

struct DirectoryEntry {
  std::u16string name;
  bool isDirectory = false;
  // The hidden attribute on Windows; a leading dot on POSIX.
  bool isHidden = false;
  uint64_t size = 0;
  FileTime lastWriteTime = 0;
};

// Lists the entries of `folder` except "." and "..", in the order the
// system returns them. False when the folder cannot be read.
bool ListDirectory(std::u16string_view folder, std::vector<DirectoryEntry>& entries);

}  // namespace pixlane
