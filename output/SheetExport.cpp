#include "output/SheetExport.h"

#include "common/Text.h"
#include "common/WebAddress.h"

namespace vorpa {

std::wstring FitCellText(const std::wstring& text) {
  if (text.size() <= kMaxCellChars) return text;
  const std::wstring note = L"…［以下省略 全" + std::to_wstring(text.size()) + L"文字］";
  size_t keep = kMaxCellChars - note.size();
  // Never cut a UTF-16 pair in half.
  if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
  return text.substr(0, keep) + note;
}

size_t AnsiByteLength(const std::wstring& text, unsigned ansiCodePage) {
  return EncodeCodePage(text, ansiCodePage).size();
}

void FillSheet(Spreadsheet& sheet, const ColumnCaptions& captions, const std::vector<UrlEntry>& rows,
               unsigned ansiCodePage) {
  const auto put = [&](long row, int column, const std::wstring& text) {
    if (text.size() <= kMaxCellChars) {
      sheet.SetCell(row, column, text);
    } else {
      sheet.SetCell(row, column, FitCellText(text));
    }
  };
  sheet.SetVisible();
  // Single precision, as the widths have always been kept; the byte lengths
  // of real texts are far below where that loses whole numbers.
  float widths[3] = {10, 10, 10};
  if (!rows.empty()) {
    for (int c = 0; c < 3; ++c) {
      put(1, c + 1, captions[static_cast<size_t>(c)]);
      widths[c] = static_cast<float>(AnsiByteLength(captions[static_cast<size_t>(c)], ansiCodePage));
    }
  }
  const auto widen = [&](int c, const std::wstring& text) {
    const float length = static_cast<float>(AnsiByteLength(text, ansiCodePage));
    if (length > widths[c]) widths[c] = length;
  };
  long sheetRow = 1;
  for (const UrlEntry& r : rows) {
    ++sheetRow;
    widen(0, r.text);
    put(sheetRow, 1, r.text);
    widen(1, r.url);
    if (!IsWebAddress(r.url) || !sheet.AddHyperlink(sheetRow, 2, r.url)) put(sheetRow, 2, r.url);
    widen(2, r.folder);
    put(sheetRow, 3, r.folder);
  }
  for (int c = 0; c < 3; ++c) sheet.SetColumnWidth(c + 1, static_cast<double>(widths[c]) * 0.9);
}

}  // namespace vorpa
