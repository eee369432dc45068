// The list shown in a spreadsheet.
#include "app/frmMain.h"

// TODO(issue 6)
void frmMain::mnuExcel_Click() {}
