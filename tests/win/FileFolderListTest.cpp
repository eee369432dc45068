// Folder and file listings of clsFileFolder on real trees.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filefolder/clsFileFolder.h"
#include "tests/win/FileFolderTestSupport.h"

using namespace vorpa::test;
using Paths = std::vector<std::wstring>;

namespace {

Paths Sorted(Paths p) {
  std::sort(p.begin(), p.end());
  return p;
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// True when the entries starting with `prefix` stand next to each other.
bool Contiguous(const Paths& list, const std::wstring& prefix) {
  size_t first = list.size(), last = 0, count = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (!StartsWith(list[i], prefix)) continue;
    first = std::min(first, i);
    last = i;
    ++count;
  }
  return count == 0 || last - first + 1 == count;
}

size_t IndexOf(const Paths& list, const std::wstring& entry) {
  return static_cast<size_t>(std::find(list.begin(), list.end(), entry) - list.begin());
}

// T\top.txt, T\.hidden.txt, T\A\a1.url, T\A\A1\a11.txt, T\B (empty),
// T\.dotdir\d.txt.
class FileFolderListing : public testing::Test {
 protected:
  void SetUp() override {
    MakeFile(t_ + L"\\top.txt");
    MakeFile(t_ + L"\\.hidden.txt");
    MakeFolder(t_ + L"\\A");
    MakeFile(t_ + L"\\A\\a1.url");
    MakeFolder(t_ + L"\\A\\A1");
    MakeFile(t_ + L"\\A\\A1\\a11.txt");
    MakeFolder(t_ + L"\\B");
    MakeFolder(t_ + L"\\.dotdir");
    MakeFile(t_ + L"\\.dotdir\\d.txt");
  }

