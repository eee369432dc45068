#pragma once
// The About box: modal, every text but the description read from the
// program's version information when it opens.
#include <windows.h>

#include <string>

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

}  // namespace frmAbout
