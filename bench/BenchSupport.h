#pragma once
// Shared by the Windows benchmarks: a clock, a hidden main window, the
// result line, memory counters.
#include <windows.h>
#define PSAPI_VERSION 2
#include <commctrl.h>
#include <ole2.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/frmMain.h"

namespace vorpa::bench {

inline double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <class F>
double TimeMs(F&& f) {
  const double t0 = NowMs();
  f();
  return NowMs() - t0;
}

inline void Report(const char* name, double ours, double baseline, double aim) {
  std::printf("%s: %.1f ms vs %.1f ms baseline, ratio %.2f (aim <= %.2f)\n", name, ours, baseline,
              baseline > 0 ? ours / baseline : 0.0, aim);
  std::fflush(stdout);
}

inline PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc;
}

// The real main window, hidden, set up as the program sets itself up.
class HiddenMainWindow {
 public:
  HiddenMainWindow() {
    ole_ = OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    ok_ = form_.Create(GetModuleHandleW(nullptr), SW_HIDE, false);
  }
  ~HiddenMainWindow() {
    if (form_.hwnd()) DestroyWindow(form_.hwnd());
    if (SUCCEEDED(ole_)) OleUninitialize();
  }
  HiddenMainWindow(const HiddenMainWindow&) = delete;
  HiddenMainWindow& operator=(const HiddenMainWindow&) = delete;
  bool ok() const { return ok_; }
  frmMain& form() { return form_; }

 private:
  HRESULT ole_ = E_FAIL;
  frmMain form_;
  bool ok_ = false;
};

inline std::wstring ScratchFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId());
}

}  // namespace vorpa::bench
