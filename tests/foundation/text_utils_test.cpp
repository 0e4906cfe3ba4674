// text_utils_test.cpp: tokens, wildcards, numbers and token replacement.
#include "foundation/text_utils.h"

#include <climits>
#include <vector>

#include "gtest/gtest.h"

namespace {

std::vector<std::wstring> AllTokens(std::wstring text, const wchar_t* separators, bool strip) {
  std::vector<std::wstring> tokens;
  std::wstring token;
  while (ExtractToken(&text, &token, separators, strip)) tokens.push_back(token);
  return tokens;
}

}  // namespace

TEST(TextUtilsTest, ExtractTokenSplitsOutsideQuotes) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ((V{L"/L", L"\"C:\\my logs\\x.log\"", L"/q"}),
            AllTokens(L"  /L \"C:\\my logs\\x.log\" /q ", L" ", false));
  EXPECT_EQ((V{L"/L", L"C:\\my logs\\x.log", L"/q"}),
            AllTokens(L"/L \"C:\\my logs\\x.log\" /q", L" ", true));
  EXPECT_EQ((V{L"a", L"b c", L"d"}), AllTokens(L"a, b c ,d", nullptr, false));
  EXPECT_EQ((V{L"ENU", L"DEU"}), AllTokens(L"ENU;DEU", L";", true));
  // An unclosed quote takes the rest of the text.
  EXPECT_EQ((V{L"a", L"\"b c;d"}), AllTokens(L"a;\"b c;d", L";", false));
  EXPECT_EQ((V{}), AllTokens(L"   ", L" ", false));
  // Two separators in a row give an empty token, not the end.
  EXPECT_EQ((V{L"a", L"", L"b"}), AllTokens(L"a;;b", L";", false));
}

TEST(TextUtilsTest, MatchWildcardIsLooseAndCaseBlind) {
  EXPECT_TRUE(MatchWildcard(L"msxml6.dll", L"msxml*.dll"));
  EXPECT_TRUE(MatchWildcard(L"MSXML3.DLL", L"msxml*.dll"));
  EXPECT_TRUE(MatchWildcard(L"d3dx9_43.dll", L"d3d*9*.dll"));
  EXPECT_FALSE(MatchWildcard(L"d3d10.dll", L"d3d*9*.dll"));
  EXPECT_FALSE(MatchWildcard(L"dll.msxml", L"msxml*.dll"));  // pieces in order
  EXPECT_TRUE(MatchWildcard(L"Untitled - Notepad", L"Notepad"));
  EXPECT_TRUE(MatchWildcard(L"anything", L"*"));
  EXPECT_TRUE(MatchWildcard(L"", L""));
  EXPECT_FALSE(MatchWildcard(L"", L"a"));
}

TEST(TextUtilsTest, ReplaceTokenReplacesEachOccurrenceOnce) {
  EXPECT_EQ(L"aXb", ReplaceToken(L"a{productid}b", L"{ProductID}", L"X"));
  EXPECT_EQ(L"C:\\Logs\\TAM_P1_Uninstall.log",
            ReplaceToken(ReplaceToken(L"C:\\Logs\\TAM_{ProductID}_{INSTALL_MODE}.log",
                                      L"{ProductID}", L"P1"),
                         L"{install_mode}", L"Uninstall"));
  // The inserted value is not searched again, and palindromic tokens end.
  EXPECT_EQ(L"{A}{A}", ReplaceToken(L"{a}", L"{A}", L"{A}{A}"));
  EXPECT_EQ(L"x-x", ReplaceToken(L"ABA-aba", L"aba", L"x"));
  // Text already holding the reversed token is left alone.
  EXPECT_EQ(L"}DItcudorP{ X", ReplaceToken(L"}DItcudorP{ {ProductID}", L"{ProductID}", L"X"));
  EXPECT_EQ(L"Keep CASE", ReplaceToken(L"Keep CASE", L"", L"x"));
}

