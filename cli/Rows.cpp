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
