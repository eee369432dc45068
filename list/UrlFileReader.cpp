// Reading the URL of an Internet shortcut file as the Windows INI functions
// read it, without asking the shell (its script object cannot read these
// files under Wine).
#include "list/UrlFileReader.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "common/Text.h"

namespace vorpa {
namespace {

constexpr std::string_view kSection = "InternetShortcut";
constexpr std::string_view kUnicodeSection = "InternetShortcut.W";
constexpr std::string_view kUrlKey = "URL";

// The longest value the INI functions read back; from 65,536 characters on
// they give nothing (the length wraps at 16 bits). Capping here also bounds
// what one row holds.
constexpr std::size_t kMaxValueLength = 65535;

// The INI functions skip vertical tabs as they skip spaces and tabs: before
// a header or a comment mark, inside the brackets, around a value.
template <class Char>
bool IsBlank(Char c) {
  return c == Char(' ') || c == Char('\t') || c == Char('\v');
}

template <class Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The names we look for are ASCII, so folding ASCII letters is enough; it
// also keeps the answer independent of the C library's locale.
template <class Char>
bool NameIs(std::basic_string_view<Char> name, std::string_view ascii) {
  if (name.size() != ascii.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned long>(name[i]);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    auto a = static_cast<unsigned long>(static_cast<unsigned char>(ascii[i]));
    if (a >= 'a' && a <= 'z') a -= 'a' - 'A';
    if (c != a) return false;
  }
  return true;
}

template <class Char>
std::basic_string_view<Char> Unquote(std::basic_string_view<Char> v) {
  if (v.size() >= 2 && (v.front() == Char('"') || v.front() == Char('\'')) && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

template <class Char>
struct Found {
  bool hasAnsi = false;
  bool hasUnicode = false;
  std::basic_string_view<Char> ansi;
  std::basic_string_view<Char> unicode;
};

// One pass over the text. Only the first section of each name counts, and in
// it only the first URL key; once both are known the rest is not looked at.
template <class Char>
Found<Char> FindUrlValues(std::basic_string_view<Char> text) {
  enum class In { Other, Ansi, Unicode };
  Found<Char> found;
  bool seenAnsi = false;
  bool seenUnicode = false;
  In in = In::Other;
  std::size_t pos = 0;
  const std::size_t n = text.size();
  while (pos < n && !(found.hasAnsi && found.hasUnicode)) {
    std::size_t end = pos;
    std::size_t nul = std::basic_string_view<Char>::npos;
    while (end < n && text[end] != Char('\r') && text[end] != Char('\n')) {
      if (text[end] == Char('\0') && nul == std::basic_string_view<Char>::npos) nul = end;
      ++end;
    }
    // A NUL ends the line's text: whatever follows it up to the line end is
    // not read, as a C string would not be, and no NUL reaches a URL.
    std::basic_string_view<Char> line = text.substr(pos, (nul < end ? nul : end) - pos);
    pos = end + 1;  // CR LF leaves an empty line behind, which is skipped
    line = Trim(line);
    if (line.empty() || line.front() == Char(';')) continue;
    if (line.front() == Char('[')) {
      // The name ends at the first ']' or, without one, at the line end: a
      // header missing its bracket still opens a section (and ends the one
      // before), as it does for Explorer.
      const std::size_t close = line.find(Char(']'));
      const auto name = Trim(line.substr(1, close == std::basic_string_view<Char>::npos ? close : close - 1));
      if (NameIs(name, kSection)) {
        in = seenAnsi ? In::Other : In::Ansi;
        seenAnsi = true;
      } else if (NameIs(name, kUnicodeSection)) {
        in = seenUnicode ? In::Other : In::Unicode;
        seenUnicode = true;
      } else {
        in = In::Other;
      }
      continue;
    }
    if (in == In::Other) continue;
    const std::size_t eq = line.find(Char('='));
    if (eq == std::basic_string_view<Char>::npos || !NameIs(Trim(line.substr(0, eq)), kUrlKey)) continue;
    auto value = Unquote(Trim(line.substr(eq + 1)));
    if (value.size() > kMaxValueLength) value = {};
    if (in == In::Ansi) {
      found.hasAnsi = true;
      found.ansi = value;
    } else {
      found.hasUnicode = true;
      found.unicode = value;
    }
    in = In::Other;
  }
  return found;
}

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }
std::wstring Widen(std::wstring_view text) { return std::wstring(text); }

std::wstring CutAtNul(std::wstring s) {
  const std::size_t nul = s.find(L'\0');
  if (nul != std::wstring::npos) s.resize(nul);
  return s;
}

// UTF-7 is seven-bit by definition: a value with other characters was not
// written as UTF-7 and is taken as it stands.
std::wstring DecodeUnicodeValue(std::string_view ascii) { return CutAtNul(DecodeCodePage(ascii, kCodePageUtf7)); }
std::wstring DecodeUnicodeValue(std::wstring_view value) {
  std::string ascii;
  ascii.reserve(value.size());
  for (const wchar_t c : value) {
    if (static_cast<unsigned long>(c) >= 0x80) return std::wstring(value);
    ascii.push_back(static_cast<char>(c));
  }
  return DecodeUnicodeValue(std::string_view(ascii));
}

template <class Char>
std::wstring Pick(std::basic_string_view<Char> text) {
  const Found<Char> found = FindUrlValues(text);
  if (found.hasUnicode && !found.unicode.empty()) {
    std::wstring url = DecodeUnicodeValue(found.unicode);
    if (!url.empty()) return url;
  }
  if (found.hasAnsi) return Widen(found.ansi);
  return {};
}

// Code pages in which every byte below 0x80 is the ASCII character of that
// value and never part of a longer sequence (every ANSI code page of Windows
// is one). A pure-ASCII file in one of them can be read without decoding.
bool IsAsciiSuperset(unsigned codePage) {
  switch (codePage) {
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
    case 20127:
    case kCodePageUtf8:
      return true;
    default:
      return false;
  }
}

bool IsAscii(std::string_view bytes) {
  unsigned char any = 0;
  for (const char c : bytes) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

std::wstring ParseDecoded(std::string_view bytes, unsigned codePage) {
  if (IsAsciiSuperset(codePage) && IsAscii(bytes)) return Pick(bytes);
  // Decoding comes first: in Shift_JIS a second byte may be 0x5B, 0x5C or
  // 0x5D, which would otherwise be taken for '[', '\' or ']'.
  const std::wstring text = DecodeCodePage(bytes, codePage);
  return Pick(std::wstring_view(text));
}

}  // namespace

std::wstring ParseInternetShortcutUrl(std::string_view bytes, unsigned ansiCodePage) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    const std::wstring text = DecodeUtf16Le(bytes.substr(2));
    return Pick(std::wstring_view(text));
  }
  // Windows knows no UTF-8 mark: such a file is ANSI text whose first line
  // starts with three odd characters, so a header there opens no section.
  // Reading it as UTF-8 would show a URL that Explorer never opens.
  return ParseDecoded(bytes, ansiCodePage);
}

std::string_view DropPartialLastLine(std::string_view bytes) {
  const bool utf16 =
      bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (utf16) {
    // Line ends are whole code units at even offsets after the mark.
    for (std::size_t i = (bytes.size() - 2) / 2; i > 0; --i) {
      const std::size_t at = 2 * i;
      if ((bytes[at] == '\n' || bytes[at] == '\r') && bytes[at + 1] == '\0') return bytes.substr(0, at + 2);
    }
    return bytes.substr(0, 2);
  }
  // Neither CR nor LF is ever the second byte of a double-byte character.
  const std::size_t last = bytes.find_last_of("\r\n");
  return last == std::string_view::npos ? std::string_view() : bytes.substr(0, last + 1);
}

}  // namespace vorpa
