#include <gtest/gtest.h>

#include "interaction/OpenMessages.h"

using namespace vorpa;

TEST(OpenFailureMessage, NamesEachCodeOfTheTableAndOneTextForTheRest) {
  const struct {
    std::int64_t code;
    const wchar_t* text;
  } table[] = {
      {0, L"メモリまたはリソースが足りません。"},
      {2, L"ファイルが見つかりません。"},
      {3, L"パスが見つかりません。"},
      {5, L"アクセスは拒否されました。"},
      {11, L"不正な形式の実行ファイルです。"},
      {27, L"関連付けが不完全です。"},
      {31, L"関連付けが指定されていません。"},
  };
  for (const auto& row : table) EXPECT_EQ(OpenFailureMessage(row.code), row.text) << row.code;
  for (std::int64_t other : std::initializer_list<std::int64_t>{1, 4, 8, 26, 28, 29, 30, 32, -1, INT32_MIN})
    EXPECT_EQ(OpenFailureMessage(other), L"ファイルを開けません。") << other;
}

TEST(OpenFailureMessage, SuccessStartsAbove32) {
  EXPECT_FALSE(ShellOpenSucceeded(32));
  EXPECT_FALSE(ShellOpenSucceeded(-5));
  EXPECT_TRUE(ShellOpenSucceeded(33));
  EXPECT_TRUE(ShellOpenSucceeded(42));
}

TEST(IsWebAddress, AcceptsTheFourWebSchemesInAnyCase) {
  for (const wchar_t* t : {L"http://example.com/", L"HTTPS://example.com/a?b=c", L"Ftp://host/file",
                           L"mailto:someone@example.com", L"  http://example.com/", L"\thttps://x", L"http:x"})
    EXPECT_TRUE(IsWebAddress(t)) << t;
}

TEST(IsWebAddress, RefusesEverythingElse) {
  for (const wchar_t* t : {L"",
                           L"   ",
                           L"C:\\Windows\\System32\\calc.exe",
                           L"calc.exe",
                           L"\\\\host\\share\\x.exe",
                           L"file:///C:/x.exe",
                           L"javascript:alert(1)",
                           L"search-ms:query=x",
                           L"mhtml:file://c:/x.mht!x",
                           L"httpx://example.com",
                           L"http//example.com",
                           L"xhttp://example.com",
                           L"www.example.com",
                           L"ｈｔｔｐ://example.com",
                           L"ms-settings:",
                           L"http",
                           L"\x0001http://x",
                           L"https\x00a0://x",
                           L"h ttp://x",
                           L"vbscript:x"})
    EXPECT_FALSE(IsWebAddress(t)) << t;
}

TEST(IsWebAddress, JudgesOnlyWhatTheShellSeesBeforeANul) {
  const std::wstring hidden(L"calc.exe\0http://example.com", 27);
  EXPECT_FALSE(IsWebAddress(hidden));
  const std::wstring web(L"http://example.com\0calc.exe", 27);
  EXPECT_TRUE(IsWebAddress(web));
}

TEST(OpenQuestionText, ShowsTheTargetAndCannotBeRewrittenByIt) {
  const std::wstring plain = OpenQuestionText(L"C:\\tools\\run.exe");
  EXPECT_NE(plain.find(L"C:\\tools\\run.exe"), std::wstring::npos);
  EXPECT_NE(plain.find(L"開きますか"), std::wstring::npos);

  // Line breaks and direction marks would let a target push its real name out
  // of sight or show it reversed.
  const std::wstring tricky = OpenQuestionText(L"a\r\nb\u202Ecod.exe\u2028z");
  EXPECT_NE(tricky.find(L"a??b?cod.exe?z"), std::wstring::npos);

  const std::wstring longTarget(5000, L'x');
  const std::wstring shortened = OpenQuestionText(longTarget);
  EXPECT_LT(shortened.size(), 1200u);
  EXPECT_EQ(shortened.back(), L'…');
}
