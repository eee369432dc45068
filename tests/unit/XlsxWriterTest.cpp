// The workbook file is read back by an independent reader (openpyxl), which
// checks the package, the XML and the relationships as a spreadsheet would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "common/Text.h"
#include "output/XlsxWriter.h"

using namespace vorpa;

namespace {

namespace fs = std::filesystem;

// Debian's interpreter, which has python3-openpyxl, even when another python3
// comes first on the PATH.
std::string Python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

std::string Hex(const std::wstring& text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : EncodeCodePage(text, kCodePageUtf8)) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

// Prints one line per cell value, hyperlink and column width; texts in hex
// of their UTF-8 so that any character survives the trip.
constexpr char kReader[] = R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
for row in ws.iter_rows():
    for c in row:
        if c.value is not None:
            print("value", c.coordinate, str(c.value).encode("utf-8").hex())
        if c.hyperlink is not None:
            print("link", c.coordinate, (c.hyperlink.target or "").encode("utf-8").hex())
for key, dim in sorted(ws.column_dimensions.items()):
    if dim.customWidth:
        print("width", key, repr(dim.width))
)PY";

class XlsxReadBack : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vorpa-xlsx-" + std::to_string(getpid()) + "-" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    std::ofstream(dir_ / "read.py") << kReader;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // The reader's lines, keyed by their first two words.
  std::map<std::string, std::string> ReadBack(const std::string& bytes) {
    const fs::path file = dir_ / "book.xlsx";
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const fs::path out = dir_ / "out.txt";
    const std::string command =
        Python() + " '" + (dir_ / "read.py").string() + "' '" + file.string() + "' > '" + out.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(out);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(status, 0) << all.str();
    std::map<std::string, std::string> lines;
    std::string kind, where, value;
    while (all >> kind >> where >> value) lines[kind + " " + where] = value;
    return lines;
  }

  fs::path dir_;
};

const ColumnCaptions kCaptions{L"ファイル名", L"URLアドレス", L"ファイルパス (C:\\お気に入り)"};

}  // namespace

// What Excel shows for a file's column width: whole pixels of a 7-pixel
// digit, less the 5 pixels of padding, in hundredths (ECMA-376 Part 1,
// 18.3.1.13, read the other way).
double ShownWidth(double fileWidth) {
  const double pixels = std::trunc((256 * fileWidth + std::trunc(128.0 / 7)) / 256 * 7);
  return std::trunc((pixels - 5) / 7 * 100 + 0.5) / 100;
}

TEST_F(XlsxReadBack, CarriesValuesLinksAndWidths) {
  XlsxSheet sheet;
  FillSheet(sheet, kCaptions,
            {
                {L"日本語のサイト", L"http://example.jp/a<3>b%41%zz", L"\\ニュース"},
                {L"  spaced & <tagged>  ", L"https://example.com/パス?q=1&r=2", L""},
                {L"line\r\nbreak", L"mailto:someone@example.com", L"\\a\\b"},
                {L"not web", L"file:///C:/Windows/System32/calc.exe", L""},
            },
            kCodePageShiftJis);
  auto lines = ReadBack(sheet.Build());

  EXPECT_EQ(lines["value A1"], Hex(L"ファイル名"));
  EXPECT_EQ(lines["value B1"], Hex(L"URLアドレス"));
  EXPECT_EQ(lines["value C1"], Hex(L"ファイルパス (C:\\お気に入り)"));
  EXPECT_EQ(lines["value A2"], Hex(L"日本語のサイト"));
  EXPECT_EQ(lines["value C2"], Hex(L"\\ニュース"));
  EXPECT_EQ(lines["value A3"], Hex(L"  spaced & <tagged>  "));
  EXPECT_EQ(lines["value A4"], Hex(L"line\r\nbreak"));
  EXPECT_EQ(lines["value C4"], Hex(L"\\a\\b"));
  EXPECT_EQ(lines.count("value C3"), 0u);  // an empty text leaves the cell empty

  // Targets as a browser sends them; the cell shows the address as listed.
  EXPECT_EQ(lines["link B2"], Hex(L"http://example.jp/a%3C3%3Eb%41%25zz"));
  EXPECT_EQ(lines["link B3"], Hex(L"https://example.com/%E3%83%91%E3%82%B9?q=1&r=2"));
  EXPECT_EQ(lines["link B4"], Hex(L"mailto:someone@example.com"));
  EXPECT_EQ(lines["value B2"], Hex(L"http://example.jp/a<3>b%41%zz"));
  // Anything else is text only: a click in the sheet would open it unasked.
  EXPECT_EQ(lines.count("link B5"), 0u);
  EXPECT_EQ(lines["value B5"], Hex(L"file:///C:/Windows/System32/calc.exe"));

  // Excel shows the widths the automation path sets: the longest text's bytes
  // times 0.9, to the pixel.
  const struct {
    const char* column;
    double shown;
  } widths[] = {{"A", 21 * 0.9}, {"B", 36 * 0.9}, {"C", 28 * 0.9}};
  for (const auto& w : widths) {
    const double file = std::stod(lines[std::string("width ") + w.column]);
    EXPECT_NEAR(ShownWidth(file), w.shown, 1.0 / 7) << w.column << " " << file;
  }
}

