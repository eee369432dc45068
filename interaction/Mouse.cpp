// Mouse handling of the list: focus mark, pop-up menu, moving rows, and the
// open at the release after a double-click.
#include <windows.h>

#include "app/Twips.h"
#include "app/frmMain.h"

using namespace vorpa;

namespace {
// The fixed horizontal position of the open's hit test: always inside the
// first column, so a double-click anywhere along a row finds that row.
constexpr double kOpenHitX = 30;

void ShowListPointer(int pointer) { SetCursor(LoadCursorW(nullptr, pointer == 15 ? IDC_SIZEALL : IDC_ARROW)); }
}  // namespace

void frmMain::lstView_MouseDown(int Button, int, double x, double y) {
  if (!(Button & 2)) return;
  if (rows.FirstSelected() >= rows.size() || !mnuPop) return;
  POINT pt{TwipsToPixels(x), TwipsToPixels(y)};
  ClientToScreen(lstView, &pt);
  // The items send WM_COMMAND to the main window like their menu-bar twins.
  TrackPopupMenu(mnuPop, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd_, nullptr);
  popupShown_ = true;
}

void frmMain::lstView_MouseMove(int Button, int, double x, double y) {
  const std::optional<size_t> hit = HitTest(TwipsToPixels(x), TwipsToPixels(y));
  const int before = lstMousePointer;
  if ((Button & 1) && SelectedItem()) {
    lstMousePointer = 15;
    lstTag = L"1";
  } else {
    lstMousePointer = 0;
  }
  // WM_SETCURSOR for this move came before it; without this the shape would
  // lag one move behind.
  if (lstMousePointer != before && MousePointer() != 11) ShowListPointer(lstMousePointer);
  if (hit) {
    LVITEMW item{};
    item.mask = LVIF_STATE;
    item.state = LVIS_FOCUSED;
    item.stateMask = LVIS_FOCUSED;
    SendMessageW(lstView, LVM_SETITEMSTATE, static_cast<WPARAM>(*hit), reinterpret_cast<LPARAM>(&item));
  }
}

void frmMain::lstView_MouseUp(int, int, double x, double y) {
  // An armed move or the list's own drag took the pointer; after any release
  // the next press must go where it points, even when the move stays armed.
  if (GetCapture() == lstView) ReleaseCapture();
  if (blnDblClick) {
    const std::optional<size_t> hit = HitTest(TwipsToPixels(kOpenHitX), TwipsToPixels(y));
    // Cleared before the open: a message box of the open runs a message loop
    // in which another release may arrive.
    blnDblClick = false;
    OpenUrl(hit);
    return;
  }
  if (lstTag.empty()) return;
  // A walk or drop below us on the stack owns the list's order until it ends.
  if (!busy()) {
    const std::optional<size_t> hit = HitTest(TwipsToPixels(x), TwipsToPixels(y));
    rows.MoveSelectedBefore(hit ? *hit : rows.size());
    RefreshList();
    PushSelectionToView();
  }
  lstTag.clear();
  lstMousePointer = 0;
  if (MousePointer() != 11) ShowListPointer(0);
}
