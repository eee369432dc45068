#pragma once
// The file list of a drop: the paths held in a DROPFILES block, read without
// trusting the block. It comes from another program and may be cut short,
// point outside itself or lack its terminators.
#include <cstddef>
#include <string>
#include <vector>

namespace vorpa {

// Paths in the order of the block. Wide blocks are UTF-16; others are in the
// system ANSI code page. A path that runs into the end of the block without
// its terminating NUL is left out: it may have been cut.
std::vector<std::wstring> ParseDropFiles(const unsigned char* data, size_t size);

}  // namespace vorpa
