#pragma once
// Text rules of the file and folder class that need no platform call, kept
// apart so that they run in the native unit tests too.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpa {

// The text before the first NUL character (all of it when there is none).
std::wstring CutAtNul(std::wstring_view text);

// The folders from the drive (or server) root down to `folder`, as the
// folder's path grows one piece at a time: "C:\a\b" gives "C:\", "C:\a",
// "C:\a\b". Empty pieces are kept, so "\\srv\share" gives "\", "\", "\\srv",
// "\\srv\share". An empty folder gives one empty element.
std::vector<std::wstring> FolderChain(std::wstring folder);

// The text after the last '.', or empty text when there is no '.'.
std::wstring TextAfterLastDot(std::wstring_view text);

// `name` without "." and `type` at its end; empty text unless both are given
// and the name is long enough to hold them.
std::wstring NameWithoutType(std::wstring_view name, std::wstring_view type);

bool EndsWithBackslash(std::wstring_view path);
std::wstring WithTrailingBackslash(std::wstring path);
// Removes at most one trailing backslash ("C:\" becomes "C:").
std::wstring WithoutTrailingBackslash(std::wstring path);

// Full paths in the form that lifts the 260-character limit of the file
// functions: "C:\x" becomes "\\?\C:\x", "\\srv\s\x" becomes
// "\\?\UNC\srv\s\x". Paths already in a device form stay as they are; any
// other text (relative paths) is returned unchanged.
std::wstring ToExtendedLengthPath(std::wstring_view fullPath);
// The reverse of ToExtendedLengthPath for the two forms it produces.
std::wstring FromExtendedLengthPath(std::wstring_view path);

// True when a path ending in this file name names a device of the system
// (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, CONIN$, CONOUT$), as it
// does up to Windows 10 also with any extension and trailing blanks or dots
// ("nul.url", "COM1 .txt", "aux..."), and with the superscript digits
// ¹ ² ³ that the platform counts as digits of COM and LPT.
bool IsReservedDeviceName(std::wstring_view fileName);

// The flag word with `bit` set when `on`, cleared otherwise.
constexpr uint32_t WithBit(uint32_t word, uint32_t bit, bool on) { return on ? (word | bit) : (word & ~bit); }

}  // namespace vorpa
