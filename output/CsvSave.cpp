// The list saved as a CSV file.
#include "app/frmMain.h"

// TODO(issue 6)
void frmMain::mnuSave_Click() {}
std::wstring frmMain::MakeCsvText() { return {}; }
