// The walk on Windows: the find functions in the order the file system
// lists, with file ids against loops, as the window's own walk does.
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/ReadPool.h"
#include "cli/Rows.h"
#include "cli/Walk.h"
#include "common/Text.h"
#include "common/WinFile.h"
#include "list/ScanPaths.h"
#include "list/UrlFileReader.h"
#include "list/UrlFileReaderWin.h"

namespace vorpa::cli {
namespace {

// Paths deeper than MAX_PATH need the extended-length form, which skips
// normalisation: only plain absolute paths get it.
std::wstring ForFileApi(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.find(L'/') != std::wstring::npos) return path;
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.')
    return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

std::wstring ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring out = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(error);
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' ')) out.pop_back();
  return out;
}

bool HasShortcutType(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  const size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return false;
  return IsShortcutType(std::wstring_view(path).substr(dot + 1));
}

UniqueHandle OpenForIdentity(const std::wstring& path) {
  return UniqueHandle(CreateFileW(ForFileApi(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::wstring FinalPath(HANDLE h) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.assign(n + 1, L'\0');
  }
  return {};
}

// The shell's display name; the title function refuses some ordinary names.
std::wstring DisplayName(const std::wstring& path) {
  wchar_t probe[1] = {};
  const short needed = GetFileTitleW(path.c_str(), probe, 0);
  if (needed > 0) {
    std::wstring title(static_cast<size_t>(needed), L'\0');
    if (GetFileTitleW(path.c_str(), title.data(), static_cast<WORD>(needed)) == 0) {
      title.resize(wcslen(title.c_str()));
      if (!title.empty()) return title;
    }
  }
  return NameAsTitlesShowIt(path);
}

// Opens a shortcut file for reading as the window's reader does: shared
// with writers and deleters, and so that a named pipe behind the name may
// learn who opened it but never act as this user.
UniqueHandle OpenShortcut(const std::wstring& path) {
  return UniqueHandle(CreateFileW(ForFileApi(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
}

// The bytes the reader looks at, for the audit.
std::string ReadBytes(const std::wstring& path) {
  UniqueHandle file = OpenShortcut(path);
  if (file.get() == INVALID_HANDLE_VALUE || GetFileType(file.get()) != FILE_TYPE_DISK) return {};
  std::string buffer;
  std::string_view bytes;
  if (!ReadShortcutBytes(file.get(), buffer, bytes)) return {};
  buffer.resize(bytes.size());
  return buffer;
}

// One shortcut file to read on a pool thread, and what the read gave.
struct ReadJob {
  FoundShortcut found;
  std::wstring warning;  // set when the file could not be read
};
struct NoScratch {};

class Walker {
 public:
  Walker(const WalkSettings& settings, WalkEvents& events) : settings_(settings), events_(events) {}

  bool Run(const std::wstring& folder) {
    {
      UniqueHandle h = OpenForIdentity(folder);
      if (h.get() != INVALID_HANDLE_VALUE) {
        root_ = FinalPath(h.get());
        Identify(h.get());
      }
    }
    std::wstring path = folder;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    struct Level {
      HANDLE find;
      size_t length;
    };
    std::vector<Level> stack;
    WIN32_FIND_DATAW data;
    bool pending = false;
    const auto open = [&](const std::wstring& shown) {
      const HANDLE find = FindFirstFileExW(ForFileApi(path + L'*').c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
      if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) Fail(shown, error);
        return false;
      }
      stack.push_back({find, path.size()});
      return true;
    };
    pending = open(folder);
    while (!stack.empty()) {
      if (!pending && !FindNextFileW(stack.back().find, &data)) {
        FindClose(stack.back().find);
        stack.pop_back();
        continue;
      }
      pending = false;
      path.resize(stack.back().length);
      const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const wchar_t* name = data.cFileName;
      if (isFolder && name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
      path += name;
      if (!isFolder) {
        if (!HasShortcutType(path)) continue;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !Allowed(path)) continue;
        ReadJob job;
        job.found.path = path;
        // Bytes kept for the audit would wait in the pool's queue, up to its
        // thousands of jobs at the reader's bound each: more than a 32-bit
        // process has for a share of large files.
        if (!pool_.threaded() || settings_.keepBytes) {
          Read(job);
          Deliver(job);
          continue;
        }
        batch_.push_back(std::move(job));
        if (batch_.size() >= kReadBatchSize) pool_.Submit(std::exchange(batch_, {}), [&](ReadJob& j) { Deliver(j); });
        continue;
      }
      if (!settings_.recursive) continue;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !Allowed(path)) continue;
      if (!FirstVisit(path)) continue;
      const std::wstring shown = path;
      path += L'\\';
      pending = open(shown);
    }
    if (!batch_.empty()) pool_.Submit(std::exchange(batch_, {}), [&](ReadJob& j) { Deliver(j); });
    pool_.Finish([&](ReadJob& j) { Deliver(j); });
    return ok_;
  }

  // Runs on the pool's threads: touches nothing but the job.
  void Read(ReadJob& job) const {
    FoundShortcut& found = job.found;
    found.name = DisplayName(found.path);
    found.url = ReadInternetShortcutUrl(found.path);
    if (settings_.keepBytes) found.bytes = ReadBytes(found.path);
    if (found.url.empty()) {
      // The reader gives empty text for a file it cannot open too.
      UniqueHandle file = OpenShortcut(found.path);
      if (file.get() == INVALID_HANDLE_VALUE) {
        job.warning = ErrorText(GetLastError());
      } else if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        job.warning = L"not a regular file; listed without a URL";
      }
    }
  }
  void Deliver(ReadJob& job) {
    if (!job.warning.empty()) {
      ok_ = false;
      events_.Warn(job.found.path, job.warning);
    }
    events_.Found(std::move(job.found));
  }
  void ReadInto(FoundShortcut& found) {
    ReadJob job;
    job.found = std::move(found);
    Read(job);
    found = std::move(job.found);
    if (!job.warning.empty()) {
      ok_ = false;
      events_.Warn(found.path, job.warning);
    }
  }
  bool ok() const { return ok_; }

 private:
  void Fail(const std::wstring& path, DWORD error) {
    ok_ = false;
    events_.Warn(path, ErrorText(error));
  }

  // A junction or link: followed only into the PATH, unless asked.
  bool Allowed(const std::wstring& path) {
    if (settings_.followLinks) return true;
    UniqueHandle h = OpenForIdentity(path);
    const std::wstring target = h.get() != INVALID_HANDLE_VALUE ? FinalPath(h.get()) : std::wstring();
    const bool inside = !target.empty() && !root_.empty() && target.size() >= root_.size() &&
                        EqualsIgnoreCase(std::wstring_view(target).substr(0, root_.size()), root_) &&
                        (target.size() == root_.size() || target[root_.size()] == L'\\' || root_.back() == L'\\');
    if (!inside) events_.Note(path, L"link leads out of the PATH, not followed (--follow-links follows it)");
    return inside;
  }

  bool Identify(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return true;
    return seen_.insert({info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow}).second;
  }

  bool FirstVisit(const std::wstring& folder) {
    UniqueHandle h = OpenForIdentity(folder);
    if (h.get() == INVALID_HANDLE_VALUE) return true;  // its listing then decides
    if (Identify(h.get())) return true;
    events_.Note(folder, L"folder already walked under another name, skipped");
    return false;
  }

  const WalkSettings& settings_;
  WalkEvents& events_;
  std::wstring root_;
  std::set<std::tuple<DWORD, DWORD, DWORD>> seen_;
  bool ok_ = true;
  std::vector<ReadJob> batch_;  // files met but not yet handed to the pool
  ReadPool<ReadJob, NoScratch> pool_{ReadThreads(), [this](ReadJob& job, NoScratch&) { Read(job); }};
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
        !MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
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
  fullPath = path;
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed > 0) {
    std::wstring buffer(needed, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), needed, buffer.data(), nullptr);
    if (n > 0 && n < needed) {
      buffer.resize(n);
      fullPath = buffer;
    }
  }
  // A trailing backslash would double in the paths below; a drive root keeps it.
  while (fullPath.size() > 3 && (fullPath.back() == L'\\' || fullPath.back() == L'/')) fullPath.pop_back();
  const DWORD attributes = GetFileAttributesW(ForFileApi(fullPath).c_str());
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

std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& path, std::wstring& error) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring temp =
        path + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount() + attempt);
    const HANDLE h = CreateFileW(ForFileApi(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::make_unique<TempFile>(ForFileApi(path), ForFileApi(temp), h);
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
