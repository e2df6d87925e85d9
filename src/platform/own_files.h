// The files this process created, remembered with their identity so that
// DeleteOwnFile and the end-of-process clean-up touch only what we made.
// Shared by the POSIX and Win32 file-system layers; whichever thread
// created a file, any thread may find it: the workers of a parallel batch
// create temporary files that the committing thread renames or deletes.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace pixlane::own_files {

struct OwnFile {
  std::u16string path;
  FileIdentity identity;
};

struct OwnFileList {
  std::mutex mutex;
  std::vector<OwnFile> files;
  bool sealed = false;  // the process is ending: no new files (DeleteUnfinishedOwnFiles)
};

OwnFileList& OwnFiles();

// Adds a file, dropping the oldest beyond the newest 1024. Called with the
// list's mutex held.
void RememberOwnFile(OwnFileList& list, std::u16string_view path, const FileIdentity& identity);

bool FindOwnFile(std::u16string_view path, FileIdentity& identity);

void ForgetOwnFile(std::u16string_view path);

}  // namespace pixlane::own_files
