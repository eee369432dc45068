#include <errno.h>
#include <iconv.h>

#include <cstdlib>
#include <cwctype>
#include <string>

#include "common/CodePageDecoder.h"
#include "common/Text.h"

namespace vorpa {
namespace {

const char* IconvName(unsigned codePage) {
  switch (codePage) {
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 874: return "CP874";
    case 20127: return "ASCII";
    case kCodePageUtf7: return "UTF-7";
    case kCodePageUtf8: return "UTF-8";
    default: return nullptr;
  }
}

// wchar_t is 32 bits here: one code point per element.
constexpr const char* kWide = "UTF-32LE";

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

unsigned SystemAnsiCodePage() {
  if (const char* v = std::getenv("VORPA_ANSI_CODEPAGE")) {
    const unsigned long cp = std::strtoul(v, nullptr, 10);
    if (cp != 0) return static_cast<unsigned>(cp);
  }
  return kCodePageShiftJis;
}

std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage) {
  // The two code pages a shortcut is read in follow Windows' own rules,
  // which iconv does not (see CodePageDecoder.h).
  if (codePage == kCodePageShiftJis) return DecodeCp932(bytes);
  if (codePage == kCodePageUtf7) return DecodeUtf7(bytes);
  const char* name = IconvName(codePage);
  if (!name || bytes.empty()) return {};
  Iconv cd(kWide, name);
  if (!cd.ok()) return {};
  std::wstring out;
  out.reserve(bytes.size());
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buf[4096];
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    const size_t r = iconv(cd.get(), &in, &inLeft, &o, &oLeft);
    // Saved at once: the appends below may allocate, and allocation may
    // change errno.
    const int err = errno;
    for (char* p = buf; p + 4 <= o; p += 4) {
      const unsigned char* u = reinterpret_cast<unsigned char*>(p);
      out.push_back(static_cast<wchar_t>(u[0] | (u[1] << 8) | (u[2] << 16) | (u[3] << 24)));
    }
    if (r == static_cast<size_t>(-1) && err != E2BIG) {
      // An undecodable or truncated sequence: one replacement, skip a byte.
      out.push_back(L'\uFFFD');
      ++in;
      --inLeft;
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

std::string EncodeCodePage(std::wstring_view text, unsigned codePage, bool* lossless) {
  if (lossless) *lossless = true;
  const char* name = IconvName(codePage);
  if (!name) {
    if (lossless) *lossless = text.empty();
    return {};
  }
  Iconv cd(name, kWide);
  if (!cd.ok()) return {};
  std::string out;
  out.reserve(text.size());
  char buf[64];
  for (wchar_t ch : text) {
    unsigned char w[4] = {static_cast<unsigned char>(ch & 0xFF), static_cast<unsigned char>((ch >> 8) & 0xFF),
                          static_cast<unsigned char>((ch >> 16) & 0xFF),
                          static_cast<unsigned char>((static_cast<unsigned long>(ch) >> 24) & 0xFF)};
    char* in = reinterpret_cast<char*>(w);
    size_t inLeft = 4;
    char* o = buf;
    size_t oLeft = sizeof buf;
    if (iconv(cd.get(), &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1)) {
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
      out.push_back('?');
      if (lossless) *lossless = false;
      continue;
    }
    out.append(buf, static_cast<size_t>(o - buf));
  }
  // Flush a stateful encoder (UTF-7 closes its base64 run here).
  char* o = buf;
  size_t oLeft = sizeof buf;
  iconv(cd.get(), nullptr, nullptr, &o, &oLeft);
  out.append(buf, static_cast<size_t>(o - buf));
  return out;
}

std::wstring DecodeUtf16Le(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size() / 2);
  const auto unit = [&](size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const unsigned lo = unit(i + 2);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00)));
        i += 2;
        continue;
      }
    }
    out.push_back(static_cast<wchar_t>(u));
  }
  return out;
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const wchar_t x = a[i], y = b[i];
    if (x == y) continue;
    if (x < 0x80 && y < 0x80) {
      // Letters of ASCII without the C library's locale look-up.
      if ((x | 0x20) != (y | 0x20) || (x | 0x20) < L'a' || (x | 0x20) > L'z') return false;
      continue;
    }
    if (std::towupper(static_cast<wint_t>(x)) != std::towupper(static_cast<wint_t>(y))) return false;
  }
  return true;
}

int CompareForSort(std::wstring_view a, std::wstring_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const wint_t x = std::towlower(static_cast<wint_t>(a[i]));
    const wint_t y = std::towlower(static_cast<wint_t>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void AppendSortKey(std::wstring_view text, std::string& out) {
  // Big-endian code points: byte order is then code point order.
  for (wchar_t ch : text) {
    const auto x = static_cast<unsigned long>(std::towlower(static_cast<wint_t>(ch)));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((x >> shift) & 0xFF));
  }
}

}  // namespace vorpa
