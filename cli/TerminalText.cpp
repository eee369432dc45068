#include "cli/TerminalText.h"

#include <type_traits>

namespace vorpa::cli {
namespace {

bool NeedsEscape(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::wstring TerminalSafe(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    if (!NeedsEscape(code)) {
      out += c;
      continue;
    }
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    out += code < 0x100 ? L"\\x" : L"\\u";
    for (int shift = code < 0x100 ? 4 : 12; shift >= 0; shift -= 4) out += kDigits[(code >> shift) & 0xF];
  }
  return out;
}

}  // namespace vorpa::cli
