// Saving the list as CSV through the real window, the real save dialog and
// real files.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "common/Text.h"
#include "list/UrlEntry.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using namespace vorpa::test;

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::vector<std::wstring> Names(const fs::path& dir) {
  std::vector<std::wstring> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

// "ファイル名,URLアドレス,ファイルパス" in code page 932.
const std::string kCaptions932 =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC,URL\x83\x41\x83\x68\x83\x8C\x83\x58,"
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x70\x83\x58";

std::wstring WindowText(HWND w) {
  wchar_t buf[1024] = {};
  GetWindowTextW(w, buf, 1024);
  return buf;
}

// The file name box of the save dialog: a combo box in newer templates, an
// edit box in older ones.
HWND FileNameBox(HWND dialog) {
  HWND box = GetDlgItem(dialog, cmb13);
  return box ? box : GetDlgItem(dialog, edt1);
}

struct OwnWindowSearch {
  const wchar_t* title;
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindOwnWindowProc(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<OwnWindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(w, cls, 64);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || wcscmp(cls, L"#32770") != 0) return TRUE;
  if (s->owner ? GetWindow(w, GW_OWNER) != s->owner : WindowText(w) != s->title) return TRUE;
  s->found = w;
  return FALSE;
}

HWND FindOwnWindow(const wchar_t* title, HWND owner = nullptr) {
  OwnWindowSearch s{title, owner, nullptr};
  EnumWindows(FindOwnWindowProc, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Waits on another thread for the save dialog that the command opens on this
// one, then works it as a user would.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND)> act)
      : thread_([this, act = std::move(act)] {
          for (int i = 0; i < 300 && !done_; ++i) {
            if (HWND dialog = FindOwnWindow(L"名前を付けて保存")) {
              Sleep(300);  // let the dialog finish filling itself
              act(dialog);
              found = true;
              return;
            }
            Sleep(50);
          }
        }) {}
  ~DialogDriver() { Finish(); }
  void Finish() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::atomic<bool> found{false};

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path().wstring();
}

class CsvSave : public MainWindowTest {
 protected:
  void FillList() {
    form().rows.Append({L"example", L"http://example.com/", L"\\sub"});
    form().rows.Append({L"日本", L"http://jp.example/?a=1,2", L""});
    form().RefreshList();
  }
  // What FillList's rows give with the plain header.
  static std::string ExpectedBytes() {
    return kCaptions932 +
           ",\r\n"
           "example,http://example.com/,\\sub\r\n"
           "\x93\xFA\x96\x7B,\"http://jp.example/?a=1,2\",\r\n"
           "\r\n";
  }
  TempDir dir;
  MessageRecorder messages;
};

}  // namespace

TEST_F(CsvSave, TextFollowsTheHeadersAsTheListShowsThem) {
  FillList();
  form().MakeColumns(L"C:\\Links", true);
  EXPECT_EQ(form().MakeCsvText(),
            L"ファイル名,URLアドレス,ファイルパス (C:\\Links),\r\n"
            L"example,http://example.com/,\\sub\r\n"
            L"日本,\"http://jp.example/?a=1,2\",\r\n");
  form().ClearList(L"");  // what "全て削除" does
  EXPECT_EQ(form().MakeCsvText(), L"ファイル名,URLアドレス,ファイルパス,\r\n");
}

TEST_F(CsvSave, WritesCodePage932AndReplacesAnOlderFileWhole) {
  ASSERT_EQ(GetACP(), 932u) << "the tests run under a Japanese locale";
  FillList();
  const fs::path target = dir.path() / L"一覧.csv";
  WriteBytes(target, std::string(10000, 'x'));
  EXPECT_TRUE(form().SaveCsvFile(target.wstring()));
  EXPECT_EQ(ReadBytes(target), ExpectedBytes());
  EXPECT_EQ(Names(dir.path()), std::vector<std::wstring>{L"一覧.csv"});
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(CsvSave, NameOutsideTheCodePageGivesUtf8WithBom) {
  form().rows.Append({L"한국어", L"http://kr.example/", L""});
  form().RefreshList();
  const fs::path target = dir.path() / L"k.csv";
  ASSERT_TRUE(form().SaveCsvFile(target.wstring()));
  const std::string bytes = ReadBytes(target);
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(bytes.find("\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4,http://kr.example/,\r\n\r\n"), std::string::npos);
}

TEST_F(CsvSave, FailedSavesLeaveTheOldFileAndSaySo) {
  FillList();
  const std::string old = "old contents\r\n";
  {
    SCOPED_TRACE("read-only file");
    const fs::path target = dir.path() / L"readonly.csv";
    WriteBytes(target, old);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(form().SaveCsvFile(target.wstring()));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(target), old);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find(L"保存できませんでした"), std::wstring::npos);
    EXPECT_NE(messages.texts[0].find(target.wstring()), std::wstring::npos);
    EXPECT_NE(messages.texts[0].find(L"元のファイルは変更されていません"), std::wstring::npos);
    fs::remove(target);
  }
  {
    SCOPED_TRACE("file held open by another program");
    const fs::path target = dir.path() / L"locked.csv";
    WriteBytes(target, old);
    HANDLE lock = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(form().SaveCsvFile(target.wstring()));
    CloseHandle(lock);
    EXPECT_EQ(ReadBytes(target), old);
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_NE(messages.texts[1].find(L"保存できませんでした"), std::wstring::npos);
    fs::remove(target);
  }
  {
    SCOPED_TRACE("folder gone");
    const fs::path target = dir.path() / L"gone" / L"x.csv";
    EXPECT_FALSE(form().SaveCsvFile(target.wstring()));
    ASSERT_EQ(messages.texts.size(), 3u);
    EXPECT_NE(messages.texts[2].find(L"保存できませんでした"), std::wstring::npos);
    EXPECT_EQ(messages.texts[2].find(L"元のファイル"), std::wstring::npos);
  }
  EXPECT_TRUE(Names(dir.path()).empty()) << "no temporary file is left behind";
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(CsvSave, DialogStartsInTheProgramFolderEveryTimeAndCancelIsSilent) {
  FillList();
  const fs::path defaultFile = fs::path(ExeFolder()) / L"PELDOX.CSV";
  fs::remove(defaultFile);
  // First a save into another folder, which the dialog of Windows 7 and later
  // would remember and start in the next time.
  {
    const std::wstring elsewhere = (dir.path() / L"elsewhere.csv").wstring();
    DialogDriver driver([&](HWND dialog) {
      SetWindowTextW(FileNameBox(dialog), elsewhere.c_str());
      Press(dialog, IDOK);
    });
    form().mnuSave_Click();
    driver.Finish();
    ASSERT_TRUE(driver.found);
    ASSERT_TRUE(fs::exists(elsewhere));
  }
  std::wstring name, folder;
  DialogDriver driver([&](HWND dialog) {
    name = WindowText(FileNameBox(dialog));
    wchar_t buf[MAX_PATH] = {};
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(buf));
    folder = buf;
    Press(dialog, IDCANCEL);
  });
  form().mnuSave_Click();
  driver.Finish();
  ASSERT_TRUE(driver.found);
  EXPECT_EQ(name, L"PELDOX.CSV");
  EXPECT_TRUE(EqualsIgnoreCase(folder, ExeFolder())) << folder;
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_FALSE(fs::exists(defaultFile));
  EXPECT_EQ(form().MousePointer(), 0);
}

