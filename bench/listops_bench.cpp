// A header-click sort, select all and deleting every other row of a list of
// 100,000 rows, against sorting or copying the same strings with the
// standard library.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

using namespace vorpa::bench;

namespace {

std::vector<vorpa::UrlEntry> MakeEntries(size_t n) {
  std::vector<vorpa::UrlEntry> entries;
  entries.reserve(n);
  unsigned state = 12345;
  const auto next = [&] { return state = state * 1103515245u + 12345u, (state >> 8) % 1000000u; };
  for (size_t i = 0; i < n; ++i) {
    const unsigned r = next();
    std::wstring name = (r % 3 == 0 ? L"Site " : r % 3 == 1 ? L"ホームページ " : L"ニュース ") + std::to_wstring(r);
    std::wstring url = L"https://www" + std::to_wstring(next() % 1000) + L".example.com/page" + std::to_wstring(i);
    std::wstring folder = L"\\フォルダ" + std::to_wstring(r % 1000);
    entries.push_back({std::move(name), std::move(url), std::move(folder)});
  }
  return entries;
}

void Load(frmMain& form, const std::vector<vorpa::UrlEntry>& entries) {
  form.ClearList(L"");
  for (const auto& e : entries) form.rows.Append(e);
  form.RefreshList();
}

std::vector<std::wstring> Names(const std::vector<vorpa::UrlEntry>& entries) {
  std::vector<std::wstring> names;
  names.reserve(entries.size());
  for (const auto& e : entries) names.push_back(e.text);
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? static_cast<size_t>(std::max(1, std::atoi(argv[1]))) : 100000;
  HiddenMainWindow window;
  if (!window.ok()) {
    std::printf("bench_listops: could not create the main window\n");
    return 1;
  }
  frmMain& form = window.form();
  const std::vector<vorpa::UrlEntry> entries = MakeEntries(n);
  constexpr int kRounds = 3;
  // Each command should take well under 100 ms; the aim shows that bound as
  // a ratio to the baseline of the same run.
  const auto aim = [](double baseline) { return baseline > 0 ? 100.0 / baseline : 0.0; };

  double sortOurs = 1e300, sortStd = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    Load(form, entries);
    form.SortOrder = 0;
    sortOurs = std::min(sortOurs, TimeMs([&] { form.lstView_ColumnClick(1); }));
    std::vector<std::wstring> names = Names(entries);
    sortStd = std::min(sortStd, TimeMs([&] { std::stable_sort(names.begin(), names.end()); }));
  }
  bool ok = form.rows.size() == n;
  Report("bench_listops sort", sortOurs, sortStd, aim(sortStd));

  double copyStd = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    const std::vector<std::wstring> names = Names(entries);
    std::vector<std::wstring> copy;
    copyStd = std::min(copyStd, TimeMs([&] { copy = names; }));
  }

  double selectOurs = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    Load(form, entries);
    selectOurs = std::min(selectOurs, TimeMs([&] { form.mnuAllSelect_Click(); }));
    ok = ok && form.rows.SelectedCount() == n &&
         static_cast<size_t>(SendMessageW(form.lstView, LVM_GETSELECTEDCOUNT, 0, 0)) == n;
  }
  Report("bench_listops select all", selectOurs, copyStd, aim(copyStd));

  double deleteOurs = 1e300, scatteredSelect = 1e300, scatteredSort = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    Load(form, entries);
    for (size_t i = 0; i < n; i += 2) form.rows.SetSelected(i, true);
    // Not a user command, but what a sort with a scattered selection pays.
    scatteredSelect = std::min(scatteredSelect, TimeMs([&] { form.PushSelectionToView(); }));
    scatteredSort = std::min(scatteredSort, TimeMs([&] { form.lstView_ColumnClick(2); }));
    for (size_t i = 0; i < n; ++i) form.rows.SetSelected(i, i % 2 == 0);
    form.PushSelectionToView();
    deleteOurs = std::min(deleteOurs, TimeMs([&] { form.mnuDel_Click(); }));
    ok = ok && form.rows.size() == n / 2 &&
         static_cast<size_t>(SendMessageW(form.lstView, LVM_GETITEMCOUNT, 0, 0)) == n / 2;
  }
  Report("bench_listops delete every other", deleteOurs, copyStd, aim(copyStd));
  Report("bench_listops sort with every other row selected", scatteredSort, sortStd, aim(sortStd));
  std::printf("bench_listops: marking every other row selected in the control: %.1f ms\n", scatteredSelect);
  if (!ok) std::printf("bench_listops: WRONG RESULT\n");
  return ok ? 0 : 1;
}
