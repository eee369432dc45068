// Mouse handling of the list: focus mark, pop-up menu, moving rows, and the
// open at the release after a double-click.
#include "app/frmMain.h"

// TODO(issue 5)
void frmMain::lstView_MouseDown(int, int, double, double) {}
void frmMain::lstView_MouseMove(int, int, double, double) {}
void frmMain::lstView_MouseUp(int, int, double, double) {}
void frmMain::lstView_DblClick() {}
void frmMain::OpenUrl(std::optional<size_t>) {}
