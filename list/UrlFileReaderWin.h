#pragma once
// The shortcut reader's Windows half, for callers that open files themselves.
#include <windows.h>

#include <string>

#include "list/UrlFileReader.h"

namespace vorpa {

// Opens a shortcut for reading: shared with writers and deleters, so that a
// file another program has open can still be read, and so that a named pipe
// behind the name may learn who opened it but never act as this user.
// `openPath` as OpenablePath gives it.
HANDLE OpenShortcutForReading(const std::wstring& openPath);

// Reads an open file: a device or pipe gives kNotRegularFile and is not
// read. `buffer` may be kept between files.
void ReadOpenedShortcut(HANDLE file, bool keepBytes, std::string& buffer, ShortcutReading& reading);

}  // namespace vorpa
