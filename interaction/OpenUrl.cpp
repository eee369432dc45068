// Opening a row's URL with the shell, at the release after a double-click.
#include "interaction/OpenUrl.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <string>

#include "app/Messages.h"
#include "app/ProgramFolder.h"
#include "app/frmMain.h"
#include "interaction/OpenMessages.h"

namespace vorpa {

namespace {
ShellOpenFunction& Hook() {
  static ShellOpenFunction hook;
  return hook;
}

INT_PTR ShellOpen(HWND owner, const std::wstring& target, const std::wstring& folder,
                  const std::wstring& protocolClass) {
  if (Hook()) return Hook()(owner, target, folder, protocolClass);
  return ShellOpenForReal(owner, target, folder, protocolClass);
}

// ShellExecuteEx reports a failure through GetLastError and leaves hInstApp
// alone on some routes (Wine's class route among them); ShellExecute's codes
// are what the message table speaks of.
INT_PTR CodeFromLastError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND: return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED: return SE_ERR_ACCESSDENIED;
    case ERROR_BAD_FORMAT: return ERROR_BAD_FORMAT;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return 0;
    // Wine's class route fails without a word when the class has no command.
    case ERROR_SUCCESS:
    case ERROR_NO_ASSOCIATION: return SE_ERR_NOASSOC;
    default: return -1;
  }
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
             CSTR_EQUAL;
}
}  // namespace

ShellOpenFunction SetShellOpenHook(ShellOpenFunction hook) {
  ShellOpenFunction old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}

INT_PTR ShellOpenForReal(HWND owner, const std::wstring& target, const std::wstring& folder,
                         const std::wstring& protocolClass) {
  const wchar_t* directory = folder.empty() ? nullptr : folder.c_str();
  if (protocolClass.empty())
    return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", target.c_str(), nullptr, directory, SW_SHOWNORMAL));
  // With the class given, the shell runs that class's open command with the
  // target as its argument and never tries the target itself as a program.
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_CLASSNAME | SEE_MASK_FLAG_NO_UI;
  sei.hwnd = owner;
  sei.lpVerb = L"open";
  sei.lpFile = target.c_str();
  sei.lpDirectory = directory;
  sei.nShow = SW_SHOWNORMAL;
  sei.lpClass = protocolClass.c_str();
  sei.hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(-1));
  SetLastError(ERROR_SUCCESS);
  const BOOL ok = ShellExecuteExW(&sei);
  const DWORD error = GetLastError();
  const auto code = reinterpret_cast<INT_PTR>(sei.hInstApp);
  if (ok) return code > 32 ? code : 33;
  if (code >= 0 && code <= 32) return code;
  return CodeFromLastError(error);
}

bool ShellParsesAsWebAddress(const std::wstring& target, std::wstring_view scheme, std::wstring_view host) {
  PARSEDURLW parsed{};
  parsed.cbSize = sizeof parsed;
  if (FAILED(ParseURLW(target.c_str(), &parsed))) return false;
  const struct {
    const wchar_t* name;
    UINT id;
  } known[] = {{L"http", URL_SCHEME_HTTP}, {L"https", URL_SCHEME_HTTPS}, {L"ftp", URL_SCHEME_FTP},
               {L"mailto", URL_SCHEME_MAILTO}};
  bool schemeAgrees = false;
  for (const auto& k : known)
    if (scheme == k.name)
      schemeAgrees = parsed.nScheme == k.id && EqualsIgnoringCase({parsed.pszProtocol, parsed.cchProtocol}, scheme);
  if (!schemeAgrees) return false;
  if (host.empty()) return scheme == L"mailto";
  // Longer than any host the portable test lets through.
  wchar_t shellHost[300] = {};
  DWORD size = static_cast<DWORD>(std::size(shellHost));
  if (FAILED(UrlGetPartW(target.c_str(), shellHost, &size, URL_PART_HOSTNAME, 0))) return false;
  std::wstring_view seen(shellHost, size);
  // IPv6 literals come back with or without their brackets.
  if (seen.size() >= 2 && seen.front() == L'[' && seen.back() == L']') seen = seen.substr(1, seen.size() - 2);
  return EqualsIgnoringCase(seen, host);
}

}  // namespace vorpa

using namespace vorpa;

void frmMain::lstView_DblClick() { blnDblClick = true; }

void frmMain::OpenUrl(std::optional<size_t> item) {
  if (!item || *item >= rows.size()) return;
  rows.SetSelected(*item, true);
  PushSelectionToView();
  const std::wstring folder = ProgramFolder();
  // The shell sees the text up to its first NUL; judge, show and pass exactly
  // that text.
  const std::wstring target(rows[*item].url.c_str());
  const HWND owner = hwnd_;
  const std::optional<WebAddressParts> web = ParseWebAddress(target);
  const bool isWeb = web && ShellParsesAsWebAddress(target, web->scheme, web->host);
  // A message box runs a message loop; nothing below reads the rows again.
  if (!isWeb && ShowMessage(owner, OpenQuestionText(target), MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
  const INT_PTR result = ShellOpen(owner, target, folder, isWeb ? std::wstring(web->scheme) : std::wstring());
  if (ShellOpenSucceeded(result)) return;
  // The table speaks of 32-bit codes; wider values are other failures.
  const std::int64_t code = (result >= INT32_MIN && result <= INT32_MAX) ? static_cast<std::int64_t>(result) : -1;
  ShowMessage(owner, std::wstring(OpenFailureMessage(code)));
}
