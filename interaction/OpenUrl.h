#pragma once
// The shell call that opens a row's URL, replaceable so that tests can answer
// with any result code.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace vorpa {

// Gets the window, the target, the folder to run in and the protocol class
// (the scheme of a web address, launched through its association alone; empty
// for anything else); returns the shell's result as ShellExecute gives it.
using ShellOpenFunction = std::function<INT_PTR(HWND owner, const std::wstring& target, const std::wstring& folder,
                                                const std::wstring& protocolClass)>;

// Installs a replacement (an empty one restores the real shell call) and
// returns the previous one.
ShellOpenFunction SetShellOpenHook(ShellOpenFunction hook);

// The real shell call, whatever hook is installed.
INT_PTR ShellOpenForReal(HWND owner, const std::wstring& target, const std::wstring& folder,
                         const std::wstring& protocolClass);

// True when the shell's own URL parser reads target as the same scheme and
// host that the portable test found in it.
bool ShellParsesAsWebAddress(const std::wstring& target, std::wstring_view scheme, std::wstring_view host);

}  // namespace vorpa
