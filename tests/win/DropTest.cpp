#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/resource.h"
#include "filefolder/clsFileFolder.h"
#include "tests/win/ScanTestSupport.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using namespace vorpa::test;
namespace fs = std::filesystem;

namespace {

// A data object as a drag source hands it over: a file list (CF_HDROP) built
// from paths, raw DROPFILES bytes, or only text.
class DragData final : public IDataObject {
 public:
  static DragData* Files(const std::vector<std::wstring>& paths) {
    std::vector<unsigned char> block(sizeof(DROPFILES), 0);
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    for (const auto& p : paths) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(p.c_str());
      block.insert(block.end(), bytes, bytes + (p.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), 0);
    return new DragData(CF_HDROP, std::move(block));
  }
  static DragData* Raw(std::vector<unsigned char> block) { return new DragData(CF_HDROP, std::move(block)); }
  static DragData* Text(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    return new DragData(CF_UNICODETEXT, std::vector<unsigned char>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t)));
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    ++reads;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
    if (!h) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(h), bytes_.data(), bytes_.size());
    GlobalUnlock(h);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = h;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (!format || format->cfFormat != format_ || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  int reads = 0;

 private:
  DragData(CLIPFORMAT format, std::vector<unsigned char> bytes) : format_(format), bytes_(std::move(bytes)) {}
  ~DragData() = default;
  LONG refs_ = 1;
  CLIPFORMAT format_;
  std::vector<unsigned char> bytes_;
};

// Holds a data object for one test.
struct Held {
  explicit Held(DragData* d) : data(d) {}
  ~Held() { data->Release(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  DragData* data;
};

void WriteShortcut(const fs::path& file, const std::string& url) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << "[InternetShortcut]\r\nURL=" << url << "\r\n";
}

size_t rowsAtPump;
LRESULT rowsShownAtPump;
frmMain* pumpedForm;
void CALLBACK NoteRowsAtPump(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  rowsAtPump = pumpedForm->rows.size();
  rowsShownAtPump = SendMessageW(pumpedForm->lstView, LVM_GETITEMCOUNT, 0, 0);
}

IDataObject* dropDuringWalk;
size_t rowsAtDropDuringWalk;
DWORD answerToDropDuringWalk;
void CALLBACK DropDuringWalk(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  rowsAtDropDuringWalk = pumpedForm->rows.size();
  DWORD effect = DROPEFFECT_COPY;
  pumpedForm->DropTarget()->DragEnter(dropDuringWalk, MK_LBUTTON, POINTL{0, 0}, &effect);
  effect = DROPEFFECT_COPY;
  pumpedForm->DropTarget()->Drop(dropDuringWalk, 0, POINTL{0, 0}, &effect);
  answerToDropDuringWalk = effect;
}

class DropTest : public MainWindowTest {
 protected:
  IDropTarget* Target() {
    IDropTarget* t = form().DropTarget();
    EXPECT_NE(t, nullptr);
    return t;
  }
  POINTL OverList() {
    RECT r;
    GetWindowRect(list(), &r);
    return POINTL{r.left + 40, r.top + 60};
  }
  // A whole drag: enter, one move, then the drop. Returns the drop's answer.
  DWORD DragAndDrop(IDataObject* data, DWORD offered = DROPEFFECT_COPY | DROPEFFECT_MOVE) {
    DWORD effect = offered;
    EXPECT_EQ(Target()->DragEnter(data, MK_LBUTTON, OverList(), &effect), S_OK);
    effect = offered;
    EXPECT_EQ(Target()->DragOver(MK_LBUTTON, OverList(), &effect), S_OK);
    effect = offered;
    EXPECT_EQ(Target()->Drop(data, 0, OverList(), &effect), S_OK);
    Pump();
    return effect;
  }
  void Drop(const std::vector<std::wstring>& paths) {
    Held d(DragData::Files(paths));
    DragAndDrop(d.data);
  }
  // Column 2 and 3 of every row, "url|folder".
  std::vector<std::wstring> Rows() {
    std::vector<std::wstring> out;
    for (int i = 0; i < ItemCount(); ++i) out.push_back(ItemText(i, 1) + L"|" + ItemText(i, 2));
    return out;
  }
  void AddExistingRow() {
    form().rows.Append({L"old", L"http://old/", L"\\old"});
    form().RefreshList();
    form().MakeColumns(L"C:\\Named", false);
    ASSERT_EQ(HeaderText(2), L"ファイルパス (C:\\Named)");
  }
};

}  // namespace

