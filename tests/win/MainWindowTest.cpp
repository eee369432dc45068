// The main window as a user meets it: caption, menus, the empty list with its
// headers, layout on resize and closing.
#include <windows.h>

#include <filesystem>
#include <map>

#include "app/Twips.h"
#include "app/resource.h"
#include "filefolder/clsFileFolder.h"
#include "list/Columns.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using vorpa::test::MainWindowTest;
using vorpa::test::Pump;

namespace {

std::wstring MenuText(HMENU menu, UINT pos) {
  wchar_t buf[256] = {};
  GetMenuStringW(menu, pos, buf, static_cast<int>(std::size(buf)), MF_BYPOSITION);
  return buf;
}

RECT ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void SetClientSize(HWND hwnd, int width, int height) {
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), TRUE, 0);
  SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
}

}  // namespace

TEST_F(MainWindowTest, StartsWithCaptionAndEmptyThreeColumnList) {
  wchar_t caption[64] = {};
  GetWindowTextW(form().hwnd(), caption, 64);
  EXPECT_STREQ(caption, L"VORPA");
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_EQ(HeaderText(0), L"ファイル名");
  EXPECT_EQ(HeaderText(1), L"URLアドレス");
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
  EXPECT_EQ(HeaderText(3), L"");  // exactly three
  // 2310, 4650 and 4650 twips, from the design width of the list.
  EXPECT_EQ(HeaderWidth(0), TwipsToPixels(2310));
  EXPECT_EQ(HeaderWidth(1), TwipsToPixels(4650));
  EXPECT_EQ(HeaderWidth(2), TwipsToPixels(4650));
  // The design's client area, with the list inside its margins.
  RECT client{};
  GetClientRect(form().hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(11880));
  EXPECT_EQ(client.bottom, TwipsToPixels(5550));
  const RECT r = ChildRect(list());
  EXPECT_EQ(r.left, TwipsToPixels(90));
  EXPECT_EQ(r.top, TwipsToPixels(30));
  EXPECT_EQ(r.right - r.left, TwipsToPixels(11700));
  EXPECT_EQ(r.bottom - r.top, TwipsToPixels(5550 - 90));
  const LONG style = GetWindowLongW(list(), GWL_STYLE);
  EXPECT_TRUE(style & LVS_OWNERDATA);
  EXPECT_TRUE(style & LVS_REPORT);
  EXPECT_FALSE(style & LVS_SINGLESEL);
}

TEST_F(MainWindowTest, JapaneseResourceTextsArriveAsUtf16) {
  // Spelled with escapes so a wrong code page of the resource script cannot
  // also spoil the expectation.
  HMENU bar = GetMenu(form().hwnd());
  EXPECT_EQ(MenuText(bar, 0), L"\u30D5\u30A1\u30A4\u30EB(&F)");
  EXPECT_EQ(MenuText(bar, 2), L"\u8A2D\u5B9A\uFF08&S)");
}

