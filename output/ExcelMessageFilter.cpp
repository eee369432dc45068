#include "output/ExcelMessageFilter.h"

#include <string>

#include "app/Messages.h"

namespace vorpa {
namespace {

constexpr wchar_t kNotAnswering[] =
    L"EXCELが応答しません。\n"
    L"このまま待ちますか？\n\n"
    L"「キャンセル」を押すと、ここで表への書き込みをやめます。";

ExcelMessageFilter*& Current() {
  static ExcelMessageFilter* current = nullptr;
  return current;
}

}  // namespace

ExcelMessageFilter::ExcelMessageFilter(HWND owner, const ExcelPatience& patience)
    : owner_(owner), patience_(patience), outer_(Current()) {
  registered_ = SUCCEEDED(CoRegisterMessageFilter(this, previous_.put()));
  Current() = this;
  BeginCall();
  wake_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  stopWaking_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (wake_ && stopWaking_.ok()) {
    const HWND target = wake_;
    const HANDLE stop = stopWaking_.get();
    // A sent message, not a posted one: the wait takes sent messages off the
    // queue, where posted ones would pile up until the call returns.
    waker_ = std::thread([target, stop] {
      while (WaitForSingleObject(stop, 100) == WAIT_TIMEOUT) SendNotifyMessageW(target, WM_NULL, 0, 0);
    });
  }
}

ExcelMessageFilter::~ExcelMessageFilter() {
  if (waker_.joinable()) {
    SetEvent(stopWaking_.get());
    waker_.join();
  }
  stopWaking_.Close();
  if (wake_) DestroyWindow(wake_);
  Current() = outer_;
  if (registered_) {
    ComPtr<IMessageFilter> mine;
    CoRegisterMessageFilter(previous_.get(), mine.put());
  }
}

ExcelMessageFilter* ExcelMessageFilter::Active() { return Current(); }

void ExcelMessageFilter::BeginCall() {
  callStart_ = GetTickCount();
  nextAsk_ = patience_.askAfterMs;
}

bool ExcelMessageFilter::KeepWaiting() {
  if (stopped_) return false;
  const DWORD elapsed = GetTickCount() - callStart_;
  if (elapsed < nextAsk_ || asking_) return true;
  asking_ = true;
  const int answer = ShowMessage(owner_, kNotAnswering, MB_OKCANCEL);
  asking_ = false;
  if (answer != IDOK) {
    stopped_ = true;
    return false;
  }
  nextAsk_ = GetTickCount() - callStart_ + patience_.askAfterMs;
  return true;
}

bool ExcelMessageFilter::WaitToRetry() {
  if (!KeepWaiting()) return false;
  // The window still repaints meanwhile; input waits, as it does during
  // any call into Excel.
  const DWORD start = GetTickCount();
  for (DWORD waited = 0; waited < patience_.retryDelayMs; waited = GetTickCount() - start) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, patience_.retryDelayMs - waited, QS_PAINT | QS_SENDMESSAGE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) DispatchMessageW(&msg);
  }
  return !stopped_;
}

HRESULT ExcelMessageFilter::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
    *out = static_cast<IMessageFilter*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

DWORD ExcelMessageFilter::HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount, LPINTERFACEINFO info) {
  if (previous_) return previous_->HandleInComingCall(callType, caller, tickCount, info);
  return SERVERCALL_ISHANDLED;
}

DWORD ExcelMessageFilter::RetryRejectedCall(HTASK, DWORD, DWORD) {
  // 100 or more: COM waits that many milliseconds, then tries again; -1
  // gives the call up.
  return KeepWaiting() ? patience_.retryDelayMs : static_cast<DWORD>(-1);
}

DWORD ExcelMessageFilter::MessagePending(HTASK, DWORD, DWORD) {
  return KeepWaiting() ? PENDINGMSG_WAITDEFPROCESS : PENDINGMSG_CANCELCALL;
}

}  // namespace vorpa
