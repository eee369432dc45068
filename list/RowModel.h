#pragma once
// The rows of the list and their selection marks. The list view is virtual
// and draws from here; nothing else holds rows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "list/UrlEntry.h"

namespace vorpa {

class RowModel {
 public:
  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const UrlEntry& operator[](size_t i) const { return rows_[i]; }
  const std::vector<UrlEntry>& rows() const { return rows_; }

  void Append(UrlEntry row);
  void Insert(size_t index, UrlEntry row);
  void Clear();
  void Reserve(size_t n) { rows_.reserve(n); selected_.reserve(n); }

  bool IsSelected(size_t i) const { return selected_[i] != 0; }
  void SetSelected(size_t i, bool on) { selected_[i] = on ? 1 : 0; }
  void SetSelectedRange(size_t first, size_t last, bool on);  // inclusive
  void SelectAll();
  void ClearSelection();
  size_t SelectedCount() const;
  // The first selected row, or size() when none is.
  size_t FirstSelected() const;

  // Removes every selected row in one pass; the others keep their order.
  void RemoveSelected();

  // Stable sort by a column's text (0-based), ascending or descending, with
  // the list's case-insensitive comparison. Selection marks travel with rows.
  void SortByColumn(int column, bool descending);

  // Moves the selected rows, in their old order, to just before the row at
  // `base` (0-based, as it stood before the move) or to the end when base is
  // size(). Releasing over a selected row keeps the order. No row is selected
  // afterwards.
  void MoveSelectedBefore(size_t base);

 private:
  std::vector<UrlEntry> rows_;
  std::vector<uint8_t> selected_;
};

}  // namespace vorpa
