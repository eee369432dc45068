#pragma once
// Listing a folder tree on a thread of its own while the walk's thread takes
// the shortcut files one by one: the walk's first rows come while the tree is
// still being listed, and a listing of 100,000 files is never held whole.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace vorpa {

// How many shortcut files the listing may be ahead of the walk. Far beyond
// the readers' lead, so they never wait for it.
inline constexpr size_t kListAhead = 4096;

class ListingAhead {
 public:
  struct Shortcut {
    std::wstring path;
    size_t index = 0;  // among all the files listed, shortcut or not, from 0
  };
  // Lists `folder` (a full path that exists), and with `wholeTree` the
  // folders below it, in the order of clsFileFolder's listings.
  ListingAhead(std::wstring folder, bool wholeTree, size_t ahead = kListAhead);
  // Stops the listing at its next file and waits for its thread.
  ~ListingAhead();
  ListingAhead(const ListingAhead&) = delete;
  ListingAhead& operator=(const ListingAhead&) = delete;

  // The next shortcut file, waiting for the listing to reach it; false once
  // the listing is over and every shortcut file has been taken.
  bool Next(Shortcut& out);
  // Files listed, shortcut or not: the whole count once Next returned false.
  size_t Listed() const;

 private:
  void List(const std::wstring& folder, bool wholeTree);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Shortcut> ready_;
  size_t ahead_;
  size_t listed_ = 0;
  bool done_ = false, stopping_ = false;
  std::thread thread_;  // last: it starts once everything it uses is there
};

}  // namespace vorpa