  TempDir dir_;
  const std::wstring t_ = dir_.str();
  clsFileFolder ff_;
};

TEST_F(FileFolderListing, CountsStartAtMinusOneAndEachMemberKeepsItsOwn) {
  const int32_t fresh[] = {ff_.SFolderPathCount(), ff_.FolderPathCount(),   ff_.SFilePathCount(),
                           ff_.FilePathCount(),    ff_.BSFolderPathCount(), ff_.BSFilePathCount(),
                           ff_.BFolderPathCount(), ff_.BFilePathCount()};
  for (int32_t c : fresh) EXPECT_EQ(c, -1);
  ff_.GetFile(t_);
  EXPECT_EQ(ff_.FilePathCount(), 2);
  EXPECT_EQ(ff_.SFilePathCount(), -1);
  ff_.SFilePath(t_);
  ff_.GetFile(t_ + L"\\B");
  EXPECT_EQ(ff_.FilePathCount(), 0);
  EXPECT_EQ(ff_.SFilePathCount(), 5);
}

TEST_F(FileFolderListing, OneLevelMembers) {
  const Paths files = ff_.GetFile(t_);
  EXPECT_EQ(Sorted(files), Sorted({t_ + L"\\top.txt", t_ + L"\\.hidden.txt"}));
  EXPECT_EQ(ff_.FilePathCount(), 2);

  const Paths folders = ff_.GetFolder(t_);
  EXPECT_EQ(Sorted(folders), Sorted({t_ + L"\\A", t_ + L"\\B", t_ + L"\\.dotdir"}));
  EXPECT_EQ(ff_.FolderPathCount(), 3);

  const Paths both = ff_.GetFileFolder(t_);
  EXPECT_EQ(Sorted(both),
            Sorted({t_ + L"\\A\\", t_ + L"\\B\\", t_ + L"\\.dotdir\\", t_ + L"\\top.txt", t_ + L"\\.hidden.txt"}));
  EXPECT_EQ(ff_.BFolderPathCount(), 3);
  EXPECT_EQ(ff_.BFilePathCount(), 2);

  // With a trailing "\" and through a file's path: the same folder.
  EXPECT_EQ(ff_.GetFile(t_ + L"\\"), files);
  EXPECT_EQ(ff_.GetFolder(t_ + L"\\top.txt"), folders);
  EXPECT_EQ(ff_.GetFileFolder(t_ + L"\\A\\a1.url"), Sorted({t_ + L"\\A\\A1\\", t_ + L"\\A\\a1.url"}));
}

TEST_F(FileFolderListing, WholeTreeMembersListDepthFirst) {
  const Paths files = ff_.SFilePath(t_);
  EXPECT_EQ(Sorted(files), Sorted({t_ + L"\\top.txt", t_ + L"\\.hidden.txt", t_ + L"\\A\\a1.url",
                                   t_ + L"\\A\\A1\\a11.txt", t_ + L"\\.dotdir\\d.txt"}));
  EXPECT_EQ(ff_.SFilePathCount(), 5);
  EXPECT_TRUE(Contiguous(files, t_ + L"\\A\\")) << "a sub-folder's files stand where it was met";

  const Paths folders = ff_.SFolderPath(t_ + L"\\");
  ASSERT_EQ(folders.size(), 5u);
  EXPECT_EQ(folders[0], t_);
  EXPECT_EQ(Sorted(folders), Sorted({t_, t_ + L"\\A", t_ + L"\\A\\A1", t_ + L"\\B", t_ + L"\\.dotdir"}));
  EXPECT_EQ(ff_.SFolderPathCount(), 5);
  EXPECT_EQ(IndexOf(folders, t_ + L"\\A") + 1, IndexOf(folders, t_ + L"\\A\\A1")) << "pre-order";

  const Paths both = ff_.SFileFolderPath(t_);
  ASSERT_EQ(both.size(), 10u);
  EXPECT_EQ(both[0], t_ + L"\\");
  EXPECT_EQ(Sorted(both),
            Sorted({t_ + L"\\", t_ + L"\\A\\", t_ + L"\\A\\A1\\", t_ + L"\\B\\", t_ + L"\\.dotdir\\", t_ + L"\\top.txt",
                    t_ + L"\\.hidden.txt", t_ + L"\\A\\a1.url", t_ + L"\\A\\A1\\a11.txt", t_ + L"\\.dotdir\\d.txt"}));
  EXPECT_EQ(ff_.BSFolderPathCount(), 5);
  EXPECT_EQ(ff_.BSFilePathCount(), 5);
  // A folder's entry opens the block of everything inside it.
  EXPECT_TRUE(Contiguous(both, t_ + L"\\A\\"));
  EXPECT_EQ(IndexOf(both, t_ + L"\\A\\"),
            std::min(IndexOf(both, t_ + L"\\A\\a1.url"), IndexOf(both, t_ + L"\\A\\A1\\")) - 1);

  // The same lists from a file's path, and again (nothing is carried over).
  EXPECT_EQ(ff_.SFilePath(t_ + L"\\top.txt"), files);
  EXPECT_EQ(ff_.SFolderPath(t_), folders);
  EXPECT_EQ(ff_.SFileFolderPath(t_ + L"\\"), both);
}

TEST_F(FileFolderListing, NothingFoundIsOneEmptyElementWithCountZero) {
  const std::wstring empty = t_ + L"\\B";
  EXPECT_EQ(ff_.GetFile(empty), Paths{L""});
  EXPECT_EQ(ff_.FilePathCount(), 0);
  EXPECT_EQ(ff_.GetFolder(empty), Paths{L""});
  EXPECT_EQ(ff_.FolderPathCount(), 0);
  EXPECT_EQ(ff_.GetFileFolder(empty), Paths{L""});
  EXPECT_EQ(ff_.BFolderPathCount(), 0);
  EXPECT_EQ(ff_.BFilePathCount(), 0);
  EXPECT_EQ(ff_.SFilePath(empty), Paths{L""});
  EXPECT_EQ(ff_.SFilePathCount(), 0);
  EXPECT_EQ(ff_.SFolderPath(empty), Paths{empty});
  EXPECT_EQ(ff_.SFolderPathCount(), 1);
  EXPECT_EQ(ff_.SFileFolderPath(empty), Paths{empty + L"\\"});
  EXPECT_EQ(ff_.BSFolderPathCount(), 1);
  EXPECT_EQ(ff_.BSFilePathCount(), 0);
}

TEST_F(FileFolderListing, MissingFolderIsReportedOnceAndCountsMinusOne) {
  ff_.SFilePath(t_);
  ff_.GetFileFolder(t_);
  for (const std::wstring& missing : {t_ + L"\\nope", std::wstring()}) {
    MessageRecorder messages;
    EXPECT_EQ(ff_.SFilePath(missing), Paths{L""});
    EXPECT_EQ(ff_.SFilePathCount(), -1);
    EXPECT_EQ(ff_.GetFileFolder(missing), Paths{L""});
    EXPECT_EQ(ff_.BFolderPathCount(), -1);
    EXPECT_EQ(ff_.BFilePathCount(), -1);
    EXPECT_EQ(ff_.SFileFolderPath(missing), Paths{L""});
    EXPECT_EQ(ff_.BSFolderPathCount(), -1);
    EXPECT_EQ(ff_.BSFilePathCount(), -1);
    ASSERT_EQ(messages.texts.size(), 3u) << "one message per call";
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(messages.texts[i], L"指定されたフォルダが存在しません");
      EXPECT_EQ(messages.types[i], static_cast<UINT>(MB_OK));
    }
  }
  MessageRecorder messages;
  EXPECT_EQ(ff_.GetFile(t_ + L"\\.hidden.txt"), Paths{L""}) << "a hidden file is not there";
  EXPECT_EQ(ff_.FilePathCount(), -1);
  EXPECT_EQ(messages.texts.size(), 1u);
}

