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

// The most characters a cell holds, in Excel and in the workbook format.
constexpr size_t kMaxCellChars = 32767;

// The text as a cell can hold it: a longer one is cut, and its end says so
// and how long the whole text is, so that nothing is lost without a word.
std::wstring FitCellText(const std::wstring& text);

// A text's length in the unit of the width rule: its bytes in the ANSI code
// page (two for a full-width Japanese character).
size_t AnsiByteLength(const std::wstring& text, unsigned ansiCodePage);

// Fills a sheet that is already created and holds a new workbook. Only a
// target that passes IsWebAddress becomes a hyperlink: a click in the sheet
// opens it with no question, unlike a double-click in the list. Every other
// URL, and one whose hyperlink the sheet refused, goes into its cell as text,
// so that no URL is lost. Other refusals by the sheet are ignored.
void FillSheet(Spreadsheet& sheet, const ColumnCaptions& captions, const std::vector<UrlEntry>& rows,
               unsigned ansiCodePage);

}  // namespace vorpa
