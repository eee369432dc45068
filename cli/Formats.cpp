#include "cli/Formats.h"

#include <array>
#include <cstdio>
#include <map>
#include <memory>

#include "cli/Check.h"
#include "common/Text.h"
#include "common/WebAddress.h"
#include "output/SheetExport.h"
#include "output/XlsxWriter.h"

namespace vorpa::cli {
namespace {

// Pieces of this size keep the sink's calls few without a second copy of a
// long list in memory.
constexpr size_t kPiece = 256 * 1024;

class Buffered {
 public:
  explicit Buffered(Sink& sink) : sink_(sink) { text_.reserve(kPiece + 4096); }
  std::string& text() { return text_; }
  bool MaybeFlush() { return text_.size() < kPiece || Flush(); }
  bool Flush() {
    const bool ok = sink_.Write(text_);
    text_.clear();
    return ok;
  }

 private:
  Sink& sink_;
  std::string text_;
};

// One field as the window's CSV writer makes a row's field: the writer is
// asked for a row that holds only this field, so its rules apply unchanged.
std::wstring CsvField(const std::wstring& field) {
  const std::wstring text = BuildCsvText({}, {UrlEntry{field, std::wstring(), std::wstring()}});
  // An empty header line ",,,\r\n", then the field and ",,\r\n".
  constexpr size_t kHeader = 5, kRowEnd = 4;
  if (text.size() < kHeader + kRowEnd) return {};
  return text.substr(kHeader, text.size() - kHeader - kRowEnd);
}

void AppendTsvField(std::string& out, const std::wstring& field) {
  // A spreadsheet evaluates a field that starts like a formula; it gets the
  // CSV writer's apostrophe inside quotes.
  const bool formula = !field.empty() && std::wstring_view(L"=+-@\t\r").find(field[0]) != std::wstring_view::npos;
  bool quote = formula;
  for (wchar_t c : field)
    if (c == L'\t' || c == L'"' || c == L'\r' || c == L'\n') quote = true;
  if (!quote) {
    AppendUtf8(out, field);
    return;
  }
  out.push_back('"');
  if (formula) out.push_back('\'');
  for (size_t start = 0;;) {
    const size_t q = field.find(L'"', start);
    AppendUtf8(out, std::wstring_view(field).substr(start, q == std::wstring::npos ? std::wstring::npos : q + 1 - start));
    if (q == std::wstring::npos) break;
    out.push_back('"');
    start = q + 1;
  }
  out.push_back('"');
}

void AppendJsonString(std::string& out, const std::wstring& text) {
  out.push_back('"');
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'"' || c == L'\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (static_cast<unsigned>(c) < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(c));
      out += esc;
    } else {
      // A surrogate pair stays one character; a lone one turns into U+FFFD.
      size_t j = i;
      CodePointAt(text, j);
      AppendUtf8(out, std::wstring_view(text).substr(i, j - i + 1));
      i = j;
    }
  }
  out.push_back('"');
}

void AppendHtmlText(std::string& out, std::wstring_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    switch (c) {
      case L'&': out += "&amp;"; break;
      case L'<': out += "&lt;"; break;
      case L'>': out += "&gt;"; break;
      case L'"': out += "&quot;"; break;
      case L'\'': out += "&#39;"; break;
      default:
        // Control characters have no place in HTML text; a browser drops or
        // replaces them anyway.
        if (static_cast<unsigned>(c) < 0x20) {
          out.push_back(' ');
        } else {
          size_t j = i;
          CodePointAt(text, j);
          AppendUtf8(out, text.substr(i, j - i + 1));
          i = j;
        }
    }
  }
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The check's three fields of a row: check, status, final_url.
std::array<std::wstring, 3> CheckFields(const RowSet& set, const FormatContext& context, size_t row) {
  const CheckResult& r = (*context.check)[set.info[row].check];
  return {VerdictName(r.verdict), std::to_wstring(r.status), FinalUrlOf(r, set.rows[row].url)};
}
constexpr const wchar_t* kCheckCaptions[] = {L"check", L"status", L"final_url"};

}  // namespace

std::vector<std::wstring> FolderComponents(std::wstring_view folder) {
  std::vector<std::wstring> parts;
  size_t i = 0;
  while (i < folder.size()) {
    while (i < folder.size() && IsSeparator(folder[i])) ++i;
    size_t end = i;
    while (end < folder.size() && !IsSeparator(folder[end])) ++end;
    if (end > i) parts.emplace_back(folder.substr(i, end - i));
    i = end;
  }
  return parts;
}

