#pragma once
// The list copied into a spreadsheet: captions in row 1, one list row per
// sheet row below, URLs as hyperlinks, column widths fitted to the longest
// text. The spreadsheet is anything that offers these few operations: Excel
// through automation, or the workbook file written when Excel is missing.
#include <vector>

#include "list/UrlEntry.h"
#include "output/CsvText.h"

namespace vorpa {

class Spreadsheet {
 public:
  virtual ~Spreadsheet() = default;
  virtual void SetVisible() = 0;
  // Rows and columns count from 1. Each answers whether the sheet took it.
  virtual bool SetCell(long row, int column, const std::wstring& text) = 0;
  virtual bool AddHyperlink(long row, int column, const std::wstring& address) = 0;
  virtual bool SetColumnWidth(int column, double width) = 0;
};

// A text's length in the unit of the width rule: its bytes in the ANSI code
// page (two for a full-width Japanese character).
size_t AnsiByteLength(const std::wstring& text, unsigned ansiCodePage);

// Fills a sheet that is already created and holds a new workbook. Refusals
// by the sheet are ignored, except that a refused hyperlink puts the URL into
// its cell as text, so that no URL is lost.
void FillSheet(Spreadsheet& sheet, const ColumnCaptions& captions, const std::vector<UrlEntry>& rows,
               unsigned ansiCodePage);

}  // namespace vorpa
