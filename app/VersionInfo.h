#pragma once
// The version information block (VS_VERSIONINFO) as it sits in the program's
// own RT_VERSION resource, read without version.dll: that DLL is not one of
// the system's known DLLs, so importing it lets a copy placed next to the
// program load before any of our code runs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpa {

struct VersionInfo {
  std::uint32_t fileVersionMs = 0;  // VS_FIXEDFILEINFO: major << 16 | minor
  std::uint32_t fileVersionLs = 0;
  // The strings of the string table of the first language that the
  // translation list names (or of the first table when nothing matches).
  std::vector<std::pair<std::wstring, std::wstring>> strings;

  unsigned Major() const { return fileVersionMs >> 16; }
  unsigned Minor() const { return fileVersionMs & 0xFFFF; }
  // The value of a string (exact key), or empty text.
  std::wstring String(std::wstring_view key) const;
};

// Parses the bytes of an RT_VERSION resource. A block that is cut or whose
// lengths point outside it gives what could be read before the fault; false
// when there is no fixed file information.
bool ParseVersionInfo(const unsigned char* data, std::size_t size, VersionInfo& out);

}  // namespace vorpa
