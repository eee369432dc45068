// Saving a list of 100,000 rows as CSV (the rows converted and written to a
// new file that then takes the old one's place) against writing the same
// bytes with one plain write. Also printed: where the time goes, and what a
// save that keeps the old file until the new one is on disk costs at least.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "app/frmMain.h"
#include "common/Text.h"
#include "output/CsvText.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string ReadAll(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  LARGE_INTEGER size{};
  GetFileSizeEx(f, &size);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(f);
  return bytes;
}

void RawWrite(const std::wstring& path, const std::string& bytes, bool flush = false) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  if (flush) FlushFileBuffers(f);
  CloseHandle(f);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  vorpa::SetMessageHook([](HWND, const std::wstring& text, UINT) {
    std::fwprintf(stderr, L"message: %ls\n", text.c_str());
    return IDOK;
  });

  frmMain form;
  if (!form.Create(GetModuleHandleW(nullptr), SW_HIDE, false)) return 1;
  constexpr size_t kRows = 100000;
  form.rows.Reserve(kRows);
  for (size_t i = 0; i < kRows; ++i) {
    const std::wstring n = std::to_wstring(i);
    form.rows.Append({L"お気に入りのサイト " + n, L"https://www.example.co.jp/path/to/page?id=" + n + L"&lang=ja",
                      L"\\ニュース\\国内\\" + n.substr(0, 2)});
  }
  form.RefreshList();

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring ours = std::wstring(temp) + L"vorpa-bench-csv.csv";
  const std::wstring raw = std::wstring(temp) + L"vorpa-bench-raw.csv";
  const std::wstring floorNew = std::wstring(temp) + L"vorpa-bench-floor.tmp";
  const std::wstring floorTarget = std::wstring(temp) + L"vorpa-bench-floor.csv";

  constexpr int kRounds = 9;
  std::vector<double> oursMs, rawMs, encodeMs, flushedMs, durableMs;
  std::string bytes;
  const vorpa::ColumnCaptions captions{form.ColumnCaption(0), form.ColumnCaption(1), form.ColumnCaption(2)};
  for (int round = 0; round < kRounds; ++round) {
    const auto t0 = Clock::now();
    const bool saved = form.SaveCsvFile(ours);
    const auto t1 = Clock::now();
    if (!saved) return 1;
    if (bytes.empty()) bytes = ReadAll(ours);
    const auto t2 = Clock::now();
    RawWrite(raw, bytes);
    const auto t3 = Clock::now();
    oursMs.push_back(Ms(t1 - t0));
    rawMs.push_back(Ms(t3 - t2));

    // Where the time goes: the conversion alone, and a plain write made
    // durable as the save makes it.
    const auto t4 = Clock::now();
    vorpa::WriteCsvFile(
        captions, form.rows.rows(), vorpa::SystemAnsiCodePage(), [](std::string_view) { return true; },
        [] { return true; });
    const auto t5 = Clock::now();
    RawWrite(raw, bytes, true);
    const auto t6 = Clock::now();
    encodeMs.push_back(Ms(t5 - t4));
    flushedMs.push_back(Ms(t6 - t5));

    // What any save that keeps the old file until the new one is on disk
    // costs at least: the same bytes written beside it, flushed, and renamed
    // over it.
    const auto t7 = Clock::now();
    RawWrite(floorNew, bytes, true);
    MoveFileExW(floorNew.c_str(), floorTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    const auto t8 = Clock::now();
    durableMs.push_back(Ms(t8 - t7));
  }
  DeleteFileW(floorTarget.c_str());
  DeleteFileW(ours.c_str());
  DeleteFileW(raw.c_str());
  DestroyWindow(form.hwnd());

  // The median round, so that one slow disk flush does not decide.
  const double o = Median(oursMs), r = Median(rawMs);
  std::printf(
      "bench_csv: %.1f ms vs %.1f ms baseline, ratio %.2f (aim <= 2) [%zu rows, %zu bytes; conversion alone "
      "%.1f ms, plain write with flush %.1f ms, written beside, flushed and renamed over %.1f ms]\n",
      o, r, r > 0 ? o / r : 0.0, kRows, bytes.size(), Median(encodeMs), Median(flushedMs), Median(durableMs));
  OleUninitialize();
  return 0;
}
