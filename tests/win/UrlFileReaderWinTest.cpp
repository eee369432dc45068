// The shortcut reader on real files through the Windows file functions.
#include <windows.h>
#include <winioctl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "WinTestSupport.h"
#include "common/Text.h"
#include "list/UrlFileReader.h"

using namespace vorpa;
using vorpa::test::TempDir;

namespace {

class UrlFileReaderWin : public testing::Test {
 protected:
  std::wstring Path(const std::wstring& name) const { return dir_.str() + L"\\" + name; }

  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = Path(name);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "cannot create the test file";
    if (h == INVALID_HANDLE_VALUE) return path;
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(h);
    return path;
  }

  TempDir dir_;
};

const std::string kShortcut = "[InternetShortcut]\r\nURL=http://example.com/\r\n";

}  // namespace

TEST_F(UrlFileReaderWin, ReadsShortcutsWrittenInTheAnsiCodePage) {
  if (GetACP() != kCodePageShiftJis) GTEST_SKIP() << "needs code page 932 (LC_ALL=ja_JP.UTF-8)";
  // Second bytes 0x5C: 表 is 95 5C, ソ is 83 5C.
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"表ソ.url", "[InternetShortcut]\r\nURL=http://\x95\x5c\x83\x5c/\r\n")),
            L"http://表ソ/");
  // A name outside code page 932, and a URL that only the UTF-7 copy holds,
  // decoded by the platform.
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"한국어 \U0001F600.url",
                                          "[InternetShortcut]\r\nURL=http://?/\r\n"
                                          "[InternetShortcut.W]\r\nURL=http://+1VytbcW0-/+2D3eAA-\r\n")),
            L"http://한국어/\U0001F600");
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"w.url", "[InternetShortcut.W]\r\nURL=+ZeVnLIqe-/+AEA-/a+-b/~c\\d\r\n")),
            L"日本語/@/a+b/~c\\d");
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[InternetShortcut]\r\nURL=http://a/\r\n")) utf16 += {c, '\0'};
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"utf16.url", utf16)), L"http://a/");
}

TEST_F(UrlFileReaderWin, PathsThatNameNoReadableFileGiveEmptyText) {
  EXPECT_EQ(ReadInternetShortcutUrl(Path(L"missing.url")), L"");
  EXPECT_EQ(ReadInternetShortcutUrl(Path(L"no folder\\missing.url")), L"");
  EXPECT_EQ(ReadInternetShortcutUrl(L""), L"");
  ASSERT_TRUE(CreateDirectoryW(Path(L"folder.url").c_str(), nullptr));
  EXPECT_EQ(ReadInternetShortcutUrl(Path(L"folder.url")), L"");
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"empty.url", "")), L"");
}

TEST_F(UrlFileReaderWin, LockedFiles) {
  const std::wstring path = Write(L"locked.url", kShortcut);
  {
    // Opened elsewhere without sharing: the open fails, empty text.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadInternetShortcutUrl(path), L"");
    CloseHandle(h);
  }
  EXPECT_EQ(ReadInternetShortcutUrl(path), L"http://example.com/");
  {
    // Open elsewhere for writing and deleting, sharing everything: still read.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadInternetShortcutUrl(path), L"http://example.com/");
    CloseHandle(h);
  }
}

TEST_F(UrlFileReaderWin, GigabyteSparseFileIsReadWholeInBoundedMemory) {
  const std::wstring path = Write(L"sparse.url", kShortcut);
  {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    // Not every file system takes the flag; extending the end leaves a hole
    // on the Unix file systems under Wine anyway.
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 1ll << 30;
    ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    // The section that counts comes after the gigabyte, as Windows reads it.
    const std::string tail = "\r\n[InternetShortcut.W]\r\nURL=+AEA-\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr));
    CloseHandle(h);
  }
  PROCESS_MEMORY_COUNTERS before{};
  before.cb = sizeof before;
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
  EXPECT_EQ(ReadInternetShortcutUrl(path), L"@");
  PROCESS_MEMORY_COUNTERS after{};
  after.cb = sizeof after;
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
  EXPECT_LT(after.PeakPagefileUsage - before.PeakPagefileUsage, SIZE_T{64} << 20);
}

TEST_F(UrlFileReaderWin, PathsLongerThanMaxPath) {
  std::wstring folder = dir_.str();
  std::vector<std::wstring> made;
  for (int i = 0; i < 4; ++i) {
    folder += L"\\" + std::wstring(100, L'd');
    if (!CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) break;
    made.push_back(folder);
  }
  const std::wstring path = folder + L"\\long.url";
  HANDLE h = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(h, kShortcut.data(), static_cast<DWORD>(kShortcut.size()), &written, nullptr);
    CloseHandle(h);
  }
  EXPECT_EQ(made.size(), 4u);
  EXPECT_GT(path.size(), static_cast<size_t>(MAX_PATH));
  EXPECT_EQ(ReadInternetShortcutUrl(path), L"http://example.com/");
  // The temporary folder's own clean-up cannot remove paths this long.
  DeleteFileW((L"\\\\?\\" + path).c_str());
  for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
}

// A path may lead to a named pipe (a share's \\server\pipe\x, or a link
// to one). Its server learns who opened it but cannot act as that user, and
// nothing is read from it.
TEST_F(UrlFileReaderWin, PipesAreNotReadAndTheirServerCannotImpersonate) {
  const std::wstring name = L"\\\\.\\pipe\\vorpa-reader-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                       nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  SECURITY_IMPERSONATION_LEVEL level = SecurityImpersonation;
  bool impersonated = false;
  std::atomic<bool> connected = false;
  std::thread server([&] {
    const bool ok = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
    connected = true;
    if (!ok) return;
    if (!ImpersonateNamedPipeClient(pipe)) return;
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
      DWORD size = 0;
      impersonated = GetTokenInformation(token, TokenImpersonationLevel, &level, sizeof level, &size) != 0;
      CloseHandle(token);
    }
    RevertToSelf();
  });
  EXPECT_EQ(ReadInternetShortcutUrl(name), L"");
  // A reader that never opened the pipe leaves the server waiting: free it.
  for (int i = 0; i < 100 && !connected; ++i) Sleep(50);
  if (!connected) {
    ADD_FAILURE() << "the reader did not open the pipe";
    CloseHandle(CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  server.join();
  CloseHandle(pipe);
  // Wine's server hands a pipe server its own token at the impersonation
  // level, whatever the client asked for; there is nothing to observe.
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
    GTEST_SKIP() << "Wine ignores the client's impersonation level";
  // No token at all (the client was already gone) is as safe as a token
  // that only identifies.
  if (impersonated) {
    EXPECT_LE(level, SecurityIdentification);
  }
}

