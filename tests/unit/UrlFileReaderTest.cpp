#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/Text.h"
#include "list/UrlFileReader.h"

using namespace vorpa;
using namespace std::string_literals;

namespace {

struct Case {
  const char* what;
  std::string bytes;
  std::wstring url;
};

void Check(const std::vector<Case>& cases, unsigned codePage) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ParseInternetShortcutUrl(c.bytes, codePage), c.url);
  }
}

// Little-endian UTF-16 with its byte-order mark, as some tools write shortcuts.
std::string Utf16File(std::wstring_view text) {
  std::string out = "\xFF\xFE";
  auto unit = [&](unsigned u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (const wchar_t ch : text) {
    const auto c = static_cast<unsigned long>(ch);
    if (c > 0xFFFF) {
      unit(static_cast<unsigned>(0xD800 + ((c - 0x10000) >> 10)));
      unit(static_cast<unsigned>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      unit(static_cast<unsigned>(c));
    }
  }
  return out;
}

}  // namespace

TEST(ShortcutParser, FollowsTheIniReadingRules) {
  Check(
      {
          {"CR LF", "[InternetShortcut]\r\nURL=http://a/\r\n", L"http://a/"},
          {"LF", "[InternetShortcut]\nURL=http://a/\n", L"http://a/"},
          {"CR", "[InternetShortcut]\rURL=http://a/\r", L"http://a/"},
          {"no last line end", "[InternetShortcut]\r\nIconIndex=0\r\nURL=http://a/", L"http://a/"},
          {"names ignore case", "[internetSHORTCUT]\r\nuRl=http://a/\r\n", L"http://a/"},
          {"section after others",
           "[DEFAULT]\r\nBASEURL=http://base/\r\nURL=http://default/\r\n[InternetShortcut]\r\nURL=http://a/\r\n",
           L"http://a/"},
          {"section before others", "[InternetShortcut]\r\nURL=http://a/\r\n[Other]\r\nURL=http://other/\r\n",
           L"http://a/"},
          {"key outside any section", "URL=http://none/\r\n[InternetShortcut]\r\nIconIndex=1\r\n", L""},
          {"first section of the name wins",
           "[InternetShortcut]\r\nIconIndex=0\r\n[InternetShortcut]\r\nURL=http://second/\r\n", L""},
          {"first key wins", "[InternetShortcut]\r\nURL=http://first/\r\nURL=http://second/\r\n", L"http://first/"},
          {"an empty first key still wins", "[InternetShortcut]\r\nURL=\r\nURL=http://second/\r\n", L""},
          {"blanks around names and values", " \t[ InternetShortcut ]\t\r\n \tURL \t= \t http://a/ \t\r\n",
           L"http://a/"},
          {"vertical tabs are blanks too", "\v[\vInternetShortcut\v]\r\n\vURL\v=\vhttp://a/\v\r\n", L"http://a/"},
          {"vertical tab before a comment mark", "[InternetShortcut]\r\n\v;URL=http://comment/\r\nURL=http://a/\r\n",
           L"http://a/"},
          {"blanks inside a value stay", "[InternetShortcut]\r\nURL=http://a/b  c\r\n", L"http://a/b  c"},
          {"split at the first =", "[InternetShortcut]\r\nURL=http://a/?x=1&y==2\r\n", L"http://a/?x=1&y==2"},
          {"longer key names differ", "[InternetShortcut]\r\nURLs=http://s/\r\nURL2=http://2/\r\n", L""},
          {"blank inside a key name", "[InternetShortcut]\r\nU RL=http://a/\r\n", L""},
          {"double quotes", "[InternetShortcut]\r\nURL=\"http://a/\"\r\n", L"http://a/"},
          {"single quotes", "[InternetShortcut]\r\nURL='http://a/'\r\n", L"http://a/"},
          {"quotes after trimming keep inner blanks", "[InternetShortcut]\r\nURL= \" http://a/ \" \r\n",
           L" http://a/ "},
          {"mismatched quotes stay", "[InternetShortcut]\r\nURL=\"http://a/'\r\n", L"\"http://a/'"},
          {"only one pair goes", "[InternetShortcut]\r\nURL=\"\"http://a/\"\"\r\n", L"\"http://a/\""},
          {"a lone quote stays", "[InternetShortcut]\r\nURL=\"\r\n", L"\""},
          {"empty quotes", "[InternetShortcut]\r\nURL=''\r\n", L""},
          {"comment line", "[InternetShortcut]\r\n;URL=http://comment/\r\nURL=http://a/\r\n", L"http://a/"},
          {"indented comment", "[InternetShortcut]\r\n \t; URL=http://comment/\r\n", L""},
          {"commented header", ";[InternetShortcut]\r\nURL=http://a/\r\n", L""},
          {"no comment inside a value", "[InternetShortcut]\r\nURL=http://a/;x #y\r\n", L"http://a/;x #y"},
          {"# starts no comment", "[InternetShortcut]\r\n#URL=http://hash/\r\n", L""},
          {"a line without = is no key", "[InternetShortcut]\r\nURL\r\nURL=http://a/\r\n", L"http://a/"},
          {"text after ] ignored", "[InternetShortcut] trailing ; text\r\nURL=http://a/\r\n", L"http://a/"},
          {"header ends at the first ]", "[InternetShortcut]]\r\nURL=http://a/\r\n", L"http://a/"},
          {"a ] inside the name cuts it", "[Internet]Shortcut]\r\nURL=http://a/\r\n", L""},
          {"a header without ] opens the section", "[InternetShortcut\r\nURL=http://a/\r\n", L"http://a/"},
          {"... with its name trimmed", "[ InternetShortcut \t\r\nURL=http://a/\r\n", L"http://a/"},
          {"... and a later proper one does not count",
           "[InternetShortcut\r\nIconIndex=0\r\n[InternetShortcut]\r\nURL=http://later/\r\n", L""},
          {"a header without ] ends the section before", "[InternetShortcut]\r\n[x\r\nURL=http://evil/\r\n", L""},
          {"a long name that starts like the section's", "[InternetShortcut.W.and.more]\r\nURL=http://a/\r\n", L""},
          {"blanks after the name, however many", "[InternetShortcut                    ]\r\nURL=http://a/\r\n",
           L"http://a/"},
          {"empty header ends the section", "[InternetShortcut]\r\n[]\r\nURL=http://a/\r\n", L""},
          {"empty file", "", L""},
          {"no section", "URL=http://a/\r\n", L""},
          {"NUL ends a value", "[InternetShortcut]\r\nURL=http://a/\0junk\r\n"s, L"http://a/"},
          {"NUL ends a header line", "[InternetShortcut]\0garbage\r\nURL=http://a/\r\n"s, L"http://a/"},
          {"NUL inside a section name", "[Internet\0Shortcut]\r\nURL=http://a/\r\n"s, L""},
          {"NUL inside the key name", "[InternetShortcut]\r\nUR\0L=http://a/\r\nURL=http://b/\r\n"s, L"http://b/"},
          {"NUL before =", "[InternetShortcut]\r\nURL\0=http://a/\r\n"s, L""},
          {"NUL lines do not end the file", "\0\0\0\r\n[InternetShortcut]\r\n\0\r\nURL=http://a/"s, L"http://a/"},
          {"form feeds are no blanks", "[InternetShortcut]\r\nURL=\fhttp://a/\f\r\n", L"\fhttp://a/\f"},
      },
      kCodePageShiftJis);
}

TEST(ShortcutParser, DecodesTheAnsiCodePageBeforeLookingForMarks) {
  // Second bytes 0x5C, 0x5B and 0x5D: 表 95 5C, ソ 83 5C, ゼ 83 5B, ゾ 83 5D.
  const std::string sjisUrl = "http://\x95\x5c\x83\x5c.example/\x83\x5b\x83\x5d?q=\x95\x5c";
  Check(
      {
          {"Shift_JIS URL", "[InternetShortcut]\r\nURL=" + sjisUrl + "\r\n", L"http://表ソ.example/ゼゾ?q=表"},
          {"Shift_JIS ending in 0x5D on a header", "[\x83\x5d]\r\nURL=http://x/\r\n[InternetShortcut]\r\nURL=" +
                                                        sjisUrl + "\r\n",
           L"http://表ソ.example/ゼゾ?q=表"},
          {"quoted Shift_JIS", "[InternetShortcut]\r\nURL=\"\x83\x5c\"\r\n", L"ソ"},
          {"key named in Shift_JIS", "[InternetShortcut]\r\n\x95\x5c=x\r\nURL=http://a/\r\n", L"http://a/"},
          {"backslash stays a backslash", "[InternetShortcut]\r\nURL=file://C:\\dir\\a.html\r\n",
           L"file://C:\\dir\\a.html"},
      },
      kCodePageShiftJis);
  Check({{"Latin-1 page", "[InternetShortcut]\r\nURL=http://caf\xe9.example/\r\n", L"http://café.example/"}}, 1252);
  Check({{"UTF-8 as the ANSI page", "[InternetShortcut]\r\nURL=http://\xe6\x97\xa5.example/\r\n",
          L"http://日.example/"}},
        kCodePageUtf8);
  // Past a UTF-8 mark the file is still ANSI text.
  Check({{"UTF-8 mark on a Latin-1 page",
          "\xEF\xBB\xBF[x]\r\n[InternetShortcut]\r\nURL=http://\xe6\x97\xa5\xe6\x9c\xac/\r\n",
          L"http://æ—¥æœ¬/"}},
        1252);
}

TEST(ShortcutParser, ByteOrderMarksChooseTheEncoding) {
  Check(
      {
          {"UTF-16", Utf16File(L"[InternetShortcut]\r\nURL=http://日本語.example/\r\n"), L"http://日本語.example/"},
          {"UTF-16 with CR only", Utf16File(L"[Other]\rURL=x\r[InternetShortcut]\rURL=http://a/\r"), L"http://a/"},
          {"UTF-16 outside the BMP", Utf16File(L"[InternetShortcut]\nURL=http://\U0001F600/\n"), L"http://\U0001F600/"},
          {"UTF-16 odd last byte", Utf16File(L"[InternetShortcut]\nURL=http://a/") + "\x41", L"http://a/"},
          {"UTF-16 NUL", Utf16File(L"[InternetShortcut]\nURL=http://a/") + "\0\0xx"s, L"http://a/"},
          // Windows knows no UTF-8 mark: it spoils the header on its line.
          {"UTF-8 mark before the header", "\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://a/\r\n", L""},
          {"UTF-8 mark, header on the next line", "\xEF\xBB\xBF\r\n[InternetShortcut]\r\nURL=http://a/\r\n",
           L"http://a/"},
          {"only a mark", "\xFF\xFE", L""},
          {"UTF-16 big-endian is not read",
           "\xFE\xFF\0[\0I\0n\0t\0e\0r\0n\0e\0t\0S\0h\0o\0r\0t\0c\0u\0t\0]\0\r\0\n\0U\0R\0L\0=\0a"s, L""},
          // Without a mark, bytes that merely look like UTF-8 are Shift_JIS.
          {"no mark", "[InternetShortcut]\r\nURL=\x83\x5c\r\n", L"ソ"},
      },
      kCodePageShiftJis);
}

TEST(ShortcutParser, UnicodeSectionWinsWhenItHoldsAUrl) {
  Check(
      {
          {"UTF-7 beats the lossy copy",
           "[InternetShortcut]\r\nURL=http://???.example/\r\n[InternetShortcut.W]\r\nURL=http://+ZeVnLIqe-/\r\n",
           L"http://日本語/"},
          {"Unicode section first",
           "[InternetShortcut.W]\r\nURL=+AEA-\r\n[InternetShortcut]\r\nURL=http://ansi/\r\n", L"@"},
          {"Unicode section alone", "[internetshortcut.w]\r\nURL=http://a/+AEA-b\r\n", L"http://a/@b"},
          {"empty Unicode URL", "[InternetShortcut]\r\nURL=http://ansi/\r\n[InternetShortcut.W]\r\nURL=\r\n",
           L"http://ansi/"},
          {"Unicode section without URL",
           "[InternetShortcut]\r\nURL=http://ansi/\r\n[InternetShortcut.W]\r\nIconFile=x\r\n", L"http://ansi/"},
          {"decodes to nothing but NUL",
           "[InternetShortcut]\r\nURL=http://ansi/\r\n[InternetShortcut.W]\r\nURL=+AAA-\r\n", L"http://ansi/"},
          {"quoted UTF-7", "[InternetShortcut.W]\r\nURL=\"+ZeU-\"\r\n", L"日"},
          {"plus sign", "[InternetShortcut.W]\r\nURL=a+-b\r\n", L"a+b"},
          {"tilde and backslash written directly", "[InternetShortcut.W]\r\nURL=http://a/~b\\c\r\n",
           L"http://a/~b\\c"},
          {"second Unicode section ignored",
           "[InternetShortcut.W]\r\nIconFile=x\r\n[InternetShortcut.W]\r\nURL=+AEA-\r\n[InternetShortcut]\r\nURL=a\r\n",
           L"a"},
          {"not seven-bit text: taken as it stands", Utf16File(L"[InternetShortcut.W]\nURL=http://日本/+AEA-\n"),
           L"http://日本/+AEA-"},
          {"from a UTF-16 file", Utf16File(L"[InternetShortcut]\nURL=?\n[InternetShortcut.W]\nURL=+ZeVnLIqe-\n"),
           L"日本語"},
      },
      kCodePageShiftJis);
}

TEST(ShortcutParser, ValueLengthsWrapAt65536CharactersAsWindowsReadsThem) {
  std::string ascii(65535, 'a');
  ascii.replace(0, 7, "http://");
  const std::wstring wide(ascii.begin(), ascii.end());
  const std::string head = "[InternetShortcut]\r\nURL=";
  std::wstring japanese(65535, L'表');
  std::string sjis;
  for (int i = 0; i < 65535; ++i) sjis += "\x95\x5c";
  Check(
      {
          {"65,535", head + ascii + "\r\n", wide},
          {"65,535 quoted", head + "\"" + ascii + "\"\r\n", wide},
          {"65,535 between blanks", head + " \t" + ascii + "\v \r\n", wide},
          {"65,535 in UTF-16", Utf16File(L"[InternetShortcut]\r\nURL=" + japanese + L"\r\n"), japanese},
          {"65,535 double-byte characters", head + sjis, japanese},
          {"65,536", head + ascii + "a\r\n", L""},
          {"65,536+7 gives the first 7", head + ascii + "a" + "http://\r\n", L"http://"},
          {"65,536+7 quoted", head + "\"" + ascii + "a" + "http://\"\r\n", L"http://"},
          {"131,072+2 gives the first 2", head + ascii + "a" + ascii + "aht\r\n", L"ht"},
          {"65,536 in UTF-16", Utf16File(L"[InternetShortcut]\r\nURL=" + japanese + L"表\r\n"), L""},
          {"65,536+1 in UTF-16", Utf16File(L"[InternetShortcut]\r\nURL=" + japanese + L"表表\r\n"), L"表"},
          {"a too long first key still wins", head + ascii + "a\r\nURL=http://second/\r\n", L""},
          {"a too long Unicode URL gives way",
           head + "http://ansi/\r\n[InternetShortcut.W]\r\nURL=" + ascii + "a\r\n", L"http://ansi/"},
          // A long UTF-7 value whose first characters name another target:
          // Windows opens the other target, so the list shows it.
          {"a wrapped Unicode URL wins",
           head + "http://ansi/\r\n[InternetShortcut.W]\r\nURL=http://+ZeU-/" + std::string(65536, 'x') + "\r\n",
           L"http://日/"},
      },
      kCodePageShiftJis);
}

TEST(ShortcutParser, GarbageGivesBoundedTextWithoutNul) {
  std::uint32_t state = 12345;
  auto next = [&] {
    state = state * 1103515245u + 12345u;
    return static_cast<char>(state >> 16);
  };
  static const char alphabet[] = "[]=;\"' \t\r\n\0+-InternetShortcut.WURL\x95\x5c\xFF\xFE\xEF\xBB\xBF";
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    const int length = round % 97 * 3;
    for (int i = 0; i < length; ++i) {
      const char c = next();
      bytes.push_back(round % 2 ? c : alphabet[static_cast<unsigned char>(c) % (sizeof alphabet - 1)]);
    }
    if (round % 3 == 0) bytes = "[InternetShortcut]\nURL=" + bytes;
    for (const unsigned cp : {932u, 65001u, 1252u, 65000u, 12345u}) {
      const std::wstring url = ParseInternetShortcutUrl(bytes, cp);
      EXPECT_LE(url.size(), bytes.size());
      EXPECT_EQ(url.find(L'\0'), std::wstring::npos);
    }
  }
}

