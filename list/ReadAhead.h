#pragma once
// Reading the files of a walk ahead of it: while the walk's thread takes one
// entry at a time, a few threads read the entries after it, at most a fixed
// number ahead, and each entry comes back read in the walk's order.
#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "cli/ReadPool.h"

namespace vorpa {

// Far enough ahead that the readers never wait for the walk's thread, which
// only adds rows; near enough that a close stops them within a few reads.
inline constexpr size_t kReadAhead = 256;
inline constexpr size_t kReadAheadBatch = 16;

// Two readers beside the walk's thread on two processors, at most four: the
// file system's locks, not the processors, set the pace beyond that. None on
// one processor, where the walk's thread reads each entry as it comes.
inline unsigned ReadAheadThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n <= 1 ? 0 : std::min(n, 4u);
}

template <class Job>
class ReadAhead {
 public:
  using MakeFn = std::function<Job()>;
  // Makes the next entry into its argument; false after the last.
  using NextFn = std::function<bool(Job&)>;
  using ReadFn = std::function<void(Job&)>;
  // `count` entries, each made by `make` on the caller's thread, in order,
  // only when it is about to be read: a walk of 100,000 files holds a few
  // hundred at a time. `read` runs on the readers, or on the caller's thread
  // in Next when there are none; it must touch nothing but its job.
  ReadAhead(size_t count, MakeFn make, unsigned threads, ReadFn read, size_t ahead = kReadAhead)
      : ReadAhead(
            [count, made = size_t{0}, make = std::move(make)](Job& job) mutable {
              if (made == count) return false;
              ++made;
              job = make();
              return true;
            },
            threads, std::move(read), ahead) {
    count_ = count;
  }
  // The same for entries whose number is known only at the end (a listing
  // still going on): `next` may wait for the next one.
  ReadAhead(NextFn next, unsigned threads, ReadFn read, size_t ahead = kReadAhead)
      : next_(std::move(next)), read_(std::move(read)), ahead_(std::max<size_t>(ahead, 1)),
        pool_(threads, [this](Job& job, NoScratch&) { read_(job); }) {}
  // Stops the readers: entries not yet taken by one are never read.
  ~ReadAhead() = default;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The count given to the first constructor.
  size_t size() const { return count_; }

  // The next entry, read; nothing after the last. The entry stays valid until
  // the next call.
  Job* Next() {
    if (!pool_.threaded()) {
      if (ended_ || !next_(current_)) {
        ended_ = true;
        return nullptr;
      }
      read_(current_);
      ++taken_;
      return &current_;
    }
    TopUp();
    const auto keep = [this](Job& job) { ready_.push_back(std::move(job)); };
    while (ready_.empty())
      if (!pool_.DeliverNext(keep)) return nullptr;
    current_ = std::move(ready_.front());
    ready_.pop_front();
    ++taken_;
    // The readers go on while the caller works on this entry.
    TopUp();
    return &current_;
  }

 private:
  struct NoScratch {};

  void TopUp() {
    const auto keep = [this](Job& job) { ready_.push_back(std::move(job)); };
    while (!ended_ && submitted_ - taken_ < ahead_) {
      std::vector<Job> batch;
      for (size_t i = 0; i < kReadAheadBatch; ++i) {
        Job job{};
        if (!next_(job)) {
          ended_ = true;
          break;
        }
        batch.push_back(std::move(job));
        ++submitted_;
      }
      if (!batch.empty()) pool_.Submit(std::move(batch), keep);
    }
  }

  size_t count_ = 0;
  NextFn next_;
  ReadFn read_;
  size_t ahead_;
  size_t submitted_ = 0, taken_ = 0;
  bool ended_ = false;  // `next` said there is no more
  std::deque<Job> ready_;  // read and handed back, not yet taken
  Job current_{};
  // Last: its readers stop before the members they use go.
  cli::ReadPool<Job, NoScratch> pool_;
};

}  // namespace vorpa
