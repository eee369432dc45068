#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "interaction/OpenUrl.h"
#include "tests/win/ListMouse.h"
#include "tests/win/RealInput.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using namespace vorpa::test;

namespace {

class MouseTest : public MainWindowTest {
 protected:
  int FocusedRow() {
    return static_cast<int>(SendMessageW(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  }
  int ViewSelectedCount() { return static_cast<int>(SendMessageW(list(), LVM_GETSELECTEDCOUNT, 0, 0)); }
  std::wstring Order() {
    std::wstring s;
    for (int i = 0; i < ItemCount(); ++i) s += (i ? L"," : L"") + ItemText(i, 0);
    return s;
  }
  // What the list shows as its pointer when asked.
  HCURSOR PointerShown() {
    SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
    SendMessageW(list(), WM_SETCURSOR, reinterpret_cast<WPARAM>(list()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  }

  // Rows 1..n, `selected` selected, a drag started over row `from` and
  // released over row `to` in column `column` (to 0: below the last row).
  void DragSelected(int n, std::initializer_list<int> selected, int from, int to, int column) {
    FillRows(form(), n);
    SelectRows(form(), selected);
    Move(list(), CellPoint(list(), from - 1, 0));  // the pointer gives the list its current row
    Move(list(), CellPoint(list(), from - 1, 1), MK_LBUTTON);
    ASSERT_EQ(form().lstTag, L"1");
    const POINT release = to > 0 ? CellPoint(list(), to - 1, column) : BelowRows(list(), n);
    SendMessageW(list(), WM_LBUTTONUP, 0, At(release));
    Pump();
  }
};

}  // namespace

TEST_F(MouseTest, RightPressShowsThePopupOnlyWhileARowIsSelected) {
  MenuWatch menus(form().hwnd());

  RightClick(list(), POINT{20, 40});  // empty list
  EXPECT_EQ(menus.loops, 0);

  FillRows(form(), 3);
  RightClick(list(), CellPoint(list(), 0, 1));  // rows, none selected
  EXPECT_EQ(menus.loops, 0);

  SelectRows(form(), {3});
  RightClick(list(), CellPoint(list(), 0, 1));
  EXPECT_EQ(menus.loops, 1);
  ASSERT_FALSE(menus.shown.empty());
  EXPECT_EQ(menus.shown.back(), form().mnuPop);
  // The press belonged to the menu: the list did not move its selection to
  // the row under the pointer.
  EXPECT_FALSE(form().rows.IsSelected(0));
  EXPECT_TRUE(form().rows.IsSelected(2));

  // Below the rows too: the menu depends on the selection, not the spot.
  RightClick(list(), BelowRows(list(), 3));
  EXPECT_EQ(menus.loops, 2);
}

TEST_F(MouseTest, FocusMarkFollowsThePointerAndLeavesTheSelection) {
  FillRows(form(), 5);
  SelectRows(form(), {4});
  Move(list(), CellPoint(list(), 0, 0));
  EXPECT_EQ(FocusedRow(), 0);
  Move(list(), CellPoint(list(), 2, 2));
  EXPECT_EQ(FocusedRow(), 2);
  Move(list(), BelowRows(list(), 5));  // empty space: the mark stays
  EXPECT_EQ(FocusedRow(), 2);
  EXPECT_EQ(form().rows.SelectedCount(), 1u);
  EXPECT_TRUE(form().rows.IsSelected(3));
  EXPECT_EQ(ViewSelectedCount(), 1);
  EXPECT_EQ(form().lstTag, L"");
  EXPECT_EQ(form().lstMousePointer, 0);
}

TEST_F(MouseTest, LeftDragArmsTheMoveWithTheFourHeadedPointer) {
  const HCURSOR sizeAll = LoadCursorW(nullptr, IDC_SIZEALL);
  // No current row in an empty list: nothing is armed.
  Move(list(), POINT{20, 40}, MK_LBUTTON);
  EXPECT_EQ(form().lstTag, L"");
  EXPECT_EQ(form().lstMousePointer, 0);

  FillRows(form(), 3);
  Move(list(), CellPoint(list(), 1, 0));
  EXPECT_NE(PointerShown(), sizeAll);
  Move(list(), CellPoint(list(), 1, 0), MK_LBUTTON);
  EXPECT_EQ(form().lstTag, L"1");
  EXPECT_EQ(form().lstMousePointer, 15);
  EXPECT_EQ(PointerShown(), sizeAll);

  // A move without the button restores the pointer but keeps the mark.
  Move(list(), CellPoint(list(), 2, 0));
  EXPECT_EQ(form().lstMousePointer, 0);
  EXPECT_EQ(form().lstTag, L"1");
  EXPECT_NE(PointerShown(), sizeAll);
}

TEST_F(MouseTest, ReleaseMovesTheSelectedRowsBeforeTheRowUnderThePointer) {
  DragSelected(6, {4, 5}, 4, 1, 2);
  EXPECT_EQ(Order(), L"4,5,1,2,3,6");
  EXPECT_EQ(form().rows.SelectedCount(), 0u);
  EXPECT_EQ(ViewSelectedCount(), 0);
  EXPECT_EQ(form().lstTag, L"");
  EXPECT_EQ(form().lstMousePointer, 0);
  // The row's other texts travel with it.
  EXPECT_EQ(ItemText(0, 1), L"u4");
}

TEST_F(MouseTest, ReleaseBelowTheLastRowMovesToTheEnd) {
  DragSelected(6, {1, 2}, 1, 0, 0);
  EXPECT_EQ(Order(), L"3,4,5,6,1,2");
  EXPECT_EQ(ViewSelectedCount(), 0);
}

TEST_F(MouseTest, ReleaseOverTheMovedRowsKeepsTheOrderAndClearsTheSelection) {
  DragSelected(6, {2, 3}, 2, 3, 0);
  EXPECT_EQ(Order(), L"1,2,3,4,5,6");
  EXPECT_EQ(form().rows.SelectedCount(), 0u);
  EXPECT_EQ(ViewSelectedCount(), 0);
}

TEST_F(MouseTest, PressDragAndReleaseThroughTheListMovesThePressedRow) {
  FillRows(form(), 6);
  SendMessageW(list(), WM_LBUTTONDOWN, MK_LBUTTON, At(CellPoint(list(), 4, 0)));
  Pump();
  EXPECT_TRUE(form().rows.IsSelected(4));
  Move(list(), CellPoint(list(), 2, 0), MK_LBUTTON);
  Move(list(), CellPoint(list(), 1, 0), MK_LBUTTON);
  EXPECT_EQ(form().lstTag, L"1");
  SendMessageW(list(), WM_LBUTTONUP, 0, At(CellPoint(list(), 1, 0)));
  Pump();
  EXPECT_EQ(Order(), L"1,5,2,3,4,6");
  EXPECT_EQ(form().lstTag, L"");
  EXPECT_NE(GetCapture(), list());
}

TEST_F(MouseTest, ReleaseTakenByTheListsOwnLoopStillEndsTheArmedMove) {
  // The list answers a right press by waiting for its release itself; that
  // release must still reach the release handler.
  FillRows(form(), 4);
  Move(list(), CellPoint(list(), 1, 0));
  Move(list(), CellPoint(list(), 1, 0), MK_LBUTTON);
  ASSERT_EQ(form().lstTag, L"1");
  RightClick(list(), CellPoint(list(), 1, 0));
  EXPECT_EQ(form().lstTag, L"");
  EXPECT_EQ(form().lstMousePointer, 0);
  EXPECT_EQ(Order(), L"1,2,3,4");
}

TEST_F(MouseTest, DoubleClickThatWobblesOpensTheRowAndFreesThePointer) {
  FillRows(form(), 3, L"http://example.test/");
  std::vector<std::wstring> opened;
  struct Restore {
    ShellOpenFunction previous;
    ~Restore() { SetShellOpenHook(std::move(previous)); }
  } restore{SetShellOpenHook([&](HWND, const std::wstring& target, const std::wstring&, const std::wstring&) {
    opened.push_back(target);
    return INT_PTR{42};
  })};
  ASSERT_TRUE(BringToFront(form()));
  ASSERT_TRUE(PointerTo(form(), ScreenPoint(list(), CellPoint(list(), 1, 1))));
  // The hand moves a pixel or two while the second press is held.
  for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_MOVE}) {
    SendMouse(flags, flags == MOUSEEVENTF_MOVE ? 2 : 0, flags == MOUSEEVENTF_MOVE ? 1 : 0);
    Settle(form());
  }
  EXPECT_EQ(form().lstTag, L"1") << "the wobble did not arm a move";
  SendMouse(MOUSEEVENTF_LEFTUP);
  Settle(form());
  EXPECT_EQ(opened, std::vector<std::wstring>{L"http://example.test/2"});
  EXPECT_NE(GetCapture(), list());
  EXPECT_EQ(form().lstTag, L"1");  // the move stays armed

  // The next click on the menu bar opens its menu, and the rows keep their
  // selection.
  MenuWatch menus(form().hwnd());
  RECT file{};
  ASSERT_TRUE(GetMenuItemRect(form().hwnd(), GetMenu(form().hwnd()), 0, &file));
  ASSERT_TRUE(PointerTo(form(), POINT{(file.left + file.right) / 2, (file.top + file.bottom) / 2}));
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  SendMouse(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(RunLoopUntil(form(), [&] { return menus.loops > 0; }));
  Settle(form(), 200);
  EXPECT_EQ(menus.loops, 1);
  EXPECT_TRUE(form().rows.IsSelected(1));
  EXPECT_EQ(ViewSelectedCount(), 1);
  EXPECT_EQ(Order(), L"1,2,3");
}

TEST_F(MouseTest, DoubleClickRightOfTheLastColumnOpensThatRow) {
  FillRows(form(), 3, L"http://example.test/");
  std::vector<std::wstring> opened;
  struct Restore {
    ShellOpenFunction previous;
    ~Restore() { SetShellOpenHook(std::move(previous)); }
  } restore{SetShellOpenHook([&](HWND, const std::wstring& target, const std::wstring&, const std::wstring&) {
    opened.push_back(target);
    return INT_PTR{42};
  })};
  // A window wider than its columns: the rows end well before the list does.
  MoveWindow(form().hwnd(), 0, 0, 1260, 500, TRUE);
  Settle(form());
  RECT client{};
  GetClientRect(list(), &client);
  RECT last{};
  last.top = 2;
  last.left = LVIR_BOUNDS;
  SendMessageW(list(), LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&last));
  ASSERT_GT(client.right - last.right, 100) << "the list is not wider than its columns";
  const POINT beyond{(last.right + client.right) / 2, CellPoint(list(), 1, 0).y};
  LVHITTESTINFO hit{};
  hit.pt = beyond;
  ASSERT_EQ(SendMessageW(list(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), -1)
      << "a hit test at the pointer finds no row there";

  ASSERT_TRUE(BringToFront(form()));
  ASSERT_TRUE(PointerTo(form(), ScreenPoint(list(), beyond)));
  for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
    SendMouse(flags);
    Settle(form());
  }
  EXPECT_TRUE(RunLoopUntil(form(), [&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector<std::wstring>{L"http://example.test/2"});
}
