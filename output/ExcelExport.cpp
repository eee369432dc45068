// The list shown in a spreadsheet: Excel when it is there, otherwise a
// workbook file opened with whatever program the shell has for it.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "app/frmMain.h"
#include "common/Text.h"
#include "common/WinFile.h"
#include "common/WinSystem.h"
#include "output/ExcelDispatch.h"
#include "output/SheetExport.h"
#include "output/XlsxWriter.h"

using namespace vorpa;

namespace {

constexpr wchar_t kNoExcel[] = L"EXCELがないと起動できません";

// A new file in the temporary folder, named after the time so that the user
// can tell several of them apart; empty text when none can be created.
std::wstring CreateWorkbookFile(UniqueHandle& file) {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH) return {};
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t stamp[64];
  swprintf(stamp, 64, L"VORPA_%04u%02u%02u_%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  for (int i = 1; i < 100; ++i) {
    std::wstring path = std::wstring(folder) + stamp + (i > 1 ? L"_" + std::to_wstring(i) : L"") + L".xlsx";
    file = UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.ok()) return path;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

// Writes the sheet as a workbook file and opens it with the program the shell
// associates with it. False, and no file left behind, when either fails.
bool OpenAsWorkbookFile(HWND owner, const XlsxSheet& sheet) {
  const std::string bytes = sheet.Build();
  if (bytes.empty()) return false;
  UniqueHandle file;
  const std::wstring path = CreateWorkbookFile(file);
  if (path.empty()) return false;
  const bool written = WriteAll(file.get(), bytes) == 0 && FlushFileBuffers(file.get());
  if (!file.Close() || !written) {
    DeleteFileW(path.c_str());
    return false;
  }
  ShellRequest request;
  request.file = path.c_str();
  // No "open with" chooser: without an associated program the user is told
  // that there is nothing to show the list in.
  request.mask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  if (!RunShell(owner, request).ok) {
    DeleteFileW(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

void frmMain::mnuExcel_Click() {
  // Calls into another process let some messages run while they wait; the
  // copy keeps the sheet to the list as it stood when the command started.
  const ColumnCaptions captions{ColumnCaption(0), ColumnCaption(1), ColumnCaption(2)};
  const std::vector<UrlEntry> snapshot = rows.rows();
  const unsigned codePage = SystemAnsiCodePage();

  if (std::unique_ptr<ExcelApplication> excel = ExcelApplication::Start(hwnd_)) {
    SetMousePointer(11);
    FillSheet(*excel, captions, snapshot, codePage);
    excel.reset();
    SetMousePointer(0);
    return;
  }

  SetMousePointer(11);
  XlsxSheet sheet;
  FillSheet(sheet, captions, snapshot, codePage);
  const bool opened = OpenAsWorkbookFile(hwnd_, sheet);
  SetMousePointer(0);
  if (!opened) ShowMessage(hwnd_, kNoExcel);
}
