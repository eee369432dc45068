#include "app/DllSearch.h"

#include <windows.h>

#include <cstring>

namespace vorpa {

bool RestrictDllSearch() {
  // Looked up rather than imported: a static import would keep the program
  // from starting at all on a Windows 7 that lacks the update.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  SetDefaultDllDirectoriesFn setDefault = nullptr;
  static_assert(sizeof proc == sizeof setDefault);
  if (proc) memcpy(&setDefault, &proc, sizeof setDefault);
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  SetDllDirectoryW(L"");
  return false;
}

}  // namespace vorpa
