#include "cli/FileName.h"

#include "common/Text.h"

namespace vorpa::cli {

std::wstring DecodeFileName(std::string_view bytes, bool* valid) {
  std::wstring out;
  AppendFileName(out, bytes, valid);
  return out;
}

void AppendFileName(std::wstring& out, std::string_view bytes, bool* valid) {
  if (valid) *valid = true;
  // No byte gives more than one unit: a four-byte sequence gives at most two.
  const size_t start = out.size();
  out.resize(start + bytes.size());
  wchar_t* const first = out.data() + start;
  wchar_t* w = first;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char b = byte(i);
    if (b < 0x80) {
      *w++ = static_cast<wchar_t>(b);
      ++i;
      continue;
    }
    size_t n = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    char32_t cp = n == 4 ? b & 0x07 : n == 3 ? b & 0x0F : b & 0x1F;
    bool ok = n > 0 && i + n <= bytes.size();
    for (size_t k = 1; ok && k < n; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if (ok && ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)))
      ok = false;
    if (!ok) {
      if (valid) *valid = false;
      *w++ = static_cast<wchar_t>(0xDC00 + b);
      ++i;
      continue;
    }
    if constexpr (sizeof(wchar_t) == 2) {
      if (cp >= 0x10000) {
        *w++ = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
        *w++ = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        *w++ = static_cast<wchar_t>(cp);
      }
    } else {
      *w++ = static_cast<wchar_t>(cp);
    }
    i += n;
  }
  out.resize(start + static_cast<size_t>(w - first));
}

std::string EncodeFileName(std::wstring_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const char32_t cp = CodePointAt(name, i);
    if (cp >= 0xDC80 && cp <= 0xDCFF) {
      out.push_back(static_cast<char>(cp - 0xDC00));
      continue;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace vorpa::cli
