// The console program vorpa-list against the window: on the same tree it
// writes the same CSV bytes as the window's save.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/resource.h"
#include "tests/win/ScanTestSupport.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using namespace vorpa::test;

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// vorpa-list.exe is built beside the test program.
fs::path ToolPath() {
  wchar_t self[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
  return fs::path(self).parent_path() / L"vorpa-list.exe";
}

// Runs the tool and waits; its exit code, or -1 when it could not start.
long RunTool(const std::wstring& arguments) {
  std::wstring command = L"\"" + ToolPath().wstring() + L"\" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<long>(code);
}

class ListToolConsole : public MainWindowTest {};

}  // namespace

TEST_F(ListToolConsole, WritesTheWindowsCsvBytesForTheSameTree) {
  TempDir dir;
  const fs::path tree = dir.path() / L"tree";
  WriteShortcut(tree / L"a.url", L"http://a.example/");
  WriteShortcut(tree / L"b.URL", L"http://b.example/?x=1,2");
  WriteShortcut(tree / L"ホーム.url", L"https://ホーム.example/");
  WriteFile(tree / L"c.txt", "[InternetShortcut]\r\nURL=http://c.example/\r\n");
  WriteShortcut(tree / L"sub" / L"d.url", L"http://d.example/\"q\"");
  WriteShortcut(tree / L"sub" / L"深い" / L"e.url", L"ftp://e.example/");
  WriteFile(tree / L"sub" / L"garbage.url", "\x01\x02 not an ini file");

  struct Case {
    UINT subFolderItem;
    const wchar_t* option;
  };
  for (const Case& c : {Case{IDM_SUBFOLDER0, L""}, Case{IDM_SUBFOLDER1, L"-r "}}) {
    Command(c.subFolderItem);
    Command(IDM_NEWADD0);
    form().OpenFolder(tree.wstring());
    const fs::path fromWindow = dir.path() / L"window.csv";
    const fs::path fromTool = dir.path() / L"tool.csv";
    ASSERT_TRUE(form().SaveCsvFile(fromWindow.wstring()));
    ASSERT_EQ(RunTool(std::wstring(c.option) + L"-q -o \"" + fromTool.wstring() + L"\" \"" + tree.wstring() + L"\""), 0);
    const std::string expected = ReadAll(fromWindow);
    EXPECT_GT(expected.size(), 100u);
    EXPECT_EQ(ReadAll(fromTool), expected) << "option: " << (*c.option ? "-r" : "none");
  }
}

// An output that is, under any spelling, a file the tool lists is refused
// before anything is written; a new file beside them is not.
TEST_F(ListToolConsole, AnOutputThatIsAListedShortcutIsBadUsage) {
  TempDir dir;
  const fs::path tree = dir.path() / L"tree";
  WriteShortcut(tree / L"a.url", L"http://a.example/");
  WriteShortcut(tree / L"sub" / L"b.url", L"http://b.example/");
  const std::string before = ReadAll(tree / L"a.url");
  const std::wstring t = tree.wstring();
  struct Case {
    std::wstring arguments;
    long exitCode;
  };
  for (const Case& c : {Case{L"-o \"" + t + L"\\sub\\..\\a.url\" \"" + t + L"\\a.url\"", 2},
                        Case{L"-o \"" + t + L"\\a.url\" \"" + t + L"\"", 2},
                        Case{L"-o \"" + t + L"\\sub\\b.url\" -r \"" + t + L"\"", 2},
                        Case{L"-o \"" + (dir.path() / L"list.csv").wstring() + L"\" \"" + t + L"\"", 0}}) {
    EXPECT_EQ(RunTool(L"-q " + c.arguments), c.exitCode) << vorpa::EncodeCodePage(c.arguments, vorpa::kCodePageUtf8);
  }
  EXPECT_EQ(ReadAll(tree / L"a.url"), before);
}
