#include "cli/Options.h"

#include <string_view>

namespace vorpa::cli {
namespace {

template <class E>
struct Choice {
  const wchar_t* name;
  E value;
};

template <class E, size_t N>
bool Pick(std::wstring_view text, const Choice<E> (&choices)[N], E& out) {
  for (const Choice<E>& c : choices)
    if (text == c.name) {
      out = c.value;
      return true;
    }
  return false;
}

constexpr Choice<Format> kFormats[] = {{L"csv", Format::kCsv},
                                       {L"tsv", Format::kTsv},
                                       {L"json", Format::kJson},
                                       {L"xlsx", Format::kXlsx},
                                       {L"html", Format::kHtml}};
constexpr Choice<SortKey> kSortKeys[] = {{L"name", SortKey::kName}, {L"url", SortKey::kUrl}, {L"folder", SortKey::kFolder}};
constexpr Choice<unsigned> kFailOns[] = {{L"dead", kFailOnDead}, {L"audit", kFailOnAudit}, {L"duplicates", kFailOnDuplicates}};
constexpr Choice<Encoding> kEncodings[] = {{L"cp932", Encoding::kCp932}, {L"utf-8", Encoding::kUtf8}, {L"utf8", Encoding::kUtf8}};

}  // namespace

bool ParseOptions(const std::vector<std::wstring>& args, Options& o, std::wstring& error) {
  o = Options{};
  bool optionsEnded = false;
  bool encodingGiven = false;
  bool checkOptions = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::wstring arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != L'-' || arg == L"-") {
      o.paths.push_back(arg);
      continue;
    }
    if (arg == L"--") {
      optionsEnded = true;
      continue;
    }
    // "--name=value" and "--name value" alike.
    std::wstring value;
    bool inlineValue = false;
    if (arg.rfind(L"--", 0) == 0) {
      const size_t eq = arg.find(L'=');
      if (eq != std::wstring::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
        inlineValue = true;
      }
    }
    const auto takeValue = [&]() -> bool {
      if (inlineValue) return true;
      if (i + 1 >= args.size()) {
        error = L"option " + arg + L" needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    const auto flag = [&](bool& target) -> bool {
      if (inlineValue) {
        error = L"option " + arg + L" takes no value";
        return false;
      }
      target = true;
      return true;
    };
    bool ok = true;
    if (arg == L"-r" || arg == L"--recursive") {
      ok = flag(o.recursive);
    } else if (arg == L"--follow-links") {
      ok = flag(o.followLinks);
    } else if (arg == L"--duplicates") {
      ok = flag(o.duplicates);
    } else if (arg == L"--audit") {
      ok = flag(o.audit);
    } else if (arg == L"--check") {
      ok = flag(o.check);
    } else if (arg == L"--jobs" || arg == L"--timeout") {
      ok = takeValue();
      int& target = arg == L"--jobs" ? o.jobs : o.timeoutSeconds;
      const int max = arg == L"--jobs" ? 256 : 3600;
      target = 0;
      for (wchar_t c : value) target = c >= L'0' && c <= L'9' && target <= max ? target * 10 + (c - L'0') : max + 1;
      if (ok && (target < 1 || target > max)) {
        error = L"option " + arg + L" takes a whole number from 1 to " + std::to_wstring(max);
        ok = false;
      }
      checkOptions = true;
    } else if (arg == L"--ca-file") {
      ok = takeValue();
      o.caFile = value;
      checkOptions = true;
#ifdef _WIN32
      if (ok) {
        error = L"--ca-file: on Windows the system's certificate store decides";
        ok = false;
      }
#endif
    } else if (arg == L"--fail-on") {
      ok = takeValue();
      unsigned bit = 0;
      if (ok && !Pick(value, kFailOns, bit)) {
        error = L"unknown --fail-on '" + value + L"' (dead, audit or duplicates)";
        ok = false;
      }
      o.failOn |= bit;
    } else if (arg == L"-q" || arg == L"--quiet") {
      ok = flag(o.quiet);
    } else if (arg == L"-h" || arg == L"--help") {
      ok = flag(o.help);
    } else if (arg == L"--version") {
      ok = flag(o.version);
    } else if (arg == L"-o" || arg == L"--output") {
      ok = takeValue();
      if (ok && value.empty()) {
        error = L"option " + arg + L" needs a file name";
        ok = false;
      }
      o.output = value;
    } else if (arg == L"--format") {
      ok = takeValue();
      if (ok && !Pick(value, kFormats, o.format)) {
        error = L"unknown format '" + value + L"' (csv, tsv, json, xlsx or html)";
        ok = false;
      }
    } else if (arg == L"--sort") {
      ok = takeValue();
      if (ok && !Pick(value, kSortKeys, o.sort)) {
        error = L"unknown sort key '" + value + L"' (name, url or folder)";
        ok = false;
      }
    } else if (arg == L"--encoding") {
      ok = takeValue();
      if (ok && !Pick(value, kEncodings, o.encoding)) {
        error = L"unknown encoding '" + value + L"' (cp932 or utf-8)";
        ok = false;
      }
      encodingGiven = true;
    } else {
      error = L"unknown option " + arg;
      ok = false;
    }
    if (!ok) return false;
  }
  if (o.help || o.version) return true;
  if (encodingGiven && o.format != Format::kCsv) {
    error = L"--encoding applies to csv only (the other text formats are UTF-8)";
    return false;
  }
  if (checkOptions && !o.check) {
    error = L"--jobs, --timeout and --ca-file apply with --check only";
    return false;
  }
  if (((o.failOn & kFailOnDead) && !o.check) || ((o.failOn & kFailOnAudit) && !o.audit)) {
    error = L"--fail-on dead needs --check, and --fail-on audit needs --audit";
    return false;
  }
  if (o.paths.empty()) {
    error = L"no PATH given";
    return false;
  }
  for (const std::wstring& p : o.paths)
    if (p.empty()) {
      error = L"an empty PATH";
      return false;
    }
  return true;
}

