#include "output/ExcelDispatch.h"

#include <oleauto.h>

#include <vector>

#include "common/WebAddress.h"
#include "output/ExcelMessageFilter.h"

namespace vorpa {
namespace {

// Excel's member names are English ones; the calls that take a locale are
// made in US English so that they resolve on every installation.
constexpr LCID kLcid = 1033;

class Variant {
 public:
  Variant() { VariantInit(&v); }
  ~Variant() { VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT v;
};

ExcelPatience& Patience() {
  static ExcelPatience patience;
  return patience;
}

// One call into Excel, tried again while Excel turns it away and the filter
// finds it worth waiting for; none at all once the user chose to stop.
template <typename Attempt>
HRESULT Patiently(Attempt&& attempt) {
  ExcelMessageFilter* filter = ExcelMessageFilter::Active();
  if (!filter) return attempt();
  if (filter->stopped()) return RPC_E_CALL_CANCELED;
  filter->BeginCall();
  for (;;) {
    const HRESULT hr = attempt();
    if ((hr != RPC_E_CALL_REJECTED && hr != RPC_E_SERVERCALL_RETRYLATER) || !filter->WaitToRetry()) return hr;
  }
}

template <typename T>
void Release(T*& p) {
  if (p) {
    // A release reaches Excel too, and may wait on it as long as any call.
    if (ExcelMessageFilter* filter = ExcelMessageFilter::Active()) filter->BeginCall();
    p->Release();
  }
  p = nullptr;
}

HRESULT InvokeId(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
  if (!object) return E_POINTER;
  // IDispatch takes the arguments last first.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID namedPut = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = reversed.empty() ? nullptr : reversed.data();
  params.cArgs = static_cast<UINT>(reversed.size());
  if (flags & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &namedPut;
    params.cNamedArgs = 1;
  }
  return Patiently([&] {
    EXCEPINFO exception{};
    UINT argError = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, kLcid, flags, &params, result, &exception, &argError);
    if (hr == DISP_E_EXCEPTION) {
      SysFreeString(exception.bstrSource);
      SysFreeString(exception.bstrDescription);
      SysFreeString(exception.bstrHelpFile);
    }
    return hr;
  });
}

HRESULT InvokeName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
  if (!object) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  const HRESULT hr = Patiently([&] { return object->GetIDsOfNames(IID_NULL, names, 1, kLcid, &id); });
  if (FAILED(hr)) return hr;
  return InvokeId(object, id, flags, std::move(args), result);
}

// A property or method that answers with an object: a new reference or null.
IDispatch* GetDispatch(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args = {}) {
  Variant result;
  if (FAILED(InvokeName(object, name, flags, std::move(args), &result.v)) || result.v.vt != VT_DISPATCH ||
      !result.v.pdispVal)
    return nullptr;
  IDispatch* out = result.v.pdispVal;
  out->AddRef();
  return out;
}

VARIANT Long(long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

constexpr WORD kGet = DISPATCH_PROPERTYGET | DISPATCH_METHOD;

}  // namespace

void ExcelApplication::SetPatience(const ExcelPatience& patience) { Patience() = patience; }

std::unique_ptr<ExcelApplication> ExcelApplication::Start(HWND owner) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"Excel.application", &clsid))) return nullptr;
  std::unique_ptr<ExcelApplication> excel(new ExcelApplication());
  // Each creation starts an Excel of its own, which has no sheet to be busy
  // with yet; the start itself is bounded by COM.
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, reinterpret_cast<void**>(&excel->app_))))
    return nullptr;
  excel->filter_ = std::make_unique<ExcelMessageFilter>(owner, Patience());
  excel->workbooks_ = GetDispatch(excel->app_, L"Workbooks", kGet);
  excel->workbook_ = GetDispatch(excel->workbooks_, L"Add", DISPATCH_METHOD);
  // A user who chose to stop waiting for the workbook is not told that
  // there is no Excel.
  if (!excel->workbook_ && !excel->filter_->stopped()) return nullptr;
  return excel;
}

ExcelApplication::~ExcelApplication() {
  Release(hyperlinks_);
  Release(cells_);
  Release(workbook_);
  Release(workbooks_);
  Release(app_);
}

void ExcelApplication::SetVisible() {
  VARIANT on;
  VariantInit(&on);
  on.vt = VT_BOOL;
  on.boolVal = VARIANT_TRUE;
  InvokeName(app_, L"Visible", DISPATCH_PROPERTYPUT, {on}, nullptr);
}

IDispatch* ExcelApplication::Cells() {
  if (!cells_) cells_ = GetDispatch(app_, L"Cells", kGet);
  return cells_;
}

IDispatch* ExcelApplication::Cell(long row, int column) {
  return GetDispatch(Cells(), L"Item", kGet, {Long(row), Long(column)});
}

bool ExcelApplication::SetCell(long row, int column, const std::wstring& text) {
  IDispatch* cell = Cell(row, column);
  if (!cell) return false;
  // Excel reads an assigned string the way it reads typing: "=..." becomes a
  // formula, "1-2" a date, "007" the number 7. The leading apostrophe makes it
  // keep the text as it is, and is not itself part of the cell's value.
  Variant value;
  value.v.vt = VT_BSTR;
  value.v.bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(text.size() + (text.empty() ? 0 : 1)));
  if (!value.v.bstrVal) {
    cell->Release();
    return false;
  }
  if (!text.empty()) {
    value.v.bstrVal[0] = L'\'';
    text.copy(value.v.bstrVal + 1, text.size());
  }
  const HRESULT hr = InvokeId(cell, DISPID_VALUE, DISPATCH_PROPERTYPUT, {value.v}, nullptr);
  cell->Release();
  return SUCCEEDED(hr);
}

bool ExcelApplication::AddHyperlink(long row, int column, const std::wstring& address) {
  // Excel follows a link at one click, with no question asked.
  if (!IsWebAddress(address)) return false;
  if (!hyperlinks_) hyperlinks_ = GetDispatch(Cells(), L"Hyperlinks", kGet);
  if (!hyperlinks_) return false;
  IDispatch* anchor = Cell(row, column);
  if (!anchor) return false;
  VARIANT anchorArg;
  VariantInit(&anchorArg);
  anchorArg.vt = VT_DISPATCH;
  anchorArg.pdispVal = anchor;
  Variant addressArg;
  addressArg.v.vt = VT_BSTR;
  addressArg.v.bstrVal = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
  Variant link;
  const HRESULT hr = addressArg.v.bstrVal
                         ? InvokeName(hyperlinks_, L"Add", DISPATCH_METHOD, {anchorArg, addressArg.v}, &link.v)
                         : E_OUTOFMEMORY;
  anchor->Release();
  return SUCCEEDED(hr);
}

bool ExcelApplication::SetColumnWidth(int column, double width) {
  IDispatch* cell = Cell(1, column);
  if (!cell) return false;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_R8;
  value.dblVal = width;
  const HRESULT hr = InvokeName(cell, L"ColumnWidth", DISPATCH_PROPERTYPUT, {value}, nullptr);
  cell->Release();
  return SUCCEEDED(hr);
}

}  // namespace vorpa
