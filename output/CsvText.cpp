#include "output/CsvText.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "common/Text.h"

namespace vorpa {
namespace {

// A spreadsheet that opens the file takes a field starting with one of these
// for a formula (a leading TAB or CR is dropped first, and the rest then
// evaluated). Such a field gets an apostrophe in front, inside quotes, which
// the spreadsheet shows as text.
bool StartsLikeFormula(std::wstring_view field) {
  if (field.empty()) return false;
  const wchar_t c = field.front();
  return c == L'=' || c == L'+' || c == L'-' || c == L'@' || c == L'\t' || c == L'\r';
}

bool NeedsQuotes(std::wstring_view field) {
  if (StartsLikeFormula(field)) return true;
  for (const wchar_t c : field)
    if (c == L',' || c == L'"' || c == L'\r' || c == L'\n') return true;
  return false;
}

// Upper bound of a field's written length, so the whole text is reserved once.
size_t FieldSize(std::wstring_view field) { return NeedsQuotes(field) ? field.size() * 2 + 3 : field.size(); }

void AppendField(std::wstring& out, std::wstring_view field) {
  if (!NeedsQuotes(field)) {
    out.append(field);
    return;
  }
  out.push_back(L'"');
  if (StartsLikeFormula(field)) out.push_back(L'\'');
  size_t start = 0;
  for (size_t q = field.find(L'"'); q != std::wstring_view::npos; q = field.find(L'"', q + 1)) {
    out.append(field.substr(start, q + 1 - start));
    out.push_back(L'"');
    start = q + 1;
  }
  out.append(field.substr(start));
  out.push_back(L'"');
}

// Visits the fields of the file in order, with a line end after each line.
template <typename Field, typename LineEnd>
void ForEachField(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, Field&& field, LineEnd&& lineEnd) {
  for (const std::wstring& c : captions) {
    field(c);
    lineEnd(L",");
  }
  lineEnd(L"\r\n");
  for (const UrlEntry& r : rows) {
    field(r.text);
    lineEnd(L",");
    field(r.url);
    lineEnd(L",");
    field(r.folder);
    lineEnd(L"\r\n");
  }
}

// Bytes of each UTF-16 unit in the code page, looked up once per distinct
// character: the code page functions cost far more per call than per
// character, and a list uses few distinct characters. ANSI code pages are
// stateless, so a character's bytes do not depend on its neighbours. The
// units that do (surrogates, and on UTF-32 platforms anything beyond the
// BMP) are not looked up: they send the file to UTF-8.
class CodePageTable {
 public:
  explicit CodePageTable(unsigned codePage) : codePage_(codePage), entries_(new Entry[0x10000]()) {}

  // Writes the unit at i; false when it does not fit the code page or needs
  // its neighbours.
  bool Put(std::wstring_view text, size_t& i, char*& out) {
    const uint32_t u = static_cast<uint32_t>(text[i]);
    if (u < 0x80) {
      *out++ = static_cast<char>(u);
      return true;
    }
    if (u > 0xFFFF || (u >= 0xD800 && u <= 0xDFFF)) return false;
    Entry& e = entries_[u];
    if (e.length == kUnknown) Learn(text[i], e);
    if (e.length == kUnusable) return false;
    // Always three bytes, of which the length counts: the room reserved for
    // a unit holds them, and a fixed copy needs no loop.
    std::memcpy(out, e.bytes, 3);
    out += e.length;
    return true;
  }

  // Whether the code page keeps ASCII as it is, which the quotes, commas and
  // line ends written as bytes rely on.
  bool KeepsAscii() const {
    std::wstring all;
    for (wchar_t c = 1; c < 0x80; ++c) all.push_back(c);
    bool lossless = false;
    const std::string bytes = EncodeCodePage(all, codePage_, &lossless);
    if (!lossless || bytes.size() != all.size()) return false;
    for (size_t i = 0; i < bytes.size(); ++i)
      if (static_cast<unsigned char>(bytes[i]) != i + 1) return false;
    return true;
  }

