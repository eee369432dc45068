#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "list/DropFiles.h"

using namespace vorpa;

namespace {

std::vector<unsigned char> Header(std::uint32_t offset, bool wide) {
  std::vector<unsigned char> b(20, 0);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(offset >> (8 * i));
  b[16] = wide ? 1 : 0;
  return b;
}

void AppendWide(std::vector<unsigned char>& b, const std::u16string& s) {
  for (char16_t c : s) {
    b.push_back(static_cast<unsigned char>(c & 0xFF));
    b.push_back(static_cast<unsigned char>(c >> 8));
  }
  b.push_back(0);
  b.push_back(0);
}

std::vector<unsigned char> WideBlock(const std::vector<std::u16string>& paths) {
  std::vector<unsigned char> b = Header(20, true);
  for (const auto& p : paths) AppendWide(b, p);
  AppendWide(b, u"");
  return b;
}

}  // namespace

TEST(ParseDropFiles, ReadsWidePathsInOrder) {
  const auto block = WideBlock({u"C:\\A\\a.url", u"C:\\B\\日本語.url", u"C:\\フォルダ"});
  const auto paths = ParseDropFiles(block.data(), block.size());
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0], L"C:\\A\\a.url");
  EXPECT_EQ(paths[1], L"C:\\B\\日本語.url");
  EXPECT_EQ(paths[2], L"C:\\フォルダ");
}

TEST(ParseDropFiles, ReadsCodePageBlocks) {
  std::vector<unsigned char> b = Header(20, false);
  for (const char* s : {"C:\\A\\a.url", "D:\\x"}) {
    b.insert(b.end(), s, s + std::char_traits<char>::length(s));
    b.push_back(0);
  }
  b.push_back(0);
  const auto paths = ParseDropFiles(b.data(), b.size());
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], L"C:\\A\\a.url");
  EXPECT_EQ(paths[1], L"D:\\x");
}

TEST(ParseDropFiles, HasNoLimitOnTheNumberOfPaths) {
  std::vector<std::u16string> many;
  for (int i = 0; i < 40000; ++i) many.push_back(u"C:\\f" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
  const auto block = WideBlock(many);
  EXPECT_EQ(ParseDropFiles(block.data(), block.size()).size(), 40000u);
}

TEST(ParseDropFiles, SurvivesBlocksThatLie) {
  EXPECT_TRUE(ParseDropFiles(nullptr, 100).empty());
  const auto header = Header(20, true);
  EXPECT_TRUE(ParseDropFiles(header.data(), 19).empty());
  EXPECT_TRUE(ParseDropFiles(header.data(), header.size()).empty());

  // The offset points past the end, or back into the header.
  auto outside = WideBlock({u"C:\\a.url"});
  outside[0] = 0xFF;
  outside[1] = 0xFF;
  EXPECT_TRUE(ParseDropFiles(outside.data(), outside.size()).empty());
  auto inside = WideBlock({u"C:\\a.url"});
  inside[0] = 4;
  EXPECT_TRUE(ParseDropFiles(inside.data(), inside.size()).empty());

  // No terminators at all: the cut path is not taken, the whole one is.
  auto cut = WideBlock({u"C:\\whole.url", u"C:\\cut-here"});
  cut.resize(cut.size() - 4);
  const auto paths = ParseDropFiles(cut.data(), cut.size());
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0], L"C:\\whole.url");

  // An odd byte count leaves half a character at the end.
  auto odd = WideBlock({u"C:\\a.url"});
  odd.resize(odd.size() - 3);
  EXPECT_TRUE(ParseDropFiles(odd.data(), odd.size()).empty());
}
