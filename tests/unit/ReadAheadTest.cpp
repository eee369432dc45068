// Entries come back read, in order, each read once, never more than the
// bound ahead of the caller, for every number of readers.
#include "list/ReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

struct Job {
  size_t index = 0;
  std::string text;
  int reads = 0;
};

TEST(ReadAhead, HandsOnEveryEntryReadOnceInOrderWithinTheBound) {
  struct Case {
    unsigned threads;
    size_t jobs, ahead, stopAfter;  // stopAfter: the caller takes this many, then lets go
  };
  const Case cases[] = {{0, 50, 8, 50}, {1, 1000, 32, 1000}, {2, 1000, 1, 1000}, {4, 5000, 256, 5000},
                        {2, 20000, 64, 10}, {4, 20000, 256, 0}, {2, 0, 16, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("threads " + std::to_string(c.threads) + ", jobs " + std::to_string(c.jobs));
    size_t made = 0;
    std::atomic<size_t> read{0}, taken{0}, furthest{0};
    {
      vorpa::ReadAhead<Job> ahead(
          c.jobs, [&] { return Job{made++, "", 0}; }, c.threads, [&](Job& job) {
        job.text = std::to_string(job.index * 7);
        ++job.reads;
        ++read;
        // How far ahead of the caller the readers get.
        size_t lead = job.index - std::min(job.index, taken.load()), seen = furthest.load();
        while (lead > seen && !furthest.compare_exchange_weak(seen, lead)) {
        }
      }, c.ahead);
      EXPECT_EQ(ahead.size(), c.jobs);
      for (size_t i = 0; i < c.stopAfter; ++i) {
        Job* job = ahead.Next();
        ASSERT_NE(job, nullptr);
        ASSERT_EQ(job->index, i);
        ASSERT_EQ(job->text, std::to_string(i * 7));
        ASSERT_EQ(job->reads, 1);
        taken = i + 1;
      }
      if (c.stopAfter == c.jobs) {
        EXPECT_EQ(ahead.Next(), nullptr);
      }
    }
    // Letting go stops the readers: nothing is read after, little beyond.
    const size_t after = read.load();
    EXPECT_LE(made, c.stopAfter + c.ahead + vorpa::kReadAheadBatch) << "entries made long before they were read";
    EXPECT_LE(after, c.stopAfter + c.ahead + vorpa::kReadAheadBatch);
    EXPECT_LE(furthest.load(), c.ahead + vorpa::kReadAheadBatch);
    if (c.stopAfter == c.jobs) {
      EXPECT_EQ(after, c.jobs);
    }
  }
}

}  // namespace