TEST(FileFolderListingRoot, DriveRootEntriesHaveOneBackslash) {
  if (!WineUnix::Available()) GTEST_SKIP() << "needs Wine to map a drive letter";
  TempDir dir;
  MakeFile(dir.str() + L"\\x.url");
  MakeFolder(dir.str() + L"\\a");
  MakeFile(dir.str() + L"\\a\\b.url");
  MappedDrive drive(dir.str());
  ASSERT_FALSE(drive.root().empty());
  const std::wstring r = drive.root();
  const std::wstring bare = r.substr(0, 2);  // "X:"
  clsFileFolder ff;
  EXPECT_EQ(ff.SFolderPath(r), (Paths{bare, r + L"a"}));
  EXPECT_EQ(ff.SFileFolderPath(r)[0], r);
  EXPECT_EQ(Sorted(ff.SFileFolderPath(r)), Sorted({r, r + L"a\\", r + L"a\\b.url", r + L"x.url"}));
  EXPECT_EQ(ff.GetFile(r), Paths{r + L"x.url"});
  EXPECT_EQ(ff.GetFolder(r), Paths{r + L"a"});
  EXPECT_EQ(Sorted(ff.SFilePath(bare)), Sorted({r + L"a\\b.url", r + L"x.url"}));
}

TEST(FileFolderListingNames, UnicodeAndLongPathsAreListedAsTheyAre) {
  TempDir dir;
  const std::wstring t = dir.str();
  const std::wstring korean = t + L"\\한국어";
  MakeFolder(korean);
  MakeFile(korean + L"\\\U0001F600.url");
  std::wstring deep = t;
  while (deep.size() < 330) {
    deep += L"\\" + std::wstring(50, L'd');
    MakeFolder(L"\\\\?\\" + deep);
  }
  MakeFile(L"\\\\?\\" + deep + L"\\far.url");

  clsFileFolder ff;
  EXPECT_EQ(Sorted(ff.SFilePath(t)), Sorted({korean + L"\\\U0001F600.url", deep + L"\\far.url"}));
  EXPECT_EQ(ff.GetFile(deep), Paths{deep + L"\\far.url"});
  EXPECT_EQ(ff.GetFileFolder(korean), Paths{korean + L"\\\U0001F600.url"});
  const Paths folders = ff.SFolderPath(t);
  EXPECT_LT(IndexOf(folders, deep), folders.size());
  EXPECT_EQ(ff.SFolderPathCount(), 2 + static_cast<int32_t>(std::count(deep.begin() + t.size(), deep.end(), L'\\')));

  for (std::wstring f = deep; f.size() > t.size(); f.resize(f.rfind(L'\\'))) {
    DeleteFileW((L"\\\\?\\" + f + L"\\far.url").c_str());
    RemoveDirectoryW((L"\\\\?\\" + f).c_str());
  }
}

