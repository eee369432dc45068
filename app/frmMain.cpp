#include "app/frmMain.h"

#include <windowsx.h>

#include <algorithm>

#include "app/Messages.h"
#include "app/Twips.h"
#include "app/frmAbout.h"
#include "app/resource.h"
#include "filefolder/clsFileFolder.h"
#include "list/Columns.h"

using namespace vorpa;

namespace {

constexpr wchar_t kClassName[] = L"VorpaMainWindow";

// Design of the window and the list, in twips.
constexpr double kClientWidth = 11880, kClientHeight = 5550;
constexpr double kListLeft = 90, kListTop = 30, kListWidth = 11700, kListHeight = 4785;

// Commands that would change the rows or start another long command. A walk
// or drop lets messages run, so they can arrive in the middle of one; they
// are ignored then.
bool ChangesListOrRunsLong(UINT id) {
  switch (id) {
    case IDM_OPEN:
    case IDM_EXCEL:
    case IDM_SAVE:
    case IDM_ALLSELECT:
    case IDM_ALLNOTSELECT:
    case IDM_DEL:
    case IDM_ALLDEL:
    case IDM_PALLSELECT:
    case IDM_PALLNOTSELECT:
    case IDM_PDEL:
    case IDM_PALLDEL:
      return true;
    default:
      return false;
  }
}

// Copies as much of `text` as fits `size` characters with its terminator,
// never leaving half of a surrogate pair at the cut.
void CopyTruncated(const std::wstring& text, wchar_t* out, size_t size) {
  size_t n = std::min(text.size(), size - 1);
  if (n < text.size() && n > 0 && IS_HIGH_SURROGATE(text[n - 1])) --n;
  std::copy_n(text.data(), n, out);
  out[n] = L'\0';
}

}  // namespace

int CurrentShiftState() {
  int s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= 1;
  if (GetKeyState(VK_CONTROL) < 0) s |= 2;
  if (GetKeyState(VK_MENU) < 0) s |= 4;
  return s;
}

frmMain::frmMain() = default;

frmMain::~frmMain() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  if (popup_) DestroyMenu(popup_);
}

frmMain::BusyScope::~BusyScope() {
  if (--f_.busyDepth_ == 0 && f_.closePending_) {
    f_.closePending_ = false;
    if (f_.hwnd_) PostMessageW(f_.hwnd_, WM_CLOSE, 0, 0);
  }
}

bool frmMain::Create(HINSTANCE instance, int showCommand, bool quitOnDestroy) {
  quitOnDestroy_ = quitOnDestroy;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(instance, kClassName, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VORPA));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VORPA), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) return false;
  }
  accel_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL));

  RECT r{0, 0, TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight)};
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  AdjustWindowRectEx(&r, style, TRUE, 0);
  // The caption is set by Form_Load.
  if (!CreateWindowExW(0, kClassName, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                       r.bottom - r.top, nullptr, nullptr, instance, this))
    return false;
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  return true;
}

bool frmMain::TranslateAccel(MSG& msg) const {
  return hwnd_ && accel_ && TranslateAcceleratorW(hwnd_, accel_, &msg);
}

clsFileFolder& frmMain::FileFolder() {
  if (!objFileFolder) objFileFolder = std::make_unique<clsFileFolder>();
  return *objFileFolder;
}

void frmMain::SetMousePointer(int pointer) {
  mousePointer_ = pointer;
  SetCursor(LoadCursorW(nullptr, pointer == 11 ? IDC_WAIT : IDC_ARROW));
}

