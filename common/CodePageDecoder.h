#pragma once
// Code page 932 and UTF-7 decoded as Windows decodes them
// (MultiByteToWideChar without flags), byte for byte, on every platform: a
// shortcut then gives the same text natively as in the window. The Windows
// tests hold both builds to this by comparing with the system's conversion.
#include <string>
#include <string_view>

namespace vorpa {

// Code page 932 (Shift_JIS with the NEC and IBM extensions). Windows' rules:
// a lead byte (81-9F, E0-FC) takes the next byte whatever it is, so a lead
// byte before CR or LF swallows the line end; a pair that names no character
// is U+30FB; a lead byte at the end or before a NUL is U+30FB on its own;
// the single bytes 80, A0, FD, FE and FF are U+0080, U+F8F0 and U+F8F1 to
// U+F8F3; F040-F9FC are the private-use U+E000 to U+E757.
// Every unit is in the Basic Multilingual Plane.
std::wstring DecodeCp932(std::string_view bytes);

// UTF-7 as Windows reads it: bytes outside a base64 run stand for
// themselves (any byte, not only the ones UTF-7 allows); "+-" is '+'; a run
// ends at '-', which is dropped, or at any other byte that is not base64,
// which is kept; bits left over at the end of a run are dropped, except when
// a byte from 80 on ends it, when they carry over into the next run; a '+'
// at the very end gives nothing. UTF-16 units come out as decoded: where
// wchar_t holds 32 bits, a high and a low surrogate in a row become one code
// point and a lone surrogate stays as it is.
std::wstring DecodeUtf7(std::string_view bytes);

}  // namespace vorpa
