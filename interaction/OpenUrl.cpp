// Opening a row's URL with the shell, at the release after a double-click.
#include "interaction/OpenUrl.h"

#include <shellapi.h>

#include <string>

#include "app/Messages.h"
#include "app/ProgramFolder.h"
#include "app/frmMain.h"
#include "interaction/OpenMessages.h"

namespace vorpa {

namespace {
ShellOpenFunction& Hook() {
  static ShellOpenFunction hook;
  return hook;
}

INT_PTR ShellOpen(HWND owner, const std::wstring& target, const std::wstring& folder) {
  if (Hook()) return Hook()(owner, target, folder);
  return reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, L"open", target.c_str(), nullptr, folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL));
}
}  // namespace

ShellOpenFunction SetShellOpenHook(ShellOpenFunction hook) {
  ShellOpenFunction old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}


}  // namespace vorpa

using namespace vorpa;

void frmMain::lstView_DblClick() { blnDblClick = true; }

void frmMain::OpenUrl(std::optional<size_t> item) {
  if (!item || *item >= rows.size()) return;
  rows.SetSelected(*item, true);
  PushSelectionToView();
  const std::wstring folder = ProgramFolder();
  // The shell sees the text up to its first NUL; judge exactly that text.
  const std::wstring target(rows[*item].url.c_str());
  const HWND owner = hwnd_;
  // A message box runs a message loop; nothing below reads the rows again.
  if (!IsWebAddress(target) && ShowMessage(owner, OpenQuestionText(target), MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
  const INT_PTR result = ShellOpen(owner, target, folder);
  if (ShellOpenSucceeded(result)) return;
  // The table speaks of 32-bit codes; wider values are other failures.
  const std::int64_t code = (result >= INT32_MIN && result <= INT32_MAX) ? static_cast<std::int64_t>(result) : -1;
  ShowMessage(owner, std::wstring(OpenFailureMessage(code)));
}
