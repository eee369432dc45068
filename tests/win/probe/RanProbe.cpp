// Stands in for a program that a test must see run, or must see not run: it
// leaves its command line in "<its own path>.ran" and ends.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::wstring self(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (n == 0 || n >= self.size()) return 1;
  self.resize(n);
  const std::wstring partial = self + L".part";
  HANDLE f = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  const std::wstring line = GetCommandLineW();
  DWORD written = 0;
  const BOOL ok = WriteFile(f, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(f);
  // Renamed only when complete, so that a waiting test never reads half.
  return ok && MoveFileExW(partial.c_str(), (self + L".ran").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
