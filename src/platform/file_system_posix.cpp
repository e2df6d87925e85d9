// POSIX implementation of the file-system layer: paths are converted to
// UTF-8 at each system call; times are converted to FILETIME units. Files
// are created with O_EXCL | O_NOFOLLOW only, opened for reading with
// O_NONBLOCK so that a FIFO can never block, and held under an advisory
// lock while written (see DeleteUnusedFile).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/own_files.h"
#include "platform/text.h"

namespace pixlane {
namespace {

using namespace own_files;

// Seconds between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifferenceSeconds = 11644473600ull;

thread_local int tLastError = 0;

bool Fail(int error = errno) {
  tLastError = error;
  return false;
}

FileTime ToFileTime(const struct timespec& ts) {
  if (ts.tv_sec < 0) return 0;
  return (static_cast<uint64_t>(ts.tv_sec) + kEpochDifferenceSeconds) * 10000000ull +
         static_cast<uint64_t>(ts.tv_nsec) / 100u;
}

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.lastWriteTime = ToFileTime(st.st_mtim);
  id.isRegularFile = S_ISREG(st.st_mode);
  return id;
}

// The UTF-8 form for system calls. A path holding a NUL character becomes
// an empty string, which every call refuses, instead of a shorter path.
std::string Native(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return std::string();
  return Utf16ToUtf8(path);
}

// Opens a regular file read-only without blocking on a FIFO or a device;
// with `followLinks` false a link is refused. -1 on failure.
int OpenRegularForReading(const std::string& native, bool followLinks) {
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  if (!followLinks) flags |= O_NOFOLLOW;
  const int fd = ::open(native.c_str(), flags);
  if (fd < 0) {
    Fail();
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    ::close(fd);
    return -1;
  }
  // Regular files never block; reads go on as usual.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Creates `native` exclusively (never through a link) for writing; -1 on
// failure.
int CreateExclusive(const std::string& native) {
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) Fail();
  return fd;
}

}  // namespace

std::string LastFileErrorText() {
  if (tLastError == 0) return std::string();
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which may or may not be `buffer`.
  return std::string(::strerror_r(tLastError, buffer, sizeof buffer));
}

void ClearLastFileError() { tLastError = 0; }

InputFile::~InputFile() { Close(); }

bool InputFile::Open(std::u16string_view path) {
  Close();
  fd_ = OpenRegularForReading(Native(path), true);
  return fd_ >= 0;
}

bool InputFile::IsOpen() const { return fd_ >= 0; }

