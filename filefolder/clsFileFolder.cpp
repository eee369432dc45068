#include "filefolder/clsFileFolder.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "app/Messages.h"
#include "common/WinFile.h"
#include "filefolder/FolderWalk.h"
#include "filefolder/LongPath.h"
#include "filefolder/PathText.h"
#include "filefolder/ShellName.h"

namespace {

using vorpa::CutAtNul;
using vorpa::EndsWithBackslash;
using vorpa::WithBit;
using vorpa::WithoutTrailingBackslash;
using vorpa::WithTrailingBackslash;

constexpr wchar_t kBrowsePrompt[] = L"適当なフォルダをクリックして選択状態にしてから ＯＫ を押して下さい";
constexpr wchar_t kNoSuchFolder[] = L"存在しないフォルダです";
constexpr wchar_t kFolderMissing[] = L"指定されたフォルダが存在しません";

// Browse options.
constexpr uint32_t kBifReturnOnlyFsDirs = 0x0001;
constexpr uint32_t kBifDontGoBelowDomain = 0x0002;
constexpr uint32_t kBifStatusText = 0x0004;
constexpr uint32_t kBifReturnFsAncestors = 0x0008;
constexpr uint32_t kBifEditBox = 0x0010;
constexpr uint32_t kBifValidate = 0x0020;
constexpr uint32_t kBifBrowseForComputer = 0x1000;
constexpr uint32_t kBifBrowseForPrinter = 0x2000;
constexpr uint32_t kBifBrowseIncludeFiles = 0x4000;

// From this length on GetLongPath and GetShortPath hand the path to the
// platform in its extended form (their answers keep the caller's form):
// CreateDirectory already refuses 248 characters (room for an 8.3 name).
constexpr size_t kLongPath = MAX_PATH - 12;

// Calls fn(buffer, size) until the answer fits: the platform reports the
// needed size (NUL included) when the buffer is too small, the length
// written (NUL excluded) when it fits, and 0 on failure.
template <class Fn>
std::wstring GrowingCall(Fn fn) {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = fn(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return CutAtNul(buffer);
    buffer.assign(n + 1, L'\0');
  }
  return {};
}

// Patterns end in "*" rather than "*.*": the find functions read both as
// every name, and Wine matches the plain star faster.
bool IsFolder(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// True at the first entry matching `pattern` for which `accept` holds. The
// existence tests stop at the first entry or two: no large fetch.
template <class Accept>
bool AnyEntry(const std::wstring& pattern, Accept accept) {
  WIN32_FIND_DATAW data;
  const vorpa::UniqueFindHandle find(FindFirstFileExW(vorpa::OpenablePath(pattern).c_str(), FindExInfoBasic, &data,
                                                      FindExSearchNameMatch, nullptr, 0));
  if (!find.ok()) return false;
  do {
    if (accept(data)) return true;
  } while (FindNextFileW(find.get(), &data));
  return false;
}

// The folder walk with two callbacks taking each entry's path.
template <class OnFolder, class OnFile>
class PathEvents : public vorpa::FolderWalkEvents {
 public:
  PathEvents(OnFolder& onFolder, OnFile& onFile) : onFolder_(onFolder), onFile_(onFile) {}
  void File(const vorpa::WalkEntry& entry) override { onFile_(entry.path); }
  void Folder(const vorpa::WalkEntry& entry) override { onFolder_(entry.path); }

 private:
  OnFolder& onFolder_;
  OnFile& onFile_;
};

// Lists `folder` in the order the file system gives, calling onFolder(path)
// for each sub-folder and onFile(path) for each file (every name, also one
// like COM1.url: the walk reaches it as a file). With `wholeTree` each
// sub-folder is walked as soon as it is met, each folder once.
template <class OnFolder, class OnFile>
void Walk(const std::wstring& folder, bool wholeTree, OnFolder&& onFolder, OnFile&& onFile) {
  PathEvents<std::remove_reference_t<OnFolder>, std::remove_reference_t<OnFile>> events(onFolder, onFile);
  vorpa::WalkFolderTree(folder, wholeTree, events);
}

// A whole-tree result is built in the list the object keeps. Nothing reads
// that list once the call has returned, so the caller gets it itself rather
// than a copy of what may be hundreds of thousands of paths.
std::vector<std::wstring> HandOver(std::vector<std::wstring>& kept) { return std::exchange(kept, {}); }

// Frees an item-ID list when it goes out of scope.
struct ItemIdListDeleter {
  void operator()(ITEMIDLIST* list) const { ILFree(list); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, ItemIdListDeleter>;

}  // namespace

clsFileFolder::clsFileFolder() = default;

// ---------------------------------------------------------------------------
// Folder browser

std::wstring clsFileFolder::ReferDesktop() { return BrowseFolder(CSIDL_DESKTOP, std::wstring()); }
std::wstring clsFileFolder::ReferPrograms() { return BrowseFolder(CSIDL_PROGRAMS, std::wstring()); }
std::wstring clsFileFolder::ReferPersonal() { return BrowseFolder(CSIDL_PERSONAL, std::wstring()); }
std::wstring clsFileFolder::ReferFavorites() { return BrowseFolder(CSIDL_FAVORITES, std::wstring()); }
std::wstring clsFileFolder::ReferStartMenu() { return BrowseFolder(CSIDL_STARTMENU, std::wstring()); }
std::wstring clsFileFolder::ReferDrives() { return BrowseFolder(CSIDL_DRIVES, std::wstring()); }
std::wstring clsFileFolder::ReferNetwork() { return BrowseFolder(CSIDL_NETWORK, std::wstring()); }

std::wstring clsFileFolder::ReferUser(std::wstring UserPath) {
  if (!FolderExist(UserPath)) {
    vorpa::ShowMessage(MessageOwner(), kNoSuchFolder);
    return {};
  }
  return BrowseFolder(kRootFromPath, std::move(UserPath));
}

void clsFileFolder::RealFolderOnly(bool blnRename) {
  lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifReturnOnlyFsDirs, blnRename);
}
bool clsFileFolder::RealFolderOnly() const { return (lngBrowseFlags_ & kBifReturnOnlyFsDirs) != 0; }
void clsFileFolder::DontNetwork(bool blnRename) {
  lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifDontGoBelowDomain, blnRename);
}
bool clsFileFolder::DontNetwork() const { return (lngBrowseFlags_ & kBifDontGoBelowDomain) != 0; }
void clsFileFolder::AddStatus(bool blnRename) { lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifStatusText, blnRename); }
bool clsFileFolder::AddStatus() const { return (lngBrowseFlags_ & kBifStatusText) != 0; }
void clsFileFolder::NetworkOnlySelect(bool blnRename) {
  lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifReturnFsAncestors, blnRename);
}
bool clsFileFolder::NetworkOnlySelect() const { return (lngBrowseFlags_ & kBifReturnFsAncestors) != 0; }
void clsFileFolder::AddFileText(bool blnRename) { lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifEditBox, blnRename); }
bool clsFileFolder::AddFileText() const { return (lngBrowseFlags_ & kBifEditBox) != 0; }
void clsFileFolder::InvalidItem(bool blnRename) { lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifValidate, blnRename); }
bool clsFileFolder::InvalidItem() const { return (lngBrowseFlags_ & kBifValidate) != 0; }
void clsFileFolder::NetworkOnly(bool blnRename) {
  lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifBrowseForComputer, blnRename);
}
bool clsFileFolder::NetworkOnly() const { return (lngBrowseFlags_ & kBifBrowseForComputer) != 0; }
void clsFileFolder::NetworkPrintOnly(bool blnRename) {
  lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifBrowseForPrinter, blnRename);
}
bool clsFileFolder::NetworkPrintOnly() const { return (lngBrowseFlags_ & kBifBrowseForPrinter) != 0; }
void clsFileFolder::AllResource(bool blnRename) {
  lngBrowseFlags_ = WithBit(lngBrowseFlags_, kBifBrowseIncludeFiles, blnRename);
}
bool clsFileFolder::AllResource() const { return (lngBrowseFlags_ & kBifBrowseIncludeFiles) != 0; }

