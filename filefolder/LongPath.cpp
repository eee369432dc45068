#include "filefolder/LongPath.h"

#include <windows.h>

#include "filefolder/PathText.h"

namespace vorpa {
namespace {

bool IsDeviceForm(const std::wstring& path) {
  return path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
         path[3] == L'\\';
}

// The platform's full path, at any length; the text itself when it fails.
std::wstring PlatformFullPath(const std::wstring& path) {
  std::wstring full(path.size() + MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return path;
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);
  }
  return path;
}

// A drive path ("C:\...") that the platform would return unchanged: no "/",
// no empty, "." or ".." component, none ending in a dot or a blank (those
// the platform strips). Walks build such paths for every entry; checking
// the text spares the platform call per file.
bool IsNormalFullPath(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;
  const wchar_t drive = path[0];
  if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) return false;
  size_t start = 3;
  while (start < path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    if (end == start) return false;  // an empty component
    for (size_t i = start; i < end; ++i)
      if (path[i] == L'/') return false;
    const wchar_t last = path[end - 1];
    if (last == L'.' || last == L' ') return false;  // also "." and ".."
    start = end + 1;
  }
  return true;
}

}  // namespace

std::wstring FullPathOf(const std::wstring& path) {
  if (path.empty() || IsDeviceForm(path) || IsNormalFullPath(path)) return path;
  const size_t slash = path.find_last_of(L"\\/");
  const size_t nameStart = slash == std::wstring::npos ? (path.size() >= 2 && path[1] == L':' ? 2 : 0) : slash + 1;
  const std::wstring name = path.substr(nameStart);
  if (name.empty() || !IsReservedDeviceName(name)) return PlatformFullPath(path);
  // The folder is made full; the name is kept exactly.
  const std::wstring folder = nameStart == 0 ? std::wstring(L".") : path.substr(0, nameStart);
  return WithTrailingBackslash(PlatformFullPath(folder)) + name;
}

std::wstring OpenablePath(const std::wstring& path) {
  if (path.empty() || IsDeviceForm(path)) return path;
  return ToExtendedLengthPath(FullPathOf(path));
}

}  // namespace vorpa
