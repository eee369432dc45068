#pragma once
// An owned file descriptor and a whole write, for the POSIX builds.
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace vorpa {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The path with every link, "." and ".." resolved (realpath), its storage
// freed here; empty when the path leads nowhere.
inline std::string RealPath(const std::string& path) {
  std::string out;
  if (char* real = realpath(path.c_str(), nullptr)) {
    out = real;
    free(real);
  }
  return out;
}

// Writes all of `bytes`, however the system splits them; false on failure.
inline bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace vorpa
