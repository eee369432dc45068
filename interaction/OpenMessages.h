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
// character, and a blank at either end, is shown as <U+XXXX>. For a "file:"
// URL, localPath is the path that the shell makes of it: its name and the
// whole path up to that name are shown, not the URL's own text. A web
// address with a user name before its host names the host that opens; a
// mail address that asks for an attachment names the file.
std::wstring OpenQuestionText(std::wstring_view target, std::wstring_view localPath = {});

// True for a "file:" URL, which the shell turns into a local path before it
// opens it.
bool IsFileUrl(std::wstring_view target);

// True when the escapes of a "file:" URL decode to a control character: the
// shell's path ends at a %00, and what follows it only shows.
bool FileUrlHidesControl(std::wstring_view target);

// True for a path with a control character in it (C0, DEL or C1).
bool HasControlCharacter(std::wstring_view path);

// The message for a "file:" URL that is refused outright.
std::wstring FileUrlRefusedText(std::wstring_view target);

// The scheme of a target that is nothing but "scheme:text", with no path,
// escape, blank or hidden character after the colon; empty for anything
// else, and for the schemes the shell reads itself (file:, shell:). Such a
// target can only go to the scheme's own program, so where no program is
// registered for the scheme there is nothing to ask about.
std::wstring_view BareSchemeOf(std::wstring_view target);

}  // namespace vorpa
