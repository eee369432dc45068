#pragma once
// The shell call that opens a row's URL, replaceable so that tests can answer
// with any result code.
#include <windows.h>

#include <functional>
#include <string>

namespace vorpa {

// Gets the window, the target and the folder to run in; returns the shell's
// result as ShellExecute gives it.
using ShellOpenFunction = std::function<INT_PTR(HWND owner, const std::wstring& target, const std::wstring& folder)>;

// Installs a replacement (an empty one restores the real shell call) and
// returns the previous one.
ShellOpenFunction SetShellOpenHook(ShellOpenFunction hook);

}  // namespace vorpa
