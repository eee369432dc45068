#include "filefolder/ShellName.h"

#include <windows.h>
#include <commdlg.h>

#include "filefolder/PathText.h"

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

std::wstring NameAsTitlesShowIt(std::wstring_view path) {
  const size_t sep = path.find_last_of(L"\\/");
  const std::wstring name(path.substr(sep == std::wstring_view::npos ? 0 : sep + 1));
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos || dot == 0) return name;
  // The function hides an extension or not by the extension alone: a plain
  // name with the same one tells which.
  const std::wstring probe = L"x" + name.substr(dot);
  wchar_t title[MAX_PATH] = {};
  if (probe.size() >= MAX_PATH || GetFileTitleW(probe.c_str(), title, MAX_PATH) != 0) return name.substr(0, dot);
  return std::wstring_view(title) == L"x" ? name.substr(0, dot) : name;
}

std::wstring ShortcutDisplayName(const std::wstring& path) {
  std::wstring title = FileTitleOf(path);
  return title.empty() ? NameAsTitlesShowIt(path) : title;
}

}  // namespace vorpa
