// Sorting by a header click, selecting and deleting rows, through the keys
// and menu items the user has.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/resource.h"
#include "common/Text.h"
#include "tests/win/RealInput.h"
#include "tests/win/ScanTestSupport.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa::test;

namespace {

class ListCommandsTest : public MainWindowTest {
 protected:
  // Rows "1".."n" with URL "u<i>" and folder "\f<i>", in that order.
  void Fill(int n) {
    for (int i = 1; i <= n; ++i)
      form().rows.Append({std::to_wstring(i), L"u" + std::to_wstring(i), L"\\f" + std::to_wstring(i)});
    form().RefreshList();
  }
  void Fill(const std::vector<vorpa::UrlEntry>& entries) {
    for (const auto& e : entries) form().rows.Append(e);
    form().RefreshList();
  }
  std::vector<std::wstring> Column(int column) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < ItemCount(); ++i) texts.push_back(ItemText(i, column));
    return texts;
  }
  void Select(std::initializer_list<int> oneBased) {
    for (int i : oneBased) {
      LVITEMW item{};
      item.stateMask = LVIS_SELECTED;
      item.state = LVIS_SELECTED;
      SendMessageW(list(), LVM_SETITEMSTATE, static_cast<WPARAM>(i - 1), reinterpret_cast<LPARAM>(&item));
    }
  }
  bool Selected(int row) {
    return SendMessageW(list(), LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED;
  }
  int SelectedCount() { return static_cast<int>(SendMessageW(list(), LVM_GETSELECTEDCOUNT, 0, 0)); }

  // A press and release on a header item, as the mouse makes them.
  void ClickHeader(int column) {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list(), LVM_GETHEADER, 0, 0));
    RECT r{};
    ASSERT_TRUE(SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column - 1), reinterpret_cast<LPARAM>(&r)));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    Pump();
  }

  // A key pressed on the list with the given modifier keys held down.
  void Key(WPARAM key, int shift = 0) {
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::copy(std::begin(saved), std::end(saved), std::begin(state));
    state[VK_SHIFT] = (shift & 1) ? 0x80 : 0;
    state[VK_CONTROL] = (shift & 2) ? 0x80 : 0;
    state[VK_MENU] = (shift & 4) ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageW(list(), WM_KEYDOWN, key, 1);
    SetKeyboardState(saved);
  }
};

TEST_F(ListCommandsTest, TwoClicksOnOneHeaderSortItOneWayThenTheOther) {
  Fill({{L"b", L"1", L""}, {L"C", L"2", L""}, {L"a", L"3", L""}, {L"D", L"4", L""}});
  ClickHeader(1);  // the list starts ascending, so the first click sorts descending
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"D", L"C", L"b", L"a"}));
  EXPECT_EQ(form().SortOrder, 1);
  ClickHeader(1);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"a", L"b", L"C", L"D"}));
  EXPECT_EQ(Column(1), (std::vector<std::wstring>{L"3", L"1", L"2", L"4"}));
  EXPECT_EQ(form().SortOrder, 0);
}

TEST_F(ListCommandsTest, EveryClickFlipsTheDirectionWhicheverTheColumn) {
  Fill({{L"a", L"u", L"\\z"}, {L"b", L"u", L"\\x"}, {L"c", L"u", L"\\y"}});
  ClickHeader(1);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"c", L"b", L"a"}));
  ClickHeader(3);
  EXPECT_EQ(Column(2), (std::vector<std::wstring>{L"\\x", L"\\y", L"\\z"}));
  ClickHeader(2);  // all URLs equal: descending keeps the order of ties
  EXPECT_EQ(Column(2), (std::vector<std::wstring>{L"\\x", L"\\y", L"\\z"}));
}

TEST_F(ListCommandsTest, SortFollowsThePlatformComparisonAndKeepsTiesInOrder) {
  const std::vector<std::wstring> names = {L"co-op", L"coop", L"Coop", L"Äpfel", L"apfel", L"zebra", L"Zebra",
                                           L"日本",   L"にほん", L"ニホン", L"ｗｉｄｅ", L"wide",  L"10",    L"9",
                                           L"",      L"_x",   L"x_",   L"😀",    L"ａ",    L"a"};
  std::vector<vorpa::UrlEntry> entries;
  for (size_t i = 0; i < names.size(); ++i) entries.push_back({names[i], std::to_wstring(i), L""});
  Fill(entries);
  ClickHeader(1);
  ClickHeader(1);  // ascending
  const auto compare = [](const std::wstring& a, const std::wstring& b) {
    return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                           b.data(), static_cast<int>(b.size()), nullptr, nullptr, 0) -
           CSTR_EQUAL;
  };
  const std::vector<std::wstring> text = Column(0), order = Column(1);
  ASSERT_EQ(text.size(), names.size());
  for (size_t i = 1; i < text.size(); ++i) {
    const int c = compare(text[i - 1], text[i]);
    EXPECT_LE(c, 0) << "rows " << i - 1 << " and " << i << " out of order";
    if (c == 0) {
      EXPECT_LT(std::stoi(order[i - 1]), std::stoi(order[i])) << "tie at " << i << " reordered";
    }
  }
}

