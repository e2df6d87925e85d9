// Worker threads that convert the files of a batch ahead of its commits:
// each worker owns one EngineContext (its own WorkObjects) and converts the
// next unclaimed file into a temporary file; the thread that runs the batch
// takes the results strictly in input order and commits them itself, so
// that naming, "+n" collisions, deletions, progress and the summary happen
// exactly as in a sequential run. At most `window` files are claimed ahead
// of the next one to be taken, which bounds the temporary files waiting,
// and at most one image per worker is in memory. Used by the CLI's
// `-j N`; the window converts one file at a time on its own thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_context.h"
#include "platform/file_system.h"

namespace pixlane {

// One file as its conversion left it, waiting for its commit.
struct ConvertedFile {
  bool converted = false;
  std::u16string tempPath;  // the written temporary file, when converted
  std::string reason;       // why not, in the converting thread's words
  ExifDate exifDate;        // for the Exif-date names
  int32_t width = 0;        // the output's size, for the HTML tags
  int32_t height = 0;
  bool inputPartial = false;
  bool outOfMemory = false;  // failed for want of memory
  FileIdentity inputIdentity;
  // What the input path named just before the conversion began (workers
  // only): an earlier commit may have deleted or created that file since.
  bool inputSeen = false;
  FileIdentity inputSeenIdentity;
};

// Converts file `index` with the given context (on a worker thread).
using ConvertFunction = std::function<ConvertedFile(EngineContext& context, size_t index)>;

class FileWorkers {
 public:
  // `contexts` are ready to convert (WorkObjects allocated), one per worker.
  FileWorkers(std::vector<std::unique_ptr<EngineContext>> contexts, size_t fileCount,
              ConvertFunction convert);
  ~FileWorkers();  // Stop()
  FileWorkers(const FileWorkers&) = delete;
  FileWorkers& operator=(const FileWorkers&) = delete;

  // Starts the workers; false when not even one thread could be started
  // (then nothing runs and the caller converts the files itself).
  bool Start();
  // Waits for file `index` (taken in order 0, 1, 2 …) and hands it over.
  ConvertedFile Take(size_t index);
  // No worker starts a file until Resume(); waits for the conversions under
  // way, so that the caller can convert a file with no other in memory.
  void Pause();
  void Resume();
  // No further file is started; waits for the workers, then deletes the
  // temporary files of results that were never taken.
  void Stop();

 private:
  void Work(EngineContext& context);

  std::vector<std::unique_ptr<EngineContext>> contexts_;
  std::vector<std::thread> threads_;
  ConvertFunction convert_;
  const size_t fileCount_;
  const size_t window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextClaim_ = 0;  // the next file a worker starts
  size_t nextTake_ = 0;   // the next file the committing thread takes
  size_t converting_ = 0;  // workers inside a conversion
  bool paused_ = false;
  bool stopping_ = false;
  std::vector<ConvertedFile> results_;  // by file index
  std::vector<char> ready_;             // results_[i] is there and not yet taken
};

}  // namespace pixlane
