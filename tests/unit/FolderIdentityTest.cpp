#include <gtest/gtest.h>

#include <unordered_set>

#include "filefolder/FolderIdentity.h"

using namespace vorpa;

namespace {

struct Id16 {
  unsigned char bytes[16] = {};
};
Id16 MakeId(uint64_t low, uint64_t high) {
  Id16 id;
  for (int i = 0; i < 8; ++i) {
    id.bytes[i] = static_cast<unsigned char>(low >> (8 * i));
    id.bytes[8 + i] = static_cast<unsigned char>(high >> (8 * i));
  }
  return id;
}

}  // namespace

// A walk passes over a folder whose identity it has met before; two folders
// taken for one lose the second one's files.
TEST(FolderIdentity, DistinctFoldersNeverShareAnIdentity) {
  std::unordered_set<FolderIdentity, FolderIdentityHash> seen;
  auto firstVisit = [&](const std::optional<FolderIdentity>& id) { return !id || seen.insert(*id).second; };

  // 128-bit ids that agree in their low 64 bits, as ReFS gives them.
  EXPECT_TRUE(firstVisit(IdentityFromFileId(7, MakeId(0x1234, 1).bytes)));
  EXPECT_TRUE(firstVisit(IdentityFromFileId(7, MakeId(0x1234, 2).bytes)));
  // The same id on another volume, and the same numbers as a 64-bit index.
  EXPECT_TRUE(firstVisit(IdentityFromFileId(8, MakeId(0x1234, 1).bytes)));
  EXPECT_TRUE(firstVisit(IdentityFromFileIndex(7, 0, 0x1234)));
  EXPECT_TRUE(firstVisit(IdentityFromFileIndex(7, 1, 0x1234)));
  // No id at all: zero or all ones, from either call, is never "seen".
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(firstVisit(IdentityFromFileId(7, MakeId(0, 0).bytes)));
    EXPECT_TRUE(firstVisit(IdentityFromFileId(7, MakeId(~0ull, ~0ull).bytes)));
    EXPECT_TRUE(firstVisit(IdentityFromFileIndex(7, 0, 0)));
    EXPECT_TRUE(firstVisit(IdentityFromFileIndex(0, 0xFFFFFFFF, 0xFFFFFFFF)));
  }
  // The same folder met again under another name.
  EXPECT_FALSE(firstVisit(IdentityFromFileId(7, MakeId(0x1234, 2).bytes)));
  EXPECT_FALSE(firstVisit(IdentityFromFileIndex(7, 1, 0x1234)));
  // A volume without a serial still tells its folders apart by their ids.
  EXPECT_TRUE(firstVisit(IdentityFromFileIndex(0, 0, 5)));
  EXPECT_FALSE(firstVisit(IdentityFromFileIndex(0, 0, 5)));
}