size_t InputFile::Read(void* buffer, size_t bytes) {
  if (fd_ < 0) return 0;
  size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < bytes) {
    const ssize_t n = ::read(fd_, out + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail();
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool InputFile::Seek(uint64_t offset) {
  if (fd_ < 0) return false;
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

uint64_t InputFile::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

FileTime InputFile::LastWriteTime() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return ToFileTime(st.st_mtim);
}

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(std::u16string_view path) {
  Close();
  // Created and remembered under the list's lock, so that a file is either
  // refused or known to DeleteUnfinishedOwnFiles.
  OwnFileList& list = OwnFiles();
  const std::lock_guard<std::mutex> lock(list.mutex);
  if (list.sealed) return Fail(ECANCELED);
  fd_ = CreateExclusive(Native(path));
  if (fd_ < 0) return false;
  // Held until the file is closed: a later run that finds the file does not
  // take it for a stale one while it is being written.
  ::flock(fd_, LOCK_EX | LOCK_NB);
  struct stat st {};
  if (::fstat(fd_, &st) == 0) RememberOwnFile(list, path, IdentityOf(st));
  return true;
}

bool OutputFile::IsOpen() const { return fd_ >= 0; }

bool OutputFile::Write(const void* data, size_t bytes) {
  if (fd_ < 0) return false;
  const auto* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::write(fd_, in + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail();
    if (n == 0) return Fail(ENOSPC);
    done += static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::Flush() {
  if (fd_ < 0) return false;
  return ::fsync(fd_) == 0 || Fail();
}

bool OutputFile::Close() {
  if (fd_ < 0) return true;
  const bool ok = ::close(fd_) == 0 || Fail();
  fd_ = -1;
  return ok;
}

bool PathExists(std::u16string_view path) {
  struct stat st {};
  return ::stat(Native(path).c_str(), &st) == 0;
}

bool IsDirectory(std::u16string_view path) {
  struct stat st {};
  return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathTaken(std::u16string_view path) {
  struct stat st {};
  return ::lstat(Native(path).c_str(), &st) == 0;
}

bool GetFileSize(std::u16string_view path, uint64_t& size) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool GetLastWriteTime(std::u16string_view path, FileTime& time) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return false;
  time = ToFileTime(st.st_mtim);
  return true;
}

bool DeleteFilePath(std::u16string_view path) {
  if (::unlink(Native(path).c_str()) != 0) return Fail();
  ForgetOwnFile(path);
  return true;
}

bool CreateFolder(std::u16string_view path) {
  const std::string native = Native(path);
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  if (errno == EEXIST && IsDirectory(path)) return true;
  return Fail();
}

bool RemoveEmptyFolder(std::u16string_view path) {
  return ::rmdir(Native(path).c_str()) == 0 || Fail();
}

bool CopyFilePath(std::u16string_view from, std::u16string_view to) {
  InputFile in;
  if (!in.Open(from)) return false;
  OutputFile out;
  if (!out.Create(to)) return false;
  char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    const size_t n = in.Read(buffer, sizeof buffer);
    if (n == 0) break;
    if (!out.Write(buffer, n)) {
      ok = false;
      break;
    }
  }
  ok = out.Close() && ok;
  if (!ok) DeleteOwnFile(to);
  return ok;
}

bool GetFileIdentity(std::u16string_view path, bool followLinks, FileIdentity& identity) {
  struct stat st {};
  const std::string native = Native(path);
  const int result = followLinks ? ::stat(native.c_str(), &st) : ::lstat(native.c_str(), &st);
  if (result != 0) return Fail();
  identity = IdentityOf(st);
  return true;
}

bool FlushFileToDisk(std::u16string_view path) {
  const int fd = OpenRegularForReading(Native(path), false);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || Fail();
  ::close(fd);
  return ok;
}

bool FlushFolder(std::u16string_view folder) {
  const int fd = ::open(Native(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail();
  // Some file systems cannot flush a folder; their entries are as durable
  // as they get.
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL || Fail();
  ::close(fd);
  return ok;
}

RenameResult RenameNoReplace(std::u16string_view from, std::u16string_view to) {
  const std::string source = Native(from);
  const std::string target = Native(to);
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    ForgetOwnFile(from);
    return RenameResult::Renamed;
  }
  if (errno == EEXIST) return RenameResult::NameTaken;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
    Fail();
    return RenameResult::Failed;
  }
  // No RENAME_NOREPLACE here: a hard link never replaces either.
  if (::link(source.c_str(), target.c_str()) == 0) {
    ::unlink(source.c_str());  // a leftover second name is harmless
    ForgetOwnFile(from);
    return RenameResult::Renamed;
  }
  if (errno == EEXIST) return RenameResult::NameTaken;
  if (errno != EPERM && errno != ENOTSUP && errno != EMLINK) {
    Fail();
    return RenameResult::Failed;
  }
  // No hard links either (FAT): reserve the name exclusively, then replace
  // only that empty reservation.
  const int fd = CreateExclusive(target);
  if (fd < 0) return errno == EEXIST ? RenameResult::NameTaken : RenameResult::Failed;
  ::close(fd);
  if (::rename(source.c_str(), target.c_str()) != 0) {
    Fail();
    ::unlink(target.c_str());
    return RenameResult::Failed;
  }
  ForgetOwnFile(from);
  return RenameResult::Renamed;
}

bool ReplaceWithFile(std::u16string_view from, std::u16string_view to) {
  struct stat st {};
  const std::string target = Native(to);
  if (::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return Fail(EINVAL);
  if (::rename(Native(from).c_str(), target.c_str()) != 0) return Fail();
  ForgetOwnFile(from);
  const std::u16string_view folder = FolderPart(to);
  return FlushFolder(folder.empty() ? std::u16string_view(u".") : folder);
}

bool DeleteUnusedFile(std::u16string_view path) {
  const std::string native = Native(path);
  const int fd = OpenRegularForReading(native, false);
  if (fd < 0) return false;
  bool ok = false;
  struct stat opened {};
  struct stat named {};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    Fail();
  } else if (::fstat(fd, &opened) == 0 && ::lstat(native.c_str(), &named) == 0 &&
             opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
    // Still the file whose lock is held: nobody can be writing it.
    ok = ::unlink(native.c_str()) == 0 || Fail();
  }
  ::close(fd);
  return ok;
}

std::u16string TemporaryFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return Utf8ToUtf16(folder);
}

bool MakeTemporaryFile(std::u16string_view folder, std::u16string_view prefix,
                       std::u16string& path) {
  std::string pattern = Native(JoinPath(folder, prefix)) + "XXXXXX";
  const int fd = ::mkstemp(pattern.data());  // O_EXCL
  if (fd < 0) return Fail();
  ::close(fd);
  path = Utf8ToUtf16(pattern);
  return true;
}

bool ListDirectory(std::u16string_view folder, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  const std::string native = Native(folder);
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) return Fail();
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry entry;
    entry.name = Utf8ToUtf16(name);
    entry.isHidden = name[0] == '.';
    struct stat st {};
    if (::stat((native + "/" + name).c_str(), &st) == 0) {
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.isRegularFile = S_ISREG(st.st_mode);
      entry.size = static_cast<uint64_t>(st.st_size);
      entry.lastWriteTime = ToFileTime(st.st_mtim);
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

}  // namespace pixlane
