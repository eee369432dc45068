// Reading the URL of an Internet shortcut file as the Windows INI functions
// read it, without asking the shell (its script object cannot read these
// files under Wine).
#include "list/UrlFileReader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>

#include "common/Text.h"

namespace vorpa {
namespace {

// A value's length wraps at 16 bits in the INI functions: one of 65,536+k
// characters reads back as its first k.
constexpr std::size_t kValueLengthWrap = 65536;

// The INI functions skip vertical tabs as they skip spaces and tabs: before
// a header or a comment mark, inside the brackets, around a value.
inline bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v'; }

// A character of a piece: bytes (ASCII pieces) or decoded text.
inline wchar_t Wide(char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); }
inline wchar_t Wide(wchar_t c) { return c; }

// The names we look for are ASCII, so folding ASCII letters is enough; it
// also keeps the answer independent of the C library's locale.
bool NameIs(std::wstring_view name, std::string_view ascii) {
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

std::wstring CutAtNul(std::wstring s) {
  const std::size_t nul = s.find(L'\0');
  if (nul != std::wstring::npos) s.resize(nul);
  return s;
}

// UTF-7 is seven-bit by definition: a value with other characters was not
// written as UTF-7 and is taken as it stands.
std::wstring DecodeUnicodeValue(std::wstring_view value) {
  std::string ascii;
  ascii.reserve(value.size());
  for (const wchar_t c : value) {
    if (static_cast<unsigned long>(c) >= 0x80) return std::wstring(value);
    ascii.push_back(static_cast<char>(c));
  }
  return CutAtNul(DecodeCodePage(ascii, kCodePageUtf7));
}

// Code pages in which every byte below 0x80 is the ASCII character of that
// value and never part of a longer sequence (every ANSI code page of Windows
// is one). A pure-ASCII piece in one of them is read without decoding.
bool IsAsciiSuperset(unsigned codePage) {
  switch (codePage) {
    case 874: case 932: case 936: case 949: case 950:
    case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
    case 20127: case kCodePageUtf8:
      return true;
    default:
      return false;
  }
}

// Eight bytes at a time: a piece may be a megabyte of a huge file.
bool IsAscii(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  std::uint64_t any = 0;
  for (; n >= 32; p += 32, n -= 32) {
    std::uint64_t w[4];
    std::memcpy(w, p, sizeof w);
    any |= w[0] | w[1] | w[2] | w[3];
  }
  for (; n > 0; ++p, --n) any |= static_cast<unsigned char>(*p);
  return (any & 0x8080808080808080ull) == 0;
}

// Past this many bytes without a cut that every decoder agrees on, the
// double-byte rule alone decides (see CompleteAnsiCharacters).
constexpr std::size_t kMaxUncut = std::size_t{4} << 20;

// The length of the longest prefix of `bytes` (which starts on a character)
// that ends on a character boundary, so that decoding the prefix and the
// rest apart gives the text of decoding them together.
std::size_t CompleteAnsiCharacters(std::string_view bytes, unsigned codePage) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950: {
      // Two ASCII bytes in a row end a character in any decoding of these
      // pages: neither can be a lead byte, so the first ends a character
      // (alone or as a trail) and the second stands alone.
      std::size_t i = bytes.size();
      while (i >= 2 && (byte(i - 1) >= 0x80 || byte(i - 2) >= 0x80)) --i;
      if (i >= 2) return i;
      if (bytes.size() < kMaxUncut) return 0;
      // Megabytes without such a pair: Windows' rule, a lead byte takes the
      // next byte, whatever it is, as its trail.
      const auto isLead = [codePage](unsigned char b) {
        return codePage == 932 ? (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) : (b >= 0x81 && b <= 0xFE);
      };
      i = 0;
      while (i < bytes.size()) {
        if (!isLead(byte(i))) {
          ++i;
        } else if (i + 1 < bytes.size()) {
          i += 2;
        } else {
          break;
        }
      }
      return i;
    }
    case kCodePageUtf8:
      for (std::size_t k = 1; k <= 4 && k <= bytes.size(); ++k) {
        const unsigned char b = byte(bytes.size() - k);
        if ((b & 0xC0) == 0x80) continue;
        const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return k < need ? bytes.size() - k : bytes.size();
      }
      return bytes.size();
    default:
      return bytes.size();
  }
}

}  // namespace

