// vorpa-list's walk on Windows: the window's folder walk (filefolder/
// FolderWalk.h) with the tool's link rule and reads on a few threads.
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/ReadPool.h"
#include "cli/Rows.h"
#include "cli/Walk.h"
#include "common/Text.h"
#include "common/WinFile.h"
#include "filefolder/FolderWalk.h"
#include "filefolder/LongPath.h"
#include "filefolder/ShellName.h"
#include "list/ScanPaths.h"
#include "list/UrlFileReader.h"
#include "list/UrlFileReaderWin.h"

namespace vorpa::cli {
namespace {

std::wstring ErrorText(DWORD error) {
  std::wstring text = SystemErrorText(error);
  return text.empty() ? L"error " + std::to_wstring(error) : text;
}

bool HasShortcutType(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  const size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return false;
  return IsShortcutType(std::wstring_view(path).substr(dot + 1));
}

// The warning for a shortcut that gave no reading; empty for one that did.
std::wstring ProblemText(const ShortcutReading& reading) {
  switch (reading.problem) {
    case ShortcutProblem::kNone:
      return {};
    case ShortcutProblem::kMissing:
    case ShortcutProblem::kUnreadable:
      return ErrorText(static_cast<DWORD>(reading.error));
    case ShortcutProblem::kFolder:
    case ShortcutProblem::kNotRegularFile:
    case ShortcutProblem::kChanged:
      return L"not a regular file; listed without a URL";
  }
  return {};
}

// One shortcut file to read on a pool thread, and what the read gave.
struct ReadJob {
  FoundShortcut found;
  std::wstring openPath;  // found.path in the extended-length form
  std::wstring warning;   // set when the file could not be read
};

// vorpa-list's walk: the shared folder walk, shortcut files read on a few
// threads, links and junctions followed only into the PATH unless asked.
class Walker : public FolderWalkEvents {
 public:
  Walker(const WalkSettings& settings, WalkEvents& events) : settings_(settings), events_(events) {}

  bool Run(const std::wstring& folder) {
    {
      const UniqueHandle h = OpenForAttributes(OpenablePath(folder));
      if (h.ok()) root_ = FinalPathOf(h.get());
    }
    WalkFolderTree(folder, settings_.recursive, *this);
    if (!batch_.empty()) pool_.Submit(std::exchange(batch_, {}), [&](ReadJob& j) { Deliver(j); });
    pool_.Finish([&](ReadJob& j) { Deliver(j); });
    return ok_;
  }

  void File(const WalkEntry& entry) override {
    if (!HasShortcutType(entry.path)) return;
    if (entry.IsReparsePoint() && !Allowed(entry)) return;
    ReadJob job;
    job.found.path = entry.path;
    job.openPath = entry.openPath;
    // Bytes kept for the audit would wait in the pool's queue, up to its
    // thousands of jobs at the reader's bound each: more than a 32-bit
    // process has for a share of large files.
    if (!pool_.threaded() || settings_.keepBytes) {
      Read(job, buffer_);
      Deliver(job);
      return;
    }
    batch_.push_back(std::move(job));
    if (batch_.size() >= kReadBatchSize) pool_.Submit(std::exchange(batch_, {}), [&](ReadJob& j) { Deliver(j); });
  }
  void Folder(const WalkEntry&) override {}
  bool MayEnter(const WalkEntry& entry) override { return !entry.IsReparsePoint() || Allowed(entry); }
  void Repeated(const std::wstring& path) override {
    events_.Note(path, L"folder already walked under another name, skipped");
  }
  void Unreadable(const std::wstring& path, DWORD error) override { Fail(path, ErrorText(error)); }

  // Runs on the pool's threads: touches nothing but the job and the buffer.
  // The file is opened once, and what it gave says why there is no URL.
  void Read(ReadJob& job, std::string& buffer) const {
    FoundShortcut& found = job.found;
    found.name = ShortcutDisplayName(found.path);
    ShortcutReading reading;
    const UniqueHandle file(OpenShortcutForReading(job.openPath));
    if (!file.ok()) {
      reading.problem = ShortcutProblem::kUnreadable;
      reading.error = GetLastError();
    } else {
      ReadOpenedShortcut(file.get(), settings_.keepBytes, buffer, reading);
    }
    job.warning = ProblemText(reading);
    found.url = std::move(reading.url);
    found.bytes = std::move(reading.bytes);
    found.bytesCut = reading.bytesCut;
  }
  void Deliver(ReadJob& job) {
    if (!job.warning.empty()) Fail(job.found.path, job.warning);
    events_.Found(std::move(job.found));
  }
  void ReadInto(FoundShortcut& found) {
    ReadJob job;
    job.openPath = OpenablePath(found.path);
    job.found = std::move(found);
    Read(job, buffer_);
    found = std::move(job.found);
    if (!job.warning.empty()) Fail(found.path, job.warning);
  }
  bool ok() const { return ok_; }

 private:
  void Fail(const std::wstring& path, const std::wstring& what) {
    ok_ = false;
    events_.Warn(path, what);
  }

  // A junction or link: followed only into the PATH, unless asked.
  bool Allowed(const WalkEntry& entry) {
    if (settings_.followLinks) return true;
    const UniqueHandle h = OpenForAttributes(entry.openPath);
    const std::wstring target = h.ok() ? FinalPathOf(h.get()) : std::wstring();
    const bool inside = !target.empty() && !root_.empty() && target.size() >= root_.size() &&
                        EqualsIgnoreCase(std::wstring_view(target).substr(0, root_.size()), root_) &&
                        (target.size() == root_.size() || target[root_.size()] == L'\\' || root_.back() == L'\\');
    if (!inside) events_.Note(entry.path, L"link leads out of the PATH, not followed (--follow-links follows it)");
    return inside;
  }

