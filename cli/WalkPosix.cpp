// The walk on POSIX systems: directory file descriptors, so that depth is
// bounded by the open-file limit rather than by PATH_MAX.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/FileName.h"
#include "cli/ReadPool.h"
#include "cli/Walk.h"
#include "common/PosixFile.h"
#include "common/Text.h"
#include "list/ScanPaths.h"
#include "list/UrlFileReader.h"
#include "list/UrlFileReaderPosix.h"

namespace vorpa::cli {
namespace {

std::wstring ErrorText(int error) { return DecodeFileName(strerror(error)); }

// The warning for a shortcut that gave no reading; empty for one that did.
std::wstring ProblemText(const ShortcutReading& reading) {
  switch (reading.problem) {
    case ShortcutProblem::kNone:
      return {};
    case ShortcutProblem::kMissing:
    case ShortcutProblem::kUnreadable:
      return ErrorText(static_cast<int>(reading.error));
    case ShortcutProblem::kFolder:
    case ShortcutProblem::kNotRegularFile:
      return L"not a regular file; listed without a URL";
    case ShortcutProblem::kChanged:
      return L"changed while walked (now a link, or leading out of the PATH); listed without a URL";
  }
  return {};
}

bool HasShortcutType(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view type = name.substr(dot + 1);
  return type.size() == 3 && (type[0] | 0x20) == 'u' && (type[1] | 0x20) == 'r' && (type[2] | 0x20) == 'l';
}


// The window's name rule on the last component alone: the shared rule also
// cuts at '\\' and ':', which separate only on Windows.
std::wstring NameOfShortcut(const std::wstring& path) {
  const size_t slash = path.rfind(L'/');
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  if (name.size() > 4 && name[name.size() - 4] == L'.' && IsShortcutType(std::wstring_view(name).substr(name.size() - 3)))
    name.resize(name.size() - 4);
  return name;
}

// A name in a folder's listing: where it starts in the folder's names.
struct Entry {
  size_t offset;
  size_t length;
  unsigned char type;
};

// An open folder and the names it lists, one after another with a NUL
// after each (one block for the folder, not one for each name). The reads
// of its files may still hold it after the walk has left it.
class OpenFolder {
 public:
  // `open` counts the folders open at once; only the walk's thread makes and
  // drops them.
  OpenFolder(DIR* dir, size_t& open) : dir_(dir), open_(open) { ++open_; }
  ~OpenFolder() {
    closedir(dir_);
    --open_;
  }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  DIR* dir() const { return dir_; }
  int fd() const { return dirfd(dir_); }
  std::string& names() { return names_; }
  const char* name(const Entry& entry) const { return names_.data() + entry.offset; }
  std::string_view nameView(const Entry& entry) const { return {names_.data() + entry.offset, entry.length}; }

 private:
  DIR* dir_;
  size_t& open_;
  std::string names_;
};

// How many folders may stay open for reads still to come. A tree of many
// small folders would otherwise hold one descriptor for each folder with a
// pending read, thousands of them, and a process limit of 1,024 (or a
// smaller one) would make later folders and files fail to open. A quarter
// of the limit leaves room for the readers' files and the output.
size_t FolderBudget() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1024;
  return std::clamp<size_t>(static_cast<size_t>(limit.rlim_cur / 4), 4, 1024);
}

// One shortcut file to read: where it is, and what the read gave.
struct ReadJob {
  std::shared_ptr<OpenFolder> folder;  // null for a file given directly
  const char* name;  // in the folder's names, or the full path
  // The listing said "regular file": opened without following a link, so a
  // file swapped for a link since is not read through it.
  bool knownRegular;
  // A link followed only because it leads into the PATH: what it opened must
  // still lie inside.
  bool checkInside = false;
  FoundShortcut found;
  std::wstring warning;  // set when the file could not be read
  bool done = false;
};

struct Level {
  std::shared_ptr<OpenFolder> folder;
  std::vector<Entry> entries;
  size_t next = 0;
  size_t pathLength;  // of the folder's path with its '/'
};

class Walker {
 public:
  Walker(const WalkSettings& settings, WalkEvents& events) : settings_(settings), events_(events) {}
  ~Walker() {
  }