TEST_F(ListCommandsTest, RowsAddedAfterASortStayWhereTheyAreAdded) {
  TempDir dir;
  WriteShortcut(dir.path() / L"0first.url", L"http://0.example/");
  Fill({{L"m", L"1", L""}, {L"z", L"2", L""}});
  ClickHeader(1);
  ClickHeader(1);  // ascending: "0first" would sort before both
  ASSERT_EQ(Column(0), (std::vector<std::wstring>{L"m", L"z"}));
  Command(IDM_NEWADD1);
  form().OpenFolder(dir.str());
  const std::vector<std::wstring> names = Column(0);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], L"m");
  EXPECT_EQ(names[1], L"z");
  EXPECT_EQ(Column(1)[2], L"http://0.example/");
}

TEST_F(ListCommandsTest, SelectionTravelsWithItsRowsWhenSorted) {
  Fill({{L"c", L"", L""}, {L"a", L"", L""}, {L"b", L"", L""}});
  Select({1});  // "c"
  ClickHeader(1);
  ClickHeader(1);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"a", L"b", L"c"}));
  EXPECT_FALSE(Selected(0));
  EXPECT_FALSE(Selected(1));
  EXPECT_TRUE(Selected(2));
}

TEST_F(ListCommandsTest, DeleteRemovesTheSelectedRowsOnly) {
  form().MakeColumns(L"C:\\A", false);
  Fill(6);
  Select({2, 3, 5});
  ASSERT_EQ(form().rows.SelectedCount(), 3u);
  Key(VK_DELETE);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"1", L"4", L"6"}));
  EXPECT_EQ(Column(1), (std::vector<std::wstring>{L"u1", L"u4", L"u6"}));
  EXPECT_EQ(Column(2), (std::vector<std::wstring>{L"\\f1", L"\\f4", L"\\f6"}));
  EXPECT_EQ(HeaderText(2), L"ファイルパス (C:\\A)");
  EXPECT_EQ(SelectedCount(), 0);
}

TEST_F(ListCommandsTest, DeletingEveryRowOrNoneResetsTheHeaders) {
  form().MakeColumns(L"C:\\A", false);
  Fill(3);
  Select({1, 2, 3});
  Key(VK_DELETE);
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_EQ(HeaderText(2), L"ファイルパス");

  form().MakeColumns(L"C:\\B", false);
  ASSERT_EQ(HeaderText(2), L"ファイルパス (C:\\B)");
  Key(VK_DELETE);  // on an empty list
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
  EXPECT_EQ(form().strListFolder, L"C:\\B");  // remembered for the next added folder
}

TEST_F(ListCommandsTest, DeleteAllNeedsNoSelection) {
  form().MakeColumns(L"C:\\A", false);
  Fill(4);
  Command(IDM_ALLDEL);
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_TRUE(form().rows.empty());
  EXPECT_EQ(HeaderText(2), L"ファイルパス");

  form().MakeColumns(L"C:\\A", false);
  Fill(2);
  Command(IDM_PALLDEL);
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
}

TEST_F(ListCommandsTest, CtrlASelectsAllWhateverElseIsHeld) {
  Fill(5);
  Key('A');
  EXPECT_EQ(SelectedCount(), 0);
  Key('A', 1);  // Shift only
  EXPECT_EQ(SelectedCount(), 0);
  Key('A', 2 | 1 | 4);  // Ctrl+Shift+Alt
  EXPECT_EQ(SelectedCount(), 5);
  EXPECT_EQ(form().rows.SelectedCount(), 5u);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"1", L"2", L"3", L"4", L"5"}));
}

TEST_F(ListCommandsTest, EscapeClearsTheSelection) {
  Fill(4);
  Key(VK_ESCAPE);  // nothing selected: nothing happens
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(ItemCount(), 4);
  Select({1, 3});
  Key(VK_ESCAPE, 1 | 2);  // any modifier
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(form().rows.SelectedCount(), 0u);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"1", L"2", L"3", L"4"}));
}

// Real key strokes: with Alt held the list gets system keys, which Delete
// and Escape must still reach, while Alt alone and Alt+F4 keep doing what
// Windows does with them.
TEST_F(ListCommandsTest, AltDeleteAndAltEscapeFromTheKeyboard) {
  Fill(5);
  ASSERT_TRUE(BringToFront(form()));
  MenuWatch menus(form().hwnd());
  Select({2, 4});
  Chord(form(), {VK_MENU, VK_DELETE});
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"1", L"3", L"5"}));
  Select({1, 3});
  Chord(form(), {VK_MENU, VK_ESCAPE});
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(form().rows.SelectedCount(), 0u);
  EXPECT_EQ(menus.loops, 0) << "Alt with another key opened the menu bar";

  Chord(form(), {VK_MENU});
  EXPECT_TRUE(RunLoopUntil(form(), [&] { return menus.loops == 1; }));
  EXPECT_EQ(ItemCount(), 3);

  const HWND window = form().hwnd();
  ASSERT_TRUE(BringToFront(form()));
  Chord(form(), {VK_MENU, VK_F4});
  EXPECT_TRUE(RunLoopUntil(form(), [&] { return !IsWindow(window); }));
}

