#pragma once
// Small pieces for files on Windows: an owned handle, a read, and a write that
// finishes or says why not.
#include <windows.h>

#include <cstddef>
#include <string_view>

namespace vorpa {

class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      h_ = other.h_;
      other.h_ = INVALID_HANDLE_VALUE;
    }
    return *this;
  }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  // Closes now; false when the system reports an error on close (a write it
  // had deferred failed).
  bool Close() {
    const bool closed = !ok() || CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE h_;
};

// An open listing of the find functions, closed when it goes out of scope.
class UniqueFindHandle {
 public:
  explicit UniqueFindHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~UniqueFindHandle() { Close(); }
  UniqueFindHandle(const UniqueFindHandle&) = delete;
  UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;
  UniqueFindHandle(UniqueFindHandle&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
  UniqueFindHandle& operator=(UniqueFindHandle&& other) noexcept {
    if (this != &other) {
      Close();
      h_ = other.h_;
      other.h_ = INVALID_HANDLE_VALUE;
    }
    return *this;
  }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  void Close() {
    if (ok()) FindClose(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

// One read of at most `max` bytes: the count read (0 at the end), or -1 on
// failure. The shape the shortcut readers take.
inline long long ReadChunk(HANDLE file, char* dst, std::size_t max) {
  const DWORD chunk = max < (DWORD{1} << 30) ? static_cast<DWORD>(max) : (DWORD{1} << 30);
  DWORD got = 0;
  if (!ReadFile(file, dst, chunk, &got, nullptr)) return -1;
  return got;
}

// Writes all of `bytes`; 0, or the error that stopped it (a short write
// counts as a full disk).
inline DWORD WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() < 0x40000000 ? static_cast<DWORD>(bytes.size()) : 0x40000000;
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return GetLastError();
    if (written != chunk) return ERROR_DISK_FULL;
    bytes.remove_prefix(written);
  }
  return 0;
}

}  // namespace vorpa
