#pragma once
// Text conversion and comparison. Text is wide inside the program; code-page
// bytes appear only where a byte format is defined. On Windows these map to
// the platform (MultiByteToWideChar, CompareStringEx); natively to iconv,
// except for decoding code page 932 and UTF-7 (CodePageDecoder.h).
#include <string>
#include <string_view>

namespace vorpa {

inline constexpr unsigned kCodePageUtf7 = 65000;
inline constexpr unsigned kCodePageUtf8 = 65001;
inline constexpr unsigned kCodePageShiftJis = 932;

// The system ANSI code page (932 on a Japanese system). Natively, 932 unless
// the environment variable VORPA_ANSI_CODEPAGE names another.
unsigned SystemAnsiCodePage();

// Bytes in a code page to wide text; never fails. Code page 932 and UTF-7
// decode as Windows decodes them everywhere; in other code pages, bytes that
// do not decode become U+FFFD (natively) or whatever the platform substitutes.
std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage);

// Wide text to bytes in a code page. Characters that the code page cannot hold
// become '?'; *lossless (if given) tells whether that happened.
std::string EncodeCodePage(std::wstring_view text, unsigned codePage, bool* lossless = nullptr);

// The code point at text[i]. wchar_t is UTF-16 on Windows and UTF-32
// elsewhere: a surrogate pair counts as one code point and leaves i on its
// second half; a lone surrogate comes back as itself.
inline char32_t CodePointAt(std::wstring_view text, size_t& i) {
  char32_t cp = static_cast<char32_t>(text[i]);
  if constexpr (sizeof(wchar_t) == 2) {
    cp &= 0xFFFF;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      const char32_t lo = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
  }
  return cp;
}

// Appends one code point as UTF-8. Surrogates and values past U+10FFFF,
// which UTF-8 cannot carry, come out as U+FFFD.
inline void AppendUtf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Appends wide text as UTF-8; a lone surrogate becomes U+FFFD.
inline void AppendUtf8(std::string& out, std::wstring_view text) {
  for (size_t i = 0; i < text.size(); ++i) AppendUtf8(out, CodePointAt(text, i));
}

// UTF-16 little-endian bytes (no byte-order mark) to wide text.
std::wstring DecodeUtf16Le(std::string_view bytes);

// Equality ignoring letter case, as file names compare on Windows.
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b);

// Order for sorting list texts: case-insensitive and locale-aware, like the
// list control's own comparison. <0, 0 or >0.
int CompareForSort(std::wstring_view a, std::wstring_view b);

// Appends the sort key of a text: bytes whose order (unsigned, a prefix
// first) is the order of CompareForSort. A sort then asks the platform once
// per text instead of once per comparison.
void AppendSortKey(std::wstring_view text, std::string& out);

}  // namespace vorpa
