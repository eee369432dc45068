#include "output/CsvText.h"

#include "common/Text.h"

namespace vorpa {
namespace {

bool NeedsQuotes(std::wstring_view field) { return field.find_first_of(L",\"\r\n") != std::wstring_view::npos; }

// Upper bound of a field's written length, so the whole text is reserved once.
size_t FieldSize(std::wstring_view field) { return NeedsQuotes(field) ? field.size() * 2 + 2 : field.size(); }

void AppendField(std::wstring& out, std::wstring_view field) {
  if (!NeedsQuotes(field)) {
    out.append(field);
    return;
  }
  out.push_back(L'"');
  size_t start = 0;
  for (size_t q = field.find(L'"'); q != std::wstring_view::npos; q = field.find(L'"', q + 1)) {
    out.append(field.substr(start, q + 1 - start));
    out.push_back(L'"');
    start = q + 1;
  }
  out.append(field.substr(start));
  out.push_back(L'"');
}

}  // namespace

std::wstring BuildCsvText(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows) {
  size_t total = 0;
  for (const std::wstring& c : captions) total += FieldSize(c) + 1;
  total += 2;
  for (const UrlEntry& r : rows) total += FieldSize(r.text) + FieldSize(r.url) + FieldSize(r.folder) + 4;

  std::wstring out;
  out.reserve(total);
  for (const std::wstring& c : captions) {
    AppendField(out, c);
    out.push_back(L',');
  }
  out.append(L"\r\n");
  for (const UrlEntry& r : rows) {
    AppendField(out, r.text);
    out.push_back(L',');
    AppendField(out, r.url);
    out.push_back(L',');
    AppendField(out, r.folder);
    out.append(L"\r\n");
  }
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

}  // namespace vorpa
