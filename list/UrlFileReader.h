#pragma once
// Reads the target URL of an Internet shortcut file (INI text) the way
// Windows reads it.
#include <string>
#include <string_view>

namespace vorpa {

// The URL stored in the bytes of a shortcut file, or empty text when there
// is none. ansiCodePage decodes every file but one with a UTF-16 byte-order
// mark (a UTF-8 mark is ANSI text to Windows too).
std::wstring ParseInternetShortcutUrl(std::string_view bytes, unsigned ansiCodePage);

// Reads the file at `path` (bounded; a missing, locked or unreadable file
// gives empty text) and parses it with the system ANSI code page.
std::wstring ReadInternetShortcutUrl(const std::wstring& path);

}  // namespace vorpa
