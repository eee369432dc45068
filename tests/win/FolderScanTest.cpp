// Opening folders: the rows a walk gives, the headers, the pump steps, and
// what happens when the window is used or closed in the middle of a walk.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "app/resource.h"
#include "filefolder/clsFileFolder.h"
#include "list/ReadAhead.h"
#include "tests/win/DialogDriver.h"
#include "tests/win/ScanTestSupport.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa::test;
namespace fs = std::filesystem;

namespace {

struct Row {
  std::wstring name, url, folder;
  bool operator<(const Row& o) const { return std::tie(name, url, folder) < std::tie(o.name, o.url, o.folder); }
  bool operator==(const Row& o) const = default;
};

// The name the platform's title function gives, which column 1 passes
// through.
std::wstring ShownName(const fs::path& file) {
  wchar_t title[1024] = {};
  if (GetFileTitleW(file.c_str(), title, 1024) == 0 && title[0]) return title;
  return L"(refused) " + file.filename().wstring();
}

class FolderScanTest : public MainWindowTest {
 protected:
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (int i = 0; i < ItemCount(); ++i) rows.push_back({ItemText(i, 0), ItemText(i, 1), ItemText(i, 2)});
    return rows;
  }
  // Enumeration order is the file system's: compare as sorted lists.
  std::vector<Row> SortedRows() {
    std::vector<Row> rows = Rows();
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  static std::vector<Row> Sorted(std::vector<Row> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  int SelectedCount() { return static_cast<int>(SendMessageW(list(), LVM_GETSELECTEDCOUNT, 0, 0)); }
  void SelectAllInControl() {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(list(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  }

  // a.url, b.URL, c.txt and sub\d.url.
  void MakeTree(const fs::path& root) {
    WriteShortcut(root / L"a.url", L"http://a.example/");
    WriteShortcut(root / L"b.URL", L"http://b.example/");
    WriteFile(root / L"c.txt", "[InternetShortcut]\r\nURL=http://c.example/\r\n");
    WriteShortcut(root / L"sub" / L"d.url", L"http://d.example/");
  }

  // Files slow enough to read that a pump step cannot be missed between two.
  void MakeManyShortcuts(const fs::path& root, int count) {
    for (int i = 0; i < count; ++i)
      WriteShortcut(root / (L"s" + std::to_wstring(100 + i) + L".url"), L"http://s.example/" + std::to_wstring(i),
                    256 * 1024);
  }
};

TEST_F(FolderScanTest, TreeWithAndWithoutSubFolders) {
  TempDir dir;
  MakeTree(dir.path());
  const Row a{ShownName(dir.path() / L"a.url"), L"http://a.example/", L""};
  const Row b{ShownName(dir.path() / L"b.URL"), L"http://b.example/", L""};
  const Row d{ShownName(dir.path() / L"sub" / L"d.url"), L"http://d.example/", L"\\sub"};

  form().OpenFolder(dir.str());
  EXPECT_EQ(SortedRows(), Sorted({a, b}));
  EXPECT_EQ(HeaderText(0), L"ファイル名");
  EXPECT_EQ(HeaderText(1), L"URLアドレス");
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + dir.str() + L")");
  EXPECT_EQ(form().MousePointer(), 0);

  Command(IDM_SUBFOLDER1);
  form().OpenFolder(dir.str());
  EXPECT_EQ(SortedRows(), Sorted({a, b, d}));
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + dir.str() + L")");
}

TEST_F(FolderScanTest, DriveRootGivesSubFolderWithoutLeadingBackslash) {
  TempDir dir;
  WriteShortcut(dir.path() / L"e.url", L"http://e.example/");
  WriteShortcut(dir.path() / L"sub" / L"f.url", L"http://f.example/");
  MappedDrive drive(dir.str());
  ASSERT_FALSE(drive.root().empty()) << "no drive letter could be mapped";

  Command(IDM_SUBFOLDER1);
  form().OpenFolder(drive.root());
  EXPECT_EQ(SortedRows(), Sorted({{ShownName(drive.root() + L"e.url"), L"http://e.example/", L""},
                                  {ShownName(drive.root() + L"sub\\f.url"), L"http://f.example/", L"sub"}}));
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + drive.root() + L")");
}

TEST_F(FolderScanTest, AddModeListsAFolderOpenedTwiceTwice) {
  TempDir dir;
  MakeTree(dir.path());
  Command(IDM_NEWADD1);
  form().OpenFolder(dir.str());
  const std::vector<Row> once = Rows();
  ASSERT_EQ(once.size(), 2u);
  form().OpenFolder(dir.str());
  std::vector<Row> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(SortedRows(), Sorted(twice));
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + dir.str() + L")");
}