 private:
  static constexpr uint8_t kUnknown = 0;
  static constexpr uint8_t kUnusable = 0xFF;
  struct Entry {
    char bytes[3];
    uint8_t length;  // 1 to 3, or one of the markers above
  };
  void Learn(wchar_t c, Entry& e) {
    bool lossless = false;
    const std::string bytes = EncodeCodePage(std::wstring_view(&c, 1), codePage_, &lossless);
    if (!lossless || bytes.empty() || bytes.size() > 3) {
      e.length = kUnusable;
      return;
    }
    e.length = static_cast<uint8_t>(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) e.bytes[i] = bytes[i];
  }

  unsigned codePage_;
  std::unique_ptr<Entry[]> entries_;
};

// UTF-8 for text that the code page cannot hold. A lone surrogate, which no
// encoding can carry, becomes U+FFFD as the platform's conversion makes it.
class Utf8Encoder {
 public:
  bool Put(std::wstring_view text, size_t& i, char*& out) const {
    uint32_t cp = CodePointAt(text, i);
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
      *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *out++ = static_cast<char>(0xC0 | (cp >> 6));
      *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (cp >> 12));
      *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | (cp >> 18));
      *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return true;
  }
};

// A buffer reused for every piece: the pages it touches stay the same ones
// however long the list is.
class ChunkWriter {
 public:
  static constexpr size_t kSize = 256 * 1024;
  explicit ChunkWriter(const CsvSink& sink) : sink_(sink), buffer_(new char[kSize]), used_(0) {}

  // Room for n more bytes (n at most kSize), or null once the sink refused.
  char* Room(size_t n) {
    if (used_ + n > kSize && !Flush()) return nullptr;
    return ok_ ? buffer_.get() + used_ : nullptr;
  }
  void Commit(char* end) { used_ = static_cast<size_t>(end - buffer_.get()); }
  void Discard() { used_ = 0; }
  bool Flush() {
    if (ok_ && used_ > 0) ok_ = sink_(std::string_view(buffer_.get(), used_));
    used_ = 0;
    return ok_;
  }

 private:
  const CsvSink& sink_;
  std::unique_ptr<char[]> buffer_;
  size_t used_;
  bool ok_ = true;
};

enum class Outcome { kWritten, kSinkRefused, kMisfit };

bool IsAsciiToQuote(uint32_t c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; }

enum class Plain { kWritten, kNeedsQuotes, kMisfit };

// Eight units as eight bytes, when they are all ASCII at or above ','
// (0x2C), which goes in as it is: nothing there is quoted. False, with nothing
// written, otherwise. Tested a 64-bit word at a time, each unit a lane of it;
// a lane below the bound shows as a clear top bit once the bound's distance
// to 0x80 is added (no carry crosses lanes when all are ASCII).
bool PutPlainAsciiBlock(const wchar_t* w, char* out) {
  constexpr unsigned kLaneBits = 8 * sizeof(wchar_t);
  static_assert(kLaneBits == 16 || kLaneBits == 32, "wchar_t is UTF-16 or UTF-32");
  constexpr uint64_t kLanes = kLaneBits == 16 ? 0x0001000100010001u : 0x0000000100000001u;
  constexpr uint64_t kAboveAscii = kLanes * (((uint64_t{1} << kLaneBits) - 1) & ~uint64_t{0x7F});
  constexpr uint64_t kTopBits = kLanes * 0x80;
  constexpr uint64_t kToBound = kLanes * (0x80 - 0x2D);
  // Written out for each width: the compiler does not unroll such loops at
  // the optimisation level used.
  uint64_t x[4] = {};
  std::memcpy(x, w, 8 * sizeof(wchar_t));
  const uint64_t any = x[0] | x[1] | x[2] | x[3];
  const uint64_t low = ~(x[0] + kToBound) | ~(x[1] + kToBound) |
                       (kLaneBits == 32 ? ~(x[2] + kToBound) | ~(x[3] + kToBound) : 0);
  if ((any & kAboveAscii) != 0 || (low & kTopBits) != 0) return false;
  if constexpr (std::endian::native != std::endian::little) {
    for (size_t k = 0; k < 8; ++k) out[k] = static_cast<char>(w[k]);
    return true;
  }
  // Each lane's byte to its place; memory order is the low lanes first.
  uint64_t bytes;
  if constexpr (kLaneBits == 16) {
    const auto four = [](uint64_t v) {
      return (v & 0x7F) | ((v >> 8) & 0x7F00) | ((v >> 16) & 0x7F0000) | ((v >> 24) & 0x7F000000);
    };
    bytes = four(x[0]) | four(x[1]) << 32;
  } else {
    const auto two = [](uint64_t v) { return (v & 0x7F) | ((v >> 24) & 0x7F00); };
    bytes = two(x[0]) | two(x[1]) << 16 | two(x[2]) << 32 | two(x[3]) << 48;
  }
  std::memcpy(out, &bytes, sizeof bytes);
  return true;
}

