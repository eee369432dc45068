// The file list of a drop comes from whatever program the files were dragged
// from: any bytes must parse without reading outside the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "list/DropFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  std::vector<unsigned char> block(data, data + size);
  const auto paths = vorpa::ParseDropFiles(block.data(), block.size());
  for (const auto& p : paths)
    if (p.empty()) std::abort();
  return 0;
}
