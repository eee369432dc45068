#include "output/SheetExport.h"

#include "common/Text.h"

namespace vorpa {

size_t AnsiByteLength(const std::wstring& text, unsigned ansiCodePage) {
  return EncodeCodePage(text, ansiCodePage).size();
}

void FillSheet(Spreadsheet& sheet, const ColumnCaptions& captions, const std::vector<UrlEntry>& rows,
               unsigned ansiCodePage) {
  sheet.SetVisible();
  // Single precision, as the widths have always been kept; the byte lengths
  // of real texts are far below where that loses whole numbers.
  float widths[3] = {10, 10, 10};
  if (!rows.empty()) {
    for (int c = 0; c < 3; ++c) {
      sheet.SetCell(1, c + 1, captions[static_cast<size_t>(c)]);
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
    sheet.SetCell(sheetRow, 1, r.text);
    widen(1, r.url);
    if (!sheet.AddHyperlink(sheetRow, 2, r.url)) sheet.SetCell(sheetRow, 2, r.url);
    widen(2, r.folder);
    sheet.SetCell(sheetRow, 3, r.folder);
  }
  for (int c = 0; c < 3; ++c) sheet.SetColumnWidth(c + 1, static_cast<double>(widths[c]) * 0.9);
}

}  // namespace vorpa
