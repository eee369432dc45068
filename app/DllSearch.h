#pragma once
// Where the program's DLLs may come from.

namespace vorpa {

// Limits every later load of a DLL by name to the system folder, so that a
// DLL placed beside the program or in the current folder is never loaded in
// place of a system one. Called first thing at start-up, before anything can
// load a DLL on demand (the shell, OLE and the common dialogs all do).
// False when the system offers no such limit (Windows 7 without update
// KB2533623); the current folder is then at least taken out of the search.
bool RestrictDllSearch();

}  // namespace vorpa
