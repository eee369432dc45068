#pragma once
// The name the shell shows for a file, on Windows.
#include <string>
#include <string_view>

namespace vorpa {

// The file's title as the system would display it (GetFileTitle); empty
// text when the function refuses the name.
std::wstring FileTitleOf(const std::wstring& path);

// The file's name as the title function shows names like it, for a name that
// the function refuses ('[' or ']' in it): without its extension where the
// function leaves out that extension, with it where the function keeps it.
std::wstring NameAsTitlesShowIt(std::wstring_view path);

// The name a list row shows for a shortcut file: its title, or, where the
// title function refuses an ordinary name ('[' or ']' in it), the name as
// the function shows its neighbours.
std::wstring ShortcutDisplayName(const std::wstring& path);

}  // namespace vorpa
