// wow64_test.cpp: the WOW64 fact and run-time export lookups.
#include "foundation/wow64.h"

#include <windows.h>

#include "gtest/gtest.h"
#include "platform/system_dlls.h"

TEST(Wow64Test, IsWow64IsTrueForThisProcessOnSixtyFourBitWindows) {
  // The test prefix is 64-bit and the test executable 32-bit.
  EXPECT_TRUE(IsWow64());
  EXPECT_TRUE(IsWow64());  // cached answer stays the same
}

TEST(Wow64Test, GetProcAddressFromFileFindsOnlyExistingExports) {
  const std::wstring kernel32 = SystemFolderPath(L"kernel32.dll");
  FARPROC loaded = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount");
  EXPECT_EQ(loaded, GetProcAddressFromFile(kernel32, "GetTickCount"));
  EXPECT_EQ(nullptr, GetProcAddressFromFile(kernel32, "NoSuchExportAnywhere"));
  EXPECT_EQ(nullptr, GetProcAddressFromFile(SystemFolderPath(L"no_such_library.dll"), "GetTickCount"));
  EXPECT_EQ(nullptr, GetProcAddressFromFile(L"", "GetTickCount"));
  EXPECT_EQ(nullptr, GetProcAddressFromFile(kernel32, nullptr));
}
