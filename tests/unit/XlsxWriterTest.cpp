// The workbook file is read back by an independent reader (openpyxl), which
// checks the package, the XML and the relationships as a spreadsheet would.
#include <gtest/gtest.h>
#include <unistd.h>

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

TEST_F(XlsxReadBack, CarriesValuesLinksAndWidths) {
  XlsxSheet sheet;
  FillSheet(sheet, kCaptions,
            {
                {L"日本語のサイト", L"http://example.jp/?a=1&b=\"2\"<3>", L"\\ニュース"},
                {L"  spaced & <tagged>  ", L"https://example.com/パス", L""},
                {L"line\r\nbreak", L"mailto:someone@example.com", L"\\a\\b"},
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

  EXPECT_EQ(lines["link B2"], Hex(L"http://example.jp/?a=1&b=\"2\"<3>"));
  EXPECT_EQ(lines["link B3"], Hex(L"https://example.com/パス"));
  EXPECT_EQ(lines["link B4"], Hex(L"mailto:someone@example.com"));
  // A link cell shows its address, as Excel shows a link added to an empty cell.
  EXPECT_EQ(lines["value B2"], lines["link B2"]);

  EXPECT_DOUBLE_EQ(std::stod(lines["width A"]), 21 * 0.9);
  EXPECT_DOUBLE_EQ(std::stod(lines["width B"]), 31 * 0.9);
  EXPECT_DOUBLE_EQ(std::stod(lines["width C"]), 28 * 0.9);  // the caption
}

TEST_F(XlsxReadBack, EmptyListIsAnEmptySheetOfWidthNine) {
  XlsxSheet sheet;
  FillSheet(sheet, kCaptions, {}, kCodePageShiftJis);
  auto lines = ReadBack(sheet.Build());
  EXPECT_EQ(lines.size(), 3u);
  for (const char* column : {"A", "B", "C"}) EXPECT_EQ(lines[std::string("width ") + column], "9.0");
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
  EXPECT_EQ(lines["width A"], "9.0");  // the refused 256 left the earlier width
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
  EXPECT_EQ(lines["width B"], "7.5");
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