TEST_F(DropTest, TargetIsRegisteredOnTheList) {
  ASSERT_NE(form().DropTarget(), nullptr);
  // A second registration is refused because ours is in place.
  EXPECT_EQ(RegisterDragDrop(list(), form().DropTarget()), DRAGDROP_E_ALREADYREGISTERED);
}

TEST_F(DropTest, TwoFilesFromTwoFoldersMakeANewList) {
  TempDir dir;
  WriteShortcut(dir.path() / L"A" / L"a.url", "http://a.example/");
  WriteShortcut(dir.path() / L"B" / L"b.url", "http://b.example/");
  AddExistingRow();
  Drop({(dir.path() / L"A" / L"a.url").wstring(), (dir.path() / L"B" / L"b.url").wstring()});
  const std::vector<std::wstring> expected = {L"http://a.example/|" + (dir.path() / L"A").wstring(),
                                              L"http://b.example/|" + (dir.path() / L"B").wstring()};
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
  EXPECT_EQ(form().strListFolder, L"C:\\Named");
}

TEST_F(DropTest, TwoFilesFromTwoFoldersAreAddedInAddMode) {
  TempDir dir;
  WriteShortcut(dir.path() / L"A" / L"a.url", "http://a.example/");
  WriteShortcut(dir.path() / L"B" / L"b.url", "http://b.example/");
  AddExistingRow();
  Command(IDM_NEWADD1);
  Drop({(dir.path() / L"A" / L"a.url").wstring(), (dir.path() / L"B" / L"b.url").wstring()});
  const std::vector<std::wstring> expected = {L"http://old/|\\old",
                                              L"http://a.example/|" + (dir.path() / L"A").wstring(),
                                              L"http://b.example/|" + (dir.path() / L"B").wstring()};
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(HeaderText(2), L"ファイルパス");
  EXPECT_EQ(form().strListFolder, L"C:\\Named");
}

TEST_F(DropTest, MixtureGivesRowsInTheOrderOfTheDrop) {
  TempDir dir;
  WriteShortcut(dir.path() / L"F" / L"f.url", "http://f.example/");
  WriteShortcut(dir.path() / L"F" / L"sub" / L"deep.url", "http://deep.example/");
  WriteShortcut(dir.path() / L"s.url", "http://s.example/");
  std::ofstream(dir.path() / L"t.txt") << "not a shortcut";
  // The folder first, then the shortcut: the rows follow the drop's order.
  Drop({(dir.path() / L"F").wstring(), (dir.path() / L"t.txt").wstring(), (dir.path() / L"s.url").wstring()});
  // Sub-folders are not walked under the start setting.
  const std::vector<std::wstring> expected = {L"http://f.example/|", L"http://s.example/|" + dir.str()};
  EXPECT_EQ(Rows(), expected);
}

TEST_F(DropTest, OnlyOtherFilesLeaveAnEmptyList) {
  TempDir dir;
  std::ofstream(dir.path() / L"a.txt") << "x";
  std::ofstream(dir.path() / L"b.html") << "x";
  AddExistingRow();
  Drop({(dir.path() / L"a.txt").wstring(), (dir.path() / L"b.html").wstring(), L"Q:\\missing\\c.txt"});
  EXPECT_EQ(ItemCount(), 0);
}

TEST_F(DropTest, FolderIsWalkedWithItsSubFoldersWhenSoSet) {
  TempDir dir;
  const fs::path top = dir.path() / L"Top";
  WriteShortcut(top / L"a.url", "http://a/");
  WriteShortcut(top / L"sub" / L"b.URL", "http://b/");
  WriteShortcut(top / L"sub" / L"deeper" / L"c.url", "http://c/");
  std::ofstream(top / L"sub" / L"note.txt") << "x";
  Command(IDM_SUBFOLDER1);
  Drop({top.wstring()});
  const std::vector<std::wstring> rows = Rows();
  const std::set<std::wstring> got(rows.begin(), rows.end());
  const std::set<std::wstring> expected = {L"http://a/|", L"http://b/|\\sub", L"http://c/|\\sub\\deeper"};
  EXPECT_EQ(rows.size(), 3u);
  EXPECT_EQ(got, expected);
}

