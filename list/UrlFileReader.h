#pragma once
// Reads the target URL of an Internet shortcut file (INI text) the way
// Windows reads it: the whole file, however large, in bounded memory.
//
// Three layers, each usable alone:
// - ShortcutUrlParser takes the file's bytes in pieces, in file order, and
//   keeps only what the URL can still depend on (the value being read, a
//   few undecoded bytes), so a file of any size costs a fixed amount.
// - ReadShortcutStream drives a parser from any byte source (a descriptor,
//   a handle, a test's string) and keeps the leading bytes for callers that
//   examine the file itself (the audit).
// - ReadShortcutFile opens a path the platform's way and says why a file
//   gave no reading; the folder walks open by themselves and then call
//   ReadShortcutStream on what they opened, so no file is opened twice.
#include <cstddef>
#include <string>
#include <string_view>

namespace vorpa {

// Why a shortcut file gave no reading.
enum class ShortcutProblem {
  kNone,           // read (the URL may still be empty: the file names none)
  kMissing,        // no such file
  kFolder,         // a folder carries the name
  kUnreadable,     // opening or reading failed: `error` says why
  kNotRegularFile, // a device, pipe, socket...: never read, its read may wait forever
  kChanged,        // no longer what the listing said (swapped for a link or another type)
};

// Callers that examine the file itself get at most this many leading bytes.
// A shortcut that Windows writes is a few hundred bytes; even one whose URL
// has the longest value the INI functions read back (65,535 characters) in
// both an ANSI and a UTF-7 section, stored as UTF-16, stays below 1 MiB.
// The URL itself always comes from the whole file.
inline constexpr std::size_t kMaxShortcutBytes = std::size_t{4} << 20;

struct ShortcutReading {
  std::wstring url;  // the target; empty when the file names none or gave no reading
  ShortcutProblem problem = ShortcutProblem::kNone;
  // The system's error number (errno or GetLastError) with kUnreadable and
  // kMissing; 0 otherwise.
  unsigned long error = 0;
  // With keepBytes: the file's leading bytes, at most kMaxShortcutBytes and
  // then ending after a whole line (a cut URL line would read as another URL).
  std::string bytes;
  // With keepBytes: the file holds more than `bytes`.
  bool bytesCut = false;
  bool ok() const { return problem == ShortcutProblem::kNone; }
};

// The streaming reader of the INI rules. Feed the file's bytes in order,
// then Finish. Each piece may end anywhere, even inside a character: the
// parser keeps the undecoded tail for the next piece. Text is decoded by
// DecodeCodePage and DecodeUtf16Le (common/Text.h) in pieces that end on a
// character boundary of the code page as Windows decodes it, so the pieces
// give the same text as one decode of the whole file.
class ShortcutUrlParser {
 public:
  explicit ShortcutUrlParser(unsigned ansiCodePage);
  ~ShortcutUrlParser();
  ShortcutUrlParser(const ShortcutUrlParser&) = delete;
  ShortcutUrlParser& operator=(const ShortcutUrlParser&) = delete;

  // `last` says no bytes follow (Finish may still be called).
  void Feed(std::string_view bytes, bool last = false);
  // True when nothing later in the file can change the URL: the reader may
  // stop reading.
  bool Settled() const;
  // The URL of everything fed; the parser is spent afterwards.
  std::wstring Finish();

 private:
  struct State;
  State* state_;
};

// The URL stored in the bytes of a shortcut file, or empty text when there
// is none. ansiCodePage decodes every file but one with a UTF-16 byte-order
// mark (a UTF-8 mark is ANSI text to Windows too).
std::wstring ParseInternetShortcutUrl(std::string_view bytes, unsigned ansiCodePage);

// When kept bytes stop at the bound, the last line may be cut in the middle:
// keep whole lines only.
std::string_view DropPartialLastLine(std::string_view bytes);

// Reads a whole opened file through `read(dst, max)` (bytes read, 0 at the
// end, negative on failure; a failure sets reading.problem to kUnreadable and
// leaves `error` to the caller) and parses it. sizeHint is the size the file
// reports, 0 when unknown: it sizes the buffer and spares the read that would
// only find the end, so the usual small file costs one read. `buffer` may be
// kept for the next file; it grows to at most kReadPiece bytes. Reading stops
// early only when the URL is settled and no more bytes are wanted.
inline constexpr std::size_t kReadPiece = std::size_t{1} << 20;
template <class ReadFn>
void ReadShortcutStream(ReadFn&& read, unsigned long long sizeHint, unsigned ansiCodePage, bool keepBytes,
                        std::string& buffer, ShortcutReading& reading) {
  // One byte more than reported lets the read that sees the end land in the
  // buffer.
  std::size_t capacity = sizeHint < kReadPiece ? static_cast<std::size_t>(sizeHint) + 1 : kReadPiece;
  if (capacity < 512) capacity = 512;
  if (buffer.size() < capacity) buffer.resize(capacity);
  ShortcutUrlParser parser(ansiCodePage);
  unsigned long long total = 0;
  for (;;) {
    // A file that keeps growing past its reported size gets the full piece.
    if (total >= sizeHint && buffer.size() < kReadPiece && total > 0) buffer.resize(kReadPiece);
    const std::size_t asked = buffer.size();
    const long long got = read(buffer.data(), asked);
    if (got < 0) {
      reading.problem = ShortcutProblem::kUnreadable;
      reading.url.clear();
      return;
    }
    total += static_cast<unsigned long long>(got);
    const std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
    // A short read that ends where the reported size ends is the end: the
    // further read that would return 0 costs a system call per file (a
    // server round trip under Wine).
    const bool end = got == 0 || (static_cast<std::size_t>(got) < asked && sizeHint != 0 && total == sizeHint);
    bool wantBytes = false;
    if (keepBytes) {
      const std::size_t room = kMaxShortcutBytes - reading.bytes.size();
      reading.bytes.append(piece.substr(0, room));
      if (piece.size() > room) reading.bytesCut = true;
      wantBytes = !reading.bytesCut;
    }
    parser.Feed(piece, end);
    if (end) break;
    if (parser.Settled() && !wantBytes) {
      // The rest cannot change the URL; kept bytes stop here too.
      if (keepBytes) reading.bytesCut = true;
      break;
    }
  }
  if (reading.bytesCut) reading.bytes.resize(DropPartialLastLine(reading.bytes).size());
  reading.url = parser.Finish();
}

// Opens the file at `path` (on Windows through its extended-length form, so
// a name like COM1.url is a file, never a device), reads it whole and parses
// it with the system ANSI code page.
ShortcutReading ReadShortcutFile(const std::wstring& path, bool keepBytes = false);

// The URL of ReadShortcutFile; empty text for a file that gave no reading.
std::wstring ReadInternetShortcutUrl(const std::wstring& path);

}  // namespace vorpa