TEST_F(FolderScanTest, NewModeFolderWithoutShortcutsEmptiesTheListAndNamesIt) {
  TempDir full, empty;
  MakeTree(full.path());
  WriteFile(empty.path() / L"c.txt", "text");
  form().OpenFolder(full.str());
  ASSERT_EQ(ItemCount(), 2);
  form().OpenFolder(empty.str());
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_TRUE(form().rows.empty());
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + empty.str() + L")");
}

TEST_F(FolderScanTest, CancelClearsOnlyTheSelection) {
  TempDir dir;
  MakeTree(dir.path());
  form().OpenFolder(dir.str());
  const std::vector<Row> before = Rows();
  SelectAllInControl();
  ASSERT_EQ(SelectedCount(), 2);
  ASSERT_EQ(form().rows.SelectedCount(), 2u);

  form().OpenFolder(L"");
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + dir.str() + L")");
  EXPECT_EQ(form().strListFolder, dir.str());
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(form().rows.SelectedCount(), 0u);
}

TEST_F(FolderScanTest, OpenClearsTheSelectionOfKeptRows) {
  TempDir dir;
  MakeTree(dir.path());
  Command(IDM_NEWADD1);
  form().OpenFolder(dir.str());
  SelectAllInControl();
  form().OpenFolder(dir.str());
  EXPECT_EQ(ItemCount(), 4);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(form().rows.SelectedCount(), 0u);
}

// The rows appear as they are added: the list shows at each step the rows
// the walk has added so far.
TEST_F(FolderScanTest, PumpRunsBeforeEntries0And20And40Only) {
  TempDir dir;
  MakeManyShortcuts(dir.path(), 45);
  std::vector<size_t> seen;
  {
    PumpSteps steps(form().lstView);
    form().OpenFolder(dir.str());
    seen = steps.counts();
  }
  EXPECT_EQ(seen, (std::vector<size_t>{0, 20, 40}));
  EXPECT_EQ(ItemCount(), 45);
}

// Across folders and with other files among the shortcuts: the rows come in
// the order of the folder listing, and messages run before every 20th file
// of it, whether that file is a shortcut or not.
TEST_F(FolderScanTest, RowsFollowTheListingAcrossFoldersAndPumpsCountEveryFile) {
  TempDir dir;
  for (const wchar_t* folder : {L"f1", L"f2\\deep", L"f3"})
    for (int i = 0; i < 30; ++i) {
      const fs::path file = dir.path() / folder / (L"e" + std::to_wstring(100 + i) + (i % 3 ? L".url" : L".txt"));
      if (i % 3) {
        WriteShortcut(file, L"http://e.example/" + file.stem().wstring(), 256 * 1024);
      } else {
        WriteFile(file, "not a shortcut");
      }
    }
  Command(IDM_SUBFOLDER1);
  clsFileFolder lister;
  std::vector<std::wstring> listing = lister.SFilePath(dir.str());
  ASSERT_EQ(listing.size(), 90u);
  std::vector<Row> expected;
  std::vector<size_t> rowsAtPumps;  // the rows added before each 20th file
  for (size_t i = 0; i < listing.size(); ++i) {
    if (i % 20 == 0 && (rowsAtPumps.empty() || rowsAtPumps.back() != expected.size()))
      rowsAtPumps.push_back(expected.size());
    const fs::path file = listing[i];
    if (file.extension() != L".url") continue;
    const std::wstring folder = file.parent_path().wstring().substr(dir.str().size());
    expected.push_back({ShownName(file), L"http://e.example/" + file.stem().wstring(), folder});
  }
  std::vector<size_t> seen;
  {
    PumpSteps steps(form().lstView);
    form().OpenFolder(dir.str());
    seen = steps.counts();
  }
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(seen, rowsAtPumps);
}

