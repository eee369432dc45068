// Test runner for the Windows tests: OLE and common controls as the program
// itself sets them up.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const HRESULT ole = OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  const int result = RUN_ALL_TESTS();
  if (SUCCEEDED(ole)) OleUninitialize();
  return result;
}