// The INI rules as a machine that takes one character at a time, so that a
// line may span pieces and no line is ever held whole: of a header only its
// first characters are kept, of a key only enough to know whether it is URL,
// and of the URL value the characters a reading can return.
struct ShortcutUrlParser::State {
  enum class Section { kOther, kAnsi, kUnicode };
  enum class Line { kStart, kSkip, kHeader, kKey, kValue };
  enum class Encoding { kUnknown, kAnsi, kUtf16 };

  // Text after its leading blanks: its full length, the blanks at its end,
  // and its first `cap` characters.
  struct Token {
    std::wstring kept;
    std::size_t cap = 0;
    std::size_t length = 0;
    std::size_t trailingBlanks = 0;
    wchar_t lastNonBlank = 0;
    bool started = false;
    void Reset(std::size_t newCap) {
      kept.clear();
      cap = newCap;
      length = trailingBlanks = 0;
      lastNonBlank = 0;
      started = false;
    }
    void Add(wchar_t c) {
      if (!started) {
        if (IsBlank(c)) return;
        started = true;
      }
      ++length;
      if (IsBlank(c)) {
        ++trailingBlanks;
      } else {
        trailingBlanks = 0;
        lastNonBlank = c;
      }
      if (kept.size() < cap) kept.push_back(c);
    }
    // What Add does for each character of a run, in one go: a URL line is
    // most of a shortcut, and its characters need no look one at a time.
    template <class Char>
    void AddRun(const Char* p, std::size_t n) {
      std::size_t k = 0;
      if (!started) {
        while (k < n && IsBlank(Wide(p[k]))) ++k;
        if (k == n) return;
        started = true;
      }
      length += n - k;
      std::size_t end = n;
      while (end > k && IsBlank(Wide(p[end - 1]))) --end;
      if (end == k) {
        trailingBlanks += n - k;
      } else {
        trailingBlanks = n - end;
        lastNonBlank = Wide(p[end - 1]);
      }
      if (kept.size() >= cap) return;
      const std::size_t take = n - k < cap - kept.size() ? n - k : cap - kept.size();
      const std::size_t at = kept.size();
      kept.resize(at + take);
      for (std::size_t j = 0; j < take; ++j) kept[at + j] = Wide(p[k + j]);
    }
    std::size_t Trimmed() const { return length - trailingBlanks; }
    // The trimmed text when all of it was kept, else nothing.
    bool Whole(std::wstring_view& out) const {
      if (Trimmed() > cap) return false;
      out = std::wstring_view(kept).substr(0, Trimmed());
      return true;
    }
  };

  // Room for a header and a usual URL, so the token grows once at most.
  explicit State(unsigned cp) : codePage(cp) { token.kept.reserve(64); }

  unsigned codePage;
  Encoding encoding = Encoding::kUnknown;
  std::string pending;  // bytes of a character the next piece completes
  Section section = Section::kOther;
  Line line = Line::kStart;
  Token token;
  bool seenAnsi = false, seenUnicode = false;
  bool haveAnsi = false, haveUnicode = false;
  std::wstring ansi, unicodeUrl;  // unicodeUrl decoded from UTF-7

  bool Settled() const {
    if (haveUnicode && !unicodeUrl.empty()) return true;
    const bool ansiSettled = haveAnsi || (seenAnsi && section != Section::kAnsi);
    const bool unicodeSettled = haveUnicode || (seenUnicode && section != Section::kUnicode);
    return ansiSettled && unicodeSettled;
  }