// What the list shows as its pointer when the system asks.
HCURSOR PointerShownBy(HWND window) {
  SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
  SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return GetCursor();
}

TEST_F(FolderScanTest, HourglassShowsWhileTheOpenWalks) {
  TempDir dir;
  MakeManyShortcuts(dir.path(), 25);
  const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  std::vector<bool> waiting;
  {
    PumpObserver observer([&] {
      if (form().rows.size() > 0) waiting.push_back(PointerShownBy(list()) == wait && PointerShownBy(form().hwnd()) == wait);
    });
    form().OpenFolder(dir.str());
  }
  ASSERT_FALSE(waiting.empty());
  EXPECT_EQ(waiting, std::vector<bool>(waiting.size(), true));
  EXPECT_NE(PointerShownBy(list()), wait);
  EXPECT_NE(PointerShownBy(form().hwnd()), wait);
}

TEST_F(FolderScanTest, HiddenShortcutGetsTheFolderOfItsVisibleNeighbour) {
  TempDir dir;
  const fs::path hidden = dir.path() / L"sub" / L".hidden.url";
  WriteShortcut(hidden, L"http://hidden.example/");
  WriteShortcut(dir.path() / L"sub" / L"visible.url", L"http://visible.example/");
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(GetFileAttributesW(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN);

  Command(IDM_SUBFOLDER1);
  form().OpenFolder(dir.str());
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  for (const Row& row : rows) {
    EXPECT_EQ(row.folder, L"\\sub") << "row " << (&row - rows.data());
    EXPECT_FALSE(row.name.empty());
  }
  EXPECT_EQ(SortedRows()[0].url, L"http://hidden.example/");
}

TEST_F(FolderScanTest, NameTheTitleFunctionRefusesIsShownLikeItsNeighbours) {
  TempDir dir;
  WriteShortcut(dir.path() / L"[news] site.url", L"http://news.example/");
  WriteShortcut(dir.path() / L"x]y.URL", L"http://xy.example/");
  WriteShortcut(dir.path() / L"plain.url", L"http://plain.example/");
  WriteShortcut(dir.path() / L"other.URL", L"http://other.example/");
  form().OpenFolder(dir.str());
  // The neighbours' names, as the title function gives them, tell whether
  // the extension shows.
  const std::wstring plain = ShownName(dir.path() / L"plain.url");
  const std::wstring other = ShownName(dir.path() / L"other.URL");
  ASSERT_EQ(plain.substr(0, 5), L"plain");
  ASSERT_EQ(other.substr(0, 5), L"other");
  EXPECT_EQ(SortedRows(), Sorted({{L"[news] site" + plain.substr(5), L"http://news.example/", L""},
                                  {L"x]y" + other.substr(5), L"http://xy.example/", L""},
                                  {plain, L"http://plain.example/", L""},
                                  {other, L"http://other.example/", L""}}));
}

TEST_F(FolderScanTest, NamesAndUrlsOutsideTheAnsiCodePage) {
  TempDir dir;
  const std::wstring folder = L"Dür ✓😀";
  const fs::path file = dir.path() / folder / L"Ünïcödé 😀 한국.url";
  const std::wstring url = L"http://例え.jp/ü/😀?q=한국";
  bool lossless = true;
  vorpa::EncodeCodePage(file.filename().wstring() + url, GetACP(), &lossless);
  ASSERT_FALSE(lossless) << "the texts must not fit the ANSI code page";
  WriteShortcut(file, url);

  Command(IDM_SUBFOLDER1);
  form().OpenFolder(dir.str());
  EXPECT_EQ(Rows(), (std::vector<Row>{{ShownName(file), url, L"\\" + folder}}));
}

TEST_F(FolderScanTest, LinkLoopEnds) {
  TempDir dir;
  MakeTree(dir.path());
  // Gone before the folder is removed, whatever the test's outcome.
  struct LinkGuard {
    fs::path link;
    ~LinkGuard() { RemoveFolderLink(link); }
  } guard{dir.path() / L"sub" / L"loop"};
  ASSERT_TRUE(MakeFolderLink(guard.link, dir.path()));
  Command(IDM_SUBFOLDER1);
  form().OpenFolder(dir.str());
  const std::vector<Row> rows = Rows();
  std::set<std::wstring> urls;
  for (const Row& row : rows) urls.insert(row.url);
  EXPECT_EQ(urls, (std::set<std::wstring>{L"http://a.example/", L"http://b.example/", L"http://d.example/"}));
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(FolderScanTest, HeaderNamesTheFolderUntilFoldersMix) {
  TempDir a, b, c;
  for (const TempDir* d : {&a, &b, &c}) WriteShortcut(d->path() / L"x.url", L"http://x.example/");
  form().OpenFolder(a.str());
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + a.str() + L")");

  Command(IDM_NEWADD1);
  std::wstring lower = a.str();
  CharLowerW(lower.data());
  ASSERT_NE(lower, a.str());
  form().OpenFolder(lower);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + lower + L")");
  form().OpenFolder(b.str());
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
  form().OpenFolder(c.str());
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + c.str() + L")");
  EXPECT_EQ(ItemCount(), 4);

  // A new list names its folder whatever was named before.
  Command(IDM_NEWADD0);
  form().OpenFolder(b.str());
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + b.str() + L")");
  EXPECT_EQ(ItemCount(), 1);
}

