// Fuzzes the two outputs with arbitrary list texts. The input is UTF-16 LE;
// U+0001 separates fields, the first three being the captions. The streamed
// CSV must equal the plain conversion of the whole text, and the workbook
// must always be made, as a ZIP whose every entry inflates to its size and
// CRC and is well-formed XML.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "output/CsvText.h"
#include "output/SheetExport.h"
#include "output/XlsxWriter.h"

#include <zlib.h>

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

uint32_t Get16(const std::string& s, size_t at) {
  Require(at + 2 <= s.size());
  return static_cast<uint32_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | Get16(s, at + 2) << 16; }

// The entries of a ZIP file as BuildZip writes it: deflated, sizes and CRC
// in the local headers.
std::vector<vorpa::ZipEntry> Unzip(const std::string& zip) {
  std::vector<vorpa::ZipEntry> entries;
  size_t at = 0;
  while (Get32(zip, at) == 0x04034b50) {
    Require(Get16(zip, at + 8) == 8);
    const uint32_t crc = Get32(zip, at + 14), packed = Get32(zip, at + 18), size = Get32(zip, at + 22);
    const uint32_t nameLength = Get16(zip, at + 26), extra = Get16(zip, at + 28);
    const size_t data = at + 30 + nameLength + extra;
    Require(data + packed <= zip.size());
    vorpa::ZipEntry e{zip.substr(at + 30, nameLength), std::string(size, '\0')};
    z_stream z{};
    Require(inflateInit2(&z, -MAX_WBITS) == Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
    z.avail_in = packed;
    z.next_out = reinterpret_cast<Bytef*>(e.data.data());
    z.avail_out = size;
    const int r = inflate(&z, Z_FINISH);
    const uLong out = z.total_out;
    inflateEnd(&z);
    Require(r == Z_STREAM_END && out == size);
    Require(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(e.data.data()), size) == crc);
    entries.push_back(std::move(e));
    at = data + packed;
  }
  Require(Get32(zip, at) == 0x02014b50);
  return entries;
}

// A small well-formedness check of XML 1.0 as the parts use it: UTF-8 of
// XML characters only, one root element, matching tags, quoted attributes
// without '<' and without a name twice, and only the five named or numeric
// references.
class XmlChecker {
 public:
  explicit XmlChecker(const std::string& text) : s_(text) {}

  void Check() {
    CheckCharacters();
    if (s_.compare(0, 5, "<?xml") == 0) {
      const size_t end = s_.find("?>");
      Require(end != std::string::npos);
      i_ = end + 2;
    }
    SkipBlanks();
    Element();
    SkipBlanks();
    Require(i_ == s_.size());
  }