  bool Run(const std::wstring& folder) {
    const std::string rootBytes = EncodeFileName(folder);
    realRoot_ = RealPath(rootBytes);
    path_ = folder;
    if (path_.empty() || path_.back() != L'/') path_ += L'/';
    if (!Enter(open(rootBytes.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), folder)) return false;
    while (!stack_.empty()) {
      Level& level = stack_.back();
      if (level.next == level.entries.size()) {
        stack_.pop_back();
        continue;
      }
      const Entry& entry = level.entries[level.next++];
      path_.resize(level.pathLength);
      AppendFileName(path_, level.folder->nameView(entry));
      Visit(level.folder, entry);
    }
    if (!batch_.empty()) pool_.Submit(std::exchange(batch_, {}), [&](ReadJob& done) { Deliver(done); });
    pool_.Finish([&](ReadJob& job) { Deliver(job); });
    return ok_;
  }

 private:
  // Takes over `fd` (a folder just opened) and lists it, unless it was
  // walked before under another name.
  bool Enter(int fd, const std::wstring& shown) {
    if (fd < 0) {
      Fail(shown, errno);
      return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
      Fail(shown, errno);
      close(fd);
      return false;
    }
    if (!visited_.insert({st.st_dev, st.st_ino}).second) {
      close(fd);
      events_.Note(shown, L"folder already walked under another name, skipped");
      return true;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
      Fail(shown, errno);
      close(fd);
      return false;
    }
    Level level{std::make_shared<OpenFolder>(dir, openFolders_), {}, 0, path_.size()};
    std::string& names = level.folder->names();
    errno = 0;
    while (const dirent* d = readdir(dir)) {
      if (d->d_name[0] == '.' && (d->d_name[1] == 0 || (d->d_name[1] == '.' && d->d_name[2] == 0))) continue;
      const size_t length = strlen(d->d_name);
      level.entries.push_back({names.size(), length, d->d_type});
      names.append(d->d_name, length + 1);
    }
    if (errno != 0) Fail(shown, errno);
    // Directory order is the order of a hash on most file systems; by name
    // a run can be repeated and compared.
    const OpenFolder& folder = *level.folder;
    std::sort(level.entries.begin(), level.entries.end(),
              [&](const Entry& a, const Entry& b) { return folder.nameView(a) < folder.nameView(b); });
    stack_.push_back(std::move(level));
    return true;
  }

  void Fail(const std::wstring& path, int error) { Fail(path, ErrorText(error)); }
  void Fail(const std::wstring& path, const std::wstring& what) {
    ok_ = false;
    events_.Warn(path, what);
  }

  bool Inside(const std::string& target) const {
    if (realRoot_.empty()) return false;
    if (realRoot_ == "/") return true;
    return target == realRoot_ || (target.size() > realRoot_.size() && target.compare(0, realRoot_.size(), realRoot_) == 0 &&
                                   target[realRoot_.size()] == '/');
  }

  // Whether a link's target lies inside the PATH, by its name now: decides
  // what is listed. What is then opened is checked by OpenedInside.
  bool InsideRoot() const {
    const std::string target = RealPath(EncodeFileName(path_));
    return !target.empty() && Inside(target);
  }

 public:
  // Whether the file or folder open as `fd` (reached through a link at
  // `path`) lies inside the PATH. The link may have been swapped between the
  // check of its name and the open, so the opened object itself is judged:
  // by the name the kernel keeps for it, or else by the name the link gives
  // now, taken only when that name leads to the very object opened.
  bool OpenedInside(int fd, const struct stat& opened, const std::wstring& path) const {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string kernelName(4096, '\0');
    const ssize_t n = readlink(link, kernelName.data(), kernelName.size());
    if (n > 0 && static_cast<size_t>(n) < kernelName.size()) {
      kernelName.resize(static_cast<size_t>(n));
      return Inside(kernelName);
    }
    const std::string target = RealPath(EncodeFileName(path));
    struct stat now;
    return !target.empty() && Inside(target) && stat(target.c_str(), &now) == 0 && now.st_dev == opened.st_dev && now.st_ino == opened.st_ino;
  }

 private:

