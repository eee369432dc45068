#include "app/ProgramFolder.h"

#include <windows.h>

namespace vorpa {

std::wstring ProgramFolder() {
  // The path may exceed MAX_PATH; GetModuleFileName only says so by filling
  // the whole buffer.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  // "C:" alone would mean the current folder of drive C: a root keeps its
  // backslash.
  return path.substr(0, slash == 2 && path[1] == L':' ? slash + 1 : slash);
}

}  // namespace vorpa
