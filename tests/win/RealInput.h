#pragma once
// Real input: mouse buttons and keys through SendInput, taken in by a message
// loop like the program's own. Under Xvfb without a window manager the input
// reaches a window once it is the foreground window and the pointer has been
// put where a click goes. Also a watch that closes every menu a test opens.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "app/frmMain.h"
#include "tests/win/WinTestSupport.h"

namespace vorpa::test {

// The program's message loop, with its accelerators, until `done` or `ms`
// milliseconds have passed. True when `done` came true.
inline bool RunLoopUntil(frmMain& form, const std::function<bool()>& done, DWORD ms = 2000) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (form.TranslateAccel(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Lets queued input arrive and be handled.
inline void Settle(frmMain& form, DWORD ms = 60) {
  RunLoopUntil(form, [] { return false; }, ms);
}

inline bool BringToFront(frmMain& form) {
  SetForegroundWindow(form.hwnd());
  return RunLoopUntil(form, [&] { return GetForegroundWindow() == form.hwnd() && GetFocus() == form.lstView; });
}

inline void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = dx;
  in.mi.dy = dy;
  in.mi.dwFlags = flags;
  SendInput(1, &in, static_cast<int>(sizeof in));
}

inline void SendKey(WORD vk, bool down) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (vk == VK_DELETE ? KEYEVENTF_EXTENDEDKEY : 0);
  SendInput(1, &in, static_cast<int>(sizeof in));
}

// Keys pressed in order and released in reverse order, like a chord.
inline void Chord(frmMain& form, std::initializer_list<WORD> keys) {
  for (WORD k : keys) {
    SendKey(k, true);
    Settle(form, 30);
  }
  for (auto k = std::rbegin(keys); k != std::rend(keys); ++k) {
    SendKey(*k, false);
    Settle(form, 30);
  }
}

// Puts the pointer on a point of the screen and waits until it is there.
inline bool PointerTo(frmMain& form, POINT screen) {
  SetCursorPos(screen.x, screen.y);
  return RunLoopUntil(form, [&] {
    POINT p{};
    GetCursorPos(&p);
    return p.x == screen.x && p.y == screen.y;
  });
}

inline POINT ScreenPoint(HWND window, POINT client) {
  ClientToScreen(window, &client);
  return client;
}

inline void CALLBACK CloseMenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}

// Watches the main window for menu loops and closes every menu it sees, so a
// test never waits on one.
class MenuWatch {
 public:
  explicit MenuWatch(HWND owner) : owner_(owner) { SetWindowSubclass(owner_, Proc, 7, reinterpret_cast<DWORD_PTR>(this)); }
  ~MenuWatch() {
    if (IsWindow(owner_)) RemoveWindowSubclass(owner_, Proc, 7);
  }
  MenuWatch(const MenuWatch&) = delete;
  MenuWatch& operator=(const MenuWatch&) = delete;

  int loops = 0;
  std::vector<HMENU> shown;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<MenuWatch*>(ref);
    if (msg == WM_ENTERMENULOOP) {
      ++self->loops;
      // Closed from inside its own loop, once the menu is up.
      SetTimer(nullptr, 0, 100, CloseMenuTimer);
    }
    if (msg == WM_INITMENUPOPUP) self->shown.push_back(reinterpret_cast<HMENU>(wp));
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, Proc, 7);
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  HWND owner_;
};

}  // namespace vorpa::test
