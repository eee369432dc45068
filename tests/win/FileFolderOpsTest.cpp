// Option words and shell file operations of clsFileFolder.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "filefolder/clsFileFolder.h"
#include "tests/win/FileFolderTestSupport.h"

using namespace vorpa::test;

namespace {

TEST(FileFolderFlags, FreshObjectReadsTheShellDefaults) {
  clsFileFolder ff;
  EXPECT_EQ(ff.FileOpFlags(), 0u);
  EXPECT_EQ(ff.BrowseFlags(), 0u);
  EXPECT_EQ(ff.Target(), nullptr);
  EXPECT_TRUE(ff.ShowDialog());
  EXPECT_TRUE(ff.ConfirmMakeDir());
  EXPECT_TRUE(ff.MultiDestFiles());
  EXPECT_TRUE(ff.FilesOnly());
  EXPECT_TRUE(ff.WantMappingHandle());
  EXPECT_FALSE(ff.RespondDialog());
  EXPECT_FALSE(ff.RenameOnCollision());
  EXPECT_FALSE(ff.SimpleProgress());
  EXPECT_FALSE(ff.AllowUndo());
  EXPECT_FALSE(ff.RealFolderOnly());
  EXPECT_FALSE(ff.AllResource());
}

TEST(FileFolderFlags, EachFileOperationPropertyOwnsOneBit) {
  struct Prop {
    void (clsFileFolder::*write)(bool);
    bool (clsFileFolder::*read)() const;
    uint32_t bit;
    bool trueSetsBit;
  };
  const Prop props[] = {
      {&clsFileFolder::RespondDialog, &clsFileFolder::RespondDialog, FOF_NOCONFIRMATION, true},
      {&clsFileFolder::RenameOnCollision, &clsFileFolder::RenameOnCollision, FOF_RENAMEONCOLLISION, true},
      {&clsFileFolder::SimpleProgress, &clsFileFolder::SimpleProgress, FOF_SIMPLEPROGRESS, true},
      {&clsFileFolder::ConfirmMakeDir, &clsFileFolder::ConfirmMakeDir, FOF_NOCONFIRMMKDIR, false},
      {&clsFileFolder::ShowDialog, &clsFileFolder::ShowDialog, FOF_SILENT, false},
      {&clsFileFolder::AllowUndo, &clsFileFolder::AllowUndo, FOF_ALLOWUNDO, true},
      {&clsFileFolder::MultiDestFiles, &clsFileFolder::MultiDestFiles, FOF_MULTIDESTFILES, false},
      {&clsFileFolder::FilesOnly, &clsFileFolder::FilesOnly, FOF_FILESONLY, false},
      {&clsFileFolder::WantMappingHandle, &clsFileFolder::WantMappingHandle, FOF_WANTMAPPINGHANDLE, false},
  };
  clsFileFolder ff;
  uint32_t expected = 0;
  // Every property on in turn, then off in turn: the others keep their bits.
  for (bool value : {true, false, true}) {
    for (const Prop& p : props) {
      (ff.*p.write)(value);
      expected = (value == p.trueSetsBit) ? (expected | p.bit) : (expected & ~p.bit);
      EXPECT_EQ(ff.FileOpFlags(), expected) << std::hex << p.bit;
      EXPECT_EQ((ff.*p.read)(), value);
      (ff.*p.write)(value);  // the same value again changes nothing
      EXPECT_EQ(ff.FileOpFlags(), expected);
    }
  }
  EXPECT_EQ(ff.FileOpFlags() & ~0x03FDu, 0u) << "0x0002 and bits above 0x0200 are never set";
  EXPECT_EQ(ff.BrowseFlags(), 0u);
}

TEST(FileFolderFlags, EachBrowsePropertyOwnsOneBit) {
  clsFileFolder ff;
  ff.RealFolderOnly(true);
  EXPECT_EQ(ff.BrowseFlags(), 0x0001u);
  ff.NetworkOnly(true);
  ff.NetworkPrintOnly(true);
  EXPECT_EQ(ff.BrowseFlags(), 0x3001u);
  ff.AllResource(true);
  ff.AllResource(true);
  EXPECT_EQ(ff.BrowseFlags(), 0x7001u);
  ff.NetworkOnly(false);
  EXPECT_EQ(ff.BrowseFlags(), 0x6001u);
  ff.RealFolderOnly(false);
  ff.RealFolderOnly(false);
  EXPECT_TRUE(ff.AllResource());
  EXPECT_FALSE(ff.RealFolderOnly());
  ff.DontNetwork(true);
  ff.AddStatus(true);
  ff.NetworkOnlySelect(true);
  ff.AddFileText(true);
  ff.InvalidItem(true);
  EXPECT_EQ(ff.BrowseFlags(), 0x603Eu);
  EXPECT_TRUE(ff.DontNetwork() && ff.AddStatus() && ff.NetworkOnlySelect() && ff.AddFileText() && ff.InvalidItem());
  EXPECT_TRUE(ff.NetworkPrintOnly());
  EXPECT_FALSE(ff.NetworkOnly());
  EXPECT_EQ(ff.FileOpFlags(), 0u);
}

TEST(FileFolderFlags, RecycledLeavesAllowUndoOn) {
  clsFileFolder ff;
  EXPECT_FALSE(ff.Recycled(L"")) << "nothing named, no shell call";
  EXPECT_TRUE(ff.AllowUndo());
  EXPECT_EQ(ff.FileOpFlags(), static_cast<uint32_t>(FOF_ALLOWUNDO));
  EXPECT_FALSE(ff.Recycled(std::wstring(L"\0x", 2)));
  EXPECT_TRUE(ff.AllowUndo());
}

TEST(FileFolderTarget, OnlyALiveWindowIsKept) {
  clsFileFolder ff;
  const HWND window = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  ff.Target(window);
  EXPECT_EQ(ff.Target(), window);
  DestroyWindow(window);
  ff.Target(window);
  EXPECT_EQ(ff.Target(), nullptr);
  ff.Target(reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x7FFF1234)));
  EXPECT_EQ(ff.Target(), nullptr);
}

