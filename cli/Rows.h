#pragma once
// The rows the tool lists, with what the window's rows do not carry: the
// file's path, which PATH it came from, and the audit's findings.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "list/UrlEntry.h"

namespace vorpa::cli {

// Most rows carry neither a path to write nor a finding: the texts are kept
// apart, so that such a row costs a pointer.
struct RowInfo {
  uint32_t root = 0;   // index of the PATH argument it came from
  uint32_t group = 0;  // with --duplicates: 1-based group of equal URLs
  uint32_t check = 0;  // with --check: index of the URL's result

  // The shortcut file's full path as given or walked, where the format
  // writes it or the audit names the row; otherwise empty.
  const std::wstring& path() const { return more_ ? more_->path : Empty(); }
  // The audit's reasons, "; "-separated; empty when none.
  const std::wstring& risk() const { return more_ ? more_->risk : Empty(); }
  void SetPath(std::wstring path) { More().path = std::move(path); }
  void SetRisk(std::wstring risk) { More().risk = std::move(risk); }

 private:
  struct Texts {
    std::wstring path, risk;
  };
  static const std::wstring& Empty() {
    static const std::wstring empty;
    return empty;
  }
  Texts& More() {
    if (!more_) more_ = std::make_unique<Texts>();
    return *more_;
  }
  std::unique_ptr<Texts> more_;
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
std::string ToUtf8(std::wstring_view text);

}  // namespace vorpa::cli
