#include "output/ExcelDispatch.h"

#include <oleauto.h>

#include <vector>

#include "common/WebAddress.h"
#include "common/WinOwners.h"
#include "output/ExcelMessageFilter.h"

namespace vorpa {
namespace {

// Excel's member names are English ones; the calls that take a locale are
// made in US English so that they resolve on every installation.
constexpr LCID kLcid = 1033;

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

void ReleaseFromExcel(ComPtr<IDispatch>& p) {
  if (p) {
    // A release reaches Excel too, and may wait on it as long as any call.
    if (ExcelMessageFilter* filter = ExcelMessageFilter::Active()) filter->BeginCall();
  }
  p.reset();
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
      // Excel's texts about the failure are ours to free.
      UniqueBstr source(exception.bstrSource), description(exception.bstrDescription), help(exception.bstrHelpFile);
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
ComPtr<IDispatch> GetDispatch(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args = {}) {
  UniqueVariant result;
  if (FAILED(InvokeName(object, name, flags, std::move(args), result.put())) || result.get().vt != VT_DISPATCH)
    return nullptr;
  return ComPtr<IDispatch>::Share(result.get().pdispVal);
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
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, excel->app_.put_void()))) return nullptr;
  excel->filter_ = std::make_unique<ExcelMessageFilter>(owner, Patience());
  excel->workbooks_ = GetDispatch(excel->app_.get(), L"Workbooks", kGet);
  excel->workbook_ = GetDispatch(excel->workbooks_.get(), L"Add", DISPATCH_METHOD);
  // A user who chose to stop waiting for the workbook is not told that
  // there is no Excel.
  if (!excel->workbook_ && !excel->filter_->stopped()) return nullptr;
  return excel;
}

ExcelApplication::~ExcelApplication() {
  ReleaseFromExcel(hyperlinks_);
  ReleaseFromExcel(cells_);
  ReleaseFromExcel(workbook_);
  ReleaseFromExcel(workbooks_);
  ReleaseFromExcel(app_);
}

void ExcelApplication::SetVisible() {
  VARIANT on;
  VariantInit(&on);
  on.vt = VT_BOOL;
  on.boolVal = VARIANT_TRUE;
  InvokeName(app_.get(), L"Visible", DISPATCH_PROPERTYPUT, {on}, nullptr);
}

IDispatch* ExcelApplication::Cells() {
  if (!cells_) cells_ = GetDispatch(app_.get(), L"Cells", kGet);
  return cells_.get();
}

ComPtr<IDispatch> ExcelApplication::Cell(long row, int column) {
  return GetDispatch(Cells(), L"Item", kGet, {Long(row), Long(column)});
}

bool ExcelApplication::SetCell(long row, int column, const std::wstring& text) {
  const ComPtr<IDispatch> cell = Cell(row, column);
  if (!cell) return false;
  // Excel reads an assigned string the way it reads typing: "=..." becomes a
  // formula, "1-2" a date, "007" the number 7. The leading apostrophe makes it
  // keep the text as it is, and is not itself part of the cell's value.
  UniqueBstr quoted = UniqueBstr::FromText(text.empty() ? std::wstring() : L"'" + text);
  if (!quoted) return false;
  const UniqueVariant value(std::move(quoted));
  return SUCCEEDED(InvokeId(cell.get(), DISPID_VALUE, DISPATCH_PROPERTYPUT, {value.get()}, nullptr));
}

bool ExcelApplication::AddHyperlink(long row, int column, const std::wstring& address) {
  // Excel follows a link at one click, with no question asked.
  if (!IsWebAddress(address)) return false;
  if (!hyperlinks_) hyperlinks_ = GetDispatch(Cells(), L"Hyperlinks", kGet);
  if (!hyperlinks_) return false;
  const ComPtr<IDispatch> anchor = Cell(row, column);
  if (!anchor) return false;
  // Lent to the call: the cell's reference stays with `anchor`.
  VARIANT anchorArg;
  VariantInit(&anchorArg);
  anchorArg.vt = VT_DISPATCH;
  anchorArg.pdispVal = anchor.get();
  UniqueBstr text = UniqueBstr::FromText(address);
  if (!text) return false;
  const UniqueVariant addressArg(std::move(text));
  UniqueVariant link;
  return SUCCEEDED(InvokeName(hyperlinks_.get(), L"Add", DISPATCH_METHOD, {anchorArg, addressArg.get()}, link.put()));
}

bool ExcelApplication::SetColumnWidth(int column, double width) {
  const ComPtr<IDispatch> cell = Cell(1, column);
  if (!cell) return false;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_R8;
  value.dblVal = width;
  return SUCCEEDED(InvokeName(cell.get(), L"ColumnWidth", DISPATCH_PROPERTYPUT, {value}, nullptr));
}

}  // namespace vorpa
