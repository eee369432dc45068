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

#include "tests/win/WinTestSupport.h"

using namespace vorpa;
using namespace vorpa::test;

namespace {

namespace fs = std::filesystem;

// {6B1C2A9E-4D7F-4E8B-9C21-7A3F5E0D1B42}
constexpr CLSID kFakeExcelClsid = {0x6b1c2a9e, 0x4d7f, 0x4e8b, {0x9c, 0x21, 0x7a, 0x3f, 0x5e, 0x0d, 0x1b, 0x42}};
// Lets the server recognise its own cell when one comes back as an argument.
constexpr IID kFakeObjectIid = {0x6b1c2a9f, 0x4d7f, 0x4e8b, {0x9c, 0x21, 0x7a, 0x3f, 0x5e, 0x0d, 0x1b, 0x43}};

struct ExcelLog {
  std::vector<std::wstring> calls;
  std::vector<LCID> lcids;
  int live = 0;  // objects handed out and not yet released
  int created = 0;
  bool refuseAdd = false;
  size_t longestLink = SIZE_MAX;
  double widestColumn = 255;
  size_t failFromCall = SIZE_MAX;  // from this many calls on, Excel is gone
};

enum class Kind { App, Workbooks, Workbook, Cells, Cell, Hyperlinks, Hyperlink };

std::wstring Number(double v) {
  wchar_t buf[32];
  swprintf(buf, 32, L"%g", v);
  return buf;
}

HRESULT Refuse(EXCEPINFO* info) {
  if (info) {
    *info = EXCEPINFO{};
    info->bstrSource = SysAllocString(L"Fake Excel");
    info->bstrDescription = SysAllocString(L"refused");
  }
  return DISP_E_EXCEPTION;
}

class FakeObject : public IDispatch {
 public:
  FakeObject(ExcelLog& log, Kind kind, long row = 0, int column = 0)
      : log_(log), kind_(kind), row_(row), column_(column) {
    ++log_.live;
  }
  virtual ~FakeObject() { --log_.live; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kFakeObjectIid) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    log_.lcids.push_back(lcid);
    if (count != 1) return E_INVALIDARG;
    const std::wstring name = names[0];
    static const struct {
      Kind kind;
      const wchar_t* name;
    } members[] = {{Kind::App, L"Workbooks"},    {Kind::App, L"Visible"},   {Kind::App, L"Cells"},
                   {Kind::Workbooks, L"Add"},    {Kind::Cells, L"Item"},    {Kind::Cells, L"Hyperlinks"},
                   {Kind::Cell, L"ColumnWidth"}, {Kind::Hyperlinks, L"Add"}};
    for (DISPID i = 0; i < static_cast<DISPID>(std::size(members)); ++i) {
      if (members[i].kind == kind_ && _wcsicmp(members[i].name, name.c_str()) == 0) {
        ids[0] = i + 1;
        return S_OK;
      }
    }
    log_.calls.push_back(L"unknown member " + name);
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    log_.lcids.push_back(lcid);
    if (log_.calls.size() >= log_.failFromCall) return RPC_E_DISCONNECTED;
    const bool put = (flags & DISPATCH_PROPERTYPUT) && params->cNamedArgs == 1 &&
                     params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT && params->cArgs >= 1;
    const auto arg = [&](UINT i, VARTYPE vt) {  // i counts from the first argument
      VARIANT v;
      VariantInit(&v);
      if (i < params->cArgs) VariantChangeType(&v, &params->rgvarg[params->cArgs - 1 - i], 0, vt);
      return v;
    };
    const auto give = [&](FakeObject* object) {
      if (result) {
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
      } else {
        object->Release();
      }
      return S_OK;
    };
    switch (kind_) {
      case Kind::App:
        if (id == 1) return give(new FakeObject(log_, Kind::Workbooks));
        if (id == 2 && put) {
          VARIANT v = arg(0, VT_BOOL);
          log_.calls.push_back(std::wstring(L"Visible=") + (v.boolVal ? L"true" : L"false"));
          return S_OK;
        }
        if (id == 3) return give(new FakeObject(log_, Kind::Cells));
        break;
      case Kind::Workbooks:
        if (id == 4 && (flags & DISPATCH_METHOD)) {
          if (log_.refuseAdd) return Refuse(info);
          log_.calls.push_back(L"Workbooks.Add");
          return give(new FakeObject(log_, Kind::Workbook));
        }
        break;
      case Kind::Cells:
        if (id == 5 && params->cArgs == 2) {
          VARIANT row = arg(0, VT_I4), column = arg(1, VT_I4);
          return give(new FakeObject(log_, Kind::Cell, row.lVal, column.lVal));
        }
        if (id == 6) return give(new FakeObject(log_, Kind::Hyperlinks));
        break;
      case Kind::Cell:
        if (id == DISPID_VALUE && put) {
          VARIANT v = arg(0, VT_BSTR);
          log_.calls.push_back(Where() + L"=" + std::wstring(v.bstrVal, SysStringLen(v.bstrVal)));
          VariantClear(&v);
          return S_OK;
        }
        if (id == 7 && put) {
          VARIANT v = arg(0, VT_R8);
          if (v.dblVal > log_.widestColumn) {
            log_.calls.push_back(Where() + L".ColumnWidth refused");
            return Refuse(info);
          }
          log_.calls.push_back(Where() + L".ColumnWidth=" + Number(v.dblVal));
          return S_OK;
        }
        break;
      case Kind::Hyperlinks:
        if (id == 8 && (flags & DISPATCH_METHOD) && params->cArgs == 2) {
          VARIANT anchor = arg(0, VT_DISPATCH), address = arg(1, VT_BSTR);
          FakeObject* cell = nullptr;
          if (anchor.pdispVal) anchor.pdispVal->QueryInterface(kFakeObjectIid, reinterpret_cast<void**>(&cell));
          std::wstring call = L"Hyperlinks.Add(" + (cell ? cell->Where() : L"?") + L", " +
                              std::wstring(address.bstrVal, SysStringLen(address.bstrVal)) + L")";
          const bool refused = SysStringLen(address.bstrVal) > log_.longestLink;
          if (cell) cell->Release();
          VariantClear(&anchor);
          VariantClear(&address);
          log_.calls.push_back(call + (refused ? L" refused" : L""));
          return refused ? Refuse(info) : give(new FakeObject(log_, Kind::Hyperlink));
        }
        break;
      default:
        break;
    }
    log_.calls.push_back(L"unexpected call " + std::to_wstring(id));
    return DISP_E_MEMBERNOTFOUND;
  }

  std::wstring Where() const { return L"Cells(" + std::to_wstring(row_) + L"," + std::to_wstring(column_) + L")"; }

 private:
  ExcelLog& log_;
  Kind kind_;
  long row_;
  int column_;
  ULONG refs_ = 1;
};

class FakeExcelFactory : public IClassFactory {
 public:
  explicit FakeExcelFactory(ExcelLog& log) : log_(log) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the fixture's stack: counting is not needed.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    ++log_.created;
    FakeObject* app = new FakeObject(log_, Kind::App);
    const HRESULT hr = app->QueryInterface(iid, out);
    app->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  ExcelLog& log_;
};

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
