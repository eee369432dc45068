#pragma once
// The list as comma-separated text: one header line with the three column
// captions and a trailing comma, then three fields a row, CR LF line ends.
#include <array>
#include <string>
#include <vector>

#include "list/UrlEntry.h"

namespace vorpa {

using ColumnCaptions = std::array<std::wstring, 3>;

// The text without the empty last line (that one belongs to the file).
// A field is quoted, with its inner quotes doubled, only when it holds a
// comma, a double quote, CR or LF; every other field goes in verbatim.
std::wstring BuildCsvText(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows);

// The file's bytes: the text and the final CR LF in the given ANSI code page
// when every character fits it, otherwise the whole file in UTF-8 behind a
// byte-order mark, so that no character turns into '?'. Empty when the
// platform could not convert the text at all.
std::string EncodeCsvFile(std::wstring_view text, unsigned ansiCodePage);

}  // namespace vorpa
