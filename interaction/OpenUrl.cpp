// Opening a row's URL with the shell, at the release after a double-click.
#include "interaction/OpenUrl.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "app/Messages.h"
#include "app/ProgramFolder.h"
#include "app/frmMain.h"
#include "common/WinOwners.h"
#include "common/WinSystem.h"
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
    case ERROR_FILE_NOT_FOUND:
      return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND:
      return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED:
      return SE_ERR_ACCESSDENIED;
    case ERROR_BAD_FORMAT:
      return ERROR_BAD_FORMAT;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return 0;
    // Wine's class route fails without a word when the class has no command.
    case ERROR_SUCCESS:
    case ERROR_NO_ASSOCIATION:
      return SE_ERR_NOASSOC;
    default:
      return -1;
  }
}

// The local path that the shell makes of a "file:" URL before it opens it
// (its own conversion, the one ShellExecute calls), in full form: "." and
// ".." folded away as the file system folds them. Empty when the shell
// cannot convert it.
std::wstring ShellLocalPath(const std::wstring& url) {
  static const auto convert = SystemExport<decltype(&::PathCreateFromUrlW)>(L"shlwapi.dll", "PathCreateFromUrlW");
  if (!convert) return {};
  std::wstring path(32768, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  if (FAILED(convert(url.c_str(), path.data(), &size, 0))) return {};
  path.resize(std::min<size_t>(size, path.size()));
  path.resize(wcsnlen(path.c_str(), path.size()));
  if (path.empty() || HasControlCharacter(path)) return path;
  std::wstring full(32768, L'\0');
  const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return full;
}

// True when no class of that name is registered: the shell then has no
// program for the scheme.
bool SchemeHasNoAssociation(std::wstring_view scheme) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, std::wstring(scheme).c_str(), 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_SUCCESS) RegCloseKey(key);
  return status == ERROR_FILE_NOT_FOUND;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                      static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
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
  ShellRequest request;
  request.file = target.c_str();
  request.directory = directory;
  request.protocolClass = protocolClass.c_str();
  request.mask = SEE_MASK_FLAG_NO_UI;
  const ShellAnswer answer = RunShell(owner, request);
  if (answer.ok) return answer.code > 32 ? answer.code : 33;
  if (answer.code >= 0 && answer.code <= 32) return answer.code;
  return CodeFromLastError(answer.error);
}

bool ShellParsesAsWebAddress(const std::wstring& target, std::wstring_view scheme, std::wstring_view host) {
  // The RFC 3986 parser that the shell's URL monikers use; shlwapi's older
  // one cuts an IPv6 literal at its first colon.
  // urlmon is no KnownDLL: a static import would be looked up beside the
  // program before the DLL search is restricted, so it comes from the system
  // folder, once.
  static const auto createUri = SystemExport<decltype(&::CreateUri)>(L"urlmon.dll", "CreateUri");
  ComPtr<IUri> uri;
  if (!createUri || FAILED(createUri(target.c_str(), Uri_CREATE_NO_DECODE_EXTRA_INFO, 0, uri.put())) || !uri)
    return false;
  DWORD schemeId = URL_SCHEME_INVALID;
  UniqueBstr schemeName;
  UniqueBstr uriHost;
  const bool parsed = SUCCEEDED(uri->GetScheme(&schemeId)) && SUCCEEDED(uri->GetSchemeName(schemeName.put())) &&
                      SUCCEEDED(uri->GetHost(uriHost.put()));
  const std::wstring_view shellScheme = schemeName.view();
  std::wstring_view shellHost = uriHost.view();
  // IPv6 literals come back with or without their brackets.
  if (shellHost.size() >= 2 && shellHost.front() == L'[' && shellHost.back() == L']')
    shellHost = shellHost.substr(1, shellHost.size() - 2);
  const struct {
    const wchar_t* name;
    DWORD id;
  } known[] = {{L"http", URL_SCHEME_HTTP},
               {L"https", URL_SCHEME_HTTPS},
               {L"ftp", URL_SCHEME_FTP},
               {L"mailto", URL_SCHEME_MAILTO}};
  bool agrees = false;
  for (const auto& k : known)
    if (parsed && scheme == k.name)
      agrees = schemeId == k.id && EqualsIgnoringCase(shellScheme, scheme) &&
               (scheme == L"mailto" || (!host.empty() && EqualsIgnoringCase(shellHost, host)));
  return agrees;
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
  // Nothing can run for an empty target or a bare scheme that no program is
  // registered for: the shell's answer alone is shown.
  const std::wstring_view bareScheme = BareSchemeOf(target);
  const bool nothingToRun = target.empty() || (!bareScheme.empty() && SchemeHasNoAssociation(bareScheme));
  // A message box runs a message loop; nothing below reads the rows again.
  if (!isWeb && !nothingToRun) {
    std::wstring localPath;
    if (IsFileUrl(target)) {
      // The shell opens the path it decodes, which ends at a %00 that the
      // URL's text runs past.
      localPath = ShellLocalPath(target);
      if (FileUrlHidesControl(target) || HasControlCharacter(localPath)) {
        ShowMessage(owner, FileUrlRefusedText(target));
        return;
      }
    }
    if (ShowMessage(owner, OpenQuestionText(target, localPath), MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
  }
  const INT_PTR result = ShellOpen(owner, target, folder, isWeb ? std::wstring(web->scheme) : std::wstring());
  if (ShellOpenSucceeded(result)) return;
  // The table speaks of 32-bit codes; wider values are other failures.
  const std::int64_t code = (result >= INT32_MIN && result <= INT32_MAX) ? static_cast<std::int64_t>(result) : -1;
  ShowMessage(owner, std::wstring(OpenFailureMessage(code)));
}