TEST_F(DropTest, FileListsAreTakenAsCopiesAndOtherDataIsRefused) {
  Held files(DragData::Files({L"C:\\x.url"}));
  Held text(DragData::Text(L"http://example.com/"));
  const struct {
    IDataObject* data;
    DWORD offered;
    DWORD answer;
  } cases[] = {
      {files.data, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_COPY},
      {files.data, DROPEFFECT_MOVE, DROPEFFECT_NONE},
      {files.data, DROPEFFECT_COPY, DROPEFFECT_COPY},
      {text.data, DROPEFFECT_COPY | DROPEFFECT_MOVE, DROPEFFECT_NONE},
  };
  for (const auto& c : cases) {
    DWORD effect = c.offered;
    ASSERT_EQ(Target()->DragEnter(c.data, MK_LBUTTON, OverList(), &effect), S_OK);
    EXPECT_EQ(effect, c.answer) << "enter " << c.offered;
    effect = c.offered;
    ASSERT_EQ(Target()->DragOver(MK_LBUTTON, OverList(), &effect), S_OK);
    EXPECT_EQ(effect, c.answer) << "over " << c.offered;
    ASSERT_EQ(Target()->DragLeave(), S_OK);
  }

  // The list's own drag event: entering and leaving keep the source's offer.
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  int state = 0;
  form().lstView_OLEDragOver(files.data, effect, 1, 0, 0, 0, state);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE));
  state = 2;
  form().lstView_OLEDragOver(files.data, effect, 1, 0, 0, 0, state);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));

  // A drop never answers "move": the source would delete the originals.
  TempDir dir;
  WriteShortcut(dir.path() / L"keep.url", "http://keep/");
  Held keep(DragData::Files({(dir.path() / L"keep.url").wstring()}));
  EXPECT_EQ(DragAndDrop(keep.data, DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(ItemCount(), 1);

  // Dropped text changes nothing.
  EXPECT_EQ(DragAndDrop(text.data), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(text.data->reads, 0);
  EXPECT_EQ(ItemCount(), 1);
}

TEST_F(DropTest, MalformedFileListsAddNothing) {
  form().rows.Append({L"old", L"http://old/", L""});
  form().RefreshList();
  Command(IDM_NEWADD1);
  DROPFILES header{};
  header.fWide = TRUE;
  std::vector<std::vector<unsigned char>> blocks;
  header.pFiles = 0x7FFFFFF0;  // far outside the block
  blocks.emplace_back(sizeof(DROPFILES) + 8, 'x');
  std::memcpy(blocks.back().data(), &header, sizeof header);
  header.pFiles = sizeof(DROPFILES);  // a path without any terminator
  blocks.emplace_back(sizeof(DROPFILES) + 8, 'x');
  std::memcpy(blocks.back().data(), &header, sizeof header);
  blocks.emplace_back(3, 0);  // shorter than its header
  for (const auto& block : blocks) {
    Held d(DragData::Raw(block));
    DragAndDrop(d.data);
  }
  EXPECT_EQ(ItemCount(), 1);
}

TEST_F(DropTest, DropDuringAWalkIsRefusedAndIgnored) {
  TempDir dir;
  WriteShortcut(dir.path() / L"a.url", "http://a/");
  Held d(DragData::Files({(dir.path() / L"a.url").wstring()}));
  {
    frmMain::BusyScope walking(form());
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(Target()->DragEnter(d.data, MK_LBUTTON, OverList(), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(Target()->Drop(d.data, 0, OverList(), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(form().rows.size(), 0u);
  }
  DragAndDrop(d.data);
  EXPECT_EQ(ItemCount(), 1);
}

TEST_F(DropTest, TargetOutlivingItsWindowAnswersNothing) {
  IDropTarget* target = Target();
  target->AddRef();
  DestroyWindow(form().hwnd());
  Pump();
  Held d(DragData::Files({L"C:\\x.url"}));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragEnter(d.data, MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(d.data, 0, POINTL{0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  target->Release();
}

TEST_F(DropTest, FortyThousandPathsAreAllTaken) {
  TempDir dir;
  WriteShortcut(dir.path() / L"first.url", "http://first/");
  WriteShortcut(dir.path() / L"past16bits.url", "http://past16bits/");
  WriteShortcut(dir.path() / L"last.url", "http://last/");
  std::vector<std::wstring> paths;
  paths.reserve(40000);
  paths.push_back((dir.path() / L"first.url").wstring());
  for (int i = 1; i < 39999; ++i) paths.push_back(dir.str() + L"\\missing" + std::to_wstring(i) + L".txt");
  paths[32768] = (dir.path() / L"past16bits.url").wstring();  // the 32,769th path
  paths.push_back((dir.path() / L"last.url").wstring());
  ASSERT_EQ(paths.size(), 40000u);

  // A message waiting when the drop starts runs at the drop's first pump
  // step, after the first paths and long before the last.
  rowsAtPump = static_cast<size_t>(-1);
  rowsShownAtPump = -1;
  pumpedForm = &form();
  const UINT_PTR timer = SetTimer(nullptr, 0, 0, NoteRowsAtPump);
  Sleep(20);  // the timer is due
  Drop(paths);
  KillTimer(nullptr, timer);
  const std::vector<std::wstring> expected = {L"http://first/|" + dir.str(), L"http://past16bits/|" + dir.str(),
                                              L"http://last/|" + dir.str()};
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(rowsAtPump, 1u);
  EXPECT_EQ(rowsShownAtPump, 1) << "the rows added so far did not appear";
}

// A drop while a dropped folder is walked with its files read ahead: refused
// and ignored; the folder's rows come in the listing's order, each with its
// own file's target.
TEST_F(DropTest, DropDuringAReadAheadWalkIsRefusedAndTheWalkKeepsItsOrder) {
  TempDir dir, other;
  for (int i = 0; i < 600; ++i) {
    const std::string n = std::to_string(i);
    WriteShortcut(dir.path() / ("w" + n + ".url"), "http://w/" + n);
  }
  WriteShortcut(other.path() / L"x.url", "http://x/");
  std::vector<std::wstring> expected;
  for (const std::wstring& path : clsFileFolder().GetFile(dir.str()))
    expected.push_back(L"http://w/" + fs::path(path).stem().wstring().substr(1) + L"|");
  ASSERT_EQ(expected.size(), 600u);

  Held second(DragData::Files({(other.path() / L"x.url").wstring()}));
  dropDuringWalk = second.data;
  rowsAtDropDuringWalk = static_cast<size_t>(-1);
  answerToDropDuringWalk = DROPEFFECT_COPY;
  pumpedForm = &form();
  const UINT_PTR timer = SetTimer(nullptr, 0, 0, DropDuringWalk);
  Sleep(20);  // the timer is due at the walk's first pump step
  Drop({dir.str()});
  KillTimer(nullptr, timer);
  EXPECT_LT(rowsAtDropDuringWalk, 600u) << "the second drop came after the walk";
  EXPECT_EQ(answerToDropDuringWalk, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(Rows(), expected);

  DragAndDrop(second.data);
  EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"http://x/|" + other.str()}));
}

// The rows appear as they come: before paths 20 and 40 of 45, and at no
// other step, messages run with the rows added so far on the list.
TEST_F(DropTest, MessagesRunBeforePaths20And40Only) {
  TempDir dir;
  std::vector<std::wstring> paths;
  for (int i = 1; i <= 45; ++i) {
    const fs::path file = dir.path() / (L"s" + std::to_wstring(100 + i) + L".url");
    WriteShortcut(file, "http://example.com/" + std::to_string(i));
    paths.push_back(file.wstring());
  }
  std::vector<size_t> seen;
  std::vector<int> shown;
  Held d(DragData::Files(paths));
  {
    PumpObserver observer([&] {
      // Steps before and after the drop see no row or all of them.
      const size_t n = form().rows.size();
      if (n == 0 || n == paths.size() || (!seen.empty() && seen.back() == n)) return;
      seen.push_back(n);
      shown.push_back(ItemCount());
    });
    DragAndDrop(d.data);
  }
  EXPECT_EQ(seen, (std::vector<size_t>{19, 39}));
  EXPECT_EQ(shown, (std::vector<int>{19, 39}));
  EXPECT_EQ(ItemCount(), 45);
}

TEST_F(DropTest, DriveRootHoldingAVisibleFileAddsNothingAndOneOfFoldersIsWalked) {
  SendMessageW(form().hwnd(), WM_COMMAND, IDM_SUBFOLDER1, 0);
  {
    TempDir withFile;
    WriteShortcut(withFile.path() / L"e.url", "http://e.example/");
    WriteShortcut(withFile.path() / L"sub" / L"f.url", "http://f.example/");
    MappedDrive drive(withFile.str());
    ASSERT_FALSE(drive.root().empty()) << "no drive letter could be mapped";
    Drop({drive.root()});
    EXPECT_EQ(ItemCount(), 0);
  }
  // One drive at a time: a second link made beside the first would land
  // inside it.
  TempDir onlyFolders;
  WriteShortcut(onlyFolders.path() / L"sub" / L"g.url", "http://g.example/");
  MappedDrive drive(onlyFolders.str());
  ASSERT_FALSE(drive.root().empty()) << "no drive letter could be mapped";
  Drop({drive.root()});
  EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"http://g.example/|sub"}));
}
