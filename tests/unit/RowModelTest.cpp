#include <gtest/gtest.h>

#include "list/RowModel.h"

using namespace vorpa;

namespace {

RowModel Numbered(int n) {
  RowModel m;
  for (int i = 1; i <= n; ++i) m.Append({std::to_wstring(i), L"u" + std::to_wstring(i), L""});
  return m;
}

std::wstring Order(const RowModel& m) {
  std::wstring s;
  for (size_t i = 0; i < m.size(); ++i) s += (i ? L"," : L"") + m[i].text;
  return s;
}

RowModel Select(RowModel m, std::initializer_list<int> oneBased) {
  for (int i : oneBased) m.SetSelected(static_cast<size_t>(i - 1), true);
  return m;
}

}  // namespace

TEST(RowModelMove, SelectedRowsGoBeforeTheRowUnderThePointer) {
  RowModel m = Select(Numbered(6), {4, 5});
  m.MoveSelectedBefore(0);  // released over row 1
  EXPECT_EQ(Order(m), L"4,5,1,2,3,6");
  EXPECT_EQ(m.SelectedCount(), 0u);

  m = Select(Numbered(6), {1, 2});
  m.MoveSelectedBefore(6);  // below the last row
  EXPECT_EQ(Order(m), L"3,4,5,6,1,2");

  m = Select(Numbered(6), {2, 3});
  m.MoveSelectedBefore(2);  // over row 3, itself selected
  EXPECT_EQ(Order(m), L"1,2,3,4,5,6");
  EXPECT_EQ(m.SelectedCount(), 0u);

  m = Select(Numbered(6), {1, 6});
  m.MoveSelectedBefore(3);  // over row 4
  EXPECT_EQ(Order(m), L"2,3,1,6,4,5");

  m = Numbered(3);
  m.MoveSelectedBefore(1);  // nothing selected
  EXPECT_EQ(Order(m), L"1,2,3");
}

TEST(RowModelRemove, KeepsUnselectedRowsInOrderAndDropsTheMarks) {
  RowModel m = Select(Numbered(6), {2, 3, 5});
  m.RemoveSelected();
  EXPECT_EQ(Order(m), L"1,4,6");
  EXPECT_EQ(m.SelectedCount(), 0u);
  EXPECT_EQ(m[1].url, L"u4");

  m = Numbered(4);
  m.SelectAll();
  m.RemoveSelected();
  EXPECT_TRUE(m.empty());
}

TEST(RowModelSort, StableCaseInsensitiveAndCarriesSelection) {
  RowModel m;
  m.Append({L"b", L"2", L""});
  m.Append({L"A", L"1", L""});
  m.Append({L"a", L"3", L""});
  m.Append({L"B", L"4", L""});
  m.SetSelected(0, true);  // "b"
  m.SortByColumn(0, false);
  EXPECT_EQ(Order(m), L"A,a,b,B");  // equal texts keep their order
  EXPECT_TRUE(m.IsSelected(2));
  EXPECT_EQ(m.SelectedCount(), 1u);
  m.SortByColumn(0, true);
  EXPECT_EQ(Order(m), L"b,B,A,a");
  m.SortByColumn(1, false);
  EXPECT_EQ(Order(m), L"A,b,a,B");
}

TEST(RowModelSelection, RangesAndFirstSelected) {
  RowModel m = Numbered(5);
  EXPECT_EQ(m.FirstSelected(), 5u);
  m.SetSelectedRange(1, 99, true);
  EXPECT_EQ(m.SelectedCount(), 4u);
  EXPECT_EQ(m.FirstSelected(), 1u);
  m.ClearSelection();
  EXPECT_EQ(m.SelectedCount(), 0u);
}
