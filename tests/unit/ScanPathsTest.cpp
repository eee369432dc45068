#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "list/ScanPaths.h"

using namespace vorpa;

TEST(ScanPaths, ShortcutTypeInAnyLetterCaseOnly) {
  EXPECT_TRUE(IsShortcutType(L"url"));
  EXPECT_TRUE(IsShortcutType(L"URL"));
  EXPECT_TRUE(IsShortcutType(L"uRl"));
  EXPECT_FALSE(IsShortcutType(L""));
  EXPECT_FALSE(IsShortcutType(L"urls"));
  EXPECT_FALSE(IsShortcutType(L"ur"));
  EXPECT_FALSE(IsShortcutType(L"lnk"));
}

// What the path helpers give for a visible file, so that a hidden one in the
// same folder lands in the same column text.
TEST(ScanPaths, FolderOfPathKeepsOnlyTheRootsBackslash) {
  EXPECT_EQ(FolderOfPath(L"C:\\a\\b.url"), L"C:\\a");
  EXPECT_EQ(FolderOfPath(L"C:\\a\\sub\\.hidden.url"), L"C:\\a\\sub");
  EXPECT_EQ(FolderOfPath(L"C:\\b.url"), L"C:\\");
  EXPECT_EQ(FolderOfPath(L"\\b.url"), L"\\");
  EXPECT_EQ(FolderOfPath(L"\\\\srv\\share\\x.url"), L"\\\\srv\\share");
  EXPECT_EQ(FolderOfPath(L"b.url"), L"");
  EXPECT_EQ(FolderOfPath(L""), L"");
  EXPECT_EQ(FolderOfPath(L"C:b.url"), L"C:");
  EXPECT_EQ(FolderOfPath(L"C:\\日本語\\ファイル.url"), L"C:\\日本語");
}

TEST(ScanPaths, CutBaseFolderMakesTheFolderRelative) {
  EXPECT_EQ(CutBaseFolder(L"C:\\A\\sub", L"C:\\A"), L"\\sub");
  EXPECT_EQ(CutBaseFolder(L"C:\\A", L"C:\\A"), L"");
  // A drive root base already ends with its backslash.
  EXPECT_EQ(CutBaseFolder(L"X:\\sub", L"X:\\"), L"sub");
  EXPECT_EQ(CutBaseFolder(L"X:\\", L"X:\\"), L"");
  // No base folder: a dropped file shows its folder in full.
  EXPECT_EQ(CutBaseFolder(L"C:\\A\\sub", L""), L"C:\\A\\sub");
  // A folder shorter than the base has nothing left to show.
  EXPECT_EQ(CutBaseFolder(L"", L"C:\\A"), L"");
  EXPECT_EQ(CutBaseFolder(L"C:\\A", L"C:\\A\\"), L"");
}

TEST(ScanPaths, ShortcutNameDropsFolderAndExtension) {
  EXPECT_EQ(ShortcutNameFromPath(L"C:\\a\\[news] site.url"), L"[news] site");
  EXPECT_EQ(ShortcutNameFromPath(L"C:\\a\\b.URL"), L"b");
  EXPECT_EQ(ShortcutNameFromPath(L"C:\\a\\b.c.url"), L"b.c");
  EXPECT_EQ(ShortcutNameFromPath(L"C:\\a\\b.urlx"), L"b.urlx");
  EXPECT_EQ(ShortcutNameFromPath(L"b.url"), L"b");
  EXPECT_EQ(ShortcutNameFromPath(L"X:\\絵文字😀.url"), L"絵文字😀");
  // A name that is nothing but the extension keeps it rather than vanish.
  EXPECT_EQ(ShortcutNameFromPath(L"C:\\a\\.url"), L".url");
  EXPECT_EQ(ShortcutNameFromPath(L"C:\\a\\"), L"");
}

TEST(SortKey, ByteOrderOfKeysIsTheOrderOfTheComparison) {
  const std::vector<std::wstring> texts = {L"",      L"a",     L"A",      L"ab",    L"Ab",   L"b",
                                           L"B1",    L"b10",   L"b2",     L"abc",   L"ABD",  L"日本",
                                           L"にほん", L"ｗｉｄｅ", L"http://x", L"z-a",   L"za",   L"\u00e9t\u00e9",
                                           L"ETE",   L"~",     L" lead",  L"😀end"};
  const auto key = [](const std::wstring& t) {
    std::string k;
    AppendSortKey(t, k);
    return k;
  };
  for (const auto& a : texts) {
    for (const auto& b : texts) {
      const int byCompare = CompareForSort(a, b);
      const int byKey = key(a).compare(key(b));
      EXPECT_EQ(byCompare < 0, byKey < 0) << "ordering differs";
      EXPECT_EQ(byCompare == 0, byKey == 0) << "equality differs";
    }
  }
  std::string twoKeys;
  AppendSortKey(L"a", twoKeys);
  AppendSortKey(L"b", twoKeys);
  EXPECT_EQ(twoKeys, key(L"a") + key(L"b"));  // appends, never replaces
}