// Operations without any window of the shell: no progress, no questions.
class FileFolderOperations : public testing::Test {
 protected:
  void SetUp() override {
    ff_.ShowDialog(false);
    ff_.RespondDialog(true);
    ff_.ConfirmMakeDir(false);
  }
  std::wstring Path(const wchar_t* name) const { return dir_.str() + L"\\" + name; }

  TempDir dir_;
  clsFileFolder ff_;
};

TEST_F(FileFolderOperations, CopyMoveRenameDelete) {
  MakeFile(Path(L"one.txt"), "first");
  EXPECT_TRUE(ff_.Copy(Path(L"one.txt"), Path(L"two.txt")));
  EXPECT_TRUE(Exists(Path(L"one.txt")));
  EXPECT_TRUE(Exists(Path(L"two.txt")));

  MakeFolder(Path(L"sub"));
  EXPECT_TRUE(ff_.Move(Path(L"two.txt"), Path(L"sub")));
  EXPECT_FALSE(Exists(Path(L"two.txt")));
  EXPECT_TRUE(Exists(Path(L"sub\\two.txt")));

  EXPECT_TRUE(ff_.Rename(Path(L"sub\\two.txt"), Path(L"sub\\three.txt")));
  EXPECT_FALSE(Exists(Path(L"sub\\two.txt")));
  EXPECT_TRUE(Exists(Path(L"sub\\three.txt")));

  EXPECT_FALSE(ff_.AllowUndo());
  EXPECT_TRUE(ff_.Delete(Path(L"sub\\three.txt")));
  EXPECT_FALSE(Exists(Path(L"sub\\three.txt")));

  EXPECT_FALSE(ff_.Move(L"", Path(L"sub")));
  EXPECT_FALSE(ff_.Copy(Path(L"none.txt"), Path(L"sub")));
}

TEST_F(FileFolderOperations, SeveralItemsSeparatedByNul) {
  MakeFile(Path(L"a.txt"));
  MakeFile(Path(L"한.txt"));
  MakeFolder(Path(L"dest"));
  std::wstring from = Path(L"a.txt");
  from.push_back(L'\0');
  from += Path(L"한.txt");
  EXPECT_TRUE(ff_.Copy(from, Path(L"dest")));
  EXPECT_TRUE(Exists(Path(L"dest\\a.txt")));
  EXPECT_TRUE(Exists(Path(L"dest\\한.txt")));
  EXPECT_TRUE(Exists(Path(L"a.txt")));

  EXPECT_TRUE(ff_.Delete(Path(L"dest\\a.txt") + L'\0' + Path(L"dest\\한.txt")));
  EXPECT_FALSE(Exists(Path(L"dest\\a.txt")));
  EXPECT_FALSE(Exists(Path(L"dest\\한.txt")));
}

}  // namespace
