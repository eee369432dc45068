#pragma once
// The command line of vorpa-list.
#include <string>
#include <vector>

namespace vorpa::cli {

enum class Format { kCsv, kTsv, kJson, kXlsx, kHtml };
enum class SortKey { kNone, kName, kUrl, kFolder };
enum class Encoding { kSystem, kCp932, kUtf8 };

enum FailOn : unsigned { kFailOnDead = 1, kFailOnAudit = 2, kFailOnDuplicates = 4 };

struct Options {
  std::vector<std::wstring> paths;
  bool recursive = false;
  bool followLinks = false;
  Format format = Format::kCsv;
  std::wstring output;  // empty: standard output
  Encoding encoding = Encoding::kSystem;
  SortKey sort = SortKey::kNone;
  bool duplicates = false;
  bool audit = false;
  bool check = false;
  int jobs = 16;
  int timeoutSeconds = 10;
  std::wstring caFile;
  unsigned failOn = 0;  // FailOn bits
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Exit codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitSomeUnreadable = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitMatched = 3;  // --fail-on found a row

// False with `error` set when the arguments (without the program name) are
// not a valid command line. --help and --version need no PATH.
bool ParseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error);

const wchar_t* HelpText();

}  // namespace vorpa::cli
