#pragma once
// Excel's automation objects as the tests stand them in: each call the
// export makes is written down, and refusals are made on request. Used in
// the test process itself and by the out-of-process server.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace vorpa::test {

// {6B1C2A9E-4D7F-4E8B-9C21-7A3F5E0D1B42}
constexpr CLSID kFakeExcelClsid = {0x6b1c2a9e, 0x4d7f, 0x4e8b, {0x9c, 0x21, 0x7a, 0x3f, 0x5e, 0x0d, 0x1b, 0x42}};
// The same objects served by a program of their own (tests/winserver).
// {6B1C2AA0-4D7F-4E8B-9C21-7A3F5E0D1B44}
constexpr CLSID kFakeServerClsid = {0x6b1c2aa0, 0x4d7f, 0x4e8b, {0x9c, 0x21, 0x7a, 0x3f, 0x5e, 0x0d, 0x1b, 0x44}};
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
  DWORD hangMs = 0;                // the first write into row 2 takes this long
  int rejected = 0;                // calls that a message filter turned away
};

enum class Kind { App, Workbooks, Workbook, Cells, Cell, Hyperlinks, Hyperlink };

inline std::wstring Number(double v) {
  wchar_t buf[32];
  swprintf(buf, 32, L"%g", v);
  return buf;
}

inline HRESULT Refuse(EXCEPINFO* info) {
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
          if (log_.hangMs && row_ == 2) {
            Sleep(log_.hangMs);
            log_.hangMs = 0;
          }
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

}  // namespace vorpa::test
