// cached_copy_test.cpp: which setup folders count as the suite's cached copy.
#include "engine/cached_copy.h"

#include <string>

#include "gtest/gtest.h"

TEST(CachedCopyTest, OnlyTheCacheFolderWithoutAModeCounts) {
  const wchar_t kId[] = L"{11111111-2222-3333-4444-555555555555}";
  const std::wstring kCache = L"C:\\ProgramData\\Uninstall\\{11111111-2222-3333-4444-555555555555}\\";
  const struct {
    std::wstring setupFolder, appData, id;
    int mode;
    bool expected;
  } kCases[] = {
      {kCache, L"C:\\ProgramData", kId, 0, true},
      {kCache, L"C:\\ProgramData\\\\", kId, 0, true},
      {kCache, L"C:\\ProgramData", kId, 3, false},
      {L"C:\\kit\\", L"C:\\ProgramData", kId, 0, false},
      {kCache, L"", kId, 0, false},
      {kCache, L"C:\\ProgramData", L"", 0, false},
  };
  for (const auto& row : kCases) {
    EXPECT_EQ(IsRunningFromCachedCopy(row.setupFolder, row.appData, row.id, row.mode), row.expected)
        << row.setupFolder.c_str() << " " << row.appData.c_str() << " " << row.mode;
  }
}
