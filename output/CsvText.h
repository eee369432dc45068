#pragma once
// The list as comma-separated text: one header line with the three column
// captions and a trailing comma, then three fields a row, CR LF line ends.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "list/UrlEntry.h"

namespace vorpa {

using ColumnCaptions = std::array<std::wstring, 3>;

// The text without the empty last line (that one belongs to the file).
// A field is quoted, with its inner quotes doubled, only when it holds a
// comma, a double quote, CR or LF, or when it starts with "=", "+", "-", "@",
// TAB or CR, which a spreadsheet would evaluate as a formula: such a field
// also gets an apostrophe after its opening quote. Every other field goes in
// verbatim.
std::wstring BuildCsvText(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows);

// The file's bytes: the text and the final CR LF in the given ANSI code page
// when every character fits it, otherwise the whole file in UTF-8 behind a
// byte-order mark, so that no character turns into '?'. Empty when the
// platform could not convert the text at all.
std::string EncodeCsvFile(std::wstring_view text, unsigned ansiCodePage);

// Receives the file's bytes piece by piece; false stops the writing.
using CsvSink = std::function<bool(std::string_view bytes)>;

// The same bytes as EncodeCsvFile(BuildCsvText(...)), made in one pass over
// the rows and handed on in pieces of a few hundred kilobytes, so that a long
// list never exists a second time in memory. When a character turns out not
// to fit the code page, `rewind` is asked to forget every byte handed on so
// far and the file starts again in UTF-8. False when the sink or rewind
// refused, or the text could not be converted at all.
bool WriteCsvFile(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, unsigned ansiCodePage,
                  const CsvSink& sink, const std::function<bool()>& rewind);

// Whether WriteCsvFile on these rows starts again in UTF-8 (asks `rewind`
// once): for a sink that cannot take bytes back, found without writing.
bool CsvFileStartsOver(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, unsigned ansiCodePage);

// WriteCsvFile's bytes in one string; empty when they could not be made.
std::string BuildCsvFile(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows, unsigned ansiCodePage);

}  // namespace vorpa
