// zip_wildcard_test.cpp: the archive's patterns against names, with the
// result codes that say why a name did not match.
#include "zip/zip_wildcard.h"

#include <vector>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

TEST(CZipWildcardTest, MatchesTextsWithTheirResultCodes) {
  struct Case {
    const wchar_t *pattern, *text;
    bool caseSensitive;
    int result;
  } const kCases[] = {
      {L"*.log", L"setup.log", true, 1},        {L"*.log", L"setup.txt", true, 3},
      {L"*.log", L"logs\\setup.log", true, 1},  {L"logs\\*.log", L"logs\\setup.log", true, 6},
      {L"logs\\\\*.log", L"logs\\setup.log", true, 1},
      {L"[!a-c]*", L"apple", true, 4},          {L"[!a-c]*", L"dog", true, 1},
      {L"[z-x]?", L"yo", true, 1},              {L"[abc]", L"d", true, 4},
      {L"a\\", L"a", true, 3},                  {L"a\\", L"a\\", true, 6},
      {L"a\\*b", L"a*b", true, 1},              {L"a\\*b", L"axb", true, 6},
      {L"[\\]]x", L"]x", true, 1},              {L"[]x", L"]x", true, 6},
      {L"[a-", L"a", true, 6},                  {L"[ab", L"a", true, 6},
      {L"abc", L"abcd", true, 2},               {L"abcd", L"abc", true, 3},
      {L"abc*", L"abc", true, 1},               {L"*?", L"", true, 3},
      {L"SETUP.*", L"setup.log", true, 6},      {L"SETUP.*", L"setup.log", false, 1},
      {L"*a*b?", L"xxaxxbxbc", true, 1},        {L"*[0-9].log", L"setup12.log", true, 1},
      {L"*", L"", true, 1},                     {L"", L"", true, 1},
  };
  for (const Case& c : kCases) {
    CZipArchive::CWildcard wildcard(c.pattern, c.caseSensitive);
    int result = 0;
    EXPECT_EQ(c.result == 1, wildcard.IsMatch(c.text, &result)) << c.pattern << L" " << c.text;
    EXPECT_EQ(c.result, result) << c.pattern << L" " << c.text;
  }
}

TEST(CZipWildcardTest, ChecksPatternsWithoutText) {
  struct Case {
    const wchar_t* pattern;
    int error;
  } const kCases[] = {
      {L"*.log", 0}, {L"[a-z]\\*", 0}, {L"[]", -4}, {L"[!]", -4}, {L"[ab", -3},
      {L"[a-]", -2}, {L"[a-", -2}, {L"ab\\", -1}, {L"[\\]]", 0},
  };
  for (const Case& c : kCases) {
    int error = 99;
    EXPECT_EQ(c.error == 0, CZipArchive::IsPatternValid(c.pattern, &error)) << c.pattern;
    EXPECT_EQ(c.error, error) << c.pattern;
  }
  EXPECT_TRUE(CZipArchive::IsPattern(L"a\\b"));
  EXPECT_FALSE(CZipArchive::IsPattern(L"logs/setup.log"));
}

TEST(CZipWildcardTest, FindsEntriesByPathOrFileName) {
  CZipMemFile file;
  LoadBytes(file, BuildArchive({{L"setup.log", "a", -1}, {L"logs\\Product.LOG", "b", -1}, {L"log.txt", "c", -1}}));
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  std::vector<int> found;
  archive.FindMatches(L"*.log", found);
  EXPECT_EQ((std::vector<int>{0, 1}), found);
  found.clear();
  archive.FindMatches(L"l*", found, false);
  EXPECT_EQ((std::vector<int>{2}), found);
  found.clear();
  archive.FindMatches(L"p*", found, false);
  EXPECT_EQ((std::vector<int>{1}), found);
  // The entry a file on disk would become, with its full path or below a root.
  EXPECT_EQ(1, archive.FindFileOfPath(L"C:\\logs\\product.log", true));
  EXPECT_EQ(-1, archive.FindFileOfPath(L"C:\\logs\\product.log", true, 1));
  archive.SetRootPath(L"D:\\setup\\");
  EXPECT_EQ(1, archive.FindFileOfPath(L"D:\\setup\\logs\\PRODUCT.log", false));
  EXPECT_EQ(2, archive.FindFileOfPath(L"E:\\other\\log.txt", false));
  archive.Close();
}
