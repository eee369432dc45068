#pragma once
// Shared by the platform readers of shortcut files: the size bound and the
// bounded read loop. Not for callers outside the reader.
#include <cstddef>
#include <string>
#include <string_view>

#include "common/Text.h"
#include "list/UrlFileReader.h"

namespace vorpa::urlfile {

// Only this many leading bytes of a shortcut file are read. A shortcut that
// Windows writes is a few hundred bytes; even one whose URL has the longest
// value the INI functions read back (65,535 characters) in both an ANSI and a
// UTF-7 section, stored as UTF-16, stays below 1 MiB. Anything past the bound
// cannot be a shortcut that Windows wrote, and a scan of 100,000 files must
// not stall or grow without limit on one gigabyte file.
inline constexpr std::size_t kMaxBytes = std::size_t{4} << 20;

// When the read stopped at the bound, the last line may be cut in the
// middle, and a cut URL would be shown as if it were the stored one: keep
// whole lines only.
std::string_view DropPartialLastLine(std::string_view bytes);

// Reads up to kMaxBytes through `read(dst, max)` (bytes read, 0 at the end,
// negative on failure) and parses them. sizeHint is the size the file
// reports; it only sizes the buffer, so a file that grows or shrinks while it
// is read is still bounded. A read failure gives empty text.
template <class ReadFn>
std::wstring ReadAndParse(ReadFn&& read, unsigned long long sizeHint) {
  std::string buffer;
  // One byte more than reported lets the read that sees the end land in the
  // buffer, so the usual small file needs a single allocation.
  std::size_t capacity = sizeHint < kMaxBytes ? static_cast<std::size_t>(sizeHint) + 1 : kMaxBytes;
  if (capacity < 512) capacity = 512;
  buffer.resize(capacity);
  std::size_t used = 0;
  bool atEnd = false;
  while (used < kMaxBytes) {
    if (used == buffer.size()) buffer.resize(buffer.size() * 2 < kMaxBytes ? buffer.size() * 2 : kMaxBytes);
    const std::size_t asked = buffer.size() - used;
    const long long got = read(buffer.data() + used, asked);
    if (got < 0) return {};
    used += static_cast<std::size_t>(got);
    // A short read that ends where the reported size ends is the end: the
    // further read that would return 0 costs a system call per file (a
    // server round trip under Wine).
    if (got == 0 || (static_cast<std::size_t>(got) < asked && used == sizeHint)) {
      atEnd = true;
      break;
    }
  }
  std::string_view bytes(buffer.data(), used);
  if (!atEnd) {
    char probe;
    const long long more = read(&probe, 1);
    if (more < 0) return {};
    if (more > 0) bytes = DropPartialLastLine(bytes);
  }
  return ParseInternetShortcutUrl(bytes, SystemAnsiCodePage());
}

}  // namespace vorpa::urlfile
