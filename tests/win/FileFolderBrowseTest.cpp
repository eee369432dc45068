// The real folder browser of clsFileFolder, driven from a second thread while
// the test's thread sits in the dialog's modal loop.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "filefolder/clsFileFolder.h"
#include "tests/win/FileFolderTestSupport.h"

using namespace vorpa::test;

namespace {

std::wstring WindowText(HWND w) {
  wchar_t text[512] = {};
  GetWindowTextW(w, text, 512);
  return text;
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

// Waits on its own thread for a dialog of `thread`, hands it to `act`, and
// cancels whatever dialog is still open after that so that no test hangs.
class DialogDriver {
 public:
  // act(dialog, tree) returns the button to press.
  using Action = std::function<int(HWND dialog, HWND tree)>;
  explicit DialogDriver(Action act) : act_(std::move(act)), owner_(GetCurrentThreadId()) {
    worker_ = std::thread([this] { Run(); });
  }
  ~DialogDriver() {
    stop_ = true;
    worker_.join();
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  bool sawDialog() const { return saw_; }
  const std::wstring& prompt() const { return prompt_; }

 private:
  static BOOL CALLBACK FindPrompt(HWND w, LPARAM out) {
    const std::wstring text = WindowText(w);
    if (text.find(L"ＯＫ") != std::wstring::npos) *reinterpret_cast<std::wstring*>(out) = text;
    return TRUE;
  }
  void Run() {
    for (int waited = 0; waited < 10000 && !stop_; waited += 50) {
      HWND dialog = vorpa::test::FindThreadDialog(owner_);
      if (!dialog) {
        Sleep(50);
        continue;
      }
      saw_ = true;
      EnumChildWindows(dialog, FindPrompt, reinterpret_cast<LPARAM>(&prompt_));
      Sleep(200);  // let the tree fill
      const int button = act_(dialog, FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr));
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
      return;
    }
  }

  Action act_;
  DWORD owner_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> saw_{false};
  std::wstring prompt_;
  std::thread worker_;
};

// The names of the root item's children.
std::vector<std::wstring> ChildNames(HWND tree, std::vector<HTREEITEM>* items = nullptr) {
  const HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  std::vector<std::wstring> names;
  for (HTREEITEM item =
           reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
       item; item = reinterpret_cast<HTREEITEM>(
                 SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    names.push_back(ItemText(tree, item));
    if (items) items->push_back(item);
  }
  return names;
}

bool Has(const std::vector<std::wstring>& names, const wchar_t* name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// alpha\, beta\ and gamma.txt below a temporary folder.
class FileFolderBrowseBelow : public testing::Test {
 protected:
  void SetUp() override {
    MakeFolder(dir_.str() + L"\\alpha");
    MakeFolder(dir_.str() + L"\\beta");
    MakeFile(dir_.str() + L"\\gamma.txt");
  }
  TempDir dir_;
  clsFileFolder ff_;
  MessageRecorder messages_;
};

TEST_F(FileFolderBrowseBelow, ChoosingAFolderInTheTree) {
  ff_.RealFolderOnly(true);
  std::vector<std::wstring> names;
  std::wstring chosen;
  {
    DialogDriver driver([&](HWND, HWND tree) {
      std::vector<HTREEITEM> items;
      names = ChildNames(tree, &items);
      for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] != L"beta") continue;
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items[i]));
        return IDOK;
      }
      return IDCANCEL;
    });
    chosen = ff_.ReferUser(dir_.str());
    EXPECT_TRUE(driver.sawDialog());
    EXPECT_EQ(driver.prompt(), L"適当なフォルダをクリックして選択状態にしてから ＯＫ を押して下さい");
  }
  EXPECT_EQ(chosen, dir_.str() + L"\\beta");
  EXPECT_TRUE(Has(names, L"alpha"));
  EXPECT_FALSE(Has(names, L"gamma.txt")) << "files only with AllResource";
  EXPECT_TRUE(messages_.texts.empty());
}

TEST_F(FileFolderBrowseBelow, OptionWordReachesTheDialog) {
  ff_.AllResource(true);
  std::vector<std::wstring> names;
  {
    DialogDriver driver([&](HWND, HWND tree) {
      names = ChildNames(tree);
      return IDCANCEL;
    });
    EXPECT_EQ(ff_.ReferUser(dir_.str() + L"\\"), L"");
  }
  EXPECT_TRUE(Has(names, L"gamma.txt"));
  EXPECT_TRUE(Has(names, L"beta"));
}

TEST(FileFolderBrowse, SpecialFolderRootAndCancel) {
  clsFileFolder ff;
  wchar_t personal[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, personal), S_OK);
  {
    // The root item is the special folder itself.
    DialogDriver driver([](HWND, HWND tree) {
      const LPARAM root = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
      SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, root);
      return IDOK;
    });
    EXPECT_EQ(ff.ReferPersonal(), personal);
  }
  {
    DialogDriver driver([](HWND, HWND) { return IDCANCEL; });
    EXPECT_EQ(ff.ReferDesktop(), L"");
    EXPECT_TRUE(driver.sawDialog());
  }
}

TEST(FileFolderBrowse, ReferUserOnAFileOrMissingFolderOnlyTellsTheUser) {
  TempDir dir;
  MakeFile(dir.str() + L"\\file.txt");
  clsFileFolder ff;
  MessageRecorder messages;
  DialogDriver driver([](HWND, HWND) { return IDCANCEL; });
  EXPECT_EQ(ff.ReferUser(dir.str() + L"\\file.txt"), L"");
  EXPECT_EQ(ff.ReferUser(dir.str() + L"\\missing"), L"");
  ASSERT_EQ(messages.texts.size(), 2u);
  EXPECT_EQ(messages.texts[0], L"存在しないフォルダです");
  EXPECT_EQ(messages.texts[1], L"存在しないフォルダです");
  EXPECT_EQ(messages.types[0], static_cast<UINT>(MB_OK));
  EXPECT_FALSE(driver.sawDialog()) << "no browser for a folder that is not there";
}

}  // namespace
