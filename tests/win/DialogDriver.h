#pragma once
// Works a modal dialog of the test's thread from a second thread, as a user
// would, while the test's thread sits in the dialog's modal loop.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/win/WinTestSupport.h"

namespace vorpa::test {

inline std::wstring WindowText(HWND w) {
  wchar_t text[512] = {};
  GetWindowTextW(w, text, 512);
  return text;
}

inline std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

// Waits on its own thread for a dialog of `thread`, hands it to `act`, and
// cancels whatever dialog is still open after that so that no test hangs.
class DialogDriver {
 public:
  // act(dialog, tree) returns the button to press.
  using Action = std::function<int(HWND dialog, HWND tree)>;
  explicit DialogDriver(Action act) : act_(std::move(act)), owner_(GetCurrentThreadId()) {
    worker_ = std::thread([this] { Run(); });
  }
  ~DialogDriver() {
    stop_ = true;
    worker_.join();
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  bool sawDialog() const { return saw_; }
  const std::wstring& prompt() const { return prompt_; }

 private:
  static BOOL CALLBACK FindPrompt(HWND w, LPARAM out) {
    const std::wstring text = WindowText(w);
    if (text.find(L"ＯＫ") != std::wstring::npos) *reinterpret_cast<std::wstring*>(out) = text;
    return TRUE;
  }
  void Run() {
    for (int waited = 0; waited < 10000 && !stop_; waited += 50) {
      HWND dialog = FindThreadDialog(owner_);
      if (!dialog) {
        Sleep(50);
        continue;
      }
      saw_ = true;
      EnumChildWindows(dialog, FindPrompt, reinterpret_cast<LPARAM>(&prompt_));
      Sleep(200);  // let the tree fill
      const int button = act_(dialog, FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr));
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
      return;
    }
  }

  Action act_;
  DWORD owner_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> saw_{false};
  std::wstring prompt_;
  std::thread worker_;
};

// The names of the root item's children.
inline std::vector<std::wstring> ChildNames(HWND tree, std::vector<HTREEITEM>* items = nullptr) {
  const HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  std::vector<std::wstring> names;
  for (HTREEITEM item =
           reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
       item; item = reinterpret_cast<HTREEITEM>(
                 SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    names.push_back(ItemText(tree, item));
    if (items) items->push_back(item);
  }
  return names;
}

// Selects the root's child named `name` in a folder browser's tree; false
// when there is none.
inline bool SelectChild(HWND tree, const std::wstring& name) {
  std::vector<HTREEITEM> items;
  const std::vector<std::wstring> names = ChildNames(tree, &items);
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items[i])) != 0;
  return false;
}

}  // namespace vorpa::test