  void EndHeader() {
    std::wstring_view name;
    const bool whole = token.Whole(name);
    if (whole && NameIs(name, "InternetShortcut")) {
      section = seenAnsi ? Section::kOther : Section::kAnsi;
      seenAnsi = true;
    } else if (whole && NameIs(name, "InternetShortcut.W")) {
      section = seenUnicode ? Section::kOther : Section::kUnicode;
      seenUnicode = true;
    } else {
      section = Section::kOther;
    }
  }

  // One matching pair of quotes around the trimmed value goes; then the
  // length wraps.
  void EndValue() {
    std::size_t begin = 0;
    std::size_t length = token.Trimmed();
    if (length >= 2 && !token.kept.empty() && (token.kept[0] == L'"' || token.kept[0] == L'\'') &&
        token.lastNonBlank == token.kept[0]) {
      begin = 1;
      length -= 2;
    }
    length %= kValueLengthWrap;
    std::wstring value = token.kept.substr(begin, length);
    if (section == Section::kAnsi) {
      haveAnsi = true;
      ansi = std::move(value);
    } else {
      haveUnicode = true;
      unicodeUrl = value.empty() ? std::wstring() : DecodeUnicodeValue(value);
    }
    // Only the first URL key of the section counts.
    section = Section::kOther;
  }

  void EndLine() {
    if (line == Line::kHeader) EndHeader();
    if (line == Line::kValue) EndValue();
  }

