// The shortcut reader on POSIX systems, where the unit tests run.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "common/PosixFile.h"
#include "common/Text.h"
#include "list/UrlFileReader.h"

namespace vorpa {

std::wstring ReadInternetShortcutUrl(const std::wstring& path) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return {};
  bool lossless = true;
  const std::string name = EncodeCodePage(path, kCodePageUtf8, &lossless);
  if (!lossless || name.empty()) return {};
  // Without O_NONBLOCK, opening a FIFO that carries a shortcut's name would
  // wait for a writer forever.
  Fd fd(open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) return {};
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  auto read = [&](char* dst, std::size_t max) -> long long {
    for (;;) {
      const ssize_t got = ::read(fd.get(), dst, max);
      if (got >= 0) return got;
      if (errno != EINTR) return -1;
    }
  };
  std::string buffer;
  std::string_view bytes;
  if (!ReadShortcutBytes(read, st.st_size > 0 ? static_cast<unsigned long long>(st.st_size) : 0, buffer, bytes)) return {};
  return ParseInternetShortcutUrl(bytes, SystemAnsiCodePage());
}

}  // namespace vorpa
