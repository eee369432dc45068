#pragma once
// The shortcut reader's bounded read, for callers on Windows that hold an
// open file already.
#include <windows.h>

#include <string>
#include <string_view>

namespace vorpa {

// Reads the leading bytes of an open disk file by the reader's rule (see
// ReadShortcutBytes): into `buffer`, viewed by `bytes`. False on a read
// failure.
bool ReadShortcutBytes(HANDLE file, std::string& buffer, std::string_view& bytes);

// The file's name as the title function shows names like it, for a name that
// the function refuses ('[' or ']' in it): without its extension where the
// function leaves out that extension, with it where the function keeps it.
std::wstring NameAsTitlesShowIt(std::wstring_view path);

}  // namespace vorpa
