#pragma once
// A one-sheet Office Open XML workbook (.xlsx) built in memory: the
// spreadsheet used when Excel itself cannot be started. It takes the same
// cells, hyperlinks and widths as Excel would and refuses what Excel refuses.
#include <cstdint>
#include <string>
#include <vector>

#include "output/SheetExport.h"

namespace vorpa {

class XlsxSheet : public Spreadsheet {
 public:
  // Limits of the file format and of the programs that open it.
  static constexpr long kMaxRows = 1048576;
  static constexpr int kMaxColumns = 16384;
  static constexpr size_t kMaxCellChars = 32767;
  static constexpr size_t kMaxLinkChars = 2079;
  static constexpr size_t kMaxLinks = 65530;
  static constexpr double kMaxWidth = 255;

  void SetVisible() override {}
  bool SetCell(long row, int column, const std::wstring& text) override;
  bool AddHyperlink(long row, int column, const std::wstring& address) override;
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
    std::wstring address;
  };
  bool InRange(long row, int column) const;
  std::string SheetXml(std::vector<const Cell*>& cells, std::vector<const Link*>& links) const;
  std::string SheetRelsXml(const std::vector<const Link*>& links) const;

  std::vector<Cell> cells_;
  std::vector<Link> links_;
  std::vector<std::pair<int, double>> widths_;
};

// The ZIP container with deflated entries, as the .xlsx packaging needs it.
// Empty when an entry or the whole archive outgrows 32-bit ZIP fields.
struct ZipEntry {
  std::string name;
  std::string data;
};
std::string BuildZip(const std::vector<ZipEntry>& entries);

}  // namespace vorpa
