// The worker pool of a parallel batch: one mutex and one condition variable
// guard the claim counter, the taken counter and the results; conversions
// run outside the lock.
#include "engine/file_workers.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

namespace pixlane {

FileWorkers::FileWorkers(std::vector<std::unique_ptr<EngineContext>> contexts, size_t fileCount,
                         ConvertFunction convert)
    : contexts_(std::move(contexts)),
      convert_(std::move(convert)),
      fileCount_(fileCount),
      window_(2 * std::max<size_t>(contexts_.size(), 1)),
      results_(fileCount),
      ready_(fileCount, 0) {}

FileWorkers::~FileWorkers() { Stop(); }

bool FileWorkers::Start() {
  threads_.reserve(contexts_.size());
  for (const std::unique_ptr<EngineContext>& context : contexts_) {
    try {
      threads_.emplace_back([this, &context] { Work(*context); });
    } catch (const std::system_error&) {
      break;  // the system has no more threads to give: fewer workers
    }
  }
  return !threads_.empty();
}

void FileWorkers::Work(EngineContext& context) {
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] {
        return stopping_ || nextClaim_ >= fileCount_ || (!paused_ && nextClaim_ < nextTake_ + window_);
      });
      if (stopping_ || nextClaim_ >= fileCount_) return;
      index = nextClaim_++;
      ++converting_;
    }
    ConvertedFile result;
    try {
      result = convert_(context, index);
    } catch (const std::bad_alloc&) {
      // Short of memory outside a codec: the file fails like any other
      // (the short reason needs no allocation).
      result.converted = false;
      result.reason = "OutOfMemory";
      result.outOfMemory = true;
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      results_[index] = std::move(result);
      ready_[index] = 1;
      --converting_;
    }
    changed_.notify_all();
  }
}

ConvertedFile FileWorkers::Take(size_t index) {
  ConvertedFile result;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this, index] { return ready_[index] != 0; });
    result = std::move(results_[index]);
    ready_[index] = 0;
    nextTake_ = index + 1;
  }
  changed_.notify_all();
  return result;
}

void FileWorkers::Pause() {
  std::unique_lock<std::mutex> lock(mutex_);
  paused_ = true;
  changed_.wait(lock, [this] { return converting_ == 0; });
}

void FileWorkers::Resume() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    paused_ = false;
  }
  changed_.notify_all();
}

void FileWorkers::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
  // Files converted ahead of a stop are not committed: their temporary
  // files go (every thread of this process may delete its files).
  for (size_t i = 0; i < results_.size(); ++i) {
    if (ready_[i] != 0 && results_[i].converted) DeleteOwnFile(results_[i].tempPath);
    ready_[i] = 0;
  }
}

}  // namespace pixlane
