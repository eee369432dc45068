#pragma once
// What the user is told when a row's URL is handed to the shell: the message
// for each failure code, and the question asked before a target that is not a
// web address is opened.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorpa {

// The shell's answer counts as success above 32.
inline bool ShellOpenSucceeded(std::int64_t code) { return code > 32; }

// The message for a failure code; every code the table does not name gets
// "ファイルを開けません。".
std::wstring_view OpenFailureMessage(std::int64_t code);

// A web address split as the strict test reads it. scheme is one of "http",
// "https", "ftp", "mailto" in lower case; host points into the judged text
// (without the brackets of an IPv6 literal) and is empty for mailto.
struct WebAddressParts {
  std::wstring_view scheme;
  std::wstring_view host;
};

// The whole text, exactly as given, must be a web address: one of the four
// schemes, "//" and a host name or IP literal for http, https and ftp, and
// no blank, control, invisible or format character, '"', '\' or "." / ".."
// segment anywhere. A shortcut's target is written by whoever wrote the file,
// and the shell treats anything looser (leading blanks, "http:\..\x.exe",
// "http://host/../../x.exe") as a path to run.
std::optional<WebAddressParts> ParseWebAddress(std::wstring_view target);
bool IsWebAddress(std::wstring_view target);

// True for characters that show as nothing or as a plain blank, or that
// change how the text around them is drawn: controls, every format character,
// the non-ASCII spaces, fillers and selectors.
bool IsInvisibleOrFormat(char32_t c);

// The question shown before a target that is not a web address is opened.
// The file name, or the scheme and host, stand on a line of their own; a long
// target shows its head and its tail; every invisible, format or control
// character, and a blank at either end, is shown as <U+XXXX>.
std::wstring OpenQuestionText(std::wstring_view target);

}  // namespace vorpa
