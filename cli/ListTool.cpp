#include "cli/ListTool.h"

#include <chrono>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "app/version.h"
#include "cli/Audit.h"
#include "cli/Check.h"
#include "cli/Formats.h"
#include "cli/Options.h"
#include "cli/Rows.h"
#include "cli/TerminalText.h"
#include "cli/Walk.h"
#include "common/Text.h"
#include "list/Columns.h"
#include "list/ScanPaths.h"
#include "output/CsvText.h"

namespace vorpa::cli {
namespace {

// Rows come in as the walk finds them; the count shows on a terminal. They
// are gathered in blocks and put into the row set once at the end: a vector
// growing row by row would hold its old and new storage at once and copy
// every row a second time, which for a long list costs more than the rows.
class Collector : public WalkEvents {
 public:
  Collector(RowSet& set, const Options& options)
      : set_(set), options_(options), keepPaths_(options.format == Format::kTsv || options.format == Format::kJson) {
    progress_ = !options.quiet && StderrIsTerminal();
    start_ = std::chrono::steady_clock::now();
    lastShown_ = start_;
  }
  ~Collector() override {
    if (shown_) WriteStderr(L"\r\x1b[K");
  }

  void Begin(uint32_t root, std::wstring base) {
    root_ = root;
    base_ = std::move(base);
  }

  void Found(FoundShortcut&& s) override {
    if (blocks_.empty() || blocks_.back().rows.size() == kBlock) {
      blocks_.emplace_back();
      blocks_.back().rows.reserve(kBlock);
      blocks_.back().info.reserve(kBlock);
    }
    Block& block = blocks_.back();
    UrlEntry& row = block.rows.emplace_back();
    row.text = std::move(s.name);
    row.url = std::move(s.url);
    row.folder = CutBaseFolder(FolderOfFoundPath(s.path), base_);
    RowInfo& info = block.info.emplace_back();
    info.root = root_;
    bool flagged = false;
    if (options_.audit) {
      std::wstring risk;
      for (const std::wstring& r : AuditShortcut(s.bytes, row.url, SystemAnsiCodePage(), s.bytesCut))
        risk += (risk.empty() ? L"" : L"; ") + r;
      flagged = !risk.empty();
      if (flagged) {
        flagged_.push_back(count_);
        info.SetRisk(std::move(risk));
      }
    }
    // The path is long and most formats leave it out: held only where it is written.
    if (keepPaths_ || flagged) info.SetPath(std::move(s.path));
    ++count_;
    if (progress_ && (count_ & 255) == 0) ShowProgress();
  }

  // Hands the rows to the set, each block freed once it is moved.
  void Finish() {
    set_.rows.reserve(set_.rows.size() + count_);
    set_.info.reserve(set_.info.size() + count_);
    for (Block& block : blocks_) {
      std::move(block.rows.begin(), block.rows.end(), std::back_inserter(set_.rows));
      std::move(block.info.begin(), block.info.end(), std::back_inserter(set_.info));
      block = Block();
    }
    blocks_.clear();
    count_ = 0;
  }

  void Warn(const std::wstring& path, const std::wstring& what) override {
    if (options_.quiet) return;
    ClearProgress();
    WriteStderr(L"vorpa-list: " + TerminalSafe(path) + L": " + TerminalSafe(what) + L"\n");
  }
  void Note(const std::wstring& path, const std::wstring& what) override { Warn(path, what); }

  const std::vector<size_t>& flagged() const { return flagged_; }

 private:
  void ShowProgress() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastShown_ < std::chrono::milliseconds(200)) return;
    lastShown_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(count_) / seconds : 0.0;
    const std::wstring line = L"\r" + std::to_wstring(count_) + L" shortcuts, " +
                              std::to_wstring(static_cast<unsigned long long>(rate)) + L"/s";
    WriteStderr(line);
    shown_ = true;
  }
  void ClearProgress() {
    if (!shown_) return;
    WriteStderr(L"\r\x1b[K");
    shown_ = false;
  }