TEST_F(XlsxReadBack, EmptyListIsAnEmptySheetOfWidthNine) {
  XlsxSheet sheet;
  FillSheet(sheet, kCaptions, {}, kCodePageShiftJis);
  auto lines = ReadBack(sheet.Build());
  EXPECT_EQ(lines.size(), 3u);
  for (const char* column : {"A", "B", "C"}) {
    // 9 characters and the padding, as ECMA-376 works its example.
    EXPECT_EQ(lines[std::string("width ") + column], "9.7109375");
    EXPECT_EQ(ShownWidth(9.7109375), 9.0);
  }
}

TEST(XlsxSheet, ColumnWidthsInTheFileUnit) {
  // The standard's example (8 characters of Calibri 11: 8.7109375) and its
  // neighbours; each shows in Excel as the width that was asked for.
  const struct {
    double shown, file;
  } cases[] = {{8, 8.7109375}, {9, 9.7109375}, {10, 10.7109375}, {1, 1.7109375}, {36, 36.7109375}, {0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(FileColumnWidth(c.shown), c.file) << c.shown;
    if (c.shown > 0) {
      EXPECT_EQ(ShownWidth(FileColumnWidth(c.shown)), c.shown) << c.shown;
    }
  }
  EXPECT_LE(FileColumnWidth(XlsxSheet::kMaxWidth), 255.0) << "Office takes no file width above 255";
}

TEST(XlsxSheet, LinkTargetsArePercentEncodedAsABrowserSendsThem) {
  const struct {
    std::wstring url;
    std::string encoded;
  } cases[] = {
      {L"http://h/a b\tc\nd\re", "http://h/a%20b%09c%0Ad%0De"},
      {L"http://h/\"q\"<t>", "http://h/%22q%22%3Ct%3E"},
      {L"http://h/\u202Eexe.txt\u200F", "http://h/%E2%80%AEexe.txt%E2%80%8F"},
      {L"http://h/日本", "http://h/%E6%97%A5%E6%9C%AC"},
      {L"http://h/\U0001F600", "http://h/%F0%9F%98%80"},
      {L"http://h/%41%2f%zz%4", "http://h/%41%2f%25zz%254"},
      {L"http://h/a\\b|c^d`e{f}", "http://h/a%5Cb%7Cc%5Ed%60e%7Bf%7D"},
      {L"https://u:p@h:8/p;x?q=1&r=[2]#f!$'()*+,=-._~", "https://u:p@h:8/p;x?q=1&r=[2]#f!$'()*+,=-._~"},
  };
  for (const auto& c : cases) {
    std::string out;
    ASSERT_TRUE(PercentEncodeUrl(c.url, out)) << testing::PrintToString(c.url);
    EXPECT_EQ(out, c.encoded);
  }
  if (sizeof(wchar_t) == 2) {
    std::string out;
    EXPECT_FALSE(PercentEncodeUrl(std::wstring(L"http://h/") + static_cast<wchar_t>(0xD800), out));
  }
}

TEST_F(XlsxReadBack, WhatTheFormatCannotHoldIsRefusedOrEscaped) {
  XlsxSheet sheet;
  const std::wstring tooLong = L"http://x/" + std::wstring(XlsxSheet::kMaxLinkChars, L'a');
  FillSheet(sheet, kCaptions,
            {
                {L"bell\x07", tooLong, L""},           // link too long: the URL stays as text
                {L"ok", L"http://x/\x01y", L"tab\t"},  // no XML for U+0001: text again
            },
            kCodePageShiftJis);
  EXPECT_FALSE(sheet.SetCell(XlsxSheet::kMaxRows + 1, 1, L"x"));
  EXPECT_FALSE(sheet.SetCell(1, 1, std::wstring(XlsxSheet::kMaxCellChars + 1, L'x')));
  EXPECT_FALSE(sheet.SetColumnWidth(1, 256));
  EXPECT_FALSE(sheet.AddHyperlink(9, 2, L""));
  auto lines = ReadBack(sheet.Build());

  EXPECT_EQ(lines.count("link B2"), 0u);
  EXPECT_EQ(lines["value B2"], Hex(tooLong));
  EXPECT_EQ(lines.count("link B3"), 0u);
  // The spreadsheet escape for characters that XML cannot carry.
  EXPECT_EQ(lines["value A2"], Hex(L"bell_x0007_"));
  EXPECT_EQ(lines["value B3"], Hex(L"http://x/_x0001_y"));
  EXPECT_EQ(lines["value C3"], Hex(L"tab\t"));

  // Beyond what a cell holds: cut, with a note of the whole length.
  XlsxSheet longSheet;
  const std::wstring longName(40000, L'n'), longUrl = L"http://x/" + std::wstring(40000, L'u');
  FillSheet(longSheet, kCaptions, {{longName, longUrl, L""}}, kCodePageShiftJis);
  auto longLines = ReadBack(longSheet.Build());
  EXPECT_EQ(longLines["value A2"], Hex(FitCellText(longName)));
  EXPECT_EQ(longLines["value B2"], Hex(FitCellText(longUrl)));
  EXPECT_NE(longLines["value B2"].find(Hex(L"以下省略 全40009文字")), std::string::npos);
  EXPECT_EQ(lines["width A"], "9.7109375");  // the refused 256 left the earlier width
}

TEST(XlsxSheet, LinksStopAtTheSheetLimit) {
  // Read back by value only: the reader takes minutes over this many links.
  XlsxSheet sheet;
  for (size_t i = 0; i < XlsxSheet::kMaxLinks; ++i)
    ASSERT_TRUE(sheet.AddHyperlink(static_cast<long>(i + 1), 2, L"http://h/" + std::to_wstring(i)));
  EXPECT_FALSE(sheet.AddHyperlink(static_cast<long>(XlsxSheet::kMaxLinks + 1), 2, L"http://over/"));
  const std::string bytes = sheet.Build();
  EXPECT_EQ(bytes.substr(0, 2), "PK");
}

TEST_F(XlsxReadBack, LaterWritesToACellWin) {
  XlsxSheet sheet;
  sheet.SetCell(2, 1, L"first");
  sheet.SetCell(1, 3, L"before");
  sheet.SetCell(2, 1, L"second");
  sheet.AddHyperlink(1, 1, L"http://old/");
  sheet.AddHyperlink(1, 1, L"http://new/");
  sheet.SetColumnWidth(2, 5);
  sheet.SetColumnWidth(2, 7.5);
  auto lines = ReadBack(sheet.Build());
  EXPECT_EQ(lines["value A2"], Hex(L"second"));
  EXPECT_EQ(lines["value C1"], Hex(L"before"));
  EXPECT_EQ(lines["link A1"], Hex(L"http://new/"));
  EXPECT_EQ(lines["width B"], "8.2109375");  // 7.5 with the padding
}

TEST(Zip, EntriesReadBackWithTheirCrc) {
  std::string big;
  for (int i = 0; i < 100000; ++i) big += std::to_string(i * 7919 % 104729) + ",";
  const std::string zip = BuildZip({{"a.txt", "hello"}, {"dir/empty", ""}, {"big", big}});
  const fs::path dir = fs::temp_directory_path() / ("vorpa-zip-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "t.zip", std::ios::binary).write(zip.data(), static_cast<std::streamsize>(zip.size()));
  std::ofstream(dir / "big") << big;
  const std::string command = Python() +
                              " -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                              "assert z.testzip() is None; assert z.namelist() == ['a.txt', 'dir/empty', 'big']; "
                              "assert z.read('a.txt') == b'hello'; assert z.read('dir/empty') == b''; "
                              "assert z.read('big') == open(sys.argv[2], 'rb').read()\" '" +
                              (dir / "t.zip").string() + "' '" + (dir / "big").string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_LT(zip.size(), big.size() / 2);
  fs::remove_all(dir);
}
