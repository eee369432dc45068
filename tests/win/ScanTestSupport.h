#pragma once
// Shared by the folder scan and list command tests: shortcut files written
// the way Windows writes them, folder links and drive letters on Wine, and an
// observer of the message pump steps of a running walk.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/Text.h"
#include "tests/win/FileFolderTestSupport.h"
#include "tests/win/WinTestSupport.h"

namespace vorpa::test {

// An Internet shortcut as Windows writes it: the ANSI section always, and
// the UTF-7 section when the URL holds characters the ANSI code page lacks.
// `padding` comment bytes before the sections make the file slow to read.
inline void WriteShortcut(const std::filesystem::path& file, const std::wstring& url, size_t padding = 0) {
  std::string text;
  if (padding > 0) {
    const std::string line = "; " + std::string(77, 'x') + "\r\n";
    while (text.size() < padding) text += line;
  }
  bool lossless = true;
  text += "[InternetShortcut]\r\nURL=" + EncodeCodePage(url, GetACP(), &lossless) + "\r\n";
  if (!lossless) text += "[InternetShortcut.W]\r\nURL=" + EncodeCodePage(url, kCodePageUtf7) + "\r\n";
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// A folder link `link` that leads to `target`. Windows' own call needs a
// privilege and Wine's does nothing, so Wine gets a Unix symbolic link.
inline bool MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
      GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
    return true;
  return WineUnix::Symlink(WineUnix::UnixPath(target.wstring()), link.wstring()) &&
         GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a link made by MakeFolderLink without following it.
inline void RemoveFolderLink(const std::filesystem::path& link) {
  if (RemoveDirectoryW(link.c_str()) || GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  WineUnix::RemoveLink(link.wstring());
}

// Calls `step` on this thread at every pump step of a running walk: another
// thread keeps one message sent to a window of this thread, and a sent
// message is only taken in while messages are pumped.
class PumpObserver {
 public:
  explicit PumpObserver(std::function<void()> step) : step_(std::move(step)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VorpaPumpObserver";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    ready_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    sender_ = std::thread([this] {
      SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
      while (!stop_) {
        SetEvent(ready_);
        SendMessageW(window_, WM_APP, 0, 0);
      }
      done_ = true;
    });
    // The first message must be waiting before the walk's first pump step.
    WaitForSingleObject(ready_, INFINITE);
    Sleep(50);
  }
  ~PumpObserver() {
    stop_ = true;
    while (!done_) {
      Pump();
      Sleep(1);
    }
    sender_.join();
    DestroyWindow(window_);
    CloseHandle(ready_);
  }
  PumpObserver(const PumpObserver&) = delete;
  PumpObserver& operator=(const PumpObserver&) = delete;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<PumpObserver*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_APP && self && !self->stop_) self->step_();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  std::function<void()> step_;
  HWND window_ = nullptr;
  HANDLE ready_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread sender_;
};

// The rows the list was told of at each step of the walk's pump. Each step
// gives the list its new count without repainting the rest (the flag that
// tells it from a full refresh), so the steps are seen exactly, where a
// message from another thread can miss a step that comes quickly.
class PumpSteps {
 public:
  explicit PumpSteps(HWND list) : list_(list) { SetWindowSubclass(list_, Proc, 1, reinterpret_cast<DWORD_PTR>(this)); }
  ~PumpSteps() { RemoveWindowSubclass(list_, Proc, 1); }
  PumpSteps(const PumpSteps&) = delete;
  PumpSteps& operator=(const PumpSteps&) = delete;
  // The counts, each once, in order.
  const std::vector<size_t>& counts() const { return counts_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<PumpSteps*>(data);
    if (msg == LVM_SETITEMCOUNT && (lp & LVSICF_NOINVALIDATEALL) && (self->counts_.empty() || self->counts_.back() != wp))
      self->counts_.push_back(wp);
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  HWND list_;
  std::vector<size_t> counts_;
};

}  // namespace vorpa::test
