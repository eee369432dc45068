#pragma once
// The three column headers: their captions and widths.
#include <string>

namespace vorpa {

inline constexpr wchar_t kCaptionName[] = L"ファイル名";
inline constexpr wchar_t kCaptionUrl[] = L"URLアドレス";
inline constexpr wchar_t kCaptionFolder[] = L"ファイルパス";

struct ColumnWidths {
  int name;    // twips
  int url;
  int folder;
};

// Widths from the list's width in twips: W/5-30, then (2W)/5-30 twice, with
// W and 2W rounded to the nearest whole number (ties to even) and the
// division truncating.
ColumnWidths ComputeColumnWidths(double listWidthTwips);

// The folder naming rule of the third header. Updates listFolder (the folder
// the header names) and returns the third caption: "ファイルパス" alone, or
// followed by " (folder)". Rows of a second folder added to a list that names
// a first one make the header name no folder.
std::wstring ApplyHeaderFolder(std::wstring& listFolder, std::wstring folder, bool addMode);

// Round to nearest, ties to even, independent of the floating-point mode.
long long RoundHalfEven(double value);

}  // namespace vorpa
