#pragma once
// Window positions are designed in twips (1/1440 inch): 15 to a pixel at
// 96 DPI. The conversion uses the real DPI of the screen.
#include <windows.h>

#include <cmath>

namespace vorpa {

inline int ScreenDpi() {
  static const int dpi = [] {
    HDC dc = GetDC(nullptr);
    const int d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return d > 0 ? d : 96;
  }();
  return dpi;
}

inline int TwipsToPixels(double twips) {
  return static_cast<int>(std::lround(twips * ScreenDpi() / 1440.0));
}

inline double PixelsToTwips(int pixels) { return pixels * 1440.0 / ScreenDpi(); }

}  // namespace vorpa