  void Visit(const std::shared_ptr<OpenFolder>& folder, const Entry& entry) {
    const int dirFd = folder->fd();
    const char* name = folder->name(entry);
    unsigned char type = entry.type;
    bool checkInside = false;
    bool linked = false;
    struct stat st;
    if (type == DT_UNKNOWN) {
      if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Fail(path_, errno);
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : S_ISREG(st.st_mode) ? DT_REG : DT_FIFO;
    }
    if (type == DT_LNK) {
      // A dangling link leads nowhere; it is no shortcut and no folder.
      if (fstatat(dirFd, name, &st, 0) != 0) return;
      const bool isFolder = S_ISDIR(st.st_mode);
      if (isFolder ? !settings_.recursive : !HasShortcutType(folder->nameView(entry))) return;
      if (!settings_.followLinks && !InsideRoot()) {
        events_.Note(path_, L"link leads out of the PATH, not followed (--follow-links follows it)");
        return;
      }
      if (isFolder) {
        const std::wstring shown = path_;
        MakeRoomForFolder();
        int fd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat opened;
        if (fd >= 0 && !settings_.followLinks && (fstat(fd, &opened) != 0 || !OpenedInside(fd, opened, path_))) {
          close(fd);
          events_.Note(path_, L"link changed while walked and now leads out of the PATH, not followed");
          return;
        }
        path_ += L'/';
        Enter(fd, shown);
        return;
      }
      checkInside = !settings_.followLinks;
      type = DT_REG;
      linked = true;
    }
    if (type == DT_DIR) {
      if (!settings_.recursive) return;
      const std::wstring shown = path_;
      path_ += L'/';
      MakeRoomForFolder();
      Enter(openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), shown);
      return;
    }
    if (!HasShortcutType(folder->nameView(entry))) return;
    ReadJob job;
    job.folder = folder;
    job.name = name;
    job.knownRegular = type == DT_REG && !linked;
    job.checkInside = checkInside;
    if (!sparePaths_.empty()) {
      job.found.path = std::move(sparePaths_.back());
      sparePaths_.pop_back();
    }
    job.found.path.assign(path_);
    job.found.name = NameOfShortcut(path_);
    // Bytes kept for the audit would wait in the pool's queue, up to its
    // thousands of jobs at the reader's bound each: gigabytes for a share
    // of large files. Read here, each file's bytes are gone with its row.
    if (!pool_.threaded() || settings_.keepBytes) {
      Read(job, buffer_);
      Deliver(job);
      return;
    }
    if (batch_.capacity() == 0) batch_.reserve(kBatch);
    batch_.push_back(std::move(job));
    if (batch_.size() >= kBatch) pool_.Submit(std::exchange(batch_, {}), [&](ReadJob& done) { Deliver(done); });
  }

  // Hands on pending reads, oldest first, until their folders are closed
  // enough to open one more. The folders being walked stay open.
  void MakeRoomForFolder() {
    if (openFolders_ < folderBudget_) return;
    if (!batch_.empty()) pool_.Submit(std::exchange(batch_, {}), [&](ReadJob& done) { Deliver(done); });
    while (openFolders_ >= folderBudget_ && pool_.DeliverNext([&](ReadJob& done) { Deliver(done); })) {
    }
  }

  void Deliver(ReadJob& job) {
    if (!job.warning.empty()) {
      ok_ = false;
      events_.Warn(job.found.path, job.warning);
    }
    events_.Found(std::move(job.found));
    // Most lists do not keep the path: its storage serves a later file.
    if (job.found.path.capacity() > 32 && sparePaths_.size() < kBatch) sparePaths_.push_back(std::move(job.found.path));
    // The folder closes with its last job, here rather than under the pool's lock.
    job.name = nullptr;
    job.folder.reset();
  }

