// Path and name helpers of clsFileFolder on real files and folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filefolder/clsFileFolder.h"
#include "tests/win/FileFolderTestSupport.h"

using namespace vorpa::test;
using Paths = std::vector<std::wstring>;

namespace {

// A drive root holding X:\a\b.url, X:\a\README, X:\a.b\c (a folder named
// "a.b") and X:\x.url.
class FileFolderWorkedExamples : public testing::Test {
 protected:
  void SetUp() override {
    if (!WineUnix::Available()) GTEST_SKIP() << "needs Wine to map a drive letter";
    MakeFolder(dir_.str() + L"\\a");
    MakeFolder(dir_.str() + L"\\a.b");
    MakeFile(dir_.str() + L"\\a\\b.url");
    MakeFile(dir_.str() + L"\\a\\README");
    MakeFile(dir_.str() + L"\\a.b\\c");
    MakeFile(dir_.str() + L"\\x.url");
    drive_ = std::make_unique<MappedDrive>(dir_.str());
    ASSERT_FALSE(drive_->root().empty()) << "no spare drive letter";
    root_ = drive_->root();
  }
  void TearDown() override { drive_.reset(); }

  TempDir dir_;
  std::unique_ptr<MappedDrive> drive_;
  std::wstring root_;  // "X:\"
  clsFileFolder ff_;
};

TEST_F(FileFolderWorkedExamples, EveryHelperGivesTheTableResult) {
  struct Row {
    const wchar_t* path;
    const wchar_t* nameA;
    const wchar_t* title;  // Wine shows every extension
    const wchar_t* noType;
    const wchar_t* typeA;
    const wchar_t* typeOfPath;
    const wchar_t* typeOfTitle;
    const wchar_t* folder;
    Paths chain;
  };
  const std::wstring r = root_;
  const std::vector<Row> rows = {
      {L"a\\b.url", L"b.url", L"b.url", L"b", L"url", L"url", L"url", L"a", {r, r + L"a"}},
      {L"a\\README", L"README", L"README", L"", L"", L"", L"", L"a", {r, r + L"a"}},
      {L"a.b\\c", L"c", L"c", L"", L"", L"b\\c", L"", L"a.b", {r, r + L"a.b"}},
      {L"x.url", L"x.url", L"x.url", L"x", L"url", L"url", L"url", L"", {r}},
  };
  for (const Row& row : rows) {
    const std::wstring path = r + row.path;
    SCOPED_TRACE(vorpa::EncodeCodePage(path, vorpa::kCodePageUtf8));
    EXPECT_EQ(ff_.GetFileNameA(path), row.nameA);
    EXPECT_EQ(ff_.GetFileNameAB(path), row.nameA);
    EXPECT_EQ(ff_.GetFileName(path), row.title);
    EXPECT_EQ(ff_.GetNoTypeFileNameA(path), row.noType);
    EXPECT_EQ(ff_.GetFileTypeA(path), row.typeA);
    EXPECT_EQ(ff_.GetFileType(path, false, true), row.typeOfPath);
    EXPECT_EQ(ff_.GetFileType(path, false, false), row.typeOfTitle);
    EXPECT_EQ(ff_.GetFilePath(path), r + row.folder);
    EXPECT_EQ(ff_.GetSplitPath(path), row.chain);
  }
}

TEST_F(FileFolderWorkedExamples, FoldersAndRootsAndMissingPaths) {
  const std::wstring r = root_;
  // A folder gives itself, with or without its "\"; a root gives nothing.
  EXPECT_EQ(ff_.GetFilePath(r + L"a"), r + L"a");
  EXPECT_EQ(ff_.GetFilePath(r + L"a\\"), r + L"a");
  EXPECT_EQ(ff_.GetSplitPath(r + L"a.b\\"), (Paths{r, r + L"a.b"}));
  EXPECT_EQ(ff_.GetFilePath(r), L"");
  EXPECT_EQ(ff_.GetSplitPath(r), Paths{L""});
  EXPECT_EQ(ff_.GetFilePath(r + L"a\\none.url"), L"");
  EXPECT_EQ(ff_.GetSplitPath(r + L"a\\none.url"), Paths{L""});
  // The existence test runs when its flag is false, and only then.
  EXPECT_EQ(ff_.GetFileType(r + L"a\\none.url", false, true), L"");
  EXPECT_EQ(ff_.GetFileType(r + L"a\\none.url", true, true), L"url");
  EXPECT_EQ(ff_.GetFileType(r + L"a.b\\none", true, true), L"b\\none");
  EXPECT_EQ(ff_.GetFileNameAB(L"b.url"), L"b.url");
  EXPECT_EQ(ff_.GetFileNameA(L"b.url"), L"b.url");
  // GetFileTitle refuses a path ending in "\".
  EXPECT_EQ(ff_.GetFileName(r + L"a\\"), L"");
}

TEST_F(FileFolderWorkedExamples, FolderAndFileExistenceFollowTheListingRules) {
  const std::wstring r = root_;
  EXPECT_TRUE(ff_.FolderExist(r + L"a"));
  EXPECT_TRUE(ff_.FolderExist(r + L"a\\"));
  EXPECT_FALSE(ff_.FolderExist(r + L"a\\b.url"));
  EXPECT_FALSE(ff_.FolderExist(r + L"zz"));
  EXPECT_TRUE(ff_.FolderExist(r));
  EXPECT_TRUE(ff_.FolderExist(r.substr(0, 2)));  // "X:" gets its "\"

  EXPECT_TRUE(ff_.FileExist(r + L"a\\b.url"));
  EXPECT_FALSE(ff_.FileExist(r + L"a"));
  EXPECT_TRUE(ff_.FileExist(r + L"a\\"));       // a visible file inside
  EXPECT_TRUE(ff_.FileExist(r + L"a\\*.url"));  // wildcards act
  EXPECT_TRUE(ff_.FileExist(r + L"a\\b.?rl"));
  EXPECT_FALSE(ff_.FileExist(r + L"a\\*.txt"));
  EXPECT_FALSE(ff_.FileExist(r + L"*.b"));  // only the folder a.b matches
  EXPECT_FALSE(ff_.FileExist(L""));
}

TEST(FileFolderDriveRoot, RootWithoutVisibleEntriesDoesNotExist) {
  if (!WineUnix::Available()) GTEST_SKIP() << "needs Wine to map a drive letter";
  TempDir dir;
  MappedDrive drive(dir.str());
  ASSERT_FALSE(drive.root().empty());
  clsFileFolder ff;
  const std::wstring r = drive.root();
  EXPECT_FALSE(ff.FolderExist(r)) << "an empty root has no \".\" entry";
  MakeFile(dir.str() + L"\\.hidden");  // names with a leading dot are hidden under Wine
  ASSERT_TRUE(GetFileAttributesW((r + L".hidden").c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(ff.FolderExist(r));
  EXPECT_FALSE(ff.FileExist(r + L".hidden"));
  EXPECT_FALSE(ff.FileExist(r));
  MakeFolder(dir.str() + L"\\.folder");  // a folder counts, hidden or not
  EXPECT_TRUE(ff.FolderExist(r));
  EXPECT_FALSE(ff.FileExist(r));
  MakeFile(dir.str() + L"\\seen.txt");
  EXPECT_TRUE(ff.FileExist(r));
  EXPECT_EQ(ff.GetFilePath(r + L"seen.txt"), r);
}

TEST(FileFolderExistence, HiddenAndSystemFilesCountAsMissing) {
  TempDir dir;
  clsFileFolder ff;
  const std::wstring d = dir.str();
  MakeFolder(d + L"\\only-hidden");
  MakeFile(d + L"\\only-hidden\\.secret");
  EXPECT_TRUE(ff.FolderExist(d + L"\\only-hidden")) << "a folder has its \".\" entry";
  EXPECT_FALSE(ff.FileExist(d + L"\\only-hidden\\"));
  EXPECT_FALSE(ff.FileExist(d + L"\\only-hidden\\.secret"));
  EXPECT_EQ(ff.GetFilePath(d + L"\\only-hidden\\.secret"), L"");

  MakeFile(d + L"\\sys.txt");
  if (!SetFileAttributesW((d + L"\\sys.txt").c_str(), FILE_ATTRIBUTE_SYSTEM) ||
      !(GetFileAttributesW((d + L"\\sys.txt").c_str()) & FILE_ATTRIBUTE_SYSTEM)) {
    GTEST_SKIP() << "this file system keeps no system attribute";
  }
  EXPECT_FALSE(ff.FileExist(d + L"\\sys.txt"));
  EXPECT_FALSE(ff.FileExist(d + L"\\sys.*"));
}

TEST(FileFolderExistence, EmptyTextIsTheCurrentDrivesRoot) {
  clsFileFolder ff;
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(ff.FolderExist(L""), ff.FolderExist(std::wstring(current, 2) + L"\\"));
  EXPECT_TRUE(ff.FolderExist(L""));
}

TEST(FileFolderNames, NamesOutsideTheAnsiCodePageSurvive) {
  TempDir dir;
  clsFileFolder ff;
  const std::wstring folder = dir.str() + L"\\한국어 폴더";
  const std::wstring file = folder + L"\\\U0001F600 안녕.url";
  MakeFolder(folder);
  MakeFile(file);
  EXPECT_TRUE(ff.FolderExist(folder));
  EXPECT_TRUE(ff.FileExist(file));
  EXPECT_TRUE(ff.FileExist(folder + L"\\*.url"));
  EXPECT_EQ(ff.GetFileNameA(file), L"\U0001F600 안녕.url");
  EXPECT_EQ(ff.GetFileNameAB(file), L"\U0001F600 안녕.url");
  EXPECT_EQ(ff.GetFileName(file), L"\U0001F600 안녕.url");
  EXPECT_EQ(ff.GetNoTypeFileNameA(file), L"\U0001F600 안녕");
  EXPECT_EQ(ff.GetFileTypeA(file), L"url");
  EXPECT_EQ(ff.GetFilePath(file), folder);
  EXPECT_EQ(ff.GetSplitPath(file).back(), folder);
  EXPECT_EQ(ff.GetLongPath(ff.GetShortPath(file)), file);
}

TEST(FileFolderNames, PathsLongerThanMaxPathWork) {
  TempDir dir;
  clsFileFolder ff;
  std::wstring folder = dir.str();
  const std::wstring piece(60, L'p');
  while (folder.size() < 400) {
    folder += L"\\" + piece;
    MakeFolder(L"\\\\?\\" + folder);
  }
  const std::wstring file = folder + L"\\deep.url";
  MakeFile(L"\\\\?\\" + file);
  ASSERT_GT(file.size(), static_cast<size_t>(MAX_PATH));

  EXPECT_TRUE(ff.FolderExist(folder));
  EXPECT_TRUE(ff.FolderExist(folder + L"\\"));
  EXPECT_TRUE(ff.FileExist(file));
  EXPECT_TRUE(ff.FileExist(folder + L"\\*.url"));
  EXPECT_EQ(ff.GetFilePath(file), folder);
  EXPECT_EQ(ff.GetFilePath(folder), folder);
  EXPECT_EQ(ff.GetFileTypeA(file), L"url");
  EXPECT_EQ(ff.GetFileName(file), L"deep.url");
  EXPECT_EQ(ff.GetLongPath(file), file);
  const std::wstring shortForm = ff.GetShortPath(file);
  EXPECT_FALSE(shortForm.empty());
  EXPECT_NE(shortForm.rfind(L"\\\\?\\", 0), 0u) << "the \\\\?\\ form never reaches the caller";
  EXPECT_EQ(ff.GetLongPath(shortForm), file);

  // Removing it needs the long form too.
  for (std::wstring f = folder; f.size() > dir.str().size(); f.resize(f.rfind(L'\\'))) {
    DeleteFileW((L"\\\\?\\" + f + L"\\deep.url").c_str());
    RemoveDirectoryW((L"\\\\?\\" + f).c_str());
  }
}

TEST(FileFolderHelpers, TempFolderCreateFolderAndPathForms) {
  TempDir dir;
  clsFileFolder ff;
  const std::wstring temp = ff.GetTempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  EXPECT_TRUE(ff.FolderExist(temp));

  const std::wstring nested = dir.str() + L"\\new one\\inner";
  EXPECT_EQ(ff.CreateFolder(nested), ERROR_SUCCESS);
  EXPECT_TRUE(ff.FolderExist(nested)) << "missing parents are made too";
  EXPECT_EQ(ff.CreateFolder(nested), ERROR_ALREADY_EXISTS);

  const std::wstring file = dir.str() + L"\\new one\\a rather long file name.text";
  MakeFile(file);
  const std::wstring shortForm = ff.GetShortPath(file);
  EXPECT_NE(shortForm, file);
  EXPECT_EQ(ff.GetLongPath(shortForm), file);
  EXPECT_EQ(ff.GetLongPath(dir.str() + L"\\none"), L"");
  EXPECT_EQ(ff.GetShortPath(dir.str() + L"\\none"), L"");
}

}  // namespace
