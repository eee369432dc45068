#pragma once
// What the user is told when a row's URL is handed to the shell: the message
// for each failure code, and the question asked before a target that is not a
// web address is opened.
#include <cstdint>
#include <string>
#include <string_view>

namespace vorpa {

// The shell's answer counts as success above 32.
inline bool ShellOpenSucceeded(std::int64_t code) { return code > 32; }

// The message for a failure code; every code the table does not name gets
// "ファイルを開けません。".
std::wstring_view OpenFailureMessage(std::int64_t code);

// True only for http, https, ftp and mailto targets. A shortcut's target is
// written by whoever wrote the file, so anything else (a program path, file:,
// a UNC path, script schemes) is asked about before it is opened.
bool IsWebAddress(std::wstring_view target);

// The question shown before a target that is not a web address is opened.
// Control and text-direction characters of the target are shown as '?' so the
// target cannot rewrite the question, and a very long one is shortened.
std::wstring OpenQuestionText(std::wstring_view target);

}  // namespace vorpa
