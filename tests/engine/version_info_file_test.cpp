// version_info_file_test.cpp: versions read from file version resources.
#include "engine/version_info.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"

TEST(CVersionInfoFileTest, ReadsTheFixedFileVersionOfAnExecutable) {
  CVersionInfo version;
  ASSERT_TRUE(version.SetFromFileVersion(TestExecutablePath()));
  EXPECT_EQ(L"3.58.94.0", version.ToString());  // FILEVERSION of the test's resources
}

TEST(CVersionInfoFileTest, AFileWithoutVersionResourceLeavesTheVersionAsItWas) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"plain.txt"), "no resources here");
  CVersionInfo version;
  version.SetParts2(1, 2);
  EXPECT_FALSE(version.SetFromFileVersion(folder.File(L"plain.txt")));
  EXPECT_FALSE(version.SetFromFileVersion(folder.File(L"missing.dll")));
  EXPECT_FALSE(version.SetFromFileVersion(L""));
  EXPECT_EQ(L"1.2", version.ToString());
}