// A field that needs no quotes, which is nearly every field, converted in one
// pass into room for it all; `out` moves only when the whole field went in.
template <typename Encoder>
Plain PutPlainField(std::wstring_view f, Encoder& encoder, char*& out) {
  const wchar_t* const w = f.data();
  const size_t n = f.size();
  char* p = out;
  size_t i = 0;
  while (i < n) {
    if (i + 8 <= n) {
      if (PutPlainAsciiBlock(w + i, p)) {
        p += 8;
        i += 8;
        continue;
      }
    }
    // Unit by unit up to the next block: text outside ASCII comes in runs.
    for (const size_t end = std::min(n, i + 8); i < end; ++i) {
      const uint32_t c = static_cast<uint32_t>(w[i]);
      if (c < 0x80) {
        if (IsAsciiToQuote(c)) return Plain::kNeedsQuotes;
        *p++ = static_cast<char>(c);
      } else if (!encoder.Put(f, i, p)) {
        return Plain::kMisfit;
      }
    }
  }
  out = p;
  return Plain::kWritten;
}

template <typename Encoder>
Outcome WriteFields(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, Encoder& encoder,
                    ChunkWriter& out) {
  // Each unit gives at most three bytes in UTF-16 (a surrogate pair four for
  // two units), four where wchar_t holds a whole code point; a doubled quote
  // two; a field may gain two quotes and an apostrophe.
  constexpr size_t kPerUnit = sizeof(wchar_t) == 4 ? 4 : 3;
  Outcome outcome = Outcome::kWritten;
  const auto field = [&](std::wstring_view f) {
    if (outcome != Outcome::kWritten) return;
    const bool whole = f.size() <= (ChunkWriter::kSize - 3) / kPerUnit;
    char* p = out.Room(whole ? f.size() * kPerUnit + 3 : 2);
    if (!p) {
      outcome = Outcome::kSinkRefused;
      return;
    }
    if (whole && !StartsLikeFormula(f)) {
      const Plain plain = PutPlainField(f, encoder, p);
      if (plain == Plain::kMisfit) {
        outcome = Outcome::kMisfit;
        return;
      }
      if (plain == Plain::kWritten) {
        out.Commit(p);
        return;
      }
    }
    const bool quoted = NeedsQuotes(f);
    if (quoted) *p++ = '"';
    if (StartsLikeFormula(f)) *p++ = '\'';
    // A field to quote, or one too long for one piece: unit by unit.
    for (size_t i = 0; i < f.size(); ++i) {
      if (!whole) {
        out.Commit(p);
        if (!(p = out.Room(kPerUnit + 2))) {
          outcome = Outcome::kSinkRefused;
          return;
        }
      }
      if (f[i] == L'"') *p++ = '"';
      if (!encoder.Put(f, i, p)) {
        outcome = Outcome::kMisfit;
        return;
      }
    }
    if (!whole) {
      out.Commit(p);
      if (!(p = out.Room(1))) {
        outcome = Outcome::kSinkRefused;
        return;
      }
    }
    if (quoted) *p++ = '"';
    out.Commit(p);
  };
  const auto separator = [&](const wchar_t* text) {
    char* p = outcome == Outcome::kWritten ? out.Room(2) : nullptr;
    if (!p) {
      if (outcome == Outcome::kWritten) outcome = Outcome::kSinkRefused;
      return;
    }
    for (; *text; ++text) *p++ = static_cast<char>(*text);
    out.Commit(p);
  };
  ForEachField(captions, rows, field, separator);
  separator(L"\r\n");
  if (outcome == Outcome::kWritten && !out.Flush()) outcome = Outcome::kSinkRefused;
  return outcome;
}

}  // namespace

