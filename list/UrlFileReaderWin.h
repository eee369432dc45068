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

}  // namespace vorpa
