// Fuzzes the shortcut parser. The first byte picks the ANSI code page; the
// rest is the file. Besides crashes and sanitizer reports, it checks what
// every caller relies on and two ways of changing a file that must not change
// its URL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/Text.h"
#include "list/UrlFileReader.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

bool HasUtf16Mark(std::string_view b) {
  return b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xFE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned codePage = (data[0] & 1) ? vorpa::kCodePageUtf8 : vorpa::kCodePageShiftJis;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::wstring url = vorpa::ParseInternetShortcutUrl(bytes, codePage);
  // Every character of the URL comes from at least one byte of the file, and
  // no NUL reaches callers that pass the URL on as a C string.
  Require(url.size() <= bytes.size());
  // The INI functions read no longer value (longer ones wrap).
  Require(url.size() <= 65535);
  Require(url.find(L'\0') == std::wstring::npos);

  // Fed in pieces (sizes from the file's own bytes), the streaming parser
  // gives what one whole parse gives: no piece boundary, inside a line or a
  // character, changes the reading.
  {
    vorpa::ShortcutUrlParser parser(codePage);
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
      const std::size_t piece = 1 + static_cast<unsigned char>(bytes[i % bytes.size()]) % 13;
      parser.Feed(bytes.substr(at, piece));
      at += piece;
    }
    Require(parser.Finish() == url);
  }

  if (HasUtf16Mark(bytes)) return 0;  // byte-wise edits below would misalign it
  // A line end in front only moves every line down by one.
  std::string shifted = "\n";
  shifted.append(bytes);
  Require(vorpa::ParseInternetShortcutUrl(shifted, codePage) == url);
  // A later section of the same name never counts, so it cannot change a
  // URL that was found.
  if (!url.empty()) {
    std::string appended(bytes);
    appended += "\r\n[InternetShortcut]\r\nURL=http://later/\r\n";
    Require(vorpa::ParseInternetShortcutUrl(appended, codePage) == url);
  }
  return 0;
}
