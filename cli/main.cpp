// vorpa-list's entry point: the arguments as wide text, whatever the platform.
#include <string>
#include <vector>

#include "cli/ListTool.h"
#include "cli/Rows.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  return vorpa::cli::RunListTool(args);
}
#else
#include <clocale>
int main(int argc, char** argv) {
  // Letter case of non-ASCII text (the sort, comparisons) follows the
  // environment's locale.
  std::setlocale(LC_CTYPE, "");
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(vorpa::cli::DecodeFileName(argv[i]));
  return vorpa::cli::RunListTool(args);
}
#endif
