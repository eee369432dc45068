// The cases where Windows' reading of code page 932 and UTF-7 differs from
// the usual decoders. The answers are MultiByteToWideChar's; the Windows
// tests compare the decoder with it on every pair of bytes and on random text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CodePageDecoder.h"
#include "common/Text.h"
#include "list/UrlFileReader.h"

using namespace vorpa;
using namespace std::string_literals;

namespace {

struct Case {
  const char* what;
  std::string bytes;
  std::wstring text;
};

}  // namespace

TEST(CodePageDecoder, Cp932AsWindowsReadsIt) {
  const std::vector<Case> cases = {
      {"a lead byte takes CR as its second byte", "\x81\r\n", L"\u30FB\n"},
      {"... and LF", "a\x95\nb", L"a\u30FBb"},
      {"a lead byte at the end", "a\x81", L"a\u30FB"},
      {"a lead byte before NUL", "\x81\0a"s, L"\u30FB\0a"s},
      {"second byte below 40", "\x88\x20x", L"\u30FBx"},
      {"second byte 7F", "\x88\x7F", L"\u30FB"},
      {"second byte FD", "\x88\xFD", L"\u30FB"},
      {"a lead byte as second byte", "\x81\x81\x81", L"\uFF1D\u30FB"},
      {"a pair in a row without characters", "\x85\x40", L"\u30FB"},
      {"single bytes 80, A0, FD-FF", "\x80\xA0\xFD\xFE\xFF", L"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
      {"half-width katakana", "\xA1\xB1\xDF", L"\uFF61\uFF71\uFF9F"},
      {"backslash and tilde stay ASCII", "\\~", L"\\~"},
      {"second bytes that look like ASCII", "\x95\x5c\x83\x5b\x83\x5d", L"表ゼゾ"},
      {"wave dash and parallel as Windows maps them", "\x81\x60\x81\x61\x81\x7C", L"\uFF5E\u2225\uFF0D"},
      {"NEC row 13", "\x87\x40\x87\x90", L"①\u2252"},
      {"NEC-selected IBM extension", "\xED\x40", L"\u7E8A"},
      {"IBM extension", "\xFA\x40\xFA\x5C\xFC\x4B", L"ⅰ\u7E8A\u9ED1"},
      {"user-defined area", "\xF0\x40\xF9\xFC", L"\uE000\uE757"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DecodeCp932(c.bytes), c.text);
    EXPECT_EQ(DecodeCodePage(c.bytes, kCodePageShiftJis), c.text);
  }
}

TEST(CodePageDecoder, Utf7AsWindowsReadsIt) {
  const std::vector<Case> cases = {
      {"a run ended by '-'", "+ZeU-x", L"日x"},
      {"a run ended by another byte, which is kept", "+ZeU x", L"日 x"},
      {"a run ended by the end", "+ZeU", L"日"},
      {"leftover bits dropped", "+ZeUAB-", L"日"},
      {"'+' inside a run is base64", "+AEA+AEA-", L"@\u3E00"},
      {"plus sign", "a+-b", L"a+b"},
      {"a '+' at the end", "a+", L"a"},
      {"bytes outside a run stand for themselves", "\\~\x80\xFF", L"\\~\u0080\u00FF"},
      {"a byte from 80 on carries the bits over", "+AGF\x80+AAA-", L"a\u0080\u4000"},
      {"... through a plus sign", "+AGF\x80+-+AAA-", L"a\u0080+\u4000"},
      {"... but no other byte does", "+AGF.+AAA-", L"a.\0"s},
      {"a surrogate pair", "+2D3eAA-", L"\U0001F600"},
      {"a lone surrogate", "+2D0-", std::wstring(1, static_cast<wchar_t>(0xD83D))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DecodeUtf7(c.bytes), c.text);
    EXPECT_EQ(DecodeCodePage(c.bytes, kCodePageUtf7), c.text);
  }
}

TEST(CodePageDecoder, ShortcutsReadAsInTheWindow) {
  const std::vector<Case> cases = {
      {"a lead byte before LF joins the lines",
       "[InternetShortcut]\nIconFile=\x81\nURL=http://hidden/\nURL=http://shown/\n", L"http://shown/"},
      {"... so a header is no header", "[Other]\x81\n[InternetShortcut]\nURL=http://a/\n", L""},
      {"a lead byte before CR LF", "[InternetShortcut]\r\nURL=http://a/\x81\r\n", L"http://a/\u30FB"},
      {"UTF-7 run end dropped",
       "[InternetShortcut]\r\nURL=http://ansi/\r\n[InternetShortcut.W]\r\nURL=http://+ZeUAB-x/\r\n",
       L"http://日x/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ParseInternetShortcutUrl(c.bytes, kCodePageShiftJis), c.text);
  }
}
