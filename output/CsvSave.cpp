// The list saved as a CSV file.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "app/ProgramFolder.h"
#include "app/frmMain.h"
#include "common/Text.h"
#include "common/WinFile.h"
#include "output/CsvText.h"

using namespace vorpa;

namespace {

constexpr wchar_t kFilter[] = L"CSVファイル(*.CSV)|*.CSV|全てのファイル(*.*)|*.*|";
constexpr wchar_t kDefaultName[] = L"PELDOX.CSV";
constexpr wchar_t kTitle[] = L"名前を付けて保存";


// The dialog takes its filter as NUL-separated pairs ending in two NULs.
std::wstring DialogFilter(std::wstring_view piped) {
  std::wstring f(piped);
  for (wchar_t& c : f)
    if (c == L'|') c = L'\0';
  f.push_back(L'\0');
  return f;
}

// The system's text with the code, for the save's message box.
std::wstring ErrorTextWithCode(DWORD code) { return SystemErrorText(code) + L" (エラー " + std::to_wstring(code) + L")"; }

// Writes a new file with what `fill` hands to its sink; 0 or the error that
// stopped it.
using FileFiller = std::function<bool(const CsvSink& sink, const std::function<bool()>& rewind)>;

DWORD WriteNewFile(const std::wstring& path, const FileFiller& fill) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) return GetLastError();
  DWORD error = 0;
  const bool filled = fill(
      [&](std::string_view piece) {
        error = WriteAll(file.get(), piece);
        return error == 0;
      },
      [&] {
        LARGE_INTEGER start{};
        if (SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) && SetEndOfFile(file.get())) return true;
        error = GetLastError();
        return false;
      });
  if (!filled) return error ? error : ERROR_NO_UNICODE_TRANSLATION;
  // A full disk or a lost network share may only show at the flush or close,
  // and the old file must not be replaced by one that never reached the disk.
  if (!FlushFileBuffers(file.get())) return GetLastError();
  if (!file.Close()) return GetLastError();
  return 0;
}

// Puts the new contents in place of `target` only after they are all on disk
// beside it, so that a failed save leaves the old file as it was. 0 or an
// error.
DWORD ReplaceFileContents(const std::wstring& target, const FileFiller& fill) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    // Windows refuses to replace a read-only file; some file systems would not.
    if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
  }
  const size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : target.substr(0, slash);

  static unsigned counter = 0;
  std::wstring temp;
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++attempt) {
    wchar_t name[64];
    swprintf(name, 64, L"\\~vorpa%lx-%x.tmp", GetCurrentProcessId(), ++counter);
    temp = folder + name;
    error = WriteNewFile(temp, fill);
    if (error != 0 && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) DeleteFileW(temp.c_str());
  }
  if (error != 0) return error;
  if (!ReplaceWithCompleteFile(temp, target)) {
    error = GetLastError();
    DeleteFileW(temp.c_str());
    return error;
  }
  return 0;
}

// The chosen path, or empty text on cancel. A dialog that cannot open at all
// is reported rather than passed over like a cancel.
std::wstring AskCsvPath(HWND owner) {
  const std::wstring filter = DialogFilter(kFilter);
  // The dialog of Windows 7 and later starts in the folder last used from
  // this program whenever it is given the same initial folder as the first
  // time. So it is given none, and the program's folder goes into the name
  // box with the name: then it starts there every time.
  const std::wstring folder = ProgramFolder();
  std::wstring initial = kDefaultName;
  if (!folder.empty()) initial = folder + (folder.back() == L'\\' ? L"" : L"\\") + kDefaultName;
  std::vector<wchar_t> file(std::max<size_t>(32768, initial.size() + 1), L'\0');
  std::copy(initial.begin(), initial.end(), file.begin());

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = kTitle;
  // The dialog would otherwise move the process's current folder to wherever
  // the user saved; nothing in the program means to follow it there.
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
  // The extension itself: the dialog appends "." and this to a bare name.
  ofn.lpstrDefExt = L"CSV";
  if (GetSaveFileNameW(&ofn)) return file.data();
  if (const DWORD error = CommDlgExtendedError())
    ShowMessage(owner, L"保存先を選ぶ画面を開けませんでした。ファイルは保存されていません。(エラー " +
                           std::to_wstring(error) + L")");
  return {};
}

}  // namespace

void frmMain::mnuSave_Click() {
  const std::wstring path = AskCsvPath(hwnd_);
  if (path.empty()) return;
  SaveCsvFile(path);
}

std::wstring frmMain::MakeCsvText() {
  const ColumnCaptions captions{ColumnCaption(0), ColumnCaption(1), ColumnCaption(2)};
  return BuildCsvText(captions, rows.rows());
}

bool frmMain::SaveCsvFile(const std::wstring& strFile) {
  // The rows go straight from the list into the file, and no message runs
  // from the first byte to the last: no command can change the list while
  // it is written, and the save dialog before this was modal. So the file
  // is the list as it stood when the command was chosen, without a second
  // copy of a long list in memory.
  SetMousePointer(11);
  const ColumnCaptions captions{ColumnCaption(0), ColumnCaption(1), ColumnCaption(2)};
  const unsigned codePage = SystemAnsiCodePage();
  const bool existed = GetFileAttributesW(strFile.c_str()) != INVALID_FILE_ATTRIBUTES;
  const DWORD error = ReplaceFileContents(strFile, [&](const CsvSink& sink, const std::function<bool()>& rewind) {
    return WriteCsvFile(captions, rows.rows(), codePage, sink, rewind);
  });
  SetMousePointer(0);
  if (error == 0) return true;
  std::wstring message = L"ファイルを保存できませんでした。\n" + strFile + L"\n\n" + ErrorTextWithCode(error);
  if (existed) message += L"\n\n元のファイルは変更されていません。";
  ShowMessage(hwnd_, message);
  return false;
}
