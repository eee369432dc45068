#pragma once
// Excel driven through late-bound automation: the spreadsheet of choice for
// "EXCELで表示".
#include <windows.h>
// The other platform headers need windows.h before them.
#include <oaidl.h>

#include <memory>

#include "common/WinOwners.h"
#include "output/ExcelMessageFilter.h"
#include "output/SheetExport.h"

namespace vorpa {

class ExcelApplication : public Spreadsheet {
 public:
  // Creates "Excel.application" and adds a new workbook; nothing when either
  // fails. The calling thread must be a single-threaded apartment; its
  // message filter is ours until the object is destroyed. Questions about a
  // busy Excel are owned by `owner`.
  static std::unique_ptr<ExcelApplication> Start(HWND owner);
  // How long a busy or silent Excel is waited for before the user is asked
  // (tests shorten it).
  static void SetPatience(const ExcelPatience& patience);
  // Lets go of Excel without closing it: the workbook stays open, unsaved.
  ~ExcelApplication() override;
  ExcelApplication(const ExcelApplication&) = delete;
  ExcelApplication& operator=(const ExcelApplication&) = delete;

  void SetVisible() override;
  bool SetCell(long row, int column, const std::wstring& text) override;
  bool AddHyperlink(long row, int column, const std::wstring& address) override;
  bool SetColumnWidth(int column, double width) override;

 private:
  ExcelApplication() = default;
  IDispatch* Cells();
  ComPtr<IDispatch> Cell(long row, int column);

  // Declared first, so that it is destroyed last: the releases below are
  // calls into Excel too.
  std::unique_ptr<ExcelMessageFilter> filter_;
  ComPtr<IDispatch> app_;
  ComPtr<IDispatch> workbooks_;
  ComPtr<IDispatch> workbook_;
  ComPtr<IDispatch> cells_;
  ComPtr<IDispatch> hyperlinks_;
};

}  // namespace vorpa