TEST_F(FolderScanTest, MissingFolderInNewModeLeavesAnEmptyListNamingIt) {
  TempDir dir;
  MakeTree(dir.path());
  form().OpenFolder(dir.str());
  MessageRecorder messages;
  const std::wstring missing = dir.str() + L"\\gone";
  form().OpenFolder(missing);
  EXPECT_EQ(messages.texts, (std::vector<std::wstring>{L"指定されたフォルダが存在しません"}));
  EXPECT_EQ(ItemCount(), 0);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + missing + L")");
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(FolderScanTest, OpenCommandListsTheFolderChosenInTheBrowser) {
  wchar_t favorites[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_FAVORITES | CSIDL_FLAG_CREATE, nullptr, 0, favorites), S_OK);
  const std::wstring name = L"vorpa-browse-" + std::to_wstring(GetCurrentProcessId());
  const fs::path chosen = fs::path(favorites) / name;
  WriteShortcut(chosen / L"a.url", L"http://chosen.example/");
  {
    bool picked = false;
    DialogDriver user([&](HWND, HWND tree) {
      picked = SelectChild(tree, name);
      return picked ? IDOK : IDCANCEL;
    });
    Command(IDM_OPEN);
    EXPECT_TRUE(user.sawDialog());
    EXPECT_TRUE(picked);
  }
  EXPECT_TRUE(form().FileFolder().RealFolderOnly());
  EXPECT_EQ(Rows(), (std::vector<Row>{{ShownName(chosen / L"a.url"), L"http://chosen.example/", L""}}));
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + chosen.wstring() + L")");

  // Cancelled: the list stays, only the selection goes.
  SelectAllInControl();
  {
    DialogDriver user([](HWND, HWND) { return IDCANCEL; });
    Command(IDM_OPEN);
    EXPECT_TRUE(user.sawDialog());
  }
  EXPECT_EQ(ItemCount(), 1);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + chosen.wstring() + L")");
  std::error_code ec;
  fs::remove_all(chosen, ec);
}