TEST(ShortcutParser, KeepsOnlyWholeLinesOfACutRead) {
  EXPECT_EQ(DropPartialLastLine("a\r\nURL=http://cu"), "a\r\n");
  EXPECT_EQ(DropPartialLastLine("a\rb\nURL=x"), "a\rb\n");
  EXPECT_EQ(DropPartialLastLine("no line end"), "");
  // A Shift_JIS character never hides a line end.
  EXPECT_EQ(DropPartialLastLine("x\n\x95\x5c"), "x\n");
  // In UTF-16 only whole code units at even offsets end lines.
  const std::string utf16 = Utf16File(L"a\nb\u0A0Dc\u0D0Ad");
  EXPECT_EQ(DropPartialLastLine(utf16), utf16.substr(0, 6));
  EXPECT_EQ(DropPartialLastLine(Utf16File(L"abc")), "\xFF\xFE");
  EXPECT_EQ(DropPartialLastLine(Utf16File(L"a\r") + "\x0A"), Utf16File(L"a\r"));
}

// The parser fed in pieces gives what one whole parse gives, wherever the
// pieces end: inside a line, a double-byte character, a UTF-8 sequence or a
// UTF-16 surrogate pair.
TEST(ShortcutParser, PiecesGiveTheWholeFilesUrl) {
  const std::string sjisUrl = "http://\x95\x5c\x83\x5c.example/\x83\x5b\x83\x5d";
  struct File {
    const char* what;
    std::string bytes;
    unsigned codePage;
  };
  const std::vector<File> files = {
      {"Shift_JIS", "[x]\r\n[InternetShortcut]\r\nIconFile=\x95\x5c\r\nURL=" + sjisUrl + "\r\n", 932},
      // The lead byte takes the line end as its trail byte, so the first URL
      // line belongs to X and the second URL counts.
      {"lead byte before a line end", "[InternetShortcut]\r\nX=\x81\nURL=http://a/\r\nURL=http://b/\r\n", 932},
      {"UTF-8", "[InternetShortcut]\r\nURL=http://\xe6\x97\xa5\xf0\x9f\x98\x80/\r\n", kCodePageUtf8},
      {"UTF-16", Utf16File(L"[InternetShortcut]\r\nURL=http://\U0001F600日/\r\n"), 932},
      {"UTF-7", "[InternetShortcut.W]\r\nURL=http://+ZeVnLIqe-/\r\n", 932},
      {"quoted, blanks", "[ InternetShortcut ]\r\n URL = ' http://q/ ' \r\n", 932},
  };
  for (const File& f : files) {
    const std::wstring whole = ParseInternetShortcutUrl(f.bytes, f.codePage);
    ASSERT_FALSE(whole.empty()) << f.what;
    for (std::size_t size = 1; size <= 5; ++size) {
      ShortcutUrlParser parser(f.codePage);
      for (std::size_t at = 0; at < f.bytes.size(); at += size) parser.Feed(std::string_view(f.bytes).substr(at, size));
      EXPECT_EQ(parser.Finish(), whole) << f.what << ", pieces of " << size;
    }
  }
}

