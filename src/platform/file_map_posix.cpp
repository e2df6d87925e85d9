// POSIX file mapping: open read-only, mmap the whole file, close the
// descriptor at once (the mapping keeps the file alive).
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_map.h"
#include "platform/text.h"

namespace pixlane {

bool FileMapping::Map(std::u16string_view path) {
  Release();
  lackedMemory_ = false;
  if (path.find(u'\0') != std::u16string_view::npos) return false;
  const int fd = ::open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    ::close(fd);
    return false;
  }
  const auto size = static_cast<size_t>(st.st_size);
  void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  const int mapError = errno;
  ::close(fd);
  if (view == MAP_FAILED) {
    lackedMemory_ = mapError == ENOMEM;
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