// ---------------------------------------------------------------------------
// Path and name helpers

std::wstring clsFileFolder::GetTempFolder() {
  return GrowingCall([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
}

int32_t clsFileFolder::CreateFolder(std::wstring strCreateFolder) {
  // Creates missing parents too; the owner is never passed, so the shell
  // shows nothing.
  return SHCreateDirectoryExW(nullptr, strCreateFolder.c_str(), nullptr);
}

std::wstring clsFileFolder::GetLongPath(std::wstring strShortPath) {
  const std::wstring in = strShortPath.size() < kLongPath ? strShortPath : vorpa::OpenablePath(strShortPath);
  const std::wstring out =
      GrowingCall([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(in.c_str(), buffer, size); });
  return in == strShortPath ? out : vorpa::FromExtendedLengthPath(out);
}

std::wstring clsFileFolder::GetShortPath(std::wstring strLongPath) {
  const std::wstring in = strLongPath.size() < kLongPath ? strLongPath : vorpa::OpenablePath(strLongPath);
  const std::wstring out =
      GrowingCall([&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(in.c_str(), buffer, size); });
  return in == strLongPath ? out : vorpa::FromExtendedLengthPath(out);
}

bool clsFileFolder::FolderExist(std::wstring strFolder) {
  // A drive root has no "." entry, so a root with nothing visible in it
  // counts as missing.
  return AnyEntry(WithTrailingBackslash(std::move(strFolder)) + L'*', [](const WIN32_FIND_DATAW& data) {
    return IsFolder(data) || (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
  });
}

bool clsFileFolder::FileExist(std::wstring strFile) {
  if (strFile.empty()) return false;
  // The find functions refuse a pattern ending in "\"; such a pattern asks
  // about the folder's contents.
  if (EndsWithBackslash(strFile)) strFile += L'*';
  return AnyEntry(strFile, [](const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
  });
}

std::wstring clsFileFolder::GetNoTypeFileNameA(std::wstring strFileFullPath) {
  return vorpa::NameWithoutType(GetFileNameA(strFileFullPath), GetFileTypeA(strFileFullPath));
}

std::wstring clsFileFolder::GetFileNameA(std::wstring strFileFullPath) {
  const wchar_t* name = PathFindFileNameW(strFileFullPath.c_str());
  return name ? std::wstring(name) : std::wstring();
}

std::wstring clsFileFolder::GetFileNameAB(std::wstring strFileFullPath) {
  strFileFullPath.push_back(L'\0');
  PathStripPathW(strFileFullPath.data());
  return CutAtNul(strFileFullPath);
}

std::wstring clsFileFolder::GetFileName(std::wstring strFileFullPath) { return vorpa::FileTitleOf(strFileFullPath); }

std::wstring clsFileFolder::GetFileTypeA(std::wstring strFileFullPath) {
  const wchar_t* dot = PathFindExtensionW(strFileFullPath.c_str());
  if (!dot || *dot == L'\0') return {};
  return std::wstring(dot + 1);
}

std::wstring clsFileFolder::GetFileType(std::wstring strFilePath, bool blnExistCheck, bool blnNameCheck) {
  // The flag names say the opposite of what they do: false asks for the test.
  if (!blnExistCheck && !FileExist(strFilePath)) return {};
  return vorpa::TextAfterLastDot(blnNameCheck ? strFilePath : GetFileName(strFilePath));
}

std::wstring clsFileFolder::GetFilePath(std::wstring strFileFullPath) {
  if (!FileExist(strFileFullPath)) {
    if (!FolderExist(strFileFullPath)) return {};
    strFileFullPath = WithTrailingBackslash(std::move(strFileFullPath));
  }
  strFileFullPath.push_back(L'\0');
  if (!PathRemoveFileSpecW(strFileFullPath.data())) return {};
  return CutAtNul(strFileFullPath);
}

std::vector<std::wstring> clsFileFolder::GetSplitPath(std::wstring strFileFullPath) {
  return vorpa::FolderChain(GetFilePath(std::move(strFileFullPath)));
}

std::wstring clsFileFolder::NullDel(std::wstring strBuffer) { return CutAtNul(strBuffer); }

// ---------------------------------------------------------------------------
// Listings

std::wstring clsFileFolder::ListedFolder(const std::wstring& strFolderPath) {
  std::wstring folder = GetFilePath(strFolderPath);
  if (folder.empty()) folder = strFolderPath;
  if (folder.empty() || !FolderExist(folder)) {
    vorpa::ShowMessage(MessageOwner(), kFolderMissing);
    return {};
  }
  return folder;
}

std::vector<std::wstring> clsFileFolder::SFolderPath(std::wstring strFolderPath) {
  strSFolderList_.assign(1, std::wstring());
  sFolderPathCount_ = 0;
  const std::wstring folder = ListedFolder(strFolderPath);
  if (folder.empty()) {
    sFolderPathCount_ = -1;
    return strSFolderList_;
  }
  strSFolderList_[0] = WithoutTrailingBackslash(folder);
  sFolderPathCount_ = 1;
  CollectFolders(strSFolderList_[0]);
  return HandOver(strSFolderList_);
}

std::vector<std::wstring> clsFileFolder::GetFolder(std::wstring strFolderPath) {
  folderPathCount_ = 0;
  const std::wstring folder = ListedFolder(strFolderPath);
  if (folder.empty()) {
    folderPathCount_ = -1;
    return {std::wstring()};
  }
  std::vector<std::wstring> list;
  Walk(
      WithTrailingBackslash(folder), false,
      [&](const std::wstring& path) {
        list.push_back(path);
        ++folderPathCount_;
      },
      [](const std::wstring&) {});
  if (list.empty()) list.emplace_back();
  return list;
}

std::vector<std::wstring> clsFileFolder::SFilePath(std::wstring strFolderPath) {
  strSFileList_.assign(1, std::wstring());
  sFilePathCount_ = 0;
  const std::wstring folder = ListedFolder(strFolderPath);
  if (folder.empty()) {
    sFilePathCount_ = -1;
    return strSFileList_;
  }
  CollectFiles(folder);
  return HandOver(strSFileList_);
}

std::vector<std::wstring> clsFileFolder::GetFile(std::wstring strFolderPath) {
  filePathCount_ = 0;
  const std::wstring folder = ListedFolder(strFolderPath);
  if (folder.empty()) {
    filePathCount_ = -1;
    return {std::wstring()};
  }
  std::vector<std::wstring> list;
  Walk(
      WithTrailingBackslash(folder), false, [](const std::wstring&) {},
      [&](const std::wstring& path) {
        list.push_back(path);
        ++filePathCount_;
      });
  if (list.empty()) list.emplace_back();
  return list;
}

std::vector<std::wstring> clsFileFolder::SFileFolderPath(std::wstring strFolderPath) {
  strSFileFolderList_.assign(1, std::wstring());
  bsFolderPathCount_ = 0;
  bsFilePathCount_ = 0;
  const std::wstring folder = ListedFolder(strFolderPath);
  if (folder.empty()) {
    bsFolderPathCount_ = -1;
    bsFilePathCount_ = -1;
    return strSFileFolderList_;
  }
  const std::wstring root = WithoutTrailingBackslash(folder);
  strSFileFolderList_[0] = root + L'\\';
  bsFolderPathCount_ = 1;
  CollectFilesAndFolders(root);
  return HandOver(strSFileFolderList_);
}

std::vector<std::wstring> clsFileFolder::GetFileFolder(std::wstring strFolderPath) {
  bFolderPathCount_ = 0;
  bFilePathCount_ = 0;
  const std::wstring folder = ListedFolder(strFolderPath);
  if (folder.empty()) {
    bFolderPathCount_ = -1;
    bFilePathCount_ = -1;
    return {std::wstring()};
  }
  std::vector<std::wstring> list;
  Walk(
      WithTrailingBackslash(folder), false,
      [&](const std::wstring& path) {
        list.push_back(path + L'\\');
        ++bFolderPathCount_;
      },
      [&](const std::wstring& path) {
        list.push_back(path);
        ++bFilePathCount_;
      });
  if (list.empty()) list.emplace_back();
  return list;
}

// The kept list holds its first element already (the folder itself), or the
// empty placeholder that the first entry found replaces.
void clsFileFolder::CollectFolders(const std::wstring& strFolder) {
  Walk(
      WithTrailingBackslash(strFolder), true,
      [&](const std::wstring& path) {
        strSFolderList_.push_back(path);
        ++sFolderPathCount_;
      },
      [](const std::wstring&) {});
}

void clsFileFolder::CollectFiles(const std::wstring& strFolder) {
  Walk(
      WithTrailingBackslash(strFolder), true, [](const std::wstring&) {},
      [&](const std::wstring& path) {
        if (sFilePathCount_ == 0) {
          strSFileList_[0] = path;
        } else {
          strSFileList_.push_back(path);
        }
        ++sFilePathCount_;
      });
}

void clsFileFolder::CollectFilesAndFolders(const std::wstring& strFolder) {
  Walk(
      WithTrailingBackslash(strFolder), true,
      [&](const std::wstring& path) {
        strSFileFolderList_.push_back(path + L'\\');
        ++bsFolderPathCount_;
      },
      [&](const std::wstring& path) {
        strSFileFolderList_.push_back(path);
        ++bsFilePathCount_;
      });
}

// ---------------------------------------------------------------------------
// Shell file operations

bool clsFileFolder::Move(std::wstring strFrom, std::wstring strTo) {
  return RunFileOperation(std::move(strFrom), std::move(strTo), FO_MOVE);
}
bool clsFileFolder::Copy(std::wstring strFrom, std::wstring strTo) {
  return RunFileOperation(std::move(strFrom), std::move(strTo), FO_COPY);
}
bool clsFileFolder::Recycled(std::wstring strFrom) {
  // Stays on for every later operation of the object, Delete included.
  AllowUndo(true);
  return RunFileOperation(std::move(strFrom), std::wstring(), FO_DELETE);
}
bool clsFileFolder::Delete(std::wstring strFrom) {
  return RunFileOperation(std::move(strFrom), std::wstring(), FO_DELETE);
}
bool clsFileFolder::Rename(std::wstring strFrom, std::wstring strTo) {
  return RunFileOperation(std::move(strFrom), std::move(strTo), FO_RENAME);
}

void clsFileFolder::Target(HWND lngNewWindow) { lngTarget_ = IsWindow(lngNewWindow) ? lngNewWindow : nullptr; }

void clsFileFolder::RespondDialog(bool blnRespond) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_NOCONFIRMATION, blnRespond);
}
bool clsFileFolder::RespondDialog() const { return (lngFileOpFlags_ & FOF_NOCONFIRMATION) != 0; }
void clsFileFolder::RenameOnCollision(bool blnRename) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_RENAMEONCOLLISION, blnRename);
}
bool clsFileFolder::RenameOnCollision() const { return (lngFileOpFlags_ & FOF_RENAMEONCOLLISION) != 0; }
void clsFileFolder::SimpleProgress(bool blnSimple) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_SIMPLEPROGRESS, blnSimple);
}
bool clsFileFolder::SimpleProgress() const { return (lngFileOpFlags_ & FOF_SIMPLEPROGRESS) != 0; }
// The five below own bits that say "don't": the property reads true while
// its bit is clear.
void clsFileFolder::ConfirmMakeDir(bool blnMakeDir) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_NOCONFIRMMKDIR, !blnMakeDir);
}
bool clsFileFolder::ConfirmMakeDir() const { return (lngFileOpFlags_ & FOF_NOCONFIRMMKDIR) == 0; }
void clsFileFolder::ShowDialog(bool blnShowDialog) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_SILENT, !blnShowDialog);
}
bool clsFileFolder::ShowDialog() const { return (lngFileOpFlags_ & FOF_SILENT) == 0; }
void clsFileFolder::AllowUndo(bool blnUndo) { lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_ALLOWUNDO, blnUndo); }
bool clsFileFolder::AllowUndo() const { return (lngFileOpFlags_ & FOF_ALLOWUNDO) != 0; }
void clsFileFolder::MultiDestFiles(bool blnMultiDestFiles) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_MULTIDESTFILES, !blnMultiDestFiles);
}
bool clsFileFolder::MultiDestFiles() const { return (lngFileOpFlags_ & FOF_MULTIDESTFILES) == 0; }
void clsFileFolder::FilesOnly(bool blnFilesOnly) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_FILESONLY, !blnFilesOnly);
}
bool clsFileFolder::FilesOnly() const { return (lngFileOpFlags_ & FOF_FILESONLY) == 0; }
void clsFileFolder::WantMappingHandle(bool blnWantMappingHandle) {
  lngFileOpFlags_ = WithBit(lngFileOpFlags_, FOF_WANTMAPPINGHANDLE, !blnWantMappingHandle);
}
bool clsFileFolder::WantMappingHandle() const { return (lngFileOpFlags_ & FOF_WANTMAPPINGHANDLE) == 0; }

