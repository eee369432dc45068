// Sorting, selection and deletion of rows.
#include "app/frmMain.h"

// TODO(issue 4)
void frmMain::lstView_ColumnClick(int) {}
void frmMain::lstView_KeyDown(int, int) {}
void frmMain::mnuAllSelect_Click() {}
void frmMain::mnuAllNotSelect_Click() {}
void frmMain::mnuDel_Click() {}
void frmMain::mnuAllDel_Click() {}
void frmMain::mnuPAllSelect_Click() {}
void frmMain::mnuPAllNotSelect_Click() {}
void frmMain::mnuPDel_Click() {}
void frmMain::mnuPAllDel_Click() {}
