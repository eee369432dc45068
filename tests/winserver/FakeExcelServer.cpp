// Excel as a program of its own, for the tests: an out-of-process automation
// server that COM starts from its LocalServer32 key. It serves the objects of
// FakeExcel.h behind a message filter that turns calls away the way a busy
// Excel does, and writes down what it was asked when the client lets go.
// Settings come from the environment that the test hands on:
//   VORPA_FAKE_EXCEL_LOG    file for the calls, one a line, in UTF-8
//   VORPA_FAKE_EXCEL_BUSY   how many calls to turn away once Excel is visible
//   VORPA_FAKE_EXCEL_ANSWER "rejected" or "retrylater": the filter's answer
//   VORPA_FAKE_EXCEL_HANG   milliseconds the first write into row 2 takes
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/win/FakeExcel.h"

using namespace vorpa::test;

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buf[32768];
  const DWORD n = GetEnvironmentVariableW(name, buf, 32768);
  return n > 0 && n < 32768 ? std::wstring(buf, n) : std::wstring();
}

class BusyFilter : public IMessageFilter {
 public:
  BusyFilter(ExcelLog& log, int busy, DWORD answer) : log_(log), busy_(busy), answer_(answer) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
      *out = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  // Busy from the moment the sheet is visible, as when the user clicks into
  // it while it fills.
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    lastCall = GetTickCount();
    bool visible = false;
    for (const std::wstring& c : log_.calls) visible = visible || c == L"Visible=true";
    if (visible && log_.rejected < busy_) {
      ++log_.rejected;
      return answer_;
    }
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

  DWORD lastCall = GetTickCount();

 private:
  ExcelLog& log_;
  int busy_;
  DWORD answer_;
};

void WriteLog(const std::wstring& path, const ExcelLog& log) {
  std::wstring text;
  for (const std::wstring& c : log.calls) text += c + L"\n";
  text += L"rejected " + std::to_wstring(log.rejected) + L"\n";
  text += L"live " + std::to_wstring(log.live) + L"\n";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  // Written beside the file and moved in place, so that the test never reads
  // half of it.
  const std::wstring temp = path + L".tmp";
  HANDLE f = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  ExcelLog log;
  log.hangMs = static_cast<DWORD>(_wtoi(Env(L"VORPA_FAKE_EXCEL_HANG").c_str()));
  BusyFilter filter(log, _wtoi(Env(L"VORPA_FAKE_EXCEL_BUSY").c_str()),
                    Env(L"VORPA_FAKE_EXCEL_ANSWER") == L"retrylater" ? SERVERCALL_RETRYLATER : SERVERCALL_REJECTED);
  IMessageFilter* previous = nullptr;
  CoRegisterMessageFilter(&filter, &previous);
  FakeExcelFactory factory(log);
  DWORD cookie = 0;
  if (FAILED(CoRegisterClassObject(kFakeServerClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie)))
    return 2;
  // Until the client has let go of every object, or has not called for a
  // while (a client that stopped waiting leaves its objects behind). What it
  // was asked so far is on disk all the time.
  const std::wstring logFile = Env(L"VORPA_FAKE_EXCEL_LOG");
  SetTimer(nullptr, 0, 50, nullptr);
  size_t logged = 0;
  MSG msg;
  while (GetTickCount() - filter.lastCall < 10000 && !(log.created > 0 && log.live == 0) &&
         GetMessageW(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageW(&msg);
    if (log.calls.size() != logged) WriteLog(logFile, log);
    logged = log.calls.size();
  }
  CoRevokeClassObject(cookie);
  WriteLog(logFile, log);
  CoRegisterMessageFilter(previous, nullptr);
  CoUninitialize();
  return 0;
}
