#include "interaction/OpenMessages.h"

#include <array>

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

// Longest target shown in full; a box taller than the screen would hide its
// own buttons.
constexpr size_t kShownTargetMax = 1000;

bool IsAsciiAlpha(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool IsUnsafeToShow(wchar_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  // Marks that reorder or hide text: with them a target could show a harmless
  // name while naming something else.
  if (c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))
    return true;
  if (c == 0x2028 || c == 0x2029) return true;
  return false;
}

}  // namespace

std::wstring_view OpenFailureMessage(std::int64_t code) {
  for (const CodeMessage& m : kMessages)
    if (m.code == code) return m.text;
  return kCannotOpen;
}

bool IsWebAddress(std::wstring_view target) {
  // The shell sees the text only up to its first NUL.
  const size_t nul = target.find(L'\0');
  if (nul != std::wstring_view::npos) target = target.substr(0, nul);
  size_t i = 0;
  while (i < target.size() && (target[i] == L' ' || target[i] == L'\t')) ++i;
  size_t end = i;
  while (end < target.size() && IsAsciiAlpha(target[end])) ++end;
  if (end == i || end >= target.size() || target[end] != L':') return false;
  std::wstring scheme;
  for (size_t k = i; k < end; ++k) scheme += AsciiLower(target[k]);
  return scheme == L"http" || scheme == L"https" || scheme == L"ftp" || scheme == L"mailto";
}

std::wstring OpenQuestionText(std::wstring_view target) {
  std::wstring shown;
  size_t n = target.size() < kShownTargetMax ? target.size() : kShownTargetMax;
  // Never cut a UTF-16 pair in half.
  if (n < target.size() && n > 0 && target[n - 1] >= 0xD800 && target[n - 1] <= 0xDBFF) --n;
  shown.reserve(n + 1);
  for (size_t i = 0; i < n; ++i) shown += IsUnsafeToShow(target[i]) ? L'?' : target[i];
  if (target.size() > kShownTargetMax) shown += L'…';
  return L"リンク先はWebページのアドレスではありません。\n"
         L"プログラムやファイルが開かれることがあります。開きますか？\n\n" +
         shown;
}

}  // namespace vorpa
