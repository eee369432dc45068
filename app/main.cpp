#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/DllSearch.h"
#include "app/frmMain.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Before anything below loads a DLL on demand. The static imports are all
  // known DLLs (or, for the common controls, bound by the manifest), so none
  // of them is looked up beside the program either.
  vorpa::RestrictDllSearch();
  // OLE for the list's drop target; common controls 6 for the list view.
  const HRESULT ole = OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);

  int exitCode = 1;
  {
    frmMain form;
    if (form.Create(instance, showCommand)) {
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.TranslateAccel(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      exitCode = static_cast<int>(msg.wParam);
    }
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  return exitCode;
}