// The read loop over a byte source: short reads, a wrong size hint, a
// buffer kept from a bigger file, bytes kept for the audit up to the bound
// (whole lines), and a failing source.
TEST(ShortcutParser, StreamReadsWholeFilesIntoAReusedBuffer) {
  const std::string big = "[InternetShortcut]\r\nURL=http://big/\r\n" + std::string(20000, ';') + "\r\n";
  const std::string small = "[InternetShortcut]\r\nURL=http://small/\r\n";
  std::string buffer;
  for (const unsigned long long hint : {0ull, 1ull, static_cast<unsigned long long>(small.size()), 1ull << 40}) {
    for (const std::string* file : {&big, &small}) {
      size_t at = 0;
      auto read = [&](char* dst, std::size_t max) -> long long {
        const size_t n = std::min({max, file->size() - at, size_t{7000}});
        std::memcpy(dst, file->data() + at, n);
        at += n;
        return static_cast<long long>(n);
      };
      ShortcutReading reading;
      ReadShortcutStream(read, hint == 1ull << 40 ? file->size() : hint, 932, true, buffer, reading);
      EXPECT_TRUE(reading.ok());
      EXPECT_EQ(reading.bytes, *file) << hint;
      EXPECT_FALSE(reading.bytesCut);
      EXPECT_EQ(reading.url, file == &big ? L"http://big/" : L"http://small/");
    }
  }
  auto failing = [](char*, std::size_t) -> long long { return -1; };
  ShortcutReading failed;
  ReadShortcutStream(failing, 0, 932, false, buffer, failed);
  EXPECT_EQ(failed.problem, ShortcutProblem::kUnreadable);
}

