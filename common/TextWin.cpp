#include "common/Text.h"

#include <windows.h>

#include <climits>

namespace vorpa {

unsigned SystemAnsiCodePage() { return GetACP(); }

std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int n = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), n, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), n, out.data(), needed);
  return out;
}

std::string EncodeCodePage(std::wstring_view text, unsigned codePage, bool* lossless) {
  if (lossless) *lossless = true;
  if (text.empty() || text.size() > INT_MAX) return {};
  const int n = static_cast<int>(text.size());
  // UTF-7 and UTF-8 accept neither a default character nor the lossy flag.
  const bool utf = codePage == kCodePageUtf7 || codePage == kCodePageUtf8;
  BOOL usedDefault = FALSE;
  BOOL* flag = utf ? nullptr : &usedDefault;
  const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
  const int needed = WideCharToMultiByte(codePage, flags, text.data(), n, nullptr, 0, nullptr, flag);
  if (needed <= 0) {
    if (lossless) *lossless = false;
    return {};
  }
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), n, out.data(), needed, nullptr, flag);
  if (lossless && usedDefault) *lossless = false;
  return out;
}

std::wstring DecodeUtf16Le(std::string_view bytes) {
  std::wstring out(bytes.size() / 2, L'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                  (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  if (a.size() > INT_MAX) return false;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

int CompareForSort(std::wstring_view a, std::wstring_view b) {
  const int r = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                nullptr, nullptr, 0);
  if (r == 0) return a.compare(b);  // the platform refused: fall back to ordinal
  return r - CSTR_EQUAL;
}

void AppendSortKey(std::wstring_view text, std::string& out) {
  // The platform refuses empty text; no other text orders before it.
  if (text.empty()) return;
  if (text.size() > INT_MAX) text = text.substr(0, INT_MAX);
  constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
  const int n = static_cast<int>(text.size());
  // Most keys fit on the stack, which saves the sizing call.
  BYTE local[512];
  int got = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.data(), n, reinterpret_cast<LPWSTR>(local),
                          static_cast<int>(sizeof local), nullptr, nullptr, 0);
  if (got > 0) {
    out.append(reinterpret_cast<const char*>(local), static_cast<size_t>(got - 1));  // without its closing 0
    return;
  }
  const int needed = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.data(), n, nullptr, 0, nullptr, nullptr, 0);
  if (needed > 0) {
    std::string key(static_cast<size_t>(needed), '\0');
    got = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.data(), n, reinterpret_cast<LPWSTR>(key.data()),
                        needed, nullptr, nullptr, 0);
    if (got > 0) {
      out.append(key.data(), static_cast<size_t>(got - 1));
      return;
    }
  }
  // The platform gave no key: order such text after all others, by its code units.
  out.push_back(static_cast<char>(0xFF));
  for (wchar_t ch : text) {
    out.push_back(static_cast<char>((ch >> 8) & 0xFF));
    out.push_back(static_cast<char>(ch & 0xFF));
  }
}

}  // namespace vorpa