bool frmMain::DoEvents() {
  // The rows added since the last step appear while the messages run. Only
  // the new rows are drawn; the list neither scrolls nor repaints the others.
  if (lstView)
    SendMessageW(lstView, LVM_SETITEMCOUNT, rows.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
      break;
    }
    if (!TranslateAccel(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return !closePending_ && hwnd_ && IsWindow(hwnd_);
}

// ---------------------------------------------------------------------------
// Window procedures

LRESULT CALLBACK frmMain::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  frmMain* self = reinterpret_cast<frmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  // Nothing may be thrown across the window system.
  try {
    return self->HandleMessage(msg, wp, lp);
  } catch (...) {
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT frmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      const HINSTANCE inst = reinterpret_cast<CREATESTRUCTW*>(lp)->hInstance;
      // The window text is the name a screen reader gives the list.
      lstView = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"URL一覧",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                                TwipsToPixels(kListLeft), TwipsToPixels(kListTop), TwipsToPixels(kListWidth),
                                TwipsToPixels(kListHeight), hwnd_, reinterpret_cast<HMENU>(IDC_LSTVIEW), inst, nullptr);
      if (!lstView) return -1;
      if (WindowDpi(hwnd_) != ScreenDpi()) OnDpiChanged(WindowDpi(hwnd_), nullptr);
      ListView_SetExtendedListViewStyle(lstView, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
      SetWindowSubclass(lstView, ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
      popup_ = LoadMenuW(inst, MAKEINTRESOURCEW(IDR_POPUP));
      mnuPop = popup_ ? GetSubMenu(popup_, 0) : nullptr;
      Form_Load();
      return 0;
    }
    case WM_SIZE:
      Form_Resize();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_SETFOCUS:
      if (lstView) SetFocus(lstView);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) <= 1 && lp == 0) OnCommand(LOWORD(wp));
      return 0;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_SETCURSOR:
      if (mousePointer_ == 11) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      // A walk below us on the stack (inside a message box of its own, say)
      // still uses the file service; it is released when the window goes.
      if (!busy()) Form_QueryUnload();
      return TRUE;
    case WM_DESTROY:
      RevokeListDrop();
      if (!busy()) objFileFolder.reset();
      if (lstView) RemoveWindowSubclass(lstView, ListProc, 1);
      if (quitOnDestroy_) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      // The last message: the window's own clean-up still needs its handle.
      const HWND hwnd = hwnd_;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      lstView = nullptr;
      listFont_.reset();
      return DefWindowProcW(hwnd, msg, wp, lp);
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

// The selection helpers send LVM_SETITEMSTATE, LVM_SETCALLBACKMASK and
// WM_SETREDRAW to the list's own procedure directly; ListProc passes them on
// untouched, except marks set while the model draws them.
LRESULT CALLBACK frmMain::ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  try {
    return reinterpret_cast<frmMain*>(ref)->HandleListMessage(hwnd, msg, wp, lp);
  } catch (...) {
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
}

namespace {

// The list control runs its own modal loop on a button press (to tell a click
// from a drag) and takes the release out of the queue there, so the release
// never reaches the list's window procedure. A message hook sees what that
// loop takes, and the release is raised after the press has been handled.
struct ReleaseWatch {
  HWND list = nullptr;
  bool seen = false;
  MSG release{};
};
ReleaseWatch* activeWatch = nullptr;

bool IsButtonRelease(UINT msg) { return msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP; }

int ReleaseButton(UINT msg) { return msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 2 : 4; }

LRESULT CALLBACK WatchReleases(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE && activeWatch && !activeWatch->seen) {
    const MSG* m = reinterpret_cast<const MSG*>(lp);
    if (m && m->hwnd == activeWatch->list && IsButtonRelease(m->message)) {
      activeWatch->seen = true;
      activeWatch->release = *m;
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

LRESULT frmMain::PassPressToList(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  ReleaseWatch watch;
  watch.list = hwnd;
  ReleaseWatch* const outer = activeWatch;
  activeWatch = &watch;
  const HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, WatchReleases, nullptr, GetCurrentThreadId());
  const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
  if (hook) UnhookWindowsHookEx(hook);
  activeWatch = outer;
  if (watch.seen && IsWindow(hwnd)) {
    const LPARAM at = watch.release.lParam;
    AfterListRelease(watch.release.message);
    lstView_MouseUp(ReleaseButton(watch.release.message), CurrentShiftState(), PixelsToTwips(GET_X_LPARAM(at)),
                    PixelsToTwips(GET_Y_LPARAM(at)));
  }
  return r;
}

LRESULT frmMain::HandleListMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const auto buttons = [](WPARAM w) {
    return ((w & MK_LBUTTON) ? 1 : 0) | ((w & MK_RBUTTON) ? 2 : 0) | ((w & MK_MBUTTON) ? 4 : 0);
  };
  const double x = PixelsToTwips(GET_X_LPARAM(lp));
  const double y = PixelsToTwips(GET_Y_LPARAM(lp));
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:  // a key pressed with Alt held
      if (!busy()) lstView_KeyDown(static_cast<int>(wp), CurrentShiftState());
      BeforeListInput(msg, wp, lp);
      break;  // the control's own handling of the key goes on, Alt's menu keys too
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      const int button = msg == WM_LBUTTONDOWN ? 1 : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) ? 2 : 4;
      popupShown_ = false;
      lstView_MouseDown(button, CurrentShiftState(), x, y);
      if (popupShown_) {
        // The menu has had the press and its release; the list's own right
        // click would change the selection the chosen command just used.
        popupShown_ = false;
        return 0;
      }
      BeforeListInput(msg, wp, lp);
      return PassPressToList(hwnd, msg, wp, lp);
    }
    case WM_LBUTTONDBLCLK:
      // The second press of a double-click raises no MouseDown: the list
      // answers it with NM_DBLCLK.
      BeforeListInput(msg, wp, lp);
      return PassPressToList(hwnd, msg, wp, lp);
    case WM_MOUSEMOVE:
      lstView_MouseMove(buttons(wp), CurrentShiftState(), x, y);
      // An armed move follows the pointer outside the list too, so that its
      // release comes back here.
      if (!lstTag.empty() && (wp & MK_LBUTTON) && GetCapture() != hwnd) SetCapture(hwnd);
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      AfterListRelease(msg);
      lstView_MouseUp(ReleaseButton(msg), CurrentShiftState(), x, y);
      return r;
    }
    case LVM_SETITEMSTATE:
      // Marks set from outside while the model draws them belong to the
      // model: the control would keep them nowhere.
      if (marksFromModel_ && lp && (reinterpret_cast<const LVITEMW*>(lp)->stateMask & LVIS_SELECTED)) {
        LVITEMW item = *reinterpret_cast<const LVITEMW*>(lp);
        const bool on = (item.state & LVIS_SELECTED) != 0;
        if (wp == static_cast<WPARAM>(-1)) {
          on ? rows.SelectAll() : rows.ClearSelection();
        } else if (wp < rows.size()) {
          rows.SetSelected(wp, on);
        }
        item.stateMask &= ~static_cast<UINT>(LVIS_SELECTED);
        const LRESULT r = item.stateMask ? DefSubclassProc(hwnd, msg, wp, reinterpret_cast<LPARAM>(&item)) : TRUE;
        PushSelectionToView();
        return r;
      }
      break;
    case WM_SETCURSOR:
      if (mousePointer_ == 11) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      if (lstMousePointer == 15) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT frmMain::OnNotify(NMHDR* hdr) {
  if (!hdr || hdr->hwndFrom != lstView) return 0;
  switch (hdr->code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(hdr)->item;
      const bool valid = item.iItem >= 0 && static_cast<size_t>(item.iItem) < rows.size();
      if ((item.mask & LVIF_STATE) && (item.stateMask & LVIS_SELECTED)) {
        item.state &= ~static_cast<UINT>(LVIS_SELECTED);
        if (valid && rows.IsSelected(static_cast<size_t>(item.iItem))) item.state |= LVIS_SELECTED;
      }
      if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return 0;
      item.pszText[0] = L'\0';
      if (valid) {
        // Copied into the control's own buffer: a pointer into the model
        // would dangle once a walk's next row moves the rows in memory.
        CopyTruncated(rows[static_cast<size_t>(item.iItem)].Column(item.iSubItem), item.pszText,
                      static_cast<size_t>(item.cchTextMax));
      }
      return 0;
    }
    case LVN_ITEMCHANGED: {
      const NMLISTVIEW* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (syncingSelection_ || !(nm->uChanged & LVIF_STATE) || !((nm->uOldState ^ nm->uNewState) & LVIS_SELECTED))
        return 0;
      const bool on = (nm->uNewState & LVIS_SELECTED) != 0;
      if (nm->iItem < 0) {
        on ? rows.SelectAll() : rows.ClearSelection();
      } else if (static_cast<size_t>(nm->iItem) < rows.size()) {
        rows.SetSelected(static_cast<size_t>(nm->iItem), on);
      }
      return 0;
    }
    case LVN_ODSTATECHANGED: {
      const NMLVODSTATECHANGE* nm = reinterpret_cast<NMLVODSTATECHANGE*>(hdr);
      if (syncingSelection_ || !((nm->uOldState ^ nm->uNewState) & LVIS_SELECTED) || nm->iFrom < 0) return 0;
      rows.SetSelectedRange(static_cast<size_t>(nm->iFrom), static_cast<size_t>(nm->iTo),
                            (nm->uNewState & LVIS_SELECTED) != 0);
      return 0;
    }
    case LVN_COLUMNCLICK:
      if (!busy()) lstView_ColumnClick(reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem + 1);
      return 0;
    case NM_DBLCLK:
      lstView_DblClick();
      return 0;
    case LVN_BEGINDRAG: {
      // The list has seen the pointer leave the click area with the left
      // button held: the drag is ours from here, including its release.
      const NMLISTVIEW* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      SetCapture(lstView);
      lstView_MouseMove(1, CurrentShiftState(), PixelsToTwips(nm->ptAction.x), PixelsToTwips(nm->ptAction.y));
      return 0;
    }
    default:
      return 0;
  }
}

