// text_file_view_test.cpp: the View button's command line and its copy.
#include "wizard/text_file_view.h"

#include <windows.h>

#include <fstream>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

void WriteText(const std::wstring& path, const char* text) { std::ofstream(path.c_str(), std::ios::binary) << text; }

std::string ReadText(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The read-only copies must not outlive the test folder's clean-up.
void MakeWritable(const std::wstring& path) { SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); }

}  // namespace

TEST(CTextFileViewTest, CommandLineQuotesThePathOrRefusesIt) {
  struct Case {
    const wchar_t* file;
    const wchar_t* expected;
  };
  const Case kCases[] = {
      {L"C:\\Kit\\license.ENU.rtf", L"\"C:\\cmd.exe\" /C \"\"C:\\Kit\\license.ENU.rtf\"\""},
      {L"D:\\Disc Label\\Setup Files\\license.ENU.rtf",
       L"\"C:\\cmd.exe\" /C \"\"D:\\Disc Label\\Setup Files\\license.ENU.rtf\"\""},
      // Command separators stay inside the quotes: no second command runs.
      {L"C:\\A & B\\x|y\\license.ENU.rtf", L"\"C:\\cmd.exe\" /C \"\"C:\\A & B\\x|y\\license.ENU.rtf\"\""},
      // The command processor expands variables even inside quotes.
      {L"C:\\100%PATH%\\license.ENU.rtf", L""},
      {L"C:\\a\"b\\license.ENU.rtf", L""},
      {L"", L""},
  };
  for (const Case& c : kCases) EXPECT_EQ(c.expected, ViewCommandLine(L"C:\\cmd.exe", c.file)) << c.file;
}

// The copy goes into the folder the page gives it (the temporary one), read
// only. An earlier View's copy of the same text is taken as it is; a file of
// the name with another text (another suite's licence) is left alone and
// the copy takes the next free name.
TEST(CTextFileViewTest, CopyKeepsEveryEarlierFileAndShowsTheSourcesText) {
  CTestFolder folder;
  WriteText(folder.File(L"license.ENU"), "this suite's text");
  CreateDirectoryW(folder.File(L"temp").c_str(), nullptr);
  WriteText(folder.File(L"temp\\license.ENU-2.rtf"), "this suite's text");
  WriteText(folder.File(L"temp\\license.ENU.rtf"), "another suite's text");
  struct Case {
    const wchar_t* viewName;
    const wchar_t* copy;  // in the temp folder
  };
  const Case kCases[] = {
      {L"license.ENU.rtf", L"license.ENU-2.rtf"},
      {L"UEIP.ENU.rtf", L"UEIP.ENU.rtf"},
      {L"UEIP.ENU.rtf", L"UEIP.ENU.rtf"},  // made by the row before: the same text
  };
  for (const Case& c : kCases) {
    std::wstring copy = CopyForView(folder.File(L"license.ENU"), folder.File(L"temp"), c.viewName);
    EXPECT_EQ(folder.File(L"temp\\") + c.copy, copy) << c.viewName;
    EXPECT_EQ("this suite's text", ReadText(copy));
    EXPECT_TRUE(GetFileAttributesW(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
  }
  EXPECT_EQ("another suite's text", ReadText(folder.File(L"temp\\license.ENU.rtf")));
  EXPECT_EQ(L"", CopyForView(folder.File(L"no such file"), folder.File(L"temp"), L"x.rtf"));
  EXPECT_EQ(L"", CopyForView(folder.File(L"license.ENU"), folder.File(L"missing\\folder"), L"x.rtf"));
  for (const wchar_t* name : {L"license.ENU-2.rtf", L"UEIP.ENU.rtf"}) MakeWritable(folder.File(L"temp\\") + name);
}
