#include "cli/Rows.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "common/Text.h"

namespace vorpa::cli {

void RowSet::Reorder(const std::vector<size_t>& order) {
  std::vector<UrlEntry> r;
  std::vector<RowInfo> in;
  r.reserve(order.size());
  in.reserve(order.size());
  for (size_t i : order) {
    r.push_back(std::move(rows[i]));
    in.push_back(std::move(info[i]));
  }
  rows = std::move(r);
  info = std::move(in);
}

void SortRows(RowSet& set, SortKey key) {
  if (key == SortKey::kNone) return;
  const int column = key == SortKey::kName ? 0 : key == SortKey::kUrl ? 1 : 2;
  // One key per row: the platform's comparison is asked once per text.
  std::vector<std::string> keys(set.rows.size());
  for (size_t i = 0; i < keys.size(); ++i) AppendSortKey(set.rows[i].Column(column), keys[i]);
  std::vector<size_t> order(keys.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  set.Reorder(order);
}

std::wstring NormalizeUrlForDuplicates(std::wstring_view url) {
  std::wstring out(url);
  const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
  const size_t colon = out.find(L':');
  size_t scheme = 0;
  while (scheme < out.size() && ((out[scheme] >= L'a' && out[scheme] <= L'z') || (out[scheme] >= L'A' && out[scheme] <= L'Z') ||
                                 (scheme > 0 && ((out[scheme] >= L'0' && out[scheme] <= L'9') || out[scheme] == L'+' ||
                                                 out[scheme] == L'-' || out[scheme] == L'.'))))
    ++scheme;
  if (colon != std::wstring::npos && scheme == colon && colon > 0) {
    for (size_t i = 0; i < colon; ++i) out[i] = lower(out[i]);
    if (out.compare(colon, 3, L"://") == 0) {
      const size_t hostStart = colon + 3;
      size_t hostEnd = out.find_first_of(L"/?#", hostStart);
      if (hostEnd == std::wstring::npos) hostEnd = out.size();
      // Letter case of user information, if any, is kept: only the host is
      // case-blind.
      const size_t at = out.rfind(L'@', hostEnd);
      const size_t from = at != std::wstring::npos && at >= hostStart ? at + 1 : hostStart;
      for (size_t i = from; i < hostEnd; ++i) out[i] = lower(out[i]);
    }
  }
  if (!out.empty() && out.back() == L'/') out.pop_back();
  return out;
}

void KeepDuplicates(RowSet& set) {
  std::vector<std::wstring> keys(set.rows.size());
  std::unordered_map<std::wstring, std::vector<size_t>> groups;
  std::vector<const std::vector<size_t>*> firstSeen;
  for (size_t i = 0; i < set.rows.size(); ++i) {
    // Rows without a URL have nothing in common.
    if (set.rows[i].url.empty()) continue;
    auto [it, added] = groups.try_emplace(NormalizeUrlForDuplicates(set.rows[i].url));
    it->second.push_back(i);
    if (added) firstSeen.push_back(&it->second);
  }
  std::vector<size_t> order;
  std::vector<uint32_t> groupOf;
  uint32_t group = 0;
  for (const std::vector<size_t>* g : firstSeen) {
    if (g->size() < 2) continue;
    ++group;
    for (size_t i : *g) {
      order.push_back(i);
      groupOf.push_back(group);
    }
  }
  set.Reorder(order);
  for (size_t i = 0; i < set.info.size(); ++i) set.info[i].group = groupOf[i];
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8(out, text);
  return out;
}

}  // namespace vorpa::cli

namespace vorpa::cli {

std::wstring DecodeFileName(std::string_view bytes, bool* valid) {
  std::wstring out;
  AppendFileName(out, bytes, valid);
  return out;
}

void AppendFileName(std::wstring& out, std::string_view bytes, bool* valid) {
  if (valid) *valid = true;
  out.reserve(out.size() + bytes.size());
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char b = byte(i);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    size_t n = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    char32_t cp = n == 4 ? b & 0x07 : n == 3 ? b & 0x0F : b & 0x1F;
    bool ok = n > 0 && i + n <= bytes.size();
    for (size_t k = 1; ok && k < n; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if (ok && ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)))
      ok = false;
    if (!ok) {
      if (valid) *valid = false;
      out.push_back(static_cast<wchar_t>(0xDC00 + b));
      ++i;
      continue;
    }
    if constexpr (sizeof(wchar_t) == 2) {
      if (cp >= 0x10000) {
        out.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        out.push_back(static_cast<wchar_t>(cp));
      }
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
    i += n;
  }
}

std::string EncodeFileName(std::wstring_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const char32_t cp = CodePointAt(name, i);
    if (cp >= 0xDC80 && cp <= 0xDCFF) {
      out.push_back(static_cast<char>(cp - 0xDC00));
      continue;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace vorpa::cli
