#include "filefolder/ShellName.h"

#include <windows.h>
#include <commdlg.h>

#include "filefolder/PathText.h"
#include "list/ScanPaths.h"

namespace vorpa {

std::wstring FileTitleOf(const std::wstring& path) {
  // Asked with size 0 for the size it needs. Wine answers a null buffer with
  // an error even then, so it gets a real one.
  wchar_t probe[1] = {};
  const short needed = GetFileTitleW(path.c_str(), probe, 0);
  if (needed <= 0) return {};
  std::wstring title(static_cast<size_t>(needed), L'\0');
  if (GetFileTitleW(path.c_str(), title.data(), static_cast<WORD>(needed)) != 0) return {};
  return CutAtNul(title);
}

std::wstring ShortcutDisplayName(const std::wstring& path) {
  std::wstring title = FileTitleOf(path);
  return title.empty() ? ShortcutNameFromPath(path) : title;
}

}  // namespace vorpa
