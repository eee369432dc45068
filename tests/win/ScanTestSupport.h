#pragma once
// Shared by the folder scan and list command tests: shortcut files written
// the way Windows writes them, folder links and drive letters on Wine, and an
// observer of the message pump steps of a running walk.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/Text.h"
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

// Runs a Unix command from inside Wine and waits for it; false where that
// is not possible (not Wine).
inline bool RunUnix(std::vector<std::string> args) {
  using Spawn = LONG(__cdecl*)(char* const argv[], int wait);
  const auto spawn = reinterpret_cast<Spawn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "__wine_unix_spawnvp")));
  if (!spawn) return false;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return spawn(argv.data(), 1) == 0;
}

inline std::string UnixPath(const std::wstring& windowsPath) {
  using ToUnix = char*(__cdecl*)(LPCWSTR);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* p = toUnix(windowsPath.c_str());
  if (!p) return {};
  std::string s(p);
  HeapFree(GetProcessHeap(), 0, p);
  return s;
}

// A folder link `link` that leads to `target`. Windows' own call needs a
// privilege and Wine's does nothing, so Wine gets a Unix symbolic link.
inline bool MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
      GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
    return true;
  const std::string unixTarget = UnixPath(target.wstring());
  const std::string unixParent = UnixPath(link.parent_path().wstring());
  if (unixTarget.empty() || unixParent.empty()) return false;
  return RunUnix({"ln", "-s", unixTarget, unixParent + "/" + std::string(link.filename().string())}) &&
         GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a link made by MakeFolderLink without following it.
inline void RemoveFolderLink(const std::filesystem::path& link) {
  if (RemoveDirectoryW(link.c_str()) || GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const std::string unixLink = UnixPath(link.wstring());
  if (!unixLink.empty()) RunUnix({"rm", "-f", unixLink});
}

// A drive letter whose root is a folder, removed again with the object.
class MappedDrive {
 public:
  explicit MappedDrive(const std::filesystem::path& folder) {
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y' && root_.empty(); ++letter) {
      if (used & (1u << (letter - L'A'))) continue;
      const std::wstring drive{letter, L':'};
      if (DefineDosDeviceW(0, drive.c_str(), folder.c_str()) && Works(drive, folder)) {
        root_ = drive + L"\\";
        defined_ = true;
        break;
      }
      DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);
      // Wine keeps its drives as links in the prefix's "dosdevices" folder.
      std::string devices = UnixPath(L"C:\\");
      while (!devices.empty() && devices.back() == '/') devices.pop_back();
      devices = devices.substr(0, devices.rfind('/'));
      const std::string unixFolder = UnixPath(folder.wstring());
      if (devices.empty() || unixFolder.empty()) continue;
      link_ = devices + "/" + static_cast<char>(letter - L'A' + 'a') + ":";
      if (RunUnix({"ln", "-s", unixFolder, link_}) && Works(drive, folder)) {
        root_ = drive + L"\\";
      } else {
        RunUnix({"rm", "-f", link_});
        link_.clear();
      }
    }
  }
  ~MappedDrive() {
    if (defined_) DefineDosDeviceW(DDD_REMOVE_DEFINITION, root_.substr(0, 2).c_str(), nullptr);
    if (!link_.empty()) RunUnix({"rm", "-f", link_});
  }
  MappedDrive(const MappedDrive&) = delete;
  MappedDrive& operator=(const MappedDrive&) = delete;
  // "Q:\" and so on, or empty text when no letter could be mapped.
  const std::wstring& root() const { return root_; }

 private:
  static bool Works(const std::wstring& drive, const std::filesystem::path& folder) {
    const std::filesystem::path probe = folder / L"drive-probe.tmp";
    WriteFile(probe, "x");
    const bool seen = GetFileAttributesW((drive + L"\\drive-probe.tmp").c_str()) != INVALID_FILE_ATTRIBUTES;
    DeleteFileW(probe.c_str());
    return seen;
  }
  std::wstring root_;
  std::string link_;
  bool defined_ = false;
};

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

}  // namespace vorpa::test