namespace {

// A fresh folder for files written by a test.
class ShortcutFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vorpa-url-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // Writes `bytes` to a file of the folder; name in wide text, as callers pass it.
  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = Path(name);
    std::ofstream out(EncodeCodePage(path, kCodePageUtf8), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good());
    return path;
  }
  std::wstring Path(const std::wstring& name) const {
    return DecodeCodePage(dir_, kCodePageUtf8) + L"/" + name;
  }
  std::string UnixPath(const std::wstring& name) const { return EncodeCodePage(Path(name), kCodePageUtf8); }

 private:
  std::string dir_;
};

}  // namespace

TEST_F(ShortcutFileTest, ReadsFilesByWidePath) {
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"plain.url", "[InternetShortcut]\r\nURL=http://a/\r\n")), L"http://a/");
  // A Shift_JIS name and URL: the path goes through wide text, the contents
  // through the ANSI code page (932 in the native tests).
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"表ソ.url", "[InternetShortcut]\r\nURL=http://\x95\x5c\x83\x5c/\r\n")),
            L"http://表ソ/");
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"한국어 \U0001F600.url",
                                          "[InternetShortcut]\r\nURL=http://?/\r\n"
                                          "[InternetShortcut.W]\r\nURL=http://+1VytbcW0-/\r\n")),
            L"http://한국어/");
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"utf16.url", Utf16File(L"[InternetShortcut]\nURL=http://한/\n"))),
            L"http://한/");
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"empty.url", "")), L"");
}

