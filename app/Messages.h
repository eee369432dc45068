#pragma once
// Message boxes of the program: OK only, no icon, the application's title as
// caption. Tests replace the box through SetMessageHook so that a run is not
// blocked by a modal window; the program always shows the real one.
#include <windows.h>

#include <functional>
#include <string>

namespace vorpa {

using MessageHook = std::function<int(HWND owner, const std::wstring& text, UINT type)>;

// Installs a hook (an empty one restores the real message box). Returns the
// previous hook.
MessageHook SetMessageHook(MessageHook hook);

// Shows text with the given MessageBox type (MB_OK unless a question) and
// returns the button pressed.
int ShowMessage(HWND owner, const std::wstring& text, UINT type = MB_OK);

// The application's title, from the string resources.
std::wstring AppTitle();

}  // namespace vorpa
