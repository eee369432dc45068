// Fuzzes the decoder of code page 932 and UTF-7. The first byte picks the
// code page; the rest is the text. Besides crashes and sanitizer reports it
// checks the bounds the readers rely on and that text the encoder writes
// reads back unchanged (the audit compares URLs through such a round trip).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/CodePageDecoder.h"
#include "common/Text.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

size_t Count(std::string_view bytes, char c) {
  size_t n = 0;
  for (const char b : bytes) n += b == c;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool utf7 = data[0] & 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  if (!utf7) {
    const std::wstring text = vorpa::DecodeCp932(bytes);
    // One character from one or two bytes.
    Require(text.size() <= bytes.size() && 2 * text.size() >= bytes.size());
    // No NUL is ever taken for a second byte, and no character outside the
    // Basic Multilingual Plane or in the surrogate range comes out.
    Require(Count(bytes, '\0') == static_cast<size_t>(std::count(text.begin(), text.end(), L'\0')));
    for (const wchar_t c : text) Require(static_cast<unsigned long>(c) <= 0xFFFF && (c < 0xD800 || c > 0xDFFF));
    bool lossless = false;
    const std::string again = vorpa::EncodeCodePage(text, vorpa::kCodePageShiftJis, &lossless);
    if (lossless) Require(vorpa::DecodeCp932(again) == text);
    return 0;
  }

  const std::wstring text = vorpa::DecodeUtf7(bytes);
  Require(text.size() <= bytes.size());
  bool lossless = false;
  const std::string again = vorpa::EncodeCodePage(text, vorpa::kCodePageUtf7, &lossless);
  if (lossless) Require(vorpa::DecodeUtf7(again) == text);
  return 0;
}
