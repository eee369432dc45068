// vorpa-list's own logic: the command line, duplicates, the audit, the
// formats against the window's writers, and the POSIX walk on a real tree.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli/Audit.h"
#include "cli/FileName.h"
#include "cli/Formats.h"
#include "cli/Options.h"
#include "cli/Rows.h"
#include "cli/Walk.h"
#include "common/Text.h"
#include "list/UrlFileReader.h"
#include "output/CsvText.h"

using namespace vorpa;
using namespace vorpa::cli;
namespace fs = std::filesystem;

namespace {

class StringSink : public Sink {
 public:
  bool Write(std::string_view b) override {
    bytes.append(b);
    return true;
  }
  bool Rewind() override {
    bytes.clear();
    return true;
  }
  std::string bytes;
};

RowSet MakeRows(const std::vector<UrlEntry>& rows) {
  RowSet set;
  set.rows = rows;
  for (const UrlEntry& row : rows) set.info.emplace_back().SetPath(L"/p/" + row.text + L".url");
  return set;
}

}  // namespace

TEST(ListToolOptions, ParsesTheCommandLineOrSaysWhy) {
  struct Case {
    std::vector<std::wstring> args;
    bool ok;
    std::wstring errorPart;
  };
  const Case cases[] = {
      {{L"dir"}, true, L""},
      {{L"-r", L"--format", L"json", L"-o", L"x.json", L"a", L"b"}, true, L""},
      {{L"--format=xlsx", L"--sort=url", L"--", L"-odd-name"}, true, L""},
      {{}, false, L"no PATH"},
      {{L"--format", L"pdf", L"d"}, false, L"unknown format"},
      {{L"--sort", L"size", L"d"}, false, L"unknown sort"},
      {{L"--format", L"json", L"--encoding", L"cp932", L"d"}, false, L"csv only"},
      {{L"--encoding", L"latin1", L"d"}, false, L"unknown encoding"},
      {{L"-o"}, false, L"needs a value"},
      {{L"--recursive=yes", L"d"}, false, L"takes no value"},
      {{L"-x", L"d"}, false, L"unknown option"},
      {{L"--help"}, true, L""},
  };
  for (const Case& c : cases) {
    Options o;
    std::wstring error;
    EXPECT_EQ(ParseOptions(c.args, o, error), c.ok) << (c.args.empty() ? std::string() : ToUtf8(c.args[0]));
    EXPECT_NE(error.find(c.errorPart), std::wstring::npos) << ToUtf8(error);
  }
  Options o;
  std::wstring error;
  ASSERT_TRUE(ParseOptions({L"-r", L"--format=tsv", L"--sort", L"folder", L"-o", L"out", L"--audit", L"--duplicates", L"-q",
                            L"--follow-links", L"--", L"-a", L"b"},
                           o, error));
  EXPECT_TRUE(o.recursive && o.audit && o.duplicates && o.quiet && o.followLinks);
  EXPECT_EQ(o.format, Format::kTsv);
  EXPECT_EQ(o.sort, SortKey::kFolder);
  EXPECT_EQ(o.output, L"out");
  EXPECT_EQ(o.paths, (std::vector<std::wstring>{L"-a", L"b"}));
}

TEST(ListToolRows, DuplicatesCompareSchemeAndHostBlindToCaseAndATrailingSlash) {
  const std::pair<const wchar_t*, const wchar_t*> same[] = {
      {L"HTTPS://Example.COM/", L"https://example.com"},
      {L"http://User@EXAMPLE.com/Path/", L"http://User@example.com/Path"},
  };
  for (const auto& [a, b] : same) EXPECT_EQ(NormalizeUrlForDuplicates(a), NormalizeUrlForDuplicates(b)) << ToUtf8(a);
  const std::pair<const wchar_t*, const wchar_t*> different[] = {
      {L"https://example.com/Path", L"https://example.com/path"},
      {L"http://example.com", L"https://example.com"},
      {L"http://user@example.com", L"http://USER@example.com"},
  };
  for (const auto& [a, b] : different) EXPECT_NE(NormalizeUrlForDuplicates(a), NormalizeUrlForDuplicates(b)) << ToUtf8(a);

  RowSet set = MakeRows({{L"a", L"http://x.example/", L""},
                         {L"b", L"http://only.example", L""},
                         {L"c", L"http://y.example", L""},
                         {L"d", L"HTTP://X.example", L""},
                         {L"e", L"http://y.example/", L""},
                         {L"f", L"http://x.example", L""}});
  KeepDuplicates(set);
  std::wstring order;
  for (size_t i = 0; i < set.rows.size(); ++i) order += set.rows[i].text + std::to_wstring(set.info[i].group);
  EXPECT_EQ(order, L"a1d1f1c2e2");

  RowSet sorted = MakeRows({{L"b", L"", L""}, {L"A", L"2", L""}, {L"a", L"1", L""}, {L"C", L"", L""}});
  SortRows(sorted, SortKey::kName);
  EXPECT_EQ(sorted.rows[0].url + sorted.rows[1].url + sorted.rows[1].text + sorted.rows[2].text + sorted.rows[3].text, L"21abC");
}

