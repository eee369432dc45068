#pragma once
// Shared pieces of the Windows tests: a real main window per test, message
// pumping, recorded message boxes, temporary folders.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "app/frmMain.h"

namespace vorpa::test {

// Runs pending messages of this thread.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The first visible dialog box (class #32770) of a thread, or null.
inline BOOL CALLBACK FindDialogProc(HWND w, LPARAM found) {
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}
inline HWND FindThreadDialog(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(thread, FindDialogProc, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Records message boxes instead of showing them; answers with `reply`.
class MessageRecorder {
 public:
  explicit MessageRecorder(int reply = IDOK) : reply_(reply) {
    previous_ = SetMessageHook([this](HWND, const std::wstring& text, UINT type) {
      texts.push_back(text);
      types.push_back(type);
      return reply_;
    });
  }
  ~MessageRecorder() { SetMessageHook(std::move(previous_)); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;
  void SetReply(int reply) { reply_ = reply; }

  std::vector<std::wstring> texts;
  std::vector<UINT> types;

 private:
  int reply_;
  MessageHook previous_;
};

// A real main window, created for each test and closed after it.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<frmMain>();
    ASSERT_TRUE(form_->Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL, false));
    Pump();
  }
  void TearDown() override {
    if (form_->hwnd()) DestroyWindow(form_->hwnd());
    form_.reset();
    Pump();
  }
  frmMain& form() { return *form_; }
  HWND list() { return form_->lstView; }
  void Command(UINT id) { SendMessageW(form_->hwnd(), WM_COMMAND, id, 0); }

  // The texts the list shows for a row, read back through the control.
  std::wstring ItemText(int row, int column) {
    wchar_t buf[4096] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = static_cast<int>(std::size(buf));
    SendMessageW(list(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buf;
  }
  int ItemCount() { return static_cast<int>(SendMessageW(list(), LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring HeaderText(int column) { return form_->ColumnCaption(column); }
  int HeaderWidth(int column) { return static_cast<int>(SendMessageW(list(), LVM_GETCOLUMNWIDTH, column, 0)); }

 private:
  std::unique_ptr<frmMain> form_;
};

// A fresh folder under the temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    path_ = std::filesystem::path(base) /
            (L"vorpa-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    std::error_code ec;
    std::filesystem::remove_all(Extended(path_), ec);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Extended(path_), ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::wstring str() const { return path_.wstring(); }

 private:
  // Tests make paths longer than MAX_PATH inside the folder; the extended
  // form lets the clean-up reach them.
  static std::filesystem::path Extended(const std::filesystem::path& p) { return L"\\\\?\\" + p.wstring(); }

  std::filesystem::path path_;
};

}  // namespace vorpa::test
