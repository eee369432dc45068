// The shortcut texts' decoder (code page 932 and UTF-7 by Windows' rules)
// against iconv decoding the same bytes, in the same run: the native tool
// decoded with iconv before.
#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/CodePageDecoder.h"

namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A fresh converter a text, as a decoding function that takes a code page
// must open one.
size_t Iconv(const char* from, const std::vector<std::string>& texts) {
  size_t units = 0;
  std::wstring out;
  for (const std::string& t : texts) {
    iconv_t cd = iconv_open("UTF-32LE", from);
    out.assign(t.size(), L'\0');
    char* in = const_cast<char*>(t.data());
    size_t inLeft = t.size();
    char* o = reinterpret_cast<char*>(out.data());
    size_t oLeft = out.size() * sizeof(wchar_t);
    iconv(cd, &in, &inLeft, &o, &oLeft);
    iconv_close(cd);
    units += out.size() - oLeft / sizeof(wchar_t);
  }
  return units;
}

template <class F>
double Best(F&& f) {
  double best = 1e300;
  for (int i = 0; i < 5; ++i) {
    const double t0 = NowMs();
    f();
    best = std::min(best, NowMs() - t0);
  }
  return best;
}

}  // namespace

int main() {
  // Shortcut files as a Japanese system writes them: a Japanese URL in the
  // ANSI section and its UTF-7 copy.
  std::vector<std::string> sjis, utf7;
  for (int i = 0; i < 20000; ++i) {
    const std::string n = std::to_string(i);
    sjis.push_back("[InternetShortcut]\r\nURL=https://www.example.jp/\x93\xfa\x96\x7b\x8c\xea/\x83\x79\x81\x5b\x83\x57" + n +
                   ".html\r\nIconIndex=0\r\nHotKey=0\r\n");
    utf7.push_back("https://www.example.jp/+ZeVnLIqe-/+MNrw/DCi-" + n + ".html");
  }
  size_t sink = 0;
  const double oursSjis = Best([&] {
    for (const std::string& t : sjis) sink += vorpa::DecodeCp932(t).size();
  });
  const double iconvSjis = Best([&] { sink += Iconv("CP932", sjis); });
  const double oursUtf7 = Best([&] {
    for (const std::string& t : utf7) sink += vorpa::DecodeUtf7(t).size();
  });
  const double iconvUtf7 = Best([&] { sink += Iconv("UTF-7", utf7); });
  std::printf("code page 932, 20,000 shortcut files: %.2f ms vs iconv %.2f ms, ratio %.2f\n", oursSjis, iconvSjis,
              oursSjis / iconvSjis);
  std::printf("UTF-7, 20,000 URLs: %.2f ms vs iconv %.2f ms, ratio %.2f\n", oursUtf7, iconvUtf7, oursUtf7 / iconvUtf7);
  return sink == 0;
}
