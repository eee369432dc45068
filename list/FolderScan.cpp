// The main command: choosing a folder and listing its Internet shortcuts.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "app/resource.h"
#include "filefolder/ShellName.h"
#include "filefolder/clsFileFolder.h"
#include "list/ListingAhead.h"
#include "list/ReadAhead.h"
#include "list/ScanPaths.h"
#include "list/UrlFileReader.h"

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
// the attributes (the readers do: plainFile) gives the same answer. Hidden
// and system files count as missing there and would get no folder at all:
// they get theirs the same way.
std::wstring ShortcutFolder(frmMain& form, const std::wstring& file, bool plainFile) {
  // (A file named like a device answers nothing to the attribute query
  // and gets its folder from the path helpers, which reach it as a file.)
  if (plainFile) return FolderOfPath(file);
  std::wstring folder = form.FileFolder().GetFilePath(file);
  return folder.empty() ? FolderOfPath(file) : folder;
}

// A close asked for during the walk, or a window already gone: stop adding.
bool WalkMustStop(const frmMain& form) { return form.closePending() || !IsWindow(form.hwnd()); }
}  // namespace

namespace vorpa {
// One entry of a walk, read by the readers ahead of the walk's thread.
struct EntryReadAhead {
  std::wstring path;  // of type "url"
  std::wstring url;
  bool plainFile = false;  // exists and is no folder
};

// One shortcut file of a listing, made into its row by the readers.
struct ListedReadAhead {
  std::wstring path;
  size_t index = 0;  // in the listing
  UrlEntry row;
};
}  // namespace vorpa

namespace {
// On a reader thread: only the file system, never the window.
void ReadEntry(EntryReadAhead& entry) {
  entry.url = ReadInternetShortcutUrl(entry.path);
  const DWORD attributes = GetFileAttributesW(entry.path.c_str());
  entry.plainFile = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The same for a file the listing met: it was a file then, so its folder is
// its path less the name, as the path helpers would answer (see
// ShortcutFolder), and the whole row is made here.
void ReadListed(ListedReadAhead& entry, const std::wstring& baseFolder) {
  entry.row.url = ReadInternetShortcutUrl(entry.path);
  entry.row.text = ShortcutDisplayName(entry.path);
  entry.row.folder = CutBaseFolder(FolderPartOfPath(entry.path), baseFolder);
}
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
  const std::wstring folder = FileFolder().ListedFolder(strFolder);
  if (folder.empty()) return;  // missing: the user has been told
  // The tree is listed on one thread and its shortcut files read on others,
  // each ahead of the rows being added here, in the listing's order. Only
  // rows come back: the window's thread adds them and lets messages run.
  ListingAhead listing(folder, !IsChecked(IDM_SUBFOLDER0));
  const std::wstring& base = strFolder;
  ReadAhead<ListedReadAhead> ahead(
      [&listing](ListedReadAhead& entry) {
        ListingAhead::Shortcut next;
        if (!listing.Next(next)) return false;
        entry.path = std::move(next.path);
        entry.index = next.index;
        return true;
      },
      ReadAheadThreads(), [&base](ListedReadAhead& entry) { ReadListed(entry, base); });
  // Messages run before every 20th file of the listing, shortcut or not.
  size_t nextPump = 0;
  const auto pumpBefore = [&](size_t end) {
    for (; nextPump < end; nextPump += kPumpEvery)
      if (!DoEvents()) return false;
    return true;
  };
  while (ListedReadAhead* entry = ahead.Next()) {
    if (!pumpBefore(entry->index + 1)) return;
    rows.Append(std::move(entry->row));
    if (WalkMustStop(*this)) return;
  }
  pumpBefore(listing.Listed());
}

void frmMain::AddUrlFiles(std::vector<std::wstring> paths, const std::wstring& strBaseFolder, size_t pumpPhase) {
  // Only the shortcut files go to the readers; the other entries wait for
  // the walk, which passes over them or walks them as folders.
  std::vector<bool> isShortcut(paths.size());
  size_t shortcuts = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    isShortcut[i] = IsShortcutType(FileFolder().GetFileTypeA(paths[i]));
    if (isShortcut[i]) ++shortcuts;
  }
  size_t made = 0;  // the entries are made in walk order: the next shortcut's path
  const auto make = [&] {
    while (!isShortcut[made]) ++made;
    EntryReadAhead entry;
    entry.path = std::move(paths[made++]);
    return entry;
  };
  ReadAhead<EntryReadAhead> ahead(shortcuts, make, ReadAheadThreads(), ReadEntry);
  for (size_t i = 0; i < paths.size(); ++i) {
    if ((i + pumpPhase) % kPumpEvery == 0 && !DoEvents()) return;
    if (isShortcut[i]) {
      EntryReadAhead* entry = ahead.Next();
      AddUrlFile(std::move(entry->path), strBaseFolder, entry);
    } else {
      AddUrlFile(std::move(paths[i]), strBaseFolder);
    }
    if (WalkMustStop(*this)) return;
  }
}

void frmMain::AddUrlFile(std::wstring strFile, std::wstring strBaseFolder) {
  if (!IsShortcutType(FileFolder().GetFileTypeA(strFile))) {
    if (!FileFolder().FileExist(strFile) && FileFolder().FolderExist(strFile)) ListFolder(strFile);
    return;
  }
  EntryReadAhead read;
  read.path = strFile;
  ReadEntry(read);
  AddUrlFile(std::move(strFile), std::move(strBaseFolder), &read);
}

void frmMain::AddUrlFile(std::wstring strFile, std::wstring strBaseFolder, EntryReadAhead* read) {
  UrlEntry row;
  row.text = ShortcutDisplayName(strFile);
  row.url = std::move(read->url);
  row.folder = CutBaseFolder(ShortcutFolder(*this, strFile, read->plainFile), strBaseFolder);
  rows.Append(std::move(row));
}
