#include "interaction/OpenMessages.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vorpa {

namespace {

bool IsAsciiAlpha(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHexDigit(wchar_t c) { return IsAsciiDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }
int HexValue(wchar_t c) { return IsAsciiDigit(c) ? c - L'0' : (c | 0x20) - L'a' + 10; }
bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if ((IsAsciiAlpha(a[i]) ? (a[i] | 0x20) : a[i]) != (IsAsciiAlpha(b[i]) ? (b[i] | 0x20) : b[i])) return false;
  return true;
}

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

// Longest target shown whole, and the parts kept of a longer one: a box
// taller than the screen would hide its own buttons.
constexpr size_t kShownMax = 640;
constexpr size_t kShownHead = 400;
constexpr size_t kShownTail = 200;
// The same for the name or host line.
constexpr size_t kLineMax = 160;
constexpr size_t kLineHead = 100;
constexpr size_t kLineTail = 50;

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

// s as the question shows it: whole up to max characters, else its head and
// its tail. keepLast code points at the end are always kept whole.
std::wstring Shown(std::wstring_view s, size_t max, size_t head, size_t tail, size_t keepLast = 0) {
  const std::vector<std::wstring> pieces = ShownPieces(s);
  size_t kept = 0;
  for (size_t k = pieces.size() - std::min(keepLast, pieces.size()); k < pieces.size(); ++k) kept += pieces[k].size();
  tail = std::max(tail, kept);
  max = std::max(max, head + tail);
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

std::wstring OpenQuestionText(std::wstring_view target, std::wstring_view localPath) {
  std::wstring lines;
  std::wstring lead = L"リンク先はWebページのアドレスではありません。\n"
                      L"プログラムやファイルが開かれることがあります。開きますか？\n\n";
  const size_t scheme = SchemeLength(target);
  if (!localPath.empty()) {
    // What the shell opens: the name in full, and the path up to it.
    const std::wstring_view name = LastComponent(localPath);
    lines += L"名前: " + Shown(name, kShownMax, kShownHead, kShownTail, name.size()) + L"\n";
    lines += L"ファイル: " + Shown(localPath, kShownMax, kShownHead, kShownTail, name.size() + 1) + L"\n";
    return lead + lines + L"リンク先: " + Shown(target, kShownMax, kShownHead, kShownTail);
  }
  std::wstring_view path = target;
  std::wstring_view host;
  if (scheme > 0 && target.substr(scheme + 1, 2) == L"//") {
    const size_t start = scheme + 3;
    const size_t end = std::min(target.find_first_of(L"/\\?#", start), target.size());
    host = target.substr(start, end - start);
    path = target.substr(end);
  }
  const size_t at = host.rfind(L'@');
  if (at != std::wstring_view::npos) {
    // "http://bank.example@evil.example/" opens evil.example.
    std::wstring_view real = host.substr(at + 1);
    real = real.substr(0, (!real.empty() && real.front() == L'[') ? real.find(L']') + 1 : real.find(L':'));
    lead = L"リンク先のアドレスは「@」の前に別の名前を含んでいます。\n"
           L"開かれるのは「@」の後のホストです。開きますか？\n\n";
    lines += L"ホスト: " + Shown(real, kLineMax, kLineHead, kLineTail) + L"\n";
    lines += L"「@」の前（ホストではありません）: " + Shown(host.substr(0, at), kLineMax, kLineHead, kLineTail) + L"\n";
    return lead + lines + L"リンク先: " + Shown(target, kShownMax, kShownHead, kShownTail);
  }
  if (scheme == 6 && EqualsIgnoringCase(target.substr(0, 7), L"mailto:")) {
    // A mail address that is not a plain one asks for a file or holds a path.
    lead = L"リンク先はメールの宛先だけではありません（ファイルの添付やパスを含みます）。\n"
           L"メールのプログラムにファイルが渡されることがあります。開きますか？\n\n";
    const size_t question = target.find(L'?');
    if (question != std::wstring_view::npos)
      lines += L"指定: " + Shown(target.substr(question + 1), kLineMax, kLineHead, kLineTail) + L"\n";
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
  return lead + lines + L"リンク先: " + Shown(target, kShownMax, kShownHead, kShownTail);
}

bool IsFileUrl(std::wstring_view target) {
  return SchemeLength(target) == 4 && EqualsIgnoringCase(target.substr(0, 5), L"file:");
}

bool HasControlCharacter(std::wstring_view path) {
  return std::any_of(path.begin(), path.end(), [](wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); });
}

bool FileUrlHidesControl(std::wstring_view target) {
  if (HasControlCharacter(target)) return true;
  for (size_t i = 0; i + 2 < target.size(); ++i) {
    if (target[i] != L'%' || !IsHexDigit(target[i + 1]) || !IsHexDigit(target[i + 2])) continue;
    const int byte = HexValue(target[i + 1]) * 16 + HexValue(target[i + 2]);
    if (byte < 0x20 || byte == 0x7F) return true;
    // A C1 control written as UTF-8.
    if (byte == 0xC2 && i + 5 < target.size() && target[i + 3] == L'%' && IsHexDigit(target[i + 4]) &&
        IsHexDigit(target[i + 5])) {
      const int next = HexValue(target[i + 4]) * 16 + HexValue(target[i + 5]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

std::wstring FileUrlRefusedText(std::wstring_view target) {
  return L"リンク先のファイルURLには制御文字（%00 など）が含まれています。\n"
         L"表示と違うファイルが開かれるおそれがあるため、開きません。\n\n"
         L"リンク先: " +
         Shown(target, kShownMax, kShownHead, kShownTail);
}

std::wstring_view BareSchemeOf(std::wstring_view target) {
  const size_t scheme = SchemeLength(target);
  if (scheme == 0) return {};
  // The shell reads these itself, without a registered class: "file:calc"
  // is a program on the search path, "shell:" a namespace that starts apps.
  for (const wchar_t* own : {L"file", L"shell"})
    if (EqualsIgnoringCase(target.substr(0, scheme), own)) return {};
  const std::wstring_view rest = target.substr(scheme + 1);
  for (size_t i = 0; i < rest.size();) {
    const char32_t c = NextCodePoint(rest, i);
    if (c == U'/' || c == U'\\' || c == U'%' || c == U' ' || c == U'"' || IsInvisibleOrFormat(c)) return {};
  }
  return target.substr(0, scheme);
}

}  // namespace vorpa
