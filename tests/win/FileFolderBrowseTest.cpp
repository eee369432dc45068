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
#include "tests/win/DialogDriver.h"
#include "tests/win/FileFolderTestSupport.h"

using namespace vorpa::test;

namespace {

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
