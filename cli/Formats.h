#pragma once
// The list in each output format, handed to a sink piece by piece.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "cli/Rows.h"
#include "output/CsvText.h"

namespace vorpa::cli {

// Where the bytes go. Rewind forgets everything written so far (the CSV
// writer starts again in UTF-8 when a character does not fit the code page).
class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool Write(std::string_view bytes) = 0;
  virtual bool Rewind() = 0;
};

struct CheckResult;

struct RootText {
  std::wstring label;  // the PATH's last component, for the bookmark tree
  bool folder = false;
};

struct FormatContext {
  ColumnCaptions captions;      // the window's header captions
  unsigned csvCodePage = 932;   // kCodePageUtf8 for --encoding utf-8
  bool audit = false;           // rows carry a risk field
  bool duplicates = false;      // rows carry their group
  std::vector<RootText> roots;  // one per PATH
  const std::vector<CheckResult>* check = nullptr;  // with --check: by RowInfo::check
  bool* csvFellBack = nullptr;  // if given, set when a CSV not asked for in UTF-8 was written in it
};

bool WriteCsv(const RowSet& set, const FormatContext& context, Sink& sink);
bool WriteTsv(const RowSet& set, const FormatContext& context, Sink& sink);
bool WriteJson(const RowSet& set, const FormatContext& context, Sink& sink);
bool WriteXlsx(const RowSet& set, const FormatContext& context, Sink& sink);
bool WriteHtml(const RowSet& set, const FormatContext& context, Sink& sink);
bool WriteFormat(Format format, const RowSet& set, const FormatContext& context, Sink& sink);

// The folder column split into the bookmark folders it names.
std::vector<std::wstring> FolderComponents(std::wstring_view folder);

// The caption of the audit column in the window's formats.
inline constexpr wchar_t kCaptionRisk[] = L"リスク";

}  // namespace vorpa::cli
