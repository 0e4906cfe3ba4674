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

TEST(CTextFileViewTest, CopyIsReadOnlyAndNeverOverwritesAnEarlierOne) {
  CTestFolder folder;
  WriteText(folder.File(L"license.ENU"), "new text");
  CreateDirectoryW(folder.File(L"setup").c_str(), nullptr);
  WriteText(folder.File(L"setup\\license.ENU.rtf"), "earlier copy");
  std::wstring copy = CopyForView(folder.File(L"license.ENU"), folder.File(L"setup"), L"license.ENU.rtf");
  EXPECT_EQ(folder.File(L"setup\\license.ENU.rtf"), copy);
  EXPECT_EQ("earlier copy", ReadText(copy));
  EXPECT_TRUE(GetFileAttributesW(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
  MakeWritable(copy);

  std::wstring fresh = CopyForView(folder.File(L"license.ENU"), folder.Path(), L"UEIP.ENU.rtf");
  EXPECT_EQ(folder.File(L"UEIP.ENU.rtf"), fresh);
  EXPECT_EQ("new text", ReadText(fresh));
  MakeWritable(fresh);
}

// A setup folder that cannot be written (a disc) gets the copy in the
// temporary folder instead of a viewer pointed at a missing file.
TEST(CTextFileViewTest, CopyGoesToTheTemporaryFolderWhenTheSetupFolderFails) {
  CTestFolder folder;
  WriteText(folder.File(L"license.ENU"), "licence");
  std::wstring copy = CopyForView(folder.File(L"license.ENU"), folder.File(L"missing\\folder"),
                                  L"CTextFileViewTest.rtf");
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_EQ(std::wstring(temp) + L"CTextFileViewTest.rtf", copy);
  EXPECT_EQ("licence", ReadText(copy));
  MakeWritable(copy);
  DeleteFileW(copy.c_str());
  EXPECT_EQ(L"", CopyForView(folder.File(L"no such file"), folder.Path(), L"x.rtf"));
}
