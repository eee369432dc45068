#include "common/WebAddress.h"

#include <algorithm>

namespace vorpa {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Controls, every format character (Cf), the line and paragraph separators,
// the spaces other than U+0020, and the characters that draw as nothing
// although they are letters or marks (Hangul fillers, the grapheme joiner,
// variation selectors, the braille blank). Unassigned code points inside the
// format blocks are taken in too: a later Unicode may fill them.
constexpr Range kInvisible[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00A0, 0x00A0},   {0x00AD, 0x00AD},   {0x034F, 0x034F},
    {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},
    {0x08E2, 0x08E2},   {0x115F, 0x1160},   {0x1680, 0x1680},   {0x17B4, 0x17B5},   {0x180B, 0x180F},
    {0x2000, 0x200F},   {0x2028, 0x202F},   {0x205F, 0x206F},   {0x2800, 0x2800},   {0x3000, 0x3000},
    {0x3164, 0x3164},   {0xD800, 0xDFFF},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},
    {0xFFF0, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool IsAsciiAlpha(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHexDigit(wchar_t c) { return IsAsciiDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }
wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool IsForbiddenInWebAddress(char32_t c) { return c == U' ' || c == U'"' || c == U'\\' || IsInvisibleOrFormat(c); }

// Dot-separated labels of letters, digits, '-' and '_' (one trailing dot
// allowed), as DNS and the hosts file name them.
bool IsHostName(std::wstring_view h) {
  if (h.empty() || h.size() > 254) return false;
  if (h.back() == L'.') h.remove_suffix(1);
  size_t label = 0;
  for (const wchar_t c : h) {
    if (c == L'.') {
      if (label == 0) return false;
      label = 0;
    } else if (IsAsciiAlpha(c) || IsAsciiDigit(c) || c == L'-' || c == L'_') {
      if (++label > 63) return false;
    } else {
      return false;
    }
  }
  return label > 0;
}

bool IsIpv6Literal(std::wstring_view h) {
  if (h.empty() || h.find(L':') == std::wstring_view::npos) return false;
  for (const wchar_t c : h)
    if (!IsHexDigit(c) && c != L':' && c != L'.') return false;
  return true;
}

bool IsPort(std::wstring_view p) {
  if (p.empty() || p.size() > 5) return false;
  unsigned value = 0;
  for (const wchar_t c : p) {
    if (!IsAsciiDigit(c)) return false;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  return value <= 65535;
}

// Host of "//host[:port]", or nothing when the authority is not sane. A
// user name before an '@' is refused: "http://bank.example@evil.example/"
// reads as the first name and opens the second.
std::optional<std::wstring_view> AuthorityHost(std::wstring_view authority) {
  if (authority.find(L'@') != std::wstring_view::npos) return std::nullopt;
  std::wstring_view host;
  std::wstring_view rest;
  if (!authority.empty() && authority.front() == L'[') {
    const size_t close = authority.find(L']');
    if (close == std::wstring_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    rest = authority.substr(close + 1);
    if (!IsIpv6Literal(host)) return std::nullopt;
  } else {
    const size_t colon = authority.find(L':');
    host = authority.substr(0, colon);
    rest = colon == std::wstring_view::npos ? std::wstring_view() : authority.substr(colon);
    if (!IsHostName(host)) return std::nullopt;
  }
  if (!rest.empty() && (rest.front() != L':' || !IsPort(rest.substr(1)))) return std::nullopt;
  return host;
}

// "." or ".." between slashes, anywhere (query and fragment included). The
// shell's path lookup folds them away: under Wine "http://host/../../x.exe"
// names a local program both for the plain open and for the %1 that a
// protocol handler is given.
bool HasDotSegment(std::wstring_view s) {
  size_t start = 0;
  while (start <= s.size()) {
    const size_t end = std::min(s.find(L'/', start), s.size());
    const std::wstring_view segment = s.substr(start, end - start);
    if (segment == L"." || segment == L"..") return true;
    start = end + 1;
  }
  return false;
}

int HexValue(wchar_t c) {
  if (IsAsciiDigit(c)) return c - L'0';
  return AsciiLower(c) - L'a' + 10;
}

// s with its %XX escapes decoded, each to the character of that byte value;
// enough to compare names and look for separators.
std::wstring PercentDecoded(std::wstring_view s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'%' && i + 2 < s.size() && IsHexDigit(s[i + 1]) && IsHexDigit(s[i + 2])) {
      out += static_cast<wchar_t>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// A mail address that a mail program takes as an address: no path in it,
// escaped or not ("mailto:C:/x", "mailto:%5C%5Chost%5Cshare").
bool IsMailAddressList(std::wstring_view s) {
  return PercentDecoded(s).find_first_of(L"/\\:") == std::wstring::npos;
}

// The parameters after '?' of a mailto address: none may ask for a file to
// be attached, and the "to" ones are addresses like the one before the '?'.
bool AreSafeMailParameters(std::wstring_view query) {
  while (!query.empty()) {
    const size_t amp = std::min(query.find(L'&'), query.size());
    const std::wstring_view field = query.substr(0, amp);
    query.remove_prefix(std::min(amp + 1, query.size()));
    const size_t eq = std::min(field.find(L'='), field.size());
    const std::wstring name = PercentDecoded(field.substr(0, eq));
    const std::wstring_view value = field.substr(std::min(eq + 1, field.size()));
    if (EqualsIgnoringAsciiCase(name, L"attach") || EqualsIgnoringAsciiCase(name, L"attachment")) return false;
    if ((EqualsIgnoringAsciiCase(name, L"to") || EqualsIgnoringAsciiCase(name, L"cc") ||
         EqualsIgnoringAsciiCase(name, L"bcc")) &&
        !IsMailAddressList(value))
      return false;
  }
  return true;
}

}  // namespace

char32_t NextCodePoint(std::wstring_view s, size_t& i) {
  const auto c = static_cast<char32_t>(s[i++]);
  if (c >= 0xD800 && c <= 0xDBFF && i < s.size()) {
    const auto d = static_cast<char32_t>(s[i]);
    if (d >= 0xDC00 && d <= 0xDFFF) {
      ++i;
      return 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
    }
  }
  return c;
}

bool IsInvisibleOrFormat(char32_t c) {
  for (const Range& r : kInvisible) {
    if (c < r.first) return false;
    if (c <= r.last) return true;
  }
  return false;
}

std::optional<WebAddressParts> ParseWebAddress(std::wstring_view target) {
  for (size_t i = 0; i < target.size();)
    if (IsForbiddenInWebAddress(NextCodePoint(target, i))) return std::nullopt;
  if (HasDotSegment(target)) return std::nullopt;
  const size_t colon = target.find(L':');
  if (colon == std::wstring_view::npos) return std::nullopt;
  const std::wstring_view scheme = target.substr(0, colon);
  const std::wstring_view rest = target.substr(colon + 1);
  for (const wchar_t* known : {L"http", L"https", L"ftp"}) {
    if (!EqualsIgnoringAsciiCase(scheme, known)) continue;
    if (rest.substr(0, 2) != L"//") return std::nullopt;
    const std::wstring_view authority = rest.substr(2, rest.find_first_of(L"/?#", 2) - 2);
    const std::optional<std::wstring_view> host = AuthorityHost(authority);
    if (!host) return std::nullopt;
    return WebAddressParts{known, *host};
  }
  // A mail address holds no path ("mailto:/../x.exe"), and the mail program
  // is not asked to attach a file.
  if (EqualsIgnoringAsciiCase(scheme, L"mailto") && !rest.empty()) {
    const size_t question = std::min(rest.find(L'?'), rest.size());
    const std::wstring_view query = rest.substr(std::min(question + 1, rest.size()));
    if (IsMailAddressList(rest.substr(0, question)) && AreSafeMailParameters(query))
      return WebAddressParts{L"mailto", {}};
  }
  return std::nullopt;
}

bool IsWebAddress(std::wstring_view target) { return ParseWebAddress(target).has_value(); }

}  // namespace vorpa
