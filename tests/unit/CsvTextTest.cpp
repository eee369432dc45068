#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "output/CsvText.h"

using namespace vorpa;

namespace {

const ColumnCaptions kPlainCaptions{L"ファイル名", L"URLアドレス", L"ファイルパス"};

// "ファイル名,URLアドレス,ファイルパス," in code page 932, byte by byte.
const std::string kHeader932 =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC,URL\x83\x41\x83\x68\x83\x8C\x83\x58,"
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x70\x83\x58,\r\n";

std::string FileBytes(const ColumnCaptions& captions, const std::vector<UrlEntry>& rows) {
  return BuildCsvFile(captions, rows, kCodePageShiftJis);
}

// Fields as a reader that follows RFC 4180 sees them.
std::vector<std::vector<std::wstring>> ParseCsv(const std::wstring& text) {
  std::vector<std::vector<std::wstring>> lines(1);
  std::wstring field;
  bool quoted = false, inQuotes = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (inQuotes) {
      if (c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') {
        field.push_back(L'"');
        ++i;
      } else if (c == L'"') {
        inQuotes = false;
      } else {
        field.push_back(c);
      }
    } else if (c == L'"' && field.empty() && !quoted) {
      inQuotes = quoted = true;
    } else if (c == L',') {
      lines.back().push_back(field);
      field.clear();
      quoted = false;
    } else if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      lines.back().push_back(field);
      field.clear();
      quoted = false;
      lines.emplace_back();
      ++i;
    } else {
      field.push_back(c);
    }
  }
  if (!field.empty() || quoted || !lines.back().empty()) lines.back().push_back(field);
  return lines;
}

// A field as a reader gets it back: with the apostrophe that keeps a
// spreadsheet from evaluating it.
std::wstring AsRead(const std::wstring& f) {
  const bool formula = !f.empty() && std::wstring_view(L"=+-@\t\r").find(f[0]) != std::wstring_view::npos;
  return formula ? L"'" + f : f;
}

}  // namespace

TEST(CsvFile, TwoRowsGiveFourLinesInCodePage932) {
  const std::vector<UrlEntry> rows{{L"example", L"http://example.com/", L"\\sub"},
                                   {L"日本", L"http://jp.example/", L""}};
  const std::string bytes = FileBytes(kPlainCaptions, rows);
  EXPECT_EQ(bytes, kHeader932 +
                       "example,http://example.com/,\\sub\r\n"
                       "\x93\xFA\x96\x7B,http://jp.example/,\r\n"
                       "\r\n");
}

TEST(CsvFile, EmptyListHoldsTheHeaderAndTheEmptyLastLine) {
  EXPECT_EQ(FileBytes(kPlainCaptions, {}), kHeader932 + "\r\n");
}

TEST(CsvFile, HeaderCarriesTheFolderSuffixOfTheThirdCaption) {
  const ColumnCaptions captions{L"ファイル名", L"URLアドレス", L"ファイルパス (C:\\Links)"};
  const std::wstring text = BuildCsvText(captions, {});
  EXPECT_EQ(text, L"ファイル名,URLアドレス,ファイルパス (C:\\Links),\r\n");
}

TEST(CsvFile, OnlyFieldsWithCommaQuoteOrLineBreakAreQuoted) {
  const std::vector<UrlEntry> rows{
      {L"a,b", L"http://x/?q=\"1\"", L"line1\r\nline2"},
      {L"cr\ronly", L"lf\nonly", L"plain 'text' ; tab\t"},
      {L"\"", L",", L""},
  };
  const std::wstring text = BuildCsvText(kPlainCaptions, rows);
  EXPECT_EQ(text,
            L"ファイル名,URLアドレス,ファイルパス,\r\n"
            L"\"a,b\",\"http://x/?q=\"\"1\"\"\",\"line1\r\nline2\"\r\n"
            L"\"cr\ronly\",\"lf\nonly\",plain 'text' ; tab\t\r\n"
            L"\"\"\"\",\",\",\r\n");
  // A folder named with a comma reaches the header through its caption.
  const ColumnCaptions captions{L"ファイル名", L"URLアドレス", L"ファイルパス (C:\\a,b)"};
  EXPECT_EQ(BuildCsvText(captions, {}), L"ファイル名,URLアドレス,\"ファイルパス (C:\\a,b)\",\r\n");
}

