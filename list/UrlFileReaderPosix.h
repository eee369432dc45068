#pragma once
// The shortcut reader's POSIX half, for walks that open files themselves
// (relative to a folder's descriptor, without following links).
#include <sys/stat.h>

#include <string>

#include "list/UrlFileReader.h"

namespace vorpa {

// Reads an opened file whose status `st` (fstat of `fd`) was taken: a folder
// or anything but a regular file gives its problem and is not read. Files
// without a byte-order mark are in ansiCodePage. `buffer`
// may be kept between files.
void ReadOpenedShortcut(int fd, const struct stat& st, unsigned ansiCodePage, bool keepBytes, std::string& buffer,
                        ShortcutReading& reading);

// What an open that failed with `error` (errno) means for a shortcut: ENOENT
// is a missing file, ELOOP (with O_NOFOLLOW) a file swapped for a link.
ShortcutProblem ProblemOfOpenError(int error);

}  // namespace vorpa