TEST(ListToolAudit, NamesEveryReasonToLookAtAShortcut) {
  struct Case {
    const char* bytes;
    const wchar_t* expected;  // a part of the reasons, or empty for none
  };
  const Case cases[] = {
      {"[InternetShortcut]\r\nURL=https://example.com/\r\n", L""},
      {"[InternetShortcut]\r\nURL=file://attacker/share/x.exe\r\n", L"not a web address (remote path)"},
      {"[InternetShortcut]\r\nURL=C:\\Windows\\System32\\calc.exe\r\n", L"not a web address (local path or program)"},
      {"[InternetShortcut]\r\nURL=\\\\host\\share\\a.exe\r\n", L"(remote path)"},
      {"[InternetShortcut]\r\nURL=search-ms:query=x\r\n", L"(search-ms:)"},
      {"[InternetShortcut]\r\nURL=javascript:alert(1)\r\n", L"(javascript:)"},
      {"[InternetShortcut]\r\nURL=https://e.com\r\nIconFile=\\\\10.0.0.1\\s\\i.ico\r\n", L"IconFile on a remote path"},
      {"[InternetShortcut]\r\nURL=https://e.com\r\nWorkingDirectory=//host/share\r\n", L"WorkingDirectory on a remote path"},
      {"[InternetShortcut]\r\nURL=https://e.com\r\nIconFile=C:\\icons\\i.ico\r\n", L""},
      {"[InternetShortcut]\r\nURL=https://a.com\r\n[InternetShortcut]\r\nURL=https://b.com\r\n", L"several [InternetShortcut]"},
      {"[InternetShortcut]\r\nURL=https://a.com\r\nURL=https://b.com\r\n", L"several URL= keys"},
      {"[InternetShortcut]\r\nURL=\"https://a.com\"\r\n", L"quoted URL"},
      {"[InternetShortcut]\r\nURL=https://a.com/\r\n[InternetShortcut.W]\r\nURL=https://b.com/\r\n", L"different URLs"},
      {"[InternetShortcut]\r\nURL=http://???/\r\n[InternetShortcut.W]\r\nURL=http://+ZeVnLIqe-/\r\n",
       L"not a web address (http:)"},  // a non-ASCII host asks first, as the window does
      {"\xEF\xBB\xBF[InternetShortcut]\r\nURL=https://a.com\r\n", L"byte-order mark"},
      {"garbage \x01\x02", L"no URL"},
  };
  // A Western code page, where the ANSI copy of a Japanese URL has '?'.
  constexpr unsigned kCodePage = 1252;
  for (const Case& c : cases) {
    const std::wstring url = ParseInternetShortcutUrl(c.bytes, kCodePage);
    std::wstring all;
    for (const std::wstring& r : AuditShortcut(c.bytes, url, kCodePage)) all += r + L"; ";
    if (*c.expected == 0) {
      EXPECT_EQ(all, L"") << c.bytes;
    } else {
      EXPECT_NE(all.find(c.expected), std::wstring::npos) << c.bytes << " gave " << ToUtf8(all);
    }
  }
  const std::string longUrl = "[InternetShortcut]\r\nURL=https://e.com/" + std::string(2100, 'a') + "\r\n";
  const auto reasons = AuditShortcut(longUrl, ParseInternetShortcutUrl(longUrl, 932), 932);
  ASSERT_EQ(reasons.size(), 1u);
  EXPECT_NE(reasons[0].find(L"2083"), std::wstring::npos);
}

// The CSV must be the window's bytes; the other formats must survive the
// characters that their syntax gives a meaning.
TEST(ListToolFormats, CsvIsTheWindowsFileAndOthersEscapeTheirSyntax) {
  const RowSet set = MakeRows({{L"日本", L"http://a/,\"b\"", L"\\sub"}, {L"x\ty", L"http://<a>&'\"", L"\\a\\b"}});
  FormatContext context;
  context.captions = {L"ファイル名", L"URLアドレス", L"ファイルパス (C:\\A)"};
  for (unsigned cp : {932u, 65001u}) {
    context.csvCodePage = cp;
    StringSink sink;
    ASSERT_TRUE(WriteCsv(set, context, sink));
    std::string expected = BuildCsvFile(context.captions, set.rows, cp);
    if (cp == 65001) expected = "\xEF\xBB\xBF" + expected;
    EXPECT_EQ(sink.bytes, expected) << cp;
  }
  StringSink tsv, json, html;
  ASSERT_TRUE(WriteTsv(set, context, tsv));
  EXPECT_NE(tsv.bytes.find("\"x\ty\"\t"), std::string::npos);
  EXPECT_NE(tsv.bytes.find("\"http://a/,\"\"b\"\"\""), std::string::npos);
  ASSERT_TRUE(WriteJson(set, context, json));
  EXPECT_NE(json.bytes.find("\"name\":\"x\\u0009y\",\"url\":\"http://<a>&'\\\"\""), std::string::npos) << json.bytes;
  context.roots = {{L"A", true}};
  ASSERT_TRUE(WriteHtml(set, context, html));
  // Not a web address: text, not a link.
  EXPECT_NE(html.bytes.find("<DT>x y\n            <DD>http://&lt;a&gt;&amp;&#39;&quot;\n"), std::string::npos) << html.bytes;
  EXPECT_EQ(html.bytes.find("<A HREF"), std::string::npos) << html.bytes;
  // \a\b nests b inside a.
  const size_t a = html.bytes.find("<H3>a</H3>"), b = html.bytes.find("<H3>b</H3>");
  EXPECT_TRUE(a != std::string::npos && b != std::string::npos && a < b);
  EXPECT_EQ(FolderComponents(L"\\a\\\\b/c\\"), (std::vector<std::wstring>{L"a", L"b", L"c"}));
}