TEST(CsvFile, FieldsASpreadsheetWouldEvaluateAreKeptAsText) {
  const struct {
    std::wstring field, written;
  } cases[] = {
      {L"=1+1", L"\"'=1+1\""},
      {L"+81-3", L"\"'+81-3\""},
      {L"-2+3", L"\"'-2+3\""},
      {L"@SUM(A1)", L"\"'@SUM(A1)\""},
      {L"\t=cmd", L"\"'\t=cmd\""},
      {L"\r=cmd", L"\"'\r=cmd\""},
      {L"=HYPERLINK(\"http://evil/\",\"x\")", L"\"'=HYPERLINK(\"\"http://evil/\"\",\"\"x\"\")\""},
      {L"=", L"\"'=\""},
      // Anywhere but at the start these are plain text.
      {L"a=b", L"a=b"},
      {L"http://x/?q=-1&r=@", L"http://x/?q=-1&r=@"},
      {L" =1", L" =1"},
      {L"\\sub\\-x", L"\\sub\\-x"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    // The same rule in every column, the header's too.
    const std::wstring text = BuildCsvText({c.field, L"b", L"c"}, {{c.field, c.field, c.field}});
    EXPECT_EQ(text, c.written + L",b,c,\r\n" + c.written + L"," + c.written + L"," + c.written + L"\r\n")
        << testing::PrintToString(c.field);
    const auto lines = ParseCsv(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], (std::vector<std::wstring>{AsRead(c.field), AsRead(c.field), AsRead(c.field)}));
  }
  // The streamed file agrees, also for a field longer than one piece.
  const std::vector<UrlEntry> rows{{L"=1+1", L"-" + std::wstring(300000, L'a'), L"@日本"}};
  const std::string bytes = BuildCsvFile(kPlainCaptions, rows, kCodePageShiftJis);
  EXPECT_EQ(bytes, EncodeCsvFile(BuildCsvText(kPlainCaptions, rows), kCodePageShiftJis));
  EXPECT_EQ(bytes.substr(kHeader932.size(), 12), "\"'=1+1\",\"'-a");
}

TEST(CsvFile, EveryRowReadsBackAsThreeFields) {
  const std::vector<std::wstring> awkward{L"",    L",",    L"\"",      L"\"\"", L"a\"b", L"\r\n", L"x,\"y\"\r\nz",
                                          L" , ", L"\n\"", L"日本,語", L"end\""};
  std::vector<UrlEntry> rows;
  for (size_t i = 0; i < awkward.size(); ++i)
    rows.push_back({awkward[i], awkward[(i + 3) % awkward.size()], awkward[(i + 7) % awkward.size()]});
  const auto lines = ParseCsv(BuildCsvText(kPlainCaptions, rows));
  ASSERT_EQ(lines.size(), rows.size() + 2);  // the text ends in CR LF: one empty line after
  EXPECT_EQ(lines[0], (std::vector<std::wstring>{L"ファイル名", L"URLアドレス", L"ファイルパス", L""}));
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(lines[i + 1], (std::vector<std::wstring>{AsRead(rows[i].text), AsRead(rows[i].url), AsRead(rows[i].folder)}))
        << i;
  EXPECT_TRUE(lines.back().empty());
}

TEST(CsvFile, TextOutsideTheCodePageMakesTheWholeFileUtf8WithBom) {
  const std::vector<UrlEntry> rows{{L"日本", L"http://x/", L""}, {L"한국", L"http://kr/", L"\\ü"}};
  const std::string bytes = FileBytes(kPlainCaptions, rows);
  const std::string expected =
      "\xEF\xBB\xBF"
      "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE5\x90\x8D,"
      "URL\xE3\x82\xA2\xE3\x83\x89\xE3\x83\xAC\xE3\x82\xB9,"
      "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x83\x91\xE3\x82\xB9,\r\n"
      "\xE6\x97\xA5\xE6\x9C\xAC,http://x/,\r\n"
      "\xED\x95\x9C\xEA\xB5\xAD,http://kr/,\\\xC3\xBC\r\n"
      "\r\n";
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(bytes.find('?'), std::string::npos);
}

