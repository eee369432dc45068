// The selection follows the rows: a sort keeps it on the same rows, the
// user's clicks after a sort build on it as on any other, a delete leaves the
// rows that remain as they were, a move leaves none selected. Rows and marks
// are read back from the control.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/win/ListMouse.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa::test;

namespace {

class SelectionTest : public MainWindowTest {
 protected:
  int RowNamed(const std::wstring& name) {
    for (int i = 0; i < ItemCount(); ++i)
      if (ItemText(i, 0) == name) return i;
    return -1;
  }
  // A press and release on a row with the given keys held, as the mouse
  // makes them; the list waits for the release in a loop of its own.
  void Click(const std::wstring& name, WPARAM keys = 0) {
    const POINT p = CellPoint(list(), RowNamed(name), 0);
    PostMessageW(list(), WM_LBUTTONUP, keys, At(p));
    SendMessageW(list(), WM_LBUTTONDOWN, MK_LBUTTON | keys, At(p));
    Pump();
  }
  // A key pressed on the list with Ctrl held or not.
  void Key(WPARAM key, bool ctrl) {
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::copy(std::begin(saved), std::end(saved), std::begin(state));
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageW(list(), WM_KEYDOWN, key, 1);
    SetKeyboardState(saved);
    Pump();
  }
  // "name" for each row, with a '*' after it when the control marks it.
  std::wstring Shown() {
    std::wstring s;
    for (int i = 0; i < ItemCount(); ++i) {
      s += (i ? L" " : L"") + ItemText(i, 0);
      if (SendMessageW(list(), LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) & LVIS_SELECTED) s += L"*";
    }
    return s;
  }
};

TEST_F(SelectionTest, SortKeepsTheMarksOnTheirRowsAndClicksBuildOnThem) {
  struct Case {
    const char* what;
    std::function<void()> after;  // what the user does after the sort
    const wchar_t* shown;
  };
  const Case cases[] = {
      {"nothing", [] {}, L"a* b c* d e* f"},
      {"Ctrl+click adds a row", [this] { Click(L"b", MK_CONTROL); }, L"a* b* c* d e* f"},
      {"Ctrl+click takes a row away", [this] { Click(L"c", MK_CONTROL); }, L"a* b c d e* f"},
      {"a click marks its row alone", [this] { Click(L"d"); }, L"a b c d* e f"},
      {"a click on a marked row marks it alone", [this] { Click(L"c"); }, L"a b c* d e f"},
      {"Delete keeps the other rows unmarked",
       [this] { SendMessageW(list(), WM_KEYDOWN, VK_DELETE, 1); }, L"b d f"},
      {"Ctrl+A marks every row", [this] { form().mnuAllSelect_Click(); },
       L"a* b* c* d* e* f*"},
      {"a move leaves none marked",
       [this] {
         form().lstTag = L"1";  // armed by a drag
         const POINT p = CellPoint(list(), 0, 0);
         SendMessageW(list(), WM_LBUTTONUP, 0, At(p));
         Pump();
       },
       L"a c e b d f"},
  };
  for (const Case& c : cases) {
    form().ClearList(L"");
    for (const wchar_t* name : {L"f", L"e", L"d", L"c", L"b", L"a"}) form().rows.Append({name, L"u", L""});
    form().RefreshList();
    Pump();
    // Marked by the user in the control, before the sort.
    Click(L"a");
    Click(L"c", MK_CONTROL);
    Click(L"e", MK_CONTROL);
    ASSERT_EQ(Shown(), L"f e* d c* b a*") << c.what;
    form().SortOrder = 1;  // the click sorts ascending
    form().lstView_ColumnClick(1);
    Pump();
    c.after();
    EXPECT_EQ(Shown(), c.shown) << c.what;
    EXPECT_EQ(form().rows.SelectedCount(),
              static_cast<size_t>(SendMessageW(list(), LVM_GETSELECTEDCOUNT, 0, 0)))
        << c.what;
  }
}

// Ctrl+A hands every mark to the model at once, whatever the control held
// before; what the user does next still builds on all of them.
TEST_F(SelectionTest, SelectAllByKeyThenClicksBuildOnIt) {
  struct Case {
    const char* what;
    std::function<void()> before, after;
    const wchar_t* shown;
  };
  const Case cases[] = {
      {"none marked before", [] {}, [] {}, L"a* b* c* d* e* f*"},
      {"Ctrl+click takes a row away", [this] { Click(L"a"); },
       [this] { Click(L"b", MK_CONTROL); }, L"a* b c* d* e* f*"},
      {"a click marks its row alone", [this] { Click(L"a"), Click(L"c", MK_CONTROL); }, [this] { Click(L"d"); },
       L"a b c d* e f"},
      {"a click on a marked row marks it alone", [this] { Click(L"e"); }, [this] { Click(L"c"); },
       L"a b c* d e f"},
      {"Escape clears", [this] { Click(L"b"); }, [this] { Key(VK_ESCAPE, false); }, L"a b c d e f"},
      {"A alone changes nothing", [this] { Click(L"b"); }, [this] { Key('A', false); }, L"a* b* c* d* e* f*"},
  };
  for (const Case& c : cases) {
    form().ClearList(L"");
    for (const wchar_t* name : {L"a", L"b", L"c", L"d", L"e", L"f"}) form().rows.Append({name, L"u", L""});
    form().RefreshList();
    Pump();
    c.before();
    Key('A', true);
    ASSERT_EQ(Shown(), L"a* b* c* d* e* f*") << c.what;
    c.after();
    EXPECT_EQ(Shown(), c.shown) << c.what;
    EXPECT_EQ(form().rows.SelectedCount(),
              static_cast<size_t>(SendMessageW(list(), LVM_GETSELECTEDCOUNT, 0, 0)))
        << c.what;
  }
}

}  // namespace
