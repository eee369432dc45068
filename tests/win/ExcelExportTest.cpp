// "EXCELで表示" against a small automation server that stands in for Excel:
// registered under "Excel.application" for the test, it writes down each call
// the command makes. Without it, the workbook file path is taken.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <shlwapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Text.h"
#include "output/ExcelDispatch.h"
#include "tests/win/FakeExcel.h"
#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using namespace vorpa::test;

namespace {

namespace fs = std::filesystem;

// Written through the merged classes root: Wine reads class keys from the
// machine part only.
constexpr wchar_t kProgIdKey[] = L"Excel.application";

bool ExcelIsRegistered() {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(L"Excel.application", &clsid));
}

bool XlsxHasAssociation() {
  wchar_t command[1024];
  DWORD size = 1024;
  return SUCCEEDED(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_COMMAND, L".xlsx", L"open", command, &size));
}

void SetDefaultValue(HKEY root, const std::wstring& key, const std::wstring& value) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
}

// Files go to a folder of the test's own while it runs.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::wstring& folder) {
    wchar_t old[32768];
    const DWORD n = GetEnvironmentVariableW(L"TMP", old, 32768);
    had_ = n > 0 && n < 32768;
    if (had_) old_ = old;
    SetEnvironmentVariableW(L"TMP", (folder + L"\\").c_str());
  }
  ~TempFolderOverride() { SetEnvironmentVariableW(L"TMP", had_ ? old_.c_str() : nullptr); }

 private:
  bool had_ = false;
  std::wstring old_;
};

class ExcelExport : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_FALSE(ExcelIsRegistered()) << "the test prefix has no Excel";
  }
  void TearDown() override {
    ExcelApplication::SetPatience(ExcelPatience{});
    if (cookie_) CoRevokeClassObject(cookie_);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey);
    MainWindowTest::TearDown();
  }
  void RegisterFakeExcel() {
    ASSERT_EQ(CoRegisterClassObject(kFakeExcelClsid, &factory_, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_),
              S_OK);
    wchar_t clsid[64];
    StringFromGUID2(kFakeExcelClsid, clsid, 64);
    SetDefaultValue(HKEY_CLASSES_ROOT, std::wstring(kProgIdKey) + L"\\CLSID", clsid);
    ASSERT_TRUE(ExcelIsRegistered());
  }
  void FillList(std::vector<UrlEntry> entries) {
    for (UrlEntry& e : entries) form().rows.Append(std::move(e));
    form().RefreshList();
  }

  ExcelLog log;
  MessageRecorder messages;

 private:
  FakeExcelFactory factory_{log};
  DWORD cookie_ = 0;
};

