// POSIX implementation of the file-system layer: paths are converted to
// UTF-8 at each system call; times are converted to FILETIME units.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifferenceSeconds = 11644473600ull;

FileTime ToFileTime(const struct timespec& ts) {
  if (ts.tv_sec < 0) return 0;
  return (static_cast<uint64_t>(ts.tv_sec) + kEpochDifferenceSeconds) * 10000000ull +
         static_cast<uint64_t>(ts.tv_nsec) / 100u;
}

// The UTF-8 form for system calls. A path holding a NUL character becomes
// an empty string, which every call refuses, instead of a shorter path.
std::string Native(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return std::string();
  return Utf16ToUtf8(path);
}

}  // namespace

InputFile::~InputFile() { Close(); }

bool InputFile::Open(std::u16string_view path) {
  Close();
  fd_ = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return false;
  }
  return true;
}

bool InputFile::IsOpen() const { return fd_ >= 0; }

size_t InputFile::Read(void* buffer, size_t bytes) {
  if (fd_ < 0) return 0;
  size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < bytes) {
    const ssize_t n = ::read(fd_, out + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
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
  fd_ = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd_ >= 0;
}

bool OutputFile::IsOpen() const { return fd_ >= 0; }

bool OutputFile::Write(const void* data, size_t bytes) {
  if (fd_ < 0) return false;
  const auto* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::write(fd_, in + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::Close() {
  if (fd_ < 0) return true;
  const bool ok = ::close(fd_) == 0;
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

bool DeleteFilePath(std::u16string_view path) { return ::unlink(Native(path).c_str()) == 0; }

bool CreateFolder(std::u16string_view path) {
  const std::string native = Native(path);
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

bool RemoveEmptyFolder(std::u16string_view path) { return ::rmdir(Native(path).c_str()) == 0; }

bool CopyFilePath(std::u16string_view from, std::u16string_view to) {
  // Copying a file onto itself would truncate it before reading it.
  struct stat source {};
  struct stat target {};
  if (::stat(Native(from).c_str(), &source) == 0 && ::stat(Native(to).c_str(), &target) == 0 &&
      source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
    return false;
  }
  InputFile in;
  if (!in.Open(from)) return false;
  OutputFile out;
  if (!out.Create(to)) return false;
  char buffer[1 << 16];
  for (;;) {
    const size_t n = in.Read(buffer, sizeof buffer);
    if (n == 0) break;
    if (!out.Write(buffer, n)) return false;
  }
  return out.Close();
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
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  ::close(fd);
  path = Utf8ToUtf16(pattern);
  return true;
}

bool ListDirectory(std::u16string_view folder, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  const std::string native = Native(folder);
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) return false;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry entry;
    entry.name = Utf8ToUtf16(name);
    entry.isHidden = name[0] == '.';
    struct stat st {};
    if (::stat((native + "/" + name).c_str(), &st) == 0) {
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.size = static_cast<uint64_t>(st.st_size);
      entry.lastWriteTime = ToFileTime(st.st_mtim);
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

}  // namespace pixlane
