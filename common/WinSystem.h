#pragma once
// The system's own code, reached two ways: a function of a system DLL looked
// up at run time, and a document or URL handed to the shell.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <shellapi.h>

#include <string>
#include <type_traits>

namespace vorpa {

// A DLL of the system folder, loaded from there by its full path (and the
// DLLs it needs from there too), or null. Never by its name alone: a name is
// first matched against the modules already loaded, whatever folder they
// came from, and then, before the program restricts the search, looked for
// beside the program and in the current folder. It stays loaded.
inline HMODULE LoadSystemLibrary(const wchar_t* dll) {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, n) + L"\\" + dll;
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A Windows 7 without the search flags refuses the flag itself; the DLL's
  // own folder is then searched first for what it needs.
  if (!module) module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

// A function of a loaded module as the pointer type Fn, or null.
template <typename Fn>
Fn ModuleExport(HMODULE module, const char* name) {
  static_assert(std::is_pointer_v<Fn> && std::is_function_v<std::remove_pointer_t<Fn>>,
                "Fn is a pointer to a function");
  FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

// A function of a system DLL as the pointer type Fn, or null when this
// Windows has no such function (or no such DLL). For functions that newer
// systems have, and for DLLs that only some commands need.
template <typename Fn>
Fn SystemExport(const wchar_t* dll, const char* name) {
  return ModuleExport<Fn>(LoadSystemLibrary(dll), name);
}

// What the shell is asked to do with a file, a folder or a URL.
struct ShellRequest {
  const wchar_t* file = nullptr;
  const wchar_t* verb = L"open";
  const wchar_t* directory = nullptr;  // the folder it runs in; null: ours
  // Run through this registered class's command alone: the shell never tries
  // the file itself as a program.
  const wchar_t* protocolClass = nullptr;
  ULONG mask = 0;  // SEE_MASK_ flags
  int show = SW_SHOWNORMAL;
};

struct ShellAnswer {
  bool ok = false;
  // The shell's hInstApp: greater than 32 after a success; a ShellExecute
  // error code after a failure on most routes; -1 where the shell left it.
  INT_PTR code = -1;
  DWORD error = ERROR_SUCCESS;  // GetLastError right after the call
};

inline ShellAnswer RunShell(HWND owner, const ShellRequest& request) {
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof sei;
  sei.fMask = request.mask | (request.protocolClass ? static_cast<ULONG>(SEE_MASK_CLASSNAME) : 0UL);
  sei.hwnd = owner;
  sei.lpVerb = request.verb;
  sei.lpFile = request.file;
  sei.lpDirectory = request.directory;
  sei.nShow = request.show;
  sei.lpClass = request.protocolClass;
  sei.hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(-1));
  SetLastError(ERROR_SUCCESS);
  ShellAnswer answer;
  answer.ok = ShellExecuteExW(&sei) != FALSE;
  answer.error = GetLastError();
  answer.code = reinterpret_cast<INT_PTR>(sei.hInstApp);
  return answer;
}

}  // namespace vorpa