 public:
  // Fills url (and bytes) of the job's shortcut, or its warning. Runs on
  // the pool's threads: touches nothing but the job and the buffer.
  void Read(ReadJob& job, std::string& buffer) const {
    ShortcutReading reading;
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (job.knownRegular ? O_NOFOLLOW : 0);
    Fd fd(openat(job.folder ? job.folder->fd() : AT_FDCWD, job.name, flags));
    struct stat st;
    if (fd.get() < 0) {
      reading.problem = ProblemOfOpenError(errno);
      reading.error = static_cast<unsigned long>(errno);
    } else if (fstat(fd.get(), &st) != 0) {
      reading.problem = ShortcutProblem::kUnreadable;
      reading.error = static_cast<unsigned long>(errno);
    } else if (job.checkInside && !OpenedInside(fd.get(), st, job.found.path)) {
      reading.problem = ShortcutProblem::kChanged;
    } else {
      ReadOpenedShortcut(fd.get(), st, codePage_, settings_.keepBytes, buffer, reading);
    }
    job.warning = ProblemText(reading);
    job.found.url = std::move(reading.url);
    job.found.bytes = std::move(reading.bytes);
    job.found.bytesCut = reading.bytesCut;
  }
  // A file given directly, read on the calling thread.
  void ReadOne(FoundShortcut& found) {
    ReadJob job;
    const std::string path = EncodeFileName(found.path);
    job.name = path.c_str();
    job.knownRegular = false;
    job.found = std::move(found);
    Read(job, buffer_);
    found = std::move(job.found);
    if (!job.warning.empty()) Fail(found.path, job.warning);
  }
  bool ok() const { return ok_; }

 private:
  const WalkSettings& settings_;
  WalkEvents& events_;
  size_t openFolders_ = 0;
  const size_t folderBudget_ = FolderBudget();
  std::vector<Level> stack_;
  std::set<std::pair<dev_t, ino_t>> visited_;
  std::string realRoot_;
  std::wstring path_;
  std::string buffer_;  // the read buffer when there is no pool
  std::vector<ReadJob> batch_;  // files met but not yet handed to the pool
  std::vector<std::wstring> sparePaths_;
  const unsigned codePage_ = SystemAnsiCodePage();
  // Natively a read costs a few microseconds: batches of this size keep the
  // readers' and the walk's waits for each other (a system call and a thread
  // switch each) rare. Up to 4,096 reads wait, as with the usual batches.
  static constexpr size_t kBatch = 4 * kReadBatchSize;
  // The readers leave the jobs' folder references alone: counted on one
  // thread only, a reference costs no traffic between processors.
  ReadPool<ReadJob, std::string> pool_{ReadThreads(), [this](ReadJob& job, std::string& buffer) { Read(job, buffer); },
                                       4096 / kBatch};
  bool ok_ = true;
};

std::wstring CurrentFolder() {
  std::string buffer(4096, '\0');
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(strlen(buffer.c_str()));
  return DecodeFileName(buffer);
}

// The full form of a path: made absolute, "." components and doubled or
// trailing separators removed; ".." and links are kept as given. Empty for
// a relative path when the current folder has no name (it was removed):
// joined to nothing it would name a folder from the root.
std::wstring FullPath(const std::wstring& path) {
  std::wstring joined = path;
  if (path.empty() || path[0] != L'/') {
    const std::wstring current = CurrentFolder();
    if (current.empty()) return {};
    joined = current + L'/' + path;
  }
  std::wstring out;
  size_t i = 0;
  while (i < joined.size()) {
    while (i < joined.size() && joined[i] == L'/') ++i;
    size_t end = joined.find(L'/', i);
    if (end == std::wstring::npos) end = joined.size();
    const std::wstring_view part(joined.data() + i, end - i);
    if (!part.empty() && part != L".") {
      out += L'/';
      out += part;
    }
    i = end;
  }
  return out.empty() ? L"/" : out;
}

class TempFile : public OutputFile {
 public:
  TempFile(std::string target, std::string temp, int fd) : target_(std::move(target)), temp_(std::move(temp)), fd_(fd) {}
  ~TempFile() override {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temp_.c_str());
  }
  bool Write(std::string_view bytes) override { return WriteAll(fd_, bytes); }
  bool Rewind() override { return ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0; }
  bool Commit() override {
    const bool flushed = fsync(fd_) == 0;
    const bool closed = close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed || rename(temp_.c_str(), target_.c_str()) != 0) return false;
    committed_ = true;
    return true;
  }

 private:
  std::string target_, temp_;
  int fd_;
  bool committed_ = false;
};

