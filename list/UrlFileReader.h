#pragma once
// Reads the target URL of an Internet shortcut file (INI text) the way
// Windows reads it.
#include <cstddef>
#include <string>
#include <string_view>

namespace vorpa {

// The URL stored in the bytes of a shortcut file, or empty text when there
// is none. ansiCodePage decodes every file but one with a UTF-16 byte-order
// mark (a UTF-8 mark is ANSI text to Windows too).
std::wstring ParseInternetShortcutUrl(std::string_view bytes, unsigned ansiCodePage);

// Reads the file at `path` (bounded; a missing, locked or unreadable file
// gives empty text) and parses it with the system ANSI code page.
std::wstring ReadInternetShortcutUrl(const std::wstring& path);

// Only this many leading bytes of a shortcut file are read. A shortcut that
// Windows writes is a few hundred bytes; even one whose URL has the longest
// value the INI functions read back (65,535 characters) in both an ANSI and a
// UTF-7 section, stored as UTF-16, stays below 1 MiB. Anything past the bound
// cannot be a shortcut that Windows wrote, and a scan of 100,000 files must
// not stall or grow without limit on one gigabyte file.
inline constexpr std::size_t kMaxShortcutBytes = std::size_t{4} << 20;

// When the read stopped at the bound, the last line may be cut in the
// middle, and a cut URL would be shown as if it were the stored one: keep
// whole lines only.
std::string_view DropPartialLastLine(std::string_view bytes);

// Reads the leading bytes of a shortcut file, up to kMaxShortcutBytes, through
// `read(dst, max)` (bytes read, 0 at the end, negative on failure): the bytes
// every reader of shortcut files here parses. sizeHint is the size the file
// reports, 0 when unknown; it only sizes the buffer and spares the last read,
// so a file that grows or shrinks while it is read is still bounded. The bytes
// land in `buffer`, which may be kept for the next file, and `bytes` views
// them. False on a read failure.
template <class ReadFn>
bool ReadShortcutBytes(ReadFn&& read, unsigned long long sizeHint, std::string& buffer, std::string_view& bytes) {
  // One byte more than reported lets the read that sees the end land in the
  // buffer, so the usual small file needs a single allocation.
  std::size_t capacity = sizeHint < kMaxShortcutBytes ? static_cast<std::size_t>(sizeHint) + 1 : kMaxShortcutBytes;
  if (capacity < 512) capacity = 512;
  if (buffer.size() < capacity) buffer.resize(capacity);
  std::size_t used = 0;
  bool atEnd = false;
  while (used < kMaxShortcutBytes) {
    if (used == buffer.size())
      buffer.resize(buffer.size() * 2 < kMaxShortcutBytes ? buffer.size() * 2 : kMaxShortcutBytes);
    const std::size_t asked = buffer.size() - used;
    const long long got = read(buffer.data() + used, asked);
    if (got < 0) return false;
    used += static_cast<std::size_t>(got);
    // A short read that ends where the reported size ends is the end: the
    // further read that would return 0 costs a system call per file (a
    // server round trip under Wine).
    if (got == 0 || (static_cast<std::size_t>(got) < asked && sizeHint != 0 && used == sizeHint)) {
      atEnd = true;
      break;
    }
  }
  bytes = std::string_view(buffer.data(), used);
  if (!atEnd) {
    char probe;
    const long long more = read(&probe, 1);
    if (more < 0) return false;
    if (more > 0) bytes = DropPartialLastLine(bytes);
  }
  return true;
}

}  // namespace vorpa