  struct Block {
    std::vector<UrlEntry> rows;
    std::vector<RowInfo> info;
  };
  static constexpr size_t kBlock = 4096;

  RowSet& set_;
  const Options& options_;
  const bool keepPaths_;
  std::vector<Block> blocks_;
  size_t count_ = 0;
  uint32_t root_ = 0;
  std::wstring base_;
  std::vector<size_t> flagged_;
  bool progress_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_, lastShown_;
};

// Standard output cannot be taken back, and the CSV writer may start again
// in UTF-8 halfway through. A first run into nothing counts how often it
// does; the real run then drops what comes before the last new start. The
// bytes are the same, and the list never waits in memory as bytes too.
class CountingSink : public Sink {
 public:
  bool Write(std::string_view) override { return true; }
  bool Rewind() override {
    ++rewinds_;
    return true;
  }
  int rewinds() const { return rewinds_; }

 private:
  int rewinds_ = 0;
};

class ForwardSink : public Sink {
 public:
  using WriteFn = std::function<bool(std::string_view)>;
  ForwardSink(WriteFn write, int rewindsToCome) : write_(std::move(write)), skip_(rewindsToCome) {}
  bool Write(std::string_view bytes) override { return skip_ > 0 || write_(bytes); }
  // A new start nobody counted would follow bytes already out: refused.
  bool Rewind() override { return skip_-- > 0; }

 private:
  WriteFn write_;
  int skip_;
};

int RewindsAhead(Format format, const RowSet& set, const FormatContext& context) {
  if (format != Format::kCsv) return 0;
  // The plain list is the window's file, whose one new start can be foreseen
  // without making the bytes twice.
  if (!context.audit && !context.check)
    return CsvFileStartsOver(context.captions, set.rows, context.csvCodePage) ? 1 : 0;
  CountingSink dry;
  return WriteFormat(format, set, context, dry) ? dry.rewinds() : 0;
}

class FileSink : public Sink {
 public:
  explicit FileSink(OutputFile& file) : file_(file) {}
  bool Write(std::string_view bytes) override { return file_.Write(bytes); }
  bool Rewind() override { return file_.Rewind(); }

 private:
  OutputFile& file_;
};

std::wstring LastComponent(const std::wstring& path) {
  std::wstring_view p = path;
  while (p.size() > 1 && (p.back() == L'/' || p.back() == L'\\')) p.remove_suffix(1);
  const size_t cut = p.find_last_of(L"/\\");
  return std::wstring(cut == std::wstring_view::npos ? p : p.substr(cut + 1));
}

}  // namespace

