// Opening a tree of 100,000 shortcut files in 1,000 folders, through the
// folder walk into the row model, against a bare walk that enumerates the
// same tree and reads every file's bytes.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/resource.h"
#include "bench/BenchSupport.h"

using namespace vorpa::bench;

namespace {

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

// Shortcut names as a Japanese user has them: mostly Japanese, some ASCII.
bool MakeTree(const std::wstring& root, int folders, int perFolder) {
  if (!CreateDirectoryW(root.c_str(), nullptr)) return false;
  for (int f = 0; f < folders; ++f) {
    const std::wstring folder = root + L"\\フォルダ" + std::to_wstring(f);
    if (!CreateDirectoryW(folder.c_str(), nullptr)) return false;
    for (int i = 0; i < perFolder; ++i) {
      const std::wstring name = (i % 3 == 0 ? L"Site " : L"ホームページ ") + std::to_wstring(f * perFolder + i);
      const std::string body = "[InternetShortcut]\r\nURL=https://www" + std::to_string(f) + ".example.com/path/page" +
                               std::to_string(i) + ".html\r\nIconIndex=0\r\n";
      if (!WriteBytes(folder + L"\\" + name + L".url", body)) return false;
    }
  }
  return true;
}

// The baseline: what any scan must do at the least.
void BareWalk(const std::wstring& folder, size_t& files, size_t& bytes) {
  WIN32_FIND_DATAW fd;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      BareWalk(path, files, bytes);
      continue;
    }
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes += got;
    CloseHandle(h);
    ++files;
  } while (FindNextFileW(find, &fd));
  FindClose(find);
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// The console program vorpa-list, built beside this benchmark, on the same
// tree, its output thrown away; the time from start to exit.
double RunConsoleTool(const std::wstring& folder, DWORD& exitCode) {
  wchar_t self[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring tool = self;
  tool.resize(tool.find_last_of(L'\\') + 1);
  tool += L"vorpa-list.exe";
  std::wstring command = L"\"" + tool + L"\" -r -q \"" + folder + L"\"";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = nul;
  si.hStdError = nul;
  si.hStdInput = nullptr;
  PROCESS_INFORMATION pi{};
  exitCode = 255;
  const double ms = TimeMs([&] {
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) return;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  });
  CloseHandle(nul);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  // Smaller trees for a quick look: bench_scan <folders> <files per folder>.
  const int folders = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  const int perFolder = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
  const size_t expected = static_cast<size_t>(folders) * static_cast<size_t>(perFolder);

  const std::wstring root = ScratchFolder(L"vorpa-bench-scan");
  RemoveTree(root);
  const double made = TimeMs([&] {
    if (!MakeTree(root, folders, perFolder)) {
      std::printf("bench_scan: could not write the tree\n");
      RemoveTree(root);
      std::exit(1);
    }
  });
  std::printf("bench_scan: wrote %zu shortcut files in %d folders in %.0f ms\n", expected, folders, made);

  HiddenMainWindow window;
  if (!window.ok()) {
    std::printf("bench_scan: could not create the main window\n");
    RemoveTree(root);
    return 1;
  }
  frmMain& form = window.form();
  form.mnuSubFolder_Click(1);  // sub-folders included

  double bestBare = 1e300, bestOurs = 1e300, bestTool = 1e300;
  DWORD toolExit = 0;
  size_t peakPerRow = 0, heldPerRow = 0;
  bool rowsOk = true;
  for (int round = 0; round < 2; ++round) {
    size_t files = 0, bytes = 0;
    bestBare = std::min(bestBare, TimeMs([&] { BareWalk(root, files, bytes); }));
    if (files != expected) rowsOk = false;

    form.ClearList(L"");
    const PROCESS_MEMORY_COUNTERS before = Memory();
    bestOurs = std::min(bestOurs, TimeMs([&] {
                          form.ListFolder(root);
                          form.RefreshList();
                        }));
    if (form.rows.size() != expected) rowsOk = false;
    bestTool = std::min(bestTool, RunConsoleTool(root, toolExit));
    if (round == 0 && expected > 0) {
      const PROCESS_MEMORY_COUNTERS after = Memory();
      peakPerRow = (after.PeakWorkingSetSize - std::min(after.PeakWorkingSetSize, before.WorkingSetSize)) / expected;
      heldPerRow = (after.PagefileUsage - std::min(after.PagefileUsage, before.PagefileUsage)) / expected;
    }
  }
  if (!rowsOk) std::printf("bench_scan: WRONG COUNT: %zu rows for %zu files\n", form.rows.size(), expected);
  Report("bench_scan", bestOurs, bestBare, 1.0);
  Report("bench_scan: console vorpa-list -r as the baseline of the window's scan", bestOurs, bestTool, 1.2);
  if (toolExit != 0) std::printf("bench_scan: vorpa-list exited with %lu\n", static_cast<unsigned long>(toolExit));
  std::printf("bench_scan: peak memory %zu bytes per row (working set), %zu bytes per row held after the walk\n",
              peakPerRow, heldPerRow);
  form.ClearList(L"");
  RemoveTree(root);
  return rowsOk ? 0 : 1;
}
