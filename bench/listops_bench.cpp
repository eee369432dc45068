// A header-click sort, select all and deleting every other row of a list of
// 100,000 rows, against sorting the same sort keys or copying the same
// strings with the standard library; a sort with half the rows selected
// against the same sort without a selection.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "common/Text.h"

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

// What any sort by a column's text must do: one key per row, then a stable
// sort of the keys.
double SortKeysMs(const std::vector<vorpa::UrlEntry>& entries, int column) {
  return TimeMs([&] {
    std::vector<std::string> keys(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) vorpa::AppendSortKey(entries[i].Column(column), keys[i]);
    std::stable_sort(keys.begin(), keys.end());
  });
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

  double sortOurs = 1e300, sortStd = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    Load(form, entries);
    form.SortOrder = 0;
    sortOurs = std::min(sortOurs, TimeMs([&] { form.lstView_ColumnClick(2); }));
    sortStd = std::min(sortStd, SortKeysMs(entries, 1));
  }
  bool ok = form.rows.size() == n;
  Report("bench_listops sort (header click on the URLs against their sort keys and std::stable_sort)", sortOurs,
         sortStd, 2.0);

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
  Report("bench_listops select all", selectOurs, copyStd, 2.0);

  // The usual way to it: a click has marked one row in the control first.
  double selectAfterClick = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    Load(form, entries);
    form.mnuAllNotSelect_Click();  // the control holds the marks again
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(form.lstView, LVM_SETITEMSTATE, n / 2, reinterpret_cast<LPARAM>(&item));
    ok = ok && form.rows.SelectedCount() == 1;
    selectAfterClick = std::min(selectAfterClick, TimeMs([&] { form.mnuAllSelect_Click(); }));
    ok = ok && form.rows.SelectedCount() == n &&
         static_cast<size_t>(SendMessageW(form.lstView, LVM_GETSELECTEDCOUNT, 0, 0)) == n;
  }
  Report("bench_listops select all with one row marked before", selectAfterClick, copyStd, 2.0);

  double deleteOurs = 1e300, scatteredSelect = 1e300, scatteredSort = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    Load(form, entries);
    for (size_t i = 0; i < n; i += 2) form.rows.SetSelected(i, true);
    // Not a user command: the marks shown in the control.
    scatteredSelect = std::min(scatteredSelect, TimeMs([&] { form.PushSelectionToView(); }));
    form.SortOrder = 0;
    scatteredSort = std::min(scatteredSort, TimeMs([&] { form.lstView_ColumnClick(2); }));
    ok = ok && static_cast<size_t>(SendMessageW(form.lstView, LVM_GETSELECTEDCOUNT, 0, 0)) == n / 2;
    for (size_t i = 0; i < n; ++i) form.rows.SetSelected(i, i % 2 == 0);
    form.PushSelectionToView();
    deleteOurs = std::min(deleteOurs, TimeMs([&] { form.mnuDel_Click(); }));
    ok = ok && form.rows.size() == n / 2 &&
         static_cast<size_t>(SendMessageW(form.lstView, LVM_GETITEMCOUNT, 0, 0)) == n / 2;
  }
  Report("bench_listops delete every other", deleteOurs, copyStd, 2.0);
  Report("bench_listops sort with every other row selected (against the same click without a selection)",
         scatteredSort, sortOurs, 1.5);
  std::printf("bench_listops: marking every other row selected in the control: %.1f ms\n", scatteredSelect);
  if (!ok) std::printf("bench_listops: WRONG RESULT\n");
  return ok ? 0 : 1;
}
