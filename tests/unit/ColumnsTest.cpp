#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "list/Columns.h"

using namespace vorpa;

namespace {

struct WidthCase {
  double list;  // twips
  int name, other;
};

// Each noted row tells a wrong rule from the right one; the second test makes
// sure that every wrong rule is caught by some row.
constexpr WidthCase kWidthCases[] = {
    {11700, 2310, 4650},  // the design width
    {104.6, -9, 11},      // W 105; truncating W gives 104 -> -10
    {124.5, -6, 19},      // tie: W 124 (even); half up gives 125 -> -5
    {102.4, -10, 11},     // 2W 204.8 -> 205; truncating gives 204 -> 10
    {102.25, -10, 10},    // 2W tie 204.5 -> 204 (even); half up gives 205 -> 11
    {119.5, -6, 17},      // tie: W 120 (even); half down gives 119 -> -7
    {104, -10, 11},       // 104 / 5 = 20.8 truncates; rounding the quotient gives -9 and 12
    {0, -30, -30},
};

ColumnWidths ByRule(double w, const std::function<long long(double)>& round, bool roundQuotient) {
  const auto part = [&](long long v) {
    return static_cast<int>(roundQuotient ? std::llround(static_cast<double>(v) / 5.0) : v / 5) - 30;
  };
  return {part(round(w)), part(round(2 * w)), part(round(2 * w))};
}

}  // namespace

TEST(ColumnWidths, RoundTheListWidthHalfToEvenAndTruncateTheDivision) {
  for (const WidthCase& c : kWidthCases) {
    const ColumnWidths w = ComputeColumnWidths(c.list);
    EXPECT_EQ(w.name, c.name) << c.list;
    EXPECT_EQ(w.url, c.other) << c.list;
    EXPECT_EQ(w.folder, c.other) << c.list;
  }
}

TEST(ColumnWidths, TheCasesRejectEveryOtherRoundingRule) {
  const auto halfEven = [](double v) { return std::llrint(v); };  // default mode: to nearest, ties to even
  const struct {
    const char* rule;
    std::function<long long(double)> round;
    bool roundQuotient;
  } wrong[] = {
      {"truncate", [](double v) { return static_cast<long long>(v); }, false},
      {"half up", [](double v) { return static_cast<long long>(std::floor(v + 0.5)); }, false},
      {"half down", [](double v) { return static_cast<long long>(std::ceil(v - 0.5)); }, false},
      {"ceiling", [](double v) { return static_cast<long long>(std::ceil(v)); }, false},
      {"rounded quotient", halfEven, true},
  };
  for (const auto& r : wrong) {
    bool caught = false;
    for (const WidthCase& c : kWidthCases) {
      const ColumnWidths w = ByRule(c.list, r.round, r.roundQuotient);
      caught = caught || w.name != c.name || w.url != c.other;
    }
    EXPECT_TRUE(caught) << r.rule;
  }
}

TEST(HeaderFolder, NamesOneFolderAndForgetsItWhenFoldersMix) {
  std::wstring listFolder;
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"C:\\A", false), L"ファイルパス (C:\\A)");
  EXPECT_EQ(listFolder, L"C:\\A");
  // The same folder in other letter case counts as equal and takes its spelling.
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"c:\\a", true), L"ファイルパス (c:\\a)");
  EXPECT_EQ(listFolder, L"c:\\a");
  // Another folder added: the header names none.
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"C:\\B", true), L"ファイルパス");
  EXPECT_EQ(listFolder, L"");
  // With nothing remembered, the next added folder is named again.
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"C:\\C", true), L"ファイルパス (C:\\C)");
  // A drop-style call: plain header, but the folder is still remembered ...
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"", false), L"ファイルパス");
  EXPECT_EQ(listFolder, L"C:\\C");
  // ... so adding it again names it, and adding another does not.
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"C:\\C", true), L"ファイルパス (C:\\C)");
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"C:\\D", true), L"ファイルパス");
}

TEST(HeaderFolder, NewListAlwaysNamesItsFolder) {
  std::wstring listFolder = L"C:\\A";
  EXPECT_EQ(ApplyHeaderFolder(listFolder, L"D:\\X", false), L"ファイルパス (D:\\X)");
  EXPECT_EQ(listFolder, L"D:\\X");
}
