#pragma once
#include <string>

namespace vorpa {

// One row of the list: the three texts are all there is of it.
struct UrlEntry {
  std::wstring text;    // column 1: the shortcut's display name
  std::wstring url;     // column 2 (sub-item 1): its target
  std::wstring folder;  // column 3 (sub-item 2): its folder, relative to the scanned one

  const std::wstring& Column(int column) const {  // 0-based
    return column == 0 ? text : column == 1 ? url : folder;
  }
  bool operator==(const UrlEntry&) const = default;
};

}  // namespace vorpa
