#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/Text.h"
#include "output/SheetExport.h"

using namespace vorpa;

namespace {

// A spreadsheet that writes down every call, and refuses what it is told to.
class RecordingSheet : public Spreadsheet {
 public:
  void SetVisible() override { calls.push_back(L"Visible"); }
  bool SetCell(long row, int column, const std::wstring& text) override {
    calls.push_back(L"Cell(" + std::to_wstring(row) + L"," + std::to_wstring(column) + L")=" + text);
    return true;
  }
  bool AddHyperlink(long row, int column, const std::wstring& address) override {
    const bool ok = !refuseLink || !refuseLink(address);
    calls.push_back(L"Link(" + std::to_wstring(row) + L"," + std::to_wstring(column) + L")=" + address +
                    (ok ? L"" : L" refused"));
    return ok;
  }
  bool SetColumnWidth(int column, double width) override {
    const bool ok = width <= maxWidth;
    if (ok) widths[column - 1] = width;
    calls.push_back(L"Width(" + std::to_wstring(column) + L")" + (ok ? L"" : L" refused"));
    return ok;
  }

  std::vector<std::wstring> calls;
  double widths[3] = {-1, -1, -1};
  double maxWidth = 255;
  std::function<bool(const std::wstring&)> refuseLink;
};

const ColumnCaptions kCaptions{L"ファイル名", L"URLアドレス", L"ファイルパス"};

}  // namespace

TEST(SheetExport, WritesCaptionsRowsAndLinksInOrder) {
  RecordingSheet sheet;
  FillSheet(sheet, kCaptions, {{L"a", L"http://a/", L"\\x"}, {L"b", L"http://b/", L""}}, kCodePageShiftJis);
  EXPECT_EQ(sheet.calls, (std::vector<std::wstring>{
                             L"Visible",
                             L"Cell(1,1)=ファイル名",
                             L"Cell(1,2)=URLアドレス",
                             L"Cell(1,3)=ファイルパス",
                             L"Cell(2,1)=a",
                             L"Link(2,2)=http://a/",
                             L"Cell(2,3)=\\x",
                             L"Cell(3,1)=b",
                             L"Link(3,2)=http://b/",
                             L"Cell(3,3)=",
                             L"Width(1)",
                             L"Width(2)",
                             L"Width(3)",
                         }));
}

TEST(SheetExport, EmptyListWritesNoCellsAndWidthsOfNine) {
  RecordingSheet sheet;
  FillSheet(sheet, kCaptions, {}, kCodePageShiftJis);
  EXPECT_EQ(sheet.calls, (std::vector<std::wstring>{L"Visible", L"Width(1)", L"Width(2)", L"Width(3)"}));
  for (double w : sheet.widths) EXPECT_DOUBLE_EQ(w, 9.0);
}

TEST(SheetExport, WidthsFollowTheLongestTextInAnsiBytes) {
  {
    // Texts shorter than the captions: the captions' byte lengths, even under 10.
    RecordingSheet sheet;
    FillSheet(sheet, {L"No", L"URLアドレス", L"ファイルパス (C:\\A)"}, {{L"a", L"b", L"c"}}, kCodePageShiftJis);
    EXPECT_DOUBLE_EQ(sheet.widths[0], 2 * 0.9);
    EXPECT_DOUBLE_EQ(sheet.widths[1], 11 * 0.9);
    EXPECT_DOUBLE_EQ(sheet.widths[2], 19 * 0.9);
  }
  {
    // Twenty full-width characters are forty bytes; half-width katakana one each.
    RecordingSheet sheet;
    const std::wstring twenty(20, L'漢');
    FillSheet(sheet, kCaptions,
              {{L"short", L"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾ", L""}, {twenty, L"http://x/", L"\\ﾌｫﾙﾀﾞ"}, {L"x", L"y", L"z"}},
              kCodePageShiftJis);
    EXPECT_DOUBLE_EQ(sheet.widths[0], 36.0);
    EXPECT_DOUBLE_EQ(sheet.widths[1], 14 * 0.9);
    EXPECT_DOUBLE_EQ(sheet.widths[2], 12 * 0.9);  // the caption: 12 bytes beat 6
  }
  {
    // A text of the caption's length leaves it; one byte more takes over.
    RecordingSheet sheet;
    FillSheet(sheet, {L"abcd", L"ab", L"a"}, {{L"wxyz", L"abc", L"a"}, {L"v", L"ab", L""}}, kCodePageShiftJis);
    EXPECT_DOUBLE_EQ(sheet.widths[0], 4 * 0.9);
    EXPECT_DOUBLE_EQ(sheet.widths[1], 3 * 0.9);
    EXPECT_DOUBLE_EQ(sheet.widths[2], 1 * 0.9);
  }
}

