#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/VersionInfo.h"

using namespace vorpa;

namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<unsigned char>(v & 0xFF));
  b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Pad(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}
Bytes Utf16z(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s) Put16(b, c);
  Put16(b, 0);
  return b;
}

// One node as resource compilers lay it out. text: a string value, whose
// length some compilers give in characters and others in bytes.
Bytes Node(const std::u16string& key, const Bytes& value, bool text, const std::vector<Bytes>& children = {},
           bool lengthInBytes = false) {
  Bytes b(6, 0);
  const Bytes k = Utf16z(key);
  b.insert(b.end(), k.begin(), k.end());
  Pad(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const Bytes& c : children) {
    Pad(b);
    b.insert(b.end(), c.begin(), c.end());
  }
  const size_t valueLength = text && !lengthInBytes ? value.size() / 2 : value.size();
  b[0] = static_cast<unsigned char>(b.size() & 0xFF);
  b[1] = static_cast<unsigned char>(b.size() >> 8);
  b[2] = static_cast<unsigned char>(valueLength & 0xFF);
  b[3] = static_cast<unsigned char>(valueLength >> 8);
  b[4] = text ? 1 : 0;
  return b;
}
Bytes Str(const std::u16string& key, const std::u16string& value, bool lengthInBytes = false) {
  return Node(key, Utf16z(value), true, {}, lengthInBytes);
}
Bytes Fixed(unsigned major, unsigned minor) {
  Bytes f;
  Put32(f, 0xFEEF04BD);
  Put32(f, 0x00010000);
  Put32(f, major << 16 | minor);
  Put32(f, 0);
  while (f.size() < 52) f.push_back(0);
  return f;
}
Bytes Translation(unsigned language, unsigned codePage) {
  Bytes t;
  Put16(t, language);
  Put16(t, codePage);
  return Node(u"VarFileInfo", {}, true, {Node(u"Translation", t, false)});
}
Bytes Block(const std::vector<Bytes>& tables, const std::vector<Bytes>& tail) {
  std::vector<Bytes> children{Node(u"StringFileInfo", {}, true, tables)};
  children.insert(children.end(), tail.begin(), tail.end());
  return Node(u"VS_VERSION_INFO", Fixed(2, 10), false, children);
}

const Bytes kEnglish = Node(u"040904E4", {}, true, {Str(u"Comments", u"english"), Str(u"LegalCopyright", u"(c) en")});
const Bytes kJapanese = Node(u"041104B0", {}, true,
                             {Str(u"Comments", u"Quenmora"), Str(u"FileDescription", u"ＶＯＲＰＡ", true),
                              Str(u"LegalCopyright", u"著作権 2026")});

}  // namespace

TEST(VersionInfo, ReadsTheFixedVersionAndTheTableOfTheFirstTranslation) {
  const struct {
    const char* what;
    Bytes block;
    std::wstring comments, description;
  } cases[] = {
      {"translation names the second table, in other letter case",
       Block({kEnglish, kJapanese}, {Translation(0x0411, 0x04B0)}), L"Quenmora", L"ＶＯＲＰＡ"},
      {"translation comes before the strings",
       Node(u"VS_VERSION_INFO", Fixed(2, 10), false,
            {Translation(0x0411, 0x04B0), Node(u"StringFileInfo", {}, true, {kEnglish, kJapanese})}),
       L"Quenmora", L"ＶＯＲＰＡ"},
      {"no translation: the first table", Block({kEnglish, kJapanese}, {}), L"english", L""},
      {"translation naming no table: the first table", Block({kJapanese, kEnglish}, {Translation(0x0407, 1252)}),
       L"Quenmora", L"ＶＯＲＰＡ"},
  };
  for (const auto& c : cases) {
    VersionInfo v;
    ASSERT_TRUE(ParseVersionInfo(c.block.data(), c.block.size(), v)) << c.what;
    EXPECT_EQ(v.Major(), 2u) << c.what;
    EXPECT_EQ(v.Minor(), 10u) << c.what;
    EXPECT_EQ(v.String(L"Comments"), c.comments) << c.what;
    EXPECT_EQ(v.String(L"FileDescription"), c.description) << c.what;
    EXPECT_EQ(v.String(L"Missing"), L"") << c.what;
  }
}

TEST(VersionInfo, CutOrLyingBlocksStayInsideTheirBytes) {
  // The translation first, so that every cut that reaches the strings keeps it.
  const Bytes whole = Node(u"VS_VERSION_INFO", Fixed(2, 10), false,
                           {Translation(0x0411, 0x04B0), Node(u"StringFileInfo", {}, true, {kEnglish, kJapanese})});
  VersionInfo full;
  ASSERT_TRUE(ParseVersionInfo(whole.data(), whole.size(), full));
  // Every cut of the block, the outer length saying where it now ends, in a
  // buffer of exactly that size so that the address sanitizer sees any read
  // past it: what is read is a part of what the whole block holds.
  for (size_t n = 0; n < whole.size(); ++n) {
    Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    if (n >= 2) {
      cut[0] = static_cast<unsigned char>(n & 0xFF);
      cut[1] = static_cast<unsigned char>(n >> 8);
    }
    VersionInfo v;
    if (!ParseVersionInfo(cut.data(), cut.size(), v)) continue;
    EXPECT_EQ(v.Minor(), 10u) << n;
    for (const auto& [key, value] : v.strings) {
      EXPECT_EQ(full.String(key).rfind(value, 0), 0u) << n << " " << testing::PrintToString(key);
    }
  }
  // A length that claims more than the resource holds.
  Bytes lying = whole;
  lying[0] = 0xFF;
  lying[1] = 0xFF;
  VersionInfo v;
  EXPECT_FALSE(ParseVersionInfo(lying.data(), lying.size(), v));
  Bytes unsigned_ = whole;
  unsigned_[40] ^= 0xFF;  // the fixed information's signature
  EXPECT_FALSE(ParseVersionInfo(unsigned_.data(), unsigned_.size(), v));
  EXPECT_FALSE(ParseVersionInfo(nullptr, 0, v));
}
