#pragma once
// Path text rules of the folder scan that do not need the file system.
#include <string>
#include <string_view>

namespace vorpa {

// The pump runs before every this-many entries of a walk or a drop.
inline constexpr size_t kPumpEvery = 20;

// True for the type (extension without its dot) of an Internet shortcut,
// in any letter case.
bool IsShortcutType(std::wstring_view type);

// The folder that holds `path`, from its text alone: the last component and
// the backslash before it removed, the backslash of a drive root ("C:\") or
// of a root-relative path ("\") kept. This is what the path helpers give for
// a visible file; it serves where they refuse to answer (hidden files).
std::wstring FolderOfPath(std::wstring_view path);
// The same as a part of `path`, for callers that need no copy.
std::wstring_view FolderPartOfPath(std::wstring_view path);

// Column 3 of a scanned row: the folder with the base folder's length cut
// from its front, or the folder whole when there is no base. A folder not
// longer than the base gives empty text.
std::wstring CutBaseFolder(std::wstring_view folder, std::wstring_view baseFolder);

// The shortcut's own file name without its folder and its ".url", for when
// the platform's title function refuses the name.
std::wstring ShortcutNameFromPath(std::wstring_view path);

}  // namespace vorpa
