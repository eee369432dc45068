#pragma once
// The rows the tool lists, with what the window's rows do not carry: the
// file's path, which PATH it came from, and the audit's findings.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "list/UrlEntry.h"

namespace vorpa::cli {

struct RowInfo {
  std::wstring path;  // the shortcut file's full path as given or walked
  std::wstring risk;  // the audit's reasons, "; "-separated; empty when none
  uint32_t root = 0;  // index of the PATH argument it came from
  uint32_t group = 0;  // with --duplicates: 1-based group of equal URLs
};

// Two parallel arrays, so the window's output functions take `rows` as is.
struct RowSet {
  std::vector<UrlEntry> rows;
  std::vector<RowInfo> info;
  void Reorder(const std::vector<size_t>& order);  // keeps the rows at order[0], order[1], ...
};

// Stable and case-insensitive, by the list's own comparison.
void SortRows(RowSet& set, SortKey key);

// The URL as duplicates are compared: scheme and host in lower case, one
// trailing '/' dropped.
std::wstring NormalizeUrlForDuplicates(std::wstring_view url);

// Keeps only rows whose normalised URL occurs more than once, each group
// together where its first row stood, and numbers the groups.
void KeepDuplicates(RowSet& set);

// UTF-8 of wide text; a lone surrogate becomes U+FFFD.
void AppendUtf8(std::string& out, std::wstring_view text);
std::string ToUtf8(std::wstring_view text);

}  // namespace vorpa::cli

namespace vorpa::cli {

// File names on POSIX systems are bytes, mostly UTF-8. A byte that is not
// part of valid UTF-8 becomes U+DC80 + byte, so that the name can be shown
// (as U+FFFD) and still be opened again by EncodeFileName.
std::wstring DecodeFileName(std::string_view bytes, bool* valid = nullptr);
std::string EncodeFileName(std::wstring_view name);

}  // namespace vorpa::cli
