#pragma once
// The one place the program's version and version texts are written; the
// resource script builds the version block from these, and the About box
// reads them back from that block at run time.
#define VORPA_VERSION_MAJOR 2
#define VORPA_VERSION_MINOR 0
#define VORPA_VERSION_STR "2.0"
#define VORPA_COMMENTS "Quenmora"
#define VORPA_DESCRIPTION "VORPA"
// One line in the About box's warning label: the rights holder, and that
// copies may be passed on only unmodified.
#define VORPA_LEGAL "© 2026 VORPA作者 無改変の再配布のみ可"
