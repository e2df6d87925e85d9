// The list of files this process created (own_files.h), and the two
// deletions that go by it (DeleteOwnFile, DeleteUnfinishedOwnFiles).
#include "platform/own_files.h"

namespace pixlane::own_files {
namespace {

// How many of this process's newest files are remembered (a parallel
// batch has a few per worker waiting for their commits).
constexpr size_t kOwnFilesRemembered = 1024;

}  // namespace

OwnFileList& OwnFiles() {
  static OwnFileList list;
  return list;
}

void RememberOwnFile(OwnFileList& list, std::u16string_view path, const FileIdentity& identity) {
  if (list.files.size() == kOwnFilesRemembered) list.files.erase(list.files.begin());
  list.files.push_back({std::u16string(path), identity});
}

bool FindOwnFile(std::u16string_view path, FileIdentity& identity) {
  OwnFileList& list = OwnFiles();
  const std::lock_guard<std::mutex> lock(list.mutex);
  for (const OwnFile& own : list.files) {
    if (own.path == path) {
      identity = own.identity;
      return true;
    }
  }
  return false;
}

void ForgetOwnFile(std::u16string_view path) {
  OwnFileList& list = OwnFiles();
  const std::lock_guard<std::mutex> lock(list.mutex);
  for (auto it = list.files.begin(); it != list.files.end(); ++it) {
    if (it->path == path) {
      list.files.erase(it);
      return;
    }
  }
}

}  // namespace pixlane::own_files

namespace pixlane {

using namespace own_files;

int DeleteUnfinishedOwnFiles(bool (*unfinished)(std::u16string_view path)) {
  std::vector<OwnFile> files;
  {
    OwnFileList& list = OwnFiles();
    const std::lock_guard<std::mutex> lock(list.mutex);
    list.sealed = true;
    files = list.files;
  }
  int deleted = 0;
  for (const OwnFile& own : files) {
    if (!unfinished(own.path)) continue;
    FileIdentity now;
    if (GetFileIdentity(own.path, false, now) && now.SameFile(own.identity) &&
        DeleteFilePath(own.path)) {
      ++deleted;
    }
  }
  return deleted;
}

bool DeleteOwnFile(std::u16string_view path) {
  FileIdentity own;
  if (!FindOwnFile(path, own)) return false;
  FileIdentity now;
  if (!GetFileIdentity(path, false, now) || !now.SameFile(own)) return false;
  return DeleteFilePath(path);
}

}  // namespace pixlane
