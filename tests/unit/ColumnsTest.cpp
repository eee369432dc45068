#include <gtest/gtest.h>

#include "list/Columns.h"

using namespace vorpa;

TEST(ColumnWidths, FollowTheListWidthInTwips) {
  EXPECT_EQ((ColumnWidths{2310, 4650, 4650}).name, ComputeColumnWidths(11700).name);
  const ColumnWidths w = ComputeColumnWidths(11700);
  EXPECT_EQ(w.name, 2310);
  EXPECT_EQ(w.url, 4650);
  EXPECT_EQ(w.folder, 4650);
  // Rounding to even on ties, then truncating division.
  EXPECT_EQ(ComputeColumnWidths(102.5).name, 102 / 5 - 30);   // 102.5 -> 102
  EXPECT_EQ(ComputeColumnWidths(103.5).name, 104 / 5 - 30);   // 103.5 -> 104
  EXPECT_EQ(ComputeColumnWidths(102.25).url, 204 / 5 - 30);   // 204.5 -> 204
  EXPECT_EQ(ComputeColumnWidths(102.75).url, 206 / 5 - 30);   // 205.5 -> 206
  EXPECT_EQ(ComputeColumnWidths(0).name, -30);
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