TEST(TextUtilsTest, StringToIntKeepsPartialValue) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int value;
  };
  const Case kCases[] = {
      {L"-12", true, -12},       {L"", true, 0},           {L"0", true, 0},
      {L"12 3", false, 12},      {L"4a", false, 4},        {L"x", false, 0},
      {L"-", false, 0},          {L"+5", false, 0},        {L"2147483647", true, INT_MAX},
      {L"-2147483648", true, INT_MIN}, {L"2147483648", false, 214748364},
  };
  for (const Case& c : kCases) {
    int value = 77;
    EXPECT_EQ(c.ok, StringToInt(c.text, &value)) << c.text;
    EXPECT_EQ(c.value, value) << c.text;
  }
}

TEST(TextUtilsTest, DecodeCharCodes) {
  EXPECT_EQ(L"AB", DecodeCharCodes(L"0x410x42", 16));
  EXPECT_EQ(L"AB", DecodeCharCodes(L"0x41 0x42", 16));
  EXPECT_EQ(L"A", DecodeCharCodes(L"0x41 0x0 0x42", 16));
  EXPECT_EQ(L"A", DecodeCharCodes(L"0x41,0x42", 16));
  EXPECT_EQ(L"plain", DecodeCharCodes(L"plain", 16));
  EXPECT_EQ(L"", DecodeCharCodes(L"0x", 16));
  EXPECT_EQ(std::wstring(1, static_cast<wchar_t>(0xFFFF)), DecodeCharCodes(L"0xFFFFFFFFFFFFFFFFFF", 16));
}

TEST(TextUtilsTest, SmallHelpers) {
  std::wstring text = L"abc";
  ReverseString(&text);
  EXPECT_EQ(L"cba", text);
  EXPECT_EQ(L"x", CharToString(L'x'));
  EXPECT_TRUE(IsDotOrDotDot(L".."));
  EXPECT_FALSE(IsDotOrDotDot(L"..."));
}

TEST(TextUtilsTest, FolderOfPathKeepsDriveAndEitherSeparator) {
  struct {
    const wchar_t* path;
    const wchar_t* withSeparator;
    const wchar_t* without;
  } const kCases[] = {
      {L"C:\\Setup\\setup.exe", L"C:\\Setup\\", L"C:\\Setup"},
      {L"\\\\server\\share\\a.msi", L"\\\\server\\share\\", L"\\\\server\\share"},
      {L"Sub/SETUP.DCF", L"Sub/", L"Sub"},
      {L"C:\\Setup\\", L"C:\\Setup\\", L"C:\\Setup"},
      {L"setup.exe", L"", L""},
      {L"", L"", L""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.withSeparator, FolderOfPath(c.path)) << c.path;
    EXPECT_EQ(c.without, FolderOfPath(c.path, false)) << c.path;
  }
  EXPECT_EQ(L"a b", RemoveQuotes(L"\"a\" b\""));
  EXPECT_EQ(L"setup.exe", FileNameOfPath(L"C:\\Setup\\setup.exe"));
  EXPECT_EQ(L"SETUP.DCF", FileNameOfPath(L"Sub/SETUP.DCF"));
  EXPECT_EQ(L"", FileNameOfPath(L"C:\\Setup\\"));
  EXPECT_EQ(L"setup.exe", FileNameOfPath(L"setup.exe"));
}

TEST(TextUtilsTest, UsableFolderPathIsAbsoluteAndHoldsOnlyNameCharacters) {
  struct {
    const wchar_t* path;
    bool usable;
  } const kCases[] = {
      {L"C:\\Program Files (x86)\\Tamsa", true},   {L"\\\\server\\share\\Apps", true},
      {L"C:\\Fam\" EVILPROP=\"1\\Fold", false},     {L"Tamsa\\Suite", false},
      {L"{ProgramFilesFolder}\\Tamsa", false},       {L"C:\\a:b", false},
      {L"C:\\a\tb", false},                          {L"C:\\a|b", false},
      {L"", false},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.usable, IsUsableFolderPath(c.path)) << c.path;
  EXPECT_FALSE(IsUsableFolderPath(L"C:\\" + std::wstring(258, L'a')));
}