TEST(ListToolRows, FileNamesThatAreNotUtf8StillOpen) {
  const std::string names[] = {"plain.url", "\xE6\x97\xA5\xE6\x9C\xAC.url", "bad\xFF\xC3(.url", "\xED\xA0\x80x", "\xF0\x9F\x98\x80",
                                "x\xF8\xA0\xA0y.url", "\xFC\xA1\xA1"};
  for (const std::string& n : names) {
    bool valid = true;
    const std::wstring w = DecodeFileName(n, &valid);
    EXPECT_EQ(EncodeFileName(w), n);
    std::wstring path = L"/\x65E5/";  // appended behind a folder, as the walk does
    AppendFileName(path, n);
    EXPECT_EQ(path, L"/\x65E5/" + w);
    EXPECT_EQ(valid, n.find_first_of("\xFF\xED\xF8\xFC") == std::string::npos) << n;
  }
}

namespace {

class Recorder : public WalkEvents {
 public:
  void Found(FoundShortcut&& s) override { found.push_back(std::move(s)); }
  void Warn(const std::wstring& path, const std::wstring& what) override { warnings.push_back(path + L": " + what); }
  void Note(const std::wstring& path, const std::wstring&) override { notes.push_back(path); }
  std::vector<FoundShortcut> found;
  std::vector<std::wstring> warnings, notes;
};

class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vorpa-list-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  void File(const std::string& rel, const std::string& url) {
    fs::create_directories((root_ / rel).parent_path());
    std::ofstream(root_ / rel, std::ios::binary) << "[InternetShortcut]\r\nURL=" << url << "\r\n";
  }
  std::wstring Root() const { return DecodeFileName((root_ / "tree").string()); }
  fs::path root_;
};

}  // namespace

TEST_F(TempTree, WalkVisitsEachFolderOnceAndStaysInsideThePath) {
  File("tree/a.url", "https://a/");
  File("tree/sub/b.URL", "https://b/");
  File("tree/sub/deep/c.url", "https://c/");
  File("tree/sub/note.txt", "x");
  File("outside/o.url", "https://o/");
  fs::create_directory_symlink("..", root_ / "tree/sub/up");        // a loop to a parent
  fs::create_directory_symlink("../sub", root_ / "tree/sub/deep/again");  // a second way into the tree
  fs::create_directory_symlink("../outside", root_ / "tree/out");   // a way out
  ASSERT_EQ(mkfifo((root_ / "tree/sub/fifo.url").c_str(), 0644), 0);

  struct Case {
    bool recursive, followLinks;
    const wchar_t* urls;
    size_t warnings;
  };
  const Case cases[] = {
      {false, false, L"https://a/ ", 0},
      {true, false, L"https://a/ https://b/ https://c/  ", 1},
      {true, true, L"https://a/ https://o/ https://b/ https://c/  ", 1},
  };
  for (const Case& c : cases) {
    Recorder r;
    WalkSettings settings;
    settings.recursive = c.recursive;
    settings.followLinks = c.followLinks;
    const bool ok = WalkFolder(Root(), settings, r);
    std::wstring urls;
    for (const FoundShortcut& f : r.found) urls += f.url + L" ";
    EXPECT_EQ(urls, c.urls) << c.recursive << c.followLinks;
    EXPECT_EQ(r.warnings.size(), c.warnings);
    EXPECT_EQ(ok, c.warnings == 0);
  }
  Recorder r;
  WalkSettings settings;
  settings.recursive = true;
  WalkFolder(Root(), settings, r);
  ASSERT_EQ(r.found.size(), 4u);
  EXPECT_EQ(r.found[1].path, Root() + L"/sub/b.URL");
  EXPECT_EQ(r.found[1].name, L"b");
  EXPECT_EQ(r.found[3].path, Root() + L"/sub/fifo.url");  // listed, without a URL
}

TEST_F(TempTree, UnreadableFolderIsReportedAndTheRestListed) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder; the script check runs this as another user";
  File("tree/a.url", "https://a/");
  File("tree/locked/b.url", "https://b/");
  File("tree/z/c.url", "https://c/");
  fs::permissions(root_ / "tree/locked", fs::perms::none);
  Recorder r;
  WalkSettings settings;
  settings.recursive = true;
  EXPECT_FALSE(WalkFolder(Root(), settings, r));
  ASSERT_EQ(r.found.size(), 2u);
  EXPECT_EQ(r.warnings.size(), 1u);
  fs::permissions(root_ / "tree/locked", fs::perms::owner_all);
}
