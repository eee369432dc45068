#pragma once
// A one-sheet Office Open XML workbook (.xlsx) built in memory: the
// spreadsheet used when Excel itself cannot be started. It takes the same
// cells, hyperlinks and widths as Excel would and refuses what Excel refuses.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/SheetExport.h"

namespace vorpa {

class XlsxSheet : public Spreadsheet {
 public:
  // Limits of the file format and of the programs that open it.
  static constexpr long kMaxRows = 1048576;
  static constexpr int kMaxColumns = 16384;
  static constexpr size_t kMaxCellChars = vorpa::kMaxCellChars;
  static constexpr size_t kMaxLinkChars = 2079;
  static constexpr size_t kMaxLinks = 65530;
  static constexpr double kMaxWidth = 255;
  // The width of a digit, in pixels, of the Normal style's font (Calibri 11
  // at 96 dots per inch): the unit of the file's column widths.
  static constexpr double kMaxDigitWidth = 7;

  void SetVisible() override {}
  bool SetCell(long row, int column, const std::wstring& text) override;
  // Only web addresses (IsWebAddress), kept in the file percent-encoded.
  bool AddHyperlink(long row, int column, const std::wstring& address) override;
  // The width as Excel shows it, in characters without the cell's padding.
  bool SetColumnWidth(int column, double width) override;

  // The .xlsx file's bytes, or empty when they cannot be made (a part larger
  // than a ZIP file without 64-bit extensions holds, or a compression error).
  std::string Build() const;

 private:
  struct Cell {
    long row;
    int column;
    uint32_t order;  // later writes to the same cell win
    std::wstring text;
  };
  struct Link {
    long row;
    int column;
    std::wstring address;  // as the list shows it, for an empty cell
    std::string target;    // percent-encoded ASCII
  };
  bool InRange(long row, int column) const;
  std::string SheetXml(std::vector<const Cell*>& cells, std::vector<const Link*>& links) const;
  std::string SheetRelsXml(const std::vector<const Link*>& links) const;

  std::vector<Cell> cells_;
  std::vector<Link> links_;
  std::vector<std::pair<int, double>> widths_;
};

// A link target as a browser sends it: every character outside the URL's own
// set (letters, digits, "-._~" and the delimiters ":/?#[]@!$&'()*+,;=") in
// UTF-8 percent-encoding, an existing "%XX" kept and any other "%" encoded.
// Spaces, line breaks, quotes, angle brackets and direction controls in a
// target make Excel repair the file and drop its links. False for a lone
// surrogate, which has no UTF-8 form.
bool PercentEncodeUrl(std::wstring_view url, std::string& out);

// The file's column width for a width as Excel shows it: the characters and
// the cell's 5 pixels of padding, in 1/256 of a digit width (ECMA-376 Part 1,
// 18.3.1.13). Zero stays zero, a hidden column.
double FileColumnWidth(double shownWidth);

// The ZIP container with deflated entries, as the .xlsx packaging needs it.
// Empty when an entry or the whole archive outgrows 32-bit ZIP fields.
struct ZipEntry {
  std::string name;
  std::string data;
};
std::string BuildZip(const std::vector<ZipEntry>& entries);

}  // namespace vorpa
