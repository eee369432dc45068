// The shortcut reader on Windows.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "common/Text.h"
#include "common/WinFile.h"
#include "filefolder/PathText.h"
#include "list/UrlFileReader.h"
#include "list/UrlFileReaderWin.h"

namespace vorpa {
namespace {

// A scan may reach files deeper than MAX_PATH; only the extended-length form
// lifts that limit on systems without long-path support. That form skips the
// path normalisation, so it is used only for plain absolute paths. `storage`
// holds the longer form when one is made.
const wchar_t* OpenablePath(const std::wstring& path, std::wstring& storage) {
  if (path.size() < MAX_PATH || path.find(L'/') != std::wstring::npos) return path.c_str();
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') {
    storage = L"\\\\?\\" + path;
    return storage.c_str();
  }
  if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.') {
    storage = L"\\\\?\\UNC\\" + path.substr(2);
    return storage.c_str();
  }
  return path.c_str();
}

}  // namespace

std::wstring ReadInternetShortcutUrl(const std::wstring& path) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return {};
  // Up to Windows 10 a name such as COM1.url or nul.url opens a device, and
  // merely opening a port or a printer may wait or have effects.
  const size_t slash = path.find_last_of(L"\\/");
  if (IsReservedDeviceName(std::wstring_view(path).substr(slash == std::wstring::npos ? 0 : slash + 1))) return {};
  // Every share mode, so that a file another program has open for writing
  // or deleting can still be read; a file opened without sharing fails here.
  // A path that leads to a named pipe (\\server\pipe\x, or a link to one)
  // must not let the pipe's server act as this user: it may only learn who
  // opened it.
  std::wstring longPath;
  UniqueHandle file(CreateFileW(OpenablePath(path, longPath), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return {};
  // Whatever the name, a device or a pipe is never read: its read may wait
  // forever.
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return {};
  std::string buffer;
  std::string_view bytes;
  if (!ReadShortcutBytes(file.get(), buffer, bytes)) return {};
  return ParseInternetShortcutUrl(bytes, SystemAnsiCodePage());
}

bool ReadShortcutBytes(HANDLE file, std::string& buffer, std::string_view& bytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) size.QuadPart = 0;
  auto read = [&](char* dst, std::size_t max) { return ReadChunk(file, dst, max); };
  return ReadShortcutBytes(read, static_cast<unsigned long long>(size.QuadPart), buffer, bytes);
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

}  // namespace vorpa