void frmMain::OnCommand(UINT id) {
  if (busy() && ChangesListOrRunsLong(id)) return;
  switch (id) {
    case IDM_OPEN: mnuOpen_Click(); break;
    case IDM_EXCEL: mnuExcel_Click(); break;
    case IDM_SAVE: mnuSave_Click(); break;
    case IDM_CLOSE: mnuClose_Click(); break;
    case IDM_ALLSELECT: mnuAllSelect_Click(); break;
    case IDM_ALLNOTSELECT: mnuAllNotSelect_Click(); break;
    case IDM_DEL: mnuDel_Click(); break;
    case IDM_ALLDEL: mnuAllDel_Click(); break;
    case IDM_FAVORITESDESKTOP0: mnuFavoritesDesktop_Click(0); break;
    case IDM_FAVORITESDESKTOP1: mnuFavoritesDesktop_Click(1); break;
    case IDM_NEWADD0: mnuNewAdd_Click(0); break;
    case IDM_NEWADD1: mnuNewAdd_Click(1); break;
    case IDM_SUBFOLDER0: mnuSubFolder_Click(0); break;
    case IDM_SUBFOLDER1: mnuSubFolder_Click(1); break;
    case IDM_VER: mnuVer_Click(); break;
    case IDM_PALLSELECT: mnuPAllSelect_Click(); break;
    case IDM_PALLNOTSELECT: mnuPAllNotSelect_Click(); break;
    case IDM_PDEL: mnuPDel_Click(); break;
    case IDM_PALLDEL: mnuPAllDel_Click(); break;
    default: break;  // the two hidden File items have no action
  }
}