// top\g.txt, top\a\f.txt, top\a\up -> top (a loop), top\twin -> top\a (a
// second way into the tree), top\out -> other (outside the tree).
class FileFolderLinks : public testing::Test {
 protected:
  void SetUp() override {
    if (!WineUnix::Available()) GTEST_SKIP() << "needs Wine for Unix symbolic links";
    MakeFolder(top_);
    MakeFile(top_ + L"\\g.txt");
    MakeFolder(top_ + L"\\a");
    MakeFile(top_ + L"\\a\\f.txt");
    MakeFolder(other_);
    MakeFile(other_ + L"\\o.txt");
    ASSERT_TRUE(WineUnix::Symlink("..", top_ + L"\\a\\up"));
    ASSERT_TRUE(WineUnix::Symlink("a", top_ + L"\\twin"));
    ASSERT_TRUE(WineUnix::Symlink(WineUnix::UnixPath(other_), top_ + L"\\out"));
    ASSERT_TRUE(GetFileAttributesW((top_ + L"\\a\\up\\g.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
  }
  void TearDown() override {
    // Before TempDir removes the tree, which would follow the links.
    for (const wchar_t* link : {L"\\a\\up", L"\\twin", L"\\out"}) WineUnix::RemoveLink(top_ + link);
  }

  TempDir dir_;
  const std::wstring top_ = dir_.str() + L"\\top";
  const std::wstring other_ = dir_.str() + L"\\other";
  clsFileFolder ff_;
};

TEST_F(FileFolderLinks, EachFileOnceAndTheWalkEnds) {
  const Paths files = ff_.SFilePath(top_);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(ff_.SFilePathCount(), 3);
  EXPECT_LT(IndexOf(files, top_ + L"\\g.txt"), 3u);
  EXPECT_LT(IndexOf(files, top_ + L"\\out\\o.txt"), 3u) << "a link out of the tree is walked";
  const bool viaA = IndexOf(files, top_ + L"\\a\\f.txt") < 3;
  const bool viaTwin = IndexOf(files, top_ + L"\\twin\\f.txt") < 3;
  EXPECT_TRUE(viaA != viaTwin) << "f.txt under exactly one of its two names";

  const Paths folders = ff_.SFolderPath(top_);
  EXPECT_EQ(Sorted(folders), Sorted({top_, top_ + (viaA ? L"\\a" : L"\\twin"), top_ + L"\\out"}));
  EXPECT_EQ(ff_.SFileFolderPath(top_).size(), 6u);
  EXPECT_EQ(ff_.BSFolderPathCount(), 3);
  EXPECT_EQ(ff_.BSFilePathCount(), 3);
  // One level deep, a link is simply a folder entry.
  EXPECT_EQ(Sorted(ff_.GetFolder(top_ + L"\\a")), Paths{top_ + L"\\a\\up"});
}

// Many folders, on two Unix file systems (the prefix's and a memory one
// reached through a link), some listed before the walk meets its first link
// and some after: the guard against loops passes over none of them, and
// each one's files are listed once.
TEST_F(FileFolderLinks, DistinctFoldersAreNeverMerged) {
  const std::string memory = "/dev/shm/vorpa-folders-" + std::to_string(GetCurrentProcessId());
  if (!WineUnix::Run({"mkdir", "-p", memory})) GTEST_SKIP() << "no memory file system";
  struct Cleanup {
    std::string memory;
    std::wstring link;
    ~Cleanup() {
      WineUnix::RemoveLink(link);
      WineUnix::Run({"rm", "-rf", memory});
    }
  } cleanup{memory, top_ + L"\\shm"};
  ASSERT_TRUE(WineUnix::Symlink(memory, cleanup.link));
  Paths expected = {top_ + L"\\g.txt", top_ + L"\\out\\o.txt"};
  for (int i = 0; i < 30; ++i) {
    for (const std::wstring& parent : {top_, cleanup.link, top_ + L"\\a"}) {
      const std::wstring folder = parent + L"\\f" + std::to_wstring(i);
      MakeFolder(folder);
      MakeFile(folder + L"\\x.txt");
      MakeFolder(folder + L"\\deeper");
      MakeFile(folder + L"\\deeper\\y.txt");
    }
  }
  const Paths files = ff_.SFilePath(top_);
  // Folders of top\a are reached as top\a or as top\twin: compare by what
  // lies below that first step.
  Paths found;
  for (std::wstring f : files) {
    if (StartsWith(f, top_ + L"\\twin\\")) f.replace(top_.size(), 5, L"\\a");
    found.push_back(f);
  }
  expected.push_back(top_ + L"\\a\\f.txt");
  for (int i = 0; i < 30; ++i) {
    for (const std::wstring& parent : {top_, cleanup.link, top_ + L"\\a"}) {
      const std::wstring folder = parent + L"\\f" + std::to_wstring(i);
      expected.push_back(folder + L"\\x.txt");
      expected.push_back(folder + L"\\deeper\\y.txt");
    }
  }
  EXPECT_EQ(Sorted(found), Sorted(expected));
  EXPECT_EQ(ff_.SFilePathCount(), static_cast<int32_t>(expected.size()));
}

}  // namespace
