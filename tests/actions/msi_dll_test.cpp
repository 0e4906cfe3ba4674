// msi_dll_test.cpp: the separately loaded MSI.DLL and its version.
#include "actions/msi_dll.h"

#include <windows.h>
#include <shlwapi.h>

#include "gtest/gtest.h"
#include "tests/support/msi_fixtures.h"

TEST(MsiDllTest, ReportsTheInstallerVersionAndLoadsAgainAfterUnload) {
  CMsiTraceCapture trace;
  DLLVERSIONINFO info = {};
  ASSERT_TRUE(GetMsiDllVersion(&info));
  EXPECT_EQ(sizeof(DLLVERSIONINFO), info.cbSize);
  EXPECT_GE(info.dwMajorVersion, 3u);
  EXPECT_TRUE(GetMsiDllVersion(nullptr));
  UnloadMsiDll();
  EXPECT_TRUE(trace.Has(L"Unloading MSI.DLL"));
  trace.Clear();
  UnloadMsiDll();  // nothing loaded: nothing to say
  EXPECT_TRUE(trace.Lines().empty());
  ASSERT_TRUE(LoadMsiDll());
  EXPECT_TRUE(trace.Has(L"Attempting to load MSI.DLL"));
  trace.Clear();
  EXPECT_TRUE(LoadMsiDll());  // once per process
  EXPECT_TRUE(trace.Lines().empty());
  DLLVERSIONINFO again = {};
  ASSERT_TRUE(GetMsiDllVersion(&again));
  EXPECT_EQ(info.dwMajorVersion, again.dwMajorVersion);
  EXPECT_EQ(info.dwBuildNumber, again.dwBuildNumber);
  UnloadMsiDll();
}
