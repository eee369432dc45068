// Times the whole-tree file listing against a bare FindFirstFileExW walk of
// the same tree, in the same run: 100,000 files in 1,000 folders.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "filefolder/clsFileFolder.h"

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFolders = 99;  // per top folder: 10 + 990 = 1,000 folders
constexpr int kFilesPerFolder = 100;
constexpr int kRounds = 3;

std::vector<std::wstring> FolderList(const std::wstring& root) {
  std::vector<std::wstring> folders;
  for (int t = 0; t < kTopFolders; ++t) {
    const std::wstring top = root + L"\\d" + std::to_wstring(t);
    folders.push_back(top);
    for (int s = 0; s < kSubFolders; ++s) folders.push_back(top + L"\\e" + std::to_wstring(s));
  }
  return folders;
}

// Under Wine every file creation is a round trip to the server, so both
// cores share the work.
template <class Fn>
void OnTwoThreads(const std::vector<std::wstring>& folders, Fn fn) {
  std::thread other([&] {
    for (size_t i = 1; i < folders.size(); i += 2) fn(folders[i]);
  });
  for (size_t i = 0; i < folders.size(); i += 2) fn(folders[i]);
  other.join();
}

std::wstring FileName(const std::wstring& folder, int i) { return folder + L"\\f" + std::to_wstring(i) + L".url"; }

void MakeTree(const std::wstring& root, const std::vector<std::wstring>& folders) {
  CreateDirectoryW(root.c_str(), nullptr);
  for (const auto& folder : folders) CreateDirectoryW(folder.c_str(), nullptr);
  OnTwoThreads(folders, [](const std::wstring& folder) {
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const HANDLE h = CreateFileW(FileName(folder, i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
  });
}

void RemoveTree(const std::wstring& root, const std::vector<std::wstring>& folders) {
  OnTwoThreads(folders, [](const std::wstring& folder) {
    for (int i = 0; i < kFilesPerFolder; ++i) DeleteFileW(FileName(folder, i).c_str());
  });
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryW(it->c_str());
  RemoveDirectoryW(root.c_str());
}

// The baseline: the least a recursive listing can do.
size_t BareWalk(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return 0;
  size_t files = 0;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const wchar_t* n = data.cFileName;
      if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
      files += BareWalk(folder + L"\\" + n);
    } else {
      ++files;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return files;
}

template <class Fn>
double Millis(Fn fn) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring root = std::wstring(temp) + L"vorpa-bench-filefolder-" + std::to_wstring(GetCurrentProcessId());
  const std::vector<std::wstring> folders = FolderList(root);
  const double made = Millis([&] { MakeTree(root, folders); });
  std::printf("bench_filefolder: tree of %d files in %zu folders made in %.0f ms\n",
              kFilesPerFolder * static_cast<int>(folders.size()), folders.size(), made);

  clsFileFolder files;
  size_t bareCount = BareWalk(root);  // warms the caches for both
  double bare = 1e300;
  double ours = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    bare = std::min(bare, Millis([&] { bareCount = BareWalk(root); }));
    // The caller's freeing of the result is not part of the listing.
    std::vector<std::wstring> result;
    ours = std::min(ours, Millis([&] { result = files.SFilePath(root); }));
  }
  const bool agree = bareCount == static_cast<size_t>(files.SFilePathCount());
  std::printf("bench_filefolder: %.0f ms vs %.0f ms baseline, ratio %.2f (aim <= 1.2)%s\n", ours, bare, ours / bare,
              agree ? "" : " COUNTS DIFFER");
  RemoveTree(root, folders);
  return agree ? 0 : 1;
}
