// staged_files_test.cpp: files replaced whole or not at all, and the
// temporaries of ended writers told from those of a running one.
#include "foundation/staged_files.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

// The second writer gives up halfway, as a full disk makes it; a run killed
// before its commit never renames anything.
TEST(CStagedFilesTest, OldFilesStayUntilEveryNewOneIsComplete) {
  const struct {
    bool secondFails, commit;
    const char* expected;
  } kCases[] = {{false, true, "new"}, {true, true, "old"}, {false, false, "old"}};
  for (const auto& c : kCases) {
    CTestFolder folder;
    std::vector<std::wstring> targets = {folder.File(L"setup.dcf"), folder.File(L"setup.exe")};
    for (const std::wstring& target : targets) WriteFileBytes(target, "old");
    SetFileAttributesW(targets[1].c_str(), FILE_ATTRIBUTE_READONLY);
    {
      CStagedFiles staged;
      auto write = [](const std::wstring& temporary) { return WriteFileBytes(temporary, "new"), true; };
      auto fail = [](const std::wstring& temporary) { return WriteFileBytes(temporary, "ne"), false; };
      ASSERT_TRUE(staged.Write(targets[0], write));
      if (staged.Write(targets[1], c.secondFails ? fail : write) && c.commit) {
        EXPECT_TRUE(staged.Commit());
      }
    }
    for (const std::wstring& target : targets) EXPECT_EQ(c.expected, ReadFileBytes(target)) << c.secondFails;
    EXPECT_EQ(std::vector<std::wstring>{}, ListFolderEntries(folder.Path(), L"*.tmp", false));
    SetFileAttributesW(targets[1].c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(CStagedFilesTest, RemovesOnlyTemporariesOfEndedWriters) {
  const struct {
    std::wstring name;
    bool removed;
  } kCases[] = {
      {L"Gamma.dcf.4294967280.01D0000000000001-2.tmp", true},
      {L"Gamma.dcf.ffffff0-2.tmp", true},  // an earlier setup's, by process id alone
      {CStagedFiles::TemporaryNameFor(L"Gamma.dcf"), false},
      {Format(L"Gamma.dcf.%lx-2.tmp", GetCurrentProcessId()), false},
      {L"Gamma.dcf.ffffff0-xyz.tmp", false}, {L"notes.tmp", false},
  };
  CTestFolder folder;
  for (const auto& c : kCases) WriteFileBytes(folder.File(c.name), "x");
  CStagedFiles::RemoveStrayTemporaries(folder.Path());
  for (const auto& c : kCases) EXPECT_EQ(c.removed, !FileExists(folder.File(c.name))) << WideToUtf8(c.name);
}
