#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "interaction/OpenUrl.h"
#include "tests/win/ListMouse.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using namespace vorpa::test;

namespace {

struct ShellCall {
  HWND owner;
  std::wstring target;
  std::wstring folder;
};

// Answers the shell call with a chosen code and keeps what it was given.
class ShellRecorder {
 public:
  explicit ShellRecorder(INT_PTR result = 42) : result_(result) {
    previous_ = SetShellOpenHook([this](HWND owner, const std::wstring& target, const std::wstring& folder) {
      calls.push_back({owner, target, folder});
      return result_;
    });
  }
  ~ShellRecorder() { SetShellOpenHook(std::move(previous_)); }
  ShellRecorder(const ShellRecorder&) = delete;
  ShellRecorder& operator=(const ShellRecorder&) = delete;
  void SetResult(INT_PTR result) { result_ = result; }

  std::vector<ShellCall> calls;

 private:
  INT_PTR result_;
  ShellOpenFunction previous_;
};

// A URL scheme of this test alone whose handler writes its argument to a
// file. Registered for the user (Windows) and in the classes root (Wine reads
// only that one), and removed again.
class TestScheme {
 public:
  TestScheme(const std::wstring& scheme, const std::wstring& command) : scheme_(scheme) {
    for (const auto& [root, base] : Places()) {
      const std::wstring key = base + scheme_;
      Set(root, key, L"", L"URL:" + scheme_);
      Set(root, key, L"URL Protocol", L"");
      Set(root, key + L"\\shell\\open\\command", L"", command);
    }
  }
  ~TestScheme() {
    for (const auto& [root, base] : Places()) RegDeleteTreeW(root, (base + scheme_).c_str());
  }
  TestScheme(const TestScheme&) = delete;
  TestScheme& operator=(const TestScheme&) = delete;

 private:
  static std::vector<std::pair<HKEY, std::wstring>> Places() {
    return {{HKEY_CURRENT_USER, L"Software\\Classes\\"}, {HKEY_CLASSES_ROOT, L""}};
  }
  static void Set(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS) return;
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  }
  std::wstring scheme_;
};

