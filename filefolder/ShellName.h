#pragma once
// The name the shell shows for a file, on Windows.
#include <string>

namespace vorpa {

// The file's title as the system would display it (GetFileTitle); empty
// text when the function refuses the name.
std::wstring FileTitleOf(const std::wstring& path);

// The name a list row shows for a shortcut file: its title, or, where the
// title function refuses an ordinary name ('[' or ']' in it), the file name
// without ".url".
std::wstring ShortcutDisplayName(const std::wstring& path);

}  // namespace vorpa
