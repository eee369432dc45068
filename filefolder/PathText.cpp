#include "filefolder/PathText.h"

namespace vorpa {

std::wstring CutAtNul(std::wstring_view text) {
  const size_t nul = text.find(L'\0');
  return std::wstring(nul == std::wstring_view::npos ? text : text.substr(0, nul));
}

std::vector<std::wstring> FolderChain(std::wstring folder) {
  folder = WithoutTrailingBackslash(std::move(folder));
  if (folder.empty()) return {std::wstring()};
  std::vector<std::wstring> pieces;
  size_t start = 0;
  for (;;) {
    const size_t sep = folder.find(L'\\', start);
    pieces.push_back(folder.substr(start, sep == std::wstring::npos ? std::wstring::npos : sep - start));
    if (sep == std::wstring::npos) break;
    start = sep + 1;
  }
  // The first piece is the root and keeps its backslash; the second joins it
  // without another one, the rest with one.
  pieces[0] += L'\\';
  for (size_t i = 1; i < pieces.size(); ++i) {
    pieces[i] = i == 1 ? pieces[0] + pieces[1] : pieces[i - 1] + L'\\' + pieces[i];
  }
  return pieces;
}

std::wstring TextAfterLastDot(std::wstring_view text) {
  const size_t dot = text.rfind(L'.');
  return dot == std::wstring_view::npos ? std::wstring() : std::wstring(text.substr(dot + 1));
}

std::wstring NameWithoutType(std::wstring_view name, std::wstring_view type) {
  if (name.empty() || type.empty() || name.size() <= type.size()) return {};
  return std::wstring(name.substr(0, name.size() - type.size() - 1));
}

bool EndsWithBackslash(std::wstring_view path) { return !path.empty() && path.back() == L'\\'; }

std::wstring WithTrailingBackslash(std::wstring path) {
  if (!EndsWithBackslash(path)) path += L'\\';
  return path;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  if (EndsWithBackslash(path)) path.pop_back();
  return path;
}

namespace {
constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
}  // namespace

std::wstring ToExtendedLengthPath(std::wstring_view fullPath) {
  if (fullPath.size() >= 3 && IsDriveLetter(fullPath[0]) && fullPath[1] == L':' && fullPath[2] == L'\\') {
    return std::wstring(kExtended) + std::wstring(fullPath);
  }
  if (fullPath.size() >= 3 && fullPath[0] == L'\\' && fullPath[1] == L'\\') {
    // "\\?\..." and "\\.\..." are device forms already.
    if (fullPath[2] == L'?' || fullPath[2] == L'.') return std::wstring(fullPath);
    return std::wstring(kExtendedUnc) + std::wstring(fullPath.substr(2));
  }
  return std::wstring(fullPath);
}

std::wstring FromExtendedLengthPath(std::wstring_view path) {
  if (path.substr(0, kExtendedUnc.size()) == kExtendedUnc) {
    return L"\\\\" + std::wstring(path.substr(kExtendedUnc.size()));
  }
  if (path.substr(0, kExtended.size()) == kExtended) {
    const std::wstring_view rest = path.substr(kExtended.size());
    if (rest.size() >= 2 && IsDriveLetter(rest[0]) && rest[1] == L':') return std::wstring(rest);
  }
  return std::wstring(path);
}

bool IsReservedDeviceName(std::wstring_view fileName) {
  std::wstring_view base = fileName.substr(0, fileName.find_first_of(L".:"));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  auto is = [&](std::wstring_view name) {
    if (base.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
      wchar_t c = base[i];
      if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
      if (c != name[i]) return false;
    }
    return true;
  };
  if (is(L"CON") || is(L"PRN") || is(L"AUX") || is(L"NUL") || is(L"CONIN$") || is(L"CONOUT$")) return true;
  if (base.size() != 4) return false;
  const wchar_t digit = base[3];
  const bool isDigit =
      (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
  base.remove_suffix(1);
  return isDigit && (is(L"COM") || is(L"LPT"));
}

}  // namespace vorpa