std::wstring ExeFolder() {
  wchar_t buf[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return std::filesystem::path(buf).parent_path().wstring();
}

class OpenUrlTest : public MainWindowTest {
 protected:
  int FocusedRow() {
    return static_cast<int>(SendMessageW(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  }
  bool ViewSelected(int row) {
    return SendMessageW(list(), LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
  }
};

}  // namespace

TEST_F(OpenUrlTest, NoRowOpensNothingAndSaysNothing) {
  FillRows(form(), 3, L"http://example.com/");
  SelectRows(form(), {2});
  MessageRecorder messages;
  ShellRecorder shell;
  form().OpenUrl(std::nullopt);
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(form().rows.SelectedCount(), 1u);

  // A double-click below the last row: the release finds no row, and the
  // flag is spent.
  DoubleClickRelease(list(), BelowRows(list(), 3));
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_FALSE(form().blnDblClick);
}

TEST_F(OpenUrlTest, DoubleClickOpensTheRowUnderAnyColumnAtTheRelease) {
  FillRows(form(), 4, L"https://example.com/");
  SelectRows(form(), {1});
  MessageRecorder messages;
  ShellRecorder shell;

  SendMessageW(list(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(CellPoint(list(), 2, 2)));
  EXPECT_TRUE(form().blnDblClick);
  // Opened at the release (with the release's own y), not at the double-click.
  const size_t before = shell.calls.size();
  SendMessageW(list(), WM_LBUTTONUP, 0, At(CellPoint(list(), 2, 2)));
  Pump();
  ASSERT_EQ(shell.calls.size(), before + 1);
  EXPECT_EQ(shell.calls.back().target, L"https://example.com/3");
  EXPECT_EQ(shell.calls.back().owner, form().hwnd());
  EXPECT_TRUE(std::filesystem::equivalent(shell.calls.back().folder, ExeFolder()));
  EXPECT_FALSE(form().blnDblClick);
  EXPECT_TRUE(messages.texts.empty());
  // The opened row joins the selection; the others keep theirs.
  EXPECT_TRUE(form().rows.IsSelected(2));
  EXPECT_TRUE(form().rows.IsSelected(0));
  EXPECT_TRUE(ViewSelected(2));
  EXPECT_TRUE(ViewSelected(0));

  // Enter opens nothing.
  shell.calls.clear();
  SendMessageW(list(), WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_TRUE(shell.calls.empty());
}

TEST_F(OpenUrlTest, ReleaseAfterDoubleClickOpensAndLeavesAnArmedMoveArmed) {
  FillRows(form(), 4, L"http://example.com/");
  MessageRecorder messages;
  ShellRecorder shell;
  Move(list(), CellPoint(list(), 1, 0));
  SelectRows(form(), {2});
  Move(list(), CellPoint(list(), 1, 0), MK_LBUTTON);
  ASSERT_EQ(form().lstTag, L"1");

  SendMessageW(list(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(CellPoint(list(), 3, 1)));
  SendMessageW(list(), WM_LBUTTONUP, 0, At(CellPoint(list(), 3, 1)));
  Pump();
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, L"http://example.com/4");
  EXPECT_EQ(form().lstTag, L"1");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ItemText(i, 0), std::to_wstring(i + 1));
}

TEST_F(OpenUrlTest, FailureCodesReachTheMessageBox) {
  FillRows(form(), 1, L"http://example.com/");
  const struct {
    INT_PTR code;
    const wchar_t* text;
  } cases[] = {
      // The table itself is checked natively; here, that each code travels
      // from the shell call to the box.
      {0, L"メモリまたはリソースが足りません。"},
      {31, L"関連付けが指定されていません。"},
      {32, L"ファイルを開けません。"},
      {-1, L"ファイルを開けません。"},
  };
  ShellRecorder shell;
  for (const auto& c : cases) {
    MessageRecorder messages;
    shell.SetResult(c.code);
    form().OpenUrl(0);
    ASSERT_EQ(messages.texts.size(), 1u) << c.code;
    EXPECT_EQ(messages.texts[0], c.text) << c.code;
    EXPECT_EQ(messages.types[0], static_cast<UINT>(MB_OK)) << c.code;
    EXPECT_TRUE(form().rows.IsSelected(0));
  }
  MessageRecorder messages;
  shell.SetResult(33);
  form().OpenUrl(0);
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(OpenUrlTest, TargetThatIsNotAWebAddressIsOpenedOnlyAfterYes) {
  form().rows.Append({L"prog", L"C:\\windows\\system32\\notepad.exe", L""});
  form().rows.Append({L"js", L"  JavaScript:alert(1)", L""});
  form().RefreshList();
  ShellRecorder shell;
  {
    MessageRecorder messages(IDNO);
    form().OpenUrl(0);
    form().OpenUrl(1);
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_NE(messages.texts[0].find(L"C:\\windows\\system32\\notepad.exe"), std::wstring::npos);
    EXPECT_NE(messages.texts[1].find(L"JavaScript:alert(1)"), std::wstring::npos);
    EXPECT_EQ(messages.types[0] & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(shell.calls.empty());
  }
  {
    MessageRecorder messages(IDYES);
    form().OpenUrl(0);
    ASSERT_EQ(messages.texts.size(), 1u);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].target, L"C:\\windows\\system32\\notepad.exe");
  }
}

TEST_F(OpenUrlTest, UnregisteredSchemeFailsForRealWithItsMessage) {
  form().rows.Append({L"x", L"vorpa-no-such-scheme-7f3a:test", L""});
  form().RefreshList();
  MessageRecorder messages(IDYES);
  form().OpenUrl(0);
  ASSERT_EQ(messages.texts.size(), 2u);  // the question, then the failure
  EXPECT_EQ(messages.texts[1], L"関連付けが指定されていません。");
}

TEST_F(OpenUrlTest, RegisteredSchemeOpensForReal) {
  TempDir dir;
  const std::filesystem::path out = dir.path() / L"opened.txt";
  const std::wstring scheme = L"vorpatest" + std::to_wstring(GetCurrentProcessId());
  TestScheme registration(scheme, L"cmd.exe /c echo %1> \"" + out.wstring() + L"\"");
  form().rows.Append({L"x", scheme + L":opened", L""});
  form().RefreshList();

  MessageRecorder messages(IDYES);
  DoubleClickRelease(list(), CellPoint(list(), 0, 2));
  ASSERT_EQ(messages.texts.size(), 1u) << "only the question, no failure";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string text;
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(out);
    if (in && std::getline(in, text) && !text.empty()) break;
    Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(text.find("opened"), std::string::npos);
  EXPECT_TRUE(form().rows.IsSelected(0));

  // No: the handler never runs.
  std::error_code ec;
  std::filesystem::remove(out, ec);
  messages.SetReply(IDNO);
  DoubleClickRelease(list(), CellPoint(list(), 0, 0));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_FALSE(std::filesystem::exists(out));
}