bool WriteCsv(const RowSet& set, const FormatContext& context, Sink& sink) {
  const bool utf8 = context.csvCodePage == kCodePageUtf8;
  // Excel reads a CSV file as UTF-8 only behind a byte-order mark; the
  // window's writer puts one there itself when it falls back to UTF-8.
  bool bomDue = utf8;
  bool anyWritten = false;
  const CsvSink pieces = [&](std::string_view bytes) {
    if (!anyWritten && !utf8 && context.csvFellBack) *context.csvFellBack = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    if (bomDue && !anyWritten && bytes.substr(0, 3) != "\xEF\xBB\xBF" && !sink.Write("\xEF\xBB\xBF")) return false;
    anyWritten = true;
    return sink.Write(bytes);
  };
  const auto rewind = [&] {
    anyWritten = false;
    return sink.Rewind();
  };
  if (!context.audit && !context.check) return WriteCsvFile(context.captions, set.rows, context.csvCodePage, pieces, rewind);

  // With the audit the lines have a fourth field; each field still comes
  // from the window's writer, and the file's code page rule is its own.
  std::wstring text;
  for (const std::wstring& c : context.captions) text += CsvField(c) + L",";
  if (context.audit) text += CsvField(kCaptionRisk) + L",";
  if (context.check)
    for (const wchar_t* c : kCheckCaptions) text += std::wstring(c) + L",";
  text += L"\r\n";
  for (size_t i = 0; i < set.rows.size(); ++i) {
    const UrlEntry& r = set.rows[i];
    text += CsvField(r.text) + L"," + CsvField(r.url) + L"," + CsvField(r.folder);
    if (context.audit) text += L"," + CsvField(set.info[i].risk());
    if (context.check)
      for (const std::wstring& f : CheckFields(set, context, i)) text += L"," + CsvField(f);
    text += L"\r\n";
  }
  const std::string bytes = EncodeCsvFile(text, context.csvCodePage);
  if (bytes.empty()) return false;
  return pieces(bytes);
}

bool WriteTsv(const RowSet& set, const FormatContext& context, Sink& sink) {
  Buffered out(sink);
  out.text().append("name\turl\tfolder\tpath");
  if (context.duplicates) out.text() += "\tgroup";
  if (context.audit) out.text() += "\trisk";
  if (context.check) out.text() += "\tcheck\tstatus\tfinal_url";
  out.text() += "\n";
  for (size_t i = 0; i < set.rows.size(); ++i) {
    std::string& t = out.text();
    AppendTsvField(t, set.rows[i].text);
    t.push_back('\t');
    AppendTsvField(t, set.rows[i].url);
    t.push_back('\t');
    AppendTsvField(t, set.rows[i].folder);
    t.push_back('\t');
    AppendTsvField(t, set.info[i].path());
    if (context.duplicates) t.append("\t").append(std::to_string(set.info[i].group));
    if (context.audit) {
      t.push_back('\t');
      AppendTsvField(t, set.info[i].risk());
    }
    if (context.check)
      for (const std::wstring& f : CheckFields(set, context, i)) {
        t.push_back('\t');
        AppendTsvField(t, f);
      }
    t.push_back('\n');
    if (!out.MaybeFlush()) return false;
  }
  return out.Flush();
}

bool WriteJson(const RowSet& set, const FormatContext& context, Sink& sink) {
  Buffered out(sink);
  out.text().push_back('[');
  for (size_t i = 0; i < set.rows.size(); ++i) {
    std::string& t = out.text();
    if (i > 0) t.push_back(',');
    t.append("\n{\"name\":");
    AppendJsonString(t, set.rows[i].text);
    t += ",\"url\":";
    AppendJsonString(t, set.rows[i].url);
    t += ",\"folder\":";
    AppendJsonString(t, set.rows[i].folder);
    t += ",\"path\":";
    AppendJsonString(t, set.info[i].path());
    if (context.duplicates) t.append(",\"group\":").append(std::to_string(set.info[i].group));
    if (context.audit) {
      t += ",\"risk\":";
      AppendJsonString(t, set.info[i].risk());
    }
    if (context.check) {
      const std::array<std::wstring, 3> f = CheckFields(set, context, i);
      t += ",\"check\":";
      AppendJsonString(t, f[0]);
      t.append(",\"status\":").append(ToUtf8(f[1])).append(",\"final_url\":");
      AppendJsonString(t, f[2]);
    }
    t += "}";
    if (!out.MaybeFlush()) return false;
  }
  out.text() += "\n]\n";
  return out.Flush();
}

bool WriteXlsx(const RowSet& set, const FormatContext& context, Sink& sink) {
  XlsxSheet sheet;
  const unsigned codePage = context.csvCodePage == kCodePageUtf8 ? SystemAnsiCodePage() : context.csvCodePage;
  FillSheet(sheet, context.captions, set.rows, codePage);
  if (context.audit && !set.rows.empty()) {
    sheet.SetCell(1, 4, kCaptionRisk);
    size_t widest = AnsiByteLength(kCaptionRisk, codePage);
    for (size_t i = 0; i < set.rows.size(); ++i) {
      if (set.info[i].risk().empty()) continue;
      sheet.SetCell(static_cast<long>(i) + 2, 4, set.info[i].risk());
      const size_t n = AnsiByteLength(set.info[i].risk(), codePage);
      if (n > widest) widest = n;
    }
    sheet.SetColumnWidth(4, static_cast<double>(widest) * 0.9);
  }
  if (context.check && !set.rows.empty()) {
    const int first = context.audit ? 5 : 4;
    for (int c = 0; c < 3; ++c) sheet.SetCell(1, first + c, kCheckCaptions[c]);
    for (size_t i = 0; i < set.rows.size(); ++i) {
      const std::array<std::wstring, 3> f = CheckFields(set, context, i);
      for (int c = 0; c < 3; ++c)
        if (!f[static_cast<size_t>(c)].empty()) sheet.SetCell(static_cast<long>(i) + 2, first + c, f[static_cast<size_t>(c)]);
    }
  }
  const std::string bytes = sheet.Build();
  return !bytes.empty() && sink.Write(bytes);
}