TEST_F(MainWindowTest, MenuTreeHasItsCaptionsMarksAndNoHiddenItems) {
  HMENU bar = GetMenu(form().hwnd());
  ASSERT_EQ(GetMenuItemCount(bar), 4);
  EXPECT_EQ(MenuText(bar, 0), L"ファイル(&F)");
  EXPECT_EQ(MenuText(bar, 1), L"編集(&E)");
  EXPECT_EQ(MenuText(bar, 2), L"設定（&S)");
  EXPECT_EQ(MenuText(bar, 3), L"バージョン情報(&V)");
  EXPECT_EQ(GetSubMenu(bar, 3), nullptr);  // a command, not a submenu

  const std::vector<std::wstring> file = {L"フォルダを開く\tCtrl+O", L"", L"EXCELで表示\tCtrl+L",
                                          L"リストをCSV形式で保存する\tCtrl+S", L"", L"閉じる\tCtrl+X"};
  const std::vector<std::wstring> edit = {L"全て選択\tCtrl+A", L"全ての選択解除（ESC）", L"選択項目の削除\tDel",
                                          L"全て削除\tShift+Del"};
  const std::vector<std::wstring> settings = {
      L"お気に入りのフォルダを開く\tCtrl+F", L"デスクトップのフォルダを開く\tCtrl+D", L"",
      L"新規にフォルダを開く\tCtrl+N", L"フォルダを追加で開く\tCtrl+M", L"",
      L"リストアップにサブフォルダを含めない\tCtrl+I", L"リストアップにサブフォルダを含める\tCtrl+E"};
  const std::vector<std::wstring>* expected[] = {&file, &edit, &settings};
  for (int m = 0; m < 3; ++m) {
    HMENU sub = GetSubMenu(bar, m);
    ASSERT_EQ(GetMenuItemCount(sub), static_cast<int>(expected[m]->size())) << m;
    for (size_t i = 0; i < expected[m]->size(); ++i) {
      EXPECT_EQ(MenuText(sub, static_cast<UINT>(i)), (*expected[m])[i]) << m << "/" << i;
      if ((*expected[m])[i].empty()) {
        EXPECT_TRUE(GetMenuState(sub, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR);
      }
    }
  }
  // The two hidden File items and the pop-up's top item are not in the bar.
  EXPECT_EQ(GetMenuState(bar, IDM_DESKTOPADDOPEN, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(GetMenuState(bar, IDM_FAVORITESADDOPEN, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_EQ(GetMenuState(bar, IDM_PALLSELECT, MF_BYCOMMAND), static_cast<UINT>(-1));

  // Index 0 of each Settings pair starts checked.
  EXPECT_TRUE(form().IsChecked(IDM_FAVORITESDESKTOP0));
  EXPECT_FALSE(form().IsChecked(IDM_FAVORITESDESKTOP1));
  EXPECT_TRUE(form().IsChecked(IDM_NEWADD0));
  EXPECT_FALSE(form().IsChecked(IDM_NEWADD1));
  EXPECT_TRUE(form().IsChecked(IDM_SUBFOLDER0));
  EXPECT_FALSE(form().IsChecked(IDM_SUBFOLDER1));

  // The pop-up: the Edit captions without the "（ESC）".
  ASSERT_NE(form().mnuPop, nullptr);
  ASSERT_EQ(GetMenuItemCount(form().mnuPop), 4);
  EXPECT_EQ(MenuText(form().mnuPop, 0), L"全て選択");
  EXPECT_EQ(MenuText(form().mnuPop, 1), L"全ての選択解除");
  EXPECT_EQ(MenuText(form().mnuPop, 2), L"選択項目の削除");
  EXPECT_EQ(MenuText(form().mnuPop, 3), L"全て削除");
}

TEST_F(MainWindowTest, ShortcutTextsAndAcceleratorTableAgree) {
  const int n = CopyAcceleratorTableW(form().accelerators(), nullptr, 0);
  std::vector<ACCEL> table(static_cast<size_t>(n));
  CopyAcceleratorTableW(form().accelerators(), table.data(), n);

  const auto describe = [](const ACCEL& a) {
    std::wstring s;
    if (a.fVirt & FCONTROL) s += L"Ctrl+";
    if (a.fVirt & FSHIFT) s += L"Shift+";
    if (a.fVirt & FALT) s += L"Alt+";
    s += a.key == VK_DELETE ? std::wstring(L"Del") : std::wstring(1, static_cast<wchar_t>(a.key));
    return s;
  };
  std::map<UINT, std::wstring> fromTable;
  for (const ACCEL& a : table) {
    EXPECT_TRUE(a.fVirt & FVIRTKEY);
    EXPECT_TRUE(fromTable.emplace(a.cmd, describe(a)).second) << "two keys for command " << a.cmd;
  }
  // Every menu item with a shortcut text has exactly that key, and no key
  // goes to an item that does not show it.
  std::map<UINT, std::wstring> fromMenu;
  HMENU bar = GetMenu(form().hwnd());
  for (int m = 0; m < GetMenuItemCount(bar); ++m) {
    HMENU sub = GetSubMenu(bar, m);
    for (int i = 0; sub && i < GetMenuItemCount(sub); ++i) {
      const std::wstring text = MenuText(sub, static_cast<UINT>(i));
      const size_t tab = text.find(L'\t');
      if (tab != std::wstring::npos) fromMenu[GetMenuItemID(sub, i)] = text.substr(tab + 1);
    }
  }
  EXPECT_EQ(fromMenu, fromTable);
  EXPECT_EQ(fromMenu.size(), 13u);
}

TEST_F(MainWindowTest, SettingsPairsMoveTheirMarks) {
  Command(IDM_SUBFOLDER1);
  EXPECT_FALSE(form().IsChecked(IDM_SUBFOLDER0));
  EXPECT_TRUE(form().IsChecked(IDM_SUBFOLDER1));
  Command(IDM_SUBFOLDER1);  // the checked item stays checked
  EXPECT_TRUE(form().IsChecked(IDM_SUBFOLDER1));
  Command(IDM_SUBFOLDER0);
  EXPECT_TRUE(form().IsChecked(IDM_SUBFOLDER0));
  EXPECT_FALSE(form().IsChecked(IDM_SUBFOLDER1));
  Command(IDM_NEWADD1);
  EXPECT_TRUE(form().IsChecked(IDM_NEWADD1));
  EXPECT_TRUE(form().IsChecked(IDM_FAVORITESDESKTOP0));  // other pairs untouched
  Command(IDM_FAVORITESDESKTOP1);
  EXPECT_FALSE(form().IsChecked(IDM_FAVORITESDESKTOP0));
  form().mnuFavoritesDesktop_Click(7);  // not an index of the pair
  EXPECT_TRUE(form().IsChecked(IDM_FAVORITESDESKTOP1));
}

TEST_F(MainWindowTest, ListFollowsTheClientAreaWithItsMargins) {
  HWND w = form().hwnd();
  SetClientSize(w, 600, 400);
  RECT r = ChildRect(list());
  EXPECT_EQ(r.left, TwipsToPixels(90));
  EXPECT_EQ(r.top, TwipsToPixels(30));
  EXPECT_EQ(r.right - r.left, TwipsToPixels(PixelsToTwips(600) - 180));
  EXPECT_EQ(r.bottom - r.top, TwipsToPixels(PixelsToTwips(400) - 90));
  // Resizing keeps the column widths; rebuilding the headers recomputes them.
  EXPECT_EQ(HeaderWidth(0), TwipsToPixels(2310));
  form().ClearList(L"");
  const ColumnWidths cw = ComputeColumnWidths(PixelsToTwips(r.right - r.left));
  EXPECT_EQ(HeaderWidth(0), TwipsToPixels(cw.name));
  EXPECT_EQ(HeaderWidth(2), TwipsToPixels(cw.folder));

  // Minimizing leaves the list alone; restoring lays it out again.
  ShowWindow(w, SW_MINIMIZE);
  Pump();
  RECT after = ChildRect(list());
  EXPECT_EQ(after.right - after.left, r.right - r.left);
  EXPECT_EQ(after.bottom - after.top, r.bottom - r.top);
  ShowWindow(w, SW_RESTORE);
  Pump();
  after = ChildRect(list());
  EXPECT_EQ(after.right - after.left, r.right - r.left);

  // Maximized: the whole client area less the margins.
  ShowWindow(w, SW_MAXIMIZE);
  Pump();
  RECT client;
  GetClientRect(w, &client);
  after = ChildRect(list());
  EXPECT_EQ(after.right - after.left, TwipsToPixels(PixelsToTwips(client.right) - 180));
  EXPECT_EQ(after.bottom - after.top, TwipsToPixels(PixelsToTwips(client.bottom) - 90));
  ShowWindow(w, SW_RESTORE);
  Pump();

  // Smaller than the margins: the list shrinks to nothing, nothing fails.
  // Without WM_WINDOWPOSCHANGING the window keeps no minimum tracking size.
  SetWindowPos(w, nullptr, 0, 0, 3, 3, SWP_NOMOVE | SWP_NOZORDER | SWP_NOSENDCHANGING);
  Pump();
  GetClientRect(w, &client);
  ASSERT_LT(client.right, TwipsToPixels(180));
  ASSERT_LT(client.bottom, TwipsToPixels(90));
  after = ChildRect(list());
  EXPECT_EQ(after.right - after.left, 0);
  EXPECT_EQ(after.bottom - after.top, 0);
  EXPECT_TRUE(IsWindow(w));
}

// The control asks for a row's text with a buffer of its own, and keeps
// what it gets only as long as that buffer lives.
TEST_F(MainWindowTest, RowTextsAreCopiedIntoTheListsBuffer) {
  const std::wstring name = std::wstring(10, L'a') + L"\U0001F600" + L"tail";  // a surrogate pair at 10 and 11
  form().rows.Append({name, L"http://x/", L""});
  form().RefreshList();
  const struct {
    int row, column, size;
    std::wstring shown;
  } cases[] = {
      {0, 0, 64, name},
      {0, 0, 11, std::wstring(10, L'a')},
      {0, 0, 12, std::wstring(10, L'a')},  // the pair is not split
      {0, 0, 13, name.substr(0, 12)},
      {0, 0, 1, L""},
      {0, 1, 64, L"http://x/"},
      {0, 2, 64, L""},
      {1, 0, 64, L""},  // past the last row
  };
  for (const auto& c : cases) {
    wchar_t buf[80];
    std::fill(std::begin(buf), std::end(buf), L'#');
    NMLVDISPINFOW info{};
    info.hdr.hwndFrom = list();
    info.hdr.idFrom = IDC_LSTVIEW;
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = c.row;
    info.item.iSubItem = c.column;
    info.item.pszText = buf;
    info.item.cchTextMax = c.size;
    SendMessageW(form().hwnd(), WM_NOTIFY, IDC_LSTVIEW, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.item.pszText, buf) << c.size;
    EXPECT_EQ(std::wstring(buf, wcsnlen(buf, static_cast<size_t>(c.size))), c.shown) << c.size;
    EXPECT_EQ(buf[c.size], L'#') << "written past the buffer of " << c.size;
  }
}

TEST_F(MainWindowTest, HeaderRulesThroughTheWindowKeepEveryRow) {
  form().ClearList(L"C:\\A");
  form().rows.Append({L"one", L"http://one/", L"\\x"});
  form().rows.Append({L"二", L"http://二/", L""});
  form().RefreshList();
  EXPECT_EQ(HeaderText(2), L"ファイルパス (C:\\A)");
  form().MakeColumns(L"c:\\a", true);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (c:\\a)");
  form().MakeColumns(L"C:\\B", true);
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
  EXPECT_EQ(form().strListFolder, L"");
  form().MakeColumns(L"C:\\C", true);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (C:\\C)");
  form().MakeColumns(L"", false);  // as a drop does
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
  EXPECT_EQ(form().strListFolder, L"C:\\C");

  // Every rebuild left the rows and their three texts alone.
  ASSERT_EQ(ItemCount(), 2);
  EXPECT_EQ(ItemText(0, 0), L"one");
  EXPECT_EQ(ItemText(0, 1), L"http://one/");
  EXPECT_EQ(ItemText(0, 2), L"\\x");
  EXPECT_EQ(ItemText(1, 0), L"二");
  EXPECT_EQ(ItemText(1, 2), L"");

  form().ClearList(L"");
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_EQ(HeaderText(2), L"ファイルパス");

  // A folder with a long path is named whole (the CSV header reads it back).
  const std::wstring deep = L"C:\\" + std::wstring(700, L'長');
  form().ClearList(deep);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + deep + L")");
}

TEST_F(MainWindowTest, HoldsAndShowsOneHundredThousandRows) {
  for (int i = 0; i < 100000; ++i)
    form().rows.Append({L"n" + std::to_wstring(i), L"http://h/" + std::to_wstring(i), L""});
  form().RefreshList();
  EXPECT_EQ(ItemCount(), 100000);
  EXPECT_EQ(ItemText(99999, 1), L"http://h/99999");
  SendMessageW(list(), LVM_ENSUREVISIBLE, 99999, FALSE);
  Pump();
  EXPECT_GT(SendMessageW(list(), LVM_GETTOPINDEX, 0, 0), 99000);
}

// Closing by the close box, by "閉じる" and by Ctrl+X: the window goes at
// once, without a question, and the file service object is released.
class ClosingTest : public MainWindowTest, public testing::WithParamInterface<int> {};

TEST_P(ClosingTest, ClosesAtOnceAndReleasesTheFileService) {
  test::MessageRecorder boxes;
  HWND w = form().hwnd();
  form().FileFolder();
  ASSERT_NE(form().objFileFolder, nullptr);
  switch (GetParam()) {
    case 0:
      SendMessageW(w, WM_CLOSE, 0, 0);
      break;
    case 1:
      Command(IDM_CLOSE);
      break;
    case 2: {
      // The real key path: Ctrl+X through the accelerator table.
      MSG msg{w, WM_KEYDOWN, 'X', 0, 0, {}};
      BYTE keys[256] = {};
      GetKeyboardState(keys);
      keys[VK_CONTROL] = 0x80;
      SetKeyboardState(keys);
      const bool translated = form().TranslateAccel(msg);
      keys[VK_CONTROL] = 0;
      SetKeyboardState(keys);
      EXPECT_TRUE(translated);
      break;
    }
  }
  Pump();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(form().objFileFolder, nullptr);
  EXPECT_TRUE(boxes.texts.empty());
}

INSTANTIATE_TEST_SUITE_P(ThreeWays, ClosingTest, testing::Values(0, 1, 2));

namespace {

struct ProcessWindow {
  DWORD process;
  HWND found;
};
BOOL CALLBACK FindProcessWindow(HWND w, LPARAM lp) {
  auto* want = reinterpret_cast<ProcessWindow*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  wchar_t caption[16] = {};
  GetWindowTextW(w, caption, 16);
  if (pid != want->process || !IsWindowVisible(w) || wcscmp(caption, L"VORPA") != 0) return TRUE;
  want->found = w;
  return FALSE;
}

}  // namespace

// The program itself: closing its window ends its message loop and the
// process, with exit code 0.
TEST(Program, ClosingTheWindowEndsTheProgramWithCodeZero) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path exe = std::filesystem::path(self).parent_path() / L"vorpa.exe";
  ASSERT_TRUE(std::filesystem::exists(exe)) << "built next to the tests";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + exe.wstring() + L"\"";
  ASSERT_TRUE(CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             exe.parent_path().c_str(), &startup, &pi));
  ProcessWindow window{pi.dwProcessId, nullptr};
  for (int i = 0; i < 200 && !window.found; ++i) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&window));
  }
  EXPECT_NE(window.found, nullptr) << "no main window appeared";
  if (window.found) PostMessageW(window.found, WM_CLOSE, 0, 0);
  const DWORD waited = WaitForSingleObject(pi.hProcess, 10000);
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program did not end";
  DWORD code = 1;
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST_F(MainWindowTest, ListHasANameForScreenReaders) {
  // A screen reader names a list by its window text (the standard
  // accessible object answers its name with it; Wine's oleacc has no object
  // for a list view to ask).
  wchar_t text[64] = {};
  SendMessageW(list(), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"URL一覧");
}