TEST_F(ShortcutFileTest, FilesThatCannotBeReadGiveEmptyText) {
  EXPECT_EQ(ReadInternetShortcutUrl(Path(L"missing.url")), L"");
  EXPECT_EQ(ReadInternetShortcutUrl(Path(L"no-folder/missing.url")), L"");
  EXPECT_EQ(ReadInternetShortcutUrl(L""), L"");
  ASSERT_EQ(mkdir(UnixPath(L"folder.url").c_str(), 0755), 0);
  EXPECT_EQ(ReadInternetShortcutUrl(Path(L"folder.url")), L"");
  // A FIFO would block an ordinary open until some writer came.
  ASSERT_EQ(mkfifo(UnixPath(L"fifo.url").c_str(), 0644), 0);
  EXPECT_EQ(ReadInternetShortcutUrl(Path(L"fifo.url")), L"");
  // Each way of giving no reading says which.
  EXPECT_EQ(ReadShortcutFile(Path(L"missing.url")).problem, ShortcutProblem::kMissing);
  EXPECT_EQ(ReadShortcutFile(Path(L"folder.url")).problem, ShortcutProblem::kFolder);
  EXPECT_EQ(ReadShortcutFile(Path(L"fifo.url")).problem, ShortcutProblem::kNotRegularFile);
  // Names that no file can have: an embedded NUL, an unpaired surrogate.
  const std::wstring real = Write(L"a.url", "[InternetShortcut]\nURL=http://a/\n");
  EXPECT_EQ(ReadInternetShortcutUrl(real + L'\0' + L"x"), L"");
  EXPECT_EQ(ReadInternetShortcutUrl(Path(std::wstring(1, static_cast<wchar_t>(0xD800)) + L".url")), L"");
}

