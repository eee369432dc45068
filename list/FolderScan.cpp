// The main command: choosing a folder and listing its Internet shortcuts.
#include "app/frmMain.h"
#include "app/resource.h"

namespace {
// A radio pair of the Settings menu: index 0 or 1 takes the mark.
void SelectPair(frmMain& form, UINT id0, UINT id1, int index) {
  if (index != 0 && index != 1) return;
  form.SetChecked(id0, index == 0);
  form.SetChecked(id1, index == 1);
}
}  // namespace

void frmMain::mnuFavoritesDesktop_Click(int Index) {
  SelectPair(*this, IDM_FAVORITESDESKTOP0, IDM_FAVORITESDESKTOP1, Index);
}
void frmMain::mnuNewAdd_Click(int Index) { SelectPair(*this, IDM_NEWADD0, IDM_NEWADD1, Index); }
void frmMain::mnuSubFolder_Click(int Index) { SelectPair(*this, IDM_SUBFOLDER0, IDM_SUBFOLDER1, Index); }

// TODO(issue 4): the folder scan.
void frmMain::mnuOpen_Click() {}
void frmMain::OpenFolder(std::wstring) {}
void frmMain::ListFolder(std::wstring) {}
void frmMain::AddUrlFile(std::wstring, std::wstring) {}
