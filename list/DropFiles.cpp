#include "list/DropFiles.h"

#include <cstdint>
#include <string_view>

#include "common/Text.h"

namespace vorpa {

namespace {
// DROPFILES: DWORD pFiles, POINT pt, BOOL fNC, BOOL fWide.
constexpr size_t kHeaderSize = 20;
constexpr size_t kWideOffset = 16;

std::uint32_t ReadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

std::vector<std::wstring> ParseDropFiles(const unsigned char* data, size_t size) {
  std::vector<std::wstring> paths;
  if (!data || size < kHeaderSize) return paths;
  const size_t start = ReadU32(data);
  const bool wide = ReadU32(data + kWideOffset) != 0;
  if (start < kHeaderSize || start >= size) return paths;
  const unsigned char* p = data + start;
  const size_t n = size - start;
  if (wide) {
    const size_t units = n / 2;
    size_t begin = 0;
    for (size_t i = 0; i < units; ++i) {
      if (p[2 * i] != 0 || p[2 * i + 1] != 0) continue;
      if (i == begin) break;  // the empty string that ends the list
      paths.push_back(DecodeUtf16Le(std::string_view(reinterpret_cast<const char*>(p + 2 * begin), 2 * (i - begin))));
      begin = i + 1;
    }
  } else {
    const unsigned codePage = SystemAnsiCodePage();
    size_t begin = 0;
    for (size_t i = 0; i < n; ++i) {
      if (p[i] != 0) continue;
      if (i == begin) break;
      paths.push_back(DecodeCodePage(std::string_view(reinterpret_cast<const char*>(p + begin), i - begin), codePage));
      begin = i + 1;
    }
  }
  return paths;
}

}  // namespace vorpa
