// POSIX "mapping": the whole regular file is read into private read-only
// memory. A shared mapping of the file itself would kill the process with
// SIGBUS as soon as another program truncated the file while it is being
// decoded (Windows forbids that while a mapping is open; POSIX does not).
// Opened non-blocking, so that a FIFO is refused instead of waited for.
#include <fcntl.h>
#include <sys/mman.h>
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
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (view == MAP_FAILED) {
    lackedMemory_ = errno == ENOMEM;
    ::close(fd);
    return false;
  }
  const bool read = ReadFully(fd, static_cast<uint8_t*>(view), size);
  ::close(fd);
  if (!read || ::mprotect(view, size, PROT_READ) != 0) {
    ::munmap(view, size);
    return false;
  }
  view_ = static_cast<const uint8_t*>(view);
  size_ = size;
  lastWriteTime_ = (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                   static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100u;
  return true;
}

void FileMapping::Release() {
  if (view_ != nullptr) ::munmap(const_cast<uint8_t*>(view_), size_);
  view_ = nullptr;
  size_ = 0;
  lastWriteTime_ = 0;
}

}  // namespace pixlane
