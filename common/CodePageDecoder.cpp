#include "common/CodePageDecoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorpa {
namespace {

#include "common/Cp932Table.inc"

constexpr char16_t kNoCharacter = 0x30FB;  // Windows' answer for bytes that name none
constexpr std::size_t kCells = 188;        // second bytes 40-7E and 80-FC

constexpr bool IsLead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// For each byte, its row in kCp932Rows plus one; 0 for no row.
constexpr std::array<std::uint8_t, 256> MakeRowOfLead() {
  std::array<std::uint8_t, 256> rows{};
  for (std::size_t i = 0; i < std::size(kCp932RowLeads); ++i) rows[kCp932RowLeads[i]] = static_cast<std::uint8_t>(i + 1);
  return rows;
}
constexpr std::array<std::uint8_t, 256> kRowOfLead = MakeRowOfLead();

constexpr bool RowsAreWhole() {
  if (std::size(kCp932Rows) != std::size(kCp932RowLeads)) return false;
  for (const std::u16string_view row : kCp932Rows)
    if (row.size() != kCells) return false;
  return true;
}
static_assert(RowsAreWhole(), "every row of the table has one cell per second byte");

char16_t Single(unsigned b) {
  if (b < 0x80) return static_cast<char16_t>(b);
  if (b >= 0xA1 && b <= 0xDF) return static_cast<char16_t>(0xFF61 + (b - 0xA1));  // half-width katakana
  if (b == 0xA0) return 0xF8F0;
  if (b >= 0xFD) return static_cast<char16_t>(0xF8F1 + (b - 0xFD));
  return static_cast<char16_t>(b);  // 0x80; lead bytes never get here
}

char16_t Pair(unsigned lead, unsigned trail) {
  if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return kNoCharacter;
  const std::size_t cell = trail < 0x7F ? trail - 0x40 : trail - 0x41;
  if (lead >= 0xF0 && lead <= 0xF9) return static_cast<char16_t>(0xE000 + (lead - 0xF0) * kCells + cell);  // user-defined
  const unsigned row = kRowOfLead[lead];
  return row == 0 ? kNoCharacter : kCp932Rows[row - 1][cell];
}

// Appends UTF-16 units to wide text: as they are where wchar_t is 16 bits,
// otherwise with each surrogate pair joined into its code point.
class WideSink {
 public:
  explicit WideSink(std::wstring& out) : out_(out) {}
  ~WideSink() { Flush(); }
  WideSink(const WideSink&) = delete;
  WideSink& operator=(const WideSink&) = delete;

  void Put(char16_t unit) {
    if constexpr (sizeof(wchar_t) == 2) {
      out_.push_back(static_cast<wchar_t>(unit));
    } else {
      if (high_ != 0 && unit >= 0xDC00 && unit <= 0xDFFF) {
        out_.push_back(static_cast<wchar_t>(0x10000 + ((high_ - 0xD800u) << 10) + (unit - 0xDC00u)));
        high_ = 0;
        return;
      }
      Flush();
      if (unit >= 0xD800 && unit <= 0xDBFF)
        high_ = unit;
      else
        out_.push_back(static_cast<wchar_t>(unit));
    }
  }

 private:
  void Flush() {
    if (high_ != 0) out_.push_back(static_cast<wchar_t>(high_));
    high_ = 0;
  }
  std::wstring& out_;
  char16_t high_ = 0;
};

int Base64Value(unsigned c) {
  if (c >= 'A' && c <= 'Z') return static_cast<int>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0' + 52);
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::wstring DecodeCp932(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
    } else if (!IsLead(b)) {
      out.push_back(static_cast<wchar_t>(Single(b)));
    } else if (i + 1 < n && bytes[i + 1] != '\0') {
      out.push_back(static_cast<wchar_t>(Pair(b, static_cast<unsigned char>(bytes[++i]))));
    } else {
      out.push_back(static_cast<wchar_t>(kNoCharacter));  // the NUL, if any, follows on its own
    }
  }
  return out;
}

std::wstring DecodeUtf7(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  {
    WideSink sink(out);
    // The bits of a base64 run not yet given out: `pending` of them, at the
    // low end of `bits`.
    std::uint32_t bits = 0;
    unsigned pending = 0;
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
      const unsigned b = static_cast<unsigned char>(bytes[i++]);
      if (b != '+') {
        sink.Put(static_cast<char16_t>(b));
        continue;
      }
      if (i < n && bytes[i] == '-') {
        sink.Put(u'+');
        ++i;
        continue;
      }
      for (; i < n; ++i) {
        const unsigned c = static_cast<unsigned char>(bytes[i]);
        // A byte from 80 on ends the run without a word about the bits
        // left over: Windows keeps them for the next run.
        if (c >= 0x80) break;
        const int value = Base64Value(c);
        if (value < 0) {
          pending = 0;
          if (c == '-') ++i;  // the run's end mark is no text; any other byte is
          break;
        }
        bits = ((bits << 6) | static_cast<std::uint32_t>(value)) & 0x3FFFFF;
        pending += 6;
        if (pending >= 16) {
          pending -= 16;
          sink.Put(static_cast<char16_t>((bits >> pending) & 0xFFFF));
        }
      }
    }
  }
  return out;
}

}  // namespace vorpa