void frmMain::OnClose() {
  if (busy()) {
    // A walk or drop is running below us on the stack: it stops at its next
    // pump step, and the close is repeated when it has unwound.
    closePending_ = true;
    return;
  }
  Form_QueryUnload();
  DestroyWindow(hwnd_);
}

// ---------------------------------------------------------------------------
// Start-up, layout, closing

void frmMain::Form_Load() {
  SetWindowTextW(hwnd_, AppTitle().c_str());
  RegisterListDrop();
  ClearList(L"");
}

void frmMain::Form_Resize() {
  if (!lstView || IsIconic(hwnd_)) return;
  RECT rc;
  GetClientRect(hwnd_, &rc);
  const double width = std::max(0.0, PixelsToTwips(rc.right - rc.left) - 180);
  const double height = std::max(0.0, PixelsToTwips(rc.bottom - rc.top) - 90);
  MoveWindow(lstView, TwipsToPixels(kListLeft), TwipsToPixels(kListTop), TwipsToPixels(width),
             TwipsToPixels(height), TRUE);
}

void frmMain::OnDpiChanged(int dpi, const RECT* suggested) {
  const int old = ScreenDpi();
  SetScreenDpi(dpi);
  if (lstView) {
    // The icon title font is the one the list starts with, at the system DPI.
    LOGFONTW lf{};
    if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0)) {
      lf.lfHeight = MulDiv(lf.lfHeight, dpi, SystemDpi());
      UniqueFont font(CreateFontIndirectW(&lf));
      if (font) {
        SendMessageW(lstView, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
        listFont_ = std::move(font);
      }
    }
    // The columns keep the share of the width the user gave them.
    for (int i = 0; i < 3; ++i) {
      const int width = ListView_GetColumnWidth(lstView, i);
      if (width > 0) ListView_SetColumnWidth(lstView, i, MulDiv(width, dpi, old));
    }
  }
  if (suggested)
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  Form_Resize();
}

void frmMain::Form_QueryUnload() { objFileFolder.reset(); }

void frmMain::mnuClose_Click() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void frmMain::mnuVer_Click() { frmAbout::ShowModal(hwnd_); }

// ---------------------------------------------------------------------------
// Columns and the list view

void frmMain::MakeColumns(std::wstring strFolder, bool blnAddMode) {
  SetColumns(ApplyHeaderFolder(strListFolder, std::move(strFolder), blnAddMode));
}

void frmMain::ClearList(std::wstring strFolder) {
  rows.Clear();
  RefreshList();
  MakeColumns(std::move(strFolder), false);
}

