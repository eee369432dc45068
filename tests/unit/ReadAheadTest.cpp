// Entries come back read, in order, each read once, never more than the
// bound ahead of the caller, for every number of readers.
#include "list/ReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
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
    bool countKnown = true;         // or told by the maker at the end, as a listing still going on
  };
  const Case cases[] = {{0, 50, 8, 50},         {1, 1000, 32, 1000},        {2, 1000, 1, 1000},
                        {4, 5000, 256, 5000},   {2, 20000, 64, 10},         {4, 20000, 256, 0},
                        {2, 0, 16, 0},          {0, 50, 8, 50, false},      {2, 1000, 1, 1000, false},
                        {2, 20000, 64, 10, false}, {4, 0, 16, 0, false},    {4, 17, 256, 17, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("threads " + std::to_string(c.threads) + ", jobs " + std::to_string(c.jobs) +
                 (c.countKnown ? "" : ", count told at the end"));
    size_t made = 0;
    std::atomic<size_t> read{0}, taken{0}, furthest{0};
    {
      const auto make = [&] { return Job{made++, "", 0}; };
      const auto readJob = [&](Job& job) {
        job.text = std::to_string(job.index * 7);
        ++job.reads;
        ++read;
        // How far ahead of the caller the readers get.
        size_t lead = job.index - std::min(job.index, taken.load()), seen = furthest.load();
        while (lead > seen && !furthest.compare_exchange_weak(seen, lead)) {
        }
      };
      std::unique_ptr<vorpa::ReadAhead<Job>> ahead;
      if (c.countKnown) {
        ahead = std::make_unique<vorpa::ReadAhead<Job>>(c.jobs, make, c.threads, readJob, c.ahead);
        EXPECT_EQ(ahead->size(), c.jobs);
      } else {
        const auto next = [&](Job& job) {
          if (made == c.jobs) return false;
          job = make();
          return true;
        };
        ahead = std::make_unique<vorpa::ReadAhead<Job>>(next, c.threads, readJob, c.ahead);
      }
      for (size_t i = 0; i < c.stopAfter; ++i) {
        Job* job = ahead->Next();
        ASSERT_NE(job, nullptr);
        ASSERT_EQ(job->index, i);
        ASSERT_EQ(job->text, std::to_string(i * 7));
        ASSERT_EQ(job->reads, 1);
        taken = i + 1;
      }
      if (c.stopAfter == c.jobs) {
        EXPECT_EQ(ahead->Next(), nullptr);
        EXPECT_EQ(ahead->Next(), nullptr);
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