// The names the dialog's file list shows.
static std::vector<std::wstring> ListedNames(HWND dialog) {
  HWND view = FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr);
  HWND list = view ? FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
  std::vector<std::wstring> names;
  const int count = list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  for (int i = 0; i < count; ++i) {
    wchar_t text[MAX_PATH] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    names.push_back(text);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CsvSave, DialogFiltersByPatternAndHasNoReadOnlyBox) {
  for (const wchar_t* file : {L"a.CSV", L"b.txt", L"c.csv", L"d.csv.txt"}) WriteBytes(dir.path() / file, "x");
  std::wstring filters;
  std::vector<std::vector<std::wstring>> listed;
  bool readOnlyShown = true;
  DialogDriver driver([&](HWND dialog) {
    const HWND readOnly = GetDlgItem(dialog, chx1);
    readOnlyShown = readOnly && IsWindowVisible(readOnly);
    const HWND types = GetDlgItem(dialog, cmb1);
    const int count = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t item[256] = {};
      SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      filters += item + std::wstring(L"|");
    }
    // Into the test's folder, as a user types a folder and presses Enter.
    SetWindowTextW(FileNameBox(dialog), dir.str().c_str());
    Press(dialog, IDOK);
    Sleep(500);
    for (int i = 0; i < count; ++i) {
      // What a choice in the list sends.
      SendMessageW(types, CB_SETCURSEL, i, 0);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
      Sleep(500);
      listed.push_back(ListedNames(dialog));
    }
    Press(dialog, IDCANCEL);
  });
  form().mnuSave_Click();
  driver.Finish();
  ASSERT_TRUE(driver.found);
  EXPECT_FALSE(readOnlyShown);
  EXPECT_EQ(filters, L"CSVファイル(*.CSV)|全てのファイル(*.*)|");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0], (std::vector<std::wstring>{L"a.CSV", L"c.csv"}));
  EXPECT_EQ(listed[1], (std::vector<std::wstring>{L"a.CSV", L"b.txt", L"c.csv", L"d.csv.txt"}));
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(CsvSave, NameTypedWithoutExtensionGetsCsv) {
  FillList();
  // With the CSV filter chosen and with "all files", where only the default
  // extension of the dialog can supply it.
  for (const int filter : {0, 1}) {
    SCOPED_TRACE(filter);
    const std::wstring typed = (dir.path() / (L"liste" + std::to_wstring(filter))).wstring();
    DialogDriver driver([&](HWND dialog) {
      const HWND types = GetDlgItem(dialog, cmb1);
      SendMessageW(types, CB_SETCURSEL, filter, 0);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
      SetWindowTextW(FileNameBox(dialog), typed.c_str());
      Press(dialog, IDOK);
    });
    form().mnuSave_Click();
    driver.Finish();
    ASSERT_TRUE(driver.found);
    const fs::path saved = typed + L".CSV";
    EXPECT_TRUE(fs::exists(saved));
    EXPECT_EQ(ReadBytes(saved), ExpectedBytes());
  }
  EXPECT_EQ(Names(dir.path()).size(), 2u);
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(CsvSave, ExistingFileIsReplacedOnlyAfterTheUserAgrees) {
  FillList();
  const fs::path target = dir.path() / L"old.csv";
  WriteBytes(target, "old");
  for (const int answer : {IDNO, IDYES}) {
    bool asked = false;
    DialogDriver driver([&](HWND dialog) {
      SetWindowTextW(FileNameBox(dialog), target.c_str());
      Press(dialog, IDOK);
      for (int i = 0; i < 100; ++i) {
        if (HWND box = FindOwnWindow(nullptr, dialog)) {
          asked = true;
          Press(box, answer);
          break;
        }
        Sleep(50);
      }
      if (answer == IDNO) Press(dialog, IDCANCEL);
    });
    form().mnuSave_Click();
    driver.Finish();
    ASSERT_TRUE(driver.found);
    EXPECT_TRUE(asked);
    EXPECT_EQ(ReadBytes(target), answer == IDYES ? ExpectedBytes() : std::string("old"));
  }
  EXPECT_TRUE(messages.texts.empty());
}