TEST(SheetExport, RefusedWidthIsSkippedAndTheRestGoesOn) {
  RecordingSheet sheet;
  sheet.maxWidth = 100;
  FillSheet(sheet, kCaptions, {{L"a", std::wstring(200, L'u'), L"\\folder"}}, kCodePageShiftJis);
  EXPECT_EQ(sheet.calls.back(), L"Width(3)");
  EXPECT_DOUBLE_EQ(sheet.widths[0], 9.0);
  EXPECT_DOUBLE_EQ(sheet.widths[1], -1);  // never taken
  EXPECT_DOUBLE_EQ(sheet.widths[2], 12 * 0.9);
}

TEST(SheetExport, RefusedLinkLeavesTheUrlAsText) {
  RecordingSheet sheet;
  const std::wstring longUrl = L"http://x/" + std::wstring(300, L'a');
  sheet.refuseLink = [](const std::wstring& address) { return address.size() > 255; };
  FillSheet(sheet, kCaptions, {{L"long", longUrl, L""}, {L"short", L"http://s/", L""}}, kCodePageShiftJis);
  const std::vector<std::wstring> rowCalls(sheet.calls.begin() + 4, sheet.calls.end() - 3);
  EXPECT_EQ(rowCalls, (std::vector<std::wstring>{
                          L"Cell(2,1)=long",
                          L"Link(2,2)=" + longUrl + L" refused",
                          L"Cell(2,2)=" + longUrl,
                          L"Cell(2,3)=",
                          L"Cell(3,1)=short",
                          L"Link(3,2)=http://s/",
                          L"Cell(3,3)=",
                      }));
}

TEST(SheetExport, OnlyWebAddressesBecomeLinks) {
  RecordingSheet sheet;
  const std::vector<std::wstring> others{L"file:///C:/Windows/System32/calc.exe", L"C:\\tools\\run.bat",
                                         L"javascript:alert(1)", L"\\\\server\\share\\x.exe", L""};
  std::vector<UrlEntry> rows{{L"web", L"https://example.com/", L""}};
  for (const std::wstring& url : others) rows.push_back({L"other", url, L""});
  FillSheet(sheet, kCaptions, rows, kCodePageShiftJis);
  EXPECT_NE(std::find(sheet.calls.begin(), sheet.calls.end(), L"Link(2,2)=https://example.com/"), sheet.calls.end());
  for (size_t i = 0; i < others.size(); ++i) {
    const std::wstring row = std::to_wstring(i + 3);
    EXPECT_NE(std::find(sheet.calls.begin(), sheet.calls.end(), L"Cell(" + row + L",2)=" + others[i]),
              sheet.calls.end())
        << i;
    for (const std::wstring& call : sheet.calls) EXPECT_NE(call.rfind(L"Link(" + row, 0), 0u) << call;
  }
}

TEST(SheetExport, TextLongerThanACellIsCutAndSaysSo) {
  RecordingSheet sheet;
  sheet.refuseLink = [](const std::wstring& address) { return address.size() > 2079; };
  const std::wstring longName(40000, L'n');
  const std::wstring longUrl = L"http://x/" + std::wstring(kMaxCellChars, L'u');
  // A pair that would be cut in half at the cut.
  std::wstring pairs = std::wstring(kMaxCellChars - 20, L'p');
  while (pairs.size() < kMaxCellChars + 10) pairs += L"\U0001F600";
  FillSheet(sheet, kCaptions, {{longName, longUrl, pairs}, {L"a", L"http://a/", std::wstring(kMaxCellChars, L'f')}},
            kCodePageShiftJis);
  std::vector<std::wstring> cells;
  for (const std::wstring& call : sheet.calls)
    if (call.rfind(L"Cell(2,", 0) == 0 || call.rfind(L"Cell(3,3)", 0) == 0) cells.push_back(call.substr(10));
  ASSERT_EQ(cells.size(), 4u);
  const struct {
    size_t whole;
    wchar_t head;
  } expected[] = {{longName.size(), L'n'}, {longUrl.size(), L'h'}, {pairs.size(), L'p'}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_LE(cells[i].size(), kMaxCellChars);
    EXPECT_GT(cells[i].size(), kMaxCellChars - 40);
    EXPECT_EQ(cells[i][0], expected[i].head);
    EXPECT_NE(cells[i].find(L"以下省略 全" + std::to_wstring(expected[i].whole) + L"文字"), std::wstring::npos);
  }
  if (sizeof(wchar_t) == 2) {
    const size_t note = cells[2].find(L'…');
    EXPECT_FALSE(cells[2][note - 1] >= 0xD800 && cells[2][note - 1] <= 0xDBFF) << "no half pair before the note";
  }
  EXPECT_EQ(cells[3], std::wstring(kMaxCellChars, L'f')) << "a text that fits is left whole";
}
