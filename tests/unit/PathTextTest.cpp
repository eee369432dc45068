#include <gtest/gtest.h>

#include "common/Text.h"
#include "filefolder/PathText.h"

using namespace vorpa;
using Paths = std::vector<std::wstring>;

TEST(PathTextCutAtNul, TakesTheTextBeforeTheFirstNul) {
  EXPECT_EQ(CutAtNul(L""), L"");
  EXPECT_EQ(CutAtNul(std::wstring_view(L"\0abc", 4)), L"");
  EXPECT_EQ(CutAtNul(std::wstring_view(L"ab\0c\0", 5)), L"ab");
  EXPECT_EQ(CutAtNul(L"abc"), L"abc");
}

TEST(PathTextFolderChain, GrowsFromTheRootDown) {
  EXPECT_EQ(FolderChain(L"C:\\a\\b"), (Paths{L"C:\\", L"C:\\a", L"C:\\a\\b"}));
  EXPECT_EQ(FolderChain(L"C:\\a"), (Paths{L"C:\\", L"C:\\a"}));
  EXPECT_EQ(FolderChain(L"C:\\a.b\\"), (Paths{L"C:\\", L"C:\\a.b"}));
  EXPECT_EQ(FolderChain(L"C:\\"), Paths{L"C:\\"});
  EXPECT_EQ(FolderChain(L""), Paths{L""});
  // The two empty pieces before the server name stay.
  EXPECT_EQ(FolderChain(L"\\\\srv\\share"), (Paths{L"\\", L"\\", L"\\\\srv", L"\\\\srv\\share"}));
}

TEST(PathTextNames, TypeAndNameParts) {
  EXPECT_EQ(TextAfterLastDot(L"C:\\a.b\\c"), L"b\\c");
  EXPECT_EQ(TextAfterLastDot(L"C:\\a\\b.url"), L"url");
  EXPECT_EQ(TextAfterLastDot(L"README"), L"");
  EXPECT_EQ(TextAfterLastDot(L"x."), L"");
  EXPECT_EQ(NameWithoutType(L"b.url", L"url"), L"b");
  EXPECT_EQ(NameWithoutType(L"a.b.c", L"c"), L"a.b");
  EXPECT_EQ(NameWithoutType(L"README", L""), L"");
  EXPECT_EQ(NameWithoutType(L"", L"url"), L"");
  // A type that does not fit in the name (an extension found across a "/")
  // gives nothing rather than a cut in the wrong place.
  EXPECT_EQ(NameWithoutType(L"cdef", L"b/cdef"), L"");
  EXPECT_EQ(NameWithoutType(L"ab", L"ab"), L"");
}

TEST(PathTextExtendedLength, RoundTripsDriveAndUncPaths) {
  const struct {
    const wchar_t* plain;
    const wchar_t* extended;
  } cases[] = {
      {L"C:\\a\\b", L"\\\\?\\C:\\a\\b"},
      {L"z:\\", L"\\\\?\\z:\\"},
      {L"\\\\srv\\share\\x", L"\\\\?\\UNC\\srv\\share\\x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToExtendedLengthPath(c.plain), c.extended);
    EXPECT_EQ(FromExtendedLengthPath(c.extended), c.plain);
  }
  // Device forms and relative paths are left alone both ways.
  for (const wchar_t* same : {L"\\\\?\\C:\\x", L"\\\\.\\pipe\\p", L"rel\\x", L"C:rel", L"\\x", L""}) {
    EXPECT_EQ(ToExtendedLengthPath(same), same);
  }
  EXPECT_EQ(FromExtendedLengthPath(L"\\\\?\\Volume{1}\\x"), L"\\\\?\\Volume{1}\\x");
  EXPECT_EQ(FromExtendedLengthPath(L"C:\\x"), L"C:\\x");
}

TEST(PathTextDeviceNames, WithAnyExtensionBlanksAndDots) {
  for (const wchar_t* device :
       {L"CON", L"prn", L"Aux", L"nul.url", L"NUL.tar.gz", L"COM1.url", L"com9", L"LPT5.URL", L"lpt1 .url", L"nul ",
        L"aux...", L"con:", L"COM\u00B9.url", L"lpt\u00B2", L"COM\u00B3 . .url", L"CONIN$.url", L"conout$"}) {
    EXPECT_TRUE(IsReservedDeviceName(device)) << EncodeCodePage(device, kCodePageUtf8);
  }
  for (const wchar_t* file : {L"", L"a.url", L"COM0.url", L"COM10.url", L"LPT.url", L"COMA.url", L"nul1.url",
                              L"nullify.url", L"a.nul", L" nul.url", L"CONIN.url", L"COM\u00B4.url", L"ＮＵＬ.url",
                              L".url", L"con_.url"}) {
    EXPECT_FALSE(IsReservedDeviceName(file)) << EncodeCodePage(file, kCodePageUtf8);
  }
}
