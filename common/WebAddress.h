#pragma once
// The one test of whether a target is a web address: the open asks no
// question for one, both sheet writers make it a hyperlink, and the tool's
// audit and bookmark file judge by it.
#include <optional>
#include <string>
#include <string_view>

namespace vorpa {

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

// One code point from UTF-16 (Windows) or UTF-32 (elsewhere) at i, which
// moves past it; a lone surrogate comes back as itself.
char32_t NextCodePoint(std::wstring_view s, size_t& i);

}  // namespace vorpa
