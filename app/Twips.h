#pragma once
// Window positions are designed in twips (1/1440 inch): 15 to a pixel at
// 96 DPI. The conversion uses the DPI of the monitor the main window is on,
// which the window updates when it moves to a monitor with other scaling.
#include <windows.h>

#include <atomic>
#include <cmath>

#include "common/WinSystem.h"

namespace vorpa {

// The system DPI: what a window gets before it knows its monitor.
inline int SystemDpi() {
  static const int dpi = [] {
    HDC dc = GetDC(nullptr);
    const int d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return d > 0 ? d : 96;
  }();
  return dpi;
}

// The DPI of a window's monitor (Windows 10 1607 and later; the system DPI
// before that).
inline int WindowDpi(HWND window) {
  static const auto getDpi = SystemExport<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
  const UINT dpi = getDpi && window ? getDpi(window) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

inline std::atomic<int>& CurrentDpi() {
  static std::atomic<int> dpi{SystemDpi()};
  return dpi;
}

// The DPI that the twips of the main window and its boxes are converted at.
inline int ScreenDpi() { return CurrentDpi().load(); }
inline void SetScreenDpi(int dpi) { CurrentDpi().store(dpi > 0 ? dpi : 96); }

inline int TwipsToPixels(double twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }
inline int TwipsToPixels(double twips) { return TwipsToPixels(twips, ScreenDpi()); }

inline double PixelsToTwips(int pixels) { return pixels * 1440.0 / ScreenDpi(); }

}  // namespace vorpa