TEST_F(FolderScanTest, CommandsThatChangeTheListWaitOutAWalk) {
  TempDir dir;
  MakeManyShortcuts(dir.path(), 45);
  bool tried = false;
  {
    PumpObserver observer([&] {
      if (tried || form().rows.empty()) return;
      tried = true;
      form().rows.SelectAll();
      SendMessageW(list(), WM_KEYDOWN, VK_DELETE, 0);
      Command(IDM_DEL);
      Command(IDM_PDEL);
      Command(IDM_ALLDEL);
      Command(IDM_PALLDEL);
      NMLISTVIEW click{};
      click.hdr.hwndFrom = list();
      click.hdr.idFrom = IDC_LSTVIEW;
      click.hdr.code = LVN_COLUMNCLICK;
      click.iSubItem = 0;
      SendMessageW(form().hwnd(), WM_NOTIFY, IDC_LSTVIEW, reinterpret_cast<LPARAM>(&click));
    });
    form().OpenFolder(dir.str());
  }
  ASSERT_TRUE(tried);
  EXPECT_EQ(ItemCount(), 45);
  EXPECT_EQ(form().SortOrder, 0);
  EXPECT_EQ(HeaderText(2), L"ファイルパス (" + dir.str() + L")");
  EXPECT_EQ(form().rows.SelectedCount(), 0u);

  // The same commands work once the walk is over.
  Command(IDM_ALLDEL);
  EXPECT_EQ(ItemCount(), 0);
}

TEST_F(FolderScanTest, CloseDuringAWalkStopsItAndThenCloses) {
  TempDir dir;
  MakeManyShortcuts(dir.path(), 45);
  size_t closedAt = 0;
  {
    PumpObserver observer([&] {
      if (closedAt != 0 || form().rows.empty()) return;
      closedAt = form().rows.size();
      PostMessageW(form().hwnd(), WM_CLOSE, 0, 0);
    });
    Command(IDM_NEWADD0);
    form().OpenFolder(dir.str());
    // The close waits for the walk to unwind.
    EXPECT_TRUE(IsWindow(form().hwnd()));
  }
  ASSERT_NE(closedAt, 0u);
  EXPECT_EQ(form().rows.size(), closedAt) << "the walk went on after the close";
  EXPECT_LT(closedAt, 45u);
  EXPECT_EQ(form().MousePointer(), 0);
  Pump();
  EXPECT_EQ(form().hwnd(), nullptr) << "the window did not close after the walk";
  EXPECT_FALSE(form().objFileFolder);
}

// Files named like devices, made through the extended form that reaches
// them (their ordinary path opens the device, and a port may wait forever):
// the walk lists them and the reader reads each file, as Explorer does.
TEST_F(FolderScanTest, FilesNamedLikeDevicesAreListedAndReadAsFiles) {
  TempDir dir;
  WriteShortcut(dir.path() / L"a.url", L"http://a.example/");
  WriteShortcut(dir.path() / L"sub" / L"d.url", L"http://d.example/");
  std::vector<Row> top = {{ShownName(dir.path() / L"a.url"), L"http://a.example/", L""}};
  std::vector<Row> all = top;
  all.push_back({ShownName(dir.path() / L"sub" / L"d.url"), L"http://d.example/", L"\\sub"});
  int n = 0;
  for (const wchar_t* name : {L"nul.url", L"COM1.url", L"lpt3 .url", L"CON.txt.url", L"aux.URL", L"COM\u00B9.url",
                              L"conout$.url", L"sub\\prn.url"}) {
    const fs::path file = dir.path() / name;
    const std::wstring path = L"\\\\?\\" + file.wstring();
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create " << vorpa::EncodeCodePage(name, vorpa::kCodePageUtf8);
    const std::wstring url = L"http://device" + std::to_wstring(++n) + L"/";
    const std::string text = "[InternetShortcut]\r\nURL=" + vorpa::EncodeCodePage(url, vorpa::kCodePageUtf8) + "\r\n";
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
    const bool inSub = file.parent_path() != dir.path();
    const Row row{ShownName(file), url, inSub ? L"\\sub" : L""};
    if (!inSub) top.push_back(row);
    all.push_back(row);
  }
  form().OpenFolder(dir.str());
  EXPECT_EQ(SortedRows(), Sorted(top));
  Command(IDM_SUBFOLDER1);
  form().OpenFolder(dir.str());
  EXPECT_EQ(SortedRows(), Sorted(all));
}

}  // namespace

