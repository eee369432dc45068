#pragma once
#include <string>

namespace vorpa {

// The folder that holds the program's executable file, without a trailing
// backslash except at a drive root; empty text if it cannot be read.
std::wstring ProgramFolder();

}  // namespace vorpa
