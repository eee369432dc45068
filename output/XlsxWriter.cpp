#include "output/XlsxWriter.h"

#include "common/Text.h"
#include "common/WebAddress.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vorpa {
namespace {

// ---------------------------------------------------------------------------
// Text into XML

// wchar_t is UTF-16 on Windows and UTF-32 elsewhere; both come out as code
// points here, a lone surrogate as itself so that it can be escaped.
template <typename F>
void ForEachCodePoint(std::wstring_view text, F&& f) {
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t cp = CodePointAt(text, i);
    f(cp, i);
  }
}

bool IsXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool IsXmlSafe(std::wstring_view text) {
  bool ok = true;
  ForEachCodePoint(text, [&](uint32_t cp, size_t) { ok = ok && IsXmlChar(cp); });
  return ok;
}

void AppendHexEscape(std::string& out, uint32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "_x%04X_", static_cast<unsigned>(cp & 0xFFFF));
  out.append(buf);
}

bool IsHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

// A literal "_xHHHH_" in a cell would read back as the escaped character.
bool StartsEscapeLookalike(std::wstring_view text, size_t i) {
  return i + 6 < text.size() && text[i + 1] == L'x' && IsHex(text[i + 2]) && IsHex(text[i + 3]) && IsHex(text[i + 4]) &&
         IsHex(text[i + 5]) && text[i + 6] == L'_';
}

// The reference a character needs in XML text, or null. CR always takes one,
// because a parser would otherwise fold CR LF into LF; in an attribute the
// quote and the other blanks do too, or they would be normalised to spaces.
const char* XmlReference(uint32_t cp, bool attribute) {
  switch (cp) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '\r': return "&#13;";
    case '"': return attribute ? "&quot;" : nullptr;
    case '\t': return attribute ? "&#9;" : nullptr;
    case '\n': return attribute ? "&#10;" : nullptr;
    default: return nullptr;
  }
}

// Cell text: characters that XML cannot carry take the spreadsheet's own
// "_xHHHH_" escape, and a literal look-alike of that escape is escaped itself.
void AppendCellText(std::string& out, std::wstring_view text) {
  ForEachCodePoint(text, [&](uint32_t cp, size_t i) {
    if (cp > 0x10FFFF) cp = 0xFFFD;
    if (!IsXmlChar(cp)) return AppendHexEscape(out, cp);
    if (const char* ref = XmlReference(cp, false)) return static_cast<void>(out.append(ref));
    if (cp == '_' && StartsEscapeLookalike(text, i)) return static_cast<void>(out.append("_x005F_"));
    AppendUtf8(out, static_cast<char32_t>(cp));
  });
}

std::string CellRef(long row, int column) {
  std::string letters;
  for (int c = column; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row);
}

std::string FormatWidth(double width) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", width);
  return buf;
}

// ---------------------------------------------------------------------------
// Fixed parts of the package

constexpr char kXmlDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kPkgRelNs[] = "http://schemas.openxmlformats.org/package/2006/relationships";

std::string ContentTypesXml() {
  return std::string(kXmlDecl) +
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
         "<Override PartName=\"/xl/styles.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
         "</Types>";
}

std::string RootRelsXml() {
  return std::string(kXmlDecl) + "<Relationships xmlns=\"" + kPkgRelNs + "\">" + "<Relationship Id=\"rId1\" Type=\"" +
         kRelNs + "/officeDocument\" Target=\"xl/workbook.xml\"/>" + "</Relationships>";
}

std::string WorkbookXml() {
  return std::string(kXmlDecl) + "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs + "\">" +
         "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
}

std::string WorkbookRelsXml() {
  return std::string(kXmlDecl) + "<Relationships xmlns=\"" + kPkgRelNs + "\">" + "<Relationship Id=\"rId1\" Type=\"" +
         kRelNs + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>" + "<Relationship Id=\"rId2\" Type=\"" + kRelNs +
         "/styles\" Target=\"styles.xml\"/>" + "</Relationships>";
}

// Style 1 is the look of a followed-link cell: underlined, in link blue.
std::string StylesXml() {
  return std::string(kXmlDecl) + "<styleSheet xmlns=\"" + kMainNs + "\">" +
         "<fonts count=\"2\">"
         "<font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
         "<font><u/><sz val=\"11\"/><color rgb=\"FF0563C1\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
         "</fonts>"
         "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
         "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
         "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
         "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
         "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
         "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
         "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
         "</styleSheet>";
}

// ---------------------------------------------------------------------------
// ZIP

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

constexpr uint64_t kZip32Limit = 0xFFFFFFFFu;
// 1 January 1980, the earliest time a ZIP entry can carry: the file's bytes
// then depend on nothing but its content.
constexpr uint32_t kDosDate = (0 << 9) | (1 << 5) | 1;

bool Deflate(const std::string& in, std::string& out) {
  if (in.size() >= kZip32Limit) return false;
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return r == Z_STREAM_END;
}

