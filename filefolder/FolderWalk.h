#pragma once
// The folder walk on Windows: behind every listing of clsFileFolder (the
// window's scan) and behind vorpa-list.exe. One long-path rule (every path
// goes to the file functions through OpenablePath, so a file named like a
// device is a file), folder identity by the 128-bit file id with the 64-bit
// index as fallback, listings owned so that nothing leaks when a caller
// throws, and each folder walked once however many links lead to it.
//
// A caller sees entries in the order the file system lists them; with
// `wholeTree` a sub-folder's contents come right where the sub-folder is met,
// before the next entry of its parent. The walk keeps its own stack of open
// listings, so a deep tree cannot exhaust the thread's stack, and one path
// buffer per form, so memory stays proportional to the depth.
#include <windows.h>

#include <optional>
#include <string>

#include "common/WinFile.h"
#include "filefolder/FolderIdentity.h"

namespace vorpa {

// One entry of a listing, valid during the call that receives it.
struct WalkEntry {
  const std::wstring& path;      // the walked folder's text, "\" and the names below it
  const std::wstring& openPath;  // the same in the extended-length form: what file functions get
  const WIN32_FIND_DATAW& data;  // as the listing gave it (attributes, size, times)
  bool IsFolder() const { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  // A junction, a symbolic link, a mounted volume; under Wine also a Unix
  // symbolic link.
  bool IsReparsePoint() const { return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

class FolderWalkEvents {
 public:
  virtual ~FolderWalkEvents() = default;
  // Every entry that is not a folder, whatever its name or type.
  virtual void File(const WalkEntry& entry) = 0;
  // A sub-folder ("." and ".." are never given). In a whole-tree walk, only
  // a folder met for the first time, right before its contents.
  virtual void Folder(const WalkEntry& entry) = 0;
  // Whole-tree walks ask this before walking into a sub-folder: false passes
  // it over (Folder is not called).
  virtual bool MayEnter(const WalkEntry&) { return true; }
  // A folder already walked under another name (a link, a junction): passed over.
  virtual void Repeated(const std::wstring& /*path*/) {}
  // A folder whose listing could not be opened (an empty one is no error);
  // `path` without its trailing "\".
  virtual void Unreadable(const std::wstring& /*path*/, DWORD /*error*/) {}
};

// Walks `folder` (a full path, with or without a trailing "\"); with
// `wholeTree` the folders below it too.
void WalkFolderTree(const std::wstring& folder, bool wholeTree, FolderWalkEvents& events);

// Opens a file or folder only to ask about it (identity, final path):
// `openPath` as OpenablePath gives it.
UniqueHandle OpenForAttributes(const std::wstring& openPath);
// The identity of the file or folder behind a handle, or nothing when the
// platform gives none.
std::optional<FolderIdentity> IdentityOf(HANDLE file);
// The path the system resolves a handle to (links followed), in its
// extended form; empty on failure.
std::wstring FinalPathOf(HANDLE file);

}  // namespace vorpa
