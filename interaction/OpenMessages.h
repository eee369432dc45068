#pragma once
// What the user is told when a row's URL is handed to the shell: the message
// for each failure code, and the question asked before a target that is not a
// web address is opened.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/WebAddress.h"

namespace vorpa {

// The shell's answer counts as success above 32.
inline bool ShellOpenSucceeded(std::int64_t code) { return code > 32; }

// The message for a failure code; every code the table does not name gets
// "ファイルを開けません。".
std::wstring_view OpenFailureMessage(std::int64_t code);

// The question shown before a target that is not a web address is opened.
// The file name, or the scheme and host, stand on a line of their own; a long
// target shows its head and its tail; every invisible, format or control
// character, and a blank at either end, is shown as <U+XXXX>.
std::wstring OpenQuestionText(std::wstring_view target);

}  // namespace vorpa
