#pragma once
// The tool's file-name codec: names as the system holds them to wide text
// and back.
#include <string>
#include <string_view>

namespace vorpa::cli {

// File names on POSIX systems are bytes, mostly UTF-8. A byte that is not
// part of valid UTF-8 becomes U+DC80 + byte, so that the name can be shown
// (as U+FFFD) and still be opened again by EncodeFileName.
std::wstring DecodeFileName(std::string_view bytes, bool* valid = nullptr);
void AppendFileName(std::wstring& out, std::string_view bytes, bool* valid = nullptr);
std::string EncodeFileName(std::wstring_view name);

}  // namespace vorpa::cli
