#include "list/ScanPaths.h"

#include "common/Text.h"

namespace vorpa {

namespace {
constexpr std::wstring_view kShortcutType = L"url";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

bool IsShortcutType(std::wstring_view type) { return EqualsIgnoreCase(type, kShortcutType); }

std::wstring FolderOfPath(std::wstring_view path) { return std::wstring(FolderPartOfPath(path)); }

std::wstring_view FolderPartOfPath(std::wstring_view path) {
  const size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring_view::npos) {
    // "C:name" lies in the drive's current folder, which the text cannot name.
    return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : std::wstring_view();
  }
  // Keep the separator of "\name", "C:\name" and of the "\\" that opens a UNC
  // path; elsewhere it goes with the name.
  size_t keep = cut;
  if (cut == 0 || (cut == 2 && path[1] == L':') || (cut == 1 && IsSeparator(path[0]))) keep = cut + 1;
  return path.substr(0, keep);
}

std::wstring CutBaseFolder(std::wstring_view folder, std::wstring_view baseFolder) {
  if (baseFolder.empty()) return std::wstring(folder);
  if (folder.size() <= baseFolder.size()) return {};
  return std::wstring(folder.substr(baseFolder.size()));
}

std::wstring ShortcutNameFromPath(std::wstring_view path) {
  const size_t cut = path.find_last_of(L"\\/:");
  std::wstring_view name = cut == std::wstring_view::npos ? path : path.substr(cut + 1);
  if (name.size() > kShortcutType.size() + 1 && name[name.size() - kShortcutType.size() - 1] == L'.' &&
      IsShortcutType(name.substr(name.size() - kShortcutType.size())))
    name.remove_suffix(kShortcutType.size() + 1);
  return std::wstring(name);
}

}  // namespace vorpa
