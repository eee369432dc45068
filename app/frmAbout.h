#pragma once
// The About box: modal, every text but the description read from the
// program's version information when it opens.
#include <windows.h>

#include <string>
#include <vector>

#include "common/WinOwners.h"

namespace frmAbout {

// Shows the box and returns when it is closed.
void ShowModal(HWND owner);

// The texts the box shows, read from a module's version information.
struct Texts {
  std::wstring caption;      // "ﾊﾞｰｼﾞｮﾝ情報 " + comments
  std::wstring title;        // file description
  std::wstring version;      // "Version major.minor"
  std::wstring description;  // fixed
  std::wstring disclaimer;   // "警告:  " + legal notice
};
Texts LoadTexts(HMODULE module);

// The box's two fonts at a DPI: the title's and the other labels'.
struct Fonts {
  vorpa::UniqueFont title;
  vorpa::UniqueFont label;
};
Fonts CreateFonts(int dpi);

// Where each control goes at a DPI, in client pixels: the design's twips,
// with each label made as wide (one line) or as tall (the description, which
// wraps) as its text needs in the fonts of that DPI, the box growing to
// hold them.
struct Placement {
  int id;
  RECT rect;
};
std::vector<Placement> LayOut(const Texts& texts, const Fonts& fonts, int dpi, SIZE& client);

}  // namespace frmAbout
