#pragma once
// vorpa-list: the window's list from the command line.
#include <string>
#include <vector>

namespace vorpa::cli {

// Runs the tool on the arguments (without the program name); the exit code.
int RunListTool(const std::vector<std::wstring>& args);

}  // namespace vorpa::cli
