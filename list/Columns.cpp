#include "list/Columns.h"

#include <cmath>

#include "common/Text.h"

namespace vorpa {

long long RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double diff = value - floor;
  long long r = static_cast<long long>(floor);
  if (diff > 0.5 || (diff == 0.5 && (r % 2 != 0))) ++r;
  return r;
}

ColumnWidths ComputeColumnWidths(double listWidthTwips) {
  const long long w = RoundHalfEven(listWidthTwips);
  const long long w2 = RoundHalfEven(2.0 * listWidthTwips);
  const int first = static_cast<int>(w / 5 - 30);
  const int other = static_cast<int>(w2 / 5 - 30);
  return {first, other, other};
}

std::wstring ApplyHeaderFolder(std::wstring& listFolder, std::wstring folder, bool addMode) {
  if (addMode && !listFolder.empty() && !EqualsIgnoreCase(folder, listFolder)) {
    folder.clear();
    listFolder.clear();
  }
  std::wstring caption = kCaptionFolder;
  if (!folder.empty()) {
    listFolder = folder;
    caption += L" (" + folder + L")";
  }
  return caption;
}

}  // namespace vorpa
