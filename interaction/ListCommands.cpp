// Sorting, selection and deletion of rows.
#include "app/frmMain.h"

namespace {
constexpr int kKeyDelete = 46;
constexpr int kKeyA = 65;
constexpr int kKeyEscape = 27;
constexpr int kShiftCtrl = 2;
}  // namespace

void frmMain::lstView_ColumnClick(int ColumnIndex) {
  if (ColumnIndex < 1 || ColumnIndex > 3) return;
  // One direction for every column: a click on another column still flips it.
  SortOrder = SortOrder != 0 ? 0 : 1;
  rows.SortByColumn(ColumnIndex - 1, SortOrder == 1);
  ReloadList();
}

void frmMain::lstView_KeyDown(int KeyCode, int Shift) {
  switch (KeyCode) {
    case kKeyDelete:
      rows.RemoveSelected();
      if (rows.empty()) {
        ClearList(L"");
      } else {
        ReloadList();
      }
      break;
    case kKeyA:
      if (!(Shift & kShiftCtrl)) break;
      // The control lets go of its marks while they are still the model's,
      // so that it forgets them row by row when they are few; then the model
      // draws every mark.
      SetMarksFromModel(true);
      rows.SelectAll();
      PushSelectionToView();
      break;
    case kKeyEscape:
      rows.ClearSelection();
      PushSelectionToView();
      break;
    default:
      break;
  }
}

// The Edit menu forwards to the pop-up menu, whose handlers do the work.
void frmMain::mnuAllSelect_Click() { mnuPAllSelect_Click(); }
void frmMain::mnuAllNotSelect_Click() { mnuPAllNotSelect_Click(); }
void frmMain::mnuDel_Click() { mnuPDel_Click(); }
void frmMain::mnuAllDel_Click() { mnuPAllDel_Click(); }

void frmMain::mnuPAllSelect_Click() { lstView_KeyDown(kKeyA, kShiftCtrl); }
void frmMain::mnuPAllNotSelect_Click() { lstView_KeyDown(kKeyEscape, 0); }
void frmMain::mnuPDel_Click() { lstView_KeyDown(kKeyDelete, 0); }
void frmMain::mnuPAllDel_Click() { ClearList(L""); }
