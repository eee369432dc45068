#include "app/Messages.h"

#include "app/resource.h"

namespace vorpa {
namespace {
MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}
}  // namespace

MessageHook SetMessageHook(MessageHook hook) {
  MessageHook old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}

int ShowMessage(HWND owner, const std::wstring& text, UINT type) {
  if (Hook()) return Hook()(owner, text, type);
  return MessageBoxW(owner, text.c_str(), AppTitle().c_str(), type);
}

std::wstring AppTitle() {
  const wchar_t* p = nullptr;
  // With a zero length LoadString hands back a pointer into the resource.
  const int n = LoadStringW(GetModuleHandleW(nullptr), IDS_APP_TITLE, reinterpret_cast<LPWSTR>(&p), 0);
  return n > 0 && p ? std::wstring(p, static_cast<size_t>(n)) : std::wstring(L"VORPA");
}

}  // namespace vorpa
