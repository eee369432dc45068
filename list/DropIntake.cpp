// Files and folders dropped on the list.
#include "app/frmMain.h"

// TODO(issue 5)
void frmMain::RegisterListDrop() {}
void frmMain::RevokeListDrop() {}
void frmMain::lstView_OLEDragOver(IDataObject*, DWORD&, int, int, double, double, int&) {}
void frmMain::lstView_OLEDragDrop(IDataObject*, DWORD&, int, int, double, double) {}