  static const char* FindLineEnd(const char* p, std::size_t n) {
    const void* lf = std::memchr(p, '\n', n);
    const std::size_t upTo = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - p) : n;
    const void* cr = std::memchr(p, '\r', upTo);
    return static_cast<const char*>(cr ? cr : lf);
  }
  static const wchar_t* FindLineEnd(const wchar_t* p, std::size_t n) {
    const wchar_t* lf = std::wmemchr(p, L'\n', n);
    const wchar_t* cr = std::wmemchr(p, L'\r', lf ? static_cast<std::size_t>(lf - p) : n);
    return cr ? cr : lf;
  }

  template <class Char>
  void Scan(const Char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
      if (line == Line::kSkip) {
        // The rest of a line that cannot matter: straight to its end.
        const Char* end = FindLineEnd(p + i, n - i);
        if (!end) return;
        i = static_cast<std::size_t>(end - p) + 1;
        line = Line::kStart;
        continue;
      }
      if (line == Line::kHeader || line == Line::kKey || line == Line::kValue) {
        // Up to the character that ends the token (']', '=', a line end or
        // a NUL), all of it is the token's.
        const wchar_t stop = line == Line::kHeader ? L']' : line == Line::kKey ? L'=' : L'\n';
        std::size_t j = i;
        while (j < n) {
          const wchar_t d = Wide(p[j]);
          if (d == stop || d == L'\r' || d == L'\n' || d == L'\0') break;
          ++j;
        }
        token.AddRun(p + i, j - i);
        i = j;
        if (i == n) return;
      }
      const wchar_t c = Wide(p[i]);
      ++i;
      if (c == L'\r' || c == L'\n') {
        EndLine();
        line = Line::kStart;
        continue;
      }
      if (c == L'\0') {
        // A NUL ends the line's text: what follows up to the line end is not
        // read, as a C string would not be, and no NUL reaches a URL.
        EndLine();
        line = Line::kSkip;
        continue;
      }
      switch (line) {
        case Line::kStart:
          if (IsBlank(c)) break;
          if (c == L'[') {
            // The name ends at the first ']' or, without one, at the line
            // end: a header missing its bracket still opens a section (and
            // ends the one before), as it does for Explorer.
            line = Line::kHeader;
            token.Reset(24);
          } else if (c == L';' || section == Section::kOther) {
            line = Line::kSkip;
          } else {
            line = Line::kKey;
            token.Reset(4);
            token.Add(c);
          }
          break;
        case Line::kHeader:
          if (c == L']') {
            EndHeader();
            line = Line::kSkip;  // text after ']' is ignored
          } else {
            token.Add(c);
          }
          break;
        case Line::kKey:
          if (c == L'=') {
            std::wstring_view key;
            if (token.Whole(key) && NameIs(key, "URL")) {
              line = Line::kValue;
              // The kept characters: the longest value after the wrap, and
              // its opening quote.
              token.Reset(kValueLengthWrap + 1);
            } else {
              line = Line::kSkip;
            }
          } else {
            token.Add(c);
          }
          break;
        case Line::kValue:
          token.Add(c);
          break;
        case Line::kSkip:
          break;
      }
    }
  }

  void Decode(std::string_view bytes) {
    if (bytes.empty()) return;
    if (encoding == Encoding::kUtf16) {
      const std::wstring text = DecodeUtf16Le(bytes);
      Scan(text.data(), text.size());
    } else if (IsAsciiSuperset(codePage) && IsAscii(bytes)) {
      Scan(bytes.data(), bytes.size());
    } else {
      // Decoding comes first: in Shift_JIS a second byte may be 0x5B, 0x5C
      // or 0x5D, which would otherwise be taken for '[', '\' or ']'.
      const std::wstring text = DecodeCodePage(bytes, codePage);
      Scan(text.data(), text.size());
    }
  }

  std::size_t CompleteCharacters(std::string_view bytes) const {
    if (encoding != Encoding::kUtf16) return CompleteAnsiCharacters(bytes, codePage);
    // Whole code units, and a pair of surrogates never split.
    std::size_t n = bytes.size() & ~std::size_t{1};
    if (n >= 2) {
      const unsigned unit = static_cast<unsigned char>(bytes[n - 2]) | (unsigned{static_cast<unsigned char>(bytes[n - 1])} << 8);
      if (unit >= 0xD800 && unit <= 0xDBFF) n -= 2;
    }
    return n;
  }

  void Feed(std::string_view bytes, bool last) {
    if (Settled()) return;
    std::string joined;
    if (!pending.empty()) {
      joined = std::move(pending);
      pending.clear();
      joined.append(bytes);
      bytes = joined;
    }
    if (encoding == Encoding::kUnknown) {
      if (bytes.size() < 2 && !last) {
        std::string rest(bytes);
        pending.swap(rest);
        return;
      }
      // Windows knows no UTF-8 mark: such a file is ANSI text whose first
      // line starts with three odd characters, so a header there opens no
      // section. Reading it as UTF-8 would show a URL Explorer never opens.
      if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
          static_cast<unsigned char>(bytes[1]) == 0xFE) {
        encoding = Encoding::kUtf16;
        bytes.remove_prefix(2);
      } else {
        encoding = Encoding::kAnsi;
      }
    }
    const std::size_t complete = last ? bytes.size() : CompleteCharacters(bytes);
    Decode(bytes.substr(0, complete));
    std::string rest(bytes.substr(complete));
    pending.swap(rest);
  }

  std::wstring Finish() {
    if (!pending.empty()) {
      Decode(pending);
      pending.clear();
    }
    EndLine();
    line = Line::kStart;
    if (haveUnicode && !unicodeUrl.empty()) return std::move(unicodeUrl);
    if (haveAnsi) return std::move(ansi);
    return {};
  }
};

ShortcutUrlParser::ShortcutUrlParser(unsigned ansiCodePage) : state_(new State(ansiCodePage)) {}
ShortcutUrlParser::~ShortcutUrlParser() { delete state_; }
void ShortcutUrlParser::Feed(std::string_view bytes, bool last) { state_->Feed(bytes, last); }
bool ShortcutUrlParser::Settled() const { return state_->Settled(); }
std::wstring ShortcutUrlParser::Finish() { return state_->Finish(); }

std::wstring ParseInternetShortcutUrl(std::string_view bytes, unsigned ansiCodePage) {
  ShortcutUrlParser parser(ansiCodePage);
  parser.Feed(bytes, true);
  return parser.Finish();
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

std::wstring ReadInternetShortcutUrl(const std::wstring& path) { return ReadShortcutFile(path).url; }

}  // namespace vorpa
