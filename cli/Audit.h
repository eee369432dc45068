#pragma once
// What a careful administrator should look at in a shortcut file.
#include <string>
#include <string_view>
#include <vector>

namespace vorpa::cli {

// Browsers take URLs up to this many characters.
inline constexpr size_t kMaxUrlChars = 2083;

// The reasons to look at a shortcut, empty when there is none. `bytes` are
// the file's leading bytes as read (bounded; `bytesCut` when the file holds
// more), `url` the target the reader found in the whole file, `ansiCodePage`
// the code page for files without a BOM.
std::vector<std::wstring> AuditShortcut(std::string_view bytes, std::wstring_view url, unsigned ansiCodePage,
                                        bool bytesCut = false);

// True for a path that makes Windows contact another machine when it is
// merely touched: a UNC path (\\host\share, //host/share) or a file: URL
// with a host.
bool IsRemotePath(std::wstring_view value);

}  // namespace vorpa::cli
