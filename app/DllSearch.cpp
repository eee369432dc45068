#include "app/DllSearch.h"

#include <windows.h>

#include "common/WinSystem.h"

namespace vorpa {

bool RestrictDllSearch() {
  // Looked up rather than imported: a static import would keep the program
  // from starting at all on a Windows 7 that lacks the update.
  const auto setDefault = SystemExport<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  SetDllDirectoryW(L"");
  return false;
}

}  // namespace vorpa
