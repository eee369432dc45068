#include "cli/Audit.h"

#include "common/Text.h"
#include "common/WebAddress.h"

namespace vorpa::cli {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithIgnoreCase(std::wstring_view s, std::wstring_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// The file as text, decoded as Windows' INI reader decodes it.
std::wstring FileText(std::string_view bytes, unsigned ansiCodePage) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    return DecodeUtf16Le(bytes.substr(2));
  return DecodeCodePage(bytes, ansiCodePage);
}

struct Section {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> keys;
};

// Every section and key in file order, duplicates kept: the differences
// between readers lie exactly in which of several they take.
std::vector<Section> Sections(std::wstring_view text) {
  std::vector<Section> sections;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring_view::npos) end = text.size();
    const std::wstring_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      const size_t close = line.find(L']');
      sections.push_back({std::wstring(Trim(line.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1))), {}});
      continue;
    }
    const size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos || sections.empty()) continue;
    sections.back().keys.emplace_back(std::wstring(Trim(line.substr(0, eq))), std::wstring(Trim(line.substr(eq + 1))));
  }
  return sections;
}

std::wstring SchemeOf(std::wstring_view url) {
  url = Trim(url);
  const size_t colon = url.find(L':');
  if (colon == std::wstring_view::npos || colon == 0 || colon > 32) return {};
  for (size_t i = 0; i < colon; ++i) {
    const wchar_t c = url[i];
    if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (i > 0 && ((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.'))))
      return {};
  }
  // A drive letter is a path, not a scheme.
  if (colon == 1) return {};
  std::wstring s(url.substr(0, colon));
  for (wchar_t& c : s)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return s;
}

// UTF-7 text is ASCII; anything else in it cannot decode anyway.
std::string Ascii(std::wstring_view s) {
  std::string out;
  for (wchar_t c : s) out.push_back(static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace

bool IsRemotePath(std::wstring_view value) {
  value = Trim(value);
  if (value.size() >= 2 && value[0] == L'"' && value.back() == L'"') value = value.substr(1, value.size() - 2);
  if (value.size() >= 3 && (value[0] == L'\\' || value[0] == L'/') && (value[1] == L'\\' || value[1] == L'/')) {
    // \\?\C:\ and \\.\ name this machine; \\?\UNC\ does not.
    if (value[2] == L'?' || value[2] == L'.') return StartsWithIgnoreCase(value.substr(3), L"\\UNC\\");
    return true;
  }
  if (StartsWithIgnoreCase(value, L"file:")) {
    std::wstring_view rest = value.substr(5);
    size_t slashes = 0;
    while (slashes < rest.size() && (rest[slashes] == L'/' || rest[slashes] == L'\\')) ++slashes;
    if (slashes == 2 || slashes >= 4) {
      rest.remove_prefix(slashes);
      if (slashes >= 4) return true;
      const size_t hostEnd = rest.find_first_of(L"/\\");
      const std::wstring_view host = rest.substr(0, hostEnd);
      return !host.empty() && !EqualsIgnoreCase(host, L"localhost") && !(host.size() == 2 && host[1] == L':') &&
             !(host.size() == 2 && host[1] == L'|');
    }
  }
  return false;
}

std::vector<std::wstring> AuditShortcut(std::string_view bytes, std::wstring_view url, unsigned ansiCodePage,
                                        bool bytesCut) {
  std::vector<std::wstring> reasons;
  // No shortcut that Windows writes comes near this size: whatever hides
  // past the first 4 MiB (read for the URL, not checked here) is worth a look.
  if (bytesCut) reasons.push_back(L"file larger than 4 MiB (only its start was checked; the URL comes from all of it)");
  if (Trim(url).empty()) {
    reasons.push_back(L"no URL");
  } else if (!IsWebAddress(url)) {
    const std::wstring scheme = SchemeOf(url);
    const bool unc = IsRemotePath(url);
    reasons.push_back(L"not a web address (" +
                      (unc ? std::wstring(L"remote path") : scheme.empty() ? std::wstring(L"local path or program") : scheme + L":") +
                      L")");
  } else if (IsRemotePath(url)) {
    reasons.push_back(L"URL names a remote path");
  }
  if (url.size() > kMaxUrlChars) reasons.push_back(L"URL longer than 2083 characters");

  const bool utf8Bom = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
  const std::vector<Section> sections = Sections(FileText(bytes, ansiCodePage));
  int mainSections = 0;
  int wideUrlSections = 0;
  std::wstring wideUrl, mainUrl;
  bool remoteIcon = false, remoteWorkDir = false, severalUrls = false, quotedUrl = false;
  for (const Section& s : sections) {
    const bool main = EqualsIgnoreCase(s.name, L"InternetShortcut");
    const bool wide = EqualsIgnoreCase(s.name, L"InternetShortcut.W");
    if (main) ++mainSections;
    if (!main && !wide) continue;
    int urls = 0;
    for (const auto& [key, value] : s.keys) {
      if (EqualsIgnoreCase(key, L"IconFile") && IsRemotePath(value)) remoteIcon = true;
      if (EqualsIgnoreCase(key, L"WorkingDirectory") && IsRemotePath(value)) remoteWorkDir = true;
      if (!EqualsIgnoreCase(key, L"URL")) continue;
      ++urls;
      if (main && mainSections == 1 && urls == 1) mainUrl = value;
      if (main && value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) quotedUrl = true;
      if (wide && urls == 1 && ++wideUrlSections == 1) wideUrl = DecodeCodePage(Ascii(value), kCodePageUtf7);
    }
    if (urls > 1) severalUrls = true;
  }
  if (remoteIcon) reasons.push_back(L"IconFile on a remote path");
  if (remoteWorkDir) reasons.push_back(L"WorkingDirectory on a remote path");
  if (utf8Bom) reasons.push_back(L"UTF-8 byte-order mark (Windows does not read the first line)");
  if (mainSections > 1) reasons.push_back(L"several [InternetShortcut] sections (readers differ on which counts)");
  if (severalUrls) reasons.push_back(L"several URL= keys in one section (readers differ on which counts)");
  if (quotedUrl) reasons.push_back(L"quoted URL value (Windows strips the quotes, other readers keep them)");
  // The ANSI copy of a URL that does not fit the code page has '?' where
  // the UTF-7 copy has the character; anything else is another target.
  if (!wideUrl.empty() && mainSections > 0 && DecodeCodePage(EncodeCodePage(wideUrl, ansiCodePage), ansiCodePage) != mainUrl)
    reasons.push_back(L"[InternetShortcut] and [InternetShortcut.W] name different URLs (readers differ on which counts)");
  return reasons;
}

}  // namespace vorpa::cli
