// The batch's pool of pixel blocks: what is reused and when, that a reused
// block asked for zero-filled comes back all zero, that write protection is
// lifted before a block is handed out again, that nothing is kept once the
// last scope ends, and many threads taking and giving back at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/pixel_memory.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define PIXLANE_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define PIXLANE_TEST_SANITIZED 1
#endif
#endif

namespace pixlane {
namespace {

bool AllZero(const PixelBlock& block) {
  return std::all_of(block.data(), block.data() + block.size(), [](uint8_t b) { return b == 0; });
}

TEST(PixelPoolTest, WithoutAScopeNothingIsKept) {
  PixelBlock block;
  ASSERT_TRUE(block.Allocate(100000));
  EXPECT_TRUE(AllZero(block));
  block.Release();
  EXPECT_EQ(GetPixelPoolStats().freeBlocks, 0u);
  EXPECT_FALSE(block.Allocate(0));
  EXPECT_FALSE(block);
}

TEST(PixelPoolTest, ReusedBlocksAreZeroedWhenAskedAndTheTailIsNotTheCallers) {
  const PixelPoolScope scope;
  PixelBlock first;
  ASSERT_TRUE(first.AllocateForOverwrite(300000));
  std::memset(first.data(), 0x5A, first.size());
  uint8_t* const pages = first.data();
  first.Release();
  EXPECT_EQ(GetPixelPoolStats().freeBlocks, 1u);

  // A slightly smaller request gets the same pages, zeroed over its size.
  PixelBlock second;
  ASSERT_TRUE(second.Allocate(299000));
  EXPECT_EQ(second.data(), pages);
  EXPECT_EQ(second.size(), 299000u);
  EXPECT_TRUE(AllZero(second));
  EXPECT_EQ(GetPixelPoolStats().reused, 1u);
  EXPECT_EQ(GetPixelPoolStats().freeBlocks, 0u);
  second.Release();

  // A request more than four times smaller maps fresh pages instead of
  // holding the big block, and a larger one cannot use it at all.
  PixelBlock small;
  ASSERT_TRUE(small.Allocate(50000));
  EXPECT_NE(small.data(), pages);
  PixelBlock large;
  ASSERT_TRUE(large.Allocate(400000));
  EXPECT_NE(large.data(), pages);
  EXPECT_EQ(GetPixelPoolStats().freeBlocks, 1u);
  EXPECT_EQ(GetPixelPoolStats().reused, 1u);
}

TEST(PixelPoolTest, TheSmallestFittingBlockIsTakenAndMovesKeepOwnership) {
  const PixelPoolScope scope;
  PixelBlock a;
  PixelBlock b;
  ASSERT_TRUE(a.Allocate(200000));
  ASSERT_TRUE(b.Allocate(120000));
  uint8_t* const smaller = b.data();
  a.Release();
  b.Release();
  PixelBlock c;
  ASSERT_TRUE(c.AllocateForOverwrite(100000));
  EXPECT_EQ(c.data(), smaller);
  PixelBlock moved(std::move(c));
  EXPECT_FALSE(c);
  EXPECT_EQ(moved.data(), smaller);
  moved = PixelBlock();  // the move assignment gives the old block back
  EXPECT_EQ(GetPixelPoolStats().freeBlocks, 2u);
}

TEST(PixelPoolTest, WriteProtectionIsLiftedBeforeReuse) {
  const PixelPoolScope scope;
  PixelBlock copy;
  ASSERT_TRUE(copy.AllocateForOverwrite(70000));
  std::memset(copy.data(), 1, copy.size());
  ASSERT_TRUE(copy.MakeReadOnly());
  uint8_t* const pages = copy.data();
  copy.Release();
  PixelBlock next;
  ASSERT_TRUE(next.Allocate(70000));
  EXPECT_EQ(next.data(), pages);
  EXPECT_TRUE(AllZero(next));  // written by the zero fill: writable again
  next.data()[next.size() - 1] = 7;
}

TEST(PixelPoolTest, TheLastScopeGivesEveryFreeBlockBack) {
  {
    const PixelPoolScope outer;
    {
      const PixelPoolScope inner;
      PixelBlock block;
      ASSERT_TRUE(block.Allocate(90000));
    }
    EXPECT_EQ(GetPixelPoolStats().freeBlocks, 1u);  // the outer scope keeps the pool
  }
  EXPECT_EQ(GetPixelPoolStats().freeBlocks, 0u);
  EXPECT_EQ(GetPixelPoolStats().freeBytes, 0u);
}

#if !defined(_WIN32) && !defined(PIXLANE_TEST_SANITIZED)
// Under an address-space limit that holds the pool's free block or a larger
// new one but not both, the new block is still obtained: the pool gives its
// free blocks back when the system has no room. Runs in a child process,
// whose limit cannot touch the other tests (the sanitizers reserve too much
// address space for a limit).
TEST(PixelPoolTest, FreeBlocksAreGivenBackWhenTheAddressSpaceRunsOut) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    size_t pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%zu", &pages) != 1) _exit(2);
    std::fclose(statm);
    const size_t mib = size_t{1} << 20;
    const rlim_t limit = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + 200 * mib;
    const rlimit rl{limit, limit};
    if (setrlimit(RLIMIT_AS, &rl) != 0) _exit(2);
    const PixelPoolScope scope;
    {
      PixelBlock held;
      if (!held.Allocate(120 * mib)) _exit(3);
    }  // now a free block of the pool
    PixelBlock larger;
    _exit(larger.Allocate(150 * mib) && GetPixelPoolStats().freeBlocks == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the larger block failed while the pool held the smaller one";
}
#endif

TEST(PixelPoolTest, ThreadsTakeAndGiveBackWithoutSharingABlock) {
  const PixelPoolScope scope;
  std::vector<std::thread> threads;
  std::vector<int> faults(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &faults] {
      for (int i = 0; i < 200; ++i) {
        PixelBlock block;
        const size_t bytes = 40000 + static_cast<size_t>((i * 7 + t) % 5) * 9000;
        if (!block.Allocate(bytes) || !AllZero(block)) {
          ++faults[static_cast<size_t>(t)];
          continue;
        }
        std::memset(block.data(), t + 1, block.size());
        std::this_thread::yield();
        for (size_t k = 0; k < block.size(); k += 997) {
          if (block.data()[k] != t + 1) ++faults[static_cast<size_t>(t)];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(faults, std::vector<int>(4, 0));
  EXPECT_GT(GetPixelPoolStats().reused, 0u);
}

}  // namespace
}  // namespace pixlane