TEST(CsvFile, TextThatFitsTheCodePageHasNoBom) {
  // Half-width katakana and the yen-sign backslash are single bytes in 932.
  const std::string bytes = FileBytes(kPlainCaptions, {{L"ｱｲｳ", L"http://x/", L"C:\\"}});
  EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(bytes.find("\xB1\xB2\xB3,http://x/,C:\\\r\n\r\n"), std::string::npos);
}

TEST(CsvFile, StreamedBytesEqualTheWholeTextConverted) {
  // The one-pass writer against the plain conversion of MakeCsvText's text,
  // in the code page, in UTF-8, and with fields longer than one piece.
  const std::wstring longAscii(300000, L'a');
  std::wstring longMixed;
  for (int i = 0; i < 100000; ++i) longMixed += (i % 3 == 0) ? L"日\"" : L"ｱ,";
  // Each character that changes how a field is written, at each place
  // within and around the eight units that plain ASCII is written in.
  const auto probes = [](std::initializer_list<const wchar_t*> characters) {
    std::vector<UrlEntry> rows;
    for (const wchar_t* c : characters)
      for (size_t at = 0; at < 18; ++at) {
        const std::wstring f = std::wstring(at, L'h') + c + std::wstring(17 - at, L'h');
        rows.push_back({f, f.substr(0, at + 1), L"\\" + f.substr(at)});
      }
    return rows;
  };
  const std::vector<std::vector<UrlEntry>> lists{
      probes({L",", L"\"", L"\r", L"\n", L"+", L"-", L"=", L"@", L"\t", L" ", L"&", L".", L"\x7F", L"日", L"ｱ", L"\\"}),
      probes({L",", L"\"", L"+", L"\x80", L"é", L"😀"}),  // outside the code page: UTF-8
      {},
      {{L"a,b", L"x\"y", L"\r\n"}, {L"日本語", L"ｶﾅ", L"\\パス"}},
      {{longAscii, longMixed, L""}, {L"tail", L"t", L"t"}},
      {{L"한국", L"\"é\"", L"😀"}, {longMixed, L"x", L""}},
      // Four-byte characters in a field that starts late in a piece.
      {{std::wstring(190000, L'a'), std::wstring(20000, L'\U0001F600'), L""}},
  };
  for (size_t i = 0; i < lists.size(); ++i) {
    const std::string expected = EncodeCsvFile(BuildCsvText(kPlainCaptions, lists[i]), kCodePageShiftJis);
    EXPECT_EQ(BuildCsvFile(kPlainCaptions, lists[i], kCodePageShiftJis), expected) << i;
    size_t pieces = 0;
    std::string joined;
    bool startedOver = false;
    ASSERT_TRUE(WriteCsvFile(
        kPlainCaptions, lists[i], kCodePageShiftJis,
        [&](std::string_view piece) {
          ++pieces;
          joined.append(piece);
          return true;
        },
        [&] {
          joined.clear();
          startedOver = true;
          return true;
        }));
    EXPECT_EQ(joined, expected) << i;
    EXPECT_EQ(CsvFileStartsOver(kPlainCaptions, lists[i], kCodePageShiftJis), startedOver) << i;
    EXPECT_GE(pieces, expected.size() / (256 * 1024)) << "handed on in pieces, not as one block";
  }
}

TEST(CsvFile, Utf8AsTheAnsiCodePageNeedsNoMark) {
  const std::vector<UrlEntry> rows{{L"日本", L"😀", L"한국"}};
  const std::string bytes = BuildCsvFile(kPlainCaptions, rows, kCodePageUtf8);
  EXPECT_EQ(bytes, EncodeCsvFile(BuildCsvText(kPlainCaptions, rows), kCodePageUtf8));
  EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
}

TEST(CsvFile, ARefusedPieceStopsTheWriting) {
  std::vector<UrlEntry> rows(20000, UrlEntry{L"name", L"http://example.com/" + std::wstring(40, L'p'), L"\\f"});
  int calls = 0;
  EXPECT_FALSE(WriteCsvFile(
      kPlainCaptions, rows, kCodePageShiftJis, [&](std::string_view) { return ++calls < 2; }, [] { return true; }));
  EXPECT_EQ(calls, 2);
  // A file that cannot be started over fails rather than mixing encodings.
  rows.push_back({L"한국", L"", L""});
  calls = 0;
  EXPECT_FALSE(WriteCsvFile(
      kPlainCaptions, rows, kCodePageShiftJis, [&](std::string_view) { return ++calls > 0; }, [] { return false; }));
}