// ---------------------------------------------------------------------------
// Private procedures

std::wstring clsFileFolder::BrowseFolder(int lngRootId, std::wstring strPath) {
  // Both roots are released when the dialog has closed, whatever it returns.
  ItemIdList root;
  if (lngRootId == kRootFromPath) {
    root.reset(ILCreateFromPathW(strPath.c_str()));  // null: the desktop
  } else {
    PIDLIST_ABSOLUTE special = nullptr;
    if (SUCCEEDED(SHGetFolderLocation(nullptr, lngRootId, nullptr, 0, &special))) root.reset(special);
  }
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = lngTarget_;
  info.pidlRoot = root.get();
  info.pszDisplayName = displayName;
  info.lpszTitle = kBrowsePrompt;
  info.ulFlags = lngBrowseFlags_;
  const ItemIdList chosen(SHBrowseForFolderW(&info));
  if (!chosen) return {};
  // The buffer stays empty for items that are not in the file system. The
  // extended call takes a folder deeper than MAX_PATH; the plain one, for
  // systems without it, cannot.
  std::wstring path(32768, L'\0');
  if (!SHGetPathFromIDListEx(chosen.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    path.assign(MAX_PATH, L'\0');
    SHGetPathFromIDListW(chosen.get(), path.data());
  }
  std::wstring folder = CutAtNul(path);
  // Callers build paths on the answer and expect a "\" only after a drive
  // root; Wine writes one after a special folder's own item too.
  if (EndsWithBackslash(folder) && !PathIsRootW(folder.c_str())) folder.pop_back();
  return folder;
}

bool clsFileFolder::RunFileOperation(std::wstring strFrom, std::wstring strTo, UINT wFunc) {
  if (CutAtNul(strFrom).empty()) return false;
  // Name lists end with two NULs; NULs inside the caller's text separate the
  // items and pass through.
  strFrom.push_back(L'\0');
  strTo.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = lngTarget_;
  op.wFunc = wFunc;
  op.pFrom = strFrom.c_str();
  op.pTo = strTo.c_str();
  op.fFlags = static_cast<FILEOP_FLAGS>(lngFileOpFlags_ & 0xFFFF);
  const int result = SHFileOperationW(&op);
  // The class never reads the name mappings; they are the caller's only if
  // it asked for them, and nobody can, so they are freed here.
  if (op.hNameMappings) SHFreeNameMappings(op.hNameMappings);
  return result == 0;
}

HWND clsFileFolder::MessageOwner() const { return lngTarget_ ? lngTarget_ : GetActiveWindow(); }
