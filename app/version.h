#pragma once
// The one place the program's version and version texts are written; the
// resource script builds the version block from these, and the About box
// reads them back from that block at run time.
#define VORPA_VERSION_MAJOR 2
#define VORPA_VERSION_MINOR 0
#define VORPA_VERSION_STR "2.0"
#define VORPA_COMMENTS "Quenmora"
#define VORPA_DESCRIPTION "VORPA"
#define VORPA_LEGAL "Copyright (C) 2026 the VORPA authors. All rights reserved; redistribution only unmodified."
#define VORPA_WIDEN_(x) L##x
#define VORPA_WIDEN(x) VORPA_WIDEN_(x)
#define VORPA_LEGAL_W VORPA_WIDEN(VORPA_LEGAL)
