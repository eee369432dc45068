#pragma once
// What makes a folder the same folder under any name: a directory link or a
// junction leads to a folder of the same volume and file id. Built from the
// platform's answers, which are plain numbers, so the rules run natively too.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace vorpa {

struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t idHigh = 0;
  uint64_t idLow = 0;
  // The 64-bit index and the 128-bit id are numbered apart: a file system
  // need not make one the widened other (ReFS does not), so an id of one
  // kind never stands for an id of the other.
  bool wide = false;
  bool operator==(const FolderIdentity&) const = default;
};

// From the 128-bit id (bytes in memory order, as the platform gives them).
// Zero and all ones are no id: file systems that keep none answer so for
// every file, and taking them for an id would merge every folder.
inline std::optional<FolderIdentity> IdentityFromFileId(uint64_t volume, const unsigned char (&id)[16]) {
  uint64_t low = 0, high = 0;
  for (int i = 7; i >= 0; --i) low = (low << 8) | id[i];
  for (int i = 15; i >= 8; --i) high = (high << 8) | id[i];
  if ((low == 0 && high == 0) || (low == ~uint64_t{0} && high == ~uint64_t{0})) return std::nullopt;
  return FolderIdentity{volume, high, low, true};
}

// From the 64-bit index and the 32-bit volume serial, where the 128-bit id
// is not given (before Windows 8, some network file systems).
inline std::optional<FolderIdentity> IdentityFromFileIndex(uint32_t volume, uint32_t indexHigh, uint32_t indexLow) {
  const uint64_t index = (uint64_t{indexHigh} << 32) | indexLow;
  if (index == 0 || index == ~uint64_t{0}) return std::nullopt;
  return FolderIdentity{volume, 0, index, false};
}

struct FolderIdentityHash {
  size_t operator()(const FolderIdentity& id) const noexcept {
    uint64_t h = id.idLow ^ (id.idHigh * 0xC2B2AE3D27D4EB4Full) ^ (id.volume * 0x9E3779B97F4A7C15ull);
    if (id.wide) h = ~h;
    return std::hash<uint64_t>()(h);
  }
};

}  // namespace vorpa
