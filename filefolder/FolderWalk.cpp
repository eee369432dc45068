#include "filefolder/FolderWalk.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "filefolder/LongPath.h"
#include "filefolder/PathText.h"

namespace vorpa {
namespace {

// The 128-bit id of a file comes from a class of GetFileInformationByHandleEx
// that the headers declare only for Windows 8 and later; on Windows 7 the
// call fails and the 64-bit index serves.
constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(0x12);
struct FileIdInfo {
  ULONGLONG VolumeSerialNumber;
  unsigned char FileId[16];
};

bool IsDotOrDotDot(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The folders a whole-tree walk has entered, so that a link back into the
// tree (or to a folder met before) is not walked a second time, which would
// list its files again or never end.
//
// Only a reparse point can lead to a folder that is not a plain child of its
// parent: plain folders form a tree. Until the walk meets the first such
// entry every folder is new, and asking each folder for its identity would
// cost an extra open per folder, which under Wine is as much as listing it.
// So the walk only notes the folders it enters, and at the first reparse
// point it identifies them all and from then on every folder it meets.
class WalkedFolders {
 public:
  // True the first time a folder is met.
  bool FirstVisit(const std::wstring& openPath, DWORD attributes) {
    if (!checking_) {
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        entered_.push_back(openPath);
        return true;
      }
      checking_ = true;
      for (const auto& earlier : entered_) Identify(earlier);
      entered_.clear();
      entered_.shrink_to_fit();
    }
    return Identify(openPath);
  }

 private:
  // True when the folder was not identified before. A folder whose identity
  // the platform does not give counts as new: passing over a folder that
  // was never walked would lose its files, while walking one twice at worst
  // lists some again until the path grows too long.
  bool Identify(const std::wstring& openPath) {
    const UniqueHandle h = OpenForAttributes(openPath);
    if (!h.ok()) return true;
    const std::optional<FolderIdentity> id = IdentityOf(h.get());
    return !id || seen_.insert(*id).second;
  }

  bool checking_ = false;
  std::vector<std::wstring> entered_;
  std::unordered_set<FolderIdentity, FolderIdentityHash> seen_;
};

struct Level {
  UniqueFindHandle find;
  size_t pathLength;  // of the folder's path with its "\"
  size_t openLength;  // the same in the extended form
};

}  // namespace

UniqueHandle OpenForAttributes(const std::wstring& openPath) {
  return UniqueHandle(CreateFileW(openPath.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::optional<FolderIdentity> IdentityOf(HANDLE file) {
  FileIdInfo wide{};
  if (GetFileInformationByHandleEx(file, kFileIdInfo, &wide, sizeof wide)) {
    if (auto id = IdentityFromFileId(wide.VolumeSerialNumber, wide.FileId)) return id;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  return IdentityFromFileIndex(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
}

std::wstring FinalPathOf(HANDLE file) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.assign(n + 1, L'\0');
  }
  return {};
}

void WalkFolderTree(const std::wstring& folder, bool wholeTree, FolderWalkEvents& events) {
  std::wstring path = WithTrailingBackslash(folder);
  std::wstring openPath = WithTrailingBackslash(OpenablePath(folder));
  WalkedFolders walked;
  if (wholeTree) walked.FirstVisit(openPath, GetFileAttributesW(openPath.c_str()));
  WIN32_FIND_DATAW data;
  std::vector<Level> stack;
  // Opens the listing of the folder the two paths name (each ending in "\").
  // Patterns end in "*" rather than "*.*": the find functions read both as
  // every name, and Wine matches the plain star faster.
  auto open = [&]() {
    openPath += L'*';
    UniqueFindHandle find(
        FindFirstFileExW(openPath.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    const DWORD error = find.ok() ? 0 : GetLastError();
    openPath.pop_back();
    if (!find.ok()) {
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
        events.Unreadable(WithoutTrailingBackslash(path), error);
      return false;
    }
    stack.push_back({std::move(find), path.size(), openPath.size()});
    return true;
  };
  bool pending = open();  // `data` holds an entry not yet visited
  while (!stack.empty()) {
    if (!pending && !FindNextFileW(stack.back().find.get(), &data)) {
      stack.pop_back();
      continue;
    }
    pending = false;
    path.resize(stack.back().pathLength);
    openPath.resize(stack.back().openLength);
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder && IsDotOrDotDot(data.cFileName)) continue;
    path += data.cFileName;
    openPath += data.cFileName;
    const WalkEntry entry{path, openPath, data};
    if (!isFolder) {
      events.File(entry);
    } else if (!wholeTree) {
      events.Folder(entry);
    } else if (events.MayEnter(entry)) {
      if (!walked.FirstVisit(openPath, data.dwFileAttributes)) {
        events.Repeated(path);
        continue;
      }
      events.Folder(entry);
      path += L'\\';
      openPath += L'\\';
      pending = open();
    }
  }
}

}  // namespace vorpa