namespace {

// Importers pass over attributes they do not know.
void AppendCheckAttributes(std::string& out, const std::array<std::wstring, 3>& fields) {
  for (size_t c = 0; c < 3; ++c) {
    out.append("\" ").append(ToUtf8(kCheckCaptions[c])).append("=\"");
    AppendHtmlText(out, fields[c]);
  }
}

// The bookmark tree: folders in the order their first bookmark came.
struct Folder {
  std::wstring name;
  std::vector<std::unique_ptr<Folder>> folders;
  std::map<std::wstring, Folder*> byName;
  // Children in order: a bookmark (row index) or a folder.
  std::vector<std::pair<Folder*, size_t>> items;

  Folder& Child(const std::wstring& n) {
    auto it = byName.find(n);
    if (it != byName.end()) return *it->second;
    folders.push_back(std::make_unique<Folder>());
    Folder* f = folders.back().get();
    f->name = n;
    byName.emplace(n, f);
    items.emplace_back(f, 0);
    return *f;
  }
};

bool WriteTree(const Folder& folder, const RowSet& set, const FormatContext& context, Buffered& out, int depth) {
  const std::string indent(static_cast<size_t>(depth) * 4, ' ');
  for (const auto& [sub, row] : folder.items) {
    std::string& t = out.text();
    if (sub) {
      t.append(indent).append("<DT><H3>");
      AppendHtmlText(t, sub->name);
      t.append("</H3>\n").append(indent).append("<DL><p>\n");
      if (!WriteTree(*sub, set, context, out, depth + 1)) return false;
      out.text().append(indent).append("</DL><p>\n");
      continue;
    }
    // Only a web address is a link: a browser runs a javascript: bookmark
    // in the page it is clicked on, and opens file: and UNC targets.
    const std::wstring& url = set.rows[row].url;
    if (IsWebAddress(url)) {
      t.append(indent).append("<DT><A HREF=\"");
      AppendHtmlText(t, url);
      if (context.check) AppendCheckAttributes(t, CheckFields(set, context, row));
      t += "\">";
      AppendHtmlText(t, set.rows[row].text);
      t += "</A>\n";
    } else {
      t.append(indent).append("<DT>");
      AppendHtmlText(t, set.rows[row].text);
      t += "\n";
      if (!url.empty()) {
        t.append(indent).append("<DD>");
        AppendHtmlText(t, url);
        t += "\n";
      }
    }
    if (context.audit && !set.info[row].risk().empty()) {
      t.append(indent).append("<DD>");
      AppendHtmlText(t, set.info[row].risk());
      t += "\n";
    }
    if (!out.MaybeFlush()) return false;
  }
  return true;
}

}  // namespace

bool WriteHtml(const RowSet& set, const FormatContext& context, Sink& sink) {
  Folder top;
  size_t folderRoots = 0;
  for (const RootText& r : context.roots) folderRoots += r.folder ? 1 : 0;
  // One folder PATH is the tree itself; several each get a folder of their
  // own, so that equal sub-folder names of two PATHs stay apart.
  const bool wrapRoots = context.roots.size() > 1 && folderRoots > 0;
  std::vector<Folder*> rootFolders(context.roots.size(), &top);
  for (size_t i = 0; i < set.rows.size(); ++i) {
    const uint32_t root = set.info[i].root;
    const bool folderRoot = root < context.roots.size() && context.roots[root].folder;
    Folder* f = &top;
    if (folderRoot) {
      if (wrapRoots) f = &top.Child(context.roots[root].label);
      for (const std::wstring& part : FolderComponents(set.rows[i].folder)) f = &f->Child(part);
    }
    f->items.emplace_back(nullptr, i);
  }
  Buffered out(sink);
  out.text().append(
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
      "<!-- This is an automatically generated file.\n"
      "     It will be read and overwritten.\n"
      "     DO NOT EDIT! -->\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
      "<TITLE>Bookmarks</TITLE>\n"
      "<H1>Bookmarks</H1>\n"
      "<DL><p>\n");
  if (!WriteTree(top, set, context, out, 1)) return false;
  out.text() += "</DL><p>\n";
  return out.Flush();
}

bool WriteFormat(Format format, const RowSet& set, const FormatContext& context, Sink& sink) {
  switch (format) {
    case Format::kCsv: return WriteCsv(set, context, sink);
    case Format::kTsv: return WriteTsv(set, context, sink);
    case Format::kJson: return WriteJson(set, context, sink);
    case Format::kXlsx: return WriteXlsx(set, context, sink);
    case Format::kHtml: return WriteHtml(set, context, sink);
  }
  return false;
}

}  // namespace vorpa::cli
