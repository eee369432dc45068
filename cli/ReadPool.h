#pragma once
// Reading shortcut files on a few threads while the walk goes on, with the
// results handed on in the order the walk met the files.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vorpa::cli {

// Opening and reading files is nearly all of a walk's time, and it is the
// kernel's time, which several threads share out among the processors. The
// jobs are handed on in the order they were made, so the rows keep the
// walk's order whatever thread read them. They go in batches: a thread
// switch per file would cost as much as the read.
inline constexpr size_t kReadBatchSize = 64;

// The processors this process may run on (its affinity, not the machine's
// count: under `taskset` or a container's CPU set they differ).
unsigned UsableProcessors();

// One thread per usable processor, at most four: beyond that the file
// system's locks, not the processors, set the pace. None on a single one:
// there the threads would only take turns, and every turn costs a switch.
inline unsigned ReadThreads() {
  const unsigned n = UsableProcessors();
  return n <= 1 ? 0 : n > 4 ? 4 : n;
}

// Job: one file; Scratch: what each thread keeps between jobs (a buffer).
template <class Job, class Scratch>
class ReadPool {
 public:
  using ReadBatch = std::vector<Job>;
  using ReadFn = std::function<void(Job&, Scratch&)>;
  // maxQueued bounds the batches waiting to be handed on: memory, and the
  // folders kept open for pending reads.
  ReadPool(unsigned threads, ReadFn read, size_t maxQueued = 64) : read_(std::move(read)), maxQueued_(maxQueued) {
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
  }
  // Batches not yet taken are dropped: a reader finishes the batch it has.
  ~ReadPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wanted_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  bool threaded() const { return !threads_.empty(); }

  // Queues a job; with the queue full, first hands on what is ready.
  template <class Deliver>
  void Submit(ReadBatch&& batch, Deliver&& deliver) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (jobs_.size() >= maxQueued_) DeliverFront(lock, deliver, true);
    jobs_.push_back(std::make_unique<Pending>(Pending{std::move(batch), false}));
    wanted_.notify_one();
    DeliverReady(lock, deliver);
  }
  template <class Deliver>
  void Finish(Deliver&& deliver) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!jobs_.empty()) DeliverFront(lock, deliver, true);
  }
  // Hands on the oldest batch, waiting for it; false when none is queued.
  template <class Deliver>
  bool DeliverNext(Deliver&& deliver) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (jobs_.empty()) return false;
    DeliverFront(lock, deliver, true);
    return true;
  }

 private:
  struct Pending {
    ReadBatch batch;
    bool done;
  };

  template <class Deliver>
  void DeliverReady(std::unique_lock<std::mutex>& lock, Deliver& deliver) {
    while (!jobs_.empty() && jobs_.front()->done) DeliverFront(lock, deliver, false);
  }
  template <class Deliver>
  void DeliverFront(std::unique_lock<std::mutex>& lock, Deliver& deliver, bool wait) {
    if (wait) finished_.wait(lock, [&] { return jobs_.front()->done; });
    std::unique_ptr<Pending> pending = std::move(jobs_.front());
    jobs_.pop_front();
    --taken_;
    lock.unlock();
    for (Job& job : pending->batch) deliver(job);
    lock.lock();
  }
  void Work() {
    Scratch scratch{};
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wanted_.wait(lock, [&] { return stopping_ || taken_ < jobs_.size(); });
      if (stopping_ || taken_ >= jobs_.size()) return;
      Pending& pending = *jobs_[taken_++];
      lock.unlock();
      for (Job& job : pending.batch) {
        read_(job, scratch);
      }
      lock.lock();
      pending.done = true;
      finished_.notify_all();
    }
  }

  ReadFn read_;
  const size_t maxQueued_;
  std::mutex mutex_;
  std::condition_variable wanted_, finished_;
  std::deque<std::unique_ptr<Pending>> jobs_;
  size_t taken_ = 0;  // jobs_[0, taken_) are taken or done
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vorpa::cli
