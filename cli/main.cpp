// vorpa-list's entry point: the arguments as wide text, whatever the platform.
#include <string>
#include <vector>

#include "cli/ListTool.h"
#include "cli/FileName.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  return vorpa::cli::RunListTool(args);
}
#else
#include <clocale>
#include <csignal>
int main(int argc, char** argv) {
  // A reader that went away must not end the run unseen: a closed standard
  // output is then a write error (exit 1), and a closed standard error must
  // not keep an -o FILE from being written.
  std::signal(SIGPIPE, SIG_IGN);
  // Letter case of non-ASCII text (the sort, comparisons) follows the
  // environment's locale.
  std::setlocale(LC_CTYPE, "");
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(vorpa::cli::DecodeFileName(argv[i]));
  return vorpa::cli::RunListTool(args);
}
#endif