TEST_F(ListCommandsTest, EditAndPopupItemsDoWhatTheirKeysDo) {
  Fill(4);
  Command(IDM_ALLSELECT);
  EXPECT_EQ(SelectedCount(), 4);
  Command(IDM_ALLNOTSELECT);
  EXPECT_EQ(SelectedCount(), 0);
  Command(IDM_PALLSELECT);
  EXPECT_EQ(SelectedCount(), 4);
  Command(IDM_PALLNOTSELECT);
  EXPECT_EQ(SelectedCount(), 0);

  Select({2});
  Command(IDM_DEL);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"1", L"3", L"4"}));
  Select({3});
  Command(IDM_PDEL);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"1", L"3"}));
  Command(IDM_DEL);  // nothing selected
  EXPECT_EQ(ItemCount(), 2);
}

// Large selections reach the control through as few messages as possible;
// these check that the shortcut still marks exactly the model's rows.
TEST_F(ListCommandsTest, LargeSelectionsReachTheControlExactly) {
  Fill(1000);
  for (size_t i = 0; i < 1000; i += 2) form().rows.SetSelected(i, true);
  form().PushSelectionToView();
  EXPECT_EQ(SelectedCount(), 500);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(Selected(i), i % 2 == 0) << "row " << i;

  form().rows.SelectAll();
  for (size_t i : {0u, 500u, 999u}) form().rows.SetSelected(i, false);
  form().PushSelectionToView();
  EXPECT_EQ(SelectedCount(), 997);
  EXPECT_FALSE(Selected(0));
  EXPECT_FALSE(Selected(500));
  EXPECT_FALSE(Selected(999));
  EXPECT_TRUE(Selected(1));

  Key(VK_DELETE);
  EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"1", L"501", L"1000"}));
}

TEST(SortKeyOnThePlatform, OrdersAsTheComparisonDoes) {
  const std::vector<std::wstring> texts = {L"",     L"a",     L"A",    L"co-op", L"coop",   L"co op", L"Äpfel",
                                           L"apfel", L"日本",  L"にほん", L"ニホン", L"ｎｉｈｏｎ", L"カー",  L"かあ",
                                           L"10",   L"9",     L"_x",   L"x'y",   L"xy",     L"😀",    L"\u00e9",
                                           L"e\u0301", L"ß",  L"ss",   L"Ⅻ"};
  const auto key = [](const std::wstring& t) {
    std::string k;
    vorpa::AppendSortKey(t, k);
    return k;
  };
  for (const auto& a : texts) {
    for (const auto& b : texts) {
      const int byCompare = vorpa::CompareForSort(a, b);
      const int byKey = key(a).compare(key(b));
      EXPECT_EQ(byCompare < 0, byKey < 0) << "ordering differs";
      EXPECT_EQ(byCompare == 0, byKey == 0) << "equality differs";
    }
  }
}

}  // namespace

// A long list with thousands of scattered marks: after a delete or a sort the
// control shows exactly the model's rows and marks, and the rows the user was
// looking at stay on top.
TEST_F(ListCommandsTest, LongListKeepsMarksAndScrollPositionAcrossDeleteAndSort) {
  Fill(3000);
  SendMessageW(list(), LVM_ENSUREVISIBLE, 2999, FALSE);
  SendMessageW(list(), LVM_ENSUREVISIBLE, 1500, FALSE);
  Pump();
  const int top = static_cast<int>(SendMessageW(list(), LVM_GETTOPINDEX, 0, 0));
  ASSERT_GT(top, 1000);
  // Every third row below the top goes.
  for (int i = top + 1; i <= 3000; i += 3) Select({i});
  ASSERT_EQ(static_cast<size_t>(SelectedCount()), form().rows.SelectedCount());
  Key(VK_DELETE);
  EXPECT_EQ(ItemCount(), 3000 - (3000 - top + 2) / 3);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(SendMessageW(list(), LVM_GETTOPINDEX, 0, 0), top);
  EXPECT_EQ(ItemText(top, 0), std::to_wstring(top + 2));

  // Marks travel with their rows through a sort.
  for (int i = 1; i <= ItemCount(); i += 2) Select({i});
  const std::vector<std::wstring> before = Column(0);
  std::vector<std::wstring> marked;
  for (int i = 0; i < ItemCount(); i += 2) marked.push_back(before[static_cast<size_t>(i)]);
  ClickHeader(1);
  ASSERT_EQ(static_cast<size_t>(SelectedCount()), marked.size());
  std::vector<std::wstring> nowMarked;
  for (int i = 0; i < ItemCount(); ++i) {
    ASSERT_EQ(Selected(i), form().rows.IsSelected(static_cast<size_t>(i))) << i;
    if (Selected(i)) nowMarked.push_back(ItemText(i, 0));
  }
  std::sort(marked.begin(), marked.end());
  std::sort(nowMarked.begin(), nowMarked.end());
  EXPECT_EQ(nowMarked, marked);
}
