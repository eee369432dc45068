#pragma once
// Names and paths on standard error: a file name may hold anything, and a
// terminal takes escape sequences and direction overrides in it as commands.
#include <string>
#include <string_view>

namespace vorpa::cli {

// text with every C0 and C1 control, DEL and bidirectional control written
// as \xHH or \uHHHH.
std::wstring TerminalSafe(std::wstring_view text);

}  // namespace vorpa::cli
