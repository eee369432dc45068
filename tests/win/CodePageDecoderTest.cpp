// The portable decoder against the system's own: the same text from
// MultiByteToWideChar (no flags) for code page 932 and UTF-7 on every one-
// and two-byte input and on a million random strings of each. This is what
// keeps the native tool and the window reading shortcuts alike.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include "common/CodePageDecoder.h"

namespace {

std::wstring SystemDecode(UINT codePage, std::string_view bytes) {
  wchar_t out[64];
  const int got = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out, 64);
  return std::wstring(out, got > 0 ? static_cast<size_t>(got) : 0);
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char b[4];
  for (const char c : bytes) {
    std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(c));
    out += b;
  }
  return out;
}

std::string Units(std::wstring_view text) {
  std::string out;
  char b[8];
  for (const wchar_t c : text) {
    std::snprintf(b, sizeof b, "%04X ", static_cast<unsigned>(c));
    out += b;
  }
  return out;
}

// Counts inputs on which the two differ; reports the first few.
class Comparison {
 public:
  Comparison(UINT codePage, std::wstring (*decode)(std::string_view)) : codePage_(codePage), decode_(decode) {}
  void Check(std::string_view bytes) {
    const std::wstring ours = decode_(bytes);
    const std::wstring system = SystemDecode(codePage_, bytes);
    if (ours == system) return;
    if (++differences_ <= 10)
      ADD_FAILURE() << "code page " << codePage_ << ", bytes " << Hex(bytes) << ": ours " << Units(ours)
                    << ", system's " << Units(system);
  }
  int differences() const { return differences_; }

 private:
  UINT codePage_;
  std::wstring (*decode_)(std::string_view);
  int differences_ = 0;
};

void CheckEveryShortInput(Comparison& compare) {
  char b[2];
  for (int i = 0; i < 256; ++i) {
    b[0] = static_cast<char>(i);
    compare.Check(std::string_view(b, 1));
    for (int j = 0; j < 256; ++j) {
      b[1] = static_cast<char>(j);
      compare.Check(std::string_view(b, 2));
    }
  }
}

// Random strings of 1 to 16 bytes, most drawn from the bytes where the rules
// of the code page turn.
void CheckRandomInputs(Comparison& compare, std::string_view interesting, unsigned start) {
  std::mt19937 random(start);
  std::uniform_int_distribution<int> length(1, 16), byte(0, 255), pick(0, static_cast<int>(interesting.size()) - 1),
      coin(0, 3);
  std::string bytes;
  for (int n = 0; n < 1000000; ++n) {
    bytes.assign(static_cast<size_t>(length(random)), '\0');
    for (char& c : bytes)
      c = coin(random) == 0 ? static_cast<char>(byte(random)) : interesting[static_cast<size_t>(pick(random))];
    compare.Check(bytes);
  }
}

}  // namespace

TEST(CodePageDecoder, Cp932MatchesTheSystem) {
  Comparison compare(932, vorpa::DecodeCp932);
  CheckEveryShortInput(compare);
  // Lead bytes, second bytes at the edges of their ranges, line ends, NUL,
  // the single bytes with fixed answers, half-width katakana, ASCII.
  using namespace std::string_view_literals;
  CheckRandomInputs(compare,
                    "\x81\x82\x87\x88\x9F\xE0\xEA\xEB\xED\xEE\xEF\xF0\xF9\xFA\xFC"
                    "\x3F\x40\x5C\x7E\x7F\x80\x9E\x9F\xFC\xFD\xFE\xFF\xA0\xA1\xDF"
                    "\r\n\r\n\0\0 a[]="sv,
                    932);
  EXPECT_EQ(compare.differences(), 0);
}

TEST(CodePageDecoder, Utf7MatchesTheSystem) {
  Comparison compare(CP_UTF7, vorpa::DecodeUtf7);
  CheckEveryShortInput(compare);
  // Run marks, base64 letters (with the ones that end a unit on their last
  // bits), line ends, bytes from 80 on, ASCII outside base64.
  using namespace std::string_view_literals;
  CheckRandomInputs(compare, "+++++-----AAAZeU2D/0az9\r\n\x80\xFF\0 .~\\"sv, 65000);
  EXPECT_EQ(compare.differences(), 0);
}