// A device, pipe or socket named as the output (/dev/stdout, /dev/null, a
// FIFO a reader waits on): a file renamed into its place would take its
// name from it, so it is written where it is.
class StreamFile : public OutputFile {
 public:
  explicit StreamFile(int fd) : fd_(fd) {}
  ~StreamFile() override {
    if (fd_ >= 0) close(fd_);
  }
  bool Write(std::string_view bytes) override { return WriteAll(fd_, bytes); }
  bool Rewind() override { return false; }
  bool Commit() override {
    const bool closed = close(fd_) == 0;
    fd_ = -1;
    return closed;
  }
  bool Rewindable() const override { return false; }

 private:
  int fd_;
};

}  // namespace

PathKind InspectPath(const std::wstring& path, std::wstring& fullPath) {
  fullPath = FullPath(path);
  if (fullPath.empty()) return PathKind::kMissing;
  struct stat st;
  if (stat(EncodeFileName(fullPath).c_str(), &st) != 0) return PathKind::kMissing;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  return HasShortcutType(EncodeFileName(fullPath.substr(fullPath.rfind(L'/') + 1))) ? PathKind::kShortcut
                                                                                   : PathKind::kOtherFile;
}

bool WalkFolder(const std::wstring& folder, const WalkSettings& settings, WalkEvents& events) {
  Walker walker(settings, events);
  return walker.Run(folder);
}

bool ReadShortcut(const std::wstring& path, const WalkSettings& settings, FoundShortcut& out, WalkEvents& events) {
  Walker walker(settings, events);
  out.path = path;
  out.name = NameOfShortcut(path);
  walker.ReadOne(out);
  return walker.ok();
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool OutputReplacesInput(const std::wstring& output, const std::vector<std::wstring>& paths, bool recursive) {
  const std::wstring full = FullPath(output);
  if (full.empty()) return false;
  const std::string named = EncodeFileName(full);
  struct stat target;
  // A new file, a device or a FIFO replaces nothing the walk reads.
  if (stat(named.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return false;
  // The file written (links resolved), and the name given (the walk reads
  // a link in a PATH as the shortcut it leads to): each in resolved folders.
  std::vector<std::string> names;
  if (std::string real = RealPath(named); !real.empty()) names.push_back(real);
  if (std::string parent = RealPath(ParentOf(named)); !parent.empty())
    names.push_back((parent == "/" ? "" : parent) + named.substr(named.rfind('/')));
  for (const std::wstring& path : paths) {
    const std::wstring fullPath = FullPath(path);
    struct stat input;
    if (fullPath.empty() || stat(EncodeFileName(fullPath).c_str(), &input) != 0) continue;
    if (S_ISREG(input.st_mode)) {
      if (SameFile(input, target)) return true;
      continue;
    }
    if (!S_ISDIR(input.st_mode)) continue;
    for (const std::string& name : names) {
      if (!HasShortcutType(std::string_view(name).substr(name.rfind('/') + 1))) continue;
      for (std::string folder = ParentOf(name);; folder = ParentOf(folder)) {
        struct stat st;
        if (stat(folder.c_str(), &st) == 0 && SameFile(st, input)) return true;
        if (!recursive || folder == "/") break;
      }
    }
  }
  return false;
}

std::unique_ptr<OutputFile> CreateOutputFile(const std::wstring& path, std::wstring& error) {
  std::string target = EncodeFileName(path);
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      error = ErrorText(errno);
      return nullptr;
    }
    return std::make_unique<StreamFile>(fd);
  }
  // A link names the list it leads to: that file is replaced, the link kept.
  if (exists && S_ISREG(st.st_mode)) {
    if (std::string real = RealPath(target); !real.empty()) target = std::move(real);
  }
  std::string temp = target + ".tmp-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = ErrorText(errno);
    return nullptr;
  }
  // mkstemp makes the file private; the result gets the permissions of the
  // file it replaces, or the usual ones.
  if (exists && S_ISREG(st.st_mode)) {
    fchmod(fd, st.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  return std::make_unique<TempFile>(target, temp, fd);
}

bool WriteStdout(std::string_view bytes) { return WriteAll(STDOUT_FILENO, bytes); }

void WriteStderr(const std::wstring& text) {
  std::string bytes;
  AppendUtf8(bytes, text);
  WriteAll(STDERR_FILENO, bytes);
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

unsigned UsableProcessors() {
#ifdef CPU_COUNT
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<unsigned>(n) : 1;
}

}  // namespace vorpa::cli