bool IsUrlSafe(uint32_t cp) {
  if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9')) return true;
  return cp < 0x80 && cp != 0 && std::string_view("-._~:/?#[]@!$&'()*+,;=").find(static_cast<char>(cp)) != std::string_view::npos;
}

}  // namespace

bool PercentEncodeUrl(std::wstring_view url, std::string& out) {
  static const char digits[] = "0123456789ABCDEF";
  out.clear();
  out.reserve(url.size());
  for (size_t i = 0; i < url.size(); ++i) {
    const uint32_t cp = CodePointAt(url, i);
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    if (IsUrlSafe(cp) || (cp == '%' && i + 2 < url.size() && IsHex(url[i + 1]) && IsHex(url[i + 2]))) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    std::string bytes;
    AppendUtf8(bytes, static_cast<char32_t>(cp));
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      out.push_back('%');
      out.push_back(digits[b >> 4]);
      out.push_back(digits[b & 15]);
    }
  }
  return true;
}

double FileColumnWidth(double shownWidth) {
  if (shownWidth <= 0) return 0;
  const double d = XlsxSheet::kMaxDigitWidth;
  // Office takes no file width above 255.
  return std::min(std::trunc((shownWidth * d + 5) / d * 256) / 256, XlsxSheet::kMaxWidth);
}

std::string BuildZip(const std::vector<ZipEntry>& entries) {
  std::string out;
  std::string central;
  for (const ZipEntry& e : entries) {
    std::string packed;
    if (!Deflate(e.data, packed) || e.name.size() > 0xFFFF) return {};
    const uint32_t crc = static_cast<uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    const uint64_t offset = out.size();
    if (offset + 30 + e.name.size() + packed.size() >= kZip32Limit) return {};

    Put32(out, 0x04034b50);
    Put16(out, 20);  // version needed: deflate
    Put16(out, 0);
    Put16(out, 8);
    Put16(out, 0);
    Put16(out, kDosDate);
    Put32(out, crc);
    Put32(out, static_cast<uint32_t>(packed.size()));
    Put32(out, static_cast<uint32_t>(e.data.size()));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);
    out.append(e.name);
    out.append(packed);

    Put32(central, 0x02014b50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, 0);
    Put16(central, 8);
    Put16(central, 0);
    Put16(central, kDosDate);
    Put32(central, crc);
    Put32(central, static_cast<uint32_t>(packed.size()));
    Put32(central, static_cast<uint32_t>(e.data.size()));
    Put16(central, static_cast<uint32_t>(e.name.size()));
    Put16(central, 0);  // extra
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, 0);  // external attributes
    Put32(central, static_cast<uint32_t>(offset));
    central.append(e.name);
  }
  if (entries.size() > 0xFFFF || out.size() + central.size() + 22 >= kZip32Limit) return {};
  const uint32_t centralOffset = static_cast<uint32_t>(out.size());
  out.append(central);
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, centralOffset);
  Put16(out, 0);
  return out;
}

bool XlsxSheet::InRange(long row, int column) const {
  return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
}

bool XlsxSheet::SetCell(long row, int column, const std::wstring& text) {
  if (!InRange(row, column) || text.size() > kMaxCellChars) return false;
  cells_.push_back({row, column, static_cast<uint32_t>(cells_.size()), text});
  return true;
}

bool XlsxSheet::AddHyperlink(long row, int column, const std::wstring& address) {
  if (!InRange(row, column) || address.empty() || links_.size() >= kMaxLinks || !IsWebAddress(address) ||
      !IsXmlSafe(address))
    return false;
  std::string target;
  if (!PercentEncodeUrl(address, target) || target.size() > kMaxLinkChars) return false;
  links_.push_back({row, column, address, std::move(target)});
  return true;
}

bool XlsxSheet::SetColumnWidth(int column, double width) {
  if (column < 1 || column > kMaxColumns || !std::isfinite(width) || width < 0 || width > kMaxWidth) return false;
  widths_.emplace_back(column, width);
  return true;
}

