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
  using ReadFn = std::function<void(Job&)>;
  // `read` runs on the readers, or on the caller's thread in Next when there
  // are none; it must touch nothing but its job.
  ReadAhead(std::vector<Job> jobs, unsigned threads, ReadFn read, size_t ahead = kReadAhead)
      : jobs_(std::move(jobs)), read_(std::move(read)), ahead_(std::max<size_t>(ahead, 1)),
        pool_(threads, [this](Job& job, NoScratch&) { read_(job); }) {}
  // Stops the readers: entries not yet taken by one are never read.
  ~ReadAhead() = default;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  size_t size() const { return jobs_.size(); }

  // The next entry, read; nothing after the last. The entry stays valid until
  // the next call.
  Job* Next() {
    if (taken_ == jobs_.size()) return nullptr;
    if (!pool_.threaded()) {
      read_(jobs_[taken_]);
      return &jobs_[taken_++];
    }
    TopUp();
    const auto keep = [this](Job& job) { ready_.push_back(std::move(job)); };
    while (ready_.empty()) pool_.DeliverNext(keep);
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
    while (submitted_ < jobs_.size() && submitted_ - taken_ < ahead_) {
      const size_t end = std::min(jobs_.size(), submitted_ + kReadAheadBatch);
      std::vector<Job> batch(std::make_move_iterator(jobs_.begin() + static_cast<std::ptrdiff_t>(submitted_)),
                             std::make_move_iterator(jobs_.begin() + static_cast<std::ptrdiff_t>(end)));
      submitted_ = end;
      pool_.Submit(std::move(batch), keep);
    }
  }

  std::vector<Job> jobs_;
  ReadFn read_;
  size_t ahead_;
  size_t submitted_ = 0, taken_ = 0;
  std::deque<Job> ready_;  // read and handed back, not yet taken
  Job current_{};
  // Last: its readers stop before the members they use go.
  cli::ReadPool<Job, NoScratch> pool_;
};

}  // namespace vorpa
