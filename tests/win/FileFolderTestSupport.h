#pragma once
// Real files for the file and folder tests, and the few things that only the
// Unix side of Wine can make: symbolic links (a Windows program there cannot
// create one; CreateSymbolicLinkW is a stub that does nothing) and drive
// letters (DefineDosDeviceW is accepted but has no effect on the file
// system). Wine lends both a Unix path (wine_get_unix_file_name) and a way to
// run a Unix command (__wine_unix_spawnvp).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "tests/win/WinTestSupport.h"

namespace vorpa::test {

class WineUnix {
 public:
  static bool Available() { return UnixName() && Spawn(); }

  // The Unix path of a Windows path whose folder exists.
  static std::string UnixPath(const std::wstring& windowsPath) {
    if (!UnixName()) return {};
    char* unix = UnixName()(windowsPath.c_str());
    if (!unix) return {};
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
  }

  // Runs a Unix command and waits for it; true when it succeeded.
  static bool Run(std::vector<std::string> args) {
    if (!Spawn()) return false;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return Spawn()(argv.data(), 1) == 0;
  }

  // A Unix symbolic link at `link` (a Windows path) whose content is
  // `target` as given (relative or a Unix path).
  static bool Symlink(const std::string& target, const std::wstring& link) {
    const size_t slash = link.rfind(L'\\');
    const std::string folder = UnixPath(link.substr(0, slash));
    if (folder.empty()) return false;
    return Run({"ln", "-s", target, folder + "/" + EncodeCodePage(link.substr(slash + 1), kCodePageUtf8)});
  }

  // Removes a link made by Symlink without touching what it leads to (the
  // Windows delete functions refuse a Unix link to a folder).
  static bool RemoveLink(const std::wstring& link) { return Run({"rm", "-f", UnixPath(link)}); }

 private:
  using UnixNameFn = char*(CDECL*)(const wchar_t*);
  using SpawnFn = long(CDECL*)(char* const*, int);
  static UnixNameFn UnixName() {
    return reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  }
  static SpawnFn Spawn() {
    return reinterpret_cast<SpawnFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
  }
};

// A spare drive letter of the Wine prefix made to show `folder` as its root,
// through a link in the prefix's dosdevices folder.
class MappedDrive {
 public:
  explicit MappedDrive(const std::wstring& folder) {
    const std::string target = WineUnix::UnixPath(folder);
    std::string c = WineUnix::UnixPath(L"C:\\");  // ".../dosdevices/c:/"
    if (target.empty() || c.size() < 3) return;
    c.resize(c.size() - 3);
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'X'; letter >= L'M'; --letter) {
      if (used & (1u << (letter - L'A'))) continue;
      link_ = c + static_cast<char>(letter - L'A' + 'a') + ":";
      if (WineUnix::Run({"ln", "-s", target, link_})) {
        root_ = std::wstring(1, letter) + L":\\";
        return;
      }
    }
    link_.clear();
  }
  ~MappedDrive() {
    if (!link_.empty()) WineUnix::Run({"rm", "-f", link_});
  }
  MappedDrive(const MappedDrive&) = delete;
  MappedDrive& operator=(const MappedDrive&) = delete;

  // "X:\", or empty text when no letter could be mapped.
  const std::wstring& root() const { return root_; }

 private:
  std::string link_;
  std::wstring root_;
};

inline void MakeFile(const std::wstring& path, const char* content = "x") {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create " << EncodeCodePage(path, kCodePageUtf8);
  DWORD written = 0;
  WriteFile(h, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
  CloseHandle(h);
}

inline void MakeFolder(const std::wstring& path) {
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
      << "cannot create " << EncodeCodePage(path, kCodePageUtf8);
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace vorpa::test
