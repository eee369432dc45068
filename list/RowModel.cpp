#include "list/RowModel.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#include "common/Text.h"

namespace vorpa {

namespace {
// Unsigned byte order, a prefix first. Keys of one column often share long
// beginnings ("https://www."), so eight bytes are compared at a time.
bool KeyLess(const char* a, size_t na, const char* b, size_t nb) {
  const size_t n = std::min(na, nb);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  for (; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
  }
  return na < nb;
}
}  // namespace

// The mark goes in first and comes out again if the row cannot follow: a
// failed allocation leaves the model as it was, never a row without a mark.
void RowModel::Append(UrlEntry row) {
  selected_.push_back(0);
  try {
    rows_.push_back(std::move(row));
  } catch (...) {
    selected_.pop_back();
    throw;
  }
}

void RowModel::Insert(size_t index, UrlEntry row) {
  index = std::min(index, rows_.size());
  const auto mark = selected_.insert(selected_.begin() + static_cast<std::ptrdiff_t>(index), 0);
  try {
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
  } catch (...) {
    selected_.erase(mark);
    throw;
  }
}

void RowModel::Clear() {
  rows_.clear();
  selected_.clear();
}

void RowModel::SetSelectedRange(size_t first, size_t last, bool on) {
  if (first >= rows_.size() || first > last) return;
  last = std::min(last, rows_.size() - 1);
  std::fill(selected_.begin() + static_cast<std::ptrdiff_t>(first),
            selected_.begin() + static_cast<std::ptrdiff_t>(last) + 1, on ? 1 : 0);
}

void RowModel::SelectAll() { std::fill(selected_.begin(), selected_.end(), 1); }

void RowModel::ClearSelection() { std::fill(selected_.begin(), selected_.end(), 0); }

size_t RowModel::SelectedCount() const {
  return static_cast<size_t>(std::count(selected_.begin(), selected_.end(), 1));
}

size_t RowModel::FirstSelected() const {
  return static_cast<size_t>(std::find(selected_.begin(), selected_.end(), 1) - selected_.begin());
}

void RowModel::RemoveSelected() {
  size_t out = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (selected_[i]) continue;
    if (out != i) rows_[out] = std::move(rows_[i]);
    ++out;
  }
  rows_.resize(out);
  selected_.assign(out, 0);
}

void RowModel::SortByColumn(int column, bool descending) {
  // One key per row in one buffer: the platform's comparison is far too slow
  // to run n log n times, and one allocation per key costs as much again.
  std::string keys;
  std::vector<size_t> ends(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) {
    AppendSortKey(rows_[i].Column(column), keys);
    ends[i] = keys.size();
  }
  const auto less = [&](size_t a, size_t b) {
    const size_t beginA = a == 0 ? 0 : ends[a - 1], beginB = b == 0 ? 0 : ends[b - 1];
    return KeyLess(keys.data() + beginA, ends[a] - beginA, keys.data() + beginB, ends[b] - beginB);
  };
  std::vector<size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return descending ? less(b, a) : less(a, b); });
  std::vector<UrlEntry> rows;
  std::vector<uint8_t> selected;
  rows.reserve(rows_.size());
  selected.reserve(rows_.size());
  for (size_t i : order) {
    rows.push_back(std::move(rows_[i]));
    selected.push_back(selected_[i]);
  }
  rows_ = std::move(rows);
  selected_ = std::move(selected);
}

void RowModel::MoveSelectedBefore(size_t base) {
  base = std::min(base, rows_.size());
  std::vector<UrlEntry> rows;
  rows.reserve(rows_.size());
  // Unselected rows above the anchor, then the moved rows, then the rest.
  for (size_t i = 0; i < base; ++i)
    if (!selected_[i]) rows.push_back(std::move(rows_[i]));
  for (size_t i = 0; i < rows_.size(); ++i)
    if (selected_[i]) rows.push_back(std::move(rows_[i]));
  for (size_t i = base; i < rows_.size(); ++i)
    if (!selected_[i]) rows.push_back(std::move(rows_[i]));
  rows_ = std::move(rows);
  selected_.assign(rows_.size(), 0);
}

}  // namespace vorpa