void frmMain::SetColumns(const std::wstring& thirdCaption) {
  const ColumnWidths w = ComputeColumnWidths(ListWidthTwips());
  SendMessageW(lstView, WM_SETREDRAW, FALSE, 0);
  while (ListView_DeleteColumn(lstView, 0)) {
  }
  const std::wstring captions[3] = {kCaptionName, kCaptionUrl, thirdCaption};
  const int widths[3] = {w.name, w.url, w.folder};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = TwipsToPixels(widths[i]);
    col.pszText = const_cast<wchar_t*>(captions[i].c_str());
    col.iSubItem = i;
    SendMessageW(lstView, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
  }
  SendMessageW(lstView, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(lstView, nullptr, TRUE);
}

double frmMain::ListWidthTwips() const {
  RECT r{};
  GetWindowRect(lstView, &r);
  return PixelsToTwips(r.right - r.left);
}

std::wstring frmMain::ColumnCaption(int column) const {
  // The third caption names a folder, which may be a long path: grow the
  // buffer until the text fits with room to spare.
  std::wstring buf(256, L'\0');
  for (;;) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = buf.data();
    col.cchTextMax = static_cast<int>(buf.size());
    if (!SendMessageW(lstView, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)))
      return {};
    const size_t len = wcsnlen(buf.c_str(), buf.size());
    if (len + 1 < buf.size() || buf.size() >= 65536) return buf.substr(0, len);
    buf.assign(buf.size() * 4, L'\0');
  }
}

void frmMain::RefreshList() {
  SendMessageW(lstView, LVM_SETITEMCOUNT, rows.size(), LVSICF_NOSCROLL);
  InvalidateRect(lstView, nullptr, TRUE);
}

void frmMain::ReloadList() {
  // The control keeps its selection as ranges of row numbers and renumbers
  // them one by one when the count changes or marks are cleared: a tenth of a
  // second under Wine for 50,000 scattered rows. Forgetting them all at once
  // costs almost nothing.
  const int top = std::max(0, static_cast<int>(SendMessageW(lstView, LVM_GETTOPINDEX, 0, 0)));
  syncingSelection_ = true;
  SendMessageW(lstView, LVM_DELETEALLITEMS, 0, 0);
  syncingSelection_ = false;
  RefreshList();
  PushSelectionToView();
  if (rows.empty()) return;
  const int last = static_cast<int>(rows.size()) - 1;
  const int perPage = static_cast<int>(SendMessageW(lstView, LVM_GETCOUNTPERPAGE, 0, 0));
  // Rows from 0 to last only: the index goes out unsigned.
  const auto ensureVisible = [&](int row) { SendMessageW(lstView, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE); };
  // Scrolling the page's last row into view puts the old top row back on top.
  ensureVisible(std::min(top + std::max(perPage, 1) - 1, last));
  ensureVisible(std::min(top, last));
}

void frmMain::PushSelectionToView() {
  if (!lstView) return;
  if (rows.FirstSelected() == rows.size()) {
    TakeSelectionIntoView();
    return;
  }
  // The control keeps its marks as ranges of row numbers and takes them one
  // row at a time, a second under Wine for the marks of 50,000 rows after a
  // sort; even all rows at once it marks one by one there (select all of
  // 100,000 rows: 80 ms). Drawn from the model they cost nothing to move.
  SetMarksFromModel(true);
  InvalidateRect(lstView, nullptr, FALSE);
}

