// The shortcut reader on POSIX systems, where the unit tests run.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "common/PosixFile.h"
#include "common/Text.h"
#include "list/UrlFileReader.h"
#include "list/UrlFileReaderPosix.h"

namespace vorpa {

void ReadOpenedShortcut(int fd, const struct stat& st, unsigned ansiCodePage, bool keepBytes, std::string& buffer,
                        ShortcutReading& reading) {
  if (S_ISDIR(st.st_mode)) {
    reading.problem = ShortcutProblem::kFolder;
    return;
  }
  // Whatever the name, a device, FIFO or socket is never read: its read may
  // wait forever or have effects.
  if (!S_ISREG(st.st_mode)) {
    reading.problem = ShortcutProblem::kNotRegularFile;
    return;
  }
  int error = 0;
  auto read = [&](char* dst, std::size_t max) -> long long {
    for (;;) {
      const ssize_t got = ::read(fd, dst, max);
      if (got >= 0) return got;
      if (errno != EINTR) {
        error = errno;
        return -1;
      }
    }
  };
  ReadShortcutStream(read, st.st_size > 0 ? static_cast<unsigned long long>(st.st_size) : 0, ansiCodePage,
                     keepBytes, buffer, reading);
  if (!reading.ok()) reading.error = static_cast<unsigned long>(error);
}

ShortcutProblem ProblemOfOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ShortcutProblem::kMissing;
    case ELOOP:
      return ShortcutProblem::kChanged;
    default:
      return ShortcutProblem::kUnreadable;
  }
}

ShortcutReading ReadShortcutFile(const std::wstring& path, bool keepBytes) {
  ShortcutReading reading;
  bool lossless = true;
  const std::string name = EncodeCodePage(path, kCodePageUtf8, &lossless);
  if (path.empty() || path.find(L'\0') != std::wstring::npos || !lossless || name.empty()) {
    reading.problem = ShortcutProblem::kMissing;
    reading.error = ENOENT;
    return reading;
  }
  // Without O_NONBLOCK, opening a FIFO that carries a shortcut's name would
  // wait for a writer forever.
  Fd fd(open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    reading.error = static_cast<unsigned long>(errno);
    reading.problem = errno == ELOOP ? ShortcutProblem::kUnreadable : ProblemOfOpenError(errno);
    return reading;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) {
    reading.problem = ShortcutProblem::kUnreadable;
    reading.error = static_cast<unsigned long>(errno);
    return reading;
  }
  std::string buffer;
  ReadOpenedShortcut(fd.get(), st, SystemAnsiCodePage(), keepBytes, buffer, reading);
  return reading;
}

}  // namespace vorpa