TEST_F(ShortcutFileTest, ReadsTheWholeFileAsWindowsDoes) {
  const std::size_t bound = kMaxShortcutBytes;
  const std::string head = "[InternetShortcut]\r\nURL=http://head/\r\n";
  std::string filler = ";";
  filler.resize(bound, 'x');
  // The faithful section past 4 MiB of comments is the one Windows opens.
  const std::wstring big = Write(L"big.url", head + filler + "\r\n[InternetShortcut.W]\r\nURL=+AEA-\r\n");
  EXPECT_EQ(ReadInternetShortcutUrl(big), L"@");
  // The audit's bytes stop at the bound, on a whole line, and say so.
  const ShortcutReading kept = ReadShortcutFile(big, true);
  EXPECT_EQ(kept.url, L"@");
  EXPECT_TRUE(kept.bytesCut);
  EXPECT_EQ(kept.bytes, head);
  // A URL line that spans the read pieces is read whole.
  const std::string url = "http://" + std::string(60000, 'u');
  const std::string spanning = "[InternetShortcut]\r\n;" + std::string(kReadPiece - 40, 'x') + "\r\nURL=" + url + "\r\n";
  EXPECT_EQ(ReadInternetShortcutUrl(Write(L"span.url", spanning)), std::wstring(url.begin(), url.end()));
}

TEST_F(ShortcutFileTest, GigabyteSparseFileIsReadInBoundedMemory) {
  // A URL on top, a gigabyte of zeros (one NUL line), the section that
  // counts at the very end: read whole, as Windows reads it, without
  // holding it.
  const std::string head = "[InternetShortcut]\r\nURL=http://sparse/\r\n";
  const std::wstring path = Write(L"sparse.url", head);
  ASSERT_EQ(truncate(UnixPath(L"sparse.url").c_str(), 1ll << 30), 0);
  {
    std::ofstream tail(UnixPath(L"sparse.url"), std::ios::binary | std::ios::app);
    tail << "\r\n[InternetShortcut.W]\r\nURL=+AEA-\r\n";
  }
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_EQ(ReadInternetShortcutUrl(path), L"@");
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // KiB

  // Zeros from the start: one NUL line, no URL.
  const std::wstring zeros = Write(L"zeros.url", "");
  ASSERT_EQ(truncate(UnixPath(L"zeros.url").c_str(), 1ll << 30), 0);
  EXPECT_EQ(ReadInternetShortcutUrl(zeros), L"");
}
