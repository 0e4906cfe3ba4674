// wide_string_test.cpp: formatting with Microsoft semantics and the
// case-blind helpers, on Windows and natively.
#include "platform/wide_string.h"

#include <climits>

#include "gtest/gtest.h"

TEST(WideStringTest, FormatTakesWideStringsWhole) {
  EXPECT_EQ(L"[wide text]", Format(L"[%s]", L"wide text"));
  EXPECT_EQ(L"a=5 b=-3 c=FFFFFFFF", Format(L"a=%d b=%d c=%X", 5, -3, 0xFFFFFFFFu));
  EXPECT_EQ(L"x", Format(L"%c", L'x'));
  EXPECT_EQ(L"narrow", Format(L"%S", "narrow"));
  EXPECT_EQ(L"narrow", Format(L"%hs", "narrow"));
  EXPECT_EQ(L"0018.80070005", Format(L"%04X.%08X", 0x18, 0x80070005u));
  EXPECT_EQ(L"  ab|ab  ", Format(L"%4s|%-4s", L"ab", L"ab"));
  EXPECT_EQ(L"100%", Format(L"%d%%", 100));
  EXPECT_EQ(L"12345678901", Format(L"%I64d", 12345678901LL));
  EXPECT_EQ(L"1.50", Format(L"%.2f", 1.5));
}

TEST(WideStringTest, FormatHasNoLengthLimit) {
  std::wstring big(100000, L'z');
  EXPECT_EQ(big + L"!", Format(L"%s!", big.c_str()));
  EXPECT_EQ(L"", Format(nullptr));
}

TEST(WideStringTest, CaseBlindHelpers) {
  EXPECT_TRUE(EqualsNoCase(L"Setup.DCF", L"SETUP.dcf"));
  EXPECT_FALSE(EqualsNoCase(L"Setup", L"Setup1"));
  EXPECT_LT(CompareNoCase(L"abc", L"ABD"), 0);
  EXPECT_GT(CompareNoCase(L"abcd", L"ABC"), 0);
  EXPECT_EQ(3u, FindNoCase(L"xx_PRODUCTid", L"productID"));
  EXPECT_EQ(std::wstring::npos, FindNoCase(L"abc", L"abcd"));
  EXPECT_EQ(std::wstring::npos, FindNoCase(L"abcabc", L"ABC", 4));
  EXPECT_TRUE(StartsWithNoCase(L"LOGFILE", L"log"));
  EXPECT_FALSE(StartsWithNoCase(L"LO", L"log"));
  EXPECT_TRUE(StartsWith(L"/L*v", L"/L"));
  EXPECT_TRUE(EndsWith(L"a.log", L".log"));
  EXPECT_FALSE(EndsWith(L"g", L".log"));
}

TEST(WideStringTest, TrimAndReplace) {
  EXPECT_EQ(L"a b", Trim(L" \t a b \r\n"));
  EXPECT_EQ(L"a ", TrimLeft(L"  a "));
  EXPECT_EQ(L"  a", TrimRight(L"  a \t"));
  EXPECT_EQ(L"", Trim(L"   "));
  EXPECT_EQ(L"xbxb", ReplaceAll(L"abab", L"a", L"x"));
  EXPECT_EQ(L"aa", ReplaceAll(L"a", L"a", L"aa"));  // inserted text is not searched again
  EXPECT_EQ(L"abc", ReplaceAll(L"abc", L"", L"x"));
  EXPECT_EQ(L"ABC", ToUpper(L"abc"));
  EXPECT_EQ(L"abc", ToLower(L"AbC"));
}

TEST(WideStringTest, Utf8RoundTrip) {
  std::wstring text = L"Caf\u00e9 \u65e5\u672c \u20ac";
  EXPECT_EQ(text, Utf8ToWide(WideToUtf8(text)));
  EXPECT_EQ("Caf\xc3\xa9", WideToUtf8(L"Caf\u00e9"));
  EXPECT_EQ(L"\xFFFD", Utf8ToWide("\xC3"));  // truncated sequence
}