  const WalkSettings& settings_;
  WalkEvents& events_;
  std::wstring root_;
  bool ok_ = true;
  std::string buffer_;          // the read buffer when there is no pool
  std::vector<ReadJob> batch_;  // files met but not yet handed to the pool
  ReadPool<ReadJob, std::string> pool_{ReadThreads(), [this](ReadJob& job, std::string& buffer) { Read(job, buffer); }};
};

class TempFile : public OutputFile {
 public:
  TempFile(std::wstring target, std::wstring temp, HANDLE h) : target_(std::move(target)), temp_(std::move(temp)), h_(h) {}
  ~TempFile() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    if (!committed_) DeleteFileW(temp_.c_str());
  }
  bool Write(std::string_view bytes) override { return WriteAll(h_, bytes) == 0; }
  bool Rewind() override {
    LARGE_INTEGER zero{};
    return SetFilePointerEx(h_, zero, nullptr, FILE_BEGIN) && SetEndOfFile(h_);
  }
  bool Commit() override {
    const bool flushed = FlushFileBuffers(h_) != 0;
    const bool closed = CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    if (!flushed || !closed ||
        !ReplaceWithCompleteFile(temp_, target_))
      return false;
    committed_ = true;
    return true;
  }

 private:
  std::wstring target_, temp_;
  HANDLE h_;
  bool committed_ = false;
};

bool WriteHandle(HANDLE h, std::string_view bytes) { return WriteAll(h, bytes) == 0; }

}  // namespace

PathKind InspectPath(const std::wstring& path, std::wstring& fullPath) {
  fullPath = FullPathOf(path);
  // A trailing backslash would double in the paths below; a drive root keeps it.
  while (fullPath.size() > 3 && (fullPath.back() == L'\\' || fullPath.back() == L'/')) fullPath.pop_back();
  const DWORD attributes = GetFileAttributesW(OpenablePath(fullPath).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::kFolder;
  return HasShortcutType(fullPath) ? PathKind::kShortcut : PathKind::kOtherFile;
}

bool WalkFolder(const std::wstring& folder, const WalkSettings& settings, WalkEvents& events) {
  Walker walker(settings, events);
  return walker.Run(folder);
}

bool ReadShortcut(const std::wstring& path, const WalkSettings& settings, FoundShortcut& out, WalkEvents& events) {
  Walker walker(settings, events);
  out.path = path;
  walker.ReadInto(out);
  return walker.ok();
}

bool OutputReplacesInput(const std::wstring& output, const std::vector<std::wstring>& paths, bool recursive) {
  const std::wstring openOutput = OpenablePath(output);
  std::optional<FolderIdentity> target;
  std::vector<std::wstring> names;  // final paths: the file written, the name given
  {
    const UniqueHandle h = OpenForAttributes(openOutput);
    if (!h.ok() || GetFileType(h.get()) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    target = IdentityOf(h.get());
    names.push_back(FinalPathOf(h.get()));
  }
  const size_t cut = openOutput.rfind(L'\\');
  if (cut != std::wstring::npos) {
    const UniqueHandle parent = OpenForAttributes(openOutput.substr(0, cut));
    if (parent.ok()) names.push_back(FinalPathOf(parent.get()) + openOutput.substr(cut));
  }
  if (!target) return false;
  for (const std::wstring& path : paths) {
    const UniqueHandle h = OpenForAttributes(OpenablePath(path));
    BY_HANDLE_FILE_INFORMATION info;
    if (!h.ok() || !GetFileInformationByHandle(h.get(), &info)) continue;
    const std::optional<FolderIdentity> input = IdentityOf(h.get());
    if (!input) continue;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (*input == *target) return true;
      continue;
    }
    for (const std::wstring& name : names) {
      if (name.empty() || !HasShortcutType(name)) continue;
      std::wstring folder = name;
      for (;;) {
        // Up one folder; "\\?\C:\" is the last: nothing shorter is one.
        const size_t slash = folder.rfind(L'\\');
        if (slash == std::wstring::npos || slash < 6) break;
        std::wstring up = folder.substr(0, slash == 6 ? 7 : slash);
        if (up == folder) break;
        folder = std::move(up);
        const UniqueHandle f = OpenForAttributes(folder);
        const std::optional<FolderIdentity> id = f.ok() ? IdentityOf(f.get()) : std::nullopt;
        if (id && *id == *input) return true;
        if (!recursive) break;
      }
    }
  }
  return false;
}

std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& path, std::wstring& error) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring temp =
        path + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount() + attempt);
    const HANDLE h = CreateFileW(OpenablePath(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::make_unique<TempFile>(OpenablePath(path), OpenablePath(temp), h);
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      error = ErrorText(GetLastError());
      return nullptr;
    }
  }
  error = L"no temporary file could be made";
  return nullptr;
}

bool WriteStdout(std::string_view bytes) { return WriteHandle(GetStdHandle(STD_OUTPUT_HANDLE), bytes); }

void WriteStderr(const std::wstring& text) {
  const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) {
    DWORD written = 0;
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  WriteHandle(h, EncodeCodePage(text, SystemAnsiCodePage()));
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

unsigned UsableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    unsigned n = 0;
    for (; process != 0; process &= process - 1) ++n;
    return n;
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

}  // namespace vorpa::cli
