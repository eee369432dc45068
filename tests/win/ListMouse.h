#pragma once
// Real mouse messages for the list, aimed at rows and columns.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/win/WinTestSupport.h"

namespace vorpa::test {

// A point inside a row (0-based) and column (0-based), in list pixels.
inline POINT CellPoint(HWND list, int row, int column) {
  RECT r{};
  r.top = column;
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
  if (column == 0) {
    // Sub-item 0 stands for the whole row; the first column is its own.
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
    r.left = label.left;
    r.right = label.right;
  }
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A point in the empty area below the last of `rows` rows.
inline POINT BelowRows(HWND list, int rows) {
  RECT r{};
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(rows - 1), reinterpret_cast<LPARAM>(&r));
  return POINT{20, r.bottom + (r.bottom - r.top) * 2};
}

inline LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

inline void Move(HWND list, POINT p, WPARAM keys = 0) { SendMessageW(list, WM_MOUSEMOVE, keys, At(p)); }

// The list's own handling of some presses waits for the release in a loop of
// its own, so the release is queued before the press is sent.
inline void RightClick(HWND list, POINT p) {
  PostMessageW(list, WM_RBUTTONUP, 0, At(p));
  SendMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, At(p));
  Pump();
}

inline void DoubleClickRelease(HWND list, POINT p) {
  PostMessageW(list, WM_LBUTTONUP, 0, At(p));
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, At(p));
  Pump();
}

// Rows named "1".."n" with URLs "u1".."un".
inline void FillRows(frmMain& form, int n, const std::wstring& urlPrefix = L"u") {
  for (int i = 1; i <= n; ++i) form.rows.Append({std::to_wstring(i), urlPrefix + std::to_wstring(i), L""});
  form.RefreshList();
  Pump();
}

inline void SelectRows(frmMain& form, std::initializer_list<int> oneBased) {
  form.rows.ClearSelection();
  for (int i : oneBased) form.rows.SetSelected(static_cast<size_t>(i - 1), true);
  form.PushSelectionToView();
}

}  // namespace vorpa::test
