// Fuzzes the two outputs with arbitrary list texts. The input is UTF-16 LE;
// U+0001 separates fields, the first three being the captions. The streamed
// CSV must equal the plain conversion of the whole text, and the workbook
// must always be made.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "output/CsvText.h"
#include "output/SheetExport.h"
#include "output/XlsxWriter.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text = vorpa::DecodeUtf16Le(std::string_view(reinterpret_cast<const char*>(data), size));
  // Lone surrogates have no UTF-8 form; the two conversions replace them
  // differently here (the platform's UTF-8 gives '?', ours U+FFFD).
  for (wchar_t& c : text)
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;

  std::vector<std::wstring> fields(1);
  for (const wchar_t c : text) {
    if (c == 1) {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  fields.resize(3 + (fields.size() < 3 ? 0 : (fields.size() - 3 + 2) / 3 * 3));
  const vorpa::ColumnCaptions captions{fields[0], fields[1], fields[2]};
  std::vector<vorpa::UrlEntry> rows;
  for (size_t i = 3; i + 2 < fields.size(); i += 3) rows.push_back({fields[i], fields[i + 1], fields[i + 2]});

  const std::string streamed = vorpa::BuildCsvFile(captions, rows, vorpa::kCodePageShiftJis);
  Require(streamed == vorpa::EncodeCsvFile(vorpa::BuildCsvText(captions, rows), vorpa::kCodePageShiftJis));
  Require(streamed.size() >= 2 && streamed.compare(streamed.size() - 2, 2, "\r\n") == 0);

  vorpa::XlsxSheet sheet;
  vorpa::FillSheet(sheet, captions, rows, vorpa::kCodePageShiftJis);
  const std::string book = sheet.Build();
  Require(book.size() > 4 && book.compare(0, 4, "PK\x03\x04", 4) == 0);
  return 0;
}
