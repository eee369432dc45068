#include "list/ListingAhead.h"

#include <windows.h>
#include <shlwapi.h>

#include <utility>

#include "filefolder/FolderWalk.h"
#include "list/ScanPaths.h"

namespace vorpa {

namespace {

// Unwinds the walk when the listing is no longer wanted; the walk owns its
// open listings, so none is left open.
struct ListingStopped {};

}  // namespace

ListingAhead::ListingAhead(std::wstring folder, bool wholeTree, size_t ahead)
    : ahead_(ahead == 0 ? 1 : ahead),
      thread_([this, folder = std::move(folder), wholeTree] { List(folder, wholeTree); }) {}

ListingAhead::~ListingAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool ListingAhead::Next(Shortcut& out) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !ready_.empty() || done_; });
  if (ready_.empty()) return false;
  out = std::move(ready_.front());
  ready_.pop_front();
  if (ready_.size() + 1 == ahead_) changed_.notify_all();
  return true;
}

size_t ListingAhead::Listed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return listed_;
}

void ListingAhead::List(const std::wstring& folder, bool wholeTree) {
  class Events final : public FolderWalkEvents {
   public:
    explicit Events(ListingAhead& owner) : owner_(owner) {}
    void File(const WalkEntry& entry) override {
      // The type test of the path helpers: the extension after its dot.
      const wchar_t* dot = PathFindExtensionW(entry.path.c_str());
      const bool shortcut = dot && *dot != L'\0' && IsShortcutType(dot + 1);
      std::unique_lock<std::mutex> lock(owner_.mutex_);
      owner_.changed_.wait(lock, [&] { return owner_.stopping_ || owner_.ready_.size() < owner_.ahead_; });
      if (owner_.stopping_) throw ListingStopped{};
      const size_t index = owner_.listed_++;
      if (!shortcut) return;
      owner_.ready_.push_back(Shortcut{entry.path, index});
      if (owner_.ready_.size() == 1) owner_.changed_.notify_all();
    }
    void Folder(const WalkEntry&) override {}

   private:
    ListingAhead& owner_;
  };
  Events events(*this);
  try {
    WalkFolderTree(folder, wholeTree, events);
  } catch (...) {
    // Stopped, or out of memory: the walk takes what was listed.
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
}

}  // namespace vorpa