void frmMain::SetMarksFromModel(bool on) {
  if (!lstView || marksFromModel_ == on) return;
  // Sent to the list's own procedure: ListProc takes marks set through it
  // while the model draws them.
  const auto base = reinterpret_cast<WNDPROC>(GetClassLongPtrW(lstView, GCLP_WNDPROC));
  const auto list = [&](UINT msg, WPARAM wp, LPARAM lp) {
    return base ? CallWindowProcW(base, lstView, msg, wp, lp) : SendMessageW(lstView, msg, wp, lp);
  };
  if (on && list(LVM_GETSELECTEDCOUNT, 0, 0) != 0) {
    // The control's own marks go first: it keeps none while the model draws.
    // Until now they were the model's (its notifications keep the two
    // alike), so when they are few they are cleared row by row: Wine clears
    // "all rows" one row at a time, a tenth of a second for 100,000 rows.
    syncingSelection_ = true;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    const size_t marked = rows.SelectedCount();
    if (marked <= rows.size() / 16) {
      for (size_t i = rows.FirstSelected(); i < rows.size(); ++i)
        if (rows.IsSelected(i)) list(LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    if (list(LVM_GETSELECTEDCOUNT, 0, 0) != 0)
      list(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    syncingSelection_ = false;
  }
  marksFromModel_ = on;
  list(LVM_SETCALLBACKMASK, on ? LVIS_SELECTED : 0, 0);
}

void frmMain::TakeSelectionIntoView() {
  if (!lstView) return;
  SetMarksFromModel(false);
  syncingSelection_ = true;
  // Under Wine each message through the subclass chain costs a server call,
  // seconds for 50,000 rows. ListProc passes these messages on untouched, so
  // the list's own procedure can take them directly.
  const auto base = reinterpret_cast<WNDPROC>(GetClassLongPtrW(lstView, GCLP_WNDPROC));
  const auto list = [&](UINT msg, WPARAM wp, LPARAM lp) {
    return base ? CallWindowProcW(base, lstView, msg, wp, lp) : SendMessageW(lstView, msg, wp, lp);
  };
  // With redrawing on, the list invalidates row by row even when told to set
  // every row at once.
  list(WM_SETREDRAW, FALSE, 0);
  // One message sets or clears every row: start from all-on when most rows
  // are selected, from all-off otherwise, then flip the other rows one by one.
  const size_t n = rows.size();
  const size_t selected = rows.SelectedCount();
  const bool startOn = selected > n / 2;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = startOn ? LVIS_SELECTED : 0;
  list(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  if (selected != 0 && selected != n) {
    item.state = startOn ? 0 : LVIS_SELECTED;
    for (size_t i = 0; i < n; ++i)
      if (rows.IsSelected(i) != startOn)
        list(LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  list(WM_SETREDRAW, TRUE, 0);
  InvalidateRect(lstView, nullptr, FALSE);
  syncingSelection_ = false;
}

void frmMain::BeforeListInput(UINT msg, WPARAM wp, LPARAM lp) {
  pressedMarkedRow_.reset();
  if (!marksFromModel_ || !lstView) return;
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
    // A modifier key alone changes nothing. Ctrl+A and Escape are ours alone:
    // lstView_KeyDown has done all there is to do, and the control does
    // nothing with them, so the marks may stay with the model.
    if (wp == VK_SHIFT || wp == VK_CONTROL || wp == VK_MENU || wp == VK_ESCAPE) return;
    if (wp == 'A' && (CurrentShiftState() & 2)) return;
  } else if (msg == WM_LBUTTONDOWN && !(wp & (MK_SHIFT | MK_CONTROL))) {
    // A plain press marks the row under it alone, or none, whatever was
    // marked, except on a marked row, where it may start to drag them all:
    // the list marks that row alone at the release if it was a click.
    const std::optional<size_t> hit = HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    if (hit && rows.IsSelected(*hit)) {
      pressedMarkedRow_ = hit;
      return;
    }
    rows.ClearSelection();
  }
  // Ctrl and Shift build on the marks the control holds: it must hold them.
  TakeSelectionIntoView();
}

void frmMain::AfterListRelease(UINT msg) {
  const std::optional<size_t> row = pressedMarkedRow_;
  pressedMarkedRow_.reset();
  if (!marksFromModel_ || !row || msg != WM_LBUTTONUP || !lstTag.empty() || blnDblClick || *row >= rows.size())
    return;
  rows.ClearSelection();
  rows.SetSelected(*row, true);
  TakeSelectionIntoView();
}

std::optional<size_t> frmMain::HitTest(int x, int y) const {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  const int i = static_cast<int>(SendMessageW(lstView, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (i < 0 || !(hit.flags & LVHT_ONITEM) || static_cast<size_t>(i) >= rows.size()) return std::nullopt;
  return static_cast<size_t>(i);
}

std::optional<size_t> frmMain::SelectedItem() const {
  const int i = static_cast<int>(SendMessageW(lstView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (i < 0 || static_cast<size_t>(i) >= rows.size()) return std::nullopt;
  return static_cast<size_t>(i);
}

// ---------------------------------------------------------------------------
// Menu check marks

bool frmMain::IsChecked(UINT id) const {
  return (GetMenuState(GetMenu(hwnd_), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void frmMain::SetChecked(UINT id, bool checked) {
  CheckMenuItem(GetMenu(hwnd_), id, checked ? UINT{MF_BYCOMMAND | MF_CHECKED} : UINT{MF_BYCOMMAND | MF_UNCHECKED});
}