const wchar_t* HelpText() {
  return L"Usage: vorpa-list [options] PATH...\n"
         L"Lists the Internet shortcut files (*.url) in each PATH (a folder or a shortcut file):\n"
         L"name, URL and folder, as the VORPA window lists them.\n"
         L"\n"
         L"  -r, --recursive          walk sub-folders too (each folder once, links into the PATH only)\n"
         L"      --follow-links       also follow links that lead out of a PATH\n"
         L"      --format FORMAT      csv (default), tsv, json, xlsx or html (bookmark file)\n"
         L"  -o, --output FILE        write to FILE (replaced only when complete) instead of stdout\n"
         L"      --encoding ENC       csv text in cp932 or utf-8 (default: the system code page)\n"
         L"      --sort KEY           name, url or folder (stable, ignoring letter case)\n"
         L"      --duplicates         only rows whose URL occurs more than once, grouped\n"
         L"      --audit              add a risk field and list the shortcuts worth a look on stderr\n"
         L"      --check              ask every http and https URL whether it still works: adds\n"
         L"                           check (ok, moved, dead, restricted, error, skipped), status, final_url\n"
         L"      --jobs N             with --check: requests in flight (default 16, at most 4 to one host)\n"
         L"      --timeout SECONDS    with --check: per request (default 10)\n"
#ifndef _WIN32
         L"      --ca-file FILE       with --check: also trust the certificates in FILE (PEM)\n"
#endif
         L"      --fail-on WHAT       exit 3 when a row is dead (--check), flagged (--audit) or a\n"
         L"                           duplicate (duplicates); may be repeated\n"
         L"  -q, --quiet              no progress and no warnings on stderr\n"
         L"  -h, --help               this text\n"
         L"      --version            the program's version\n"
         L"\n"
         L"Exit status: 0 done, 1 some paths could not be read (the other rows are written), 2 bad usage,\n"
         L"3 a row matched --fail-on (1 outranks it).\n";
}

}  // namespace vorpa::cli
