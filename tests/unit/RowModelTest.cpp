#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

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
  // Ranges the control reports for rows the model no longer has.
  m.SetSelectedRange(7, 99, true);
  m.SetSelectedRange(5, 5, true);
  m.SetSelectedRange(3, 2, true);
  EXPECT_EQ(m.SelectedCount(), 0u);
  m.SetSelectedRange(4, 4, true);
  EXPECT_EQ(m.FirstSelected(), 4u);
}

// While a test holds an OutOfMemory, every allocation of the program fails
// with std::bad_alloc, as it does when the process has no memory left.
namespace {
bool g_memoryGone = false;

void* Allocate(std::size_t size) {
  if (g_memoryGone) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

struct OutOfMemory {
  OutOfMemory() { g_memoryGone = true; }
  ~OutOfMemory() { g_memoryGone = false; }
  OutOfMemory(const OutOfMemory&) = delete;
  OutOfMemory& operator=(const OutOfMemory&) = delete;
};
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return g_memoryGone ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return g_memoryGone ? nullptr : std::malloc(size ? size : 1);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

TEST(RowModelMemory, RowsAndMarksStayInStepWhenAnAllocationFails) {
  // Reserving, filling and moving rows leave the two halves of the model with
  // different room to spare: in each case one half must grow and the other
  // need not.
  const struct {
    const char* what;
    size_t reserve, rows, grownTo;
    bool insert;
  } cases[] = {
      {"marks full, rows with room", 6, 4, 6, false},
      {"marks full, rows with room", 6, 4, 6, true},
      {"rows full, marks with room", 8, 4, 4, false},
      {"rows full, marks with room", 8, 4, 4, true},
  };
  for (const auto& c : cases) {
    const std::string what = std::string(c.what) + (c.insert ? ", insert" : ", append");
    RowModel m;
    m.Reserve(c.reserve);
    while (m.size() < c.rows) m.Append({});
    m.MoveSelectedBefore(m.size());
    while (m.size() < c.grownTo) m.Append({});
    ASSERT_EQ(m.rows().capacity() == m.size(), c.grownTo == c.rows) << what;

    bool threw = false;
    {
      const UrlEntry row;  // built before memory runs out, moved in after
      OutOfMemory gone;
      try {
        c.insert ? m.Insert(0, row) : m.Append(row);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
    }
    ASSERT_TRUE(threw) << what;
    EXPECT_EQ(m.size(), c.grownTo) << what;
    m.SelectAll();
    EXPECT_EQ(m.SelectedCount(), m.size()) << what;
    m.Append({L"after", L"", L""});
    EXPECT_FALSE(m.IsSelected(m.size() - 1)) << what;
    EXPECT_EQ(m.FirstSelected(), 0u) << what;
  }
}