 private:
  void CheckCharacters() const {
    for (size_t i = 0; i < s_.size();) {
      const unsigned char c = static_cast<unsigned char>(s_[i]);
      uint32_t cp = c;
      size_t n = 1;
      if (c >= 0x80) {
        n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        Require(c >= 0xC2 && c <= 0xF4 && i + n <= s_.size());
        cp = c & (0x3F >> (n - 1));
        for (size_t k = 1; k < n; ++k) {
          const unsigned char t = static_cast<unsigned char>(s_[i + k]);
          Require((t & 0xC0) == 0x80);
          cp = cp << 6 | (t & 0x3F);
        }
        Require(cp >= (n == 2 ? 0x80u : n == 3 ? 0x800u : 0x10000u));
      }
      Require(IsXmlChar(cp));
      i += n;
    }
  }
  static bool IsXmlChar(uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
  }
  static bool IsNameChar(char c, bool first) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80 ||
           (!first && ((u >= '0' && u <= '9') || u == '-' || u == '.'));
  }
  void SkipBlanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
  }
  std::string Name() {
    const size_t start = i_;
    Require(i_ < s_.size() && IsNameChar(s_[i_], true));
    while (i_ < s_.size() && IsNameChar(s_[i_], false)) ++i_;
    return s_.substr(start, i_ - start);
  }
  void Reference() {
    const size_t end = s_.find(';', i_);
    Require(end != std::string::npos);
    const std::string ref = s_.substr(i_ + 1, end - i_ - 1);
    if (ref.size() > 1 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      const std::string digits = ref.substr(hex ? 2 : 1);
      Require(!digits.empty() && digits.size() <= 8 &&
              digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos);
      Require(IsXmlChar(static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10))));
    } else {
      Require(ref == "amp" || ref == "lt" || ref == "gt" || ref == "quot" || ref == "apos");
    }
    i_ = end + 1;
  }
  void Element() {
    Require(i_ < s_.size() && s_[i_] == '<');
    ++i_;
    const std::string name = Name();
    std::vector<std::string> attributes;
    for (;;) {
      const size_t before = i_;
      SkipBlanks();
      Require(i_ < s_.size());
      if (s_[i_] == '/') {
        Require(s_.compare(i_, 2, "/>") == 0);
        i_ += 2;
        return;
      }
      if (s_[i_] == '>') {
        ++i_;
        break;
      }
      Require(i_ > before);  // attributes are separated by blanks
      const std::string attribute = Name();
      for (const std::string& a : attributes) Require(a != attribute);
      attributes.push_back(attribute);
      SkipBlanks();
      Require(i_ < s_.size() && s_[i_] == '=');
      ++i_;
      SkipBlanks();
      Require(i_ < s_.size() && (s_[i_] == '"' || s_[i_] == '\''));
      const char quote = s_[i_++];
      while (i_ < s_.size() && s_[i_] != quote) {
        Require(s_[i_] != '<');
        if (s_[i_] == '&') {
          Reference();
        } else {
          ++i_;
        }
      }
      Require(i_ < s_.size());
      ++i_;
    }
    // Content up to the matching end tag.
    for (;;) {
      Require(i_ < s_.size());
      if (s_.compare(i_, 2, "</") == 0) {
        i_ += 2;
        Require(Name() == name);
        SkipBlanks();
        Require(i_ < s_.size() && s_[i_] == '>');
        ++i_;
        return;
      }
      if (s_[i_] == '<') {
        Element();
      } else if (s_[i_] == '&') {
        Reference();
      } else {
        Require(s_.compare(i_, 3, "]]>") != 0);
        ++i_;
      }
    }
  }

  const std::string& s_;
  size_t i_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text = vorpa::DecodeUtf16Le(std::string_view(reinterpret_cast<const char*>(data), size));
  // Lone surrogates have no UTF-8 form; the two conversions replace them
  // differently here (the platform's UTF-8 gives '?', ours U+FFFD).
  for (wchar_t& c : text)
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;

  std::vector<std::wstring> fields(1);
  for (const wchar_t c : text) {
    if (c == 1) {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  fields.resize(3 + (fields.size() < 3 ? 0 : (fields.size() - 3 + 2) / 3 * 3));
  const vorpa::ColumnCaptions captions{fields[0], fields[1], fields[2]};
  std::vector<vorpa::UrlEntry> rows;
  for (size_t i = 3; i + 2 < fields.size(); i += 3) rows.push_back({fields[i], fields[i + 1], fields[i + 2]});

  const std::string streamed = vorpa::BuildCsvFile(captions, rows, vorpa::kCodePageShiftJis);
  Require(streamed == vorpa::EncodeCsvFile(vorpa::BuildCsvText(captions, rows), vorpa::kCodePageShiftJis));
  Require(streamed.size() >= 2 && streamed.compare(streamed.size() - 2, 2, "\r\n") == 0);

  vorpa::XlsxSheet sheet;
  vorpa::FillSheet(sheet, captions, rows, vorpa::kCodePageShiftJis);
  const std::string book = sheet.Build();
  Require(book.size() > 4 && book.compare(0, 4, "PK\x03\x04", 4) == 0);
  bool hasSheet = false;
  for (const vorpa::ZipEntry& e : Unzip(book)) {
    XmlChecker(e.data).Check();
    hasSheet = hasSheet || e.name == "xl/worksheets/sheet1.xml";
    // Link targets go into the file percent-encoded: plain ASCII, no blanks.
    if (e.name == "xl/worksheets/_rels/sheet1.xml.rels") {
      for (size_t t = e.data.find("Target=\""); t != std::string::npos; t = e.data.find("Target=\"", t + 1)) {
        for (size_t k = t + 8; k < e.data.size() && e.data[k] != '"'; ++k)
          Require(e.data[k] > ' ' && static_cast<unsigned char>(e.data[k]) < 0x7F);
      }
    }
  }
  Require(hasSheet);
  return 0;
}
