#pragma once
// The message filter of the thread while the sheet is filled through
// automation. Without one, COM drops at once a call that a busy Excel turns
// away (the user is typing in the visible sheet, a dialog of Excel is open),
// and cells vanish without a word; and it waits for ever on an Excel that
// does not answer. With it, a turned-away call is tried again, and a call
// that stays busy or unanswered for a while asks the user whether to go on
// waiting or to stop filling the sheet.
#include <windows.h>
// The other platform headers need windows.h before them.
#include <objidl.h>

#include <thread>

#include "common/WinFile.h"
#include "common/WinOwners.h"

namespace vorpa {

struct ExcelPatience {
  DWORD retryDelayMs = 250;  // between two tries of a turned-away call
  // How long one call may stay busy or unanswered before the user is asked,
  // and again after each answer to wait on.
  DWORD askAfterMs = 15000;
};

class ExcelMessageFilter final : public IMessageFilter {
 public:
  // Takes the place of the thread's filter (the thread is a single-threaded
  // apartment) until it is destroyed, which puts the earlier one back.
  ExcelMessageFilter(HWND owner, const ExcelPatience& patience);
  ~ExcelMessageFilter();
  ExcelMessageFilter(const ExcelMessageFilter&) = delete;
  ExcelMessageFilter& operator=(const ExcelMessageFilter&) = delete;

  // The filter of the export running on this thread, or null.
  static ExcelMessageFilter* Active();

  // Each call into Excel starts its own clock of patience.
  void BeginCall();
  // The user chose to stop: every further call is left out.
  bool stopped() const { return stopped_; }
  // For a call that came back turned away without COM asking this filter
  // first (Wine's COM never does): waits before the next try as
  // RetryRejectedCall would. False when the call is to be given up.
  bool WaitToRetry();

  // COM only borrows the filter, which lives as long as the export.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                             LPINTERFACEINFO info) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount, DWORD rejectType) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) override;

 private:
  // Whether the current call is worth waiting for; asks the user once its
  // patience is used up.
  bool KeepWaiting();

  HWND owner_;
  ExcelPatience patience_;
  ComPtr<IMessageFilter> previous_;  // put back when this one goes
  bool registered_ = false;
  bool stopped_ = false;
  bool asking_ = false;
  DWORD callStart_ = 0;
  DWORD nextAsk_ = 0;
  ExcelMessageFilter* outer_ = nullptr;
  // COM looks at the filter only when a message reaches the thread while it
  // waits; an Excel that hangs sends none. A second thread sends one to a
  // window of ours a few times a second, so that the wait is looked at.
  HWND wake_ = nullptr;
  UniqueHandle stopWaking_;
  std::thread waker_;
};

}  // namespace vorpa
