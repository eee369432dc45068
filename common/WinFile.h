#pragma once
// Small pieces for files on Windows: an owned handle, a read, and a write that
// finishes or says why not.
#include <windows.h>

#include <cstddef>
#include <string>
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

// The system's text for an error code, without its line end; empty when
// the system has none.
inline std::wstring SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text;
}

// Puts a complete new file (written, flushed and closed beside the target)
// in place of `target`, in one step; false with GetLastError set when the
// system refuses, and then the old file is as it was.
inline bool ReplaceWithCompleteFile(const std::wstring& complete, const std::wstring& target) {
  return MoveFileExW(complete.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace vorpa