namespace {

size_t ThreadsOfThisProcess() {
  const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  size_t n = 0;
  THREADENTRY32 t{};
  t.dwSize = sizeof t;
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t))
    if (t.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snap);
  return n;
}

}  // namespace

// The readers run ahead of the walk by a bounded number of files: a file
// changed after the walk has passed it keeps the row it gave, one far ahead
// gives its new target, one deleted far ahead an empty one; every row comes
// in the listing's order.
TEST_F(FolderScanTest, ReadAheadKeepsTheListingOrderWhileFilesChange) {
  TempDir dir;
  constexpr int kFiles = 400, kGone = 390;  // beyond any read-ahead at the 20th entry
  for (int i = 0; i < kFiles; ++i)
    WriteShortcut(dir.path() / (L"w" + std::to_wstring(1000 + i) + L".url"), L"http://old/" + std::to_wstring(i));
  clsFileFolder lister;
  const std::vector<std::wstring> listing = lister.GetFile(dir.str());
  ASSERT_EQ(listing.size(), static_cast<size_t>(kFiles));
  const auto number = [](const std::wstring& path) { return std::stoi(fs::path(path).stem().wstring().substr(1)) - 1000; };
  bool changed = false;
  {
    PumpObserver observer([&] {
      if (changed || form().rows.size() < 20) return;
      changed = true;
      for (const std::wstring& path : listing) {
        if (number(path) >= kGone) {
          fs::remove(path);
        } else {
          WriteShortcut(path, L"http://new/" + std::to_wstring(number(path)));
        }
      }
    });
    form().OpenFolder(dir.str());
  }
  ASSERT_TRUE(changed);
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), listing.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const int n = number(listing[i]);
    const std::wstring oldUrl = L"http://old/" + std::to_wstring(n), newUrl = L"http://new/" + std::to_wstring(n);
    EXPECT_EQ(rows[i].name, ShownName(listing[i])) << i;
    if (i < 20) {
      EXPECT_EQ(rows[i].url, oldUrl) << i;
    } else if (i >= 20 + vorpa::kReadAhead + vorpa::kReadAheadBatch) {
      EXPECT_EQ(rows[i].url, n >= kGone ? L"" : newUrl) << i;
    } else {
      // Caught while being rewritten, a file may also read as empty.
      EXPECT_TRUE(rows[i].url == oldUrl || rows[i].url == newUrl || rows[i].url.empty()) << i;
    }
  }
}

// Closing the window while the readers are ahead of the walk: the walk stops
// at its pump step with the rows it had, and no reader outlives it.
TEST_F(FolderScanTest, CloseDuringAReadAheadWalkStopsTheReaders) {
  TempDir dir;
  for (int i = 0; i < 2000; ++i)
    WriteShortcut(dir.path() / (L"r" + std::to_wstring(i) + L".url"), L"http://r/" + std::to_wstring(i));
  size_t closedAt = 0, threadsBefore = 0, threadsAfter = 0;
  {
    PumpObserver observer([&] {
      if (closedAt != 0 || form().rows.empty()) return;
      closedAt = form().rows.size();
      PostMessageW(form().hwnd(), WM_CLOSE, 0, 0);
    });
    threadsBefore = ThreadsOfThisProcess();
    form().OpenFolder(dir.str());
    threadsAfter = ThreadsOfThisProcess();
  }
  ASSERT_NE(closedAt, 0u);
  EXPECT_EQ(form().rows.size(), closedAt);
  EXPECT_EQ(threadsAfter, threadsBefore) << "a reader outlived the walk";
  Pump();
  EXPECT_EQ(form().hwnd(), nullptr);
}