std::wstring BuildCsvText(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows) {
  size_t total = 2;
  for (const std::wstring& c : captions) total += FieldSize(c) + 1;
  for (const UrlEntry& r : rows) total += FieldSize(r.text) + FieldSize(r.url) + FieldSize(r.folder) + 4;

  std::wstring out;
  out.reserve(total);
  ForEachField(
      captions, rows, [&](const std::wstring& f) { AppendField(out, f); },
      [&](const wchar_t* end) { out.append(end); });
  return out;
}

std::string EncodeCsvFile(std::wstring_view text, unsigned ansiCodePage) {
  // CR LF is the same two bytes in every ANSI code page and in UTF-8.
  bool lossless = false;
  std::string bytes = EncodeCodePage(text, ansiCodePage, &lossless);
  if (!lossless) {
    std::string utf8 = EncodeCodePage(text, kCodePageUtf8);
    bytes.clear();
    bytes.shrink_to_fit();
    if (utf8.empty() && !text.empty()) return {};
    bytes.reserve(utf8.size() + 5);
    bytes.append("\xEF\xBB\xBF");
    bytes.append(utf8);
  } else if (bytes.empty() && !text.empty()) {
    return {};
  }
  bytes.append("\r\n");
  return bytes;
}

bool WriteCsvFile(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, unsigned ansiCodePage,
                  const CsvSink& sink, const std::function<bool()>& rewind) {
  CodePageTable table(ansiCodePage);
  if (!table.KeepsAscii()) {
    const std::string bytes = EncodeCsvFile(BuildCsvText(captions, rows), ansiCodePage);
    return !bytes.empty() && sink(bytes);
  }
  ChunkWriter out(sink);
  const Outcome inCodePage = WriteFields(captions, rows, table, out);
  if (inCodePage != Outcome::kMisfit) return inCodePage == Outcome::kWritten;

  // A character the code page cannot hold, or one that needs its
  // neighbours: the whole file becomes UTF-8, from its first byte (with the
  // mark, unless UTF-8 is the ANSI code page itself).
  out.Discard();
  if (!rewind()) return false;
  if (ansiCodePage != kCodePageUtf8) {
    char* p = out.Room(3);
    std::memcpy(p, "\xEF\xBB\xBF", 3);
    out.Commit(p + 3);
  }
  Utf8Encoder utf8;
  return WriteFields(captions, rows, utf8, out) == Outcome::kWritten;
}

bool CsvFileStartsOver(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, unsigned ansiCodePage) {
  CodePageTable table(ansiCodePage);
  if (!table.KeepsAscii()) return false;
  // The units WriteFields would give to the table, without the writing.
  bool misfit = false;
  const auto field = [&](std::wstring_view f) {
    const wchar_t* const w = f.data();
    for (size_t i = 0; i < f.size() && !misfit; ++i) {
      // ASCII, eight units at a time.
      while (i + 8 <= f.size()) {
        uint32_t any = 0;
        for (size_t k = 0; k < 8; ++k) any |= static_cast<uint32_t>(w[i + k]);
        if (any >= 0x80) break;
        i += 8;
      }
      if (i == f.size()) break;
      if (static_cast<uint32_t>(w[i]) < 0x80) continue;
      char bytes[4];
      char* p = bytes;
      misfit = !table.Put(f, i, p);
    }
  };
  ForEachField(captions, rows, field, [](const wchar_t*) {});
  return misfit;
}

std::string BuildCsvFile(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, unsigned ansiCodePage) {
  std::string out;
  const bool written = WriteCsvFile(
      captions, rows, ansiCodePage,
      [&](std::string_view piece) {
        out.append(piece);
        return true;
      },
      [&] {
        out.clear();
        return true;
      });
  if (!written) out.clear();
  return out;
}

}  // namespace vorpa