bool RunsOnWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// "Excel.application" as a program of its own (tests/winserver), which COM
// starts and talks to across processes, as it does with Excel.
class ExcelServer {
 public:
  ExcelServer(const TempDir& dir, int busy, DWORD hangMs) : log_(dir.path() / L"calls.txt") {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const fs::path server = fs::path(exe).parent_path() / L"vorpa_fakeexcel.exe";
    wchar_t clsid[64];
    StringFromGUID2(kFakeServerClsid, clsid, 64);
    clsidKey_ = std::wstring(L"CLSID\\") + clsid;
    SetDefaultValue(HKEY_CLASSES_ROOT, clsidKey_ + L"\\LocalServer32", L"\"" + server.wstring() + L"\"");
    SetDefaultValue(HKEY_CLASSES_ROOT, std::wstring(kProgIdKey) + L"\\CLSID", clsid);
    // COM starts the server from this process here, so it inherits these.
    SetEnvironmentVariableW(L"VORPA_FAKE_EXCEL_LOG", log_.c_str());
    SetEnvironmentVariableW(L"VORPA_FAKE_EXCEL_BUSY", std::to_wstring(busy).c_str());
    SetEnvironmentVariableW(L"VORPA_FAKE_EXCEL_HANG", std::to_wstring(hangMs).c_str());
    // Excel answers "retry later"; Wine's COM runs such a call all the same
    // (it never asks the caller's filter), and carries only an outright
    // rejection back, as RPC_E_CALL_REJECTED: what a client of a busy Excel
    // gets once its filter gives up.
    SetEnvironmentVariableW(L"VORPA_FAKE_EXCEL_ANSWER", RunsOnWine() ? L"rejected" : L"retrylater");
  }
  ~ExcelServer() {
    for (const wchar_t* name :
         {L"VORPA_FAKE_EXCEL_LOG", L"VORPA_FAKE_EXCEL_BUSY", L"VORPA_FAKE_EXCEL_HANG", L"VORPA_FAKE_EXCEL_ANSWER"})
      SetEnvironmentVariableW(name, nullptr);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, clsidKey_.c_str());
  }
  ExcelServer(const ExcelServer&) = delete;
  ExcelServer& operator=(const ExcelServer&) = delete;

  // What the server was asked, once every object it handed out is released
  // (or, when that is not to come, what it was asked so far), with two lines
  // at the end: "rejected N" and "live N".
  std::vector<std::wstring> Calls(bool untilReleased = true) const {
    std::vector<std::wstring> lines;
    for (int i = 0; i < 400; ++i) {
      lines = ReadLog();
      if (!lines.empty() && (!untilReleased || lines.back() == L"live 0")) break;
      Sleep(50);
    }
    return lines;
  }

 private:
  std::vector<std::wstring> ReadLog() const {
    std::ifstream in(log_, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::wstring> lines;
    const std::wstring text = DecodeCodePage(bytes, kCodePageUtf8);
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

  fs::path log_;
  std::wstring clsidKey_;
};

// Stands for a filter that the program had before the export.
class OuterFilter : public IMessageFilter {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IMessageFilter ? static_cast<IMessageFilter*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

const std::vector<std::wstring> kTwoRowSheet{
    L"Workbooks.Add",
    L"Visible=true",
    L"Cells(1,1)='ファイル名",
    L"Cells(1,2)='URLアドレス",
    L"Cells(1,3)='ファイルパス",
    L"Cells(2,1)='a",
    L"Hyperlinks.Add(Cells(2,2), http://a/)",
    L"Cells(2,3)=",
    L"Cells(3,1)='b",
    L"Hyperlinks.Add(Cells(3,2), http://b/)",
    L"Cells(3,3)=",
    L"Cells(1,1).ColumnWidth=9",
    L"Cells(1,2).ColumnWidth=9.9",
    L"Cells(1,3).ColumnWidth=10.8",
};

}  // namespace

TEST_F(ExcelExport, FillsTheSheetCallByCallAndLetsGo) {
  RegisterFakeExcel();
  FillList({{L"日本", L"http://jp/", L"\\sub"}, {L"=1+1", L"http://calc/", L""}});
  form().mnuExcel_Click();
  EXPECT_EQ(log.calls, (std::vector<std::wstring>{
                           L"Workbooks.Add",
                           L"Visible=true",
                           L"Cells(1,1)='ファイル名",
                           L"Cells(1,2)='URLアドレス",
                           L"Cells(1,3)='ファイルパス",
                           L"Cells(2,1)='日本",
                           L"Hyperlinks.Add(Cells(2,2), http://jp/)",
                           L"Cells(2,3)='\\sub",
                           L"Cells(3,1)='=1+1",  // text, never a formula
                           L"Hyperlinks.Add(Cells(3,2), http://calc/)",
                           L"Cells(3,3)=",
                           L"Cells(1,1).ColumnWidth=9",
                           L"Cells(1,2).ColumnWidth=10.8",
                           L"Cells(1,3).ColumnWidth=10.8",
                       }));
  EXPECT_EQ(log.created, 1);
  for (LCID lcid : log.lcids) EXPECT_EQ(lcid, 1033u);
  EXPECT_EQ(log.live, 0) << "every object is released; Excel itself is left running";
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(ExcelExport, RefusalsAreSkippedAndARefusedLinkBecomesText) {
  RegisterFakeExcel();
  log.longestLink = 20;
  log.widestColumn = 20;
  const std::wstring longUrl = L"http://example.com/a/very/long/address";
  FillList({{L"long", longUrl, L"\\folder\\with\\a\\name"}});
  form().mnuExcel_Click();
  ASSERT_EQ(log.calls.size(), 12u);
  const std::vector<std::wstring> tail(log.calls.begin() + 5, log.calls.end());
  EXPECT_EQ(tail, (std::vector<std::wstring>{
                      L"Cells(2,1)='long",
                      L"Hyperlinks.Add(Cells(2,2), " + longUrl + L") refused",
                      L"Cells(2,2)='" + longUrl,
                      L"Cells(2,3)='\\folder\\with\\a\\name",
                      L"Cells(1,1).ColumnWidth=9",
                      L"Cells(1,2).ColumnWidth refused",
                      L"Cells(1,3).ColumnWidth=17.1",
                  }));
  EXPECT_EQ(log.live, 0);
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(ExcelExport, ExcelClosedHalfwayEndsQuietly) {
  RegisterFakeExcel();
  log.failFromCall = 4;
  FillList({{L"a", L"http://a/", L""}, {L"b", L"http://b/", L""}});
  form().mnuExcel_Click();
  EXPECT_EQ(log.calls.size(), 4u);
  EXPECT_EQ(log.live, 0);
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(ExcelExport, WithoutExcelOrAnAssociatedProgramTheUserIsTold) {
  if (XlsxHasAssociation()) GTEST_SKIP() << "this prefix opens .xlsx files";
  TempDir temp;
  TempFolderOverride tmp(temp.str());
  FillList({{L"a", L"http://a/", L""}});
  {
    SCOPED_TRACE("no Excel");
    form().mnuExcel_Click();
    EXPECT_EQ(messages.texts, std::vector<std::wstring>{L"EXCELがないと起動できません"});
    EXPECT_EQ(messages.types, std::vector<UINT>{MB_OK});
  }
  {
    SCOPED_TRACE("Excel refuses the workbook");
    RegisterFakeExcel();
    log.refuseAdd = true;
    form().mnuExcel_Click();
    EXPECT_EQ(messages.texts.size(), 2u);
    EXPECT_TRUE(log.calls.empty()) << "nothing after the refused workbook reaches Excel";
    EXPECT_EQ(log.live, 0);
  }
  EXPECT_TRUE(fs::is_empty(temp.path())) << "no workbook file is left behind";
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(ExcelExport, WithoutExcelTheWorkbookFileOpensInTheAssociatedProgram) {
  TempDir temp, opened;
  const fs::path copy = opened.path() / L"opened.xlsx";
  // The "program" copies the file it is given, which shows what was opened.
  const std::wstring classes;
  SetDefaultValue(HKEY_CLASSES_ROOT, classes + L".xlsx", L"VorpaTest.Workbook");
  SetDefaultValue(HKEY_CLASSES_ROOT, classes + L"VorpaTest.Workbook\\shell\\open\\command",
                  L"C:\\windows\\system32\\cmd.exe /c copy /y \"%1\" \"" + copy.wstring() + L"\"");
  if (!XlsxHasAssociation()) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (classes + L".xlsx").c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (classes + L"VorpaTest.Workbook").c_str());
    FAIL() << "the association written for the test is not seen";
  }
  {
    TempFolderOverride tmp(temp.str());
    FillList({{L"日本", L"http://jp/", L""}});
    form().mnuExcel_Click();
  }
  std::string bytes;
  for (int i = 0; i < 200 && bytes.size() < 100; ++i) {
    Sleep(50);
    std::ifstream in(copy, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (classes + L".xlsx").c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (classes + L"VorpaTest.Workbook").c_str());

  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(temp.path())) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].extension(), L".xlsx");
  EXPECT_EQ(fs::file_size(files[0]), bytes.size());
}

TEST_F(ExcelExport, CallsABusyExcelTurnsAwayAreTriedAgain) {
  TempDir dir;
  ExcelServer server(dir, 3, 0);
  ExcelApplication::SetPatience({100, 10000});
  OuterFilter outer;
  ASSERT_EQ(CoRegisterMessageFilter(&outer, nullptr), S_OK);
  FillList({{L"a", L"http://a/", L""}, {L"b", L"http://b/", L""}});
  form().mnuExcel_Click();
  IMessageFilter* after = nullptr;
  CoRegisterMessageFilter(nullptr, &after);
  EXPECT_EQ(after, &outer) << "the filter the thread had before is back";

  std::vector<std::wstring> calls = server.Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], L"rejected 3");
  EXPECT_EQ(calls.back(), L"live 0") << "every object is released";
  calls.resize(calls.size() - 2);
  EXPECT_EQ(calls, kTwoRowSheet) << "no cell is lost";
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(form().MousePointer(), 0);
}

