// setup_app_test.cpp: the choice between the quiet inline path and the host
// dialog, and the version the log reports.
#include "app/setup_app.h"

#include "gtest/gtest.h"
#include "platform/wide_string.h"

TEST(CSetupAppTest, InlinePathChoice) {
  struct Case {
    const wchar_t* commandLine;
    bool inlineRun;
  };
  const Case kCases[] = {
      {L"setup.exe /qn", true},          {L"setup.exe /q", true},
      {L"setup.exe /qn+", true},         {L"setup.exe /quiet", true},
      {L"setup.exe /QN", true},          {L"setup.exe /qb-", false},
      {L"setup.exe /qb!", false},        {L"setup.exe /qr", false},
      {L"setup.exe /qf", false},         {L"setup.exe", false},
      {L"setup.exe /CreateLaunchPoint", true},
      {L"setup.exe /createLAUNCHpoint /qb", true},
      // A plain text search: letters inside a property value count too.
      {L"setup.exe INSTALLDIR=C:/qnx", true},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.inlineRun, IsInlineRun(c.commandLine)) << WideToUtf8(c.commandLine);
  }
}

TEST(CSetupAppTest, VersionComesFromTheVersionResource) {
  EXPECT_EQ(L"3.58.94a", GetInstallerVersion());
}
