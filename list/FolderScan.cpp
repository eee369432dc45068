// The main command: choosing a folder and listing its Internet shortcuts.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "app/resource.h"
#include "filefolder/clsFileFolder.h"
#include "list/ScanPaths.h"
#include "list/UrlFileReader.h"
#include "list/UrlFileReaderWin.h"

using namespace vorpa;

namespace {
// A radio pair of the Settings menu: index 0 or 1 takes the mark.
void SelectPair(frmMain& form, UINT id0, UINT id1, int index) {
  if (index != 0 && index != 1) return;
  form.SetChecked(id0, index == 0);
  form.SetChecked(id1, index == 1);
}

// The folder that holds a shortcut file. For a visible file the path
// helpers answer with its path less the last component, after a directory
// search that under Wine costs more than reading the file; asking only for
// the attributes gives the same answer. Hidden and system files count as
// missing there and would get no folder at all: they get theirs the same way.
std::wstring ShortcutFolder(frmMain& form, const std::wstring& file) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderOfPath(file);
  std::wstring folder = form.FileFolder().GetFilePath(file);
  return folder.empty() ? FolderOfPath(file) : folder;
}

// A close asked for during the walk, or a window already gone: stop adding.
bool WalkMustStop(const frmMain& form) { return form.closePending() || !IsWindow(form.hwnd()); }
}  // namespace

void frmMain::mnuFavoritesDesktop_Click(int Index) {
  SelectPair(*this, IDM_FAVORITESDESKTOP0, IDM_FAVORITESDESKTOP1, Index);
}
void frmMain::mnuNewAdd_Click(int Index) { SelectPair(*this, IDM_NEWADD0, IDM_NEWADD1, Index); }
void frmMain::mnuSubFolder_Click(int Index) { SelectPair(*this, IDM_SUBFOLDER0, IDM_SUBFOLDER1, Index); }

void frmMain::mnuOpen_Click() {
  // The browser has no owner window, so the main window stays usable while
  // it is open: count it as part of the long command.
  BusyScope scope(*this);
  clsFileFolder& folders = FileFolder();
  folders.RealFolderOnly(true);
  std::wstring chosen = IsChecked(IDM_FAVORITESDESKTOP0) ? folders.ReferFavorites() : folders.ReferDesktop();
  OpenFolder(std::move(chosen));
}

void frmMain::OpenFolder(std::wstring strFolder) {
  if (!strFolder.empty()) {
    BusyScope scope(*this);
    SetMousePointer(11);
    if (IsChecked(IDM_NEWADD0)) {
      ClearList(strFolder);
    } else {
      MakeColumns(strFolder, true);
    }
    ListFolder(strFolder);
    RefreshList();
    SetMousePointer(0);
  }
  lstView_KeyDown(27, 0);
}

void frmMain::ListFolder(std::wstring strFolder) {
  BusyScope scope(*this);
  std::vector<std::wstring> files;
  int32_t count;
  // A copy of the listing: a dropped folder's own walk lists again through
  // the same object while this one is still being read.
  if (IsChecked(IDM_SUBFOLDER0)) {
    files = FileFolder().GetFile(strFolder);
    count = FileFolder().FilePathCount();
  } else {
    files = FileFolder().SFilePath(strFolder);
    count = FileFolder().SFilePathCount();
  }
  if (count < 0) return;
  const size_t n = std::min(static_cast<size_t>(count), files.size());
  for (size_t i = 0; i < n; ++i) {
    if (i % kPumpEvery == 0 && !DoEvents()) return;
    // A listing holds files only, so an entry of another type can be neither
    // a row nor a folder to walk: skip the existence checks it would cost.
    if (!IsShortcutType(FileFolder().GetFileTypeA(files[i]))) continue;
    AddUrlFile(std::move(files[i]), strFolder);
    if (WalkMustStop(*this)) return;
  }
}

void frmMain::AddUrlFile(std::wstring strFile, std::wstring strBaseFolder) {
  if (!IsShortcutType(FileFolder().GetFileTypeA(strFile))) {
    if (!FileFolder().FileExist(strFile) && FileFolder().FolderExist(strFile)) ListFolder(strFile);
    return;
  }
  UrlEntry row;
  row.text = FileFolder().GetFileName(strFile);
  // The title function refuses some ordinary names ('[' or ']' in them).
  if (row.text.empty()) row.text = NameAsTitlesShowIt(strFile);
  row.url = ReadInternetShortcutUrl(strFile);
  row.folder = CutBaseFolder(ShortcutFolder(*this, strFile), strBaseFolder);
  rows.Append(std::move(row));
}