TEST_F(ExcelExport, AnExcelThatDoesNotAnswerLetsTheUserWaitOrStop) {
  ExcelApplication::SetPatience({100, 500});
  FillList({{L"a", L"http://a/", L""}, {L"b", L"http://b/", L""}});
  for (const int answer : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(answer);
    TempDir dir;
    ExcelServer server(dir, 0, 3000);
    messages.texts.clear();
    messages.SetReply(answer);
    const DWORD start = GetTickCount();
    form().mnuExcel_Click();
    const DWORD took = GetTickCount() - start;
    ASSERT_FALSE(messages.texts.empty()) << "the user is asked";
    EXPECT_NE(messages.texts[0].find(L"EXCELが応答しません"), std::wstring::npos);
    EXPECT_EQ(messages.types[0], static_cast<UINT>(MB_OKCANCEL));
    if (answer == IDCANCEL) Sleep(3500);  // until Excel has come back to life
    std::vector<std::wstring> calls = server.Calls(answer == IDOK);
    ASSERT_GE(calls.size(), 2u);
    calls.resize(calls.size() - 2);
    if (answer == IDOK) {
      EXPECT_EQ(calls, kTwoRowSheet) << "waiting on loses nothing";
    } else {
      // Wine's COM takes the cancel but goes on waiting for the answer.
      if (!RunsOnWine()) {
        EXPECT_LT(took, 2500u) << "stopping does not wait for Excel";
      }
      EXPECT_EQ(messages.texts.size(), 1u) << "asked once: " << testing::PrintToString(messages.texts);
      EXPECT_LT(calls.size(), kTwoRowSheet.size());
    }
    EXPECT_EQ(form().MousePointer(), 0);
  }
}