int RunListTool(const std::vector<std::wstring>& args) {
  Options options;
  std::wstring error;
  if (!ParseOptions(args, options, error)) {
    WriteStderr(L"vorpa-list: " + TerminalSafe(error) + L"\nTry 'vorpa-list --help'.\n");
    return kExitUsage;
  }
  if (options.help) {
    std::string text;
    AppendUtf8(text, HelpText());
    return WriteStdout(text) ? kExitDone : kExitSomeUnreadable;
  }
  if (options.version) {
    std::string text = "vorpa-list " VORPA_VERSION_STR "\n";
    return WriteStdout(text) ? kExitDone : kExitSomeUnreadable;
  }

  // The list would take the place of what it lists.
  if (!options.output.empty() && OutputReplacesInput(options.output, options.paths, options.recursive)) {
    WriteStderr(L"vorpa-list: " + TerminalSafe(options.output) + L": the output would replace a file it lists\nTry 'vorpa-list --help'.\n");
    return kExitUsage;
  }

  RowSet set;
  FormatContext context;
  context.audit = options.audit;
  context.duplicates = options.duplicates;
  WalkSettings settings;
  settings.recursive = options.recursive;
  settings.followLinks = options.followLinks;
  settings.keepBytes = options.audit;

  bool allRead = true;
  std::wstring listFolder;
  std::wstring folderCaption = kCaptionFolder;
  {
    Collector collector(set, options);
    for (uint32_t i = 0; i < options.paths.size(); ++i) {
      std::wstring full;
      const PathKind kind = InspectPath(options.paths[i], full);
      context.roots.push_back({LastComponent(full), kind == PathKind::kFolder});
      switch (kind) {
        case PathKind::kFolder:
          // The header names the folder as the window's does after an open,
          // new for the first PATH and added for the others.
          folderCaption = ApplyHeaderFolder(listFolder, full, i > 0);
          collector.Begin(i, full);
          if (!WalkFolder(full, settings, collector)) allRead = false;
          break;
        case PathKind::kShortcut: {
          // A file given directly is a drop: no folder named, the folder column in full.
          folderCaption = ApplyHeaderFolder(listFolder, std::wstring(), false);
          collector.Begin(i, std::wstring());
          FoundShortcut found;
          if (!ReadShortcut(full, settings, found, collector)) allRead = false;
          collector.Found(std::move(found));
          break;
        }
        case PathKind::kOtherFile:
          collector.Warn(options.paths[i], L"not a shortcut file (*.url) or folder");
          allRead = false;
          break;
        case PathKind::kMissing:
          collector.Warn(options.paths[i], L"no such file or folder");
          allRead = false;
          break;
      }
    }
    collector.Finish();
    if (options.audit && !options.quiet) {
      for (size_t row : collector.flagged())
        WriteStderr(L"vorpa-list: audit: " + TerminalSafe(set.info[row].path()) + L": " + TerminalSafe(set.info[row].risk()) +
                    L"\n");
    }
  }
  context.captions = {kCaptionName, kCaptionUrl, folderCaption};
  context.csvCodePage = options.encoding == Encoding::kCp932  ? kCodePageShiftJis
                        : options.encoding == Encoding::kUtf8 ? kCodePageUtf8
                                                              : SystemAnsiCodePage();

  bool csvFellBack = false;
  context.csvFellBack = &csvFellBack;
  SortRows(set, options.sort);
  const bool anyDuplicate = (options.failOn & kFailOnDuplicates) && HasDuplicateUrls(set);
  if (options.duplicates) KeepDuplicates(set);
  std::vector<CheckResult> checks;
  if (options.check) {
    if (!CheckRows(set, {options.jobs, options.timeoutSeconds, options.caFile}, options.quiet, checks, error)) {
      WriteStderr(L"vorpa-list: " + TerminalSafe(error) + L"\n");
      return kExitSomeUnreadable;
    }
    context.check = &checks;
  }
  const bool matched = anyDuplicate || MatchesFailOn(set, options.failOn, checks);

  bool written;
  if (options.output.empty()) {
    ForwardSink sink(WriteStdout, RewindsAhead(options.format, set, context));
    written = WriteFormat(options.format, set, context, sink);
    if (!written) WriteStderr(L"vorpa-list: the output could not be written\n");
  } else {
    std::unique_ptr<OutputFile> file = CreateOutputFile(options.output, error);
    if (file) {
      bool formatted;
      if (file->Rewindable()) {
        FileSink sink(*file);
        formatted = WriteFormat(options.format, set, context, sink);
      } else {
        ForwardSink sink([&](std::string_view bytes) { return file->Write(bytes); },
                         RewindsAhead(options.format, set, context));
        formatted = WriteFormat(options.format, set, context, sink);
      }
      written = formatted && file->Commit();
      if (!written)
        error = file->Rewindable() ? L"not written completely; the old file, if any, is unchanged" : L"not written completely";
    } else {
      written = false;
    }
    if (!written) WriteStderr(L"vorpa-list: " + TerminalSafe(options.output) + L": " + TerminalSafe(error) + L"\n");
  }
  if (csvFellBack && options.format == Format::kCsv && !options.quiet)
    WriteStderr(L"vorpa-list: a name, URL or folder does not fit code page " + std::to_wstring(context.csvCodePage) +
                L": the CSV is written in UTF-8 with a byte-order mark\n");
  if (!written) return kExitSomeUnreadable;
  if (!allRead) return kExitSomeUnreadable;
  return matched ? kExitMatched : kExitDone;
}

}  // namespace vorpa::cli
