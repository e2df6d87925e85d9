// POSIX "mapping": the whole regular file is read into private read-only
// memory. A shared mapping of the file itself would kill the process with
// SIGBUS as soon as another program truncated the file while it is being
// decoded (Windows forbids that while a mapping is open; POSIX does not).
// Opened non-blocking, so that a FIFO is refused instead of waited for.
// The copy is a PixelBlock, so that a batch reuses the same pages for file
// after file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_map.h"
#include "platform/text.h"

namespace pixlane {
namespace {

// Reads exactly `size` bytes; false when the file ends early (it shrank
// since its size was taken) or a read fails.
bool ReadFully(int fd, uint8_t* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool FileMapping::Map(std::u16string_view path) {
  Release();
  lackedMemory_ = false;
  if (path.find(u'\0') != std::u16string_view::npos) return false;
  const int fd = ::open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const auto size = static_cast<size_t>(st.st_size);
  if (!copy_.AllocateForOverwrite(size)) {
    lackedMemory_ = true;
    ::close(fd);
    return false;
  }
  const bool read = ReadFully(fd, copy_.data(), size);
  ::close(fd);
  if (!read || !copy_.MakeReadOnly()) {
    copy_.Release();
    return false;
  }
  view_ = copy_.data();
  size_ = size;
  lastWriteTime_ = (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                   static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100u;
  return true;
}

void FileMapping::Release() {
  copy_.Release();
  view_ = nullptr;
  size_ = 0;
  lastWriteTime_ = 0;
}

}  // namespace pixlane
