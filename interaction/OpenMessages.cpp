#include "interaction/OpenMessages.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vorpa {

namespace {

constexpr wchar_t kCannotOpen[] = L"ファイルを開けません。";

struct CodeMessage {
  std::int64_t code;
  const wchar_t* text;
};

constexpr std::array<CodeMessage, 7> kMessages{{
    {0, L"メモリまたはリソースが足りません。"},
    {2, L"ファイルが見つかりません。"},
    {3, L"パスが見つかりません。"},
    {5, L"アクセスは拒否されました。"},
    {11, L"不正な形式の実行ファイルです。"},
    {27, L"関連付けが不完全です。"},
    {31, L"関連付けが指定されていません。"},
}};

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

// Longest target shown whole, and the parts kept of a longer one: a box
// taller than the screen would hide its own buttons.
constexpr size_t kShownMax = 640;
constexpr size_t kShownHead = 400;
constexpr size_t kShownTail = 200;
// The same for the name or host line.
constexpr size_t kLineMax = 160;
constexpr size_t kLineHead = 100;
constexpr size_t kLineTail = 50;

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

// One code point from UTF-16 (Windows) or UTF-32 (elsewhere); a lone
// surrogate comes back as itself.
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

bool IsForbiddenInWebAddress(char32_t c) { return c == U' ' || c == U'"' || c == U'\\' || IsInvisibleOrFormat(c); }

bool IsUnreserved(wchar_t c) {
  return IsAsciiAlpha(c) || IsAsciiDigit(c) || c == L'-' || c == L'.' || c == L'_' || c == L'~';
}

bool IsUserInfo(std::wstring_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (c == L'%') {
      if (i + 2 >= s.size() || !IsHexDigit(s[i + 1]) || !IsHexDigit(s[i + 2])) return false;
      i += 2;
    } else if (!IsUnreserved(c) && std::wstring_view(L"!$&'()*+,;=:").find(c) == std::wstring_view::npos) {
      return false;
    }
  }
  return true;
}

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

// Host of "//[userinfo@]host[:port]", or nothing when the authority is not sane.
std::optional<std::wstring_view> AuthorityHost(std::wstring_view authority) {
  const size_t at = authority.rfind(L'@');
  if (at != std::wstring_view::npos) {
    if (!IsUserInfo(authority.substr(0, at))) return std::nullopt;
    authority.remove_prefix(at + 1);
  }
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

std::wstring Hex(char32_t c) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out;
  for (int shift = 20; shift >= 0; shift -= 4)
    if (shift < 16 || (c >> shift) != 0) out += kDigits[(c >> shift) & 0xF];
  return out;
}

// What each code point of s looks like in the question, one entry per code
// point, so that a shortened text never cuts an escape or a UTF-16 pair.
std::vector<std::wstring> ShownPieces(std::wstring_view s) {
  // Blanks at either end show as nothing, and a leading one changes what the
  // shell opens.
  const size_t lead = std::min(s.find_first_not_of(L' '), s.size());
  const size_t trail = s.find_last_not_of(L' ') + 1;  // 0 when all blanks
  std::vector<std::wstring> pieces;
  for (size_t i = 0; i < s.size();) {
    const size_t start = i;
    const char32_t c = NextCodePoint(s, i);
    const bool edgeBlank = c == U' ' && (start < lead || start >= trail);
    if (IsInvisibleOrFormat(c) || edgeBlank)
      pieces.push_back(L"<U+" + Hex(c) + L">");
    else
      pieces.emplace_back(s.substr(start, i - start));
  }
  return pieces;
}

std::wstring Shown(std::wstring_view s, size_t max, size_t head, size_t tail) {
  const std::vector<std::wstring> pieces = ShownPieces(s);
  size_t total = 0;
  for (const std::wstring& p : pieces) total += p.size();
  std::wstring out;
  if (total <= max) {
    for (const std::wstring& p : pieces) out += p;
    return out;
  }
  size_t first = 0;
  for (size_t used = 0; first < pieces.size() && used + pieces[first].size() <= head; ++first) {
    used += pieces[first].size();
    out += pieces[first];
  }
  size_t last = pieces.size();
  for (size_t used = 0; last > first && used + pieces[last - 1].size() <= tail; --last) used += pieces[last - 1].size();
  out += L" …(" + std::to_wstring(last - first) + L"文字省略)… ";
  for (size_t k = last; k < pieces.size(); ++k) out += pieces[k];
  return out;
}

// A URL scheme as RFC 3986 writes it; one letter is a drive, not a scheme.
size_t SchemeLength(std::wstring_view s) {
  if (s.empty() || !IsAsciiAlpha(s[0])) return 0;
  size_t i = 1;
  while (i < s.size() && (IsAsciiAlpha(s[i]) || IsAsciiDigit(s[i]) || s[i] == L'+' || s[i] == L'-' || s[i] == L'.'))
    ++i;
  return (i >= 2 && i < s.size() && s[i] == L':') ? i : 0;
}

std::wstring_view LastComponent(std::wstring_view path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.remove_suffix(1);
  const size_t sep = path.find_last_of(L"\\/");
  return sep == std::wstring_view::npos ? path : path.substr(sep + 1);
}

}  // namespace

std::wstring_view OpenFailureMessage(std::int64_t code) {
  for (const CodeMessage& m : kMessages)
    if (m.code == code) return m.text;
  return kCannotOpen;
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
  // A mail address never starts with a slash; "mailto:/../x.exe" is a path.
  if (EqualsIgnoringAsciiCase(scheme, L"mailto") && !rest.empty() && rest.front() != L'/')
    return WebAddressParts{L"mailto", {}};
  return std::nullopt;
}

bool IsWebAddress(std::wstring_view target) { return ParseWebAddress(target).has_value(); }

std::wstring OpenQuestionText(std::wstring_view target) {
  std::wstring lines;
  const size_t scheme = SchemeLength(target);
  std::wstring_view path = target;
  std::wstring_view host;
  if (scheme > 0 && target.substr(scheme + 1, 2) == L"//") {
    const size_t start = scheme + 3;
    const size_t end = std::min(target.find_first_of(L"/\\?#", start), target.size());
    host = target.substr(start, end - start);
    path = target.substr(end);
  }
  const bool hasSeparator = path.find_first_of(L"\\/") != std::wstring_view::npos;
  const std::wstring_view name = LastComponent(path);
  if (!name.empty() && (hasSeparator || scheme == 0))
    lines += L"名前: " + Shown(name, kLineMax, kLineHead, kLineTail) + L"\n";
  if (!host.empty())
    lines += L"スキームとホスト: " + Shown(target.substr(0, scheme + 3 + host.size()), kLineMax, kLineHead, kLineTail) +
             L"\n";
  else if (scheme > 0 && lines.empty())
    lines += L"スキーム: " + Shown(target.substr(0, scheme), kLineMax, kLineHead, kLineTail) + L"\n";
  return L"リンク先はWebページのアドレスではありません。\n"
         L"プログラムやファイルが開かれることがあります。開きますか？\n\n" +
         lines + L"リンク先: " + Shown(target, kShownMax, kShownHead, kShownTail);
}

}  // namespace vorpa