std::string XlsxSheet::SheetXml(std::vector<const Cell*>& cells, std::vector<const Link*>& links) const {
  const auto key = [](long row, int column) {
    return (static_cast<uint64_t>(row) << 16) | static_cast<uint32_t>(column);
  };

  // Sorted by position, later writes after earlier ones; the last one wins.
  std::sort(cells.begin(), cells.end(), [&](const Cell* a, const Cell* b) {
    const uint64_t ka = key(a->row, a->column), kb = key(b->row, b->column);
    return ka != kb ? ka < kb : a->order < b->order;
  });
  std::stable_sort(links.begin(), links.end(),
                   [&](const Link* a, const Link* b) { return key(a->row, a->column) < key(b->row, b->column); });
  std::vector<const Link*> lastLinks;
  for (size_t i = 0; i < links.size(); ++i)
    if (i + 1 == links.size() || key(links[i]->row, links[i]->column) != key(links[i + 1]->row, links[i + 1]->column))
      lastLinks.push_back(links[i]);
  links.swap(lastLinks);

  size_t estimate = 1024;
  for (const Cell* c : cells) estimate += c->text.size() * 3 + 64;
  for (const Link* l : links) estimate += l->address.size() * 3 + 64;
  std::string out;
  out.reserve(estimate);
  out.append(kXmlDecl)
      .append("<worksheet xmlns=\"")
      .append(kMainNs)
      .append("\" xmlns:r=\"")
      .append(kRelNs)
      .append("\">");

  std::vector<std::pair<int, double>> widths = widths_;
  std::stable_sort(widths.begin(), widths.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  bool colsOpen = false;
  for (size_t i = 0; i < widths.size(); ++i) {
    if (i + 1 < widths.size() && widths[i + 1].first == widths[i].first) continue;
    if (!colsOpen) out.append("<cols>");
    colsOpen = true;
    const std::string n = std::to_string(widths[i].first);
    out.append("<col min=\"" + n + "\" max=\"" + n + "\" width=\"" + FormatWidth(FileColumnWidth(widths[i].second)) +
               "\" customWidth=\"1\"/>");
  }
  if (colsOpen) out.append("</cols>");

  out.append("<sheetData>");
  size_t ci = 0, li = 0;
  long openRow = 0;
  while (ci < cells.size() || li < links.size()) {
    // The next position holding a value or a link.
    uint64_t next = std::numeric_limits<uint64_t>::max();
    if (ci < cells.size()) next = key(cells[ci]->row, cells[ci]->column);
    if (li < links.size()) next = std::min(next, key(links[li]->row, links[li]->column));
    const Cell* cell = nullptr;
    while (ci < cells.size() && key(cells[ci]->row, cells[ci]->column) == next) cell = cells[ci++];
    const Link* link = nullptr;
    if (li < links.size() && key(links[li]->row, links[li]->column) == next) link = links[li++];

    // As in the spreadsheet itself, a link on an empty cell shows its address.
    const std::wstring* text = cell && !cell->text.empty() ? &cell->text : link ? &link->address : nullptr;
    if (!text) continue;
    const long row = static_cast<long>(next >> 16);
    const int column = static_cast<int>(next & 0xFFFF);
    if (row != openRow) {
      if (openRow) out.append("</row>");
      out.append("<row r=\"").append(std::to_string(row)).append("\">");
      openRow = row;
    }
    out.append("<c r=\"").append(CellRef(row, column)).append(link ? "\" s=\"1\"" : "\"");
    out.append(" t=\"inlineStr\"><is><t xml:space=\"preserve\">");
    AppendCellText(out, *text);
    out.append("</t></is></c>");
  }
  if (openRow) out.append("</row>");
  out.append("</sheetData>");

  if (!links.empty()) {
    out.append("<hyperlinks>");
    for (size_t i = 0; i < links.size(); ++i) {
      out.append("<hyperlink ref=\"")
          .append(CellRef(links[i]->row, links[i]->column))
          .append("\" r:id=\"rId")
          .append(std::to_string(i + 1))
          .append("\"/>");
    }
    out.append("</hyperlinks>");
  }
  out.append("</worksheet>");
  return out;
}

std::string XlsxSheet::SheetRelsXml(const std::vector<const Link*>& links) const {
  std::string out(kXmlDecl);
  out.append("<Relationships xmlns=\"").append(kPkgRelNs).append("\">");
  for (size_t i = 0; i < links.size(); ++i) {
    out.append("<Relationship Id=\"rId")
        .append(std::to_string(i + 1))
        .append("\" Type=\"")
        .append(kRelNs)
        .append("/hyperlink\" Target=\"");
    for (const char c : links[i]->target) {
      if (const char* ref = XmlReference(static_cast<unsigned char>(c), true)) {
        out.append(ref);
      } else {
        out.push_back(c);
      }
    }
    out.append("\" TargetMode=\"External\"/>");
  }
  out.append("</Relationships>");
  return out;
}

std::string XlsxSheet::Build() const {
  std::vector<const Cell*> cells;
  cells.reserve(cells_.size());
  for (const Cell& c : cells_) cells.push_back(&c);
  std::vector<const Link*> links;
  links.reserve(links_.size());
  for (const Link& l : links_) links.push_back(&l);

  std::vector<ZipEntry> entries;
  entries.push_back({"[Content_Types].xml", ContentTypesXml()});
  entries.push_back({"_rels/.rels", RootRelsXml()});
  entries.push_back({"xl/workbook.xml", WorkbookXml()});
  entries.push_back({"xl/_rels/workbook.xml.rels", WorkbookRelsXml()});
  entries.push_back({"xl/styles.xml", StylesXml()});
  entries.push_back({"xl/worksheets/sheet1.xml", SheetXml(cells, links)});
  if (!links.empty()) entries.push_back({"xl/worksheets/_rels/sheet1.xml.rels", SheetRelsXml(links)});
  return BuildZip(entries);
}

}  // namespace vorpa
